// SPDX-License-Identifier: MIT
// The comment list window: its menu, filter box, list and jumps into the
// main editor. What the list holds after each command is decided by the
// widget-free functions of editor_text.h; this file applies it to the list.
#include "comment_list.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QShowEvent>
#include <QStyledItemDelegate>
#include <QToolTip>
#include <QVBoxLayout>

#include <algorithm>
#include <iterator>
#include <vector>

#include "editor_fonts.h"
#include "editor_text.h"
#include "ext_memo.h"
#include "text_boxes.h"

namespace {

constexpr int kDesignWidth = 304;   // window, pixels
constexpr int kDesignHeight = 225;  // window, pixels
constexpr int kPanelHeight = 28;    // the strip holding the filter box, pixels
constexpr int kFilterWidth = 121;   // the filter box, pixels
constexpr int kFontPixels = 16;     // character height of the entries
constexpr int kItemHeight = 16;     // one entry's row, pixels

// Rows of one fixed height; a comment that spans lines shows on one row,
// its line breaks as spaces (the entry itself keeps them).
class EntryDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QStyleOptionViewItem one = option;
    initStyleOption(&one, index);
    const QStyle* style = one.widget ? one.widget->style() : QApplication::style();
    return {style->sizeFromContents(QStyle::CT_ItemViewItem, &one, QSize(), one.widget).width(), kItemHeight};
  }

 protected:
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
    QStyledItemDelegate::initStyleOption(option, index);
    // The base delegate has already turned each '\n' into a line separator.
    option->text.replace(QChar::LineSeparator, QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
  }

 public:
  // A comment longer than the window shows whole, line breaks and all, in
  // its tool tip.
  bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                 const QModelIndex& index) override {
    if (event->type() != QEvent::ToolTip || !index.isValid()) return QStyledItemDelegate::helpEvent(event, view, option, index);
    QToolTip::showText(event->globalPos(), index.data().toString(), view);
    return true;
  }
};

// The keys that move the focus to the filter box and type a character there:
// the character is the one whose code is the key's virtual-key code, so a
// letter key types its capital and a digit key its digit, and the other
// keys in the range type what their code stands for (Insert "-", F1 "p").
// The keys every list answers are missing, so the list keeps them: PageUp,
// PageDown, End, Home, Left, Up, Right, Down and Delete (33-40, 46).
struct VirtualKey {
  int key;  // Qt::Key
  int vk;   // virtual-key code, 33..125
};
constexpr VirtualKey kVirtualKeys[] = {
    {Qt::Key_Select, 41},  {Qt::Key_Printer, 42}, {Qt::Key_Execute, 43}, {Qt::Key_Print, 44},
    {Qt::Key_Insert, 45},  {Qt::Key_Help, 47},    {Qt::Key_Super_L, 91}, {Qt::Key_Super_R, 92},
    {Qt::Key_Menu, 93},    {Qt::Key_Sleep, 95},
};
// The same, for keys of the numeric keypad.
constexpr VirtualKey kKeypadKeys[] = {
    {Qt::Key_Asterisk, 106}, {Qt::Key_Plus, 107},  {Qt::Key_Minus, 109},
    {Qt::Key_Period, 110},   {Qt::Key_Slash, 111},
};
constexpr int kFirstTypingCode = 33;
constexpr int kLastTypingCode = 125;

// The virtual-key code of a key event, 0 when the key has none in range.
int virtualKeyCode(const QKeyEvent* event) {
  const int key = event->key();
  const bool keypad = event->modifiers() & Qt::KeypadModifier;
  if (keypad && key >= Qt::Key_0 && key <= Qt::Key_9) return 96 + (key - Qt::Key_0);
  if (keypad)
    for (const VirtualKey& k : kKeypadKeys)
      if (k.key == key) return k.vk;
  if (key >= Qt::Key_0 && key <= Qt::Key_9) return '0' + (key - Qt::Key_0);
  if (key >= Qt::Key_A && key <= Qt::Key_Z) return 'A' + (key - Qt::Key_A);
  if (key >= Qt::Key_F1 && key <= Qt::Key_F14) return 112 + (key - Qt::Key_F1);
  for (const VirtualKey& k : kVirtualKeys)
    if (k.key == key) return k.vk;
  return 0;
}

