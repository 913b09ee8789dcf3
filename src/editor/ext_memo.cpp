// SPDX-License-Identifier: MIT
// The score editor control: a QPlainTextEdit without wrapping, with the line
// and position helpers the windows use, key and mouse signals sent before the
// editor acts, and edit marks drawn over the visible text.
#include "ext_memo.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <cmath>

#include "editor_fonts.h"
#include "mark_renderer.h"

namespace {

constexpr int kFontPixelSize = 12;  // character height
constexpr int kTabColumns = 8;      // tab stops every 8 half-width characters

TEditMark aqua(bool enabled, bool reversed = false) {
  return TEditMark{enabled, QColor(0x00, 0xFF, 0xFF), reversed};
}

}  // namespace

TExtMemo::TExtMemo(QWidget* parent) : QPlainTextEdit(parent) {
  giveGlyphsRoom(this);
  setLineWrapMode(QPlainTextEdit::NoWrap);
  setWordWrapMode(QTextOption::NoWrap);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setTabChangesFocus(false);

  keepSelectionVisible(this);

  setFont(editorFont(kFontPixelSize));
  applyFontMetrics();

  // Inserting or deleting shifts the rest of the line, and its marks with it.
  connect(document(), &QTextDocument::contentsChange, this,
          [this](int position, int, int added) { repaintChangedLines(position, added); });
  // Marks disappear inside the selection and come back when it moves on.
  connect(this, &QPlainTextEdit::selectionChanged, viewport(),
          qOverload<>(&QWidget::update));
}

TEditMarks TExtMemo::mainWindowMarks() {
  TEditMarks marks;
  marks.CrLf = aqua(true);
  marks.Ctrl = aqua(true, true);
  marks.DSp = aqua(false);
  marks.SSp = aqua(false);
  marks.Tab = aqua(true);
  marks.Eot = aqua(true);
  return marks;
}

// ---- Lines ------------------------------------------------------------------

int TExtMemo::lineCount() const { return document()->blockCount(); }

QString TExtMemo::line(int i) const {
  if (i < 0) return QString();
  // block.text() rather than toPlainText(): the latter turns no-break spaces
  // into spaces.
  return document()->findBlockByNumber(i).text();
}

QStringList TExtMemo::lines() const {
  QStringList result;
  result.reserve(lineCount());
  for (QTextBlock block = document()->begin(); block.isValid(); block = block.next())
    result.append(block.text());
  return result;
}

void TExtMemo::setLines(const QStringList& lines) {
  setPlainText(lines.join(QLatin1Char('\n')));
}

void TExtMemo::replaceLine(int i, const QString& text) {
  if (i < 0 || i >= lineCount()) return;
  const QTextBlock block = document()->findBlockByNumber(i);
  QTextCursor cursor(document());
  cursor.beginEditBlock();
  cursor.setPosition(block.position());
  cursor.setPosition(block.position() + block.length() - 1, QTextCursor::KeepAnchor);
  cursor.insertText(text);
  cursor.endEditBlock();
}

void TExtMemo::insertLine(int i, const QString& text) {
  if (i < 0) return;
  QTextCursor cursor(document());
  cursor.beginEditBlock();
  if (i >= lineCount()) {
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(QLatin1Char('\n') + text);
  } else {
    cursor.setPosition(document()->findBlockByNumber(i).position());
    cursor.insertText(text + QLatin1Char('\n'));
  }
  cursor.endEditBlock();
}

int TExtMemo::lineStart(int i) const {
  if (i < 0) return 0;
  if (i >= lineCount()) return document()->characterCount() - 1;
  return document()->findBlockByNumber(i).position();
}

// ---- Caret and selection ----------------------------------------------------

int TExtMemo::caretLine() const { return textCursor().blockNumber(); }

int TExtMemo::caretColumn() const { return textCursor().positionInBlock(); }

int TExtMemo::selStart() const { return textCursor().selectionStart(); }

int TExtMemo::selLength() const {
  const QTextCursor cursor = textCursor();
  return cursor.selectionEnd() - cursor.selectionStart();
}

QString TExtMemo::selText() const {
  // Line breaks come out of a selection as paragraph separators.
  return textCursor().selectedText().replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
}

void TExtMemo::setSelection(int start, int length) {
  const int end = document()->characterCount() - 1;
  const int anchor = std::clamp(start, 0, end);
  const int caret = std::clamp(start + length, 0, end);
  QTextCursor cursor(document());
  cursor.setPosition(anchor);
  cursor.setPosition(caret, QTextCursor::KeepAnchor);
  setTextCursor(cursor);
  ensureCursorVisible();
}

void TExtMemo::setCaret(int position) { setSelection(position, 0); }

// ---- Colours ----------------------------------------------------------------

QColor TExtMemo::background() const { return palette().color(QPalette::Base); }

void TExtMemo::setBackground(const QColor& colour) {
  QPalette colours = palette();
  colours.setColor(QPalette::Base, colour);  // every colour group
  setPalette(colours);
  viewport()->update();
}

// ---- Events -----------------------------------------------------------------

