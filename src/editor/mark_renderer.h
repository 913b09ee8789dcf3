// SPDX-License-Identifier: MIT
// TMarkRenderer: draws the edit marks of one text block over the text the
// editor has already painted. It works from the block's own QTextLayout, so a
// mark lands exactly where the editor put the character, whatever the
// horizontal scroll or the mix of half- and full-width characters.
#pragma once

#include <QColor>
#include <QFont>
#include <QPointF>
#include <QRectF>

#include "ext_memo.h"

class QPainter;
class QTextBlock;

class TMarkRenderer {
 public:
  // leftClear: pixels at the left of a character cell that a reversed block
  // leaves unfilled, so that a caret standing before the character stays
  // visible (the caret is drawn by the editor before the marks).
  TMarkRenderer(const TEditMarks& marks, const QFont& editorFont, const QColor& background,
                int leftClear);

  // The font the marks are sized from: the editor's font with its pixel size
  // set to the width of a full-width square, less 2 (never below 6).
  static QFont markFont(const QFont& editorFont);

  bool anyEnabled() const;

  // REQUIRES: origin is where the editor draws the block's layout, in viewport
  // coordinates (the layout's own position included). exposed is the area
  // being repainted; characters outside it horizontally are skipped, so a
  // very long line costs only what is visible of it. Characters at positions
  // selectionStart <= p < selectionEnd get no mark.
  void paintBlock(QPainter& painter, const QTextBlock& block, const QPointF& origin,
                  const QRectF& exposed, int selectionStart, int selectionEnd) const;

 private:
  enum class Shape { DownArrow, LeftArrow, Chevron, Dot, Box, Letter };

  // cell: the character's cell in viewport coordinates (left edge, line top,
  // advance, line height).
  void paintMark(QPainter& painter, const TEditMark& mark, Shape shape, const QRectF& cell,
                 QChar letter) const;

  const TEditMarks& marks_;
  QFont markFont_;
  QColor background_;
  int leftClear_;      // pixels, see the constructor
  int size_;           // pixel size of the mark font; shapes are scaled to it
  int halfWidth_;      // advance of a half-width character in the editor's font, pixels
};
