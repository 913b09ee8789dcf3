// SPDX-License-Identifier: MIT
// File > Import MIDI...: the score of a MIDI file opens as a new, unsaved
// document; a file that is not MIDI leaves the document as it was.
#include <QtTest>

#include "editor_fixture.h"

namespace {

void writeAll(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  QVERIFY(f.open(QIODevice::WriteOnly));
  f.write(bytes);
}

// One track: a tempo, a program, C and E of a quarter each, and a channel
// pressure message the language cannot write.
QByteArray oneTrack() {
  const QByteArray body = QByteArray::fromHex("00FF510307A120" "00C005" "00903C64" "60803C40" "0090405A" "60804040"
                                              "00D040" "00FF2F00");
  QByteArray file = QByteArray::fromHex("4D546864000000060001000100604D54726B");
  const quint32 n = static_cast<quint32>(body.size());
  file.append(char(n >> 24)).append(char(n >> 16)).append(char(n >> 8)).append(char(n));
  return file + body;
}

}  // namespace

class MidiImportTest : public QObject {
  Q_OBJECT

 private slots:
  void importOpensAnUnsavedDocument() {
    Windows w;
    const QString path = testDataDir() + "tune.mid";
    writeAll(path, oneTrack());
    QVERIFY(w.main->importMidiFile(path));
    QVERIFY(w.text().startsWith("; imported from tune.mid\n#timebase 96\n"));
    QVERIFY(w.text().contains("_tr(0) CH=1\n"));
    QVERIFY(w.text().contains("@5"));
    QCOMPARE(w.main->fileName, QString());
    QVERIFY(w.main->modified());
    QVERIFY(w.main->windowTitle().startsWith('*'));
    QVERIFY(w.main->statusText().contains("1 channel pressure messages"));
    // The MIDI file itself is never the document's name: Save asks for one.
    QCOMPARE(QFileInfo(path).size(), oneTrack().size());
  }

  void aFileThatIsNotMidiKeepsTheDocument() {
    Windows w;
    w.setText("c d e");
    const QString path = testDataDir() + "not.mid";
    writeAll(path, "c d e\n");
    QString error;
    messageBoxHooks().error = [&](const QString& m) { error = m; };
    QVERIFY(!w.main->importMidiFile(path));
    QCOMPARE(error, "Cannot import \"" + path + "\": not a MIDI file (no MThd header)");
    QCOMPARE(w.text(), QString("c d e"));
  }
};

QTEST_MAIN(MidiImportTest)
#include "midi_import_test.moc"
