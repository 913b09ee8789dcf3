#include "caret_time.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QTextBlock>

#include <algorithm>
#include <cmath>

#include "text_boxes.h"
#include "zan/line_columns.h"
#include "zan/music.h"

CaretTime::CaretTime(QPlainTextEdit* editor, QObject* parent) : QObject(parent), editor_(editor), label_(new QLabel) {
  label_->setObjectName("CaretTime");
  label_->setTextFormat(Qt::PlainText);
  label_->setToolTip(UiText("Where the caret stands in the music (from the last check): the bar and beat count by the score's {metre 3/4} comment, 4/4 without one"));
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

QString CaretTime::textFor(int line, int column) const {
  if (!result_.music || line < 0) return QString();
  const zan::Music& music = *result_.music;
  int track = 0, tick = 0;
  const QTextBlock block = editor_->document()->findBlockByNumber(line);
  const QByteArray utf8 = block.isValid() ? block.text().toUtf8() : QByteArray();
  const int32_t byte = zan::LineColumns::ofUtf8(std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())))
                           .convert(std::max(column, 0), zan::LineColumns::Utf16, zan::LineColumns::Cp932);
  if (const zan::CommandTime* at = music.timeAt(line, byte)) {
    track = at->track;
    tick = at->tick;
  } else if (const zan::LineTime* start = music.lineStart(line)) {
    track = start->track;
    tick = start->tick;
  } else {
    return QString();
  }
  const Metre::Position place = result_.metre.positionOf(tick, music.timebase());
  const int tenths = static_cast<int>(std::floor(secondsAt(tick) * 10));
  return UiText("track %1  bar %2  beat %3  tick %4  %5:%6.%7")
      .arg(track)
      .arg(place.bar)
      .arg(place.beat)
      .arg(tick)
      .arg(tenths / 600)
      .arg(tenths / 10 % 60, 2, 10, QLatin1Char('0'))
      .arg(tenths % 10);
}

void CaretTime::update() {
  const QTextCursor cursor = editor_->textCursor();
  label_->setText(textFor(cursor.blockNumber(), cursor.positionInBlock()));
}
