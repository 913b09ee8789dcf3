// SPDX-License-Identifier: MIT
#include "frm_msg_unit.h"

#include <QAbstractTextDocumentLayout>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QStatusBar>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QTextBlock>

#include <cmath>

#include "editor_fonts.h"
#include "ext_memo.h"
#include "text_boxes.h"
#include "window_place.h"

TMessagePane::TMessagePane(QWidget* parent) : QPlainTextEdit(parent) {
  giveGlyphsRoom(this);
  setReadOnly(true);
  setLineWrapMode(QPlainTextEdit::NoWrap);
  setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  setFont(editorFont(12));
  keepSelectionVisible(this);
}

void TMessagePane::mousePressEvent(QMouseEvent* event) {
  QPlainTextEdit::mousePressEvent(event);
  if (everyButtonPlacesCaret && event->button() != Qt::LeftButton)
    setTextCursor(cursorForPosition(event->position().toPoint()));
  emit caretMaybeMoved();
  emit clicked();
}

void TMessagePane::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Tab || event->key() == Qt::Key_Escape || event->key() == Qt::Key_Backtab) {
    event->accept();
    emit caretMaybeMoved();
    emit leaveRequested();
    return;
  }
  QPlainTextEdit::keyPressEvent(event);
  emit caretMaybeMoved();
}

void TMessagePane::keyReleaseEvent(QKeyEvent* event) {
  QPlainTextEdit::keyReleaseEvent(event);
  emit caretMaybeMoved();
}

// Tab must reach keyPressEvent instead of moving the focus.
bool TMessagePane::focusNextPrevChild(bool) { return false; }

int LineNumberOf(const QString& messageLine) {
  int open = messageLine.indexOf(u'(');
  if (open < 0) return -1;
  int close = messageLine.indexOf(u')');
  if (close <= open) return -1;
  QString inner = messageLine.mid(open + 1, close - open - 1);
  bool ok = false;
  int n = inner.toInt(&ok, 10);
  // Only plain decimal digits name a line ("F1" or an empty pair does not).
  if (!ok || n < 0 || inner.isEmpty() || !inner.at(0).isDigit()) return -1;
  return n;
}

QString QuotedDetailOf(const QString& messageLine) {
  const qsizetype q1 = messageLine.indexOf(u'"');
  const qsizetype q2 = q1 < 0 ? -1 : messageLine.indexOf(u'"', q1 + 1);
  return q2 < 0 ? QString() : messageLine.mid(q1 + 1, q2 - q1 - 1);
}

TfrmMsg::TfrmMsg(MsgHost host, QWidget* parent) : QMainWindow(parent), host_(std::move(host)) {
  setObjectName("frmMsg");
  setWindowTitle(UiText("Message View"));
  resize(384, 229);

  PageControl1 = new QTabWidget(this);
  RichEdit1 = new TMessagePane(PageControl1);
  RichEdit1->setObjectName("RichEdit1");
  RichEdit1->everyButtonPlacesCaret = true;
  reDebug = new TMessagePane(PageControl1);
  reDebug->setObjectName("reDebug");
  PageControl1->addTab(RichEdit1, UiText("&Message"));
  PageControl1->addTab(reDebug, UiText("&Debug"));
  PageControl1->setTabVisible(1, false);
  setCentralWidget(PageControl1);

  QMenu* debugMenu = menuBar()->addMenu(UiText("&Debug"));
  debugAction_ = debugMenu->addAction(UiText("&Debug"));
  debugAction_->setCheckable(true);
  debugAction_->setShortcut(QKeySequence(Qt::Key_F10));
  connect(debugAction_, &QAction::triggered, this, [this] {
    // The check mark follows the page, not the click.
    debugAction_->setChecked(debugPageVisible());
    Debug2Click();
  });

  caretPanel_ = new QLabel(this);
  caretPanel_->setFixedWidth(50);
  statusBar()->addWidget(caretPanel_);

  // The Debug view's own menu.
  reDebug->setContextMenuPolicy(Qt::CustomContextMenu);
  auto* debugPopup = new QMenu(this);
  auto addDebugItem = [&](const QString& caption, const QKeySequence& key, void (TfrmMsg::*slot)()) {
    QAction* a = debugPopup->addAction(caption);
    a->setShortcut(key);
    a->setShortcutContext(Qt::WidgetShortcut);
    reDebug->addAction(a);
    connect(a, &QAction::triggered, this, slot);
  };
  addDebugItem(UiText("&Copy"), QKeySequence(Qt::CTRL | Qt::Key_C), &TfrmMsg::Copy1Click);
  addDebugItem(UiText("&Find"), QKeySequence(Qt::CTRL | Qt::Key_F), &TfrmMsg::Find1Click);
  addDebugItem(UiText("Find &Next"), QKeySequence(Qt::Key_F3), &TfrmMsg::FindNext1Click);
  debugPopup->addSeparator();
  addDebugItem(UiText("&Find in Sorce &Text "), QKeySequence(Qt::CTRL | Qt::Key_T), &TfrmMsg::FindinSorce1Click);
  connect(reDebug, &QWidget::customContextMenuRequested, this,
          [this, debugPopup](const QPoint& at) { debugPopup->popup(reDebug->viewport()->mapToGlobal(at)); });

  RichEdit1->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(RichEdit1, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    if (messagePopup_) messagePopup_->popup(RichEdit1->viewport()->mapToGlobal(at));
  });

  growToShowLines(kLinesShown);

  connect(RichEdit1, &TMessagePane::clicked, this, &TfrmMsg::RichEdit1MouseDown);
  connect(RichEdit1, &TMessagePane::leaveRequested, this, &TfrmMsg::backToEditor);
  connect(reDebug, &TMessagePane::leaveRequested, this, &TfrmMsg::backToEditor);
  connect(reDebug, &TMessagePane::caretMaybeMoved, this, &TfrmMsg::showDebugCaret);
}

