// SPDX-License-Identifier: MIT
#include "track_view_model.h"

#include <algorithm>
#include <array>

#include "zan/tsmf.h"

namespace {

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

TrackViewModel::TrackViewModel(std::shared_ptr<const zan::Music> music) : music_(std::move(music)) {
  if (!music_) return;
  const int32_t longNote = kLongNoteBeats * music_->timebase();
  for (const zan::MusicTrack& track : music_->tracks()) {
    RollTrack rt(track);
    if (!rt.notes.empty()) {
      rt.lowKey = 127;
      rt.highKey = 0;
    }
    for (size_t i = 0; i < rt.notes.size(); ++i) {
      const RollNote& n = rt.notes[i];
      rt.lowKey = std::min<int>(rt.lowKey, n.key);
      rt.highKey = std::max<int>(rt.highKey, n.key);
      if (n.end - n.start > longNote) rt.longNotes.push_back(static_cast<int32_t>(i));
      else rt.longestShort = std::max(rt.longestShort, n.end - n.start);
    }
    if (!rt.notes.empty()) {
      const int32_t finest = bucketTicksFor(track.endTick, kSummaryBuckets[std::size(kSummaryBuckets) - 1]);
      std::vector<bool> wide(rt.notes.size());
      for (size_t i = 0; i < rt.notes.size(); ++i) {
        const RollNote& n = rt.notes[i];
        wide[i] = (n.end - 1) / finest - n.start / finest >= kSummarySpan;
        if (wide[i]) rt.wideNotes.push_back(static_cast<int32_t>(i));
      }
      for (int buckets : kSummaryBuckets)
        rt.summaries.push_back(summarise(rt, track.endTick, bucketTicksFor(track.endTick, buckets), wide));
    }
    tracks_.push_back(std::move(rt));
  }
}

TrackViewModel TrackViewModel::fromCompile(const zan::TSmf& compiler) {
  return TrackViewModel(zan::Music::build(compiler, compiler.eventSources, nullptr));
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
  static const zan::TempoMap none;
  return (music_ ? music_->tempo() : none).msOfTick(tick);
}

double TrackViewModel::tickOfMs(double ms) const {
  static const zan::TempoMap none;
  return (music_ ? music_->tempo() : none).tickOfMs(ms);
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
