// SPDX-License-Identifier: MIT
// ErrorMarks: the errors of the last background check shown in the text: a
// wavy underline under the offending text, the message and what it means
// on hover, and the message in the status bar while the caret stands in it.
// The marks follow the text as it is edited until the next check.
#pragma once

#include <QObject>
#include <QString>
#include <QTextCursor>

#include <vector>

#include "background_check.h"

class QPlainTextEdit;

class ErrorMarks : public QObject {
  Q_OBJECT

 public:
  explicit ErrorMarks(QPlainTextEdit* editor, QObject* parent = nullptr);

  void setResult(const CheckResult& result);

  struct Placed {
    QTextCursor span;  // the underlined text (no selection: the line only)
    CheckMark mark;
  };
  const std::vector<Placed>& marks() const { return marks_; }
  // The tooltip for document position `position`: the message and its
  // explanation, or empty when no underline covers it.
  QString tooltipAt(int position) const;
  // The message and explanation of every mark on line `line`.
  QString lineText(int line) const;

 signals:
  void changed();
  void statusMessage(const QString& text);
  // The caret left the mark whose message statusMessage showed, or the mark
  // is gone: the status bar, if it still shows `text`, is cleared.
  void statusMessageGone(const QString& text);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  const Placed* markAt(int position) const;
  void caretMoved();

  QPlainTextEdit* editor_;
  QObject* viewport_;  // the editor's, compared with only
  std::vector<Placed> marks_;
  const Placed* caretIn_ = nullptr;  // the mark the caret stands in
  QString shown_;                    // the message statusMessage last showed, until it goes
};
