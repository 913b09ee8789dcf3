// SPDX-License-Identifier: MIT
// An edit heard while the music plays: a check without errors swaps its
// music into the player, one with errors changes nothing that plays, Live
// Update switches it off, Apply Now (Ctrl+Return) applies at once.
#include <QAction>
#include <QMenu>
#include <QTextCursor>

#include "background_check.h"
#include "editor_fixture.h"
#include "error_marks.h"
#include "live_score.h"
#include "live_update.h"
#include "player/player.h"
#include "playback_control.h"
#include "track_bar.h"
#include "track_view.h"

using zan::player::Mode;

namespace {

const QString kLong = "t120 l4 c d e f g a b > c d e f g a b > c d e f g a b > c";

void typeAtEnd(Windows& w, const QString& text) {
  QTextCursor c = w.main->reMain->textCursor();
  c.movePosition(QTextCursor::End);
  c.insertText(text);
}

}  // namespace

class LiveUpdateTest : public QObject {
  Q_OBJECT

 private slots:
  void theCommandsAreInTheRunMenuWithAKeyNoOtherUses() {
    Windows w;
    LiveUpdate* live = w.main->liveUpdate_;
    QVERIFY(live->liveAction()->isChecked());
    QVERIFY(!live->startHeldAction()->isChecked());
    const QKeySequence key(Qt::CTRL | Qt::Key_Return);
    QCOMPARE(live->applyNowAction()->shortcut(), key);
    int users = 0;
    for (QAction* a : w.main->findChildren<QAction*>())
      for (const QKeySequence& k : a->shortcuts()) users += k == key;
    QCOMPARE(users, 1);
    bool inRun = false;
    for (QObject* o : live->liveAction()->associatedObjects())
      if (auto* menu = qobject_cast<QMenu*>(o)) inRun = inRun || menu->actions().contains(w.main->action("RunCompilePlay1Click"));
    QVERIFY(inRun);
  }

  void aCleanCheckWhilePlayingSwapsTheMusicAtItsPlace() {
    Windows w;
    w.setText(kLong);
    w.main->RunCompilePlay1Click();
    QCOMPARE(w.main->mp->mode(), Mode::Playing);
    const int64_t length = w.main->mp->lengthMs();
    typeAtEnd(w, " d e f g");  // four quarters more
    QTRY_COMPARE(w.main->liveUpdate_->swaps(), 1);
    QTRY_COMPARE(w.main->mp->swapsTaken(), uint64_t{1});
    QCOMPARE(w.main->mp->mode(), Mode::Playing);
    QCOMPARE(w.main->mp->lengthMs(), length + 2000);
    QCOMPARE(int64_t(w.main->scrMP->maximum()), length + 2000);
    QVERIFY2(w.main->mp->positionMs() < 3000, "it plays on where it stood");

    // A check with errors changes nothing that plays.
    typeAtEnd(w, " x");
    QTRY_VERIFY(!w.main->liveScore_->marks()->marks().empty());
    QTest::qWait(50);
    QCOMPARE(w.main->liveUpdate_->swaps(), 1);
    QCOMPARE(w.main->mp->lengthMs(), length + 2000);
    QCOMPARE(w.main->mp->mode(), Mode::Playing);
  }

  void offItSwapsOnlyWhenAskedAndNeverWhenNothingPlays() {
    Windows w;
    w.setText(kLong);
    LiveUpdate* live = w.main->liveUpdate_;
    typeAtEnd(w, " c");  // nothing plays: the check swaps nothing
    QTRY_VERIFY(!w.main->liveScore_->check()->busy());
    QTest::qWait(BackgroundCheck::kDelayMs + 100);
    QCOMPARE(live->swaps(), 0);

    w.main->RunCompilePlay1Click();
    live->liveAction()->setChecked(false);
    typeAtEnd(w, " d");
    QTest::qWait(BackgroundCheck::kDelayMs + 200);
    QTRY_VERIFY(!w.main->liveScore_->check()->busy());
    QCOMPARE(live->swaps(), 0);
    // Ctrl+Return in the text applies at once, and types no line break.
    w.main->show();
    w.main->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w.main.get()));
    w.main->reMain->setFocus();
    const int lines = w.main->reMain->blockCount();
    QTest::keyClick(w.main->reMain, Qt::Key_Return, Qt::ControlModifier);
    QTRY_COMPARE(live->swaps(), 1);
    QCOMPARE(w.main->reMain->blockCount(), lines);
    typeAtEnd(w, " e");  // Apply Now was one swap: Live Update stays off
    QTest::qWait(BackgroundCheck::kDelayMs + 200);
    QTRY_VERIFY(!w.main->liveScore_->check()->busy());
    QCOMPARE(live->swaps(), 1);
    live->liveAction()->setChecked(true);
  }

  void aLoopKeepsItsBarsWhenTheTempoChanges() {
    Windows w;
    w.setText(kLong);
    emit w.main->trackView->loopRequested(1000, 2000);
    w.main->RunCompilePlay1Click();
    QCOMPARE(w.main->mp->loopMs(), (std::pair<int64_t, int64_t>{1000, 2000}));
    QTextCursor c = w.main->reMain->textCursor();
    c.movePosition(QTextCursor::Start);
    c.movePosition(QTextCursor::Right, QTextCursor::KeepAnchor, 4);
    c.insertText("t60");
    QTRY_COMPARE(w.main->mp->swapsTaken(), uint64_t{1});
    QTRY_COMPARE(w.main->mp->loopMs(), (std::pair<int64_t, int64_t>{2000, 4000}));
    QCOMPARE(w.main->scrMP->loopA(), 2000);
  }
};

QTEST_MAIN(LiveUpdateTest)
#include "live_update_test.moc"
