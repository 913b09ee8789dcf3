// SPDX-License-Identifier: MIT
// Document: the score being edited as a file: its name, its encoding, its
// modified flag, and New, Open, Save, Save As and the close prompt. Every
// view that shows something of a document listens to reset(), emitted when
// New or Open puts another document in the editor, and starts afresh.
#pragma once

#include <QObject>
#include <QString>

#include "document_io.h"

class QWidget;
class TExtMemo;
class TRecentFiles;

class Document : public QObject {
  Q_OBJECT

 public:
  explicit Document(QWidget* window);
  // The editor that shows the text, and the list Open and Save add to.
  void attach(TExtMemo* editor, TRecentFiles* recentFiles);

  QString name;                                 // full path; empty when unnamed
  TextEncoding encoding = TextEncoding::Cp932;  // how the text is written back

  // Read from the editor's document, never from the caption: a "*" in a
  // file name means nothing.
  bool modified() const;

  // New: after the close prompt (a modified text) or New's own question.
  void clear();
  // Opens a score: a MIDI or binary file is refused with a warning; a
  // modified document is offered for saving first. False when nothing was
  // opened; the document is then as it was.
  bool open(const QString& path);
  // Imports a MIDI file as a new, unnamed and unsaved document (after the
  // close prompt for a modified one). A file that cannot be imported is
  // refused with an error box. `warnings` gets what the import dropped,
  // one line each. False when nothing was imported.
  bool importMidi(const QString& path, QStringList& warnings);
  bool save();    // Save As when unnamed
  bool saveAs();  // asks for a name
  bool saveTo(const QString& path);
  // The close prompt for a modified document: true when the caller may go
  // on (saved, or the user chose not to), false on Cancel or a failed save.
  bool maySaveChanges();
  // The text now matches its file (or is empty): the modified flag goes,
  // and the caption follows the name.
  void markClean();
  // The name a recovered text had, whose file is gone or unreadable: Save
  // writes it anew.
  void adoptName(const QString& path);

 signals:
  void reset();  // another document is in the editor (New, Open, Import MIDI)
  void captionChanged(const QString& windowTitle, const QString& applicationTitle);

 private:
  bool confirmUnencodable();

  QWidget* window_;
  TExtMemo* editor_ = nullptr;
  TRecentFiles* recentFiles_ = nullptr;
  bool clearingModified_ = false;  // markClean is clearing the editor's modified flag
};
