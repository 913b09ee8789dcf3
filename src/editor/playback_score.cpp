// The notes of a compile paired with their times and their text.
#include "playback_score.h"

#include <algorithm>
#include <array>
#include <map>

#include "document_io.h"
#include "sequence.h"
#include "text_columns.h"

int characterAtByte(const QString& line, int byte) {
  const int at = columnsOf(line).convert(byte, zan::LineColumns::Cp932, zan::LineColumns::Utf16, true);
  return std::min(at, static_cast<int>(line.size()));
}

void PlaybackScore::clear() {
  ++generation_;
  notes_.clear();
  tracks_.clear();
  buckets_.clear();
  lineTimes_.clear();
}

PlaybackScore::Recording::Recording(PlaybackScore& score, zan::TSmf& compiler) : compiler_(compiler) {
  score.sources_.clear();
  score.lineStarts_.clear();
  compiler.eventSources = &score.sources_;
  compiler.lineStarts = &score.lineStarts_;
}

PlaybackScore::Recording::~Recording() {
  compiler_.eventSources = nullptr;
  compiler_.lineStarts = nullptr;
}

void PlaybackScore::build(const zan::TSmf& compiler, const zan::player::Sequence& sequence, const QStringList& lines) {
  clear();
  if (sources_.empty()) return;  // not recorded
  // Chunks back to track numbers, and what each track says of itself.
  std::vector<int> numberOfChunk;
  for (int t = 0; t < zan::kTrackCount; ++t) {
    const zan::Tivent& list = compiler.events[t];
    if (list.empty()) continue;
    Track track;
    track.number = t;
    track.chunk = static_cast<int>(numberOfChunk.size());
    numberOfChunk.push_back(t);
    for (int i = 0; i < list.Count(); ++i) {
      const zan::Tivent::Entry& e = list.entry(i);
      const uint8_t* b = list.bytes(e);
      const int size = list.size(e);
      if (b[0] >= 0x80 && b[0] < 0xF0 && track.channel < 0) track.channel = (b[0] & 0x0F) + 1;
      if ((b[0] & 0xF0) == 0xC0 && b[0] < 0xF0 && track.program < 0) track.program = b[1];
      if (b[0] == 0xFF && size >= 3 && b[1] == 0x03 && track.name.isEmpty()) {
        int p = 2;
        uint32_t n = 0;
        while (p < size && (b[p] & 0x80)) n = (n << 7) | (b[p++] & 0x7F);
        if (p < size) n = (n << 7) | b[p++];
        n = std::min<uint32_t>(n, static_cast<uint32_t>(size - p));
        track.name = fromCp932(std::string(reinterpret_cast<const char*>(b + p), n));
      }
    }
    tracks_.push_back(track);
  }

  // Notes: each note-on ends at the next note-off of its channel and key.
  std::map<int, std::vector<size_t>> open;  // channel * 128 + key -> notes waiting for their end
  for (const zan::player::TimedEvent& e : sequence.events) {
    const uint8_t* b = sequence.data(e);
    const int kind = b[0] & 0xF0;
    if ((kind != 0x80 && kind != 0x90) || e.size != 3) continue;
    const int key = (b[0] & 0x0F) * 128 + (b[1] & 0x7F);
    if (kind == 0x90 && b[2] != 0) {
      Note n;
      n.startUs = n.endUs = e.us;
      n.chunk = static_cast<int>(e.track);
      const int number = e.track < numberOfChunk.size() ? numberOfChunk[e.track] : -1;
      if (const zan::EventSource* src = compiler.eventSource(sources_, number, static_cast<int>(e.trackEvent));
          src && src->line >= 0 && src->line < lines.size()) {
        n.line = src->line;
        if (src->column >= 0) {
          const QString& text = lines[src->line];
          n.from = characterAtByte(text, src->column);
          n.to = std::max(n.from + 1, characterAtByte(text, src->end));
        }
      }
      open[key].push_back(notes_.size());
      notes_.push_back(n);
    } else if (auto it = open.find(key); it != open.end() && !it->second.empty()) {
      notes_[it->second.front()].endUs = e.us;
      it->second.erase(it->second.begin());
    }
  }
  for (auto& [key, waiting] : open)
    for (size_t i : waiting) notes_[i].endUs = sequence.lengthUs;

  // The sounding index: every note in each step it overlaps.
  buckets_.resize(static_cast<size_t>(sequence.lengthUs / kBucketUs + 1));
  for (size_t i = 0; i < notes_.size(); ++i) {
    const Note& n = notes_[i];
    const size_t last = std::min(buckets_.size() - 1, static_cast<size_t>(std::max<int64_t>(n.endUs - 1, n.startUs) / kBucketUs));
    for (size_t b = static_cast<size_t>(n.startUs / kBucketUs); b <= last; ++b) buckets_[b].push_back(static_cast<int>(i));
  }

  // The first time each score line was reached.
  for (const zan::LineStart& s : lineStarts_) {
    const int line = compiler.sourceLines.scoreLine(s.origin);
    if (line < 0) continue;
    lineTimes_.push_back(LineTime{line, sequence.usAtTick(s.ptr)});
  }
  std::stable_sort(lineTimes_.begin(), lineTimes_.end(), [](const LineTime& a, const LineTime& b) { return a.line < b.line; });
  lineTimes_.erase(std::unique(lineTimes_.begin(), lineTimes_.end(), [](const LineTime& a, const LineTime& b) { return a.line == b.line; }),
                   lineTimes_.end());
}

std::vector<int> PlaybackScore::soundingAt(int64_t us) const {
  std::vector<int> out;
  if (us < 0 || buckets_.empty()) return out;
  const size_t b = static_cast<size_t>(us / kBucketUs);
  if (b >= buckets_.size()) return out;
  for (int i : buckets_[b]) {
    const Note& n = notes_[static_cast<size_t>(i)];
    if (n.startUs <= us && us < n.endUs) out.push_back(i);
  }
  return out;
}

int64_t PlaybackScore::timeAtMs(int line, int column) const {
  // The note whose text is first at or after the place; its first pass.
  const Note* best = nullptr;
  for (const Note& n : notes_) {
    if (n.line < 0) continue;
    const bool after = n.line > line || (n.line == line && (n.from < 0 || n.to > column));
    if (!after) continue;
    if (!best || n.line < best->line || (n.line == best->line && n.from < best->from) ||
        (n.line == best->line && n.from == best->from && n.startUs < best->startUs))
      best = &n;
  }
  // A line that plays no note (a rest, a tempo) starts where its line began.
  auto it = std::lower_bound(lineTimes_.begin(), lineTimes_.end(), line,
                             [](const LineTime& t, int l) { return t.line < l; });
  const bool lineKnown = it != lineTimes_.end() && it->line == line;
  const bool lineHasNotes = std::any_of(notes_.begin(), notes_.end(), [&](const Note& n) { return n.line == line; });
  if (lineKnown && !lineHasNotes) return it->us / 1000;
  return best ? best->startUs / 1000 : -1;
}

int64_t PlaybackScore::endBeforeMs(int line, int column, int64_t fromMs) const {
  int64_t end = -1;
  for (const Note& n : notes_) {
    if (n.line < 0 || n.startUs / 1000 < fromMs) continue;
    const bool before = n.line < line || (n.line == line && n.from >= 0 && n.from < column);
    if (before) end = std::max(end, n.endUs / 1000);
  }
  return end;
}
