// SPDX-License-Identifier: MIT
// PlaybackHighlighter: while the score plays, the text of every note that
// sounds is tinted in the editor, the tint fading as the note runs out, and
// with "Follow Playback" on the line of the newest note of the caret's track
// (of any track when the caret's line has no note) is kept in view. It
// runs on its own timer at the screen's frame rate and reads the player's
// position; nothing comes from the audio thread.
#pragma once

#include <QColor>
#include <QObject>

#include <cstdint>
#include <vector>

class QAction;
class TExtMemo;
class PlaybackScore;

namespace zan::player {
class Player;
}

class PlaybackHighlighter : public QObject {
  Q_OBJECT
 public:
  PlaybackHighlighter(TExtMemo* editor, zan::player::Player* player, const PlaybackScore* score,
                      QObject* parent = nullptr);

  QAction* followAction() const { return follow_; }  // "Follow Playback", checkable, kept in the settings
  QColor tint() const { return tint_; }
  // What is lit now, as (line, first character, characters) per note; a
  // whole line is (line, -1, 0).
  struct Lit {
    int line, from, length;
    double strength;  // 1 as the note starts, falling towards 0 at its end
  };
  const std::vector<Lit>& lit() const { return lit_; }

 public slots:
  // Reads the position and repaints what sounds.
  void refresh();
  // Lights what sounds at `ms` (-1: nothing).
  void showAt(int64_t ms);

 private:
  void apply();
  int caretChunk();  // the track of the first note on the caret's line; -1 none

  TExtMemo* editor_;
  zan::player::Player* player_;
  const PlaybackScore* score_;
  QAction* follow_;
  QColor tint_{255, 150, 40};
  std::vector<Lit> lit_;
  int caretLine_ = -1;       // what caretChunk() found last, for which line and score
  int caretScore_ = -1;
  int caretChunk_ = -1;
};
