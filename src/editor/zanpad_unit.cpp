#include "zanpad_unit.h"

#include <array>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QColorDialog>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QTextDocument>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>

#include "app_paths.h"
#include "bookmarks.h"
#include "help_window.h"
#include "live_score.h"
#include "comment_list.h"
#include "editor_fonts.h"
#include "ext_memo.h"
#include "frm_chk_unit.h"
#include "frm_msg_unit.h"
#include "player/player.h"
#include "player_settings.h"
#include "crash_recovery.h"
#include "recent_files.h"
#include "playback_highlighter.h"
#include "playback_score.h"
#include "text_boxes.h"
#include "track_bar.h"
#include "tracks_panel.h"
#include "track_view.h"
#include "background_check.h"
#include "window_place.h"
#include "document.h"
#include "playback_control.h"
#include "zan/cp932.h"
#include "zan/tsmf.h"

namespace {

const QString kScoreFilter = "(*.zan) (*.zan);;(*.txt) (*.txt);;(*.*) (*)";

// The local file a drag carries, or "" when it carries none (text, say).
QString draggedFile(const QMimeData* data) {
  if (!data || !data->hasUrls() || data->urls().isEmpty()) return {};
  const QUrl& url = data->urls().front();
  return url.isLocalFile() ? url.toLocalFile() : QString();
}

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

TfrmMain::TfrmMain(QWidget* parent)
    : QMainWindow(parent), document_(new Document(this)), fileName(document_->name),
      fileEncoding(document_->encoding) {
  setObjectName("frmMain");
  setWindowTitle("zan");
  applicationTitle = "zan";
  resize(720, 520);

  reMain = new TExtMemo(this);
  reMain->setObjectName("reMain");
  reMain->EditMarks = TExtMemo::mainWindowMarks();
  setCentralWidget(reMain);
  bookmarks_ = new Bookmarks(reMain);

  compiler = std::make_unique<zan::TSmf>();
  compiler->messageSink = [this](const std::string& line) {
    if (!frmMsg) return;
    frmMsg->AddMessage(fromCp932(line));
    if (line == "Compile Start" && !compileNote_.isEmpty()) {
      frmMsg->AddMessage(compileNote_);
      compileNote_.clear();
    }
  };
  compiler->warningSink = [](const std::string& text) { WarnBox(fromCp932(text)); };
  createPlayback();
  highlighter = new PlaybackHighlighter(reMain, mp, playbackScore, this);
  tracksPanel = new TracksPanel(mp, playbackScore, this);
  addDockWidget(Qt::RightDockWidgetArea, tracksPanel);
  tracksPanel->hide();

  createActions();
  createMenus();
  createToolBar();
  createStatusBar();
  liveScore_ = new LiveScore(reMain, this);
  liveScore_->attach(viewMenu_, statusBar());
  connect(liveScore_, &LiveScore::statusMessage, this, &TfrmMain::setStatus);
  connect(liveScore_, &LiveScore::statusMessageGone, this, [this](const QString& text) {
    if (statusText() == text) setStatus({});
  });
  createTrackView();
  playback_->setLoopAction(action("LoopSelection1Click"));
  playback_->follow(trackView, tracksPanel, highlighter);

  // Made before the document holds the editor: a text put in whole is first
  // marked unmodified (the copy goes), then modified again by the document.
  recovery = new CrashRecovery(reMain, [this] { return fileName; }, this);
  connect(recovery, &CrashRecovery::writeFailed, this, &TfrmMain::setStatus);
  document_->attach(reMain, recentFiles);
  connect(document_, &Document::captionChanged, this, [this](const QString& title, const QString& application) {
    setWindowTitle(title);
    applicationTitle = application;
    liveScore_->check()->setScorePath(fileName);  // where its #include looks
  });
  // Another document: nothing of the last one plays or shows.
  connect(document_, &Document::reset, playback_, &PlaybackControl::forget);

  connect(reMain, &QPlainTextEdit::textChanged, this, &TfrmMain::reMainChange);
  connect(reMain, &TExtMemo::keyDown, this, [this] { ShowCaretPos(); });
  connect(reMain, &TExtMemo::keyUp, this, [this] { ShowCaretPos(); });
  connect(reMain, &TExtMemo::keyPress, this, [this] { ShowCaretPos(); });
  connect(reMain, &TExtMemo::mouseDown, this, [this] { ShowCaretPos(); });
  connect(reMain, &QPlainTextEdit::cursorPositionChanged, this, &TfrmMain::ShowCaretPos);
  // A file dropped on the editor opens it; dropped text is still inserted.
  setAcceptDrops(true);
  reMain->installEventFilter(this);
  reMain->viewport()->installEventFilter(this);

  // A stale compile result never survives a restart.
  playback_->forget();
  readSettings();
  restoreWindowGeometry(this);
  ShowCaretPos();
}

void TfrmMain::createPlayback() {
  RunHost host;
  host.editor = reMain;
  host.compiler = compiler.get();
  host.setStatus = [this](const QString& text) { setStatus(text); };
  host.loadCompilerLines = [this] { loadCompilerLines(); };
  host.compileDone = [this] { compileNote_.clear(); };
  host.autoSave = [this] { return autoSave(); };
  host.save = [this] { Save1Click(); };
  host.showMessages = [this] { return messageViewOption(); };
  host.messageView = [this] { MessageView2Click(); };
  host.errorBeep = [this] { return errorBeep(); };
  playback_ = new PlaybackControl(std::move(host), this);
  mp = playback_->player();
  playbackScore = playback_->score();
  scrMP = playback_->slider();
}

TfrmMain::~TfrmMain() = default;

void TfrmMain::attachWindows(TfrmMsg* msg, TfrmList* list, TfrmChecker* checker) {
  frmMsg = msg;
  frmList = list;
  frmChecker = checker;
  playback_->setMessages(msg);
  if (frmMsg) frmMsg->setMessagePopup(PopupMenu1);
}

MsgHost TfrmMain::messageHost() {
  MsgHost host;
  host.editor = reMain;
  host.setStatus = [this](const QString& text) { setStatus(text); };
  host.compiledLines = [this] {
    QStringList lines;
    const auto& source = compiler->sourceLines.lines();
    lines.reserve(static_cast<qsizetype>(source.size()));
    for (const std::string& line : source) lines << fromCp932(line);
    return lines;
  };
  host.findInSource = [this](const QString& text) {
    findText = text;
    activateWindow();
    FindNext1Click();
    reMain->setFocus();
  };
  return host;
}

QAction* TfrmMain::action(const QString& handlerName) const { return actions_.value(handlerName); }

void TfrmMain::createActions() {
  static const Command commands[] = {
      {"&File", "&New", {}, "New1Click", &TfrmMain::New1Click, false},
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
      {"&Find", "&Find", QKeySequence(Qt::CTRL | Qt::Key_F), "Find2Click", &TfrmMain::Find2Click, false},
      {"&Find", "Find &Next", QKeySequence(Qt::Key_F3), "FindNext1Click", &TfrmMain::FindNext1Click, false},
      {"&Find", "-", {}, nullptr, nullptr, false},
      {"&Find", "Find &Macro", QKeySequence(Qt::CTRL | Qt::Key_M), "FindMacro1Click", &TfrmMain::FindMacro1Click, false},
      {"&Find", "C&Heck Macro", QKeySequence(Qt::CTRL | Qt::Key_H), "CHeckMacro1Click", &TfrmMain::CHeckMacro1Click, false},
      {"&View", "&Tool Bar", {}, "ToolBar2Click", &TfrmMain::ToolBar2Click, true},
      {"&View", "&Status Bar", {}, "StatusBar1Click", &TfrmMain::StatusBar1Click, true},
      {"&View", "&Message View", {}, "MessageView1Click", &TfrmMain::MessageView1Click, true},
      {"&View", "&Error Beep", {}, "ErrorBeep1Click", &TfrmMain::ErrorBeep1Click, true},
      {"&Run", "&Run (Compile+Play)", QKeySequence(Qt::Key_F9), "RunCompilePlay1Click", &TfrmMain::RunCompilePlay1Click, false},
      {"&Run", "Stop && Re&Play", QKeySequence(Qt::CTRL | Qt::Key_P), "RePlay1Click", &TfrmMain::RePlay1Click, false},
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
}

void TfrmMain::createTrackView() {
  trackView = new TrackView(reMain, this);
  addDockWidget(Qt::BottomDockWidgetArea, trackView);
  trackView->readSettings();
  viewMenu_->addAction(trackView->toggleAction());
  addAction(trackView->toggleAction());
  // The score as it is typed: each check's compile, as well as Run's.
  connect(liveScore_->check(), &BackgroundCheck::resultReady, trackView, [this](const CheckResult& result) {
    if (result.tracks) trackView->setModel(result.tracks);
  });
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

void TfrmMain::createToolBar() {
  ToolBar1 = addToolBar("ToolBar1");
  ToolBar1->setObjectName("ToolBar1");
  ToolBar1->setFixedHeight(29);
  ToolBar1->setMovable(false);
  ToolBar1->setIconSize(QSize(16, 16));
  auto button = [this](QStyle::StandardPixmap icon, const QString& name, const QString& hint,
                       void (TfrmMain::*slot)()) {
    QAction* a = ToolBar1->addAction(style()->standardIcon(icon), name);
    a->setObjectName("tb" + name);
    a->setToolTip(hint.isEmpty() ? name : hint);
    connect(a, &QAction::triggered, this, slot);
    actions_.insert("tb" + name, a);
    return a;
  };
  ToolBar1->addSeparator();
  button(QStyle::SP_FileIcon, "New", {}, &TfrmMain::New1Click);
  button(QStyle::SP_DialogOpenButton, "Open", {}, &TfrmMain::Open1Click);
  QAction* save = button(QStyle::SP_DialogSaveButton, "Save", {}, nullptr);
  connect(save, &QAction::triggered, this, [this] { Save1Click(); });
  ToolBar1->addSeparator();
  button(QStyle::SP_MediaPlay, "Run", {}, &TfrmMain::RunCompilePlay1Click);
  button(QStyle::SP_MediaSeekBackward, "Replay", "Replay(P)", &TfrmMain::RePlay1Click)->setEnabled(false);
  button(QStyle::SP_MediaStop, "Stop", "Stop(P)", &TfrmMain::RePlay1Click)->setEnabled(false);
  ToolBar1->addSeparator();
  button(QStyle::SP_ArrowRight, "InsertLine", "Insert Line (L)", &TfrmMain::InsertLineClick);
  button(QStyle::SP_FileDialogDetailedView, "CommentList", "Comment List", &TfrmMain::CommentList1Click);
  ToolBar1->addSeparator();
  button(QStyle::SP_BrowserReload, "ResetPlayer", {}, &TfrmMain::ResetPlayer1Click);
  ToolBar1->addWidget(scrMP);
  playTime_ = playback_->playTime();
  ToolBar1->addWidget(playTime_);
  playback_->stopButton = actions_["tbStop"];
  playback_->replayButton = actions_["tbReplay"];
}

void TfrmMain::createStatusBar() {
  panel0_ = new QLabel(this);
  panel0_->setFixedWidth(50);
  panel1_ = new QLabel(this);
  panel1_->setFixedWidth(500);
  panel1_->setTextFormat(Qt::PlainText);
  panel2_ = new QLabel(this);
  panel2_->setTextFormat(Qt::PlainText);
  statusBar()->addWidget(panel0_);
  statusBar()->addWidget(panel1_);
  statusBar()->addWidget(panel2_, 1);
  playback_->setPlayerNoteLabel(panel2_);
  statusBar()->setSizeGripEnabled(true);
  // A click on a panel reaches the status bar too: one filter sees it once.
  statusBar()->installEventFilter(this);
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event) {
  if (watched == statusBar() && event->type() == QEvent::MouseButtonRelease) sbClick();
  if (watched == reMain || watched == reMain->viewport()) {
    if (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove) {
      auto* drag = static_cast<QDragMoveEvent*>(event);
      if (!draggedFile(drag->mimeData()).isEmpty()) {
        drag->acceptProposedAction();
        return true;
      }
    } else if (event->type() == QEvent::Drop) {
      auto* drop = static_cast<QDropEvent*>(event);
      QString path = draggedFile(drop->mimeData());
      if (!path.isEmpty()) {
        drop->acceptProposedAction();
        openFile(path);
        return true;
      }
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

QString TfrmMain::statusText() const { return panel1_->text(); }

QString TfrmMain::caretText() const { return panel0_->text(); }
void TfrmMain::setStatus(const QString& text) { panel1_->setText(text); }
bool TfrmMain::errorBeep() const { return actions_["ErrorBeep1Click"]->isChecked(); }
bool TfrmMain::messageViewOption() const { return actions_["MessageView1Click"]->isChecked(); }
bool TfrmMain::autoSave() const { return actions_["AutoSaVe1Click"]->isChecked(); }

void TfrmMain::beepIfWanted() {
  if (errorBeep()) QApplication::beep();
}

// ---- Caption and caret -----------------------------------------------------------

bool TfrmMain::modified() const { return document_->modified(); }

// Runs after New, Open, Save and Save As: the document now matches its file
// (or is empty), so its modified flag goes with the caption's mark.
void TfrmMain::UpdateCaption() { document_->markClean(); }

void TfrmMain::reMainChange() {
  playback_->textChanged();
  if (!windowTitle().startsWith('*')) setWindowTitle("*" + windowTitle());
  ShowCaretPos();
}

void TfrmMain::ShowCaretPos() {
  panel0_->setText(QString::asprintf("%3d:%3d", reMain->caretColumn(), reMain->caretLine()));
}

// ---- Documents -------------------------------------------------------------------

void TfrmMain::New1Click() { document_->clear(); }

void TfrmMain::Open1Click() {
  const QString path = QFileDialog::getOpenFileName(this, {}, QFileInfo(fileName).absolutePath(), kScoreFilter);
  if (!path.isEmpty()) openFile(path);
}

bool TfrmMain::openFile(const QString& path) { return document_->open(path); }
void TfrmMain::openFromCommandLine(const QString& path) { openFile(path); }

void TfrmMain::offerRecovery() {
  recovery->offerRestore([this](const CrashRecovery::Copy& copy) {
    // The document as it was saved, then the text as it was typed.
    if (!copy.document.isEmpty() && QFileInfo(copy.document) != QFileInfo(fileName) &&
        !(QFileInfo::exists(copy.document) && openFile(copy.document)))
      document_->adoptName(copy.document);  // gone or unreadable: Save writes it anew
    reMain->setPlainText(copy.text);
    reMain->document()->setModified(true);
    setStatus("Restored the unsaved changes kept at " + copy.written.toString("HH:mm:ss"));
  }, messageBoxHooks().restore ? [](const CrashRecovery::Copy& copy) { return messageBoxHooks().restore(copy.document); }
                               : std::function<bool(const CrashRecovery::Copy&)>{});
}

bool TfrmMain::Save1Click() { return document_->save(); }
bool TfrmMain::SaveAs1Click() { return document_->saveAs(); }
bool TfrmMain::saveTo(const QString& path) { return document_->saveTo(path); }
bool TfrmMain::maySaveChanges() { return document_->maySaveChanges(); }
void TfrmMain::AutoSaVe1Click() {}  // the check mark is the whole state
void TfrmMain::Close1Click() { close(); }

void TfrmMain::dragEnterEvent(QDragEnterEvent* event) {
  if (!draggedFile(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void TfrmMain::dropEvent(QDropEvent* event) {
  QString path = draggedFile(event->mimeData());
  if (path.isEmpty()) return;
  event->acceptProposedAction();
  openFile(path);
}

void TfrmMain::closeEvent(QCloseEvent* event) {
  if (!maySaveChanges()) {
    event->ignore();
    return;
  }
  mp->close();
  recovery->discard();  // a clean exit: nothing to recover
  // A failed write leaves the old settings file whole, and says so.
  if (!writeSettings()) ErrorBox(QString("Cannot save the settings in \"%1\"").arg(settingsPath()));
  trackView->writeSettings();
  for (QWidget* w : {static_cast<QWidget*>(this), static_cast<QWidget*>(frmMsg), static_cast<QWidget*>(frmList),
                     static_cast<QWidget*>(frmChecker), static_cast<QWidget*>(help_)})
    saveWindowGeometry(w);
  event->accept();
  for (QWidget* w : {static_cast<QWidget*>(frmMsg), static_cast<QWidget*>(frmList),
                     static_cast<QWidget*>(frmChecker), static_cast<QWidget*>(help_)})
    if (w) w->close();
  emit closed();
}

// ---- Edit menu ---------------------------------------------------------------------

void TfrmMain::Undo1Click() { reMain->undo(); }
void TfrmMain::Redo1Click() { reMain->redo(); }
void TfrmMain::Cut1Click() { reMain->cut(); }
void TfrmMain::Copy1Click() { reMain->copy(); }
void TfrmMain::Paste1Click() { reMain->paste(); }
void TfrmMain::SelectAll1Click() { reMain->selectAll(); }

// ---- View menu ---------------------------------------------------------------------

void TfrmMain::ToolBar2Click() { ToolBar1->setVisible(actions_["ToolBar2Click"]->isChecked()); }

void TfrmMain::StatusBar1Click() { statusBar()->setVisible(actions_["StatusBar1Click"]->isChecked()); }

void TfrmMain::MessageView1Click() {
  if (actions_["MessageView1Click"]->isChecked()) MessageView2Click();
}

void TfrmMain::ErrorBeep1Click() {}  // the check mark is the whole state

// ---- Tool menu ---------------------------------------------------------------------

void TfrmMain::CommentList1Click() {
  if (!frmList) return;
  placeBesideOnce(frmList, this, {Beside::Left, Beside::Right, Beside::Below, Beside::Above});
  frmList->show();
  frmList->raise();
  frmList->activateWindow();
  frmList->ListBox1->setFocus();
}

void TfrmMain::MessageView2Click() {
  if (frmMsg) frmMsg->showMessagePage();
}

void TfrmMain::MMLChecker1Click() {
  if (!frmChecker) return;
  placeBesideOnce(frmChecker, this, {Beside::Below, Beside::Above, Beside::Right, Beside::Left});
  frmChecker->show();
  frmChecker->raise();
  frmChecker->activateWindow();
  if (reMain->selLength() > 0) frmChecker->re1->setPlainText(reMain->selText());
  frmChecker->re1->setFocus();
}

// ---- Status bar and editor keys --------------------------------------------------

void TfrmMain::sbClick() {
  if (statusText().contains("err") && frmMsg) frmMsg->Debug2Click();
}

