// SPDX-License-Identifier: MIT
// CaretTime: where in the music the caret stands, from the last background
// check: the track the text at the caret writes to, the bar and beat by the
// score's metre, the time in m:ss.s through the compile's tempo changes and,
// in the tool tip, the tick, all read from the check's music model. The
// place is the command at the caret or, between commands, the next one on
// the line (at the line's end, where its last command ends). A line the
// check did not compile shows nothing.
#pragma once

#include <QLabel>
#include <QObject>
#include <QPointer>
#include <QString>

#include <optional>

#include "background_check.h"

class QPlainTextEdit;

class CaretTime : public QObject {
  Q_OBJECT

 public:
  explicit CaretTime(QPlainTextEdit* editor, QObject* parent = nullptr);
  ~CaretTime() override;

  void setResult(const CheckResult& result);
  QLabel* label() const { return label_; }
  // The text for the place before character `column` (UTF-16, as the
  // editor counts) of editor line `line`; empty when the line was not compiled.
  QString textFor(int line, int column) const;
  // The tick of that place; -1 when the line was not compiled.
  int tickFor(int line, int column) const;
  // Seconds from the start of the song to `tick`.
  double secondsAt(int tick) const;

 private:
  struct Place {
    int track;
    int tick;
  };
  // Where the place before character `column` of line `line` stands; none
  // when the line was not compiled.
  std::optional<Place> placeAt(int line, int column) const;
  QString textOf(Place place) const;
  void update();
  // UTF-16 column `column` of editor line `line` as the compiler's byte column.
  int32_t byteColumn(int line, int column) const;

  QPlainTextEdit* editor_;
  QPointer<QLabel> label_;  // owned until a status bar takes it
  CheckResult result_;
};
