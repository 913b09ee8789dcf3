// SPDX-License-Identifier: MIT
#include "bookmarks.h"

#include <QAction>
#include <QKeyEvent>
#include <QMenu>

#include "ext_memo.h"
#include "text_boxes.h"
#include "zanpad_unit.h"

QString bookmarkMarker(int digit) { return QString("{#%1}").arg(digit); }

QString separatorLine() { return ";" + QString(79, '-'); }

int bookmarkDigit(const QKeyEvent* event) {
  if (event->modifiers() & Qt::KeypadModifier) return -1;  // main keyboard only
  int key = event->key();
  if (key >= Qt::Key_0 && key <= Qt::Key_9) return key - Qt::Key_0;
  // With Shift held the key reports the shifted symbol. The X11 key codes
  // of the digit row (10 = "1" .. 18 = "9", 19 = "0") name the digit
  // whatever the layout.
  quint32 scan = event->nativeScanCode();
  if (scan >= 10 && scan <= 19) return scan == 19 ? 0 : static_cast<int>(scan) - 9;
  static const QString usShifted = ")!@#$%^&*(";
  QString text = event->text();
  if (text.size() == 1) {
    int i = usShifted.indexOf(text.at(0));
    if (i >= 0) return i;
  }
  switch (key) {
    case Qt::Key_ParenRight: return 0;
    case Qt::Key_Exclam: return 1;
    case Qt::Key_At: return 2;
    case Qt::Key_NumberSign: return 3;
    case Qt::Key_Dollar: return 4;
    case Qt::Key_Percent: return 5;
    case Qt::Key_AsciiCircum: return 6;
    case Qt::Key_Ampersand: return 7;
    case Qt::Key_Asterisk: return 8;
    case Qt::Key_ParenLeft: return 9;
    default: return -1;
  }
}

void toggleBookmark(TExtMemo& editor, int digit) {
  const QString marker = bookmarkMarker(digit);
  const int caretLine = editor.caretLine();
  if (editor.toPlainText().contains(marker)) {
    // The marker leaves every line above the caret's and, when it stands on
    // the caret's line, that line too; then the toggle is done.
    const int count = editor.lineCount();
    for (int i = 0; i < count; ++i) {
      QString text = editor.line(i);
      int at = text.indexOf(marker);
      if (at >= 0) {
        text.remove(at, static_cast<int>(marker.size()));
        editor.replaceLine(i, text);
        editor.setCaret(editor.lineStart(caretLine));
        editor.viewport()->update();
        if (i == caretLine) return;
      }
    }
  }
  editor.replaceLine(caretLine, marker + editor.line(caretLine));
}

bool gotoBookmark(TExtMemo& editor, int digit) {
  int at = editor.toPlainText().indexOf(bookmarkMarker(digit));
  if (at < 0) return false;
  // Directly behind the marker: the caret lands at the start of the line's
  // own text when the marker leads the line.
  editor.setCaret(at + 4);
  return true;
}

Bookmarks::Bookmarks(TExtMemo* editor) : QObject(editor), editor_(editor) {
  connect(editor_, &TExtMemo::keyDown, this, &Bookmarks::keyDown);
  connect(editor_, &TExtMemo::keyUp, this, &Bookmarks::keyUp);
}

void Bookmarks::toggle(int digit) { toggleBookmark(*editor_, digit); }

void Bookmarks::go(int digit) {
  if (gotoBookmark(*editor_, digit)) editor_->setFocus();
}

void Bookmarks::addMenusTo(QMenu* popup) {
  QMenu* toggles = popup->addMenu(UiText("&Toggle BookMark"));
  QMenu* goes = popup->addMenu(UiText("&Goto BookMark"));
  for (int digit = 0; digit <= 9; ++digit) {
    QAction* t = toggles->addAction(UiText("BookMark &%1").arg(digit));
    t->setData(digit);
    connect(t, &QAction::triggered, this, [this, digit] { toggle(digit); });
    QAction* g = goes->addAction(UiText("BookMark &%1").arg(digit));
    g->setData(digit);
    connect(g, &QAction::triggered, this, [this, digit] { go(digit); });
  }
}

void Bookmarks::keyDown(QKeyEvent* event) {
  if (keyHeld_ || event->isAutoRepeat()) return;
  const int digit = bookmarkDigit(event);
  if (digit < 0) return;
  const Qt::KeyboardModifiers mods =
      event->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier | Qt::MetaModifier);
  if (mods == (Qt::ControlModifier | Qt::ShiftModifier)) {
    toggle(digit);
    keyHeld_ = true;
  } else if (mods == Qt::ControlModifier) {
    go(digit);
    keyHeld_ = true;
  }
}

void Bookmarks::keyUp(QKeyEvent* event) {
  // X11 sends a release before every auto-repeated press; those do not end
  // the hold.
  if (!event->isAutoRepeat()) keyHeld_ = false;
}

void TfrmMain::BookMark91Click(int digit) { bookmarks_->toggle(digit); }
void TfrmMain::BookMark92Click(int digit) { bookmarks_->go(digit); }
void TfrmMain::ToggleBookmark(int digit) { bookmarks_->toggle(digit); }
void TfrmMain::GotoBookmark(int digit) { bookmarks_->go(digit); }

void TfrmMain::InsertLineClick() {
  // The separator goes above the caret's line; the caret stays with its text.
  int line = reMain->caretLine();
  int column = reMain->caretColumn();
  reMain->insertLine(line, separatorLine());
  reMain->setCaret(reMain->lineStart(line + 1) + column);
}
