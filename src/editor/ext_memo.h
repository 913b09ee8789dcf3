// SPDX-License-Identifier: MIT
// TExtMemo: the score editor. A plain-text editor without wrapping that
// draws visible marks over line ends, tabs, the end of the text, control
// characters and (when asked) spaces, and offers the line and position
// operations the windows use. Positions are the editor's own character
// positions, counted from 0; a line break counts as one character.
#pragma once

class QPainter;

#include <QColor>
#include <QPlainTextEdit>
#include <QString>

struct TEditMark {
  bool Enabled = false;
  QColor Color = QColor(0xC0, 0xC0, 0xC0);  // silver
  bool Reversed = false;                     // glyph in the background colour on a block
};

// The six marks, in their fixed order.
struct TEditMarks {
  TEditMark CrLf;  // line ends: a down arrow
  TEditMark Ctrl;  // other characters below 32: the character 64 above, reversed
  TEditMark DSp;   // double-byte space U+3000: a box
  TEditMark SSp;   // single-byte space: a small dot
  TEditMark Tab;   // tabs: ">"
  TEditMark Eot;   // end of text: a left arrow
};

class TExtMemo : public QPlainTextEdit {
  Q_OBJECT

 public:
  explicit TExtMemo(QWidget* parent = nullptr);

  TEditMarks EditMarks;  // call viewport()->update() after changing

  // The marks the main window shows: line ends, tabs, the end of the text and
  // reversed control characters, all in aqua; spaces unmarked.
  static TEditMarks mainWindowMarks();

  // Lines. Indexes count from 0; an index beyond the end addresses the end.
  // A negative index addresses nothing (lineStart gives 0). An empty text is
  // one empty line; a text ending in a line break ends in an empty line.
  int lineCount() const;
  QString line(int i) const;
  QStringList lines() const;
  // Replaces the whole text, like opening a file: the undo history and the
  // document's modified flag are cleared.
  void setLines(const QStringList& lines);
  void replaceLine(int i, const QString& text);    // one undoable edit
  void insertLine(int i, const QString& text);     // the new line becomes line i; one undoable edit
  int lineStart(int i) const;                       // position of line i's first character

  // Caret and selection.
  int caretLine() const;
  int caretColumn() const;
  int selStart() const;
  int selLength() const;
  QString selText() const;
  void setSelection(int start, int length);  // selects and scrolls into view
  void setCaret(int position);

  // Extra selections come from several features (the error underlines, the
  // sounding notes); each replaces only its own with these.
  enum class SelectionOwner { ErrorMarks = 1, SoundingNotes = 2 };
  void setOwnSelections(SelectionOwner owner, QList<QTextEdit::ExtraSelection> selections);

  // The background colour of the text area.
  QColor background() const;
  void setBackground(const QColor& colour);

  // Room left of the text for a gutter laid over the editor's frame.
  void setGutterWidth(int pixels) { setViewportMargins(pixels, 0, 0, 0); }

 signals:
  // Sent before the editor handles the event itself.
  void keyDown(QKeyEvent* event);
  void keyUp(QKeyEvent* event);
  void keyPress(QKeyEvent* event);  // a key that produced text
  void mouseDown(QMouseEvent* event);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void paintSoundingOverSelection(QPainter& painter);
  void repaintChangedLines(int position, int charsAdded);
  void applyFontMetrics();
};
