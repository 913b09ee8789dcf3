// SPDX-License-Identifier: MIT
// Bookmarks live in the text itself, as the comments {#0} .. {#9}: they are
// saved with the score and never change the music.
#pragma once

#include <QObject>
#include <QString>

class QKeyEvent;
class QMenu;
class TExtMemo;

// The bookmark commands of an editor: Ctrl+Shift+digit sets or removes a
// bookmark on the caret's line, Ctrl+digit goes to one (each once per press
// of the keys, however long they are held), and the context menu's "Toggle
// BookMark" and "Goto BookMark" lists.
class Bookmarks : public QObject {
  Q_OBJECT

 public:
  explicit Bookmarks(TExtMemo* editor);
  void addMenusTo(QMenu* popup);  // the two lists of ten
  void toggle(int digit);
  void go(int digit);  // and the focus to the editor, when the bookmark exists

 private:
  void keyDown(QKeyEvent* event);
  void keyUp(QKeyEvent* event);

  TExtMemo* editor_;
  bool keyHeld_ = false;  // holding the bookmark keys acts once
};

QString bookmarkMarker(int digit);  // "{#" digit "}"

// The digit 0..9 of a main-keyboard digit key, whatever Shift made of it
// ("#" for Shift+3 on a US layout), or -1.
int bookmarkDigit(const QKeyEvent* event);

// Moves bookmark `digit` to the caret's line, or removes it when it is there.
void toggleBookmark(TExtMemo& editor, int digit);

// Puts the caret behind the first marker of `digit`; false when there is none.
bool gotoBookmark(TExtMemo& editor, int digit);

// ";" and 79 "-": a line comment that separates sections.
QString separatorLine();
