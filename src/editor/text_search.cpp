// SPDX-License-Identifier: MIT
#include "text_search.h"

#include <QAction>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QInputDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTextCursor>
#include <QTextDocument>

#include "editor_text.h"
#include "ext_memo.h"
#include "text_boxes.h"

TextSearch::TextSearch(QObject* parent)
    : QObject(parent), find_(new QAction(UiText("&Find"), this)), findNext_(new QAction(UiText("Find &Next"), this)),
      replace_(new QAction(UiText("&Replace..."), this)), goToLine_(new QAction(UiText("&Go to Line..."), this)) {
  replace_->setObjectName("Replace1Click");
  // Ctrl+H is Check Macro's.
  replace_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_H));
  goToLine_->setObjectName("GoToLine1Click");
  goToLine_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_G));
  for (QAction* a : {replace_, goToLine_}) a->setShortcutContext(Qt::WindowShortcut);
  connect(replace_, &QAction::triggered, this, &TextSearch::askReplace);
  connect(goToLine_, &QAction::triggered, this, &TextSearch::askLine);
  find_->setObjectName("Find2Click");
  find_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
  findNext_->setObjectName("FindNext1Click");
  findNext_->setShortcut(QKeySequence(Qt::Key_F3));
  for (QAction* a : {find_, findNext_}) a->setShortcutContext(Qt::WindowShortcut);
  connect(find_, &QAction::triggered, this, &TextSearch::find);
  connect(findNext_, &QAction::triggered, this, &TextSearch::findNext);
}

void TextSearch::find() {
  if (editor_->selLength() > 0)
    text = editor_->selText();
  else
    text = InputBox(UiText("検索文字列を入力してください。"), UiText("検索"), text);
  search();
}

void TextSearch::findNext() {
  if (text.isEmpty()) return find();
  search();
}

void TextSearch::search() {
  const int from = editor_->selStart();
  const int p = FindFrom(editor_->toPlainText(), text, from);
  if (p < 0) {
    emit status(UiText("No match for \"") + text + "\"");
    WarnBox(UiText("文字列が見つかりません。"));
    return;
  }
  editor_->setSelection(p, static_cast<int>(text.size()));
  if (p <= from) emit status(UiText("Found \"") + text + UiText("\" after going on from the top"));
}

void TextSearch::replaceNext(const QString& with) {
  if (text.isEmpty()) return;
  QTextCursor c = editor_->textCursor();
  if (c.hasSelection() && c.selectedText() == text) {
    c.insertText(with);
    editor_->setTextCursor(c);
  }
  search();
}

int TextSearch::replaceAll(const QString& with) {
  if (text.isEmpty()) return 0;
  QTextDocument* doc = editor_->document();
  QTextCursor edit(doc);
  edit.beginEditBlock();  // one undo step for all of them
  int count = 0;
  QTextCursor at(doc);
  while (!(at = doc->find(text, at, QTextDocument::FindCaseSensitively)).isNull()) {
    at.insertText(with);
    ++count;
  }
  edit.endEditBlock();
  emit status(UiText("Replaced %1 of \"%2\"").arg(count).arg(text));
  return count;
}

bool TextSearch::goTo(int line) {
  if (line < 0 || line >= editor_->lineCount()) return false;
  editor_->setCaret(editor_->lineStart(line));
  editor_->centerCursor();
  return true;
}

void TextSearch::askReplace() {
  QDialog dialog(editor_);
  dialog.setWindowTitle(UiText("Replace"));
  auto* what = new QLineEdit(editor_->selLength() > 0 ? editor_->selText() : text);
  auto* with = new QLineEdit;
  auto* form = new QFormLayout(&dialog);
  form->addRow(UiText("Find &what:"), what);
  form->addRow(UiText("Replace wit&h:"), with);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
  QPushButton* one = buttons->addButton(UiText("&Replace"), QDialogButtonBox::ActionRole);
  QPushButton* all = buttons->addButton(UiText("Replace &All"), QDialogButtonBox::ActionRole);
  one->setDefault(true);
  form->addRow(buttons);
  connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  connect(one, &QPushButton::clicked, this, [this, what, with] {
    text = what->text();
    replaceNext(with->text());
  });
  connect(all, &QPushButton::clicked, this, [this, what, with, &dialog] {
    text = what->text();
    replaceAll(with->text());
    dialog.accept();
  });
  dialog.exec();
}

void TextSearch::askLine() {
  bool ok = false;
  const int last = editor_->lineCount() - 1;
  const int line = QInputDialog::getInt(editor_, UiText("Go to Line"), UiText("Line (0 to %1):").arg(last),
                                        editor_->caretLine(), 0, last, 1, &ok);
  if (ok) goTo(line);
}
