// SPDX-License-Identifier: MIT
// The main window: caption and modified mark, documents and encodings, the
// close prompt, the settings file, bookmarks and the separator line.
#include <QAbstractTextDocumentLayout>
#include <QMimeData>
#include <QTextBlock>
#include <QToolBar>
#include <QtTest>

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include "background_check.h"
#include "bookmarks.h"
#include "live_score.h"
#include "recent_files.h"
#include "editor_fixture.h"
#include "settings_file.h"
#include "window_place.h"
#include "zan/cp932.h"

namespace {

QByteArray readAll(const QString& path) {
  QFile f(path);
  f.open(QIODevice::ReadOnly);
  return f.readAll();
}

void writeAll(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  QVERIFY(f.open(QIODevice::WriteOnly));
  f.write(bytes);
}

QByteArray cp932(const char* utf8) { return QByteArray::fromStdString(zan::toCp932(utf8)); }

void pressKey(TExtMemo* editor, Qt::Key key, Qt::KeyboardModifiers mods, bool autoRepeat = false) {
  QKeyEvent down(QEvent::KeyPress, key, mods, QString(), autoRepeat);
  QApplication::sendEvent(editor, &down);
}

void releaseKey(TExtMemo* editor, Qt::Key key, Qt::KeyboardModifiers mods, bool autoRepeat = false) {
  QKeyEvent up(QEvent::KeyRelease, key, mods, QString(), autoRepeat);
  QApplication::sendEvent(editor, &up);
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    testDataDir();
    QFile::remove(settingsPath());
  }

  void typingMarksTheCaptionOnce() {
    Windows w;
    QCOMPARE(w.main->windowTitle(), QString("zan"));
    w.main->reMain->setFocus();
    QTest::keyClicks(w.main->reMain, "c");
    QCOMPARE(w.main->windowTitle(), QString("*zan"));
    QTest::keyClicks(w.main->reMain, "de");
    QCOMPARE(w.main->windowTitle(), QString("*zan"));
    QVERIFY(w.main->modified());
  }

