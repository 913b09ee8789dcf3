// SPDX-License-Identifier: MIT
// The music of a compile read from the compiler's event lists: tracks, paired
// notes with their text, controller lanes, the tempo map and line starts.
#include "zan/music.h"

#include <algorithm>
#include <array>
#include <numeric>

namespace zan {

// ---- The tempo map -------------------------------------------------------------

TempoMap::TempoMap(int32_t timebase) : timebase_(std::max<int32_t>(timebase, 1)) { changes_.push_back(Change{}); }

void TempoMap::add(int64_t tick, int64_t usPerQuarter) {
  const Change& last = changes_.back();
  const int64_t scaled = last.scaledUs + (tick - last.tick) * last.usPerQuarter;
  if (tick == last.tick) changes_.pop_back();
  changes_.push_back(Change{tick, scaled, usPerQuarter});
}

const TempoMap::Change& TempoMap::changeAt(int64_t tick) const {
  auto it = std::upper_bound(changes_.begin(), changes_.end(), tick,
                             [](int64_t t, const Change& c) { return t < c.tick; });
  return it == changes_.begin() ? changes_.front() : *(it - 1);
}

int64_t TempoMap::usAtTick(int64_t tick) const {
  tick = std::max<int64_t>(tick, 0);
  const Change& c = changeAt(tick);
  return (c.scaledUs + (tick - c.tick) * c.usPerQuarter + timebase_ / 2) / timebase_;
}

int64_t TempoMap::usAtTick(int64_t tick, size_t& hint) const {
  tick = std::max<int64_t>(tick, 0);
  if (hint >= changes_.size() || changes_[hint].tick > tick) hint = 0;
  while (hint + 1 < changes_.size() && changes_[hint + 1].tick <= tick) ++hint;
  const Change& c = changes_[hint];
  return (c.scaledUs + (tick - c.tick) * c.usPerQuarter + timebase_ / 2) / timebase_;
}

double TempoMap::msOfTick(double tick) const {
  const Change& c = tick < 0 ? changes_.front() : changeAt(static_cast<int64_t>(tick));
  return (static_cast<double>(c.scaledUs) + (tick - static_cast<double>(c.tick)) * static_cast<double>(c.usPerQuarter)) /
         timebase_ / 1000.0;
}

double TempoMap::tickOfMs(double ms) const {
  const double scaled = ms * 1000.0 * timebase_;
  auto it = std::upper_bound(changes_.begin(), changes_.end(), scaled,
                             [](double s, const Change& c) { return s < static_cast<double>(c.scaledUs); });
  const Change& c = it == changes_.begin() ? changes_.front() : *(it - 1);
  if (c.usPerQuarter <= 0) return static_cast<double>(c.tick);
  return static_cast<double>(c.tick) + (scaled - static_cast<double>(c.scaledUs)) / static_cast<double>(c.usPerQuarter);
}

// ---- Reading events -------------------------------------------------------------

std::string metaText(const uint8_t* bytes, int32_t size) {
  if (size < 3 || bytes[0] != 0xFF) return {};
  int32_t p = 2;
  uint32_t length = 0;
  while (p < size && (bytes[p] & 0x80)) length = (length << 7) | (bytes[p++] & 0x7F);
  if (p >= size) return {};
  length = (length << 7) | bytes[p++];
  length = std::min<uint32_t>(length, static_cast<uint32_t>(size - p));
  return std::string(reinterpret_cast<const char*>(bytes + p), length);
}

namespace {

bool isTempo(const uint8_t* b, int32_t size) { return size == 6 && b[0] == 0xFF && b[1] == 0x51 && b[2] == 3; }

// The order to read a track's events in: the list's own when its times
// rise (as the file's writer leaves them), else by time, ties as added.
std::vector<int> timeOrder(const Tivent& list) {
  std::vector<int> order(static_cast<size_t>(list.Count()));
  std::iota(order.begin(), order.end(), 0);
  auto earlier = [&](int a, int b) { return list.entry(a).time < list.entry(b).time; };
  if (!std::is_sorted(order.begin(), order.end(), earlier)) std::stable_sort(order.begin(), order.end(), earlier);
  return order;
}

bool listIsInTimeOrder(const Tivent& list) {
  const auto& entries = list.entries();
  for (size_t i = 1; i < entries.size(); ++i)
    if (entries[i].time < entries[i - 1].time) return false;
  return true;
}

// The source of event `i` of track `t`: its text when the compile recorded
// it, else the line the event list names.
EventSource sourceOf(const TSmf& c, const std::vector<EventSource>* sources, int t, int i) {
  if (sources) {
    const EventSource* e = c.eventSource(*sources, t, i);
    return e ? *e : EventSource{};
  }
  EventSource s;
  const int32_t line = c.events[t].entry(i).line;
  if (line >= 0 && line < c.sourceLines.size()) s.line = c.sourceLines.scoreLine(c.sourceLines.origin(line));
  return s;
}

// Notes waiting for their note-off, per channel and key, the oldest first:
// a queue threaded through the notes themselves.
class OpenNotes {
 public:
  explicit OpenNotes(std::vector<MusicNote>& notes) : notes_(notes) {
    head_.fill(-1);
    tail_.fill(-1);
  }
  void push(int slot, int32_t note) {
    if (static_cast<size_t>(note) >= next_.size()) next_.resize(static_cast<size_t>(note) + 1, -1);
    next_[static_cast<size_t>(note)] = -1;
    if (tail_[static_cast<size_t>(slot)] >= 0) next_[static_cast<size_t>(tail_[static_cast<size_t>(slot)])] = note;
    else head_[static_cast<size_t>(slot)] = note;
    tail_[static_cast<size_t>(slot)] = note;
  }
  // The oldest note of `slot`, taken off its queue; -1 when none sounds.
  int32_t pop(int slot) {
    const int32_t n = head_[static_cast<size_t>(slot)];
    if (n < 0) return -1;
    head_[static_cast<size_t>(slot)] = next_[static_cast<size_t>(n)];
    if (head_[static_cast<size_t>(slot)] < 0) tail_[static_cast<size_t>(slot)] = -1;
    return n;
  }
  // Ends every note still sounding at `end` (or a tick after its start).
  void endAll(int32_t end) {
    for (int s = 0; s < kSlots; ++s)
      for (int32_t n = pop(s); n >= 0; n = pop(s)) {
        MusicNote& note = notes_[static_cast<size_t>(n)];
        note.end = std::max(end, note.start < INT32_MAX ? note.start + 1 : note.start);
      }
  }

