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
#include "text_search.h"
#include "tracks_panel.h"
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

}  // namespace

QAction* TfrmMain::action(const QString& handlerName) const { return actions_.value(handlerName); }

void TfrmMain::createActions() {
  static const Command commands[] = {
      {"&File", "&New", QKeySequence(Qt::CTRL | Qt::Key_N), "New1Click", &TfrmMain::New1Click, false},
      {"&File", "-", {}, nullptr, nullptr, false},
      {"&File", "&Open", QKeySequence(Qt::CTRL | Qt::Key_O), "Open1Click", &TfrmMain::Open1Click, false},
      {"&File", "&Save", QKeySequence(Qt::CTRL | Qt::Key_S), "Save1Click", nullptr, false},
      {"&File", "Save &As", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S), "SaveAs1Click", nullptr, false},
      {"&File", "-", {}, nullptr, nullptr, false},
      {"&File", "Auto Sa&ve", {}, "AutoSaVe1Click", &TfrmMain::AutoSaVe1Click, true},
      {"&File", "-", {}, nullptr, nullptr, false},
      {"&File", "&Export ->SMF", {}, "ExportSMF1Click", &TfrmMain::ExportSMF1Click, false},
      {"&File", "-", {}, nullptr, nullptr, false},
      {"&File", "&Close", {}, "Close1Click", &TfrmMain::Close1Click, false},
      {"&Edit", "&Undo", QKeySequence(Qt::CTRL | Qt::Key_Z), "Undo1Click", &TfrmMain::Undo1Click, false},
      {"&Edit", "&Redo", QKeySequence(Qt::CTRL | Qt::Key_Y), "Redo1Click", &TfrmMain::Redo1Click, false},
      {"&Edit", "-", {}, nullptr, nullptr, false},
      {"&Edit", "&Cut", QKeySequence(Qt::CTRL | Qt::Key_X), "Cut1Click", &TfrmMain::Cut1Click, false},
      {"&Edit", "&Copy", QKeySequence(Qt::CTRL | Qt::Key_C), "Copy1Click", &TfrmMain::Copy1Click, false},
      {"&Edit", "&Paste", QKeySequence(Qt::CTRL | Qt::Key_V), "Paste1Click", &TfrmMain::Paste1Click, false},
      {"&Edit", "-", {}, nullptr, nullptr, false},
      {"&Edit", "Select &All", QKeySequence(Qt::CTRL | Qt::Key_A), "SelectAll1Click", &TfrmMain::SelectAll1Click, false},
      {"&Edit", "-", {}, nullptr, nullptr, false},
      {"&Edit", "Insert &Line", QKeySequence(Qt::CTRL | Qt::Key_L), "InsertLineClick", &TfrmMain::InsertLineClick, false},
      {"&Find", "-", {}, nullptr, nullptr, false},  // after Find and Find Next, which TextSearch owns
      {"&Find", "Find &Macro", QKeySequence(Qt::CTRL | Qt::Key_M), "FindMacro1Click", &TfrmMain::FindMacro1Click, false},
      {"&Find", "C&Heck Macro", QKeySequence(Qt::CTRL | Qt::Key_H), "CHeckMacro1Click", &TfrmMain::CHeckMacro1Click, false},
      {"&View", "&Tool Bar", {}, "ToolBar2Click", &TfrmMain::ToolBar2Click, true},
      {"&View", "&Status Bar", {}, "StatusBar1Click", &TfrmMain::StatusBar1Click, true},
      {"&View", "&Message View", {}, "MessageView1Click", &TfrmMain::MessageView1Click, true},
      {"&View", "&Error Beep", {}, "ErrorBeep1Click", &TfrmMain::ErrorBeep1Click, true},
      {"&Run", "&Run (Compile+Play)", QKeySequence(Qt::Key_F9), "RunCompilePlay1Click", &TfrmMain::RunCompilePlay1Click, false},
      {"&Run", "Stop && Re&Play", QKeySequence(Qt::CTRL | Qt::Key_P), "RePlay1Click", &TfrmMain::RePlay1Click, false},
      {"&Run", "P&ause", QKeySequence(Qt::CTRL | Qt::Key_Space), "Pause1Click", &TfrmMain::Pause1Click, false},
      {"&Run", "S&top", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Space), "Stop1Click", &TfrmMain::Stop1Click, false},
      {"&Run", "-", {}, nullptr, nullptr, false},
      {"&Run", "Re&set Player", QKeySequence(Qt::CTRL | Qt::Key_R), "ResetPlayer1Click", &TfrmMain::ResetPlayer1Click, false},
      {"&Run", "-", {}, nullptr, nullptr, false},
      {"&Run", "Play From &Caret", QKeySequence(Qt::SHIFT | Qt::Key_F9), "PlayFromCaret1Click", &TfrmMain::PlayFromCaret1Click, false},
      {"&Run", "&Loop Selection", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_L), "LoopSelection1Click", &TfrmMain::LoopSelection1Click, true},
      {"&Tool", "&Comment List", QKeySequence(Qt::Key_F4), "CommentList1Click", &TfrmMain::CommentList1Click, false},
      {"&Tool", "&MessageView", QKeySequence(Qt::Key_F10), "MessageView2Click", &TfrmMain::MessageView2Click, false},
      {"&Tool", "MML C&hecker", QKeySequence(Qt::Key_F11), "MMLChecker1Click", &TfrmMain::MMLChecker1Click, false},
      {"&Tool", "-", {}, nullptr, nullptr, false},
      {"&Tool", "MIDI &DEVICE", QKeySequence(Qt::Key_F12), "MIDIDEVICE1Click", &TfrmMain::MIDIDEVICE1Click, false},
      {"&Tool", "-", {}, nullptr, nullptr, false},
      {"&Tool", "Editer &Font", {}, "Font1Click", &TfrmMain::Font1Click, false},
      {"&Tool", "Editer Co&lor", {}, "Color1Click", &TfrmMain::Color1Click, false},
      {"Editer Mark", "&Edit Mark", {}, "EditMark1Click", &TfrmMain::EditMark1Click, true},
      {"Editer Mark", "Edit Mark C&olor", {}, "ColorEditMark1Click", &TfrmMain::ColorEditMark1Click, false},
      {"&Help", "&Help", QKeySequence(Qt::Key_F1), "Help2Click", &TfrmMain::Help2Click, false},
      {"&Help", "&About zanpad", {}, "About1Click", &TfrmMain::About1Click, false},
  };
  QHash<QString, QMenu*> menus;
  for (const Command& c : commands) {
    QMenu*& menu = menus[c.menu];
    if (!menu) {
      if (QString(c.menu) == "Editer Mark") {
        menu = menus["&Tool"]->addMenu("Editer Mark");
      } else {
        menu = menuBar()->addMenu(c.menu);
      }
    }
    if (QString(c.caption) == "-") {
      menu->addSeparator();
      continue;
    }
    auto* a = new QAction(c.caption, this);
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
  // Find and Find Next come first in their menu.
  QMenu* find = menus["&Find"];
  const QList<QAction*> first = find->actions();
  for (QAction* a : {search_->findAction(), search_->findNextAction(), search_->replaceAction(),
                     search_->goToLineAction()}) {
    find->insertAction(first.isEmpty() ? nullptr : first.front(), a);
    addAction(a);
    actions_.insert(a->objectName(), a);
  }
  QMenu* recent = new QMenu("Open &Recent", this);
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
  mirror("&Undo", "Undo1Click");
  PopupMenu1->addSeparator();
  mirror("&Cut", "Cut1Click");
  mirror("&Copy", "Copy1Click");
  mirror("&Paste", "Paste1Click");
  PopupMenu1->addSeparator();
  mirror("Select All", "SelectAll1Click");
  PopupMenu1->addSeparator();
  bookmarks_->addMenusTo(PopupMenu1);
  PopupMenu1->addSeparator();
  mirror("&MML Checker", "MMLChecker1Click");
  mirror("Find &Macro", "FindMacro1Click");
  mirror("C&Heck Macro", "CHeckMacro1Click");
  reMain->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(reMain, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { PopupMenu1->popup(reMain->viewport()->mapToGlobal(at)); });
}

