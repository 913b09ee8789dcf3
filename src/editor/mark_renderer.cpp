// SPDX-License-Identifier: MIT
// Drawing of the edit marks: line ends, the end of the text, tabs, spaces,
// ideographic spaces and control characters.
#include "mark_renderer.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPolygon>
#include <QTextBlock>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

namespace {

// Below this the letters of control characters stop being readable.
constexpr int kMinMarkPixelSize = 6;

constexpr QChar kIdeographicSpace(0x3000);
constexpr QChar kFullWidthSquare(0x25A1);

}  // namespace

TMarkRenderer::TMarkRenderer(const TEditMarks& marks, const QFont& editorFont,
                             const QColor& background, int leftClear)
    : marks_(marks),
      markFont_(markFont(editorFont)),
      background_(background),
      leftClear_(leftClear),
      size_(markFont_.pixelSize()),
      halfWidth_(std::max(1, QFontMetrics(editorFont).horizontalAdvance(QLatin1Char(' ')))) {}

QFont TMarkRenderer::markFont(const QFont& editorFont) {
  QFont font = editorFont;
  const int square = QFontMetrics(editorFont).horizontalAdvance(kFullWidthSquare);
  font.setPixelSize(std::max(kMinMarkPixelSize, square - 2));
  return font;
}

bool TMarkRenderer::anyEnabled() const {
  return marks_.CrLf.Enabled || marks_.Ctrl.Enabled || marks_.DSp.Enabled || marks_.SSp.Enabled ||
         marks_.Tab.Enabled || marks_.Eot.Enabled;
}

void TMarkRenderer::paintBlock(QPainter& painter, const QTextBlock& block, const QPointF& origin,
                               const QRectF& exposed, int selectionStart,
                               int selectionEnd) const {
  const QTextLayout* layout = block.layout();
  if (!layout || layout->lineCount() == 0) return;
  const QString text = block.text();
  const int base = block.position();
  const int length = text.size();
  const auto selected = [&](int column) {
    const int p = base + column;
    return selectionStart <= p && p < selectionEnd;
  };

  for (int i = 0; i < layout->lineCount(); ++i) {
    const QTextLine line = layout->lineAt(i);
    const qreal top = origin.y() + line.y();
    const qreal height = line.height();
    // Only the columns that can reach into the exposed area; one column of
    // slack either side because a mark may overhang its cell by a pixel.
    const int lineStart = line.textStart();
    const int lineEnd = lineStart + line.textLength();
    const int from = std::max(lineStart, line.xToCursor(exposed.left() - origin.x()) - 1);
    const int to = std::min(lineEnd, line.xToCursor(exposed.right() - origin.x()) + 1);
    for (int column = from; column < to; ++column) {
      const QChar c = text.at(column);
      const TEditMark* mark = nullptr;
      Shape shape = Shape::Letter;
      QChar letter;
      if (c == QLatin1Char('\t')) {
        mark = &marks_.Tab, shape = Shape::Chevron;
      } else if (c == QLatin1Char(' ')) {
        mark = &marks_.SSp, shape = Shape::Dot;
      } else if (c == kIdeographicSpace) {
        mark = &marks_.DSp, shape = Shape::Box;
      } else if (c.unicode() < 32) {
        // Line breaks never reach here: they are not part of a block's text.
        mark = &marks_.Ctrl, shape = Shape::Letter, letter = QChar(c.unicode() + 64);
      }
      if (!mark || !mark->Enabled || selected(column)) continue;
      const qreal left = origin.x() + line.cursorToX(column);
      qreal width = origin.x() + line.cursorToX(column + 1) - left;
      // A control character is drawn with the font's missing-glyph box: a
      // full-width cell in the Japanese fonts, half-width in most others, but
      // some fonts give it no width at all. Its letter needs at least a
      // half-width cell, which then overlaps what follows.
      if (width < 1 || (shape == Shape::Letter && width < halfWidth_)) width = halfWidth_;
      paintMark(painter, *mark, shape, QRectF(left, top, width, height), letter);
    }
  }

  // The line break (or the end of the text) stands after the last column of
  // the block's last line.
  const QTextLine last = layout->lineForTextPosition(length);
  if (!last.isValid()) return;
  const bool lastBlock = !block.next().isValid();
  const TEditMark& end = lastBlock ? marks_.Eot : marks_.CrLf;
  if (!end.Enabled || selected(length)) return;
  const qreal left = origin.x() + last.cursorToX(length);
  if (left > exposed.right() || left + size_ + 2 < exposed.left()) return;
  paintMark(painter, end, lastBlock ? Shape::LeftArrow : Shape::DownArrow,
            QRectF(left, origin.y() + last.y(), size_ + 2, last.height()), QChar());
}

void TMarkRenderer::paintMark(QPainter& painter, const TEditMark& mark, Shape shape,
                              const QRectF& cell, QChar letter) const {
  const int x = static_cast<int>(std::floor(cell.left()));
  const int y = static_cast<int>(std::floor(cell.top()));
  const int w = std::max(1, static_cast<int>(std::lround(cell.width())));
  const int h = static_cast<int>(std::lround(cell.height()));
  if (mark.Reversed) {
    const int clear = std::min(leftClear_, w - 1);
    painter.fillRect(QRect(x + clear, y, w - clear, h), mark.Color);
  }
  const QColor ink = mark.Reversed ? background_ : mark.Color;
  painter.setPen(QPen(ink, 1));
  painter.setBrush(Qt::NoBrush);

  const int s = size_;
  const int r = std::max(2, s / 3);  // half the width of an arrow's head
  switch (shape) {
    case Shape::DownArrow: {  // "↓" at +1,+2
      const int ox = x + 1, oy = y + 2;
      const int cx = ox + s / 2 - 1;
      const int bottom = oy + s - 2;
      painter.drawLine(cx, oy, cx, bottom);
      painter.drawLine(cx - r, bottom - r, cx, bottom);
      painter.drawLine(cx + r, bottom - r, cx, bottom);
      break;
    }
    case Shape::LeftArrow: {  // "←" at +1,+1
      const int ox = x + 1, oy = y + 1;
      const int cy = oy + s / 2;
      painter.drawLine(ox + 1, cy, ox + s - 2, cy);
      painter.drawLine(ox + 1, cy, ox + 1 + r, cy - r);
      painter.drawLine(ox + 1, cy, ox + 1 + r, cy + r);
      break;
    }
    case Shape::Chevron: {  // ">" at +1,+1, within a half-width cell
      const int ox = x + 1, oy = y + 1;
      const int reach = std::max(2, std::min(halfWidth_ - 2, s / 2 - 1));
      const int cy = oy + s / 2;
      painter.drawLine(ox, cy - reach, ox + reach, cy);
      painter.drawLine(ox + reach, cy, ox, cy + reach);
      break;
    }
    case Shape::Dot: {  // a centred "·" at +1,+2
      const int ox = x + 1, oy = y + 2;
      painter.fillRect(QRect(ox + (halfWidth_ - 1) / 2 - 1, oy + s / 2 - 1, 2, 2), ink);
      break;
    }
    case Shape::Box: {  // "□" at 0,+1
      const int ox = x, oy = y + 1;
      const int side = std::max(3, std::min(s, w) - 2);
      painter.drawRect(QRect(ox + (w - side) / 2, oy + 1, side - 1, side - 1));
      break;
    }
    case Shape::Letter: {
      painter.setFont(markFont_);
      painter.drawText(QRect(x, y, w, h), Qt::AlignCenter, QString(letter));
      break;
    }
  }
}
