// SPDX-License-Identifier: MIT
// LiveUpdate: an edit heard while the music plays. Each background check
// that finds no error while Run's music plays swaps its music into the
// player at the tick it stands on; a check with errors changes nothing that
// plays. It owns the Run menu's "Live Update" switch, "Apply Now"
// (Ctrl+Return: check the text at once, without the pause after typing) and
// the choice of starting the notes a swap finds held, and keeps them in the
// user's settings.
#pragma once

#include <QObject>

class QAction;
class QMenu;
class QWidget;
class BackgroundCheck;
class PlaybackControl;
struct CheckResult;

class LiveUpdate : public QObject {
  Q_OBJECT

 public:
  LiveUpdate(BackgroundCheck* check, PlaybackControl* playback, QObject* parent = nullptr);

  // Its commands at the end of the Run menu, their keys on `window`.
  void addMenuTo(QMenu* run, QWidget* window);
  QAction* liveAction() const { return live_; }
  QAction* applyNowAction() const { return applyNow_; }
  QAction* startHeldAction() const { return startHeld_; }
  // Swaps taken from checks so far.
  int swaps() const { return swaps_; }

  // Checks the text as it stands and, while the music plays, swaps it in:
  // with Live Update off too, once.
  void applyNow();

 signals:
  void swapped();  // the player has taken a check's music

 private:
  bool live() const;
  void receive(const CheckResult& result);
  void saveSettings() const;

  BackgroundCheck* check_;
  PlaybackControl* playback_;
  QAction* live_;
  QAction* applyNow_;
  QAction* startHeld_;
  bool once_ = false;  // Apply Now asked for one swap with Live Update off
  int swaps_ = 0;
};