  void openAndSaveRoundTripBothEncodings_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("firstLine");
    QTest::addColumn<QByteArray>("saved");
    QTest::newRow("cp932") << cp932("{前奏}\r\nt120 cde\r\n") << QString("{前奏}") << cp932("{前奏}\r\nt120 cde\r\n");
    QTest::newRow("utf8") << QByteArray("{前奏}\nt120 cde\n") << QString("{前奏}")
                          << QByteArray("{前奏}\r\nt120 cde\r\n");
    QTest::newRow("utf8 bom") << QByteArray("\xEF\xBB\xBF" "abc\r\n") << QString("abc") << QByteArray("abc\r\n");
    QTest::newRow("ascii") << QByteArray("cde\rfga") << QString("cde") << QByteArray("cde\r\nfga\r\n");
  }
  void openAndSaveRoundTripBothEncodings() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, firstLine);
    QFETCH(QByteArray, saved);
    Windows w;
    QString path = testDataDir() + "doc.zan";
    writeAll(path, bytes);
    QVERIFY(w.main->openFile(path));
    QCOMPARE(w.main->reMain->line(0), firstLine);
    QCOMPARE(w.main->windowTitle(), "zan - " + path);
    QCOMPARE(w.main->applicationTitle, QString("doc.zan"));
    QVERIFY(!w.main->modified());
    QVERIFY(w.main->Save1Click());
    QCOMPARE(readAll(path), saved);
  }

  // Open reads a score as zan does: a device of endless NUL bytes is
  // refused at its first chunk, a file beyond the bound of a score with one
  // error, and neither becomes the document.
  void openRefusesEndlessAndOversizedFiles() {
    Windows w;
    const QString big = testDataDir() + "big.zan", zero = testDataDir() + "zero";
    {
      QFile f(big);
      QVERIFY(f.open(QIODevice::WriteOnly));
      f.write(QByteArray(70000, 'c'));  // text first: NUL bytes in the first chunk would say "binary"
      QVERIFY(f.resize((64 << 20) + 1));
    }
    QString error;
    messageBoxHooks().error = [&](const QString& m) { error = m; };
    QVERIFY(!w.main->openFile(big));
    QVERIFY2(error.endsWith("big.zan holds more than 67108864 bytes, the most a score may hold"), qPrintable(error));
    QVERIFY(w.main->fileName.isEmpty());
    QFile::remove(big);
    if (::mknod(QFile::encodeName(zero).constData(), S_IFCHR | 0600, makedev(1, 5)) != 0)
      QSKIP("cannot make a device node here");
    QVERIFY(!w.main->openFile(zero));
    QFile::remove(zero);
    QCOMPARE(w.warnings, QStringList{"zero is a binary file, not a score"});
    QVERIFY(w.main->fileName.isEmpty());
  }

  // Run and the background check find an #include beside the document when
  // the current directory has no such file, as zan does.
  void includeLooksBesideTheDocument() {
    Windows w;
    QVERIFY(QDir(testDataDir()).mkpath("songs"));
    writeAll(testDataDir() + "songs/beside.zan", "_print(found beside)\r\n");
    writeAll(testDataDir() + "songs/main.zan", "#include \"beside.zan\"\r\n");
    QVERIFY(w.main->openFile(testDataDir() + "songs/main.zan"));
    QSignalSpy checked(w.main->liveScore_->check(), &BackgroundCheck::resultReady);
    w.main->liveScore_->check()->checkNow();
    QVERIFY(checked.wait());
    QVERIFY(checked.last().at(0).value<CheckResult>().marks.empty());
    w.main->RunCompilePlay1Click();
    QCOMPARE(w.messages().mid(0, 3), (QStringList{"Compile Start", "include = beside.zan", "found beside"}));
  }

  void failedOpenKeepsTheDocument() {
    Windows w;
    QString path = testDataDir() + "kept.zan";
    writeAll(path, "c d e\r\n");
    QVERIFY(w.main->openFile(path));
    w.main->reMain->setPlainText("edited");
    bool errorShown = false;
    messageBoxHooks().error = [&](const QString&) { errorShown = true; };
    QVERIFY(!w.main->openFile(testDataDir() + "missing/none.zan"));
    QVERIFY(errorShown);
    QCOMPARE(w.main->fileName, path);
    QCOMPARE(w.text(), QString("edited"));
  }

  void undecodableBytesAreReported() {
    Windows w;
    QString path = testDataDir() + "broken.zan";
    writeAll(path, QByteArray("c d e\r\n") + cp932("{前奏}") + QByteArray("\x81\r\n"));
    QVERIFY(w.main->openFile(path));
    QCOMPARE(w.warnings.size(), 1);
    QVERIFY(w.warnings.front().contains("1 byte sequence"));
    QCOMPARE(w.main->reMain->line(1), QString("{前奏}\uFFFD"));
  }

  void mutatedSettingsNeverCrash() {
    // Every byte flipped, dropped or added in turn: the file is either read
    // whole with values in range, or refused.
    EditorSettings s;
    s.font = QFont("IPAGothic");
    s.font.setPixelSize(12);
    QVERIFY(writeSettingsFile(settingsPath(), s));
    const QByteArray good = readAll(settingsPath());
    int refused = 0;
    for (int i = 0; i < good.size(); ++i) {
      for (int kind = 0; kind < 3; ++kind) {
        QByteArray bad = good;
        if (kind == 0) bad[i] = char(bad[i] ^ 0xFF);
        if (kind == 1) bad.remove(i, 1);
        if (kind == 2) bad.insert(i, char(0x7F));
        writeAll(settingsPath(), bad);
        EditorSettings r;
        if (!readSettingsFile(settingsPath(), r)) {
          ++refused;
          continue;
        }
        QVERIFY(r.font.pixelSize() >= 4 && r.font.pixelSize() <= 400);
        QVERIFY(r.background.isValid() && r.markColour.isValid());
      }
    }
    QVERIFY(refused > good.size());  // most damage is seen
  }

  void newAskedAndAnswered() {
    Windows w;
    QString path = testDataDir() + "new.zan";
    writeAll(path, "abc\r\n");
    QVERIFY(w.main->openFile(path));
    messageBoxHooks().confirm = [](const QString& q) { return q != "初期化しても良いですか？"; };
    w.main->New1Click();
    QCOMPARE(w.text(), QString("abc"));
    QCOMPARE(w.main->fileName, path);
    messageBoxHooks().confirm = [](const QString&) { return true; };
    writeAll(midPath(), "MThd");
    w.main->New1Click();
    QCOMPARE(w.text(), QString());
    QCOMPARE(w.main->windowTitle(), QString("zan"));
    QVERIFY(!QFile::exists(midPath()));
  }

  void closePromptThreeAnswers() {
    QString path = testDataDir() + "close.zan";
    {  // Cancel: the window stays, the text too, and no settings are written.
      Windows w;
      writeAll(path, "abc\r\n");
      QVERIFY(w.main->openFile(path));
      w.main->show();
      QTest::keyClicks(w.main->reMain, "x");
      messageBoxHooks().closePrompt = [] { return int(QMessageBox::Cancel); };
      QVERIFY(!w.main->close());
      QVERIFY(!QFile::exists(settingsPath()));
      QVERIFY(w.main->modified());
      messageBoxHooks().closePrompt = [] { return int(QMessageBox::No); };
      QVERIFY(w.main->close());
      QCOMPARE(readAll(path), QByteArray("abc\r\n"));  // No: not saved
      QVERIFY(QFile::exists(settingsPath()));
    }
    {  // Yes: saved, then closed.
      Windows w;
      QVERIFY(w.main->openFile(path));
      w.main->reMain->setPlainText("saved on close");
      messageBoxHooks().closePrompt = [] { return int(QMessageBox::Yes); };
      QVERIFY(w.main->close());
      QCOMPARE(readAll(path), QByteArray("saved on close\r\n"));
    }
  }

  // Open, New and a dropped file meet a modified document with the close
  // prompt: Yes saves (a failed save keeps everything), No discards, Cancel
  // keeps everything. MIDI and binary files are refused before any of it.
  void replacingAModifiedDocumentAsksFirst_data() {
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("saveFails");
    for (const char* how : {"open", "new", "drop"})
      for (int answer : {QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel})
        QTest::newRow(qPrintable(QString("%1 %2").arg(how).arg(answer))) << QString(how) << answer << false;
    QTest::newRow("open, save fails") << "open" << int(QMessageBox::Yes) << true;
  }
  void replacingAModifiedDocumentAsksFirst() {
    QFETCH(QString, how);
    QFETCH(int, answer);
    QFETCH(bool, saveFails);
    Windows w;
    QDir(testDataDir()).mkpath("folder");  // a save fails when its folder has gone
    QString path = testDataDir() + "folder/first.zan", other = testDataDir() + "other.zan";
    writeAll(path, "abc\r\n");
    writeAll(other, "other\r\n");
    writeAll(testDataDir() + "song.mid", QByteArray("MThd\0\0\0\x06", 8));
    QVERIFY(w.main->openFile(path));
    QTest::keyClicks(w.main->reMain, "x");
    if (saveFails) QDir(testDataDir() + "folder").removeRecursively();
    int prompts = 0;
    messageBoxHooks().closePrompt = [&] { return ++prompts, answer; };
    messageBoxHooks().error = [](const QString&) {};
    bool newAsked = false;  // New's own question is for an unmodified document
    messageBoxHooks().confirm = [&](const QString&) { return newAsked = true; };
    QVERIFY(!w.main->openFile(testDataDir() + "song.mid"));
    QCOMPARE(w.warnings, QStringList{"song.mid is a MIDI file, not a score"});
    QCOMPARE(prompts, 0);
    if (how == "open") {
      w.main->openFile(other);
    } else if (how == "new") {
      w.main->New1Click();
    } else {  // Qt delivers a drop only where a drag has entered
      QMimeData data;
      data.setUrls({QUrl::fromLocalFile(other)});
      QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, {});
      QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, {});
      QApplication::sendEvent(w.main->reMain->viewport(), &enter);
      QApplication::sendEvent(w.main->reMain->viewport(), &drop);
    }
    QCOMPARE(prompts, 1);
    QVERIFY(!newAsked);
    const bool replaced = answer == QMessageBox::No || (answer == QMessageBox::Yes && !saveFails);
    QCOMPARE(readAll(path), QByteArray(saveFails ? "" : answer == QMessageBox::Yes ? "xabc\r\n" : "abc\r\n"));
    QCOMPARE(w.text(), replaced ? QString(how == "new" ? "" : "other") : QString("xabc"));
    QCOMPARE(w.main->modified(), !replaced);
  }

  // The document's own flag decides, so a "*" in the file name means
  // nothing; an undo back to the saved text still counts as a change.
  void modifiedComesFromTheDocument() {
    Windows w;
    QString path = testDataDir() + "st*r.zan";
    writeAll(path, "abc\r\n");
    QVERIFY(w.main->openFile(path));
    QVERIFY(!w.main->modified());
    QTest::keyClicks(w.main->reMain, "x");
    QCOMPARE(w.main->windowTitle(), "*zan - " + path);
    QVERIFY(w.main->Save1Click());
    w.main->reMain->undo();
    QVERIFY(w.main->modified());
    w.main->action("Redo1Click")->trigger();  // Redo, with its keys
    QCOMPARE(w.text(), QString("xabc"));
    QCOMPARE(w.main->action("Redo1Click")->shortcuts(), QList<QKeySequence>({QKeySequence("Ctrl+Y"), QKeySequence("Ctrl+Shift+Z")}));
    QCOMPARE(w.main->action("SaveAs1Click")->shortcut(), QKeySequence("Ctrl+Shift+S"));
    QVERIFY(w.main->Save1Click());
    messageBoxHooks().closePrompt = [] { return int(QMessageBox::Cancel); };
    QVERIFY(w.main->close());  // not asked
  }

  void recentFilesKeepTheLastEight() {
    QFile::remove(testDataDir() + "user_settings.ini");
    QStringList paths;  // newest first
    for (int i = 0; i < 9; ++i) writeAll(*paths.insert(0, testDataDir() + QString("recent%1.zan").arg(i)), QByteArray::number(i));
    {
      Windows w;
      for (int i = 8; i >= 0; --i) QVERIFY(w.main->openFile(paths[i]));
      QCOMPARE(w.main->recentFiles->files(), paths.mid(0, 8));
      QVERIFY(w.main->saveTo(paths[5]));  // saving puts it on top too
    }
    Windows w;  // kept across a restart
    QCOMPARE(w.main->recentFiles->files(), QStringList({paths[5], paths[0], paths[1], paths[2], paths[3], paths[4], paths[6], paths[7]}));
    w.main->recentFiles->choose(2);
    QCOMPARE(w.text(), QString("7"));
    // A file that has gone is taken off the list, with a message.
    QFile::remove(paths[1]);
    w.main->recentFiles->choose(0);
    QCOMPARE(w.warnings.size(), 1);
    QVERIFY(w.warnings.front().contains("recent7.zan"));
    QCOMPARE(w.main->recentFiles->files().size(), 7);
  }

  // Tool windows open beside the main window, each on its own side, and
  // over it only when the screen has no room.
  void toolWindowsGoBesideTheMainWindow() {
    using B = Beside;
    const QRect main(400, 300, 720, 520);
    const QList<B> msg{B::Right, B::Left, B::Below, B::Above}, list{B::Left, B::Right, B::Below, B::Above},
        checker{B::Below, B::Above, B::Right, B::Left};
    const QRect wide(0, 0, 1920, 1200);
    QRect m = placeBeside(QSize(384, 250), main, wide, msg, {});
    QRect l = placeBeside(QSize(304, 225), main, wide, list, {m});
    QCOMPARE(m.topLeft(), QPoint(1120, 300));
    QCOMPARE(l.topLeft(), QPoint(96, 300));
    QCOMPARE(placeBeside(QSize(337, 177), main, wide, checker, {m, l}).topLeft(), QPoint(400, 820));
    // Only the right has room: the list goes below the message view there.
    l = placeBeside(QSize(304, 225), main, QRect(380, 0, 1140, 1200), list, {m});
    QCOMPARE(l.topLeft(), QPoint(1120, 595));
    // No room anywhere: over the main window, on the screen.
    QVERIFY(wide.contains(placeBeside(QSize(337, 177), wide, wide, checker, {})));
  }

  void windowGeometrySurvivesARestart() {
    QFile::remove(testDataDir() + "user_settings.ini");
    {
      Windows w;
      w.main->MessageView2Click();
      QVERIFY(QTest::qWaitForWindowExposed(w.msg.get()));
      // Room for ten message lines at first.
      QTextDocument* doc = w.msg->RichEdit1->document();
      const qreal line = doc->documentLayout()->blockBoundingRect(doc->begin()).height() - doc->documentMargin();
      const int room = w.msg->RichEdit1->viewport()->height();
      QVERIFY(room >= 10 * line && room < 11 * line);
      w.msg->setGeometry(37, 41, 450, 333);
      w.main->show();
      w.main->setGeometry(60, 70, 640, 480);
      QVERIFY(w.main->close());
    }
    Windows w;
    QCOMPARE(w.main->geometry(), QRect(60, 70, 640, 480));
    w.main->MessageView2Click();
    QCOMPARE(w.msg->geometry(), QRect(37, 41, 450, 333));
  }

  void settingsSurviveARestart() {
    {
      Windows w;
      QVERIFY(w.main->action("EditMark1Click")->isChecked());
      QVERIFY(w.main->action("ErrorBeep1Click")->isChecked());
      QVERIFY(!w.main->action("MessageView1Click")->isChecked());
      QCOMPARE(w.main->reMain->EditMarks.Tab.Color, QColor(0, 255, 255));
      w.main->action("ToolBar2Click")->trigger();
      w.main->action("StatusBar1Click")->trigger();
      w.main->action("MessageView1Click")->setChecked(true);
      w.main->action("EditMark1Click")->trigger();
      QVERIFY(!w.main->reMain->EditMarks.CrLf.Enabled);
      QVERIFY(w.main->reMain->EditMarks.Ctrl.Enabled);  // control marks stay
      QVERIFY(w.main->close());
    }
    QVERIFY(QFile::exists(settingsPath()));
    {
      Windows w;
      QVERIFY(!w.main->action("ToolBar2Click")->isChecked());
      QVERIFY(w.main->ToolBar1->isHidden());
      QVERIFY(w.main->action("StatusBar1Click")->isChecked());  // not stored
      QVERIFY(w.main->action("MessageView1Click")->isChecked());
      QVERIFY(!w.main->action("EditMark1Click")->isChecked());
      QVERIFY(!w.main->reMain->EditMarks.Tab.Enabled);
      QVERIFY(!w.main->action("AutoSaVe1Click")->isChecked());
    }
  }

  void damagedSettingsStartWithDefaults_data() {
    QTest::addColumn<int>("cut");
    QTest::newRow("empty") << 0;
    QTest::newRow("half") << -2;
    QTest::newRow("one byte short") << -1;
    QTest::newRow("foreign") << -3;
  }
  void damagedSettingsStartWithDefaults() {
    QFETCH(int, cut);
    EditorSettings s;
    s.font = QFont("Monospace");
    s.font.setPixelSize(14);
    s.toolBar = false;
    QVERIFY(writeSettingsFile(settingsPath(), s));
    QByteArray bytes = readAll(settingsPath());
    if (cut == 0) bytes.clear();
    if (cut == -1) bytes.chop(1);
    if (cut == -2) bytes.truncate(bytes.size() / 2);
    if (cut == -3) bytes = "[General]\nfont=Arial\n";
    writeAll(settingsPath(), bytes);
    Windows w;
    QVERIFY(w.main->action("ToolBar2Click")->isChecked());
    QVERIFY(w.main->action("EditMark1Click")->isChecked());
  }

  void settingsRecordsRoundTrip() {
    EditorSettings s;
    s.font = QFont("IPAGothic");
    s.font.setPixelSize(17);
    s.font.setBold(true);
    s.fontColour = QColor(1, 2, 3);
    s.background = QColor(250, 240, 230);
    s.markColour = QColor(255, 0, 0);
    s.editMark = false;
    s.errorBeep = false;
    s.messageView = true;
    QVERIFY(writeSettingsFile(settingsPath(), s));
    EditorSettings r;
    QVERIFY(readSettingsFile(settingsPath(), r));
    QCOMPARE(r.font.family(), s.font.family());
    QCOMPARE(r.font.pixelSize(), 17);
    QVERIFY(r.font.bold());
    QCOMPARE(r.fontColour, s.fontColour);
    QCOMPARE(r.background, s.background);
    QCOMPARE(r.markColour, s.markColour);
    QCOMPARE(r.editMark, false);
    QCOMPARE(r.toolBar, true);
    QCOMPARE(r.messageView, true);
    QCOMPARE(r.errorBeep, false);
    // A failed write leaves the old file whole.
    QVERIFY(!writeSettingsFile(testDataDir() + "no/such/dir/zanpad_reg.ini", s));
    QVERIFY(readSettingsFile(settingsPath(), r));
  }

  void bookmarksToggleMoveRemoveAndGoTo() {
    Windows w;
    TExtMemo* e = w.main->reMain;
    QStringList lines;
    for (int i = 0; i < 12; ++i) lines << QString("line%1").arg(i);
    e->setLines(lines);
    e->setCaret(e->lineStart(5) + 2);
    pressKey(e, Qt::Key_3, Qt::ControlModifier | Qt::ShiftModifier);
    releaseKey(e, Qt::Key_3, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(e->line(5), QString("{#3}line5"));
    // Elsewhere: the marker moves.
    e->setCaret(e->lineStart(9));
    pressKey(e, Qt::Key_3, Qt::ControlModifier | Qt::ShiftModifier);
    releaseKey(e, Qt::Key_3, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(e->line(5), QString("line5"));
    QCOMPARE(e->line(9), QString("{#3}line9"));
    // Go to: the caret lands behind the marker.
    e->setCaret(0);
    pressKey(e, Qt::Key_3, Qt::ControlModifier);
    releaseKey(e, Qt::Key_3, Qt::ControlModifier);
    QCOMPARE(e->caretLine(), 9);
    QCOMPARE(e->caretColumn(), 4);
    // On its own line: removed, caret at the line's start.
    pressKey(e, Qt::Key_3, Qt::ControlModifier | Qt::ShiftModifier);
    releaseKey(e, Qt::Key_3, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(e->line(9), QString("line9"));
    QCOMPARE(e->caretLine(), 9);
    QCOMPARE(e->caretColumn(), 0);
    // Nothing to go to: nothing moves.
    e->setCaret(e->lineStart(2) + 1);
    w.main->GotoBookmark(3);
    QCOMPARE(e->caretLine(), 2);
    QCOMPARE(e->caretColumn(), 1);
  }

  void bookmarkKeyHeldActsOnce() {
    Windows w;
    TExtMemo* e = w.main->reMain;
    e->setLines({"a", "b"});
    e->setCaret(0);
    auto mods = Qt::ControlModifier | Qt::ShiftModifier;
    pressKey(e, Qt::Key_4, mods);
    // Auto-repeat: X11 sends release and press pairs flagged as repeats.
    for (int i = 0; i < 3; ++i) {
      releaseKey(e, Qt::Key_4, mods, true);
      pressKey(e, Qt::Key_4, mods, true);
    }
    releaseKey(e, Qt::Key_4, mods);
    QCOMPARE(e->line(0), QString("{#4}a"));
  }

  void otherModifiersDoNothing_data() {
    QTest::addColumn<int>("mods");
    QTest::newRow("ctrl+alt") << int(Qt::ControlModifier | Qt::AltModifier);
    QTest::newRow("shift") << int(Qt::ShiftModifier);
    QTest::newRow("ctrl+shift+alt") << int(Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier);
    QTest::newRow("keypad") << int(Qt::ControlModifier | Qt::ShiftModifier | Qt::KeypadModifier);
  }
  void otherModifiersDoNothing() {
    QFETCH(int, mods);
    Windows w;
    TExtMemo* e = w.main->reMain;
    e->setLines({"a", "b"});
    pressKey(e, Qt::Key_3, Qt::KeyboardModifiers(mods));
    releaseKey(e, Qt::Key_3, Qt::KeyboardModifiers(mods));
    QVERIFY(!w.text().contains("{#"));
  }

  void shiftedDigitSymbolsNameTheirDigit() {
    QKeyEvent hash(QEvent::KeyPress, Qt::Key_NumberSign, Qt::ControlModifier | Qt::ShiftModifier, "#");
    QCOMPARE(bookmarkDigit(&hash), 3);
    QKeyEvent paren(QEvent::KeyPress, Qt::Key_ParenRight, Qt::ControlModifier | Qt::ShiftModifier, ")");
    QCOMPARE(bookmarkDigit(&paren), 0);
    QKeyEvent letter(QEvent::KeyPress, Qt::Key_A, Qt::ControlModifier, "a");
    QCOMPARE(bookmarkDigit(&letter), -1);
  }

  void separatorLineGoesAboveTheCaretLine() {
    Windows w;
    TExtMemo* e = w.main->reMain;
    e->setLines({"first", "second"});
    e->setCaret(2);
    w.main->InsertLineClick();
    QCOMPARE(e->line(0), ";" + QString(79, '-'));
    QCOMPARE(e->line(0).size(), 80);
    QCOMPARE(e->line(1), QString("first"));
    QCOMPARE(e->caretLine(), 1);
    QCOMPARE(e->caretColumn(), 2);
  }

  void caretPositionInStatusBar() {
    Windows w;
    w.main->reMain->setLines({"abc", "defgh"});
    w.main->reMain->setCaret(w.main->reMain->lineStart(1) + 4);
    QCOMPARE(w.main->caretText(), QString("  4:  1"));
  }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
