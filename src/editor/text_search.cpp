#include "text_search.h"

#include <QAction>

#include "editor_text.h"
#include "ext_memo.h"
#include "text_boxes.h"

TextSearch::TextSearch(QObject* parent)
    : QObject(parent), find_(new QAction("&Find", this)), findNext_(new QAction("Find &Next", this)) {
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
    text = InputBox("検索文字列を入力してください。", "検索", text);
  search();
}

void TextSearch::findNext() {
  if (text.isEmpty()) return find();
  search();
}

void TextSearch::search() {
  const int p = FindFrom(editor_->toPlainText(), text, editor_->selStart());
  if (p < 0) {
    WarnBox("文字列が見つかりません。");
    return;
  }
  editor_->setSelection(p, static_cast<int>(text.size()));
}
