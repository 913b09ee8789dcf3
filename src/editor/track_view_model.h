// TrackViewModel: the last compile as the track view draws it: per track
// its notes (note-on paired with note-off) and the values its controllers and
// pitch bend take over time, each list in time order so that the part of a
// score a window shows is found by binary search, plus the tempo map that
// turns ticks into milliseconds as the player counts them.
//
// It is built from the compiler's event lists in memory, never from the text.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace zan {
class TSmf;
}

// Where an event came from in the score: its line (-1 when the compiler made
// it) and, when known, the byte columns [column, end) of the text that made it
// (-1 when only the line is known).
struct ScoreSpan {
  int32_t line = -1;
  int32_t column = -1;
  int32_t end = -1;
};

struct RollNote {
  int32_t start;   // ticks, never below 0
  int32_t end;     // ticks, after start: the note-off's time
  ScoreSpan source;
  uint8_t key;     // MIDI note number
  uint8_t velocity;
};

// One step of a controller or of pitch bend: from `time` on it holds `value`.
struct LanePoint {
  int32_t time;
  int32_t value;   // 0..127 for a controller, 0..16383 for pitch bend (8192 = centre)
};

struct Lane {
  static constexpr int kPitchBend = 128;
  int kind;  // controller number 0..127, or kPitchBend
  std::vector<LanePoint> points;  // by time
  int maxValue() const { return kind == kPitchBend ? 16383 : 127; }
};

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

struct RollTrack {
  int number;                  // 0..127
  int channel = -1;            // of its first channel message
  int program = -1;            // its first program change
  std::string name;            // its first track or instrument name (CP932 bytes)
  std::vector<RollNote> notes;  // by start
  // Notes longer than kLongNote ticks are also listed here: a query for a
  // window looks back only kLongNote ticks among the others.
  std::vector<int32_t> longNotes;  // indexes into notes, by start
  int32_t longestShort = 0;    // the longest note not in longNotes, ticks
  std::vector<NoteSummary> summaries;  // coarse to fine
  // Notes spanning more buckets of the finest summary than kSummarySpan:
  // the summaries leave them out and a window draws them one by one.
  std::vector<int32_t> wideNotes;  // by start
  std::vector<Lane> lanes;      // by kind
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

  // How the source of event `i` of track `t` (after the compile's sort) is
  // found; unset, the text the compile recorded for it (while the compiler's
  // eventSources is set), else the line the event list names.
  using SourceOf = std::function<ScoreSpan(int track, int index)>;

  TrackViewModel() = default;
  // REQUIRES: the compiler has compiled (its event lists sorted by the file's
  // writer, or left in the order the commands added them).
  static TrackViewModel fromCompile(const zan::TSmf& compiler, const SourceOf& sourceOf = {});

  bool empty() const { return tracks_.empty(); }
  int timebase() const { return timebase_; }
  int32_t endTick() const { return endTick_; }
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

  // Ticks <-> milliseconds by the tempo map (tempo changes of any track).
  double msOfTick(double tick) const;
  double tickOfMs(double ms) const;

  // The notes made by score line `line`; when `column` >= 0, only those whose
  // text holds that byte column, if any (else all of the line). Pairs of
  // (track index, note index).
  std::vector<std::pair<int, int>> notesOfSource(int32_t line, int32_t column = -1) const;

 private:
  struct TempoStep {
    int32_t tick;
    double ms;           // at tick
    double msPerTick;    // from tick on
  };
  std::vector<RollTrack> tracks_;
  std::vector<TempoStep> tempo_;  // by tick; the first at 0
  int timebase_ = 96;
  int32_t endTick_ = 0;
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
