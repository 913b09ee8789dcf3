// SPDX-License-Identifier: MIT
// TfrmChecker: the MML checker. A fragment is compiled in the context of
// the open document (its macros, directives and settings), alone on track
// 127, and the compile prints where it ends: the time pointer, the timebase,
// and whole quarter notes plus the remaining ticks.
#pragma once

#include <QMainWindow>
#include <QString>

class QPlainTextEdit;
class TfrmMain;

// The fixed texts the fragment is wrapped in.
extern const char* const kCheckPrefix;
extern const char* const kCheckSuffix;

class TfrmChecker : public QMainWindow {
  Q_OBJECT
 public:
  explicit TfrmChecker(TfrmMain* main, QWidget* parent = nullptr);

  QPlainTextEdit* re1;  // the fragment

 public slots:
  void Check2Click();
  void Play1Click();
  void Clear1Click();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool check();  // false when the compile could not write its file
  TfrmMain* main_;
};
