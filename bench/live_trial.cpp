// SPDX-License-Identifier: MIT
// A new user's try of Live Update, recorded: the editor (offscreen) plays a
// four-bar loop on FluidSynth's file driver, which writes what is heard to
// fluidsynth.wav in the working folder; a pass and a quarter in, the melody
// is changed in the text as a user would type it, and the music goes on for
// two more passes. Prints when the music started, when the edit was made and
// when the player took the new music, as seconds from the start of the WAV;
// bench/live_trial.py then shows, beat by beat, which note sounds.
//
//   zan_live_trial [folder]     (the WAV goes there; default: the current one)
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QThread>

#include <cstdio>

#include "comment_list.h"
#include "ext_memo.h"
#include "frm_chk_unit.h"
#include "frm_msg_unit.h"
#include "player/player.h"
#include "player_settings.h"
#include "track_view.h"
#include "zanpad_unit.h"

namespace {

// Lets the window live for `ms`, as a user waits.
void wait(int ms) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < ms) {
    QCoreApplication::processEvents();
    QThread::msleep(2);
  }
}

}  // namespace

int main(int argc, char** argv) {
  QTemporaryDir data;
  qputenv("ZANPAD_DATA_DIR", data.path().toUtf8());
  qputenv("XDG_CONFIG_HOME", data.path().toUtf8());
  qputenv("QT_QPA_PLATFORM", "offscreen");
  if (argc > 1) QDir::setCurrent(argv[1]);
  QApplication app(argc, argv);
  qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
  PlayerSettings settings;
  settings.config.audioDriver = "file";
  savePlayerSettings(settings);

  QElapsedTimer clock;  // the file driver starts writing as the window warms the synthesizer up
  clock.start();
  auto main = std::make_unique<TfrmMain>();
  TfrmMsg msg(main->messageHost());
  TfrmList list(main->reMain);
  TfrmChecker checker(main.get());
  main->attachWindows(&msg, &list, &checker);
  // Four bars of C at 240 a minute: a pass lasts 4 seconds.
  main->reMain->setPlainText("t240 @0 o5 l4 v110\nc c c c  c c c c  c c c c  c c c c\n");
  wait(1000);
  emit main->trackView->loopRequested(0, 4000);
  const double run = clock.nsecsElapsed() / 1e9;
  main->RunCompilePlay1Click();
  wait(5000);
  // The melody changed as a user types: the second line's notes become G.
  const uint64_t before = main->mp->swapsTaken();
  QTextCursor c = main->reMain->textCursor();
  c.movePosition(QTextCursor::Start);
  c.movePosition(QTextCursor::Down);
  c.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
  const double edit = clock.nsecsElapsed() / 1e9;
  c.insertText("g g g g  g g g g  g g g g  g g g g");
  double taken = -1;
  for (QElapsedTimer t; !t.isValid() || t.elapsed() < 9000;) {
    if (!t.isValid()) t.start();
    QCoreApplication::processEvents();
    if (taken < 0 && main->mp->swapsTaken() != before) taken = clock.nsecsElapsed() / 1e9;
    QThread::msleep(1);
  }
  main->mp->stop();
  std::printf("driver %s, SoundFont %s\n", main->mp->audioDriverInUse().c_str(), main->mp->soundFontPath().c_str());
  std::printf("run %.3f s, edit %.3f s, new music taken %.3f s (from the window's start)\n", run, edit, taken);
  main.reset();  // the driver closes the WAV
  return 0;
}