 private:
  static constexpr int kSlots = 16 * 128;
  std::vector<MusicNote>& notes_;
  std::array<int32_t, kSlots> head_, tail_;
  std::vector<int32_t> next_;
};

MusicTrack readTrack(const TSmf& c, const std::vector<EventSource>* sources, int t) {
  const Tivent& list = c.events[t];
  MusicTrack track;
  track.number = t;
  std::array<int, Lane::kPitchBend + 1> laneOf;
  laneOf.fill(-1);
  auto step = [&](int kind, int32_t time, int32_t value) {
    int& li = laneOf[static_cast<size_t>(kind)];
    if (li < 0) {
      li = static_cast<int>(track.lanes.size());
      track.lanes.push_back(Lane{kind, {}});
    }
    std::vector<LanePoint>& points = track.lanes[static_cast<size_t>(li)].points;
    if (!points.empty() && points.back().time == time) points.back().value = value;
    else points.push_back({time, value});
  };
  OpenNotes open(track.notes);
  auto read = [&](int i) {
    const Tivent::Entry& e = list.entry(i);
    const int32_t time = std::max<int32_t>(e.time, 0);
    track.endTick = std::max(track.endTick, time);
    const uint8_t* b = list.bytes(e);
    if (e.payload[0] == Tivent::kLong) {
      const int32_t size = list.size(e);
      if (size >= 3 && b[0] == 0xFF) {
        if (b[1] == 0x03 && track.name.empty()) track.name = metaText(b, size);
        else if (b[1] == 0x04 && track.instrument.empty()) track.instrument = metaText(b, size);
      }
      return;
    }
    if (b[0] < 0x80 || b[0] >= 0xF0) return;
    const int channel = b[0] & 0x0F;
    const int kind = b[0] & 0xF0;
    if (track.channel < 0) track.channel = channel;
    if (kind == 0x90 && b[2] > 0) {
      const int32_t index = static_cast<int32_t>(track.notes.size());
      track.notes.push_back(MusicNote{time, time, sourceOf(c, sources, t, i), static_cast<uint8_t>(b[1] & 0x7F), b[2],
                                      static_cast<uint8_t>(channel)});
      open.push(channel * 128 + (b[1] & 0x7F), index);
    } else if (kind == 0x80 || kind == 0x90) {
      const int32_t n = open.pop(channel * 128 + (b[1] & 0x7F));
      if (n < 0) return;
      MusicNote& note = track.notes[static_cast<size_t>(n)];
      note.end = std::max(time, note.start < INT32_MAX ? note.start + 1 : note.start);
    } else if (kind == 0xB0) {
      step(b[1] & 0x7F, time, b[2]);
    } else if (kind == 0xE0) {
      step(Lane::kPitchBend, time, (b[1] & 0x7F) | ((b[2] & 0x7F) << 7));
    } else if (kind == 0xC0 && track.program < 0) {
      track.program = b[1];
    }
  };
  // A track's sources lie apart in the recording (its lines alternate with
  // other tracks'), which the processor does not foresee: they are fetched
  // a few events ahead.
  constexpr int kAhead = 64;
  auto fetch = [&](int i) {
    if (!sources) return;
    const int32_t s = list.entry(i).line;
    if (s >= 0 && static_cast<size_t>(s) < sources->size()) __builtin_prefetch(sources->data() + s);
  };
  track.notes.reserve(static_cast<size_t>(list.Count()) / 2);
  const int count = list.Count();
  if (listIsInTimeOrder(list)) {
    for (int i = 0; i < count; ++i) {
      if (i + kAhead < count) fetch(i + kAhead);
      read(i);
    }
  } else {
    const std::vector<int> order = timeOrder(list);
    for (size_t k = 0; k < order.size(); ++k) {
      if (k + kAhead < order.size()) fetch(order[k + kAhead]);
      read(order[k]);
    }
  }
  // A note never ended sounds to the end of its track.
  open.endAll(track.endTick);
  for (const MusicNote& n : track.notes) track.endTick = std::max(track.endTick, n.end);
  std::sort(track.lanes.begin(), track.lanes.end(), [](const Lane& a, const Lane& b) { return a.kind < b.kind; });
  return track;
}

}  // namespace

// ---- The model ----------------------------------------------------------------------

std::shared_ptr<const Music> Music::build(const TSmf& c, const std::vector<EventSource>* sources,
                                          const std::vector<LineStart>* starts, Parts parts,
                                          const std::vector<CommandStart>* commands) {
  auto m = std::make_shared<Music>();
  m->parts_ = parts;
  m->tempo_ = TempoMap(c.timebase);

  // Tempo changes of every track time them all. Ties on one tick: the
  // lower track first, then each track's own order; the last holds.
  std::vector<std::pair<int32_t, int32_t>> tempos;  // tick, microseconds a quarter note
  for (int t = 0; t < kTrackCount; ++t) {
    const Tivent& list = c.events[t];
    if (list.empty()) continue;
    const size_t first = tempos.size();
    for (const Tivent::Entry& e : list.entries()) {
      const int32_t time = std::max<int32_t>(e.time, 0);
      m->endTick_ = std::max(m->endTick_, time);
      if (e.payload[0] != Tivent::kLong) continue;
      const uint8_t* b = list.bytes(e);
      if (isTempo(b, list.size(e))) tempos.emplace_back(time, (b[3] << 16) | (b[4] << 8) | b[5]);
    }
    std::stable_sort(tempos.begin() + static_cast<long>(first), tempos.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
  }
  std::stable_sort(tempos.begin(), tempos.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  for (const auto& [tick, us] : tempos) m->tempo_.add(tick, us);

  if (starts) {
    m->lineStarts_.reserve(starts->size());
    for (const LineStart& s : *starts) {
      const int32_t line = c.sourceLines.scoreLine(s.origin);
      if (line >= 0) m->lineStarts_.push_back(LineTime{line, s.track, s.ptr});
    }
    // The first start of each line, in the order the compile reached them.
    std::stable_sort(m->lineStarts_.begin(), m->lineStarts_.end(),
                     [](const LineTime& a, const LineTime& b) { return a.line < b.line; });
    m->lineStarts_.erase(std::unique(m->lineStarts_.begin(), m->lineStarts_.end(),
                                     [](const LineTime& a, const LineTime& b) { return a.line == b.line; }),
                         m->lineStarts_.end());
  }

  if (commands) {
    m->commandTimes_.reserve(commands->size());
    for (const CommandStart& s : *commands) m->commandTimes_.push_back(CommandTime{s.line, s.column, s.track, s.ptr});
    // Recorded in the order of the text as a rule; a line the compile
    // reached twice (a _tr group's repeat) keeps its first pass.
    const auto before = [](const CommandTime& a, const CommandTime& b) {
      return a.line != b.line ? a.line < b.line : a.column < b.column;
    };
    if (!std::is_sorted(m->commandTimes_.begin(), m->commandTimes_.end(), before))
      std::stable_sort(m->commandTimes_.begin(), m->commandTimes_.end(), before);
    m->commandTimes_.erase(std::unique(m->commandTimes_.begin(), m->commandTimes_.end(),
                                       [](const CommandTime& a, const CommandTime& b) {
                                         return a.line == b.line && a.column == b.column;
                                       }),
                           m->commandTimes_.end());
  }

  if (parts == Parts::Everything) {
    for (int t = 0; t < kTrackCount; ++t) {
      if (c.events[t].empty()) continue;
      MusicTrack track = readTrack(c, sources, t);
      track.chunk = static_cast<int>(m->tracks_.size());
      m->endTick_ = std::max(m->endTick_, track.endTick);
      m->tracks_.push_back(std::move(track));
    }
  }
  return m;
}

size_t Music::noteCount() const {
  size_t n = 0;
  for (const MusicTrack& t : tracks_) n += t.notes.size();
  return n;
}

const LineTime* Music::lineStart(int32_t line) const {
  auto it = std::lower_bound(lineStarts_.begin(), lineStarts_.end(), line,
                             [](const LineTime& s, int32_t l) { return s.line < l; });
  return it != lineStarts_.end() && it->line == line ? &*it : nullptr;
}

const CommandTime* Music::timeAt(int32_t line, int32_t column) const {
  auto it = std::lower_bound(commandTimes_.begin(), commandTimes_.end(), std::pair{line, column},
                             [](const CommandTime& t, std::pair<int32_t, int32_t> at) {
                               return t.line != at.first ? t.line < at.first : t.column < at.second;
                             });
  return it != commandTimes_.end() && it->line == line ? &*it : nullptr;
}

// ---- Recording ---------------------------------------------------------------------

MusicRecorder::MusicRecorder(TSmf& compiler) : compiler_(compiler) {
  compiler_.eventSources = &sources_;
  compiler_.lineStarts = &starts_;
  compiler_.commandStarts = &commands_;
}

MusicRecorder::~MusicRecorder() {
  compiler_.eventSources = nullptr;
  compiler_.lineStarts = nullptr;
  compiler_.commandStarts = nullptr;
}

std::shared_ptr<const Music> MusicRecorder::music(Music::Parts parts) const {
  return Music::build(compiler_, &sources_, &starts_, parts, &commands_);
}

}  // namespace zan
