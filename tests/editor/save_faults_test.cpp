// The editor's saves under a fault made for real: this program runs with the
// fault injector preloaded (tests/faults/fail_io.cpp; ctest's
// zanpad_save_faults_* entries set ZAN_FAIL), so that every write or rename
// of a file fails. Each save must leave the file that was there byte for
// byte and tell the user. Without ZAN_FAIL there is nothing to test.
#include "crash_recovery.h"
#include "editor_fixture.h"
#include "settings_file.h"

namespace {

void put(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  QVERIFY(f.open(QIODevice::WriteOnly));  // open and write: the shim fails only what follows a rename or a write
  f.write(bytes);
}

QByteArray contents(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

}  // namespace

class SaveFaultsTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    if (!qEnvironmentVariableIsSet("ZAN_FAIL")) QSKIP("run by ctest with the fault injector preloaded");
  }

  void everySaveKeepsThePreviousFileAndSaysSo() {
    QStringList errors;  // outlives the windows, whose close reports too
    Windows w;
    messageBoxHooks().error = [&](const QString& m) { errors << m; };
    const QByteArray old = "the file that was there before";
    const QString score = testDataDir() + "score.zan";
    const QString exported = testDataDir() + "out.mid";
    for (const QString& path : {score, settingsPath(), exported}) put(path, old);
    w.main->fileName = score;
    w.setText("t120 c d e");
    w.main->RunCompilePlay1Click();  // zan.mid holds the text, ready to export
    QVERIFY(QFile::exists(midPath()));
    const QByteArray mid = contents(midPath());
    qputenv("ZAN_FAIL_ARMED", "1");  // from here on every write (or rename) fails

    QVERIFY(!w.main->saveTo(score));
    QCOMPARE(errors.size(), 1);
    QVERIFY2(errors.last().startsWith("Cannot save"), qPrintable(errors.last()));
    QVERIFY(w.main->modified());
    QCOMPARE(contents(score), old);

    QVERIFY(!writeSettingsFile(settingsPath(), EditorSettings{}));
    QCOMPARE(contents(settingsPath()), old);

    QVERIFY(!w.main->exportTo(exported));
    QCOMPARE(errors.size(), 2);
    QVERIFY2(errors.last().startsWith("Cannot export"), qPrintable(errors.last()));
    QCOMPARE(contents(exported), old);

    // Run compiles again into zan.mid: it fails as a compile that could not write.
    w.main->reMain->insertPlainText("f ");
    w.main->RunCompilePlay1Click();
    QCOMPARE(w.main->statusText(), QString("Could not compile ..."));
    QCOMPARE(contents(midPath()), mid);

    // The recovery copy: a failure shows in the status bar, and nothing is
    // left half written. (A new file is linked into place whole, without a
    // rename: with only renames failing, the copy is made.)
    QSignalSpy failed(w.main->recovery, &CrashRecovery::writeFailed);
    w.main->recovery->setIntervals(1, 1);
    w.main->reMain->insertPlainText("g ");
    const QString copy = CrashRecovery::copyPathFor(score);
    QTRY_VERIFY(failed.count() > 0 || QFile::exists(copy));
    CrashRecovery::Copy read;
    if (QFile::exists(copy)) QVERIFY(CrashRecovery::readCopy(copy, read) && read.text == w.text());
    QVERIFY(QDir(testDataDir()).entryList({"*.tmp", "*.??????"}, QDir::Files).isEmpty());
    qunsetenv("ZAN_FAIL_ARMED");
  }
};

QTEST_MAIN(SaveFaultsTest)
#include "save_faults_test.moc"
