// SPDX-License-Identifier: MIT
// LineNumberArea: the gutter left of the score: each line's number (counted
// from 0, as the caret position and the error lines count), its bookmarks
// {#N} and an icon where the background check found an error (red) or an
// error inside a file the line includes (orange). A click on a number
// selects its line.
#pragma once

#include <QWidget>

class TExtMemo;
class ErrorMarks;

class LineNumberArea : public QWidget {
  Q_OBJECT

 public:
  LineNumberArea(TExtMemo* editor, const ErrorMarks* marks);

  void setShown(bool on);
  bool isShown() const { return shown_; }
  int areaWidth() const;
  // The editor line at height y of this widget, or -1 below the last.
  int lineAt(int y) const;
  QSize sizeHint() const override { return QSize(areaWidth(), 0); }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void updateWidth();
  void place();

  TExtMemo* editor_;
  const ErrorMarks* marks_;
  bool shown_ = true;
};
