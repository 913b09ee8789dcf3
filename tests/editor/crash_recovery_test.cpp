// SPDX-License-Identifier: MIT
// The recovery copy of a modified document: written while the document is
// modified, gone once it is saved or the editor closes cleanly, and offered
// back after a crash.
#include "crash_recovery.h"
#include "editor_fixture.h"

// Sets the file's modification time to `seconds` from now.
void touch(const QString& path, int seconds) {
  QFile f(path);
  QVERIFY(f.open(QIODevice::ReadWrite));
  QVERIFY(f.setFileTime(QDateTime::currentDateTime().addSecs(seconds), QFileDevice::FileModificationTime));
}

class CrashRecoveryTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { QDir(CrashRecovery::folder()).removeRecursively(); }

  void aCopyFollowsTheModifiedDocumentAndGoesWhenItIsSaved() {
    Windows w;
    w.main->recovery->setIntervals(10, 50);
    const QString path = testDataDir() + "song.zan";
    QFile(path).remove();
    w.setText("c d e");
    const QString copy = CrashRecovery::copyPathFor("");
    QTRY_VERIFY(QFile::exists(copy));
    CrashRecovery::Copy read;
    QVERIFY(CrashRecovery::readCopy(copy, read));
    QCOMPARE(read.text, QString("c d e"));

    QVERIFY(w.main->saveTo(path));  // Save As under a name: the copy goes
    QVERIFY(!QFile::exists(copy));
    w.main->reMain->insertPlainText("f");
    const QString named = CrashRecovery::copyPathFor(w.main->fileName);
    QTRY_VERIFY(QFile::exists(named));
    QVERIFY(w.main->Save1Click());
    QVERIFY(!QFile::exists(named));

    w.main->reMain->insertPlainText("g");
    QTRY_VERIFY(QFile::exists(named));
    w.main->close();  // a clean exit, the changes discarded: nothing to recover
    QVERIFY(!QFile::exists(named));
  }

  void aCopyLeftByACrashIsOfferedOnceAndRestored() {
    const QString path = testDataDir() + "crashed.zan";
    {
      QFile f(path);
      QVERIFY(f.open(QIODevice::WriteOnly));
      f.write("c\r\n");
    }
    touch(path, -60);
    {
      // A session that dies with the text typed: its copy stays behind.
      QPlainTextEdit editor;
      CrashRecovery recovery(&editor, [&] { return path; });
      recovery.setIntervals(1, 1);
      editor.setPlainText("c d e f g");
      editor.document()->setModified(true);
      editor.insertPlainText(" a");
      QTRY_VERIFY(QFile::exists(CrashRecovery::copyPathFor(path)));
    }
    QStringList offered;
    messageBoxHooks().restore = [&](const QString& name) {
      offered << name;
      return true;
    };
    Windows w;
    w.main->offerRecovery();
    QCOMPARE(offered, QStringList{path});
    QCOMPARE(w.main->fileName, path);
    QCOMPARE(w.text(), QString(" ac d e f g"));
    QVERIFY(w.main->modified());
    QVERIFY(w.main->windowTitle().startsWith('*'));

    // Saved, the document is newer than any copy: nothing is offered again.
    QVERIFY(w.main->Save1Click());
    offered.clear();
    w.main->offerRecovery();
    QVERIFY(offered.isEmpty());
  }

  void aDeclinedOrStaleCopyIsRemoved() {
    const QString path = testDataDir() + "stale.zan";
    for (bool stale : {false, true}) {
      QDir().mkpath(CrashRecovery::folder());
      QFile copy(CrashRecovery::copyPathFor(path));
      QVERIFY(copy.open(QIODevice::WriteOnly));
      copy.write("zanpad recovery copy 1\n" + path.toUtf8() + "\nc d e");
      copy.close();
      QFile doc(path);
      QVERIFY(doc.open(QIODevice::WriteOnly));
      doc.close();
      // The document written before the copy (a crash), or after it (saved elsewhere).
      touch(path, stale ? 60 : -60);
      int asked = 0;
      messageBoxHooks().restore = [&](const QString&) { return ++asked, false; };
      Windows w;
      w.main->offerRecovery();
      QCOMPARE(asked, stale ? 0 : 1);
      QVERIFY(!QFile::exists(copy.fileName()));
      QCOMPARE(w.text(), QString());
    }
  }
};

QTEST_MAIN(CrashRecoveryTest)
#include "crash_recovery_test.moc"
