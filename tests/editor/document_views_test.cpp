// SPDX-License-Identifier: MIT
// The views of a document agree with it and with one another: another
// document starts every view afresh, Stop leaves the slider and Track View's
// playhead at one place, and an error's message leaves the status bar with
// the error.
#include <QLabel>

#include "background_check.h"
#include "editor_fixture.h"
#include "live_score.h"
#include "player/player.h"
#include "track_bar.h"
#include "track_view.h"

class DocumentViewsTest : public QObject {
  Q_OBJECT

  static void checkAndWait(LiveScore& live) {
    live.check()->checkNow();
    QTRY_VERIFY(!live.check()->busy());
  }

 private slots:
  void anotherDocumentStartsEveryViewAfresh() {
    Windows w;
    w.main->show();
    w.main->trackView->show();
    w.main->action("ErrorBeep1Click")->setChecked(false);
    w.setText("t120 l4 c d e f g a b > c d e f g");
    w.main->RunCompilePlay1Click();
    QCOMPARE(w.main->statusText(), QString("playing"));
    TrackCanvas* canvas = w.main->trackView->canvas();
    QVERIFY(canvas->model() && !canvas->model()->empty());
    QTRY_VERIFY(canvas->playheadMs() >= 0);
    canvas->scrollToTick(960);
    const QString other = testDataDir() + "other.zan";
    {
      QFile f(other);
      QVERIFY(f.open(QIODevice::WriteOnly));
      f.write("c\r\n");
    }
    QVERIFY(w.main->openFile(other));
    QCOMPARE(w.main->mp->isOpen(), false);
    QCOMPARE(w.main->scrMP->maximum(), 0);
    QCOMPARE(w.main->scrMP->value(), 0);
    QCOMPARE(w.main->findChild<QLabel*>("playTime")->text(), playTimeText(0, 0));
    QVERIFY(!canvas->model());
    QCOMPARE(canvas->playheadMs(), -1.0);
    QCOMPARE(canvas->geometry().leftTick, 0.0);
    QVERIFY(w.main->findChild<QLabel*>("TrackViewInfo")->text().isEmpty());
    QCOMPARE(w.main->action("LoopSelection1Click")->isChecked(), false);
  }

  void afterStopTheSliderAndThePlayheadAgree() {
    Windows w;
    w.main->show();
    w.main->trackView->show();
    w.setText("t120 l4 c d e f g a b > c d e f g");
    w.main->RunCompilePlay1Click();
    QTRY_VERIFY(w.main->mp->positionMs() > 300);
    w.main->Timer1Timer();
    QVERIFY(w.main->scrMP->value() > 0);
    w.main->RePlay1Click();  // stops
    w.main->Timer1Timer();
    QCOMPARE(w.main->scrMP->value(), 0);
    QTRY_COMPARE(w.main->trackView->canvas()->playheadMs(), 0.0);
  }

  void anErrorsMessageLeavesTheStatusBarWhenItIsFixed() {
    Windows w;
    TExtMemo* e = w.main->reMain;
    w.setText("c x d");
    checkAndWait(*w.main->liveScore_);
    e->setCaret(3);  // in "x"
    QVERIFY2(w.main->statusText().startsWith("err(0)\"x\""), qPrintable(w.main->statusText()));
    w.setText("c d");
    checkAndWait(*w.main->liveScore_);
    QCOMPARE(w.main->statusText(), QString());
    // Leaving an error clears its message too; another text stays.
    w.setText("c x d");
    checkAndWait(*w.main->liveScore_);
    e->setCaret(3);
    QVERIFY(w.main->statusText().startsWith("err(0)"));
    e->setCaret(0);
    QCOMPARE(w.main->statusText(), QString());
    e->setCaret(3);
    w.main->setStatus("Compile Start");
    e->setCaret(0);
    QCOMPARE(w.main->statusText(), QString("Compile Start"));
  }
};

QTEST_MAIN(DocumentViewsTest)
#include "document_views_test.moc"
