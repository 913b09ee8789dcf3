// SPDX-License-Identifier: MIT
// The live score's speed in the editor, offscreen:
//
//   keystroke     one character typed at the end of a 1 MB, 20,000-line score
//                 with colours, gutter and edit marks on, until it is painted;
//                 again with a background check compiling all the while
//   check         the background check of a 20,000-note score (and of the
//                 1 MB score): the compile alone, and from its start until
//                 the result is shown
//   notes         the check of a 1M-note score with the notes a shown track
//                 view wants, and without them (the view hidden): the timing
//                 for the caret alone
//
// Prints the median, the 90th percentile and the worst of each, in ms, as
// wall time and, for typing, as CPU time of the editor's thread too (the
// wall time includes waiting for a core on a loaded machine).
#include <QTemporaryDir>
#include <QApplication>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

#include <time.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "background_check.h"
#include "ext_memo.h"
#include "live_score.h"
#include "scores.h"
#include "zan/cp932.h"
#include "zan/tsmf.h"

namespace {

void report(const char* what, std::vector<double> ms) {
  std::sort(ms.begin(), ms.end());
  std::printf("%-52s median %7.2f  p90 %7.2f  max %7.2f ms  (%zu runs)\n", what, ms[ms.size() / 2],
              ms[ms.size() * 9 / 10], ms.back(), ms.size());
}

double threadCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

QString scoreText(const std::string& cp932) { return QString::fromStdString(zan::toUtf8(cp932)); }

void keystrokes(const QString& score, bool checking) {
  TExtMemo editor;
  editor.EditMarks = TExtMemo::mainWindowMarks();
  LiveScore live(&editor);
  live.checkWhileTypingAction()->setChecked(checking);
  editor.resize(900, 700);
  editor.show();
  editor.setPlainText(score);  // coloured as it is loaded
  editor.setFocus();
  editor.moveCursor(QTextCursor::End);
  (void)QTest::qWaitForWindowExposed(&editor);
  QApplication::processEvents();
  std::vector<double> ms, cpu;
  for (int i = 0; i < 70; ++i) {
    if (checking && !live.check()->busy()) live.check()->checkNow();  // a check is always compiling
    QElapsedTimer clock;
    clock.start();
    const double cpuStart = threadCpuMs();
    QTest::keyClick(&editor, i % 10 == 9 ? Qt::Key_Return : Qt::Key_C);
    QApplication::processEvents();  // the repaint of the line, the gutter and the marks
    if (i < 10) continue;
    ms.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
    cpu.push_back(threadCpuMs() - cpuStart);
  }
  report(checking ? "keystroke, 1 MB score, check running" : "keystroke, 1 MB score", ms);
  report(checking ? "  the same, CPU time of the editor's thread" : "  the same, CPU time", cpu);
}

void checks(const QString& score, const char* what, int runs) {
  zan::TSmf compiler;
  std::vector<double> alone;
  for (int i = 0; i < runs; ++i) {
    QElapsedTimer clock;
    clock.start();
    const CheckResult r = checkScore(compiler, QString(score).replace('\n', QChar::ParagraphSeparator));
    alone.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
    if (!r.marks.empty()) std::printf("the score has errors: %s\n", qPrintable(r.marks[0].message));
  }
  report((std::string(what) + ", compile only").c_str(), alone);

  TExtMemo editor;
  LiveScore live(&editor);
  editor.setPlainText(score);
  std::vector<double> shown;
  for (int i = 0; i < runs; ++i) {
    QSignalSpy done(live.check(), &BackgroundCheck::resultReady);
    QElapsedTimer clock;
    clock.start();
    live.check()->checkNow();
    if (!done.wait(10000)) return;
    shown.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
  }
  report((std::string(what) + ", start to result shown").c_str(), shown);
}

void notesOrNot(const QString& score, int runs) {
  zan::TSmf compiler;
  const QString text = QString(score).replace('\n', QChar::ParagraphSeparator);
  for (bool notes : {true, false}) {
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
      QElapsedTimer clock;
      clock.start();
      const CheckResult r = checkScore(compiler, text, {}, notes);
      ms.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
    }
    report(notes ? "check of 1M notes, the track view shown" : "check of 1M notes, the track view hidden", ms);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QTemporaryDir data;  // the user's settings are not read or written
  qputenv("ZANPAD_DATA_DIR", data.path().toUtf8());
  QApplication app(argc, argv);
  const std::string big = zan::bench::lexerScore(1 << 20);
  std::printf("1 MB score: %zu bytes, %lld lines\n", big.size(),
              static_cast<long long>(std::count(big.begin(), big.end(), '\n')));
  const QString bigText = scoreText(big);
  keystrokes(bigText, false);
  keystrokes(bigText, true);
  const std::string notes = zan::bench::plainScore(20000);
  std::printf("20,000-note score: %d notes\n", zan::bench::notesIn(notes));
  checks(scoreText(notes), "check of 20,000 notes", 15);
  checks(bigText, "check of the 1 MB score", 5);
  notesOrNot(scoreText(zan::bench::plainScore(1'000'000)), 5);
  return 0;
}
