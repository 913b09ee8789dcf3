// SPDX-License-Identifier: MIT
#include "caret_time.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QTextBlock>

#include <algorithm>
#include <cmath>
#include <optional>

#include "text_boxes.h"
#include "zan/line_columns.h"
#include "zan/music.h"

CaretTime::CaretTime(QPlainTextEdit* editor, QObject* parent) : QObject(parent), editor_(editor), label_(new QLabel) {
  label_->setObjectName("CaretTime");
  label_->setTextFormat(Qt::PlainText);
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

int32_t CaretTime::byteColumn(int line, int column) const {
  const QTextBlock block = editor_->document()->findBlockByNumber(line);
  const QByteArray utf8 = block.isValid() ? block.text().toUtf8() : QByteArray();
  return zan::LineColumns::ofUtf8(std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())))
      .convert(std::max(column, 0), zan::LineColumns::Utf16, zan::LineColumns::Cp932);
}

std::optional<CaretTime::Place> CaretTime::placeAt(int line, int column) const {
  if (!result_.music || line < 0) return std::nullopt;
  if (const zan::CommandTime* at = result_.music->timeAt(line, byteColumn(line, column))) return Place{at->track, at->tick};
  if (const zan::LineTime* start = result_.music->lineStart(line)) return Place{start->track, start->tick};
  return std::nullopt;
}

QString CaretTime::textOf(Place place) const {
  const Metre::Position at = result_.metre.positionOf(place.tick, result_.music->timebase());
  const int tenths = static_cast<int>(std::floor(secondsAt(place.tick) * 10));
  return UiText("bar %1 beat %2  %3:%4.%5  track %6")
      .arg(at.bar)
      .arg(at.beat)
      .arg(tenths / 600)
      .arg(tenths / 10 % 60, 2, 10, QLatin1Char('0'))
      .arg(tenths % 10)
      .arg(place.track);
}

QString CaretTime::textFor(int line, int column) const {
  const std::optional<Place> place = placeAt(line, column);
  return place ? textOf(*place) : QString();
}

int CaretTime::tickFor(int line, int column) const {
  const std::optional<Place> place = placeAt(line, column);
  return place ? place->tick : -1;
}

void CaretTime::update() {
  const QTextCursor cursor = editor_->textCursor();
  const std::optional<Place> place = placeAt(cursor.blockNumber(), cursor.positionInBlock());
  label_->setText(place ? textOf(*place) : QString());
  label_->setToolTip(!place ? QString()
                            : UiText("Where the caret stands in the music (from the last check): tick %1. Bars and beats "
                                     "count by the score's {metre 3/4} comment, 4/4 without one.")
                                  .arg(place->tick));
}
