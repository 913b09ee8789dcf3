// SPDX-License-Identifier: MIT
// Run, the player controls, the timer, Export, the message view and the
// MML checker, on the silent audio driver.
#include <QAction>
#include <QLabel>
#include <QTabBar>
#include <QTabWidget>
#include <QToolBar>
#include <QTextBlock>
#include <QtTest>

#include "editor_fixture.h"
#include "player/player.h"
#include "player_settings.h"
#include "track_bar.h"

using zan::player::Mode;

namespace {

QByteArray readAll(const QString& path) {
  QFile f(path);
  f.open(QIODevice::ReadOnly);
  return f.readAll();
}

// Clicks line `i` of a pane the way a user does: the press puts the caret
// there first.
void clickLine(TMessagePane* pane, int i) {
  QTextBlock block = pane->document()->findBlockByNumber(i);
  QTextCursor c(block);
  pane->setTextCursor(c);
  QRect r = pane->cursorRect(c);
  QTest::mouseClick(pane->viewport(), Qt::LeftButton, {}, r.center());
}

// Clicks line `i` with `button`, leaving the caret wherever it was.
void clickLineWith(TMessagePane* pane, int i, Qt::MouseButton button) {
  QRect r = pane->cursorRect(QTextCursor(pane->document()->findBlockByNumber(i)));
  QTest::mouseClick(pane->viewport(), button, {}, r.center());
}

}  // namespace

class RunPlayTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    testDataDir();
    QFile::remove(midPath());
  }

  void runWithAnErrorPlaysNothing() {
    Windows w;
    w.main->action("ErrorBeep1Click")->setChecked(false);
    w.setText("c4 d4 x");
    w.main->RunCompilePlay1Click();
    QCOMPARE(w.main->statusText(), QString("Error"));
    QVERIFY(w.messages().join("\n").contains("err(0)\"x\""));
    QCOMPARE(w.main->mp->mode(), Mode::NotReady);
    QVERIFY(QFile::exists(midPath()));  // written all the same
    QVERIFY(!w.msg->isVisible());       // neither option asked for the view
    // With Error Beep the message view comes to the front.
    w.main->action("ErrorBeep1Click")->setChecked(true);
    w.main->RunCompilePlay1Click();
    QVERIFY(w.msg->isVisible());
    QCOMPARE(w.msg->PageControl1->currentIndex(), 0);
  }

  void runWithoutErrorsPlays() {
    Windows w;
    w.setText("t120 l4 c d e f g a b > c");
    w.main->RunCompilePlay1Click();
    QCOMPARE(w.main->statusText(), QString("playing"));
    QCOMPARE(w.main->mp->mode(), Mode::Playing);
    QCOMPARE(w.messages(), QStringList({"Compile Start", "ok"}));
    QVERIFY(w.main->scrMP->maximum() >= 3900);
    QCOMPARE(w.main->scrMP->maximum(), int(w.main->mp->lengthMs()));
  }

  // Whether a compile failed is the compile's own count: a printed text
  // holding the letters "err" is no error, and the music plays.
  void printedErrIsNoError() {
    Windows w;
    w.main->action("ErrorBeep1Click")->setChecked(false);
    w.setText("_print(terror)\r\nc4");
    w.main->RunCompilePlay1Click();
    QCOMPARE(w.main->statusText(), QString("playing"));
    QCOMPARE(w.main->mp->mode(), Mode::Playing);
    QVERIFY(w.messages().join("\n").contains("terror"));
    w.setText("_print(terror)\r\nx");
    w.main->RunCompilePlay1Click();
    QCOMPARE(w.main->statusText(), QString("Error"));
  }

  void characterOutsideCp932ReadsAsQuestionMark() {
    Windows w;
    w.main->action("ErrorBeep1Click")->setChecked(false);
    // In a comment the '?' is harmless: the score plays, noted once.
    w.setText("c4\n{café ♬} d4\n{é}");
    w.main->RunCompilePlay1Click();
    QCOMPARE(w.main->statusText(), QString("playing"));
    QStringList lines = w.messages();
    QCOMPARE(lines.mid(0, 2), QStringList({"Compile Start", "note(1)\"é\": no CP932 (Shift-JIS) form, read as \"?\""
                                                            " (2 lines hold such characters)"}));
    QCOMPARE(LineNumberOf(lines[1]), 1);
    QCOMPARE(lines.filter("note(").size(), 1);
    // Outside a comment the compiler's own error for '?' follows.
    w.setText("c4 é");
    w.main->RunCompilePlay1Click();
    QCOMPARE(w.main->statusText(), QString("Error"));
    lines = w.messages();
    QVERIFY(lines[1].startsWith("note(0)\"é\"") && !lines[1].contains("err"));
    QVERIFY(lines[2].startsWith("err(0)\"?\""));
  }

  void timerScrollsThroughTheMessageLines() {
    Windows w;
    w.setText("_print(hello)\r\nt60 l1 c c c c c c c c");
    w.main->RunCompilePlay1Click();
    QCOMPARE(w.main->mp->mode(), Mode::Playing);
    QStringList seen;
    for (int i = 0; i < 5; ++i) {
      w.main->Timer1Timer();
      seen << w.main->statusText();
    }
    QCOMPARE(seen, QStringList({"playing (0) Compile Start", "playing (1) hello", "playing (2) ok",
                                "status & Message View", "playing (0) Compile Start"}));
    QVERIFY(w.main->action("tbStop")->isEnabled());
    QVERIFY(!w.main->action("tbReplay")->isEnabled());
    // Stop, then the next tick: Stop off, Replay on, "ok", thumb at 0.
    w.main->RePlay1Click();
    QCOMPARE(w.main->mp->mode(), Mode::Stopped);
    w.main->Timer1Timer();
    QVERIFY(!w.main->action("tbStop")->isEnabled());
    QVERIFY(w.main->action("tbReplay")->isEnabled());
    QCOMPARE(w.main->statusText(), QString("ok"));
    QCOMPARE(w.main->scrMP->value(), 0);
  }

  void replayPointBeyondTheEndIsCleared() {
    Windows w;
    w.setText("t120 c4");
    w.main->scrMP->setMaximum(100000);
    w.main->scrMP->setSelStart(90000);
    w.main->scrMP->setSelEnd(100000);
    w.main->RunCompilePlay1Click();
    QCOMPARE(w.main->scrMP->selStart(), 0);
    QCOMPARE(w.main->scrMP->selEnd(), 0);
    QVERIFY(w.main->mp->positionMs() < 500);
  }

  void sliderMovedByTheUserBecomesTheReplayPoint() {
    Windows w;
    w.setText("t60 l1 c d e f g");
    w.main->RunCompilePlay1Click();
    w.main->RePlay1Click();  // stop
    QCOMPARE(w.main->mp->mode(), Mode::Stopped);
    w.main->scrMP->setSliderPosition(3000);
    w.main->scrMP->triggerAction(QAbstractSlider::SliderMove);
    QCOMPARE(w.main->scrMP->selStart(), 3000);
    QCOMPARE(w.main->scrMP->selEnd(), w.main->scrMP->maximum());
    QVERIFY(qAbs(w.main->mp->positionMs() - 3000) < 5);
    // A move the program makes changes nothing.
    w.main->scrMP->setValue(100);
    QCOMPARE(w.main->scrMP->selStart(), 3000);
    w.main->RePlay1Click();  // plays from the replay point
    QCOMPARE(w.main->mp->mode(), Mode::Playing);
    QVERIFY(w.main->mp->positionMs() >= 3000);
    w.main->ResetPlayer1Click();
    QCOMPARE(w.main->mp->mode(), Mode::Stopped);
    QCOMPARE(w.main->scrMP->selStart(), 0);
  }

  void exportWritesTheTextAsItStands() {
    Windows w;
    w.main->action("ErrorBeep1Click")->setChecked(false);
    QString out = testDataDir() + "export.mid";
    QFile::remove(out);
    w.setText("t120 c4");
    QVERIFY(!QFile::exists(midPath()));
    QVERIFY(w.main->exportTo(out));  // compiles first
    QByteArray first = readAll(out);
    QCOMPARE(first, readAll(midPath()));
    // An edit after the last Run, or a check in between, is compiled first.
    w.setText("t120 c4 d4 e4 f4");
    QVERIFY(w.main->exportTo(out));
    QByteArray second = readAll(out);
    QVERIFY(second.size() > first.size());
    w.checker->re1->setPlainText("c1");
    w.checker->Check2Click();
    QVERIFY(w.main->exportTo(out));
    QCOMPARE(readAll(out), second);
    // A compile with an error line exports nothing and says why; the old
    // file stays whole.
    w.setText("t120 c4 x");
    QVERIFY(!w.main->exportTo(out));
    QVERIFY(w.main->statusText().startsWith("Not exported"));
    QCOMPARE(readAll(out), second);
    QVERIFY(QDir(testDataDir()).entryList({"export.mid?*"}).isEmpty());  // no temporary left
  }

  void messageClickJumpsToTheLine() {
    Windows w;
    w.main->action("ErrorBeep1Click")->setChecked(false);
    w.setText("c4\r\nd4\r\ne4 x f4");
    w.main->RunCompilePlay1Click();
    w.msg->show();
    QStringList lines = w.messages();
    QCOMPARE(lines.front(), QString("Compile Start"));
    w.main->reMain->setCaret(0);
    clickLine(w.msg->RichEdit1, 0);  // "Compile Start": nothing
    QCOMPARE(w.main->reMain->caretLine(), 0);
    QCOMPARE(w.main->statusText(), QString("Error"));
    clickLine(w.msg->RichEdit1, 1);
    QCOMPARE(w.main->reMain->caretLine(), 2);
    // The text the error is about is selected on that line.
    QCOMPARE(w.main->reMain->selText(), QString("x"));
    QCOMPARE(w.main->reMain->selStart(), w.main->reMain->lineStart(2) + 3);
    QCOMPARE(w.main->caretText(), QString("  4:  2"));
    QCOMPARE(w.main->statusText(), lines[1] + " ... click me!");
    // Then the status bar: the Debug view opens at the error's text.
    w.main->sbClick();
    QVERIFY(w.msg->debugPageVisible());
    QCOMPARE(w.msg->PageControl1->currentIndex(), 1);
    QVERIFY(w.msg->PageControl1->tabBar()->isTabVisible(1));
    QVERIFY(w.msg->reDebug->isVisible());
    QCOMPARE(w.msg->reDebug->textCursor().blockNumber(), 2);
    QCOMPARE(w.msg->reDebug->textCursor().selectedText(), QString("x"));
    QCOMPARE(w.msg->reDebug->document()->findBlockByNumber(2).text(), QString("   2:e4 x f4"));
    // The next Run hides the Debug page again.
    w.main->RunCompilePlay1Click();
    QVERIFY(!w.msg->debugPageVisible());
  }

  void lineNumberOfMessages_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("number");
    QTest::newRow("error") << "err(12)\"v\":引数が不正です" << 12;
    QTest::newRow("no parenthesis") << "Compile Start" << -1;
    QTest::newRow("notice") << "\"T\"=\"\\3\" (F1)" << -1;
    QTest::newRow("empty") << "x() y" << -1;
    QTest::newRow("close first") << "a)b(3)" << -1;
  }
  void lineNumberOfMessages() {
    QFETCH(QString, line);
    QFETCH(int, number);
    QCOMPARE(LineNumberOf(line), number);
  }

  void statusClickOnErrorDoesNothing() {
    Windows w;
    w.main->setStatus("Error");
    w.main->sbClick();
    QVERIFY(!w.msg->debugPageVisible());
  }

  void debugFindWrapsAndWarns() {
    Windows w;
    w.setText("abc\r\nabd");
    w.main->RunCompilePlay1Click();
    w.msg->Debug2Click();
    w.msg->msgFindText = "abd";
    QTextCursor c = w.msg->reDebug->textCursor();
    c.movePosition(QTextCursor::End);
    w.msg->reDebug->setTextCursor(c);
    w.msg->FindNext1Click();
    QCOMPARE(w.msg->reDebug->textCursor().selectedText(), QString("abd"));
    QCOMPARE(w.msg->reDebug->textCursor().blockNumber(), 1);
    w.msg->msgFindText = "zzz";
    w.msg->FindNext1Click();
    QCOMPARE(w.warnings.back(), QString("検索文字列\"zzz\"はありません。"));
    // Find in source needs a selection.
    w.msg->reDebug->setTextCursor(QTextCursor(w.msg->reDebug->document()));
    w.msg->FindinSorce1Click();
    QCOMPARE(w.warnings.back(), QString("キーワード部分を選択して（反転させて）ください。"));
  }

  void checkerPrintsTheFragmentsLength_data() {
    QTest::addColumn<QString>("document");
    QTest::addColumn<QString>("fragment");
    QTest::addColumn<QStringList>("printed");
    QTest::newRow("c4 c8") << "" << "c4 c8"
                           << QStringList({"TimePointer=144", "#timebase=96",
                                           "４分音符[1]個分+あまり[48]ステップです。"});
    QTest::newRow("empty") << "" << ""
                           << QStringList({"TimePointer=0", "#timebase=96", "４分音符[0]個分+あまり[0]ステップです。"});
    QTest::newRow("timebase and macro") << "#timebase 480\r\n_m(RIFF,c4 d8)\r\nc d e f x"
                                        << "RIFF\nc4"
                                        << QStringList({"TimePointer=1200", "#timebase=480",
                                                        "４分音符[2]個分+あまり[240]ステップです。"});
  }
  void checkerPrintsTheFragmentsLength() {
    QFETCH(QString, document);
    QFETCH(QString, fragment);
    QFETCH(QStringList, printed);
    Windows w;
    w.setText(document);
    w.checker->re1->setPlainText(fragment);
    w.checker->Check2Click();
    QStringList lines = w.messages();
    for (const QString& p : printed) QVERIFY2(lines.contains(p), qPrintable(lines.join(" | ")));
    QVERIFY2(!lines.join("\n").contains("err"), qPrintable(lines.join(" | ")));  // the document's x is skipped
    QVERIFY(w.msg->isVisible());
  }

  void checkerOpensWithTheSelection() {
    Windows w;
    w.setText("t120 c d e f");
    w.main->reMain->setSelection(5, 3);
    w.main->MMLChecker1Click();
    QVERIFY(w.checker->isVisible());
    QCOMPARE(w.checker->re1->toPlainText(), QString("c d"));
  }

  void deviceDialogKeepsWhatItWasGiven() {
    PlayerSettings given;
    given.config.soundFont = testDataDir().toStdString() + "missing.sf2";
    given.config.gain = 1.25;
    TfrmDevice dialog(given);
    PlayerSettings back = dialog.settings();
    QCOMPARE(back.config.soundFont, given.config.soundFont);
    QCOMPARE(back.config.gain, 1.25);
    QCOMPARE(back.config.output, std::string());       // the built-in synthesizer
    QCOMPARE(back.config.audioDriver, std::string());  // automatic
    // A setting naming no file falls back to an installed SoundFont.
    QLabel* note = nullptr;
    for (QLabel* l : dialog.findChildren<QLabel*>())
      if (l->text().startsWith("In use: ") || l->text().startsWith("No SoundFont found")) note = l;
    QVERIFY(note);
    QCOMPARE(note->text().startsWith("In use: "), !zan::player::findSoundFont("").empty());
    // Every label with an access letter is the buddy of its field, so none
    // shows a stray "&".
    int accessLabels = 0;
    for (QLabel* l : dialog.findChildren<QLabel*>()) {
      if (!l->text().contains('&')) continue;
      ++accessLabels;
      QVERIFY2(l->buddy(), qPrintable(l->text()));
    }
    QCOMPARE(accessLabels, 4);
  }

  void checkerPlaysTheFragment() {
    Windows w;
    w.checker->re1->setPlainText("t120 c1");
    w.checker->Play1Click();
    QCOMPARE(w.main->mp->mode(), Mode::Playing);
    QVERIFY(w.main->mp->lengthMs() >= 1700);  // the note sounds for 14/16 of its 2 s
  }

  void everyButtonJumpsToTheLineUnderThePointer() {
    Windows w;
    w.main->action("ErrorBeep1Click")->setChecked(false);
    w.setText("x\r\nc4\r\nd4 x");
    w.main->RunCompilePlay1Click();
    w.msg->show();
    clickLine(w.msg->RichEdit1, 1);  // err(0)
    QCOMPARE(w.main->reMain->caretLine(), 0);
    for (Qt::MouseButton b : {Qt::RightButton, Qt::MiddleButton}) {
      w.main->reMain->setCaret(0);
      clickLineWith(w.msg->RichEdit1, 2, b);  // err(2)
      QCOMPARE(w.main->reMain->caretLine(), 2);
    }
  }

  // The checker's fragment takes no tab: Tab moves the focus.
  void checkerTabIsNoText() {
    Windows w;
    w.main->MMLChecker1Click();
    w.checker->re1->setPlainText("c");
    QTest::keyClick(w.checker->re1, Qt::Key_Tab);
    QTest::keyClick(w.checker->re1, Qt::Key_Backtab);
    QCOMPARE(w.checker->re1->toPlainText(), QString("c"));
  }

  void sliderStretchesJumpsAndShowsTheTime() {
    QCOMPARE(playTimeText(607500, 3599999), QString("10:07 / 59:59"));
    Windows w;
    w.main->resize(1000, 400);
    w.main->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.main.get()));
    TTrackBar* slider = w.main->scrMP;
    QVERIFY(slider->width() >= 300);
    w.main->resize(800, 400);
    QTest::qWait(20);
    QVERIFY(slider->isVisible());  // not pushed into the tool bar's overflow
    QVERIFY(slider->geometry().right() < w.main->ToolBar1->width());
    w.setText("t60 l1 c d e f g");
    w.main->RunCompilePlay1Click();
    w.main->RePlay1Click();  // stop
    const int length = slider->maximum();
    // A click on the groove three quarters along moves there.
    QTest::mouseClick(slider, Qt::LeftButton, {}, QPoint(slider->width() * 3 / 4, slider->height() / 2));
    QVERIFY(qAbs(slider->value() - length * 3 / 4) < length / 10);
    QCOMPARE(slider->selStart(), slider->value());
    QCOMPARE(w.main->ToolBar1->findChild<QLabel*>("playTime")->text(), playTimeText(slider->value(), length));
  }
};

QTEST_MAIN(RunPlayTest)
#include "run_play_test.moc"
