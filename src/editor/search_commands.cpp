// SPDX-License-Identifier: MIT
// Help > About, and the macro commands that name the macro at the caret: Find Macro jumps to its definition, Check Macro
// shows its body, Help looks it up in the reference. The macro commands read
// the macro table the last Run or check left in the compiler.
#include <QApplication>
#include <QMessageBox>

#include "app_paths.h"
#include "player_settings.h"

#include "editor_text.h"
#include "ext_memo.h"
#include "frm_msg_unit.h"
#include "help_window.h"
#include "player/player.h"
#include "text_search.h"
#include "text_boxes.h"
#include "window_place.h"
#include "zan/cp932.h"
#include "zan/tsmf.h"
#include "zanpad_unit.h"

namespace {

QString findMacroBody(zan::TSmf& compiler, const QString& name) {
  return QString::fromStdString(zan::toUtf8(compiler.macros.FindMacro(zan::toCp932(name.toStdString()))));
}

}  // namespace

void TfrmMain::Find2Click() { search_->find(); }
void TfrmMain::FindNext1Click() { search_->findNext(); }
void TfrmMain::searchText() { search_->search(); }

QString TfrmMain::WordAtCaret() {
  if (reMain->selLength() > 0) return reMain->selText();
  WordAtCaretResult r = ::WordAtCaret(reMain->toPlainText(), reMain->selStart());
  if (r.caret != reMain->selStart()) reMain->setCaret(r.caret);
  return r.word;
}

void TfrmMain::FindMacro1Click() {
  QString w = WordAtCaret();
  QString text = reMain->toPlainText();
  int p = text.indexOf("_m(" + w + ",");
  if (p >= 0) {
    reMain->setSelection(p + 3, static_cast<int>(w.size()));
    setStatus(UiText("ok"));
    return;
  }
  p = text.indexOf("_m(\"" + w + "\",");
  if (p >= 0) {
    reMain->setSelection(p + 4, static_cast<int>(w.size()));
    setStatus(UiText("ok"));
    return;
  }
  QString b = findMacroBody(*compiler, w);
  QString notice;
  if (!b.isEmpty())
    notice = "\"" + w + "\"=\"" + b + UiText("\" は、ファイル外で定義されています。");
  else if (!mp->isOpen() || mp->mode() == zan::player::Mode::NotReady)
    notice = "\"" + w + UiText("\" 失敗。コンパイル後に再び試してください。");
  else
    notice = "\"" + w + UiText("\" 失敗。一般ｺﾏﾝﾄﾞは、ﾍﾙﾌﾟ(F1)をご利用ください。");
  setStatus(notice);
  beepIfWanted();
  if (frmMsg) frmMsg->AddMessage(notice);
}

void TfrmMain::CHeckMacro1Click() {
  QString w = WordAtCaret();
  QString b = findMacroBody(*compiler, w);
  if (b.isEmpty()) b = UiText("見つかりません。ｺﾝﾊﾟｲﾙ後再試行してください。");
  setStatus(w + " = " + b);
}

void TfrmMain::Help2Click() {
  if (!help_) {
    help_ = new THelpWindow(this);
    help_->setObjectName("frmHelp");
  }
  placeBesideOnce(help_, this, {Beside::Right, Beside::Left, Beside::Below, Beside::Above});
  // F1 reaches this window from the others too; only here does the word at
  // the caret mean something.
  bool mainActive = isActiveWindow() || QApplication::activeWindow() == nullptr;
  if (mainActive) {
    // The command at the caret, read as the language reads it; a name with
    // a topic of its own (REV, T) opens that topic, and only a macro without
    // one leads to the command its body calls.
    QString w = reMain->selLength() > 0 ? reMain->selText() : HelpWordAtCaret(reMain->toPlainText(), reMain->selStart());
    QString b = help_->hasTopic(w) ? QString() : findMacroBody(*compiler, w);
    help_->lookUp(b.isEmpty() ? w : b);
  } else {
    help_->showContents();
  }
  help_->show();
  help_->raise();
  help_->activateWindow();
}

void TfrmMain::About1Click() {
  const QString soundFont = QString::fromStdString(mp->soundFontPath());
  QMessageBox::about(this, UiText("About zanpad"),
                     UiText("<p><b>zanpad %1</b>, the MML score editor, with the zan compiler.</p>"
                             "<p>Released under the MIT licence.</p>"
                             "<p>SoundFont in use: %2</p>"
                             "<p>Editor settings: %3<br>Player settings: %4<br>Compiled file: %5</p>")
                         .arg(ZAN_VERSION,
                              soundFont.isEmpty() ? UiText("none yet (Tool &gt; MIDI DEVICE)") : soundFont.toHtmlEscaped(),
                              settingsPath().toHtmlEscaped(), userSettings().fileName().toHtmlEscaped(),
                              midPath().toHtmlEscaped()));
}
