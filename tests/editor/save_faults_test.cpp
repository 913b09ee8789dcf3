// SPDX-License-Identifier: MIT
// The editor's saves under a fault made for real: with the fault injector
// preloaded (tests/faults/fail_io.cpp; ctest's zanpad_save_faults_* entries
// set ZAN_FAIL), every write or rename of a file fails; without it, a small
// tmpfs is made read-only under the score. Each save must leave the file that
// was there byte for byte and tell the user.
#include <sys/mount.h>

#include "crash_recovery.h"
#include "editor_fixture.h"
#include "player_settings.h"
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
  void everySaveKeepsThePreviousFileAndSaysSo() {
    if (!qEnvironmentVariableIsSet("ZAN_FAIL")) QSKIP("run by ctest with the fault injector preloaded");
    QStringList errors;  // outlives the windows, whose close reports too
    Windows w;
    messageBoxHooks().error = [&](const QString& m) { errors << m; };
    const QByteArray old = "the file that was there before";
    const QString score = testDataDir() + "score.zan";
    const QString exported = testDataDir() + "out.mid";
    for (const QString& path : {score, settingsPath(), exported}) put(path, old);
    const QString playerSettings = userSettings().fileName();  // the player's, the recent files, the geometry
    const QByteArray oldIni = "[player]\ngain=1\n";
    put(playerSettings, oldIni);
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

    {
      QSettings q = userSettings();
      q.setValue("player/gain", 3.0);
      q.sync();
      QCOMPARE(q.status(), QSettings::AccessError);
    }
    QCOMPARE(contents(playerSettings), oldIni);

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

  // A real read-only file system: a small tmpfs, mounted where the test may.
  void aReadOnlyFolderKeepsTheScoreAndSaysSo() {
    if (qEnvironmentVariableIsSet("ZAN_FAIL")) QSKIP("run once, without the fault injector");
    const QString folder = testDataDir() + "readonly";
    QDir().mkpath(folder);
    if (::mount("tmpfs", folder.toUtf8().constData(), "tmpfs", 0, "size=64k") != 0) QSKIP("cannot mount a tmpfs here");
    const QString score = folder + "/score.zan";
    put(score, "c\r\n");
    QCOMPARE(::mount("tmpfs", folder.toUtf8().constData(), "tmpfs", MS_REMOUNT | MS_RDONLY, "size=64k"), 0);
    QStringList errors;
    Windows w;
    messageBoxHooks().error = [&](const QString& m) { errors << m; };
    w.setText("c d e");
    QVERIFY(!w.main->saveTo(score));
    QCOMPARE(errors.size(), 1);
    QVERIFY(w.main->modified());
    QCOMPARE(contents(score), QByteArray("c\r\n"));
    ::umount2(folder.toUtf8().constData(), MNT_DETACH);
  }
};

QTEST_MAIN(SaveFaultsTest)
#include "save_faults_test.moc"
