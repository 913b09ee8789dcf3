// SPDX-License-Identifier: MIT
#include "line_number_area.h"

#include <QAbstractTextDocumentLayout>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTextBlock>
#include <QToolTip>

#include <map>

#include "error_marks.h"
#include "ext_memo.h"

namespace {

constexpr int kPadding = 4;  // pixels right of the numbers

// The digits of the bookmarks {#N} on a line.
QString bookmarksOf(const QString& text) {
  QString digits;
  for (qsizetype at = text.indexOf("{#"); at >= 0; at = text.indexOf("{#", at + 2))
    if (at + 3 < text.size() && text[at + 2] >= '0' && text[at + 2] <= '9' && text[at + 3] == '}') digits += text[at + 2];
  return digits;
}

}  // namespace

LineNumberArea::LineNumberArea(TExtMemo* editor, const ErrorMarks* marks)
    : QWidget(editor), editor_(editor), marks_(marks) {
  setObjectName("LineNumberArea");
  setCursor(Qt::PointingHandCursor);
  connect(editor_, &QPlainTextEdit::blockCountChanged, this, &LineNumberArea::updateWidth);
  connect(editor_, &QPlainTextEdit::updateRequest, this, [this](const QRect& rect, int dy) {
    if (dy != 0)
      scroll(0, dy);
    else
      update(0, rect.y(), width(), rect.height());
  });
  if (marks_) connect(marks_, &ErrorMarks::changed, this, qOverload<>(&QWidget::update));
  editor_->installEventFilter(this);
  updateWidth();
}

void LineNumberArea::setShown(bool on) {
  shown_ = on;
  setVisible(on);
  updateWidth();
}

int LineNumberArea::areaWidth() const {
  if (!shown_) return 0;
  const QFontMetrics fm(editor_->font());
  int digits = 1;
  for (int n = std::max(editor_->blockCount() - 1, 1); n >= 10; n /= 10) ++digits;
  digits = std::max(digits, 3);
  // The icon, a bookmark digit, the number.
  return fm.height() + fm.horizontalAdvance(QLatin1Char('9')) + 4 + digits * fm.horizontalAdvance(QLatin1Char('9')) + kPadding;
}

void LineNumberArea::updateWidth() {
  editor_->setGutterWidth(areaWidth());
  place();
}

void LineNumberArea::place() {
  const QRect r = editor_->contentsRect();
  setGeometry(QRect(r.left(), r.top(), areaWidth(), r.height()));
}

bool LineNumberArea::eventFilter(QObject* watched, QEvent* event) {
  if (watched == editor_ && event->type() == QEvent::Resize) place();
  if (watched == editor_ && event->type() == QEvent::FontChange) updateWidth();
  return QWidget::eventFilter(watched, event);
}

int LineNumberArea::lineAt(int y) const {
  QTextBlock block = editor_->cursorForPosition(QPoint(0, 0)).block();
  const auto* layout = editor_->document()->documentLayout();
  int top = editor_->cursorRect(QTextCursor(block)).top();
  for (; block.isValid(); block = block.next()) {
    const int height = static_cast<int>(layout->blockBoundingRect(block).height());
    if (y < top + height) return y < top ? -1 : block.blockNumber();
    top += height;
  }
  return -1;
}

void LineNumberArea::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  const QColor base = editor_->background();
  const bool dark = base.lightnessF() < 0.5;
  painter.fillRect(event->rect(), dark ? base.lighter(130) : base.darker(108));
  const QColor numberColour = dark ? QColor(0x90, 0x90, 0x90) : QColor(0x80, 0x80, 0x80);
  const QFontMetrics fm(editor_->font());
  painter.setFont(editor_->font());

  // The lines with marks and the worst of each (an error outranks a warning).
  std::map<int, bool> errorLines;  // line -> true for an error
  if (marks_)
    for (const ErrorMarks::Placed& p : marks_->marks()) errorLines[p.span.blockNumber()] |= !p.mark.elsewhere;

  const auto* layout = editor_->document()->documentLayout();
  QTextBlock block = editor_->cursorForPosition(QPoint(0, 0)).block();
  int top = editor_->cursorRect(QTextCursor(block)).top();
  const int icon = fm.height();
  const int digit = fm.horizontalAdvance(QLatin1Char('9'));
  for (; block.isValid() && top <= event->rect().bottom(); block = block.next()) {
    const int height = static_cast<int>(layout->blockBoundingRect(block).height());
    if (block.isVisible() && top + height >= event->rect().top()) {
      const int line = block.blockNumber();
      painter.setPen(numberColour);
      painter.drawText(QRect(0, top, width() - kPadding, fm.height()), Qt::AlignRight | Qt::AlignVCenter,
                       QString::number(line));
      const QString bookmarks = bookmarksOf(block.text());
      if (!bookmarks.isEmpty()) {
        const QRect badge(icon + 1, top + 1, digit + 2, fm.height() - 2);
        painter.fillRect(badge, QColor(0x30, 0x80, 0xE0));
        painter.setPen(Qt::white);
        painter.drawText(badge, Qt::AlignCenter, bookmarks.left(1));
      }
      auto mark = errorLines.find(line);
      if (mark != errorLines.end()) {
        painter.save();
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF box(2, top + 2, icon - 4, icon - 4);
        painter.setPen(Qt::NoPen);
        if (mark->second) {
          painter.setBrush(QColor(0xD0, 0x20, 0x20));
          painter.drawEllipse(box);
        } else {
          QPainterPath triangle;
          triangle.moveTo(box.center().x(), box.top());
          triangle.lineTo(box.right(), box.bottom());
          triangle.lineTo(box.left(), box.bottom());
          triangle.closeSubpath();
          painter.setBrush(QColor(0xE0, 0x90, 0x00));
          painter.drawPath(triangle);
        }
        painter.setPen(Qt::white);
        QFont bold = editor_->font();
        bold.setBold(true);
        bold.setPixelSize(std::max(6, icon - 6));
        painter.setFont(bold);
        painter.drawText(box, Qt::AlignCenter, "!");
        painter.restore();
      }
    }
    top += height;
  }
}

void LineNumberArea::mousePressEvent(QMouseEvent* event) {
  const int line = lineAt(static_cast<int>(event->position().y()));
  if (line < 0) return;
  const int start = editor_->lineStart(line);
  const int end = line + 1 < editor_->lineCount() ? editor_->lineStart(line + 1) : editor_->document()->characterCount() - 1;
  editor_->setSelection(start, end - start);
  editor_->setFocus();
}

bool LineNumberArea::event(QEvent* event) {
  if (event->type() == QEvent::ToolTip && marks_) {
    auto* help = static_cast<QHelpEvent*>(event);
    const QString tip = marks_->lineText(lineAt(help->pos().y()));
    if (tip.isEmpty())
      QToolTip::hideText();
    else
      QToolTip::showText(help->globalPos(), "<p style='white-space:pre'>" + tip.toHtmlEscaped().replace("\n", "<br>") + "</p>", this);
    return true;
  }
  return QWidget::event(event);
}
