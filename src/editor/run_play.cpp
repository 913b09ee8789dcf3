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
#include "document_io.h"
#include "text_boxes.h"
#include "ext_memo.h"
#include "frm_msg_unit.h"
#include "player.h"
#include "player_settings.h"
#include "playback_score.h"
#include "tracks_panel.h"
#include <QTextBlock>
#include "track_bar.h"
#include "track_view.h"
#include "zan/tsmf.h"
#include "zanpad_unit.h"

using zan::player::Mode;

namespace {

int clampToInt(int64_t v) { return static_cast<int>(std::min<int64_t>(v, INT32_MAX)); }

// One line for the message view about the characters CP932 cannot hold,
// naming the first of them and its line; "" when there are none.
QString unencodableNote(const CompilerLines& converted) {
  int first = -1;
  int lines = 0;
  for (size_t i = 0; i < converted.unencodable.size(); ++i) {
    if (converted.unencodable[i].isEmpty()) continue;
    if (first < 0) first = static_cast<int>(i);
    ++lines;
  }
  if (first < 0) return {};
  // The line index in parentheses, as in the compiler's own lines, so a
  // click jumps there. Never the letters of the error test: the compile and
  // the playback go on, as the command-line compiler's do.
  QString note = QString("note(%1)\"%2\": no CP932 (Shift-JIS) form, read as \"?\"")
                     .arg(first)
                     .arg(converted.unencodable[static_cast<size_t>(first)]);
  if (lines > 1) note += QString(" (%1 lines hold such characters)").arg(lines);
  return note;
}

}  // namespace

void TfrmMain::loadCompilerLines() {
  CompilerLines converted = toCompilerLines(reMain->lines());
  compileNote_ = unencodableNote(converted);
  compiler->sourceLines.assign(std::move(converted.lines));
  compiler->scorePath = fileName.toStdString();  // an #include looks beside the document
}

void TfrmMain::openPlayer() {
  // What another compile (the checker's) plays is not Run's score.
  playbackScore->clear();
  tracksPanel->scoreChanged();
  mp->configure(loadPlayerSettings().config);
  mp->open(midPath().toStdString());
  tracksPanel->applyMutes(*compiler);
}

void TfrmMain::RunCompilePlay1Click() { runAndPlay(PlayStart::ReplayPoint); }

void TfrmMain::PlayFromCaret1Click() { runAndPlay(PlayStart::Caret); }

void TfrmMain::LoopSelection1Click() {
  if (action("LoopSelection1Click")->isChecked()) {
    runAndPlay(PlayStart::Loop);
  } else {
    mp->clearLoop();
    scrMP->setLoopMarks(0, 0);
  }
}

void TfrmMain::buildPlaybackScore() {
  if (const auto sequence = mp->sequence()) playbackScore->build(*compiler, *sequence, reMain->lines());
  tracksPanel->scoreChanged();
}

bool TfrmMain::startAt(PlayStart start) {
  // The caret's time, or the selection's A and B (else the slider's).
  buildPlaybackScore();
  QTextCursor c = reMain->textCursor();
  const auto placeOf = [&](int position) {
    const QTextBlock block = reMain->document()->findBlock(position);
    return std::pair{block.blockNumber(), position - block.position()};
  };
  const auto [line, column] = placeOf(c.selectionStart());
  int64_t a = playbackScore->timeAtMs(line, column);
  if (start == PlayStart::Caret) {
    mp->setStartPositionMs(std::max<int64_t>(a, 0));
    return true;
  }
  int64_t b = -1;
  if (c.hasSelection()) {
    const auto [endLine, endColumn] = placeOf(c.selectionEnd());
    b = playbackScore->timeAtMs(endLine, endColumn);
    if (b <= a) b = playbackScore->endBeforeMs(endLine, endColumn, a);
  } else if (scrMP->selEnd() > scrMP->selStart()) {
    a = scrMP->selStart();
    b = scrMP->selEnd();
  }
  if (a < 0 || b <= a) {
    action("LoopSelection1Click")->setChecked(false);
    setStatus("Loop Selection: select the notes to loop (or a range of the slider)");
    return false;
  }
  mp->setLoopMs(a, b);
  scrMP->setLoopMarks(clampToInt(a), clampToInt(b));
  mp->setStartPositionMs(a);
  return true;
}

void TfrmMain::runAndPlay(PlayStart start) {
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
    {
      PlaybackScore::Recording recording(*playbackScore, *compiler);
      compiler->Compile(midPath().toStdString());
      // While the recording lives the compiler still holds where each event came from.
      trackView->showCompile(*compiler);
    }
    compileNote_.clear();
    midHoldsText_ = true;
    midClean_ = !frmMsg->messageText().contains("err");
    QApplication::processEvents();
    frmMsg->suspendUpdates(false);
    suspended = false;
    frmMsg->hideDebugPage();
    if (messageViewOption()) MessageView2Click();
    if (!midClean_) {
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
    if (start != PlayStart::Loop) {
      action("LoopSelection1Click")->setChecked(false);
      scrMP->setLoopMarks(0, 0);
    }
    if (start != PlayStart::ReplayPoint) {
      if (!startAt(start)) return;
    } else if (length > scrMP->selStart()) {
      mp->setStartPositionMs(scrMP->selStart());
    } else {
      scrMP->setSelStart(0);
      scrMP->setSelEnd(0);
    }
    mp->play();
    setStatus("playing");
    showPlayerNote();
    // The notes' text and times: read while the music already sounds.
    if (start == PlayStart::ReplayPoint) buildPlaybackScore();
  } catch (const std::exception&) {
    compileNote_.clear();
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
  // A synthesizer or device gone wrong is set up afresh; Run keeps it
  // otherwise.
  try {
    mp->restart();
  } catch (const std::exception&) {
  }
  showPlayerNote();
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
  // What goes out is the text as it stands: an edit since the last Run, or a
  // check, which leaves the fragment in zan.mid, means compiling first.
  if (!midHoldsText_ || !QFile::exists(midPath())) RunCompilePlay1Click();
  if (!midHoldsText_ || !QFile::exists(midPath())) {
    setStatus("Not exported: the score could not be compiled");
    return false;
  }
  if (!midClean_) {
    setStatus("Not exported: the compile reported errors (see the message view)");
    return false;
  }
  QFile source(midPath());
  if (!source.open(QIODevice::ReadOnly)) {
    setStatus("Not exported: " + source.errorString());
    return false;
  }
  const QByteArray bytes = source.readAll();
  if (QString error; !saveBytes(path, bytes, error)) {
    setStatus("Not exported: " + error);
    ErrorBox(QString("Cannot export \"%1\": %2").arg(path, error));
    return false;
  }
  return true;
}
