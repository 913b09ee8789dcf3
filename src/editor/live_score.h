// SPDX-License-Identifier: MIT
// LiveScore: the score as it is typed: colours, the line-number gutter,
// errors marked in the text by a check in the background, and the time at
// the caret. It owns these parts, the View menu switches for them and their
// settings (kept with the player's); the main window only attaches it.
#pragma once

#include <QObject>

#include "player_settings.h"

class QAction;
class QMenu;
class QStatusBar;
class BackgroundCheck;
class CaretTime;
class ErrorMarks;
class LineNumberArea;
class SyntaxHighlighter;
class TExtMemo;

class LiveScore : public QObject {
  Q_OBJECT

 public:
  LiveScore(TExtMemo* editor, QObject* parent = nullptr);

  // Puts the switches into the View menu and the time at the caret into the
  // status bar it is handed.
  void attach(QMenu* viewMenu, QStatusBar* statusBar);
  // Keeps the switches in the user's settings (when the window closes).
  void writeSettings() const;

  QAction* syntaxHighlightingAction() const { return highlighting_; }
  QAction* lineNumbersAction() const { return lineNumbers_; }
  QAction* checkWhileTypingAction() const { return checking_; }
  SyntaxHighlighter* highlighter() const { return highlighter_; }
  LineNumberArea* gutter() const { return gutter_; }
  BackgroundCheck* check() const { return check_; }
  ErrorMarks* marks() const { return marks_; }
  CaretTime* caretTime() const { return caretTime_; }

 signals:
  // A text for the status bar: the error the caret has just entered.
  void statusMessage(const QString& text);
  void statusMessageGone(const QString& text);  // cleared unless the status bar shows something else now

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void apply();

  TExtMemo* editor_;
  LiveScoreSettings settings_;
  SyntaxHighlighter* highlighter_;
  BackgroundCheck* check_;
  ErrorMarks* marks_;
  LineNumberArea* gutter_;
  CaretTime* caretTime_;
  QAction* highlighting_;
  QAction* lineNumbers_;
  QAction* checking_;
};
