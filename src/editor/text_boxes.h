// SPDX-License-Identifier: MIT
// The two standard message boxes of the editor, and the input box of the
// find commands. The GUI tests replace them with scripted answers.
#pragma once

#include <QString>

#include <functional>

class QWidget;

// The text of `original` (UTF-8, as written) in the user's language (zan::tr).
QString UiText(const char* original);
// The same for a text a table marked (zan::N_) and handed on as a QString.
QString UiText(const QString& original);

// A modal warning with the caption "警告" and an OK button.
void WarnBox(const QString& message);

// A modal question with the caption "本当に良いですか？"; true for Yes.
bool ConfirmBox(const QString& question);

// The standard error box: a file that cannot be read or written, say.
void ErrorBox(const QString& message);

// A modal line input: returns the answer, or `preset` unchanged on Cancel.
QString InputBox(const QString& caption, const QString& prompt, const QString& preset);

// Test seams: when set, the boxes call these instead of showing a dialog.
struct MessageBoxHooks {
  std::function<void(const QString&)> warn;
  std::function<bool(const QString&)> confirm;
  std::function<QString(const QString&, const QString&, const QString&)> input;
  std::function<int()> closePrompt;  // answers the close prompt with a QMessageBox::StandardButton
  std::function<void(const QString&)> error;  // the error box of a failed Open, Save or check
  std::function<bool(const QString&)> restore;  // the offer of a recovery copy (the document's name); true restores
};
MessageBoxHooks& messageBoxHooks();
