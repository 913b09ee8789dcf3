// PlaybackScore: what the editor knows of the music it plays, built once
// after each compile from the compiler's event sources and line starts and
// the player's events: every note with its time and its text in the editor,
// the tracks with their channel, first program and name, and the times of
// places in the text. Plain data, read on the GUI thread only.
#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

#include "zan/tsmf.h"

namespace zan::player {
struct Sequence;
}

class PlaybackScore {
 public:
  struct Note {
    int64_t startUs = 0, endUs = 0;  // note-on and note-off
    int chunk = 0;                   // the file's track chunk
    int line = -1;                   // the editor's line of its text; -1 none
    int from = -1, to = -1;          // its characters [from, to) in that line; -1: the whole line
  };
  struct Track {
    int number = 0;      // as in _tr
    int chunk = 0;       // the file's track chunk
    int channel = -1;    // 1..16 of its first channel message; -1 none
    int program = -1;    // its first program change; -1 none
    QString name;        // its first track name (_TITLE), "" none
  };

  // While one lives, the compiler records what build() needs.
  class Recording {
   public:
    Recording(PlaybackScore& score, zan::TSmf& compiler);
    ~Recording();
    Recording(const Recording&) = delete;
    Recording& operator=(const Recording&) = delete;

   private:
    zan::TSmf& compiler_;
  };

  // After a compile made while a Recording lived: `lines` are the editor's
  // lines it compiled, `sequence` the player's events of its file.
  void build(const zan::TSmf& compiler, const zan::player::Sequence& sequence, const QStringList& lines);
  void clear();
  bool empty() const { return notes_.empty() && tracks_.empty(); }
  int generation() const { return generation_; }  // changes with every build() and clear()

  const std::vector<Note>& notes() const { return notes_; }  // by start
  const std::vector<Track>& tracks() const { return tracks_; }  // by number, those with events
  // Indexes into notes() of the notes sounding at `us`.
  std::vector<int> soundingAt(int64_t us) const;
  // The time, in ms, at which playing from (line, column) of the editor's
  // text starts: the first pass of the first note at or after it, else the
  // time its line began; -1 when the place leads to nothing.
  int64_t timeAtMs(int line, int column) const;
  // The time, in ms, at which the text up to (line, column) has played: the
  // latest end of the notes before it; -1 when none.
  int64_t endBeforeMs(int line, int column, int64_t fromMs) const;

 private:
  static constexpr int64_t kBucketUs = 100'000;  // the sounding index's step
  std::vector<zan::EventSource> sources_;  // what the compiler recorded
  std::vector<zan::LineStart> lineStarts_;
  int generation_ = 0;
  std::vector<Note> notes_;
  std::vector<Track> tracks_;
  std::vector<std::vector<int>> buckets_;  // notes sounding in each step of kBucketUs
  struct LineTime {
    int line;
    int64_t us;
  };
  std::vector<LineTime> lineTimes_;  // first start of each score line, by line
};

// The character (UTF-16 position) of `line` at which CP932 byte `byte` of the
// line as the compiler reads it falls.
int characterAtByte(const QString& line, int byte);
