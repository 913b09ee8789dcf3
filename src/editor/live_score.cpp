// SPDX-License-Identifier: MIT
#include "live_score.h"

#include <QAction>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>

#include "background_check.h"
#include "caret_time.h"
#include "error_marks.h"
#include "ext_memo.h"
#include "line_number_area.h"
#include "syntax_highlighter.h"
#include "text_boxes.h"
#include "zan/translate.h"

LiveScore::LiveScore(TExtMemo* editor, QObject* parent)
    : QObject(parent), editor_(editor), settings_(loadLiveScoreSettings()) {
  highlighter_ = new SyntaxHighlighter(editor_->document(), editor_->background());
  highlighter_->setParent(this);
  check_ = new BackgroundCheck(editor_, this);
  marks_ = new ErrorMarks(editor_, this);
  gutter_ = new LineNumberArea(editor_, marks_);
  caretTime_ = new CaretTime(editor_, this);
  connect(check_, &BackgroundCheck::resultReady, marks_, &ErrorMarks::setResult);
  connect(check_, &BackgroundCheck::resultReady, caretTime_, &CaretTime::setResult);
  connect(marks_, &ErrorMarks::statusMessage, this, &LiveScore::statusMessage);
  connect(marks_, &ErrorMarks::statusMessageGone, this, &LiveScore::statusMessageGone);

  auto toggle = [this](const char* caption, const char* name, bool on) {
    auto* a = new QAction(UiText(caption), this);
    a->setObjectName(name);
    a->setCheckable(true);
    a->setChecked(on);
    connect(a, &QAction::toggled, this, &LiveScore::apply);
    return a;
  };
  highlighting_ = toggle(zan::N_("Syntax Highlighting"), "SyntaxHighlighting", settings_.syntaxHighlighting);
  lineNumbers_ = toggle(zan::N_("Line Numbers"), "LineNumbers", settings_.lineNumbers);
  checking_ = toggle(zan::N_("Check While Typing"), "CheckWhileTyping", settings_.checkWhileTyping);
  apply();
  // "Editer Color" changes the background: the colours follow it.
  editor_->installEventFilter(this);
}

void LiveScore::attach(QMenu* viewMenu, QStatusBar* statusBar) {
  viewMenu->addSeparator();
  viewMenu->addActions({highlighting_, lineNumbers_, checking_});
  statusBar->addPermanentWidget(caretTime_->label());
}

void LiveScore::writeSettings() const { saveLiveScoreSettings(settings_); }

void LiveScore::apply() {
  settings_.syntaxHighlighting = highlighting_->isChecked();
  settings_.lineNumbers = lineNumbers_->isChecked();
  settings_.checkWhileTyping = checking_->isChecked();
  highlighter_->setEnabled(settings_.syntaxHighlighting);
  gutter_->setShown(settings_.lineNumbers);
  check_->setEnabled(settings_.checkWhileTyping);
}

bool LiveScore::eventFilter(QObject* watched, QEvent* event) {
  if (watched == editor_ && event->type() == QEvent::PaletteChange) {
    highlighter_->setBackground(editor_->background());
    gutter_->update();
  }
  return QObject::eventFilter(watched, event);
}
