// SPDX-License-Identifier: MIT
// The music model's notes with their times and their characters in the text.
#include "playback_score.h"

#include <algorithm>

#include "text_columns.h"

int characterAtByte(const QString& line, int byte) {
  const int at = columnsOf(line).convert(byte, zan::LineColumns::Cp932, zan::LineColumns::Utf16, true);
  return std::min(at, static_cast<int>(line.size()));
}

void PlaybackScore::clear() {
  ++generation_;
  music_.reset();
  notes_.clear();
  buckets_.clear();
}

void PlaybackScore::setMusic(std::shared_ptr<const zan::Music> music, const QStringList& lines) {
  clear();
  music_ = std::move(music);
  if (!music_) return;
  const zan::TempoMap& tempo = music_->tempo();
  // Every track's notes, merged by start: on one time the lower chunk first.
  for (const zan::MusicTrack& track : music_->tracks()) {
    size_t hint = 0;
    for (const zan::MusicNote& m : track.notes) {
      Note n;
      n.startUs = tempo.usAtTick(m.start, hint);
      n.endUs = tempo.usAtTick(m.end);
      n.chunk = track.chunk;
      if (m.source.line >= 0 && m.source.line < lines.size()) {
        n.line = m.source.line;
        if (m.source.column >= 0) {
          const QString& text = lines[m.source.line];
          n.from = characterAtByte(text, m.source.column);
          n.to = std::max(n.from + 1, characterAtByte(text, m.source.end));
        }
      }
      notes_.push_back(n);
    }
  }
  std::stable_sort(notes_.begin(), notes_.end(), [](const Note& a, const Note& b) { return a.startUs < b.startUs; });

  // The sounding index: every note in each step it overlaps.
  const int64_t lengthUs = music_->lengthUs();
  buckets_.resize(static_cast<size_t>(lengthUs / kBucketUs + 1));
  for (size_t i = 0; i < notes_.size(); ++i) {
    const Note& n = notes_[i];
    const size_t last = std::min(buckets_.size() - 1, static_cast<size_t>(std::max<int64_t>(n.endUs - 1, n.startUs) / kBucketUs));
    for (size_t b = static_cast<size_t>(n.startUs / kBucketUs); b <= last; ++b) buckets_[b].push_back(static_cast<int>(i));
  }
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
  const zan::LineTime* start = music_ ? music_->lineStart(line) : nullptr;
  const bool lineHasNotes = std::any_of(notes_.begin(), notes_.end(), [&](const Note& n) { return n.line == line; });
  if (start && !lineHasNotes) return music_->tempo().usAtTick(start->tick) / 1000;
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