bool isEnter(int key) { return key == Qt::Key_Return || key == Qt::Key_Enter; }

}  // namespace

TfrmList::TfrmList(TExtMemo* reMain, QWidget* parent) : QMainWindow(parent), reMain_(reMain) {
  setObjectName(QStringLiteral("frmList"));
  setWindowTitle(UiText("Comment List"));
  resize(kDesignWidth, kDesignHeight);

  Clear2 = new QAction(UiText("&Clear"), this);
  Update1 = new QAction(UiText("&Update"), this);
  Name1 = new QAction(UiText("&Name"), this);
  Place1 = new QAction(UiText("&Place"), this);
  menuBar()->addMenu(UiText("&Clear"))->addAction(Clear2);
  menuBar()->addAction(Update1);
  QMenu* sort = menuBar()->addMenu(UiText("&Sort"));
  sort->addAction(Name1);
  sort->addAction(Place1);
  connect(Clear2, &QAction::triggered, this, &TfrmList::Clear2Click);
  connect(Update1, &QAction::triggered, this, &TfrmList::Update1Click);
  connect(Name1, &QAction::triggered, this, &TfrmList::Name1Click);
  connect(Place1, &QAction::triggered, this, &TfrmList::Place1Click);

  auto* central = new QWidget(this);
  auto* column = new QVBoxLayout(central);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  auto* panel = new QWidget(central);
  panel->setFixedHeight(kPanelHeight);
  auto* row = new QHBoxLayout(panel);
  row->setContentsMargins(4, 2, 4, 2);
  Edit1 = new QLineEdit(panel);
  Edit1->setFixedWidth(kFilterWidth);
  Edit1->setPlaceholderText(UiText("first letters"));
  Edit1->setToolTip(UiText("Selects the first comment that begins with these letters; Enter jumps to it"));
  auto* label = new QLabel(UiText("&Find:"), panel);
  label->setBuddy(Edit1);
  row->addWidget(label);
  row->addWidget(Edit1);
  row->addStretch();
  ListBox1 = new QListWidget(central);
  ListBox1->setFont(editorFont(kFontPixels));
  ListBox1->setItemDelegate(new EntryDelegate(ListBox1));
  ListBox1->setSelectionMode(QAbstractItemView::SingleSelection);
  column->addWidget(panel);
  column->addWidget(ListBox1);
  setCentralWidget(central);

  connect(Edit1, &QLineEdit::textChanged, this, &TfrmList::Edit1Change);
  connect(ListBox1, &QListWidget::itemDoubleClicked, this, &TfrmList::ListBox1DblClick);
  ListBox1->installEventFilter(this);
  Edit1->installEventFilter(this);
}

QStringList TfrmList::entries() const {
  QStringList list;
  for (int i = 0; i < ListBox1->count(); ++i) list.append(ListBox1->item(i)->text());
  return list;
}

int TfrmList::selectedRow() const {
  const int row = ListBox1->currentRow();
  return row >= 0 && ListBox1->item(row)->isSelected() ? row : -1;
}

// Applied in place rather than by refilling, so that the selected entry
// stays selected when it survives.
void TfrmList::Update1Click() {
  const QString text = reMain_->toPlainText();
  const CollectedComments found = CollectComments(text);
  ListBox1->addItems(CommentsToAppend(entries(), found.comments));
  if (found.stoppedEarly) return;
  for (int i = ListBox1->count() - 1; i >= 0; --i)
    if (CommentIsStale(ListBox1->item(i)->text(), text)) delete ListBox1->takeItem(i);
}

void TfrmList::Place1Click() {
  ListBox1->clear();
  ListBox1->addItems(PlacedEntries(CollectComments(reMain_->toPlainText())));
}

