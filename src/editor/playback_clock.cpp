// SPDX-License-Identifier: MIT
#include "playback_clock.h"

#include <QGuiApplication>
#include <QScreen>

#include <algorithm>

#include "player/player.h"

namespace {

constexpr int kIdleMs = 100;  // how soon a play that starts is seen

}  // namespace

PlaybackClock::PlaybackClock(zan::player::Player* player, QObject* parent) : QObject(parent), player_(player) {
  const QScreen* screen = QGuiApplication::primaryScreen();
  const double hz = screen && screen->refreshRate() > 1 ? screen->refreshRate() : 60.0;
  frameMs_ = std::max(8, static_cast<int>(1000.0 / hz));
  timer_.setInterval(kIdleMs);
  timer_.setTimerType(Qt::PreciseTimer);
  connect(&timer_, &QTimer::timeout, this, [this] {
    sinceSecond_ += timer_.interval();
    tickNow();
    if (sinceSecond_ >= 1000) {
      sinceSecond_ = 0;
      emit second();
    }
  });
  timer_.start();
}

void PlaybackClock::tickNow() {
  const bool playing = player_->mode() == zan::player::Mode::Playing;
  // Every frame while the music plays; while it does not, only a look now and then.
  timer_.setInterval(playing ? frameMs_ : kIdleMs);
  emit ticked(playing ? player_->positionMs() : -1, playing);
}
