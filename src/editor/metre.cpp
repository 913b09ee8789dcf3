// SPDX-License-Identifier: MIT
#include "metre.h"

#include <QInputDialog>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <cmath>

#include "text_boxes.h"

Metre::Position Metre::positionOf(int64_t tick, int timebase) const {
  const double bar = barTicks(timebase), beat = beatTicks(timebase);
  const double t = static_cast<double>(std::max<int64_t>(tick, 0));
  // A hair of slack: ticks that land on a beat of a timebase the beat does
  // not divide (13 ticks, eighth-note beats) still count as on it.
  const double bars = std::floor(t / bar + 1e-9);
  const double inBar = std::max(0.0, t - bars * bar);
  const int beatInBar = std::clamp(static_cast<int>(std::floor(inBar / beat + 1e-9)), 0, beats - 1);
  return {static_cast<int64_t>(bars) + 1, beatInBar + 1};
}

bool parseMetre(const QString& text, Metre& metre) {
  static const QRegularExpression form(QStringLiteral(R"(^\s*(\d{1,2})\s*/\s*(\d{1,2})\s*$)"));
  const QRegularExpressionMatch m = form.match(text);
  if (!m.hasMatch()) return false;
  const int beats = m.captured(1).toInt(), unit = m.captured(2).toInt();
  if (beats < 1 || beats > 64 || unit < 1 || unit > 64 || (unit & (unit - 1)) != 0) return false;
  metre = Metre{beats, unit};
  return true;
}

MetreComment findMetreComment(const QString& text) {
  static const QRegularExpression comment(QStringLiteral(R"(\{\s*met(?:re|er)\s+([^{}]*)\})"),
                                          QRegularExpression::CaseInsensitiveOption);
  MetreComment found;
  for (QRegularExpressionMatchIterator it = comment.globalMatch(text); it.hasNext();) {
    const QRegularExpressionMatch m = it.next();
    Metre metre;
    if (!parseMetre(m.captured(1), metre)) continue;
    found.metre = metre;
    found.from = static_cast<int>(m.capturedStart());
    found.length = static_cast<int>(m.capturedLength());
    break;
  }
  return found;
}

bool askMetre(QWidget* parent, QPlainTextEdit* editor) {
  const QString text = editor->toPlainText();
  const MetreComment found = findMetreComment(text);
  QStringList choices = {"4/4", "3/4", "2/4", "6/8", "2/2", "5/4", "7/8", "12/8"};
  const QString current = found.from >= 0 ? found.metre.text() : QStringLiteral("4/4");
  if (!choices.contains(current)) choices.prepend(current);
  QString answer = current;
  Metre metre;
  for (;;) {
    bool ok = false;
    answer = QInputDialog::getItem(parent, UiText("Metre"),
                                   UiText("Beats to a bar / the beat's note value (written in the score as {metre 3/4}):"),
                                   choices, static_cast<int>(choices.indexOf(answer)) < 0 ? 0 : static_cast<int>(choices.indexOf(answer)),
                                   true, &ok);
    if (!ok) return false;
    if (parseMetre(answer, metre)) break;
    QMessageBox::warning(parent, UiText("Metre"),
                         UiText("\"%1\" is not a metre: write the beats to a bar (1 to 64), a slash and the beat's note value (1, 2, 4, 8, 16, 32 or 64), as 3/4 or 6/8.").arg(answer));
  }
  writeMetre(editor, metre);
  return true;
}

void writeMetre(QPlainTextEdit* editor, Metre metre) {
  const MetreComment existing = findMetreComment(editor->toPlainText());
  const QString comment = QStringLiteral("{metre %1}").arg(metre.text());
  QTextCursor cursor(editor->document());
  cursor.beginEditBlock();
  if (existing.from >= 0) {
    cursor.setPosition(existing.from);
    cursor.setPosition(existing.from + existing.length, QTextCursor::KeepAnchor);
    cursor.insertText(comment);
  } else {
    cursor.movePosition(QTextCursor::Start);
    cursor.insertText(comment + QLatin1Char('\n'));
  }
  cursor.endEditBlock();
}
