// SPDX-License-Identifier: MIT
#include "track_bar.h"

#include <QMouseEvent>
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

QString playTimeText(int positionMs, int lengthMs) {
  const auto mss = [](int ms) {
    const int s = std::max(ms, 0) / 1000;
    return QString("%1:%2").arg(s / 60).arg(s % 60, 2, 10, QLatin1Char('0'));
  };
  return mss(positionMs) + " / " + mss(lengthMs);
}

void TTrackBar::mousePressEvent(QMouseEvent* event) {
  QStyleOptionSlider opt;
  initStyleOption(&opt);
  const QRect handle = style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, this);
  const QPoint at = event->position().toPoint();
  if (event->button() == Qt::LeftButton && !handle.contains(at) && maximum() > minimum()) {
    const QRect groove = style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderGroove, this);
    const int span = std::max(1, groove.width() - handle.width());
    const int x = at.x() - groove.x() - handle.width() / 2;
    setSliderPosition(QStyle::sliderValueFromPosition(minimum(), maximum(), x, span, opt.upsideDown));
    triggerAction(QAbstractSlider::SliderMove);  // a move the user made
    // The thumb is now under the pointer: the press goes on as a drag of it.
  }
  QSlider::mousePressEvent(event);
}

void TTrackBar::setSelStart(int v) {
  selStart_ = v;
  update();
}

void TTrackBar::setSelEnd(int v) {
  selEnd_ = v;
  update();
}

void TTrackBar::setLoopMarks(int a, int b) {
  loopA_ = a;
  loopB_ = b;
  update();
}

void TTrackBar::paintEvent(QPaintEvent* event) {
  if (maximum() > minimum() && loopB_ > loopA_) {
    QStyleOptionSlider opt;
    initStyleOption(&opt);
    const QRect groove = style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderGroove, this);
    QPainter p(this);
    QFont small = font();
    small.setPixelSize(std::max(8, height() / 2));
    p.setFont(small);
    const QColor mark = palette().color(QPalette::Highlight);
    for (const auto& [value, letter] : {std::pair{loopA_, QStringLiteral("A")}, std::pair{loopB_, QStringLiteral("B")}}) {
      const int x = groove.left() + QStyle::sliderPositionFromValue(minimum(), maximum(), value, groove.width());
      p.fillRect(QRect(x - 1, 0, 2, height()), mark);
      p.setPen(mark);
      p.drawText(QRect(letter == "A" ? x + 3 : x - 3 - height(), 0, height(), height()),
                 (letter == "A" ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignTop, letter);
    }
  }
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
