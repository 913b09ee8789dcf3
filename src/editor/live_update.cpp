// SPDX-License-Identifier: MIT
#include "live_update.h"

#include <QAction>
#include <QMenu>

#include "background_check.h"
#include "playback_control.h"
#include "player/player.h"
#include "player_settings.h"
#include "text_boxes.h"
#include "zan/translate.h"

LiveUpdate::LiveUpdate(BackgroundCheck* check, PlaybackControl* playback, QObject* parent)
    : QObject(parent), check_(check), playback_(playback) {
  QSettings settings = userSettings();
  live_ = new QAction(UiText(zan::N_("&Live Update")), this);
  live_->setObjectName("LiveUpdate1Click");
  live_->setCheckable(true);
  live_->setChecked(settings.value("live/update", true).toBool());
  applyNow_ = new QAction(UiText(zan::N_("&Apply Now")), this);
  applyNow_->setObjectName("ApplyNow1Click");
  applyNow_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Return));
  applyNow_->setShortcutContext(Qt::WindowShortcut);
  startHeld_ = new QAction(UiText(zan::N_("Start &Held Notes on Update")), this);
  startHeld_->setObjectName("StartHeldNotes1Click");
  startHeld_->setCheckable(true);
  startHeld_->setChecked(settings.value("live/startheld", false).toBool());
  playback_->player()->setSwapStartsHeldNotes(startHeld_->isChecked());

  connect(live_, &QAction::toggled, this, [this] { saveSettings(); });
  connect(startHeld_, &QAction::toggled, this, [this](bool on) {
    playback_->player()->setSwapStartsHeldNotes(on);
    saveSettings();
  });
  connect(applyNow_, &QAction::triggered, this, &LiveUpdate::applyNow);
  check_->setLiveSource([this] { return live(); });
  connect(check_, &BackgroundCheck::resultReady, this, &LiveUpdate::receive);
}

void LiveUpdate::addMenuTo(QMenu* run, QWidget* window) {
  run->addSeparator();
  run->addActions({live_, applyNow_, startHeld_});
  // The window's keys reach them from any of its widgets.
  window->addActions({live_, applyNow_, startHeld_});
}

bool LiveUpdate::live() const { return (live_->isChecked() || once_) && playback_->playingRun(); }

void LiveUpdate::applyNow() {
  if (!playback_->playingRun()) return;
  once_ = !live_->isChecked();
  check_->checkNow();
}

void LiveUpdate::receive(const CheckResult& result) {
  const bool wanted = live();
  once_ = false;
  // A check with errors brings no music: what plays goes on.
  if (!wanted || !result.marks.empty() || !result.playable) return;
  if (!playback_->swapMusic(result.playable, result.music)) return;
  ++swaps_;
  emit swapped();
}

void LiveUpdate::saveSettings() const {
  QSettings settings = userSettings();
  settings.setValue("live/update", live_->isChecked());
  settings.setValue("live/startheld", startHeld_->isChecked());
}
