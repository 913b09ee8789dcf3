// SPDX-License-Identifier: MIT
// TfrmList: the comment list, an index of the {...} comments of the score
// in the main editor. It keeps the most recently used comments at the top,
// selects the first comment that begins with what is typed in its filter
// box, and jumps to a comment by selecting it in the editor.
#pragma once

#include <QMainWindow>

class QAction;
class QKeyEvent;
class QLineEdit;
class QListWidget;
class TExtMemo;

class TfrmList : public QMainWindow {
  Q_OBJECT

 public:
  explicit TfrmList(TExtMemo* reMain, QWidget* parent = nullptr);

  QLineEdit* Edit1;       // the filter box
  QListWidget* ListBox1;  // the entries: each the full text of a comment, braces included

  QAction* Clear2;   // "&Clear" > "&Clear"
  QAction* Update1;  // "&Update", on the menu bar itself
  QAction* Name1;    // "&Sort" > "&Name"
  QAction* Place1;   // "&Sort" > "&Place"

  // The entries from top to bottom.
  QStringList entries() const;
  // The selected entry's row, -1 when none is selected.
  int selectedRow() const;

 public slots:
  void Update1Click();      // add new comments at the end, drop those gone from the text
  void Place1Click();       // all comments in text order, duplicates included
  void Name1Click();        // update, then sort once by name
  void Clear2Click();       // empty the list
  void ListBox1DblClick();  // jump to the selected comment
  void Edit1Change();       // select the first entry that begins with "{" + the filter
  void FormShow();
  void FormActivate();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  bool event(QEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  // True when the key was handled here and the list must not see it.
  bool ListBox1KeyDown(QKeyEvent* event);
  bool Edit1KeyDown(QKeyEvent* event);
  void jump();

  TExtMemo* reMain_;  // the main editor: the text indexed, and where a jump lands
};
