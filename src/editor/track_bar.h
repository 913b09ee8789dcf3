// TTrackBar: the playback slider. A horizontal slider with a selection range
// drawn under its groove (the replay point is the selection's start), which
// reports only the moves the user makes, never those the program makes.
#pragma once

#include <QSlider>

class TTrackBar : public QSlider {
  Q_OBJECT
 public:
  explicit TTrackBar(QWidget* parent = nullptr);

  int selStart() const { return selStart_; }
  int selEnd() const { return selEnd_; }
  void setSelStart(int v);
  void setSelEnd(int v);

 signals:
  // The user moved the thumb (drag, click, keys, wheel); `position` is where.
  void userMoved(int position);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  int selStart_ = 0;
  int selEnd_ = 0;
};