void TfrmMsg::setMessagePopup(QMenu* menu) { messagePopup_ = menu; }

void TfrmMsg::growToShowLines(int lines) {
  // Lay the hidden window out at its present size to learn what the menu
  // and status bar leave of it; the tabs and frames inside the page control
  // are not laid out until it shows, so they come from their size hints.
  ensurePolished();
  layout()->activate();
  QTextDocument* doc = RichEdit1->document();
  const qreal margin = doc->documentMargin();
  // The only block is also the last, which carries the bottom margin.
  const qreal line = doc->documentLayout()->blockBoundingRect(doc->begin()).height() - margin;
  const int wanted = int(std::ceil(lines * line + 2 * margin));
  const int inside = PageControl1->height() - PageControl1->tabBar()->sizeHint().height() -
                     2 * style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, PageControl1) -
                     2 * RichEdit1->frameWidth();
  if (wanted > inside) resize(width(), height() + wanted - inside);
}

void TfrmMsg::AddMessage(const QString& line) { RichEdit1->appendPlainText(line); }

void TfrmMsg::ClearMessages() { RichEdit1->clear(); }

QString TfrmMsg::messageText() const { return RichEdit1->toPlainText(); }

int TfrmMsg::messageLineCount() const {
  const QTextDocument* doc = RichEdit1->document();
  return doc->isEmpty() ? 0 : doc->blockCount();
}

QString TfrmMsg::messageLine(int i) const { return RichEdit1->document()->findBlockByNumber(i).text(); }

QStringList TfrmMsg::messageLines() const {
  QStringList lines;
  for (int i = 0, n = messageLineCount(); i < n; ++i) lines << messageLine(i);
  return lines;
}

void TfrmMsg::suspendUpdates(bool suspended) { RichEdit1->setUpdatesEnabled(!suspended); }

void TfrmMsg::showMessagePage() {
  if (host_.editor) placeBesideOnce(this, host_.editor->window(), {Beside::Right, Beside::Left, Beside::Below, Beside::Above});
  show();
  PageControl1->setCurrentIndex(0);
  raise();
  activateWindow();
  RichEdit1->setFocus();
}

void TfrmMsg::focusMessageList() { showMessagePage(); }

void TfrmMsg::hideDebugPage() {
  PageControl1->setTabVisible(1, false);
  debugAction_->setChecked(false);
  reDebug->setVisible(false);
}

bool TfrmMsg::debugPageVisible() const { return PageControl1->isTabVisible(1); }

void TfrmMsg::backToEditor() {
  if (!host_.editor) return;
  host_.editor->window()->activateWindow();
  host_.editor->setFocus();
}

