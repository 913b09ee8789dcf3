// SPDX-License-Identifier: MIT
#include "player_settings.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>

#include "app_paths.h"
#include "text_boxes.h"
#include "zanpad_unit.h"

QSettings userSettings() {
  // A data folder named for a portable installation (ZANPAD_DATA_DIR) holds
  // the user's settings too: nothing of the user's own is read or written.
  if (!qEnvironmentVariableIsEmpty("ZANPAD_DATA_DIR")) return QSettings(dataDir() + "user_settings.ini", QSettings::IniFormat);
  return QSettings(QSettings::IniFormat, QSettings::UserScope, "zan", "zanpad");
}

PlayerSettings loadPlayerSettings() {
  PlayerSettings s;
  QSettings q = userSettings();
  s.config.output = q.value("player/output").toString().toStdString();
  s.config.soundFont = q.value("player/soundfont").toString().toStdString();
  s.config.audioDriver = q.value("player/audiodriver").toString().toStdString();
  bool ok = false;
  double gain = q.value("player/gain", s.config.gain).toDouble(&ok);
  if (ok && gain >= 0.0 && gain <= 10.0) s.config.gain = gain;
  return s;
}

bool savePlayerSettings(const PlayerSettings& s) {
  QSettings q = userSettings();
  q.setValue("player/output", QString::fromStdString(s.config.output));
  q.setValue("player/soundfont", QString::fromStdString(s.config.soundFont));
  q.setValue("player/audiodriver", QString::fromStdString(s.config.audioDriver));
  q.setValue("player/gain", s.config.gain);
  q.sync();
  return q.status() == QSettings::NoError;
}

LiveScoreSettings loadLiveScoreSettings() {
  LiveScoreSettings s;
  QSettings q = userSettings();
  s.syntaxHighlighting = q.value("view/syntaxhighlighting", true).toBool();
  s.lineNumbers = q.value("view/linenumbers", true).toBool();
  s.checkWhileTyping = q.value("view/checkwhiletyping", true).toBool();
  return s;
}

void saveLiveScoreSettings(const LiveScoreSettings& s) {
  QSettings q = userSettings();
  q.setValue("view/syntaxhighlighting", s.syntaxHighlighting);
  q.setValue("view/linenumbers", s.lineNumbers);
  q.setValue("view/checkwhiletyping", s.checkWhileTyping);
}

TfrmDevice::TfrmDevice(const PlayerSettings& settings, QWidget* parent) : QDialog(parent) {
  setObjectName("frmDevice");
  setWindowTitle(UiText("MIDI DEVICE"));
  auto* form = new QFormLayout(this);

  output_ = new QComboBox(this);
  output_->addItem(UiText("Built-in synthesizer"), QString());
  for (const auto& port : zan::player::alsaOutputPorts())
    output_->addItem(QString::fromStdString(port.name + " (" + port.id + ")"), QString::fromStdString(port.id));
  int at = output_->findData(QString::fromStdString(settings.config.output));
  output_->setCurrentIndex(at < 0 ? 0 : at);
  form->addRow(UiText("&Output:"), output_);

  soundFont_ = new QLineEdit(QString::fromStdString(settings.config.soundFont), this);
  soundFont_->setPlaceholderText(UiText("automatic"));
  auto* browse = new QPushButton(UiText("&Browse..."), this);
  auto* row = new QHBoxLayout;
  row->addWidget(soundFont_, 1);
  row->addWidget(browse);
  // A row whose field is a layout gets no buddy from the form: without one
  // the label would show its "&".
  auto* soundFontLabel = new QLabel(UiText("&SoundFont:"), this);
  soundFontLabel->setBuddy(soundFont_);
  form->addRow(soundFontLabel, row);
  soundFontNote_ = new QLabel(this);
  soundFontNote_->setWordWrap(true);
  form->addRow(QString(), soundFontNote_);

  driver_ = new QComboBox(this);
  driver_->addItem(UiText("Automatic"), QString());
  for (const auto& d : zan::player::audioDrivers())
    driver_->addItem(QString::fromStdString(d), QString::fromStdString(d));
  at = driver_->findData(QString::fromStdString(settings.config.audioDriver));
  driver_->setCurrentIndex(at < 0 ? 0 : at);
  form->addRow(UiText("Audio &driver:"), driver_);

  gain_ = new QDoubleSpinBox(this);
  gain_->setRange(0.0, 10.0);
  gain_->setSingleStep(0.1);
  gain_->setDecimals(2);
  gain_->setValue(settings.config.gain);
  form->addRow(UiText("Master &gain:"), gain_);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  form->addRow(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(browse, &QPushButton::clicked, this, &TfrmDevice::browseSoundFont);
  connect(soundFont_, &QLineEdit::textChanged, this, &TfrmDevice::updateSoundFontNote);
  updateSoundFontNote();
}

void TfrmDevice::browseSoundFont() {
  QString start = soundFont_->text().isEmpty() ? "/usr/share/sounds/sf2" : QFileInfo(soundFont_->text()).absolutePath();
  QString path = QFileDialog::getOpenFileName(this, UiText("SoundFont"), start, "SoundFont (*.sf2 *.sf3);;(*.*) (*)");
  if (!path.isEmpty()) soundFont_->setText(path);
}

void TfrmDevice::updateSoundFontNote() {
  std::string found = zan::player::findSoundFont(soundFont_->text().toStdString());
  if (found.empty())
    soundFontNote_->setText(UiText("No SoundFont found. Install one (Debian: timgm6mb-soundfont or fluid-soundfont-gm) "
                            "or choose a .sf2 file."));
  else
    soundFontNote_->setText(UiText("In use: ") + QString::fromStdString(found));
}

PlayerSettings TfrmDevice::settings() const {
  PlayerSettings s;
  s.config.output = output_->currentData().toString().toStdString();
  s.config.soundFont = soundFont_->text().trimmed().toStdString();
  s.config.audioDriver = driver_->currentData().toString().toStdString();
  s.config.gain = gain_->value();
  return s;
}

void TfrmMain::MIDIDEVICE1Click() {
  TfrmDevice dialog(loadPlayerSettings(), this);
  if (dialog.exec() != QDialog::Accepted) return;
  if (!savePlayerSettings(dialog.settings()))
    ErrorBox(UiText("Cannot save the player settings in \"%1\"").arg(userSettings().fileName()));
  applyPlayerSettings();
  // The device chosen anew starts afresh, whatever changed.
  try {
    mp->restart();
  } catch (const std::exception&) {
  }
  showPlayerNote();
}

void TfrmMain::applyPlayerSettings() { mp->configure(loadPlayerSettings().config); }
