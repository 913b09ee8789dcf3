// SPDX-License-Identifier: MIT
#include "document.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QTextDocument>

#include "ext_memo.h"
#include "zan/midi_import.h"
#include "zan/text_helpers.h"
#include "recent_files.h"
#include "text_boxes.h"

namespace {

const QString kScoreFilter = "(*.zan) (*.zan);;(*.txt) (*.txt);;(*.*) (*)";

}  // namespace

Document::Document(QWidget* window) : QObject(window), window_(window) {}

void Document::attach(TExtMemo* editor, TRecentFiles* recentFiles) {
  editor_ = editor;
  recentFiles_ = recentFiles;
  // Only New, Open, Save and Save As clear the modified flag: every change
  // of the text sets it, an undo back to the saved text or a replacement of
  // the whole text too (the document itself would clear it then).
  connect(editor_->document(), &QTextDocument::modificationChanged, this, [this](bool modified) {
    if (!modified && !clearingModified_) editor_->document()->setModified(true);
  });
}

bool Document::modified() const { return editor_->document()->isModified(); }

void Document::markClean() {
  clearingModified_ = true;
  editor_->document()->setModified(false);
  clearingModified_ = false;
  if (name.isEmpty())
    emit captionChanged("zan", "zan");
  else
    emit captionChanged("zan - " + name, QFileInfo(name).fileName());
}

void Document::adoptName(const QString& path) {
  name = path;
  markClean();
}

void Document::clear() {
  // A modified document gets the close prompt instead of New's own question.
  if (modified()) {
    if (!maySaveChanges()) return;
  } else if (!ConfirmBox(UiText("初期化しても良いですか？"))) {
    return;
  }
  editor_->clear();
  name.clear();
  encoding = TextEncoding::Cp932;
  markClean();
  emit reset();
}

bool Document::open(const QString& path) {
  LoadedDocument doc;
  QString error;
  if (!loadDocument(path, doc, error)) {
    // The document, its name and caption stay as they were, so a later Save
    // cannot write this text over the file that failed to load.
    ErrorBox(UiText("Cannot open \"%1\": %2").arg(path, error));
    return false;
  }
  if (!doc.notScore.isEmpty()) {
    // Opened as text, a MIDI file would be garbage, and Save would then
    // overwrite it.
    WarnBox(UiText("%1 is %2, not a score").arg(QFileInfo(path).fileName(), doc.notScore));
    return false;
  }
  if (!maySaveChanges()) return false;
  name = QFileInfo(path).absoluteFilePath();
  recentFiles_->add(name);
  encoding = doc.encoding;
  editor_->setLines(doc.lines);
  markClean();
  emit reset();
  if (doc.undecodable > 0)
    WarnBox(UiText("\"%1\" holds %2 byte sequence(s) that are not CP932 (Shift-JIS) text.\n"
                    "They show as \uFFFD and cannot be saved back as they were.")
                .arg(path)
                .arg(doc.undecodable));
  return true;
}

bool Document::importMidi(const QString& path, QStringList& warnings) {
  // A name that never ends (a device, a pipe) must not take all memory; no
  // MIDI file comes near this.
  constexpr size_t kMaxMidiBytes = 512u << 20;
  std::string bytes, error;
  zan::midi_import::Result result;
  zan::midi_import::Options options;
  options.sourceName = QFileInfo(path).fileName().toStdString();
  if (zan::ReadFile(path.toStdString(), kMaxMidiBytes, zan::ReadAs::Bytes, bytes, error) != zan::ReadStatus::Ok ||
      !zan::midi_import::importSmf(std::vector<uint8_t>(bytes.begin(), bytes.end()), options, result, error)) {
    ErrorBox(UiText("Cannot import \"%1\": %2").arg(path, QString::fromStdString(error)));
    return false;
  }
  if (!maySaveChanges()) return false;
  name.clear();
  encoding = TextEncoding::Cp932;
  QStringList lines = QString::fromUtf8(result.score.data(), static_cast<qsizetype>(result.score.size())).split('\n');
  if (!lines.isEmpty() && lines.back().isEmpty()) lines.pop_back();
  editor_->setLines(lines);
  markClean();
  emit reset();
  // Never saved: closing asks first, and the caption says so.
  editor_->document()->setModified(true);
  emit captionChanged("*zan", "zan");
  warnings.clear();
  for (const std::string& w : result.warnings) warnings << QString::fromStdString(w);
  return true;
}

bool Document::save() {
  if (name.isEmpty()) return saveAs();
  return saveTo(name);
}

bool Document::saveAs() {
  QFileDialog dialog(window_, {}, QFileInfo(name).absolutePath(), kScoreFilter);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix("zan");
  if (!name.isEmpty()) dialog.selectFile(name);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
  const TextEncoding previous = encoding;
  if (!saveTo(dialog.selectedFiles().front())) {
    encoding = previous;
    return false;
  }
  return true;
}

// CP932 cannot hold every character: ask before a save would lose some.
bool Document::confirmUnencodable() {
  if (encoding != TextEncoding::Cp932) return true;
  const QString ch = firstUnencodable(editor_->toPlainText());
  if (ch.isEmpty()) return true;
  QMessageBox box(QMessageBox::Warning, "zan",
                  UiText("The text holds characters that CP932 (Shift-JIS) cannot store, such as \"%1\".\n"
                          "Save the file as UTF-8 instead?")
                      .arg(ch),
                  QMessageBox::NoButton, window_);
  QPushButton* utf8 = box.addButton(UiText("Save as UTF-8"), QMessageBox::AcceptRole);
  box.addButton(QMessageBox::Cancel);
  box.setDefaultButton(utf8);
  box.exec();
  if (box.clickedButton() != static_cast<QAbstractButton*>(utf8)) return false;
  encoding = TextEncoding::Utf8;
  return true;
}

bool Document::saveTo(const QString& path) {
  if (!confirmUnencodable()) return false;
  QString error;
  if (!saveDocument(path, editor_->lines(), encoding, error)) {
    ErrorBox(UiText("Cannot save \"%1\": %2").arg(path, error));
    return false;
  }
  name = QFileInfo(path).absoluteFilePath();
  recentFiles_->add(name);
  markClean();
  return true;
}

bool Document::maySaveChanges() {
  if (!modified()) return true;
  QMessageBox box(QMessageBox::NoIcon, UiText("zanpad の終了"), UiText("テキストが変更されています。保存しますか？"),
                  QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, window_);
  const int answer = messageBoxHooks().closePrompt ? messageBoxHooks().closePrompt() : box.exec();
  if (answer == QMessageBox::Cancel) return false;
  // A save that failed or was cancelled keeps everything: going on now would
  // lose the text.
  if (answer == QMessageBox::Yes) return save();
  return true;
}
