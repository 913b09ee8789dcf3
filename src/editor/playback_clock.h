// SPDX-License-Identifier: MIT
// PlaybackClock: the one clock that follows the player. The slider, the lit
// notes, Track View's playhead, the Tracks dock's levels and the status
// scroller all move on its ticks, so that they never disagree about where
// the music is.
#pragma once

#include <QObject>
#include <QTimer>

namespace zan::player {
class Player;
}

class PlaybackClock : public QObject {
  Q_OBJECT

 public:
  PlaybackClock(zan::player::Player* player, QObject* parent = nullptr);

  // A tick now (after a seek or a stop), not at the next interval.
  void tickNow();

 signals:
  // Every frame while the music plays, every 100 ms otherwise. `ms` is the
  // player's position while it plays, else -1.
  void ticked(qint64 ms, bool playing);
  // About once a second: the status scroller's step.
  void second();

 private:
  zan::player::Player* player_;
  QTimer timer_;
  int frameMs_;         // the screen's frame time: how often a playing clock ticks
  qint64 sinceSecond_ = 0;  // ms counted towards the next second()
};
