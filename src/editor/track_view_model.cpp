#include "track_view_model.h"

#include <algorithm>
#include <array>
#include <numeric>

#include "zan/tsmf.h"

namespace {

constexpr double kDefaultUsPerQuarter = 500000;  // until the first tempo event, as the player times it

// The least end a note may have: a note as long as nothing still shows.
int32_t minimumEnd(int32_t start) { return start < INT32_MAX ? start + 1 : start; }

// Event i of track t: its text when the compile recorded event sources,
// else the line the event list names.
ScoreSpan sourceOfEntry(const zan::TSmf& c, int t, int i) {
  ScoreSpan s;
  if (c.eventSources) {
    if (const zan::EventSource* e = c.eventSource(*c.eventSources, t, i)) s = {e->line, e->column, e->end};
    return s;
  }
  const int32_t line = c.events[t].entry(i).line;
  if (line >= 0 && line < c.sourceLines.size()) s.line = c.sourceLines.scoreLine(c.sourceLines.origin(line));
  return s;
}

// The power of two of ticks that divides `endTick` into at most `buckets`.
int32_t bucketTicksFor(int32_t endTick, int buckets) {
  int32_t ticks = 1;
  while (static_cast<int64_t>(ticks) * buckets <= endTick && ticks < (1 << 30)) ticks *= 2;
  return ticks;
}

// Notes come in order of start, so a bucket is complete once a note starts
// after it: a ring of kSummarySpan + 1 buckets or more holds all that are open.
NoteSummary summarise(const RollTrack& t, int32_t endTick, int32_t bucketTicks, const std::vector<bool>& wide) {
  constexpr int kRing = 128;
  static_assert(kRing > TrackViewModel::kSummarySpan);
  NoteSummary s;
  s.bucketTicks = bucketTicks;
  const int buckets = endTick / bucketTicks + 1;
  s.first.assign(static_cast<size_t>(buckets) + 1, 0);
  std::vector<uint8_t> ring(kRing * 128, 0);
  int done = 0;
  auto flush = [&](int b) {
    s.first[static_cast<size_t>(b)] = static_cast<uint32_t>(s.cells.size());
    uint8_t* row = &ring[static_cast<size_t>(b % kRing) * 128];
    for (int k = 0; k < 128; ++k) {
      if (row[k]) s.cells.push_back({static_cast<uint8_t>(k), row[k]});
      row[k] = 0;
    }
  };
  for (size_t i = 0; i < t.notes.size(); ++i) {
    if (wide[i]) continue;
    const RollNote& n = t.notes[i];
    const int b0 = n.start / bucketTicks, b1 = std::min(buckets - 1, (n.end - 1) / bucketTicks);
    while (done < b0) flush(done++);
    for (int b = b0; b <= b1; ++b) {
      uint8_t& v = ring[static_cast<size_t>(b % kRing) * 128 + n.key];
      v = std::max<uint8_t>(v, std::max<uint8_t>(n.velocity, 1));
    }
  }
  while (done < buckets) flush(done++);
  s.first[static_cast<size_t>(buckets)] = static_cast<uint32_t>(s.cells.size());
  return s;
}

}  // namespace

