// SPDX-License-Identifier: MIT
// CaretTime: where in the music the caret's line stands, from the last
// background check: the track, the tick, the beat (counted as the error
// lines count it) and the time in m:ss.s through the compile's tempo
// changes, all read from the check's music model. A line the check did
// not compile shows nothing.
#pragma once

#include <QLabel>
#include <QObject>
#include <QPointer>
#include <QString>

#include "background_check.h"

class QPlainTextEdit;

class CaretTime : public QObject {
  Q_OBJECT

 public:
  explicit CaretTime(QPlainTextEdit* editor, QObject* parent = nullptr);
  ~CaretTime() override;

  void setResult(const CheckResult& result);
  QLabel* label() const { return label_; }
  // The text for editor line `line`, empty when the line was not compiled.
  QString textFor(int line) const;
  // Seconds from the start of the song to `tick`.
  double secondsAt(int tick) const;

 private:
  void update();

  QPlainTextEdit* editor_;
  QPointer<QLabel> label_;  // owned until a status bar takes it
  CheckResult result_;
};
