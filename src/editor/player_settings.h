// SPDX-License-Identifier: MIT
// The player's settings (output, SoundFont, audio driver, gain), kept in the
// user's settings apart from "zanpad_reg.ini", and the "MIDI &DEVICE"
// dialog that edits them.
#pragma once

#include <QDialog>
#include <QSettings>

#include "player/player.h"

class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;

struct PlayerSettings {
  zan::player::PlayerConfig config;
};

PlayerSettings loadPlayerSettings();
// False when the settings could not be written (the file keeps what it held).
bool savePlayerSettings(const PlayerSettings& settings);

// The user's settings file that holds the player's settings, and beside
// them the recent files and the windows' geometry ("zanpad_reg.ini" keeps
// its fixed layout). Tests get a private one in the data directory.
QSettings userSettings();

// The switches of the live score (colours, gutter, checking while typing),
// kept with the player's settings.
struct LiveScoreSettings {
  bool syntaxHighlighting = true;
  bool lineNumbers = true;
  bool checkWhileTyping = true;
};
LiveScoreSettings loadLiveScoreSettings();
void saveLiveScoreSettings(const LiveScoreSettings& settings);

class TfrmDevice : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmDevice(const PlayerSettings& settings, QWidget* parent = nullptr);
  PlayerSettings settings() const;

 private:
  void browseSoundFont();
  void updateSoundFontNote();

  QComboBox* output_;
  QLineEdit* soundFont_;
  QLabel* soundFontNote_;
  QComboBox* driver_;
  QDoubleSpinBox* gain_;
};
