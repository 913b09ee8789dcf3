// Run: the whole text is compiled into "zan.mid" and, when the compile
// reports no error, played at once. Around it: Stop & RePlay, Reset Player,
// the playback slider whose selection start is the replay point, the
// once-a-second timer that follows the player, and Export.
#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QToolBar>

#include <exception>

#include "app_paths.h"
#include "ext_memo.h"
#include "frm_msg_unit.h"
#include "player.h"
#include "player_settings.h"
#include "track_bar.h"
#include "zan/tsmf.h"
#include "zanpad_unit.h"

using zan::player::Mode;

namespace {

int clampToInt(int64_t v) { return static_cast<int>(std::min<int64_t>(v, INT32_MAX)); }

}  // namespace

bool TfrmMain::loadCompilerLines() {
  CompilerLines converted = toCompilerLines(reMain->lines());
  bool clean = true;
  for (size_t i = 0; i < converted.unencodable.size(); ++i) {
    if (converted.unencodable[i].isEmpty()) continue;
    // The compiler would read '?' here: say so as an error line, which also
    // keeps the score from playing with a note it never meant.
    if (frmMsg)
      frmMsg->AddMessage(QString("err(%1)\"%2\":CP932 (Shift-JIS) cannot hold this character")
                             .arg(i)
                             .arg(converted.unencodable[i]));
    clean = false;
  }
  compiler->sourceLines.assign(std::move(converted.lines));
  return clean;
}

void TfrmMain::openPlayer() {
  mp->configure(loadPlayerSettings().config);
  mp->open(midPath().toStdString());
}

void TfrmMain::RunCompilePlay1Click() {
  bool suspended = false;
  try {
    setStatus("Compile Start");
    QApplication::processEvents();
    mp->close();
    if (autoSave()) Save1Click();
    frmMsg->ClearMessages();
    compiler->Reset();
    loadCompilerLines();
    frmMsg->suspendUpdates(true);
    suspended = true;
    compiler->Compile(midPath().toStdString());
    QApplication::processEvents();
    frmMsg->suspendUpdates(false);
    suspended = false;
    frmMsg->hideDebugPage();
    if (messageViewOption()) MessageView2Click();
    if (frmMsg->messageText().contains("err")) {
      setStatus("Error");
      if (errorBeep()) {
        frmMsg->focusMessageList();
        QApplication::beep();
      }
      return;
    }
    setStatus("ok");
    QApplication::processEvents();
    openPlayer();
    int length = clampToInt(mp->lengthMs());
    scrMP->setMaximum(length);
    if (length > scrMP->selStart()) {
      mp->setStartPositionMs(scrMP->selStart());
    } else {
      scrMP->setSelStart(0);
      scrMP->setSelEnd(0);
    }
    mp->play();
    setStatus("playing");
    showPlayerNote();
  } catch (const std::exception&) {
    if (suspended) frmMsg->suspendUpdates(false);
    setStatus("Could not compile ...");
    showPlayerNote();  // what the player could not do: no SoundFont, say
  }
}

void TfrmMain::RePlay1Click() {
  Mode mode = mp->mode();
  if (mode == Mode::Stopped) {
    mp->setPositionMs(scrMP->selStart());
    mp->play();
  } else if (mode == Mode::Playing) {
    mp->stop();
  }
}

void TfrmMain::ResetPlayer1Click() {
  if (mp->mode() == Mode::Playing) RePlay1Click();
  scrMP->setSelEnd(0);
  scrMP->setSelStart(0);
}

void TfrmMain::scrMPChange(int position) {
  Mode mode = mp->mode();
  if (mode == Mode::Stopped || mode == Mode::Playing) mp->setPositionMs(position);
  scrMP->setSelStart(position);
  scrMP->setSelEnd(scrMP->maximum());
}

void TfrmMain::Timer1Timer() {
  QAction* stop = action("tbStop");
  QAction* replay = action("tbReplay");
  Mode mode = mp->mode();
  if (mode == Mode::Playing) {
    scrMP->setValue(clampToInt(mp->positionMs()));
    if (!stop->isEnabled()) {
      stop->setEnabled(true);
      replay->setEnabled(false);
    }
    if (frmMsg && playLineIndex < frmMsg->messageLineCount()) {
      setStatus("playing (" + QString::number(playLineIndex) + ") " + frmMsg->messageLine(playLineIndex));
      ++playLineIndex;
    } else {
      playLineIndex = 0;
      setStatus("status & Message View");
    }
  } else if (stop->isEnabled()) {
    stop->setEnabled(false);
    if (mode == Mode::Stopped) replay->setEnabled(true);
    setStatus("ok");
    scrMP->setValue(0);
  }
}

void TfrmMain::ExportSMF1Click() {
  QFileDialog dialog(this, "Export ->SMF", QFileInfo(fileName).absolutePath(),
                     "(*.mid) (*.mid);;(*.*) (*);;(*.zan) (*.zan)");
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix("mid");
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  exportTo(dialog.selectedFiles().front());
}

bool TfrmMain::exportTo(const QString& path) {
  // The last compile result goes out unchanged; only a missing one is
  // compiled first.
  if (!QFile::exists(midPath())) RunCompilePlay1Click();
  if (!QFile::exists(midPath())) return false;
  QString temporary = path + ".part";
  QFile::remove(temporary);
  if (!QFile::copy(midPath(), temporary)) return false;
  QFile::remove(path);
  return QFile::rename(temporary, path);
}
