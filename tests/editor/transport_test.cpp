// SPDX-License-Identifier: MIT
// Pause and Stop beside Stop & RePlay, an A-B loop that stays on across
// Run, and an Export that never starts the music.
#include <QLabel>
#include <QScrollBar>
#include <QStatusBar>
#include <QTableWidget>
#include <QToolButton>

#include "editor_fixture.h"
#include "ext_memo.h"
#include "player/player.h"
#include "track_bar.h"
#include "track_view.h"
#include "tracks_panel.h"
#include "zan/translate.h"

using zan::player::Mode;

class TransportTest : public QObject {
  Q_OBJECT

 private slots:
  void pauseKeepsThePlaceAndPlaysOnFromIt() {
    Windows w;
    w.setText("t120 l4 c d e f g a b > c d e f g");
    w.main->RunCompilePlay1Click();
    QTRY_VERIFY(w.main->mp->positionMs() > 300);
    QAction* pause = w.main->action("Pause1Click");
    QCOMPARE(pause->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Space));
    pause->trigger();
    QCOMPARE(w.main->mp->mode(), Mode::Stopped);
    const int64_t at = w.main->mp->positionMs();
    QCOMPARE(w.main->statusText(), QString("Paused"));
    w.main->Timer1Timer();  // the once-a-second step leaves a paused slider alone
    QCOMPARE(int64_t(w.main->scrMP->value()), at);
    pause->trigger();
    QCOMPARE(w.main->mp->mode(), Mode::Playing);
    QVERIFY(w.main->mp->positionMs() >= at);
    QVERIFY(w.main->mp->positionMs() < at + 300);
  }

  void stopGoesBackToTheReplayPoint() {
    Windows w;
    w.setText("t120 l4 c d e f g a b > c d e f g");
    w.main->RunCompilePlay1Click();
    w.main->scrMP->setSelStart(1000);
    QTRY_VERIFY(w.main->mp->positionMs() > 300);
    w.main->action("Stop1Click")->trigger();
    QCOMPARE(w.main->mp->mode(), Mode::Stopped);
    QCOMPARE(w.main->mp->positionMs(), int64_t(1000));
    // Stop & RePlay keeps its own meaning: from the replay point again.
    w.main->RePlay1Click();
    QCOMPARE(w.main->mp->mode(), Mode::Playing);
  }

  void aRulerLoopSetWhileStoppedSurvivesRun() {
    Windows w;
    w.setText("t120 l4 c d e f g a b > c d e f g");
    emit w.main->trackView->loopRequested(500, 1500);
    QVERIFY(w.main->action("LoopSelection1Click")->isChecked());
    w.main->RunCompilePlay1Click();
    QCOMPARE(w.main->mp->loopMs(), (std::pair<int64_t, int64_t>{500, 1500}));
    QVERIFY(w.main->mp->positionMs() >= 500 && w.main->mp->positionMs() < 1500);
    w.main->RunCompilePlay1Click();  // and the next one
    QCOMPARE(w.main->mp->loopMs(), (std::pair<int64_t, int64_t>{500, 1500}));
    // Switched off, it goes.
    w.main->action("LoopSelection1Click")->trigger();
    w.main->RunCompilePlay1Click();
    QCOMPARE(w.main->mp->loopMs(), (std::pair<int64_t, int64_t>{0, 0}));
  }

  // A pressed M or S is filled with colour, not only shaded.
  void pressedMuteAndSoloShowTheirState() {
    Windows w;
    w.setText("_tr(1) c\n_tr(2) d");
    w.main->RunCompilePlay1Click();
    TracksPanel* panel = w.main->tracksPanel;
    panel->show();
    auto* mute = qobject_cast<QToolButton*>(panel->table()->cellWidget(0, 4));
    QVERIFY(mute);
    mute->resize(24, 24);
    const auto centreOf = [](QWidget* b) { return b->grab().toImage().pixelColor(b->width() / 2, 3); };
    const QColor released = centreOf(mute);
    panel->setMuted(1, true);
    QVERIFY(mute->isChecked());
    const QColor pressed = centreOf(mute);
    QVERIFY2(pressed.red() > 150 && pressed.green() < 100 && pressed.blue() < 100, qPrintable(pressed.name()));
    QVERIFY(released != pressed);
  }

  // Every column of the Tracks dock shows whole, the level bars included,
  // with no sideways scrolling, at the dock's first width.
  void theTracksDockShowsItsLevelColumnWhole() {
    Windows w;
    w.setText("_tr(1) @0 c\n_tr(2) @48 d\n_tr(3) @45 e");
    w.main->resize(1066, 666);
    w.main->show();
    w.main->RunCompilePlay1Click();
    TracksPanel* panel = w.main->tracksPanel;
    panel->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.main.get()));
    QTableWidget* table = panel->table();
    QTRY_VERIFY(table->rowCount() == 3);
    QTRY_VERIFY(!table->horizontalScrollBar()->isVisible());
    QWidget* bar = table->cellWidget(0, 6);
    QVERIFY(bar && bar->width() >= 40);
    QVERIFY(bar->mapTo(table->viewport(), QPoint(bar->width() - 1, 0)).x() < table->viewport()->width());
  }

  // A sounding note inside the selection keeps its tint over the selection.
  void aLitNoteShowsOverTheSelection() {
    TExtMemo memo;
    memo.resize(300, 100);
    memo.show();
    QVERIFY(QTest::qWaitForWindowExposed(&memo));
    memo.setPlainText("c d e f");
    memo.selectAll();
    QTextEdit::ExtraSelection lit;
    lit.cursor = QTextCursor(memo.document());
    lit.cursor.setPosition(2);
    lit.cursor.setPosition(3, QTextCursor::KeepAnchor);  // the "d"
    lit.format.setBackground(QColor(255, 176, 0));
    memo.setOwnSelections(TExtMemo::SelectionOwner::SoundingNotes, {lit});
    const QRect d = memo.cursorRect(lit.cursor);  // the caret's box after "d"
    const QImage shot = memo.viewport()->grab().toImage();
    const int y = d.center().y();
    const QColor onD = shot.pixelColor(d.left() - 2, y);
    QVERIFY2(onD.red() > 200 && onD.green() > 140 && onD.blue() < 80, qPrintable(onD.name()));
  }

  void exportCompilesButNeverPlays() {
    Windows w;
    w.setText("t120 l4 c d e");
    const QString out = testDataDir() + "exported.mid";
    QVERIFY(w.main->exportTo(out));
    QVERIFY(QFile::exists(out));
    QVERIFY(w.main->mp->mode() != Mode::Playing);
    QCOMPARE(w.main->statusText(), QString("ok"));
  }

  // At the first window's size on a 1600x1000 screen, the status bar's
  // texts show whole: the caret's place in a long score, the time at the
  // caret, and the player's note that it plays silently.
  void theStatusBarsTextsFitTheFirstWindow() {
    Windows w;
    w.main->resize(1066, 666);
    w.main->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.main.get()));
    auto* time = w.main->findChild<QLabel*>("CaretTime");
    QVERIFY(time);
    time->setText("bar 1234 beat 3  12:34.5  track 15");
    QList<QLabel*> labels{time};
    for (QLabel* l : w.main->statusBar()->findChildren<QLabel*>()) {
      if (l->text() == w.main->caretText()) {
        l->setText(QString::asprintf("%3d:%3d", 17, 25009));
        labels << l;
      } else if (l != time && l->text().isEmpty() && l->width() != 500) {
        l->setText(zan::tr("No audio device found: playing silently"));
        labels << l;
      }
    }
    QCOMPARE(labels.size(), 3);
    // A message longer than its panel shows whole in the panel's tool tip.
    const QString longMessage = QString("Imported song.mid: ") + QString(200, 'x');
    w.main->setStatus(longMessage);
    QCOMPARE(w.main->statusText(), longMessage);
    QLabel* panel = nullptr;
    for (QLabel* l : w.main->statusBar()->findChildren<QLabel*>())
      if (l->text() == longMessage) panel = l;
    QVERIFY(panel && panel->toolTip() == longMessage);
    w.main->setStatus("ok");
    QVERIFY(panel->toolTip().isEmpty());
    QApplication::processEvents();
    QTRY_VERIFY(std::all_of(labels.begin(), labels.end(), [](QLabel* l) { return l->width() >= l->sizeHint().width(); }));
  }
};

QTEST_MAIN(TransportTest)
#include "transport_test.moc"
