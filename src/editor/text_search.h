// SPDX-License-Identifier: MIT
// TextSearch: Find, Find Next, Replace and Go to Line over the editor's
// text. It owns the commands and the text last searched for; Find takes the
// selection, or asks for the text, and searches on from one after the
// selection's start, wrapping to the top.
#pragma once

#include <QObject>
#include <QString>

class QAction;
class QMenu;
class TExtMemo;

class TextSearch : public QObject {
  Q_OBJECT

 public:
  explicit TextSearch(QObject* parent);
  void attach(TExtMemo* editor) { editor_ = editor; }
  // "&Find" (Ctrl+F) and "Find &Next" (F3), named for their handlers.
  QAction* findAction() const { return find_; }
  QAction* findNextAction() const { return findNext_; }
  QAction* replaceAction() const { return replace_; }      // "&Replace..." (Ctrl+Shift+H)
  QAction* goToLineAction() const { return goToLine_; }    // "&Go to Line..." (Ctrl+G)

  QString text;  // the text last searched for

  void find();
  void findNext();  // Find when there is no text yet
  void search();    // for `text`, from one after the selection's start
  // Replace: the selection, when it is `text`, becomes `with`, and the next
  // match is selected. Replace All: every match, in one undo step; returns
  // how many.
  void replaceNext(const QString& with);
  int replaceAll(const QString& with);
  // Puts the caret at the start of line `line` (counted from 0, as the
  // gutter counts); false when there is no such line.
  bool goTo(int line);

 signals:
  void status(const QString& text);  // for the status bar

 private:
  TExtMemo* editor_ = nullptr;
  QAction* find_;
  QAction* findNext_;
  QAction* replace_;
  QAction* goToLine_;
  void askReplace();
  void askLine();
};
