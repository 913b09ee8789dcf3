// SPDX-License-Identifier: MIT
// What follows the playback in the editor, on the silent driver: the notes
// lit as they sound, Play From Caret, Loop Selection with its marks on the
// slider, and the Tracks dock's rows and toggles.
#include <QAction>
#include <QScrollBar>
#include <QTableWidget>
#include <QTextBlock>
#include <QtTest>

#include "editor_fixture.h"
#include "playback_highlighter.h"
#include "playback_score.h"
#include "player/player.h"
#include "track_bar.h"
#include "tracks_panel.h"

using zan::player::Mode;

namespace {

// Waits until the player's position reaches `ms`; false if it never does.
bool playedTo(TfrmMain& main, int64_t ms) {
  QElapsedTimer clock;
  clock.start();
  while (main.mp->positionMs() < ms) {
    if (clock.elapsed() > 10000 || main.mp->mode() != Mode::Playing) return false;
    QTest::qWait(5);
  }
  return true;
}

void placeCaret(TExtMemo* editor, int line, int column, int selected = 0) {
  QTextCursor c(editor->document()->findBlockByNumber(line));
  c.setPosition(c.position() + column);
  if (selected) c.setPosition(c.position() + selected, QTextCursor::KeepAnchor);
  editor->setTextCursor(c);
}

}  // namespace

class PlaybackFollowTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { testDataDir(); }

  void bytesOfTheScoreBecomeCharactersOfTheEditor() {
    struct Row {
      QString line;
      int byte, character;
    } rows[] = {
        {"c d e", 2, 2},
        {QString::fromUtf8("{ド} c"), 5, 4},     // ド takes two bytes
        {QString::fromUtf8("{ｶ} c"), 4, 4},      // a half-width katakana one
        {QString::fromUtf8("a\U0001F3B5b"), 2, 3},  // a character CP932 has not reads as one '?'
        {"c", 9, 1},
        // é and € are one '?' each to the compiler, two bytes each in UTF-8.
        {QString::fromUtf8("t60 {cafééé} c d"), 13, 13},
        {QString::fromUtf8("€ c"), 2, 2},
    };
    for (const Row& r : rows) QCOMPARE(characterAtByte(r.line, r.byte), r.character);
  }

  void theSoundingNoteIsLitAndAMacroLightsItsCall() {
    Windows w;
    // A quarter is a second; the macro's two notes sound from 2 s on.
    w.setText("_m(GA, \"g a\")\nt60 l4 c d GA");
    w.main->RunCompilePlay1Click();
    QCOMPARE(w.main->mp->mode(), Mode::Playing);
    QVERIFY(playedTo(*w.main, 100));
    w.main->highlighter->refresh();
    QVERIFY(!w.main->highlighter->lit().empty());  // c, while it plays
    w.main->highlighter->showAt(1500);
    const auto& lit = w.main->highlighter->lit();
    QCOMPARE(int(lit.size()), 1);
    QCOMPARE(lit[0].line, 1);
    QCOMPARE(lit[0].from, 9);  // "d"
    QCOMPARE(lit[0].length, 1);
    QVERIFY(lit[0].strength > 0 && lit[0].strength < 1);
    w.main->highlighter->showAt(2500);
    QCOMPARE(w.main->highlighter->lit().front().from, 11);  // "GA"
    QCOMPARE(w.main->highlighter->lit().front().length, 2);
    w.main->RePlay1Click();  // stops
    w.main->highlighter->refresh();
    QVERIFY(w.main->highlighter->lit().empty());
  }

  void aNoteAfterCharactersReadAsQuestionMarksIsLitOnItsLetter() {
    Windows w;
    w.setText(QString::fromUtf8("t60 {cafééé} c d e"));
    w.main->RunCompilePlay1Click();
    w.main->highlighter->showAt(1500);
    const auto& lit = w.main->highlighter->lit();
    QCOMPARE(int(lit.size()), 1);
    QCOMPARE(lit[0].from, 15);  // "d"
    QCOMPARE(lit[0].length, 1);
    w.main->RePlay1Click();
  }

  void followPlaybackKeepsTheSoundingLineInView() {
    Windows w;
    w.main->resize(600, 400);
    QString text = "t960 l64\n";  // a line of eight notes lasts 31 ms
    for (int i = 0; i < 120; ++i) text += "c d e f g a b > c <\n";
    w.setText(text);
    w.main->highlighter->followAction()->setChecked(true);
    w.main->RunCompilePlay1Click();
    QVERIFY(playedTo(*w.main, 2500));  // line 80 or so
    w.main->highlighter->showAt(2500);
    const int top = w.main->reMain->verticalScrollBar()->value();
    const int line = w.main->highlighter->lit().front().line;
    QVERIFY2(top > 40 && line >= top && line < top + 20, qPrintable(QString("line %1, top %2").arg(line).arg(top)));
    w.main->highlighter->followAction()->setChecked(false);
  }

  void playFromCaretStartsAtItsTimeAndLoopSelectionTurnsAtB() {
    Windows w;
    w.setText("t120 l4 c d e f\nt60 g a");
    placeCaret(w.main->reMain, 1, 4);  // before g: 2015 ms (the tempo falls three ticks before it)
    w.main->PlayFromCaret1Click();
    QCOMPARE(w.main->mp->mode(), Mode::Playing);
    QCOMPARE(w.main->playbackScore->timeAtMs(1, 4), int64_t(2015));
    QVERIFY(w.main->mp->positionMs() >= 2015);

    placeCaret(w.main->reMain, 0, 10, 3);  // "d e": 500 .. 1500 ms
    w.main->action("LoopSelection1Click")->trigger();
    QVERIFY(w.main->action("LoopSelection1Click")->isChecked());
    QCOMPARE(w.main->mp->loopMs(), (std::pair<int64_t, int64_t>{500, 1500}));
    QCOMPARE(w.main->scrMP->loopA(), 500);
    QCOMPARE(w.main->scrMP->loopB(), 1500);
    QVERIFY(playedTo(*w.main, 1300));
    QTest::qWait(400);
    QVERIFY2(w.main->mp->positionMs() < 1500, "the loop went back to A");
    w.main->action("LoopSelection1Click")->trigger();
    QCOMPARE(w.main->mp->loopMs(), (std::pair<int64_t, int64_t>{0, 0}));
    QCOMPARE(w.main->scrMP->loopB(), 0);
  }

  void theTracksDockListsTracksAndMutesAtOnce() {
    Windows w;
    w.setText("_tr(1) @40 _TITLE(Violin) c\n_tr(3) CH=2 d");
    w.main->RunCompilePlay1Click();
    TracksPanel* panel = w.main->tracksPanel;
    QCOMPARE(panel->trackNumbers(), (std::vector<int>{1, 3}));
    QCOMPARE(panel->table()->item(0, 2)->text(), QString("40 Violin"));
    QCOMPARE(panel->table()->item(0, 3)->text(), QString("Violin"));
    QCOMPARE(panel->table()->item(1, 1)->text(), QString("2"));
    panel->setMuted(3, true);
    QVERIFY(w.main->mp->trackMuted(1));  // track 3 is the file's second chunk
    panel->setSoloed(1, true);
    QVERIFY(w.main->mp->trackSoloed(0));
    w.main->RunCompilePlay1Click();  // kept by track number over a new Run
    QVERIFY(w.main->mp->trackMuted(1));
    QVERIFY(w.main->mp->trackSoloed(0));
    QCOMPARE(panel->toggleViewAction()->text(), QString("Tracks"));
  }
};

QTEST_MAIN(PlaybackFollowTest)
#include "playback_follow_test.moc"
