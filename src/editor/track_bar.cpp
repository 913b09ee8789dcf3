#include "track_bar.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionSlider>

TTrackBar::TTrackBar(QWidget* parent) : QSlider(Qt::Horizontal, parent) {
  setTickPosition(QSlider::NoTicks);
  setRange(0, 0);
  // actionTriggered fires for the user's moves only; the thumb position is
  // already the new one when it does.
  connect(this, &QAbstractSlider::actionTriggered, this, [this](int action) {
    if (action != QAbstractSlider::SliderNoAction) emit userMoved(sliderPosition());
  });
}

void TTrackBar::setSelStart(int v) {
  selStart_ = v;
  update();
}

void TTrackBar::setSelEnd(int v) {
  selEnd_ = v;
  update();
}

void TTrackBar::paintEvent(QPaintEvent* event) {
  if (maximum() > minimum() && selEnd_ > selStart_) {
    QStyleOptionSlider opt;
    initStyleOption(&opt);
    QRect groove = style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderGroove, this);
    int span = groove.width();
    auto xOf = [&](int v) {
      return groove.left() + QStyle::sliderPositionFromValue(minimum(), maximum(), v, span);
    };
    QPainter p(this);
    QRect band(QPoint(xOf(selStart_), groove.bottom() + 1), QPoint(xOf(selEnd_), groove.bottom() + 3));
    p.fillRect(band, palette().color(QPalette::Highlight));
  }
  QSlider::paintEvent(event);
}
