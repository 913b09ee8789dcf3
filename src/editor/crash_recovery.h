// SPDX-License-Identifier: MIT
// Keeps a recovery copy of a modified document, so that a crash, a killed
// process or a lost session costs at most the last half minute of typing.
//
// While the document is modified, its text is written (atomically) to a
// copy in the per-user recovery folder a moment after the typing stops, and
// at most every 30 seconds while it goes on. The copy goes away when the
// document stops being modified (New, Open, Save, Save As clear the flag)
// and on a clean exit. A copy found at start-up is one a crash left behind:
// offerRestore() asks whether to take it back.
#pragma once

#include <QDateTime>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <vector>

class QPlainTextEdit;

class CrashRecovery : public QObject {
  Q_OBJECT

 public:
  // `documentName` gives the document's full path ("" while it has none).
  CrashRecovery(QPlainTextEdit* editor, std::function<QString()> documentName, QObject* parent = nullptr);

  // Where the copies are: ZANPAD_DATA_DIR/recovery/ when that is set, else
  // the per-user data folder's recovery/.
  static QString folder();

  // A copy left behind by an earlier run.
  struct Copy {
    QString path;          // the copy itself
    QString document;      // the document it belongs to ("" for an unnamed one)
    QDateTime written;     // when it was written
    QString text;          // the text it holds
  };
  // The copies newer than their documents, newest first. Older ones (the
  // document was saved after the copy, by another program say) are removed.
  static std::vector<Copy> leftBehind();
  // Reads one copy; false when it is not one of ours.
  static bool readCopy(const QString& path, Copy& copy);

  // Asks, for each copy left behind, whether to restore it, until one is
  // taken: `open` is then called with it (the caller opens the document and
  // puts the copy's text in). A copy declined is removed. Returns whether
  // one was restored. `ask` answers the question (the GUI tests script it);
  // by default a message box asks.
  bool offerRestore(const std::function<void(const Copy&)>& open,
                    std::function<bool(const Copy&)> ask = {});

  // Removes the copy of the current document (a clean exit).
  void discard();

  // How long typing must pause before a copy is written, and how long at
  // least between two copies (tests shorten them).
  void setIntervals(int idleMs, int minimumMs);

  // The copy of the document called `name` ("" for an unnamed one).
  static QString copyPathFor(const QString& name);

 signals:
  // A copy could not be written: the reason, for the status bar.
  void writeFailed(const QString& reason);

 private:
  void documentChanged();
  void writeCopy();

  QPlainTextEdit* editor_;
  std::function<QString()> documentName_;
  QTimer timer_;             // fires when the next copy is due
  QElapsedTimer sinceWrite_; // since the last copy was written (invalid: none yet)
  QString written_;          // the copy written last, removed when the document is clean
  int idleMs_ = 2000;
  int minimumMs_ = 30000;
};