void TfrmList::Name1Click() {
  Update1Click();
  QListWidgetItem* selected = selectedRow() >= 0 ? ListBox1->item(selectedRow()) : nullptr;
  std::vector<QListWidgetItem*> items;
  while (ListBox1->count() > 0) items.push_back(ListBox1->takeItem(0));
  std::stable_sort(items.begin(), items.end(),
                   [](const QListWidgetItem* a, const QListWidgetItem* b) { return NameLess(a->text(), b->text()); });
  for (QListWidgetItem* item : items) ListBox1->addItem(item);
  if (selected) ListBox1->setCurrentItem(selected);
}

void TfrmList::Clear2Click() { ListBox1->clear(); }

void TfrmList::ListBox1DblClick() { jump(); }

void TfrmList::Edit1Change() {
  ListBox1->clearSelection();
  ListBox1->setCurrentRow(-1);
  const int row = FilterMatch(entries(), Edit1->text());
  if (row >= 0) ListBox1->setCurrentRow(row);
}

// The list survives hiding; it is filled on first showing only.
void TfrmList::FormShow() {
  if (ListBox1->count() == 0) Update1Click();
  Edit1->setFocus();
}

// The text may have changed while the window was inactive, so every
// activation updates. The filter box keeps what it holds: it is not refilled
// from the list, which would only re-run the filter and undo the selection.
void TfrmList::FormActivate() {
  if (ListBox1->count() > 0) ListBox1->setCurrentRow(0);
  Update1Click();
  Edit1->setFocus();
}

void TfrmList::jump() {
  const int row = selectedRow();
  if (row < 0) return;
  const QString entry = ListBox1->item(row)->text();
  const qsizetype p = reMain_->toPlainText().indexOf(entry);
  if (p < 0) {
    WarnBox(UiText("選択されたコメントが見つかりません。"));
    delete ListBox1->takeItem(row);
    ListBox1->clearSelection();
    ListBox1->setCurrentRow(-1);
    return;
  }
  ListBox1->insertItem(0, ListBox1->takeItem(row));
  ListBox1->setCurrentRow(0);
  reMain_->setSelection(static_cast<int>(p), static_cast<int>(entry.size()));
  reMain_->window()->activateWindow();
  reMain_->setFocus();
}

bool TfrmList::ListBox1KeyDown(QKeyEvent* event) {
  const int key = event->key();
  const int last = ListBox1->count() - 1;
  if (isEnter(key)) {
    jump();
    return true;
  }
  if (key == Qt::Key_Tab || key == Qt::Key_Backtab || key == Qt::Key_Escape) {
    reMain_->window()->activateWindow();
    reMain_->setFocus();
    return true;
  }
  if (key == Qt::Key_Up || key == Qt::Key_Down) {
    const int row = ListBox1->currentRow();
    if (last < 0 || row < 0) return false;
    if (key == Qt::Key_Up && row == 0) {
      ListBox1->setCurrentRow(last);
      return true;
    }
    if (key == Qt::Key_Down && row == last) {
      ListBox1->setCurrentRow(0);
      return true;
    }
    return false;
  }
  const int vk = virtualKeyCode(event);
  if (vk < kFirstTypingCode || vk > kLastTypingCode) return false;
  const QString typed(QChar(static_cast<char16_t>(vk)));
  Edit1->setFocus();
  if (Edit1->text() == typed)
    Edit1Change();  // the same text sends no change, yet the filter must run
  else
    Edit1->setText(typed);
  Edit1->end(false);
  return true;
}

bool TfrmList::Edit1KeyDown(QKeyEvent* event) {
  if (!isEnter(event->key())) return false;
  Edit1Change();
  jump();
  return true;
}

bool TfrmList::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (watched == ListBox1) return ListBox1KeyDown(key);
    if (watched == Edit1) return Edit1KeyDown(key);
  }
  return QMainWindow::eventFilter(watched, event);
}

bool TfrmList::event(QEvent* event) {
  if (event->type() == QEvent::WindowActivate) FormActivate();
  return QMainWindow::event(event);
}

void TfrmList::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (!event->spontaneous()) FormShow();
}
