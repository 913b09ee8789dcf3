// SPDX-License-Identifier: MIT
#include "caret_time.h"

#include <QLabel>
#include <QPlainTextEdit>

#include <algorithm>
#include <cmath>

#include "text_boxes.h"
#include "zan/music.h"

CaretTime::CaretTime(QPlainTextEdit* editor, QObject* parent) : QObject(parent), editor_(editor), label_(new QLabel) {
  label_->setObjectName("CaretTime");
  label_->setTextFormat(Qt::PlainText);
  label_->setToolTip(UiText("Where the caret's line begins in the music (from the last check)"));
  connect(editor_, &QPlainTextEdit::cursorPositionChanged, this, &CaretTime::update);
}

CaretTime::~CaretTime() {
  if (label_ && !label_->parent()) delete label_;
}

void CaretTime::setResult(const CheckResult& result) {
  result_ = result;
  update();
}

double CaretTime::secondsAt(int tick) const {
  return result_.music ? result_.music->tempo().msOfTick(std::max(tick, 0)) / 1000.0 : 0;
}

QString CaretTime::textFor(int line) const {
  const zan::LineTime* t = result_.music && line >= 0 ? result_.music->lineStart(line) : nullptr;
  if (!t) return QString();
  const double seconds = secondsAt(t->tick);
  const int tenths = static_cast<int>(std::floor(seconds * 10));
  return UiText("track %1  tick %2  beat %3  %4:%5.%6")
      .arg(t->track)
      .arg(t->tick)
      .arg(t->tick / result_.music->timebase())
      .arg(tenths / 600)
      .arg(tenths / 10 % 60, 2, 10, QLatin1Char('0'))
      .arg(tenths % 10);
}

void CaretTime::update() { label_->setText(textFor(editor_->textCursor().blockNumber())); }
