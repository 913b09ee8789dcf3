// SPDX-License-Identifier: MIT
#include "frm_chk_unit.h"

#include <QAction>
#include <QKeyEvent>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>

#include <exception>

#include "app_paths.h"
#include "editor_fonts.h"
#include "ext_memo.h"
#include "frm_msg_unit.h"
#include "player/player.h"
#include "text_boxes.h"
#include "zan/cp932.h"
#include "zan/translate.h"
#include "zan/tsmf.h"
#include "zanpad_unit.h"

// On every track: time pointer 0, volume 100, expression 127, bend centred;
// then the fragment runs on track 127.
const char* const kCheckPrefix = "_tr(0-127)PTR=0V=100E=127B=64_tr(127)|";
// Every track to the latest time, back to track 0, and the prints: the time
// pointer, the timebase, and quarter notes plus remaining ticks (a sentence
// of the user's language).
const char* const kCheckSuffix =
    "|LAST_PTR|_tr(0)|~1=ptr _print(TimePointer=,~1)"
    "~2=bas ~3=~1/~2 ~5=~3*~2 ~4=~1-~5 _print(#timebase=,~2)";
const char* const kCheckSentence = "_print(４分音符[,~3,]個分+あまり[,~4,]ステップです。)";

TfrmChecker::TfrmChecker(TfrmMain* main, QWidget* parent) : QMainWindow(parent), main_(main) {
  setObjectName("frmChecker");
  setWindowTitle(UiText("MML Checker"));
  resize(337, 177);

  re1 = new QPlainTextEdit(this);
  giveGlyphsRoom(re1);
  re1->setObjectName("re1");
  re1->setLineWrapMode(QPlainTextEdit::NoWrap);
  re1->setTabChangesFocus(true);
  // The fragment takes no tab even when it is the window's only field, where
  // the editor would type one after finding nowhere else to go.
  re1->installEventFilter(this);
  re1->setFont(editorFont(12));
  keepSelectionVisible(re1);
  setCentralWidget(re1);

  QMenu* check = menuBar()->addMenu(UiText("&Check"));
  QAction* a = check->addAction(UiText("&Check"), this, &TfrmChecker::Check2Click);
  a->setShortcut(QKeySequence(Qt::Key_F11));
  a = check->addAction(UiText("&Play"), this, &TfrmChecker::Play1Click);
  a->setShortcut(QKeySequence(Qt::Key_F9));
  check->addSeparator();
  check->addAction(UiText("&Clear"), this, &TfrmChecker::Clear1Click);

  re1->setContextMenuPolicy(Qt::CustomContextMenu);
  auto* popup = new QMenu(this);
  auto add = [&](const QString& caption, const QKeySequence& key, auto slot) {
    QAction* item = popup->addAction(caption);
    item->setShortcut(key);
    item->setShortcutContext(Qt::WidgetShortcut);
    connect(item, &QAction::triggered, re1, slot);
  };
  add(UiText("&Undo"), QKeySequence(Qt::CTRL | Qt::Key_Z), &QPlainTextEdit::undo);
  popup->addSeparator();
  add(UiText("Cu&t"), QKeySequence(Qt::CTRL | Qt::Key_X), &QPlainTextEdit::cut);
  add(UiText("&Copy"), QKeySequence(Qt::CTRL | Qt::Key_C), &QPlainTextEdit::copy);
  add(UiText("&Paste"), QKeySequence(Qt::CTRL | Qt::Key_V), &QPlainTextEdit::paste);
  connect(re1, &QWidget::customContextMenuRequested, this,
          [this, popup](const QPoint& at) { popup->popup(re1->viewport()->mapToGlobal(at)); });
}

bool TfrmChecker::eventFilter(QObject* watched, QEvent* event) {
  if (watched == re1 && event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    bool plain = !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
    if (plain && (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab)) {
      focusNextPrevChild(key->key() == Qt::Key_Tab && !(key->modifiers() & Qt::ShiftModifier));
      return true;
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

void TfrmChecker::Check2Click() { check(); }

bool TfrmChecker::check() {
  zan::TSmf& compiler = *main_->compiler;
  TfrmMsg* msg = main_->frmMsg;
  QString fragment = re1->toPlainText();
  fragment.replace('\n', "\r\n");
  QString wrapped = kCheckPrefix + fragment + kCheckSuffix + QString::fromUtf8(zan::tr(kCheckSentence));

  try {
    // The document first, skipped: only definitions, directives, comments
    // and underscore commands act. Its messages are discarded.
    compiler.Reset();
    main_->forgetCompiledText();
    main_->loadCompilerLines();
    compiler.sourceLines.insert(0, "_skipon", zan::LineOrigin{-1, 0});
    msg->suspendUpdates(true);
    compiler.Compile(midPath().toStdString());
    QApplication::processEvents();
    msg->ClearMessages();

    // Then the fragment, with what the document defined.
    compiler.ResetForCheck();
    compiler.sourceLines.setText(zan::toCp932(wrapped.toStdString()));
    compiler.sourceLines.insert(0, "_skipoff", zan::LineOrigin{-1, 0});
    compiler.Compile(midPath().toStdString());
  } catch (const std::exception& e) {
    msg->suspendUpdates(false);
    ErrorBox(QString::fromLocal8Bit(e.what()));
    return false;
  }
  msg->suspendUpdates(false);
  main_->MessageView2Click();
  return true;
}

void TfrmChecker::Play1Click() {
  // The slider, the replay point and the status bar are Run's; the main
  // window's timer follows this playback as it follows Run's.
  if (!check()) return;
  try {
    main_->mp->close();
    main_->openPlayer();
    main_->mp->play();
  } catch (const std::exception& e) {
    ErrorBox(QString::fromLocal8Bit(e.what()));
  }
}

void TfrmChecker::Clear1Click() { re1->clear(); }
