// SPDX-License-Identifier: MIT
// Music: what a compile means as music, built once from the compiler's
// event lists after the compile, for every view that shows or follows it:
// the tracks (their chunk in the file, channel, program and names), the
// notes with note-on paired to note-off and the text that made each, the
// values every controller and pitch bend take over time, the tempo map that
// turns ticks into time as the player counts it, and where in time each line
// of the score began. Plain data, shared read-only between threads.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "zan/tsmf.h"

namespace zan {

// A quarter note until the first tempo event: 120 a minute.
inline constexpr int64_t kDefaultUsPerQuarter = 500000;

// Ticks to time and back by a file's tempo changes. Time is kept as
// microseconds times the timebase, which stays exact however many changes
// there are; usAtTick() rounds it to the microsecond as the player times
// its events.
class TempoMap {
 public:
  struct Change {
    int64_t tick = 0;
    int64_t scaledUs = 0;     // the time of `tick`, µs times the timebase
    int64_t usPerQuarter = kDefaultUsPerQuarter;  // from `tick` on
  };

  TempoMap() : TempoMap(96) {}
  explicit TempoMap(int32_t timebase);
  // Adds a change. REQUIRES: `tick` is not below the last change's. A
  // change on the tick of the last one replaces it (the later one holds).
  void add(int64_t tick, int64_t usPerQuarter);

  int32_t timebase() const { return timebase_; }
  const std::vector<Change>& changes() const { return changes_; }  // the first at tick 0
  // Microseconds from the start to `tick` (0 for a tick below 0).
  int64_t usAtTick(int64_t tick) const;
  // The same, for ticks in rising order: `hint` (0 at first) is the change
  // the last call stood in, so that a walk over a file costs no search.
  int64_t usAtTick(int64_t tick, size_t& hint) const;
  // Ticks <-> milliseconds unrounded, fractions of a tick included; before
  // tick 0 the first tempo goes on backwards.
  double msOfTick(double tick) const;
  double tickOfMs(double ms) const;

 private:
  const Change& changeAt(int64_t tick) const;

  int32_t timebase_;
  std::vector<Change> changes_;
};

struct MusicNote {
  int32_t start;       // ticks, never below 0
  int32_t end;         // ticks, after start: its note-off's (a note ended on its own tick lasts one)
  EventSource source;  // the text that made its note-on
  uint8_t key;         // MIDI note number
  uint8_t velocity;    // 1..127
  uint8_t channel;     // 0..15
};

// One step of a controller or of pitch bend: from `time` on it holds `value`.
struct LanePoint {
  int32_t time;
  int32_t value;  // 0..127 for a controller, 0..16383 for pitch bend (8192 = centre)
};

struct Lane {
  static constexpr int kPitchBend = 128;
  int kind;                       // controller number 0..127, or kPitchBend
  std::vector<LanePoint> points;  // by time; of several values on one tick, the last
  int maxValue() const { return kind == kPitchBend ? 16383 : 127; }
};

struct MusicTrack {
  int number = 0;              // 0..127, as _tr names it
  int chunk = 0;               // its track chunk in the file (0 = the first)
  int channel = -1;            // 0..15 of its first channel message; -1 none
  int program = -1;            // its first program change; -1 none
  std::string name;            // its first track name (meta 03), CP932
  std::string instrument;      // its first instrument name (meta 04), CP932
  std::vector<MusicNote> notes;  // by start (then by the order of their note-ons)
  std::vector<Lane> lanes;     // by kind
  int32_t endTick = 0;         // its last event's tick (never below 0)
};

// Where the compile of a line of the score began.
struct LineTime {
  int32_t line;   // the score's line (an included file's lines count as their #include line)
  int32_t track;  // the current track then
  int32_t tick;   // and its time pointer
};

// Where in time a place in a line of the score stands: the first command
// at or after it, on the track that command writes to.
struct CommandTime {
  int32_t line;
  int32_t column;  // 0-based byte column as written; CommandStart::kLineEnd for the line's end
  int32_t track;
  int32_t tick;
};

class Music {
 public:
  // What to build: Timing is the tempo map and the line starts alone, which
  // cost a glance at the events; Everything adds the tracks with their
  // notes and lanes, which cost a pass over every event and memory for
  // every note.
  enum class Parts { Timing, Everything };

  // From the compile `compiler` has just made. `sources` are the event
  // sources the compile recorded (TSmf::eventSources), or null: then a
  // note's source is its line alone. `starts` are the line starts it
  // recorded (TSmf::lineStarts), or null. After Compile() or
  // CompileToBytes() the event lists are in the file's order and notes pair
  // as the player hears them; after CompileLines() alone they are taken in
  // time order, events of one tick as they were added.
  static std::shared_ptr<const Music> build(const TSmf& compiler, const std::vector<EventSource>* sources,
                                            const std::vector<LineStart>* starts, Parts parts = Parts::Everything,
                                            const std::vector<CommandStart>* commands = nullptr);

  int32_t timebase() const { return tempo_.timebase(); }
  const TempoMap& tempo() const { return tempo_; }
  int32_t endTick() const { return endTick_; }  // the last event's tick, of any track
  int64_t lengthUs() const { return tempo_.usAtTick(endTick_); }
  bool hasTracks() const { return parts_ == Parts::Everything; }
  const std::vector<MusicTrack>& tracks() const { return tracks_; }  // by number, those with events
  size_t noteCount() const;
  // Where line `line` of the score began (its first start), null when the
  // compile never reached it.
  const LineTime* lineStart(int32_t line) const;
  const std::vector<LineTime>& lineStarts() const { return lineStarts_; }  // by line
  // Where byte `column` (0-based, as written) of line `line` stands: the
  // first command starting there or after it on the line, else the line's
  // end. Null when the compile recorded no command starts for the line.
  const CommandTime* timeAt(int32_t line, int32_t column) const;

 private:
  Parts parts_ = Parts::Timing;
  TempoMap tempo_;
  int32_t endTick_ = 0;
  std::vector<MusicTrack> tracks_;
  std::vector<LineTime> lineStarts_;
  std::vector<CommandTime> commandTimes_;  // by line, then column
};

// Records, while it lives, what Music::build needs from a compile that
// `compiler` makes: the source of every event and the start of every line.
//   MusicRecorder recorder(compiler);
//   compiler.Compile(path);
//   std::shared_ptr<const Music> music = recorder.music();
class MusicRecorder {
 public:
  explicit MusicRecorder(TSmf& compiler);
  ~MusicRecorder();
  MusicRecorder(const MusicRecorder&) = delete;
  MusicRecorder& operator=(const MusicRecorder&) = delete;

  // REQUIRES: the compile has ended.
  std::shared_ptr<const Music> music(Music::Parts parts = Music::Parts::Everything) const;

 private:
  TSmf& compiler_;
  std::vector<EventSource> sources_;
  std::vector<LineStart> starts_;
  std::vector<CommandStart> commands_;
};

// The text of a meta event (FF type length text) whose bytes are
// [bytes, bytes + size): its length is a variable-length number, as the
// file holds it. Empty when the event is cut short.
std::string metaText(const uint8_t* bytes, int32_t size);

}  // namespace zan
