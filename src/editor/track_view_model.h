// SPDX-License-Identifier: MIT
// TrackViewModel: the music of the last compile (zan::Music) as the track
// view draws it: per track its notes and lanes, read from the model itself,
// with the indexes a window needs to find its part of a score fast (long
// notes, coarse summaries, the range of keys).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "zan/music.h"

namespace zan {
class TSmf;
}

// Where an event came from in the score: its line (-1 when the compiler made
// it; counted from 0, as the gutter and the error lines count) and, when
// known, the byte columns [column, end) of the text that made it (-1 when
// only the line is known).
using ScoreSpan = zan::EventSource;
using RollNote = zan::MusicNote;
using LanePoint = zan::LanePoint;
using Lane = zan::Lane;

// The notes of a track at a coarse grain, for windows where a bucket of
// ticks is a pixel or less: what sounds in each bucket, key by key, at the
// loudest velocity there. A window of the whole score then costs the buckets
// it shows, not the notes.
struct NoteSummary {
  struct Cell {
    uint8_t key;
    uint8_t velocity;
  };
  int32_t bucketTicks = 1;       // a power of two
  std::vector<uint32_t> first;   // bucket b's cells are cells[first[b], first[b + 1])
  std::vector<Cell> cells;
  int buckets() const { return static_cast<int>(first.size()) - 1; }
};

// A track of the model with the view's indexes beside it. Its notes and
// lanes are the model's own, which the TrackViewModel keeps alive.
struct RollTrack {
  explicit RollTrack(const zan::MusicTrack& track)
      : number(track.number), channel(track.channel), program(track.program),
        name(track.name.empty() ? track.instrument : track.name), notes(track.notes), lanes(track.lanes) {}
  int number;                  // 0..127
  int channel;                 // 0..15 of its first channel message; -1 none
  int program;                 // its first program change; -1 none
  const std::string& name;     // its track name, else its instrument name (CP932 bytes)
  const std::vector<RollNote>& notes;  // by start
  const std::vector<Lane>& lanes;      // by kind
  // Notes longer than kLongNote ticks are also listed here: a query for a
  // window looks back only kLongNote ticks among the others.
  std::vector<int32_t> longNotes;  // indexes into notes, by start
  int32_t longestShort = 0;    // the longest note not in longNotes, ticks
  std::vector<NoteSummary> summaries;  // coarse to fine
  // Notes spanning more buckets of the finest summary than kSummarySpan:
  // the summaries leave them out and a window draws them one by one.
  std::vector<int32_t> wideNotes;  // by start
  int lowKey = 60, highKey = 72;  // the range of its notes (a default octave when none)
};

class TrackViewModel {
 public:
  // A note counts as long beyond this many quarter notes.
  static constexpr int kLongNoteBeats = 16;
  // Buckets of each summary level over the whole score, coarse to fine; a
  // note spans at most kSummarySpan buckets of the finest.
  static constexpr int kSummaryBuckets[] = {2048, 16384};
  static constexpr int kSummarySpan = 64;

  TrackViewModel() = default;
  // REQUIRES: `music` was built with its tracks (Music::Parts::Everything).
  explicit TrackViewModel(std::shared_ptr<const zan::Music> music);
  // The model of the compile `compiler` has just made, with the sources it
  // recorded while its eventSources is set.
  static TrackViewModel fromCompile(const zan::TSmf& compiler);

  const zan::Music* music() const { return music_.get(); }
  bool empty() const { return tracks_.empty(); }
  int timebase() const { return music_ ? music_->timebase() : 96; }
  int32_t endTick() const { return music_ ? music_->endTick() : 0; }
  const std::vector<RollTrack>& tracks() const { return tracks_; }
  int noteCount() const;

  // Calls `visit(noteIndex)` for every note of track `trackIndex` (an index
  // into tracks()) that sounds in [from, to) ticks: the long notes that began
  // before the window first, then the others in order of start.
  template <typename Visit>
  void forNotesIn(int trackIndex, int32_t from, int32_t to, Visit&& visit) const;
  // The first point of `lane` that matters to [from, ...): the last one at or
  // before `from` (or 0).
  static size_t firstPointFor(const Lane& lane, int32_t from);

  // Ticks <-> milliseconds by the model's tempo map.
  double msOfTick(double tick) const;
  double tickOfMs(double ms) const;

  // The notes made by score line `line`; when `column` >= 0, only those whose
  // text holds that byte column, if any (else all of the line). Pairs of
  // (track index, note index).
  std::vector<std::pair<int, int>> notesOfSource(int32_t line, int32_t column = -1) const;

 private:
  std::shared_ptr<const zan::Music> music_;
  std::vector<RollTrack> tracks_;
};

template <typename Visit>
void TrackViewModel::forNotesIn(int trackIndex, int32_t from, int32_t to, Visit&& visit) const {
  const RollTrack& t = tracks_[static_cast<size_t>(trackIndex)];
  const std::vector<RollNote>& notes = t.notes;
  // Short notes that sound at `from` started at most longestShort before it.
  const int64_t lookBack = static_cast<int64_t>(from) - t.longestShort;
  size_t lo = 0, hi = notes.size();
  while (lo < hi) {
    size_t mid = (lo + hi) / 2;
    if (notes[mid].start < lookBack) lo = mid + 1; else hi = mid;
  }
  for (int32_t li : t.longNotes) {
    const RollNote& n = notes[static_cast<size_t>(li)];
    if (n.start >= to) break;
    if (n.end > from && static_cast<int64_t>(n.start) < lookBack) visit(static_cast<size_t>(li));
  }
  for (size_t i = lo; i < notes.size() && notes[i].start < to; ++i) {
    if (notes[i].end > from) visit(i);
  }
}
