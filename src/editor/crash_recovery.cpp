// SPDX-License-Identifier: MIT
#include "crash_recovery.h"
#include "app_paths.h"
#include "document_io.h"
#include "text_boxes.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTextStream>

#include <algorithm>

namespace {

// The first line of every copy; the second is the document's path.
constexpr char kMagic[] = "zanpad recovery copy 1";

}  // namespace

CrashRecovery::CrashRecovery(QPlainTextEdit* editor, std::function<QString()> documentName, QObject* parent)
    : QObject(parent), editor_(editor), documentName_(std::move(documentName)) {
  timer_.setSingleShot(true);
  connect(&timer_, &QTimer::timeout, this, &CrashRecovery::writeCopy);
  connect(editor_->document(), &QTextDocument::contentsChanged, this, &CrashRecovery::documentChanged);
  connect(editor_->document(), &QTextDocument::modificationChanged, this, [this](bool modified) {
    if (modified)
      documentChanged();  // a text put in whole is marked modified only after its change
    else
      discard();
  });
}

QString CrashRecovery::folder() { return userDataDir() + "recovery/"; }

QString CrashRecovery::copyPathFor(const QString& name) {
  // One copy per document name; the name itself may hold any character.
  const QByteArray key = QCryptographicHash::hash(name.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
  const QString base = name.isEmpty() ? QStringLiteral("untitled") : QFileInfo(name).completeBaseName();
  return folder() + base + "-" + QString::fromLatin1(key) + ".recovery";
}

void CrashRecovery::setIntervals(int idleMs, int minimumMs) {
  idleMs_ = idleMs;
  minimumMs_ = minimumMs;
}

void CrashRecovery::documentChanged() {
  if (!editor_->document()->isModified() || timer_.isActive()) return;
  // A pause in the typing, but never sooner than the minimum after the last copy.
  qint64 due = idleMs_;
  if (sinceWrite_.isValid()) due = std::max<qint64>(due, minimumMs_ - sinceWrite_.elapsed());
  timer_.start(static_cast<int>(due));
}

void CrashRecovery::writeCopy() {
  if (!editor_->document()->isModified()) return;
  QDir().mkpath(folder());
  const QString name = documentName_();
  const QString path = copyPathFor(name);
  QString text = editor_->toPlainText();
  QByteArray bytes = QByteArray(kMagic) + '\n' + name.toUtf8() + '\n' + text.toUtf8();
  if (QString error; !saveBytes(path, bytes, error)) {
    emit writeFailed(UiText("Cannot keep a recovery copy in %1: %2").arg(folder(), error));
    return;
  }
  // The document was renamed since the last copy: that copy is stale.
  if (!written_.isEmpty() && written_ != path) QFile::remove(written_);
  written_ = path;
  sinceWrite_.start();
}

void CrashRecovery::discard() {
  timer_.stop();
  if (!written_.isEmpty()) QFile::remove(written_);
  written_.clear();
  sinceWrite_.invalidate();
}

bool CrashRecovery::readCopy(const QString& path, Copy& copy) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return false;
  const QByteArray bytes = file.readAll();
  const qsizetype first = bytes.indexOf('\n');
  const qsizetype second = first < 0 ? -1 : bytes.indexOf('\n', first + 1);
  if (second < 0 || bytes.left(first) != kMagic) return false;
  copy.path = path;
  copy.document = QString::fromUtf8(bytes.mid(first + 1, second - first - 1));
  copy.text = QString::fromUtf8(bytes.mid(second + 1));
  copy.written = QFileInfo(path).lastModified();
  return true;
}

std::vector<CrashRecovery::Copy> CrashRecovery::leftBehind() {
  std::vector<Copy> copies;
  const QDir dir(folder());
  for (const QFileInfo& info : dir.entryInfoList({"*.recovery"}, QDir::Files)) {
    Copy copy;
    if (!readCopy(info.absoluteFilePath(), copy)) continue;
    // A document saved after its copy was written has nothing to recover.
    const QFileInfo document(copy.document);
    if (!copy.document.isEmpty() && document.exists() && document.lastModified() >= copy.written) {
      QFile::remove(copy.path);
      continue;
    }
    copies.push_back(std::move(copy));
  }
  std::sort(copies.begin(), copies.end(), [](const Copy& a, const Copy& b) { return a.written > b.written; });
  return copies;
}

bool CrashRecovery::offerRestore(const std::function<void(const Copy&)>& open, std::function<bool(const Copy&)> ask) {
  if (!ask) {
    ask = [](const Copy& copy) {
      const QString name = copy.document.isEmpty() ? UiText("an unnamed score") : copy.document;
      const QString when = QLocale().toString(copy.written, QLocale::LongFormat);
      QMessageBox box(QMessageBox::Question, UiText("Restore unsaved changes"),
                      UiText("zanpad did not close properly last time.\n\n"
                              "Restore the unsaved changes to %1, kept at %2?\n\n"
                              "No discards them.")
                          .arg(name, when),
                      QMessageBox::Yes | QMessageBox::No, QApplication::activeWindow());
      box.setDefaultButton(QMessageBox::Yes);
      return box.exec() == QMessageBox::Yes;
    };
  }
  for (const Copy& copy : leftBehind()) {
    if (ask(copy)) {
      open(copy);
      // The restored text is the document's now: its copy goes with it.
      if (written_ != copy.path && !written_.isEmpty()) QFile::remove(written_);
      written_ = copy.path;
      return true;
    }
    QFile::remove(copy.path);
  }
  return false;
}
