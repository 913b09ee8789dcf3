// SPDX-License-Identifier: MIT
// The Run menu's handlers, which PlaybackControl carries out, and Export,
// which copies Run's compile of the text as it stands.
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>

#include "app_paths.h"
#include "document.h"
#include "document_io.h"
#include "frm_msg_unit.h"
#include "playback_control.h"
#include "text_boxes.h"
#include "ext_memo.h"
#include "zan/tsmf.h"
#include "zanpad_unit.h"

namespace {

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
  QString note = UiText("note(%1)\"%2\": no CP932 (Shift-JIS) form, read as \"?\"")
                     .arg(first)
                     .arg(converted.unencodable[static_cast<size_t>(first)]);
  if (lines > 1) note += UiText(" (%1 lines hold such characters)").arg(lines);
  return note;
}

}  // namespace

void TfrmMain::loadCompilerLines() {
  CompilerLines converted = toCompilerLines(reMain->lines());
  compileNote_ = unencodableNote(converted);
  compiler->sourceLines.assign(std::move(converted.lines));
  compiler->scorePath = fileName.toStdString();  // an #include looks beside the document
}

void TfrmMain::RunCompilePlay1Click() { playback_->run(PlaybackControl::Start::ReplayPoint); }
void TfrmMain::PlayFromCaret1Click() { playback_->run(PlaybackControl::Start::Caret); }
void TfrmMain::LoopSelection1Click() { playback_->loopSelection(action("LoopSelection1Click")->isChecked()); }
void TfrmMain::RePlay1Click() { playback_->replay(); }
void TfrmMain::Pause1Click() { playback_->pause(); }
void TfrmMain::Stop1Click() { playback_->stop(); }
void TfrmMain::ResetPlayer1Click() { playback_->resetPlayer(); }
void TfrmMain::scrMPChange(int position) { playback_->sliderMoved(position); }
void TfrmMain::Timer1Timer() { playback_->secondTick(); }
void TfrmMain::openPlayer() { playback_->openPlayer(); }
void TfrmMain::showPlayerNote() { playback_->showPlayerNote(); }
QString TfrmMain::playerNote() const { return playback_->playerNote(); }
void TfrmMain::forgetCompiledText() { playback_->forgetCompiledText(); }

void TfrmMain::ExportSMF1Click() {
  QFileDialog dialog(this, UiText("Export ->SMF"), QFileInfo(fileName).absolutePath(),
                     "(*.mid) (*.mid);;(*.*) (*);;(*.zan) (*.zan)");
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix("mid");
  // The score's own name, with .mid.
  if (!fileName.isEmpty()) dialog.selectFile(QFileInfo(fileName).completeBaseName() + ".mid");
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  exportTo(dialog.selectedFiles().front());
}

bool TfrmMain::exportTo(const QString& path) {
  // What goes out is the text as it stands: an edit since the last Run, or a
  // check, which leaves the fragment in zan.mid, means compiling first.
  // Compiled only: exporting never starts the music.
  if (!playback_->compiledText() || !QFile::exists(midPath())) playback_->compileOnly();
  if (!playback_->compiledText() || !QFile::exists(midPath())) {
    setStatus(UiText("Not exported: the score could not be compiled"));
    return false;
  }
  if (!playback_->compiledClean()) {
    setStatus(UiText("Not exported: the compile reported errors (see the message view)"));
    return false;
  }
  QFile source(midPath());
  if (!source.open(QIODevice::ReadOnly)) {
    setStatus(UiText("Not exported: ") + source.errorString());
    return false;
  }
  const QByteArray bytes = source.readAll();
  if (QString error; !saveBytes(path, bytes, error)) {
    setStatus(UiText("Not exported: ") + error);
    ErrorBox(UiText("Cannot export \"%1\": %2").arg(path, error));
    return false;
  }
  return true;
}
