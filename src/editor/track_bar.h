// SPDX-License-Identifier: MIT
// TTrackBar: the playback slider. A horizontal slider with a selection range
// drawn under its groove (the replay point is the selection's start), which
// reports only the moves the user makes, never those the program makes. A
// click on the groove moves the thumb there (not a page towards it).
#pragma once

#include <QSlider>
#include <QString>

// "position / length" as m:ss, both in milliseconds: "0:07 / 1:23".
QString playTimeText(int positionMs, int lengthMs);

class TTrackBar : public QSlider {
  Q_OBJECT
 public:
  explicit TTrackBar(QWidget* parent = nullptr);

  int selStart() const { return selStart_; }
  int selEnd() const { return selEnd_; }
  void setSelStart(int v);
  void setSelEnd(int v);
  // The A-B loop's ends, drawn as two marks above the groove; b <= a: none.
  void setLoopMarks(int a, int b);
  int loopA() const { return loopA_; }
  int loopB() const { return loopB_; }

 signals:
  // The user moved the thumb (drag, click, keys, wheel); `position` is where.
  void userMoved(int position);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  int selStart_ = 0;
  int selEnd_ = 0;
  int loopA_ = 0;
  int loopB_ = 0;
};
