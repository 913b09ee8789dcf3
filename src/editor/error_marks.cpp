// SPDX-License-Identifier: MIT
#include "error_marks.h"

#include "ext_memo.h"

#include <QHelpEvent>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QToolTip>

#include <algorithm>

namespace {

QString describe(const CheckMark& m) { return m.explanation.isEmpty() ? m.message : m.message + "\n" + m.explanation; }

}  // namespace

ErrorMarks::ErrorMarks(QPlainTextEdit* editor, QObject* parent)
    : QObject(parent), editor_(editor), viewport_(editor->viewport()) {
  viewport_->installEventFilter(this);
  connect(editor_, &QPlainTextEdit::cursorPositionChanged, this, &ErrorMarks::caretMoved);
}

void ErrorMarks::setResult(const CheckResult& result) {
  marks_.clear();
  caretIn_ = nullptr;
  QList<QTextEdit::ExtraSelection> underlines;
  QTextDocument* doc = editor_->document();
  for (const CheckMark& m : result.marks) {
    const QTextBlock block = doc->findBlockByNumber(m.line);
    if (!block.isValid()) continue;
    QTextCursor span(block);
    const int lineLength = block.length() - 1;
    const int from = std::clamp(m.from, 0, lineLength);
    span.setPosition(block.position() + from);
    span.setPosition(block.position() + std::clamp(m.from + m.length, from, lineLength), QTextCursor::KeepAnchor);
    marks_.push_back({span, m});
    if (!span.hasSelection()) continue;
    QTextEdit::ExtraSelection underline;
    underline.cursor = span;
    underline.format.setUnderlineStyle(QTextCharFormat::WaveUnderline);
    underline.format.setUnderlineColor(m.elsewhere ? QColor(0xE0, 0x90, 0x00) : QColor(0xE0, 0x10, 0x10));
    underlines << underline;
  }
  // Only the underlines: the sounding notes' tints stay.
  if (auto* memo = qobject_cast<TExtMemo*>(editor_))
    memo->setOwnSelections(TExtMemo::SelectionOwner::ErrorMarks, underlines);
  else
    editor_->setExtraSelections(underlines);
  emit changed();
  caretMoved();
}

const ErrorMarks::Placed* ErrorMarks::markAt(int position) const {
  for (const Placed& p : marks_)
    if (p.span.hasSelection() && position >= p.span.selectionStart() && position < p.span.selectionEnd()) return &p;
  return nullptr;
}

QString ErrorMarks::tooltipAt(int position) const {
  const Placed* p = markAt(position);
  return p ? describe(p->mark) : QString();
}

QString ErrorMarks::lineText(int line) const {
  QStringList parts;
  for (const Placed& p : marks_)
    if (p.span.blockNumber() == line) parts << describe(p.mark);
  return parts.join("\n");
}

bool ErrorMarks::eventFilter(QObject* watched, QEvent* event) {
  // The editor is not asked for its viewport here: events reach this filter
  // while the editor is being destroyed.
  if (event->type() == QEvent::ToolTip && watched == viewport_) {
    auto* help = static_cast<QHelpEvent*>(event);
    const QString tip = tooltipAt(editor_->cursorForPosition(help->pos()).position());
    if (tip.isEmpty()) {
      QToolTip::hideText();
    } else {
      // As rich text, so that the "<...>" of an error line shows as written.
      QToolTip::showText(help->globalPos(), "<p style='white-space:pre'>" + tip.toHtmlEscaped().replace("\n", "<br>") + "</p>",
                         editor_->viewport());
    }
    return true;
  }
  return QObject::eventFilter(watched, event);
}

void ErrorMarks::caretMoved() {
  const int caret = editor_->textCursor().position();
  const Placed* in = nullptr;
  for (const Placed& p : marks_)
    if (p.span.hasSelection() && caret >= p.span.selectionStart() && caret <= p.span.selectionEnd()) in = &p;
  if (in && in != caretIn_) {
    shown_ = in->mark.message;
    emit statusMessage(shown_);
  } else if (!in && !shown_.isEmpty()) {
    // Left, or fixed: the message goes from the status bar with it.
    emit statusMessageGone(shown_);
    shown_.clear();
  }
  caretIn_ = in;
}
