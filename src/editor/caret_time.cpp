#include "caret_time.h"

#include <QLabel>
#include <QPlainTextEdit>

#include <cmath>

namespace {

constexpr int kDefaultTempo = 500000;  // microseconds a quarter note: 120 a minute

}  // namespace

CaretTime::CaretTime(QPlainTextEdit* editor, QObject* parent) : QObject(parent), editor_(editor), label_(new QLabel) {
  label_->setObjectName("CaretTime");
  label_->setTextFormat(Qt::PlainText);
  label_->setToolTip("Where the caret's line begins in the music (from the last check)");
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
  if (result_.timebase <= 0) return 0;
  double micro = 0;
  int at = 0;
  int tempo = kDefaultTempo;
  for (const auto& [when, value] : result_.tempos) {
    if (when >= tick) break;
    micro += static_cast<double>(when - at) * tempo / result_.timebase;
    at = when;
    tempo = value;
  }
  micro += static_cast<double>(std::max(tick, 0) - at) * tempo / result_.timebase;
  return std::max(micro, 0.0) / 1e6;
}

QString CaretTime::textFor(int line) const {
  if (line < 0 || static_cast<size_t>(line) >= result_.lines.size()) return QString();
  const LineTime& t = result_.lines[static_cast<size_t>(line)];
  if (t.track < 0) return QString();
  const double seconds = secondsAt(t.tick);
  const int tenths = static_cast<int>(std::floor(seconds * 10));
  return QString("track %1  tick %2  beat %3  %4:%5.%6")
      .arg(t.track)
      .arg(t.tick)
      .arg(result_.timebase > 0 ? t.tick / result_.timebase : 0)
      .arg(tenths / 600)
      .arg(tenths / 10 % 60, 2, 10, QLatin1Char('0'))
      .arg(tenths % 10);
}

void CaretTime::update() { label_->setText(textFor(editor_->textCursor().blockNumber())); }
