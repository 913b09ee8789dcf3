// SPDX-License-Identifier: MIT
// The main window's commands as one table (menu, caption, key, handler),
// the menus made from it, and the editor's context menu.
#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include "bookmarks.h"
#include "ext_memo.h"
#include "language_setting.h"
#include "playback_highlighter.h"
#include "recent_files.h"
#include "text_boxes.h"
#include "text_search.h"
#include "tracks_panel.h"
#include "zan/translate.h"
#include "zanpad_unit.h"

namespace {

// One row per command: its menu, caption, key and handler. A caption "-"
// is a separator line.
struct Command {
  const char* menu;
  const char* caption;
  QKeySequence key;
  const char* handler;
  void (TfrmMain::*slot)();
  bool checkable;
};

using zan::N_;

}  // namespace

QAction* TfrmMain::action(const QString& handlerName) const { return actions_.value(handlerName); }

void TfrmMain::createActions() {
  static const Command commands[] = {
      {N_("&File"), N_("&New"), QKeySequence(Qt::CTRL | Qt::Key_N), "New1Click", &TfrmMain::New1Click, false},
      {N_("&File"), "-", {}, nullptr, nullptr, false},
      {N_("&File"), N_("&Open"), QKeySequence(Qt::CTRL | Qt::Key_O), "Open1Click", &TfrmMain::Open1Click, false},
      {N_("&File"), N_("&Import MIDI..."), {}, "ImportMIDI1Click", &TfrmMain::ImportMIDI1Click, false},
      {N_("&File"), N_("&Save"), QKeySequence(Qt::CTRL | Qt::Key_S), "Save1Click", nullptr, false},
      {N_("&File"), N_("Save &As"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S), "SaveAs1Click", nullptr, false},
      {N_("&File"), "-", {}, nullptr, nullptr, false},
      {N_("&File"), N_("Auto Sa&ve"), {}, "AutoSaVe1Click", &TfrmMain::AutoSaVe1Click, true},
      {N_("&File"), "-", {}, nullptr, nullptr, false},
      {N_("&File"), N_("&Export ->SMF"), {}, "ExportSMF1Click", &TfrmMain::ExportSMF1Click, false},
      {N_("&File"), "-", {}, nullptr, nullptr, false},
      {N_("&File"), N_("&Close"), {}, "Close1Click", &TfrmMain::Close1Click, false},
      {N_("&Edit"), N_("&Undo"), QKeySequence(Qt::CTRL | Qt::Key_Z), "Undo1Click", &TfrmMain::Undo1Click, false},
      {N_("&Edit"), N_("&Redo"), QKeySequence(Qt::CTRL | Qt::Key_Y), "Redo1Click", &TfrmMain::Redo1Click, false},
      {N_("&Edit"), "-", {}, nullptr, nullptr, false},
      {N_("&Edit"), N_("&Cut"), QKeySequence(Qt::CTRL | Qt::Key_X), "Cut1Click", &TfrmMain::Cut1Click, false},
      {N_("&Edit"), N_("&Copy"), QKeySequence(Qt::CTRL | Qt::Key_C), "Copy1Click", &TfrmMain::Copy1Click, false},
      {N_("&Edit"), N_("&Paste"), QKeySequence(Qt::CTRL | Qt::Key_V), "Paste1Click", &TfrmMain::Paste1Click, false},
      {N_("&Edit"), "-", {}, nullptr, nullptr, false},
      {N_("&Edit"), N_("Select &All"), QKeySequence(Qt::CTRL | Qt::Key_A), "SelectAll1Click", &TfrmMain::SelectAll1Click, false},
      {N_("&Edit"), "-", {}, nullptr, nullptr, false},
      {N_("&Edit"), N_("Insert &Line"), QKeySequence(Qt::CTRL | Qt::Key_L), "InsertLineClick", &TfrmMain::InsertLineClick, false},
      {N_("&Find"), "-", {}, nullptr, nullptr, false},  // after Find and Find Next, which TextSearch owns
      {N_("&Find"), N_("Find &Macro"), QKeySequence(Qt::CTRL | Qt::Key_M), "FindMacro1Click", &TfrmMain::FindMacro1Click, false},
      {N_("&Find"), N_("C&Heck Macro"), QKeySequence(Qt::CTRL | Qt::Key_H), "CHeckMacro1Click", &TfrmMain::CHeckMacro1Click, false},
      {N_("&View"), N_("&Tool Bar"), {}, "ToolBar2Click", &TfrmMain::ToolBar2Click, true},
      {N_("&View"), N_("&Status Bar"), {}, "StatusBar1Click", &TfrmMain::StatusBar1Click, true},
      {N_("&View"), N_("&Message View"), {}, "MessageView1Click", &TfrmMain::MessageView1Click, true},
      {N_("&View"), N_("&Error Beep"), {}, "ErrorBeep1Click", &TfrmMain::ErrorBeep1Click, true},
      {N_("&Run"), N_("&Run (Compile+Play)"), QKeySequence(Qt::Key_F9), "RunCompilePlay1Click", &TfrmMain::RunCompilePlay1Click, false},
      {N_("&Run"), N_("Stop && Re&Play"), QKeySequence(Qt::CTRL | Qt::Key_P), "RePlay1Click", &TfrmMain::RePlay1Click, false},
      {N_("&Run"), N_("P&ause"), QKeySequence(Qt::CTRL | Qt::Key_Space), "Pause1Click", &TfrmMain::Pause1Click, false},
      {N_("&Run"), N_("S&top"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Space), "Stop1Click", &TfrmMain::Stop1Click, false},
      {N_("&Run"), "-", {}, nullptr, nullptr, false},
      {N_("&Run"), N_("Re&set Player"), QKeySequence(Qt::CTRL | Qt::Key_R), "ResetPlayer1Click", &TfrmMain::ResetPlayer1Click, false},
      {N_("&Run"), "-", {}, nullptr, nullptr, false},
      {N_("&Run"), N_("Play From &Caret"), QKeySequence(Qt::SHIFT | Qt::Key_F9), "PlayFromCaret1Click", &TfrmMain::PlayFromCaret1Click, false},
      {N_("&Run"), N_("&Loop Selection"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_L), "LoopSelection1Click", &TfrmMain::LoopSelection1Click, true},
      {N_("&Tool"), N_("&Comment List"), QKeySequence(Qt::Key_F4), "CommentList1Click", &TfrmMain::CommentList1Click, false},
      {N_("&Tool"), N_("&MessageView"), QKeySequence(Qt::Key_F10), "MessageView2Click", &TfrmMain::MessageView2Click, false},
      {N_("&Tool"), N_("MML C&hecker"), QKeySequence(Qt::Key_F11), "MMLChecker1Click", &TfrmMain::MMLChecker1Click, false},
      {N_("&Tool"), "-", {}, nullptr, nullptr, false},
      {N_("&Tool"), N_("MIDI &DEVICE"), QKeySequence(Qt::Key_F12), "MIDIDEVICE1Click", &TfrmMain::MIDIDEVICE1Click, false},
      {N_("&Tool"), "-", {}, nullptr, nullptr, false},
      {N_("&Tool"), N_("Editer &Font"), {}, "Font1Click", &TfrmMain::Font1Click, false},
      {N_("&Tool"), N_("Editer Co&lor"), {}, "Color1Click", &TfrmMain::Color1Click, false},
      {N_("&Tool"), N_("M&etre..."), {}, "Metre1Click", &TfrmMain::Metre1Click, false},
      {N_("Editer Mark"), N_("&Edit Mark"), {}, "EditMark1Click", &TfrmMain::EditMark1Click, true},
      {N_("Editer Mark"), N_("Edit Mark C&olor"), {}, "ColorEditMark1Click", &TfrmMain::ColorEditMark1Click, false},
      {N_("&Help"), N_("&Help"), QKeySequence(Qt::Key_F1), "Help2Click", &TfrmMain::Help2Click, false},
      {N_("&Help"), N_("&About zanpad"), {}, "About1Click", &TfrmMain::About1Click, false},
  };
  QHash<QString, QMenu*> menus;
  for (const Command& c : commands) {
    QMenu*& menu = menus[c.menu];
    if (!menu) {
      if (QString(c.menu) == "Editer Mark") {
        menu = menus["&Tool"]->addMenu(UiText("Editer Mark"));
      } else {
        menu = menuBar()->addMenu(UiText(c.menu));
      }
    }
    if (QString(c.caption) == "-") {
      menu->addSeparator();
      continue;
    }
    auto* a = new QAction(UiText(c.caption), this);
    a->setObjectName(c.handler);
    a->setShortcut(c.key);
    // The window's own keys work from any of its widgets.
    a->setShortcutContext(Qt::WindowShortcut);
    a->setCheckable(c.checkable);
    if (c.slot) connect(a, &QAction::triggered, this, c.slot);
    menu->addAction(a);
    addAction(a);
    actions_.insert(c.handler, a);
  }
  actions_["Redo1Click"]->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
  // The recent files, right after Open.
  viewMenu_ = menus["&View"];
  runMenu_ = menus["&Run"];
  // Find and Find Next come first in their menu.
  QMenu* find = menus["&Find"];
  const QList<QAction*> first = find->actions();
  for (QAction* a : {search_->findAction(), search_->findNextAction(), search_->replaceAction(),
                     search_->goToLineAction()}) {
    find->insertAction(first.isEmpty() ? nullptr : first.front(), a);
    addAction(a);
    actions_.insert(a->objectName(), a);
  }
  QMenu* recent = new QMenu(UiText("Open &Recent"), this);
  menus["&File"]->insertMenu(actions_["Save1Click"], recent);
  recentFiles = new TRecentFiles(recent, this);
  connect(recentFiles, &TRecentFiles::chosen, this, [this](const QString& path) { openFile(path); });
  connect(actions_["Save1Click"], &QAction::triggered, this, [this] { Save1Click(); });
  connect(actions_["SaveAs1Click"], &QAction::triggered, this, [this] { SaveAs1Click(); });
  // F1 reaches Help from every window; Help itself tells them apart.
  actions_["Help2Click"]->setShortcutContext(Qt::ApplicationShortcut);
  actions_["ToolBar2Click"]->setChecked(true);
  actions_["StatusBar1Click"]->setChecked(true);
  actions_["ErrorBeep1Click"]->setChecked(true);
  actions_["EditMark1Click"]->setChecked(true);
  // What follows the playback brings its own actions.
  menus["&Run"]->addAction(highlighter->followAction());
  addAction(highlighter->followAction());
  QAction* tracks = tracksPanel->toggleViewAction();
  tracks->setObjectName("Tracks1Click");
  menus["&View"]->addAction(tracks);
  (new LanguageSetting(this))->addMenuTo(menus["&Tool"]);
}

void TfrmMain::createMenus() {
  // The editor's context menu, shared with the message list. It shows no keys.
  PopupMenu1 = new QMenu(this);
  auto mirror = [this](const QString& caption, const QString& handler) {
    QAction* source = actions_.value(handler);
    QAction* a = PopupMenu1->addAction(caption);
    connect(a, &QAction::triggered, source, &QAction::trigger);
  };
  mirror(UiText("&Undo"), "Undo1Click");
  PopupMenu1->addSeparator();
  mirror(UiText("&Cut"), "Cut1Click");
  mirror(UiText("&Copy"), "Copy1Click");
  mirror(UiText("&Paste"), "Paste1Click");
  PopupMenu1->addSeparator();
  mirror(UiText("Select All"), "SelectAll1Click");
  PopupMenu1->addSeparator();
  bookmarks_->addMenusTo(PopupMenu1);
  PopupMenu1->addSeparator();
  mirror(UiText("&MML Checker"), "MMLChecker1Click");
  mirror(UiText("Find &Macro"), "FindMacro1Click");
  mirror(UiText("C&Heck Macro"), "CHeckMacro1Click");
  reMain->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(reMain, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { PopupMenu1->popup(reMain->viewport()->mapToGlobal(at)); });
}