TrackViewModel TrackViewModel::fromCompile(const zan::TSmf& c, const SourceOf& sourceOf) {
  TrackViewModel m;
  m.timebase_ = std::max(1, static_cast<int>(c.timebase));
  std::vector<std::pair<int32_t, int32_t>> tempos;  // tick, microseconds a quarter note
  std::vector<std::vector<int32_t>> open(16 * 128);  // sounding notes by channel and key, the oldest first
  for (int t = 0; t < zan::kTrackCount; ++t) {
    const zan::Tivent& ev = c.events[t];
    if (ev.empty()) continue;
    std::vector<int> order(static_cast<size_t>(ev.Count()));
    std::iota(order.begin(), order.end(), 0);
    auto earlier = [&](int a, int b) { return ev.entry(a).time < ev.entry(b).time; };
    if (!std::is_sorted(order.begin(), order.end(), earlier)) std::stable_sort(order.begin(), order.end(), earlier);

    RollTrack rt;
    rt.number = t;
    std::array<int, Lane::kPitchBend + 1> laneOf;
    laneOf.fill(-1);
    auto step = [&](int kind, int32_t time, int32_t value) {
      int& li = laneOf[static_cast<size_t>(kind)];
      if (li < 0) {
        li = static_cast<int>(rt.lanes.size());
        rt.lanes.push_back(Lane{kind, {}});
      }
      std::vector<LanePoint>& points = rt.lanes[static_cast<size_t>(li)].points;
      // Of several values at one tick the last is the one that holds.
      if (!points.empty() && points.back().time == time) points.back().value = value;
      else points.push_back({time, value});
    };
    int32_t trackEnd = 0;
    for (int i : order) {
      const zan::Tivent::Entry& e = ev.entry(i);
      const int32_t time = std::max<int32_t>(e.time, 0);
      trackEnd = std::max(trackEnd, time);
      const uint8_t* b = ev.bytes(e);
      const int32_t size = ev.size(e);
      if (size < 1) continue;
      if (b[0] == 0xFF && size >= 3) {
        if (b[1] == 0x51 && size >= 6) tempos.emplace_back(time, (b[3] << 16) | (b[4] << 8) | b[5]);
        if ((b[1] == 0x03 || b[1] == 0x04) && rt.name.empty())
          rt.name.assign(reinterpret_cast<const char*>(b + 3), static_cast<size_t>(std::min<int32_t>(b[2], size - 3)));
        continue;
      }
      if (b[0] < 0x80 || b[0] >= 0xF0 || size < zan::Tivent::channelMessageSize(b[0])) continue;
      const int ch = b[0] & 0x0F;
      const int kind = b[0] & 0xF0;
      if (rt.channel < 0) rt.channel = ch;
      if (kind == 0x90 && b[2] > 0) {
        open[static_cast<size_t>(ch * 128 + (b[1] & 0x7F))].push_back(static_cast<int32_t>(rt.notes.size()));
        ScoreSpan source = sourceOf ? sourceOf(t, i) : sourceOfEntry(c, t, i);
        rt.notes.push_back({time, -1, source, static_cast<uint8_t>(b[1] & 0x7F), b[2]});
      } else if (kind == 0x80 || kind == 0x90) {
        std::vector<int32_t>& q = open[static_cast<size_t>(ch * 128 + (b[1] & 0x7F))];
        if (q.empty()) continue;
        RollNote& n = rt.notes[static_cast<size_t>(q.front())];
        n.end = std::max(time, minimumEnd(n.start));
        q.erase(q.begin());
      } else if (kind == 0xB0) {
        step(b[1] & 0x7F, time, b[2]);
      } else if (kind == 0xE0) {
        step(Lane::kPitchBend, time, (b[1] & 0x7F) | ((b[2] & 0x7F) << 7));
      } else if (kind == 0xC0 && rt.program < 0) {
        rt.program = b[1];
      }
    }
    // A note never ended sounds to the end of its track.
    for (std::vector<int32_t>& q : open) {
      for (int32_t ni : q) rt.notes[static_cast<size_t>(ni)].end = std::max(trackEnd, minimumEnd(rt.notes[static_cast<size_t>(ni)].start));
      q.clear();
    }
    if (!rt.notes.empty()) {
      rt.lowKey = 127;
      rt.highKey = 0;
    }
    const int32_t longNote = kLongNoteBeats * m.timebase_;
    for (size_t i = 0; i < rt.notes.size(); ++i) {
      const RollNote& n = rt.notes[i];
      rt.lowKey = std::min<int>(rt.lowKey, n.key);
      rt.highKey = std::max<int>(rt.highKey, n.key);
      trackEnd = std::max(trackEnd, n.end);
      if (n.end - n.start > longNote) rt.longNotes.push_back(static_cast<int32_t>(i));
      else rt.longestShort = std::max(rt.longestShort, n.end - n.start);
    }
    if (!rt.notes.empty()) {
      const int32_t finest = bucketTicksFor(trackEnd, kSummaryBuckets[std::size(kSummaryBuckets) - 1]);
      std::vector<bool> wide(rt.notes.size());
      for (size_t i = 0; i < rt.notes.size(); ++i) {
        const RollNote& n = rt.notes[i];
        wide[i] = (n.end - 1) / finest - n.start / finest >= kSummarySpan;
        if (wide[i]) rt.wideNotes.push_back(static_cast<int32_t>(i));
      }
      for (int buckets : kSummaryBuckets) rt.summaries.push_back(summarise(rt, trackEnd, bucketTicksFor(trackEnd, buckets), wide));
    }
    std::sort(rt.lanes.begin(), rt.lanes.end(), [](const Lane& a, const Lane& b) { return a.kind < b.kind; });
    m.endTick_ = std::max(m.endTick_, trackEnd);
    m.tracks_.push_back(std::move(rt));
  }

  std::stable_sort(tempos.begin(), tempos.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  const double msPerTick0 = kDefaultUsPerQuarter / 1000.0 / m.timebase_;
  m.tempo_.push_back({0, 0.0, msPerTick0});
  for (const auto& [tick, us] : tempos) {
    const TempoStep& last = m.tempo_.back();
    const double ms = last.ms + (tick - last.tick) * last.msPerTick;
    const double perTick = us / 1000.0 / m.timebase_;
    if (tick == last.tick) m.tempo_.back().msPerTick = perTick;
    else m.tempo_.push_back({tick, ms, perTick});
  }
  return m;
}

int TrackViewModel::noteCount() const {
  size_t n = 0;
  for (const RollTrack& t : tracks_) n += t.notes.size();
  return static_cast<int>(n);
}

size_t TrackViewModel::firstPointFor(const Lane& lane, int32_t from) {
  auto it = std::upper_bound(lane.points.begin(), lane.points.end(), from,
                             [](int32_t t, const LanePoint& p) { return t < p.time; });
  return it == lane.points.begin() ? 0 : static_cast<size_t>(it - lane.points.begin() - 1);
}

double TrackViewModel::msOfTick(double tick) const {
  if (tempo_.empty()) return tick * kDefaultUsPerQuarter / 1000.0 / timebase_;
  auto it = std::upper_bound(tempo_.begin(), tempo_.end(), tick, [](double t, const TempoStep& s) { return t < s.tick; });
  const TempoStep& s = it == tempo_.begin() ? tempo_.front() : *(it - 1);
  return s.ms + (tick - s.tick) * s.msPerTick;
}

double TrackViewModel::tickOfMs(double ms) const {
  if (tempo_.empty()) return ms * 1000.0 * timebase_ / kDefaultUsPerQuarter;
  auto it = std::upper_bound(tempo_.begin(), tempo_.end(), ms, [](double v, const TempoStep& s) { return v < s.ms; });
  const TempoStep& s = it == tempo_.begin() ? tempo_.front() : *(it - 1);
  return s.msPerTick > 0 ? s.tick + (ms - s.ms) / s.msPerTick : s.tick;
}

std::vector<std::pair<int, int>> TrackViewModel::notesOfSource(int32_t line, int32_t column) const {
  std::vector<std::pair<int, int>> ofLine, atColumn;
  if (line < 0) return ofLine;
  for (size_t t = 0; t < tracks_.size(); ++t) {
    const std::vector<RollNote>& notes = tracks_[t].notes;
    for (size_t i = 0; i < notes.size(); ++i) {
      const ScoreSpan& s = notes[i].source;
      if (s.line != line) continue;
      ofLine.emplace_back(static_cast<int>(t), static_cast<int>(i));
      if (column >= 0 && s.column >= 0 && column >= s.column && column < s.end)
        atColumn.emplace_back(static_cast<int>(t), static_cast<int>(i));
    }
  }
  return atColumn.empty() ? ofLine : atColumn;
}
