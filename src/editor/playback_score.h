// SPDX-License-Identifier: MIT
// PlaybackScore: the notes of the music model (zan::Music) that Run plays,
// as the editor lights them: each with its time in microseconds, its track
// chunk and its characters in the editor's text, indexed by time so that
// what sounds at a moment is found at once; and the times of places in the
// text. Plain data, read on the GUI thread only.
#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <vector>

#include "zan/music.h"

class PlaybackScore {
 public:
  struct Note {
    int64_t startUs = 0, endUs = 0;  // note-on and note-off
    int chunk = 0;                   // the file's track chunk
    int line = -1;                   // the editor's line of its text; -1 none
    int from = -1, to = -1;          // its characters [from, to) in that line; -1: the whole line
  };

  // The music to light, whose notes' text is in the editor's `lines`.
  void setMusic(std::shared_ptr<const zan::Music> music, const QStringList& lines);
  void clear();
  bool empty() const { return !music_ || music_->tracks().empty(); }
  int generation() const { return generation_; }  // changes with every setMusic() and clear()
  // The music shown, null when none.
  const std::shared_ptr<const zan::Music>& music() const { return music_; }

  const std::vector<Note>& notes() const { return notes_; }  // by start
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
  int generation_ = 0;
  std::shared_ptr<const zan::Music> music_;
  std::vector<Note> notes_;
  std::vector<std::vector<int>> buckets_;  // notes sounding in each step of kBucketUs
};

// The character (UTF-16 position) of `line` at which CP932 byte `byte` of the
// line as the compiler reads it falls.
int characterAtByte(const QString& line, int byte);
