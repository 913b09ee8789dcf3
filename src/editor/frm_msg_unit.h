// SPDX-License-Identifier: MIT
// TfrmMsg: the message view. Its "&Message" page lists every line a compile
// reports, and a click on an error line puts the main editor's caret on the
// line it names; its "&Debug" page shows the compiled lines, numbered, and
// finds the text the first error is about.
#pragma once

#include <QMainWindow>
#include <QPlainTextEdit>
#include <QString>
#include <QStringList>

#include <functional>

class QAction;
class QLabel;
class QMenu;
class QTabWidget;
class TExtMemo;

// A read-only text pane that reports clicks after the caret has moved and
// sends Tab and Esc back to the main editor.
class TMessagePane : public QPlainTextEdit {
  Q_OBJECT
 public:
  explicit TMessagePane(QWidget* parent = nullptr);
  // A press of any mouse button puts the caret under the pointer, not only
  // the left one (the message list: a right-click jumps too).
  bool everyButtonPlacesCaret = false;
 signals:
  void clicked();             // after the press has placed the caret
  void leaveRequested();      // Tab or Esc
  void caretMaybeMoved();     // any key or mouse press
 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  bool focusNextPrevChild(bool next) override;
};

// What the message view needs from the main window.
struct MsgHost {
  TExtMemo* editor = nullptr;                          // the main editor
  std::function<void(const QString&)> setStatus;       // main status panel 1
  std::function<QStringList()> compiledLines;          // the compiler's lines after the last compile
  std::function<void(const QString&)> findInSource;    // search the main editor for a text
};

// The source line index a message line names: the integer between its first
// "(" and the first ")", or -1 when there is none.
int LineNumberOf(const QString& messageLine);

// The text an error line is about: between its first two double quotes;
// empty when it has fewer than two.
QString QuotedDetailOf(const QString& messageLine);

class TfrmMsg : public QMainWindow {
  Q_OBJECT

 public:
  explicit TfrmMsg(MsgHost host, QWidget* parent = nullptr);

  // The message list.
  void AddMessage(const QString& line);
  void ClearMessages();
  QString messageText() const;  // the whole list, lines joined by "\n"
  QStringList messageLines() const;
  int messageLineCount() const;          // 0 for an empty list
  QString messageLine(int i) const;
  void suspendUpdates(bool suspended);

  // The "&MessageView" command: visible, "&Message" page, front, focused.
  void showMessagePage();
  // Visible, "&Message" page, the list focused, in front.
  void focusMessageList();
  // Hides the Debug page and unchecks "&Debug".
  void hideDebugPage();
  bool debugPageVisible() const;

  void setMessagePopup(QMenu* menu);  // the main window's editor menu

  TMessagePane* RichEdit1;  // the message list
  TMessagePane* reDebug;    // the Debug view
  QTabWidget* PageControl1;
  QString msgFindText;

 public slots:
  void RichEdit1MouseDown();
  void Debug2Click();
  void Copy1Click();
  void Find1Click();
  void FindNext1Click();
  void FindinSorce1Click();

 private:
  static constexpr int kLinesShown = 10;  // message lines the window has room for when it first opens
  void growToShowLines(int lines);
  void showDebugCaret();
  void backToEditor();

  MsgHost host_;
  QAction* debugAction_;
  QLabel* caretPanel_;
  QMenu* messagePopup_ = nullptr;
};
