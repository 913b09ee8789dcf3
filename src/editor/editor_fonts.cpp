// SPDX-License-Identifier: MIT
#include "editor_fonts.h"

#include <QCoreApplication>
#include <QFontDatabase>
#include <QMouseEvent>
#include <QPalette>
#include <QPlainTextDocumentLayout>
#include <QPlainTextEdit>
#include <QRawFont>
#include <QStringList>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QWidget>
#include <QtEndian>

#include <algorithm>
#include <cmath>

namespace {

// How far the font's glyphs reach above and below the baseline, in pixels:
// the bounds of all its glyphs, from its "head" table. A font without one
// claims no more than its ascent and descent.
struct GlyphReach {
  qreal above = 0;
  qreal below = 0;
};

GlyphReach glyphReach(const QFont& font) {
  const QRawFont raw = QRawFont::fromFont(font);
  GlyphReach reach{raw.ascent(), raw.descent()};
  const QByteArray head = raw.fontTable("head");
  constexpr int kHeadSize = 54;  // bytes; yMin at 38 and yMax at 42, big-endian
  if (head.size() < kHeadSize || raw.unitsPerEm() <= 0) return reach;
  const auto s16 = [&](int at) {
    return static_cast<qint16>(qFromBigEndian<quint16>(reinterpret_cast<const uchar*>(head.constData()) + at));
  };
  const qreal scale = raw.pixelSize() / raw.unitsPerEm();
  reach.above = std::max(reach.above, s16(42) * scale);
  reach.below = std::max(reach.below, -s16(38) * scale);
  return reach;
}

// The plain-text layout with room added to every block: below it for the
// glyphs that reach under the descent, above it (the text moved down) for
// those that reach over the ascent. The editors never wrap, so a block is
// one line.
class RoomyLayout : public QPlainTextDocumentLayout {
 public:
  using QPlainTextDocumentLayout::QPlainTextDocumentLayout;

  QRectF blockBoundingRect(const QTextBlock& block) const override {
    QRectF r = QPlainTextDocumentLayout::blockBoundingRect(block);
    QTextLayout* layout = block.layout();
    if (!block.isVisible() || !layout || layout->lineCount() == 0) return r;
    const QFont font = document()->defaultFont();
    if (font.key() != fontKey_) {
      fontKey_ = font.key();
      reach_ = glyphReach(font);
    }
    const QTextLine first = layout->lineAt(0);
    const QTextLine last = layout->lineAt(layout->lineCount() - 1);
    const qreal top = std::ceil(std::max<qreal>(0, reach_.above - first.ascent()));
    const qreal bottom = std::ceil(std::max<qreal>(0, reach_.below - last.descent()));
    // Painting and the edit marks ask for the block's rectangle before they
    // draw it, so the text is in place by then.
    if (layout->position().y() != top) layout->setPosition(QPointF(layout->position().x(), top));
    r.setHeight(r.height() + top + bottom);
    return r;
  }

 private:
  mutable QString fontKey_;
  mutable GlyphReach reach_;
};

// The editor finds the character under the mouse from the text's own line,
// which the room added above and below does not belong to: a click there
// would land at the start or the end of the line. Mouse events in that room
// are moved onto the line before the editor sees them.
class RoomyClicks : public QObject {
 public:
  explicit RoomyClicks(QPlainTextEdit* pane) : QObject(pane), pane_(pane) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    const QEvent::Type type = event->type();
    if (resending_ || (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease &&
                       type != QEvent::MouseButtonDblClick && type != QEvent::MouseMove))
      return false;
    auto* mouse = static_cast<QMouseEvent*>(event);
    const QPointF at = mouse->position();
    const QTextBlock block = pane_->cursorForPosition(at.toPoint()).block();
    QTextLayout* layout = block.layout();
    if (!layout || layout->lineCount() != 1) return false;
    const qreal boxTop = pane_->cursorRect(QTextCursor(block)).top();
    const qreal boxBottom = boxTop + pane_->document()->documentLayout()->blockBoundingRect(block).height();
    // Where the editor looks for the line: from the top of the block, as if
    // the text had not moved down.
    const qreal lineTop = boxTop + layout->lineAt(0).y();
    const qreal lineBottom = lineTop + layout->lineAt(0).height() - 1;
    if (at.y() < boxTop || at.y() >= boxBottom || (at.y() >= lineTop && at.y() <= lineBottom)) return false;
    QMouseEvent moved(type, QPointF(at.x(), std::clamp(at.y(), lineTop, lineBottom)), mouse->globalPosition(),
                      mouse->button(), mouse->buttons(), mouse->modifiers(), mouse->pointingDevice());
    resending_ = true;
    QCoreApplication::sendEvent(watched, &moved);
    resending_ = false;
    event->setAccepted(moved.isAccepted());
    return true;
  }

 private:
  QPlainTextEdit* pane_;
  bool resending_ = false;
};

}  // namespace

void giveGlyphsRoom(QPlainTextEdit* pane) {
  auto* document = new QTextDocument(pane);
  document->setDocumentLayout(new RoomyLayout(document));
  pane->setDocument(document);
  pane->viewport()->installEventFilter(new RoomyClicks(pane));
}

QFont editorFont(int pixelSize) {
  static const QString family = [] {
    const QStringList preferred = {"IPAGothic", "IPA Gothic", "Noto Sans Mono CJK JP", "Noto Sans CJK JP",
                                   "VL Gothic", "TakaoGothic"};
    const QStringList installed = QFontDatabase::families();
    for (const QString& f : preferred)
      if (installed.contains(f)) return f;
    return QFontDatabase::systemFont(QFontDatabase::FixedFont).family();
  }();
  QFont font(family);
  font.setStyleHint(QFont::TypeWriter);
  font.setPixelSize(pixelSize);
  return font;
}

void keepSelectionVisible(QWidget* pane) {
  QPalette p = pane->palette();
  p.setColor(QPalette::Inactive, QPalette::Highlight, p.color(QPalette::Active, QPalette::Highlight));
  p.setColor(QPalette::Inactive, QPalette::HighlightedText, p.color(QPalette::Active, QPalette::HighlightedText));
  pane->setPalette(p);
}