void TfrmMsg::RichEdit1MouseDown() {
  int i = RichEdit1->textCursor().blockNumber();
  QString line = RichEdit1->document()->findBlockByNumber(i).text();
  int n = LineNumberOf(line);
  if (n < 0 || !host_.editor) return;
  host_.editor->window()->activateWindow();
  host_.editor->setFocus();
  host_.editor->setCaret(host_.editor->lineStart(n));
  // The text the error is about, where the line holds it, is selected too,
  // so the user sees which character is meant.
  const QString detail = QuotedDetailOf(line);
  const qsizetype at = detail.isEmpty() ? -1 : host_.editor->line(n).indexOf(detail);
  if (at >= 0) host_.editor->setSelection(host_.editor->lineStart(n) + static_cast<int>(at), static_cast<int>(detail.size()));
  if (host_.setStatus) host_.setStatus(line + UiText(" ... click me!"));
}

void TfrmMsg::Debug2Click() {
  bool visible = !debugPageVisible();
  PageControl1->setTabVisible(1, visible);
  debugAction_->setChecked(visible);
  reDebug->setVisible(visible);
  if (!visible) return;
  PageControl1->setCurrentIndex(1);

  reDebug->setUpdatesEnabled(false);
  QStringList compiled = host_.compiledLines ? host_.compiledLines() : QStringList();
  QStringList numbered;
  numbered.reserve(compiled.size());
  for (int i = 0; i < compiled.size(); ++i)
    numbered << QString::asprintf("%4d:", i) + compiled[i];
  reDebug->setPlainText(numbered.join(u'\n'));
  reDebug->setUpdatesEnabled(true);

  QString messages = messageText();
  int errAt = messages.indexOf("err");
  if (errAt < 0) return;
  QApplication::processEvents();
  int m = RichEdit1->document()->findBlock(errAt).blockNumber();
  QString line = RichEdit1->document()->findBlockByNumber(m).text();
  int n = LineNumberOf(line);
  if (n >= 0) {
    QTextBlock target = reDebug->document()->findBlockByNumber(n);
    QTextCursor c = reDebug->textCursor();
    c.setPosition(target.isValid() ? target.position() : reDebug->document()->characterCount() - 1);
    reDebug->setTextCursor(c);
  }
  activateWindow();
  reDebug->setFocus();
  msgFindText = QuotedDetailOf(line);
  FindNext1Click();
}

void TfrmMsg::Copy1Click() { reDebug->copy(); }

void TfrmMsg::Find1Click() {
  msgFindText = InputBox(UiText("検索文字列を入力してください。"), UiText("検索"), msgFindText);
  if (!msgFindText.isEmpty()) FindNext1Click();
}

void TfrmMsg::FindNext1Click() {
  if (msgFindText.isEmpty()) return Find1Click();
  QString text = reDebug->toPlainText();
  if (!text.contains(msgFindText)) {
    WarnBox(UiText("検索文字列\"") + msgFindText + UiText("\"はありません。"));
    return;
  }
  // The search starts one character after the caret (the selection's start),
  // so repeated presses move on from match to match, and wraps to the top.
  int caret = reDebug->textCursor().selectionStart();
  int p = text.indexOf(msgFindText, caret + 1);
  if (p < 0) p = text.indexOf(msgFindText);
  PageControl1->setCurrentIndex(1);
  reDebug->setFocus();
  QTextCursor c = reDebug->textCursor();
  c.setPosition(p);
  c.setPosition(p + static_cast<int>(msgFindText.size()), QTextCursor::KeepAnchor);
  reDebug->setTextCursor(c);
  showDebugCaret();
}

void TfrmMsg::FindinSorce1Click() {
  QString selected = reDebug->textCursor().selectedText().replace(QChar::ParagraphSeparator, u'\n');
  if (selected.isEmpty()) {
    WarnBox(UiText("キーワード部分を選択して（反転させて）ください。"));
    return;
  }
  if (host_.findInSource) host_.findInSource(selected);
}

void TfrmMsg::showDebugCaret() {
  QTextCursor c = reDebug->textCursor();
  caretPanel_->setText(QString::asprintf("%3d:%3d", c.positionInBlock() - 5, c.blockNumber()));
}
