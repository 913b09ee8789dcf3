// SPDX-License-Identifier: MIT
// F9 to sound: how long Run takes in the editor from the key to the first
// note going out: as the first action once the window's warm-up of the
// synthesizer has finished, and on a player that has already played once.
// Then, while the music plays, from a keystroke to the changed music taken
// by the player (Live Update: the pause after typing, the check, the swap).
// Drives the main window offscreen, on the silent driver (the clock) and on
// FluidSynth's file driver (an audio callback at the pace of real time), for
// the demo score and for a 20,000-note score on 8 tracks.
//
//   zan_run_latency [runs [soundfont]]
//     runs: F9s after the first (default 15; the median and the range are
//     printed); soundfont: a .sf2 file (default: the player's search).
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include "background_check.h"
#include "comment_list.h"
#include "document_io.h"
#include "ext_memo.h"
#include "frm_chk_unit.h"
#include "frm_msg_unit.h"
#include "player/player.h"
#include "player_settings.h"
#include "scores.h"
#include "zanpad_unit.h"

namespace {

constexpr int kWaitLimitMs = 5000;  // a Run that has not sounded by then failed

QString demoScore() {
  QFile f(QStringLiteral(ZAN_SOURCE_DIR "/examples/demo.zan"));
  if (!f.open(QIODevice::ReadOnly)) return {};
  return fromCp932(f.readAll().toStdString());
}

// Milliseconds from Run until the player's position passes the first note
// (its time is 0 in both scores): the buffer holding it has gone out.
double runOnce(TfrmMain& main) {
  QElapsedTimer clock;
  clock.start();
  main.RunCompilePlay1Click();
  while (main.mp->positionMs() <= 0 || main.mp->mode() != zan::player::Mode::Playing) {
    if (clock.elapsed() > kWaitLimitMs) return -1;
    QThread::usleep(200);
  }
  const double ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;
  main.mp->stop();
  return ms;
}

void measure(const char* driver, const char* scoreName, const QString& score, int runs, const char* soundFont) {
  PlayerSettings settings;
  settings.config.audioDriver = driver;
  settings.config.soundFont = soundFont;
  savePlayerSettings(settings);
  TfrmMain main;
  TfrmMsg msg(main.messageHost());
  TfrmList list(main.reMain);
  TfrmChecker checker(&main);
  main.attachWindows(&msg, &list, &checker);
  main.applyPlayerSettings();
  main.reMain->setPlainText(score);
  // The user looks at the window before pressing F9: the warm-up ends.
  for (QElapsedTimer idle; !idle.isValid() || idle.elapsed() < 1500;) {
    if (!idle.isValid()) idle.start();
    QCoreApplication::processEvents();
    QThread::msleep(5);
  }
  const double first = runOnce(main);
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) times.push_back(runOnce(main));
  std::sort(times.begin(), times.end());
  if (first < 0 || times.front() < 0) {
    std::printf("%-7s %-12s did not sound within %d ms (%s)\n", driver, scoreName, kWaitLimitMs,
                main.statusText().toUtf8().constData());
    return;
  }
  const std::string driver_in_use = main.mp->audioDriverInUse();
  if (driver_in_use != driver) {
    std::printf("%-7s %-12s the player used the driver \"%s\"\n", driver, scoreName, driver_in_use.c_str());
    return;
  }
  std::printf("%-7s %-12s first F9 %7.1f ms   later F9: median %6.1f ms  (%.1f .. %.1f, %d runs)\n", driver, scoreName,
              first, times[times.size() / 2], times.front(), times.back(), runs);
  // A key typed while the music plays, until the player has the new music.
  main.RunCompilePlay1Click();
  std::vector<double> heard;
  for (int i = 0; i < runs; ++i) {
    const uint64_t before = main.mp->swapsTaken();
    QTextCursor c = main.reMain->textCursor();
    c.movePosition(QTextCursor::End);
    QElapsedTimer clock;
    clock.start();
    c.insertText(i % 2 ? " c" : " d");
    while (main.mp->swapsTaken() == before && clock.elapsed() < kWaitLimitMs) {
      QCoreApplication::processEvents();
      QThread::usleep(200);
    }
    heard.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
    QThread::msleep(100);
  }
  main.mp->stop();
  std::sort(heard.begin(), heard.end());
  std::printf("%-7s %-12s key to swapped music: median %6.1f ms  (%.1f .. %.1f, %d keys; pause after typing %d ms)\n",
              driver, scoreName, heard[heard.size() / 2], heard.front(), heard.back(), runs, BackgroundCheck::kLiveDelayMs);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  // The player settings are the user's own kind (the tests' mode would force
  // the silent driver), kept in a folder of the benchmark's.
  QTemporaryDir data;
  qputenv("ZANPAD_DATA_DIR", data.path().toUtf8());
  qputenv("XDG_CONFIG_HOME", data.path().toUtf8());
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QDir::setCurrent(data.path());  // the file driver writes fluidsynth.wav here
  QApplication app(argc, argv);
  qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});  // the offscreen platform's notes
  const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 15;
  const char* soundFont = argc > 2 ? argv[2] : "";
  std::printf("SoundFont: %s\n", zan::player::findSoundFont(soundFont).c_str());
  const QString big = QString::fromStdString(zan::bench::plainScore(20000));
  for (const char* driver : {"silent", "file"}) {
    measure(driver, "demo", demoScore(), runs, soundFont);
    measure(driver, "20k notes", big, runs, soundFont);
  }
  return 0;
}