void TExtMemo::keyPressEvent(QKeyEvent* event) {
  emit keyDown(event);
  if (!event->text().isEmpty()) emit keyPress(event);
  QPlainTextEdit::keyPressEvent(event);
}

void TExtMemo::keyReleaseEvent(QKeyEvent* event) {
  emit keyUp(event);
  QPlainTextEdit::keyReleaseEvent(event);
}

void TExtMemo::mousePressEvent(QMouseEvent* event) {
  emit mouseDown(event);
  QPlainTextEdit::mousePressEvent(event);
}

void TExtMemo::changeEvent(QEvent* event) {
  QPlainTextEdit::changeEvent(event);
  if (event->type() == QEvent::FontChange) applyFontMetrics();
}

void TExtMemo::applyFontMetrics() {
  setTabStopDistance(kTabColumns * QFontMetricsF(font()).horizontalAdvance(QLatin1Char(' ')));
}

namespace {

constexpr int kOwnerProperty = QTextFormat::UserProperty + 0x700;  // which feature set an extra selection

}  // namespace

// The text selection is drawn over every extra selection: the sounding
// notes' tints inside it are drawn again, over it, so that a looped
// selection still shows which of its notes sound.
void TExtMemo::paintSoundingOverSelection(QPainter& painter) {
  const QTextCursor cursor = textCursor();
  if (!cursor.hasSelection()) return;
  for (const QTextEdit::ExtraSelection& s : extraSelections()) {
    if (s.format.intProperty(kOwnerProperty) != static_cast<int>(SelectionOwner::SoundingNotes)) continue;
    const QTextBlock block = s.cursor.block();
    const bool wholeLine = s.format.boolProperty(QTextFormat::FullWidthSelection);
    const int from = std::max(wholeLine ? block.position() : s.cursor.selectionStart(), cursor.selectionStart());
    const int to = std::min(wholeLine ? block.position() + block.length() - 1 : s.cursor.selectionEnd(),
                            cursor.selectionEnd());
    if (from >= to || !block.isVisible() || !block.layout()) continue;
    const QPointF origin = blockBoundingGeometry(block).translated(contentOffset()).topLeft() + block.layout()->position();
    const QTextLine line = block.layout()->lineForTextPosition(from - block.position());
    if (!line.isValid()) continue;
    const qreal x0 = line.cursorToX(from - block.position());
    const qreal x1 = line.cursorToX(std::min(to - block.position(), line.textStart() + line.textLength()));
    painter.fillRect(QRectF(origin.x() + x0, origin.y() + line.y(), x1 - x0, line.height()), s.format.background());
  }
}

void TExtMemo::paintEvent(QPaintEvent* event) {
  QPlainTextEdit::paintEvent(event);
  QPainter painter(viewport());
  const QRect exposed = event->rect();
  painter.setClipRect(exposed);
  paintSoundingOverSelection(painter);
  const TMarkRenderer renderer(EditMarks, font(), background(), cursorWidth());
  if (!renderer.anyEnabled()) return;

  const QTextCursor cursor = textCursor();
  const int selectionStart = cursor.selectionStart();
  const int selectionEnd = cursor.selectionEnd();

  // The same walk as the base class: from the first visible block down,
  // each block drawn at the running offset, stopping below the exposed area.
  QPointF offset = contentOffset();
  for (QTextBlock block = firstVisibleBlock(); block.isValid(); block = block.next()) {
    const QRectF bounds = blockBoundingRect(block).translated(offset);
    if (block.isVisible()) {
      if (bounds.top() > exposed.bottom()) break;
      if (bounds.bottom() >= exposed.top())
        renderer.paintBlock(painter, block, offset + block.layout()->position(), exposed,
                            selectionStart, selectionEnd);
    }
    offset.ry() += bounds.height();
  }
}

void TExtMemo::repaintChangedLines(int position, int charsAdded) {
  const QTextBlock first = document()->findBlock(position);
  const QTextBlock last = document()->findBlock(position + charsAdded);
  if (!first.isValid()) return;
  const QPointF offset = contentOffset();
  const QRectF top = blockBoundingGeometry(first).translated(offset);
  const QRectF bottom =
      last.isValid() ? blockBoundingGeometry(last).translated(offset) : top;
  const int y = static_cast<int>(std::floor(top.top()));
  // A block not laid out yet has no height: take at least one line.
  const qreal height = std::max(bottom.bottom() - top.top(), QFontMetricsF(font()).height());
  viewport()->update(QRect(0, y, viewport()->width(), static_cast<int>(std::ceil(height)) + 1));
}

void TExtMemo::setOwnSelections(SelectionOwner owner, QList<QTextEdit::ExtraSelection> selections) {
  QList<QTextEdit::ExtraSelection> all;
  for (const QTextEdit::ExtraSelection& s : extraSelections())
    if (s.format.intProperty(kOwnerProperty) != static_cast<int>(owner)) all << s;
  for (QTextEdit::ExtraSelection& s : selections) {
    s.format.setProperty(kOwnerProperty, static_cast<int>(owner));
    all << s;
  }
  setExtraSelections(all);
}
