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
#include "player.h"
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

TfrmMain::TfrmMain(QWidget* parent) : QMainWindow(parent) {
  setObjectName("frmMain");
  setWindowTitle("zan");
  applicationTitle = "zan";
  resize(720, 520);

  reMain = new TExtMemo(this);
  reMain->setObjectName("reMain");
  reMain->EditMarks = TExtMemo::mainWindowMarks();
  setCentralWidget(reMain);

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
  mp = std::make_unique<zan::player::Player>(loadPlayerSettings().config);
  playbackScore = std::make_unique<PlaybackScore>();
  highlighter = new PlaybackHighlighter(reMain, mp.get(), playbackScore.get(), this);
  tracksPanel = new TracksPanel(mp.get(), playbackScore.get(), this);
  addDockWidget(Qt::RightDockWidgetArea, tracksPanel);
  tracksPanel->hide();

  createActions();
  createMenus();
  createToolBar();
  createStatusBar();
  liveScore_ = new LiveScore(reMain, this);
  liveScore_->attach(this);
  connect(liveScore_, &LiveScore::statusMessage, this, &TfrmMain::setStatus);
  createTrackView();

  recovery = new CrashRecovery(reMain, [this] { return fileName; }, this);
  connect(recovery, &CrashRecovery::writeFailed, this, &TfrmMain::setStatus);

  Timer1 = new QTimer(this);
  Timer1->setInterval(1000);
  connect(Timer1, &QTimer::timeout, this, &TfrmMain::Timer1Timer);
  Timer1->start();

  connect(reMain, &QPlainTextEdit::textChanged, this, &TfrmMain::reMainChange);
  // Only New, Open, Save and Save As clear the modified flag: every change
  // of the text sets it, an undo back to the saved text or a replacement of
  // the whole text too (the document itself would clear it then).
  connect(reMain->document(), &QTextDocument::modificationChanged, this, [this](bool modified) {
    if (!modified && !clearingModified_) reMain->document()->setModified(true);
  });
  connect(reMain, &TExtMemo::keyDown, this, &TfrmMain::reMainKeyDown);
  connect(reMain, &TExtMemo::keyUp, this, &TfrmMain::reMainKeyUp);
  connect(reMain, &TExtMemo::keyPress, this, [this] { ShowCaretPos(); });
  connect(reMain, &TExtMemo::mouseDown, this, [this] { ShowCaretPos(); });
  connect(reMain, &QPlainTextEdit::cursorPositionChanged, this, &TfrmMain::ShowCaretPos);
  // A file dropped on the editor opens it; dropped text is still inserted.
  setAcceptDrops(true);
  reMain->installEventFilter(this);
  reMain->viewport()->installEventFilter(this);

  // A stale compile result never survives a restart.
  deleteMidFile();
  readSettings();
  restoreWindowGeometry(this);
  ShowCaretPos();
}

TfrmMain::~TfrmMain() = default;

void TfrmMain::attachWindows(TfrmMsg* msg, TfrmList* list, TfrmChecker* checker) {
  frmMsg = msg;
  frmList = list;
  frmChecker = checker;
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
  for (QAction* m : menuBar()->actions()) {
    if (m->text() == "&View" && m->menu()) m->menu()->addAction(trackView->toggleAction());
  }
  addAction(trackView->toggleAction());
  // The score as it is typed: each check's compile, as well as Run's.
  connect(liveScore_->check(), &BackgroundCheck::resultReady, trackView, [this](const CheckResult& result) {
    if (result.tracks) trackView->setModel(result.tracks);
  });
  trackView->setPositionSource([this] { return mp->isOpen() ? static_cast<double>(mp->positionMs()) : -1.0; });
  trackView->setFollowSource([this] { return mp->mode() == zan::player::Mode::Playing; });
  // A click on the ruler moves the playback there as the slider does, and a
  // playing score plays on from there.
  connect(trackView, &TrackView::seekRequested, this, [this](qint64 ms) {
    const bool playing = mp->mode() == zan::player::Mode::Playing;
    const int position = static_cast<int>(std::min<qint64>(ms, scrMP->maximum()));
    scrMP->setValue(position);
    scrMPChange(position);
    if (playing) mp->play();
  });
  // A drag on the ruler loops playback over its range, as Loop Selection
  // does (and is the range Loop Selection takes when no text is selected).
  connect(trackView, &TrackView::loopRequested, this, [this](qint64 from, qint64 to) {
    const int a = static_cast<int>(std::min<qint64>(from, scrMP->maximum()));
    const int b = static_cast<int>(std::min<qint64>(to, scrMP->maximum()));
    scrMP->setSelStart(a);
    scrMP->setSelEnd(b);
    if (!mp->isOpen() || b <= a) return;
    mp->setLoopMs(a, b);
    scrMP->setLoopMarks(a, b);
    action("LoopSelection1Click")->setChecked(true);
    // Heard at once: playback outside the range goes to its start.
    const int64_t at = mp->positionMs();
    if (mp->mode() == zan::player::Mode::Playing && (at < a || at >= b)) {
      mp->setPositionMs(a);
      mp->play();
    }
  });
  trackView->setLoopSource([this] {
    const auto [a, b] = mp->loopMs();
    return std::pair<double, double>(static_cast<double>(a), static_cast<double>(b));
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
  QMenu* toggle = PopupMenu1->addMenu("&Toggle BookMark");
  QMenu* go = PopupMenu1->addMenu("&Goto BookMark");
  for (int digit = 0; digit <= 9; ++digit) {
    QAction* t = toggle->addAction(QString("BookMark &%1").arg(digit));
    t->setData(digit);
    connect(t, &QAction::triggered, this, [this, digit] { BookMark91Click(digit); });
    QAction* g = go->addAction(QString("BookMark &%1").arg(digit));
    g->setData(digit);
    connect(g, &QAction::triggered, this, [this, digit] { BookMark92Click(digit); });
  }
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
  scrMP = new TTrackBar(ToolBar1);
  scrMP->setObjectName("scrMP");
  // It takes the tool bar's spare width; its design width is the least.
  scrMP->setMinimumWidth(169);
  scrMP->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  ToolBar1->addWidget(scrMP);
  connect(scrMP, &TTrackBar::userMoved, this, &TfrmMain::scrMPChange);
  playTime_ = new QLabel(playTimeText(0, 0), ToolBar1);
  playTime_->setObjectName("playTime");
  playTime_->setContentsMargins(6, 0, 6, 0);
  ToolBar1->addWidget(playTime_);
  auto showPlayTime = [this] { playTime_->setText(playTimeText(scrMP->value(), scrMP->maximum())); };
  connect(scrMP, &QAbstractSlider::valueChanged, this, showPlayTime);
  connect(scrMP, &QAbstractSlider::rangeChanged, this, showPlayTime);
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
QString TfrmMain::playerNote() const { return panel2_->text(); }

void TfrmMain::showPlayerNote() { panel2_->setText(QString::fromStdString(mp->statusText())); }

QString TfrmMain::caretText() const { return panel0_->text(); }
void TfrmMain::setStatus(const QString& text) { panel1_->setText(text); }
bool TfrmMain::errorBeep() const { return actions_["ErrorBeep1Click"]->isChecked(); }
bool TfrmMain::messageViewOption() const { return actions_["MessageView1Click"]->isChecked(); }
bool TfrmMain::autoSave() const { return actions_["AutoSaVe1Click"]->isChecked(); }

void TfrmMain::beepIfWanted() {
  if (errorBeep()) QApplication::beep();
}

// The line-end, tab and end-of-text marks, which Edit Mark switches and
// colours together; the control-character marks keep their own state.
std::array<TEditMark*, 3> TfrmMain::switchableMarks() {
  return {&reMain->EditMarks.CrLf, &reMain->EditMarks.Tab, &reMain->EditMarks.Eot};
}

// ---- Settings ----------------------------------------------------------------

void TfrmMain::readSettings() {
  settings_.font = reMain->font();
  settings_.fontColour = reMain->palette().color(QPalette::Text);
  settings_.background = reMain->background();
  settings_.markColour = QColor(0, 255, 255);
  EditorSettings stored = settings_;
  if (!readSettingsFile(settingsPath(), stored)) return;  // defaults: marks keep their design state
  settings_ = stored;
  for (TEditMark* m : switchableMarks())
    m->Color = settings_.markColour;
  actions_["EditMark1Click"]->setChecked(!settings_.editMark);
  actions_["ToolBar2Click"]->setChecked(settings_.toolBar);
  ToolBar1->setVisible(settings_.toolBar);
  actions_["MessageView1Click"]->setChecked(settings_.messageView);
  actions_["ErrorBeep1Click"]->setChecked(settings_.errorBeep);
  actions_["EditMark1Click"]->setChecked(!actions_["EditMark1Click"]->isChecked());
  EditMark1Click();
  reMain->setFont(settings_.font);
  QPalette p = reMain->palette();
  p.setColor(QPalette::Text, settings_.fontColour);
  reMain->setPalette(p);
  reMain->setBackground(settings_.background);
}

EditorSettings TfrmMain::currentSettings() const {
  EditorSettings s = settings_;
  s.editMark = actions_["EditMark1Click"]->isChecked();
  s.toolBar = actions_["ToolBar2Click"]->isChecked();
  s.messageView = actions_["MessageView1Click"]->isChecked();
  s.errorBeep = actions_["ErrorBeep1Click"]->isChecked();
  return s;
}

bool TfrmMain::writeSettings() { return writeSettingsFile(settingsPath(), currentSettings()); }

// ---- Caption and caret -----------------------------------------------------------

bool TfrmMain::modified() const { return reMain->document()->isModified(); }

// Runs after New, Open, Save and Save As: the document now matches its file
// (or is empty), so its modified flag goes with the caption's mark.
void TfrmMain::UpdateCaption() {
  clearingModified_ = true;
  reMain->document()->setModified(false);
  clearingModified_ = false;
  if (fileName.isEmpty()) {
    setWindowTitle("zan");
    applicationTitle = "zan";
  } else {
    setWindowTitle("zan - " + fileName);
    applicationTitle = QFileInfo(fileName).fileName();
  }
  if (liveScore_) liveScore_->check()->setScorePath(fileName);  // where its #include looks
}

void TfrmMain::reMainChange() {
  midHoldsText_ = false;
  if (!windowTitle().startsWith('*')) setWindowTitle("*" + windowTitle());
  ShowCaretPos();
}

void TfrmMain::ShowCaretPos() {
  panel0_->setText(QString::asprintf("%3d:%3d", reMain->caretColumn(), reMain->caretLine()));
}

// ---- Documents -------------------------------------------------------------------

void TfrmMain::deleteMidFile() {
  if (QFile::exists(midPath())) {
    mp->close();  // the player may hold it
    QFile::remove(midPath());
  }
  midHoldsText_ = false;
}

void TfrmMain::New1Click() {
  // A modified document gets the close prompt instead of New's question.
  if (modified()) {
    if (!maySaveChanges()) return;
  } else if (!ConfirmBox("初期化しても良いですか？")) {
    return;
  }
  reMain->clear();
  fileName.clear();
  fileEncoding = TextEncoding::Cp932;
  UpdateCaption();
  deleteMidFile();
}

void TfrmMain::Open1Click() {
  QString path = QFileDialog::getOpenFileName(this, {}, QFileInfo(fileName).absolutePath(), kScoreFilter);
  if (path.isEmpty()) return;
  openFile(path);
}

bool TfrmMain::openFile(const QString& path) {
  LoadedDocument doc;
  QString error;
  if (!loadDocument(path, doc, error)) {
    // The document, its name and caption stay as they were, so a later Save
    // cannot write this text over the file that failed to load.
    ErrorBox(QString("Cannot open \"%1\": %2").arg(path, error));
    return false;
  }
  if (!doc.notScore.isEmpty()) {
    // Opened as text, a MIDI file would be garbage, and Save would then
    // overwrite it.
    WarnBox(QString("%1 is %2, not a score").arg(QFileInfo(path).fileName(), doc.notScore));
    return false;
  }
  if (!maySaveChanges()) return false;
  fileName = QFileInfo(path).absoluteFilePath();
  recentFiles->add(fileName);
  fileEncoding = doc.encoding;
  reMain->setLines(doc.lines);
  UpdateCaption();
  deleteMidFile();
  if (doc.undecodable > 0)
    WarnBox(QString("\"%1\" holds %2 byte sequence(s) that are not CP932 (Shift-JIS) text.\n"
                    "They show as \uFFFD and cannot be saved back as they were.")
                .arg(path)
                .arg(doc.undecodable));
  return true;
}

void TfrmMain::openFromCommandLine(const QString& path) { openFile(path); }

void TfrmMain::offerRecovery() {
  recovery->offerRestore([this](const CrashRecovery::Copy& copy) {
    // The document as it was saved, then the text as it was typed.
    if (!copy.document.isEmpty() && QFileInfo(copy.document) != QFileInfo(fileName) &&
        !(QFileInfo::exists(copy.document) && openFile(copy.document))) {
      fileName = copy.document;  // gone or unreadable: Save writes it anew
      UpdateCaption();
    }
    reMain->setPlainText(copy.text);
    reMain->document()->setModified(true);
    setStatus("Restored the unsaved changes kept at " + copy.written.toString("HH:mm:ss"));
  }, messageBoxHooks().restore ? [](const CrashRecovery::Copy& copy) { return messageBoxHooks().restore(copy.document); }
                               : std::function<bool(const CrashRecovery::Copy&)>{});
}

bool TfrmMain::Save1Click() {
  if (fileName.isEmpty()) return SaveAs1Click();
  return saveTo(fileName);
}

bool TfrmMain::SaveAs1Click() {
  QFileDialog dialog(this, {}, QFileInfo(fileName).absolutePath(), kScoreFilter);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix("zan");
  if (!fileName.isEmpty()) dialog.selectFile(fileName);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
  QString path = dialog.selectedFiles().front();
  TextEncoding previous = fileEncoding;
  if (!saveTo(path)) {
    fileEncoding = previous;
    return false;
  }
  return true;
}

// CP932 cannot hold every character: ask before a save would lose some.
bool TfrmMain::confirmUnencodable() {
  if (fileEncoding != TextEncoding::Cp932) return true;
  QString ch = firstUnencodable(reMain->toPlainText());
  if (ch.isEmpty()) return true;
  QMessageBox box(QMessageBox::Warning, "zan",
                  QString("The text holds characters that CP932 (Shift-JIS) cannot store, such as \"%1\".\n"
                          "Save the file as UTF-8 instead?")
                      .arg(ch),
                  QMessageBox::NoButton, this);
  QPushButton* utf8 = box.addButton("Save as UTF-8", QMessageBox::AcceptRole);
  box.addButton(QMessageBox::Cancel);
  box.setDefaultButton(utf8);
  box.exec();
  if (box.clickedButton() != static_cast<QAbstractButton*>(utf8)) return false;
  fileEncoding = TextEncoding::Utf8;
  return true;
}

bool TfrmMain::saveTo(const QString& path) {
  if (!confirmUnencodable()) return false;
  QString error;
  if (!saveDocument(path, reMain->lines(), fileEncoding, error)) {
    ErrorBox(QString("Cannot save \"%1\": %2").arg(path, error));
    return false;
  }
  fileName = QFileInfo(path).absoluteFilePath();
  recentFiles->add(fileName);
  UpdateCaption();
  return true;
}

void TfrmMain::AutoSaVe1Click() {}  // the check mark is the whole state

void TfrmMain::Close1Click() { close(); }

bool TfrmMain::maySaveChanges() {
  if (!modified()) return true;
  QMessageBox box(QMessageBox::NoIcon, "zanpad の終了", "テキストが変更されています。保存しますか？",
                  QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, this);
  int answer = messageBoxHooks().closePrompt ? messageBoxHooks().closePrompt() : box.exec();
  if (answer == QMessageBox::Cancel) return false;
  // A save that failed or was cancelled keeps everything: going on now would
  // lose the text.
  if (answer == QMessageBox::Yes) return Save1Click();
  return true;
}

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
  if (!qEnvironmentVariableIsSet("ZAN_TEST_MODE")) QApplication::quit();
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

void TfrmMain::Font1Click() {
  bool ok = false;
  QFont font = QFontDialog::getFont(&ok, settings_.font, this);
  if (!ok) return;
  settings_.font = font;
  reMain->setFont(font);
}

void TfrmMain::Color1Click() {
  QColor colour = QColorDialog::getColor(settings_.background, this);
  if (!colour.isValid()) return;
  settings_.background = colour;
  reMain->setBackground(colour);
}

void TfrmMain::EditMark1Click() {
  bool on = actions_["EditMark1Click"]->isChecked();
  for (TEditMark* m : switchableMarks()) m->Enabled = on;
  reMain->viewport()->update();
}

void TfrmMain::ColorEditMark1Click() {
  QColor colour = QColorDialog::getColor(settings_.markColour, this);
  if (!colour.isValid()) return;
  settings_.markColour = colour;
  for (TEditMark* m : switchableMarks()) m->Color = colour;
  reMain->viewport()->update();
}

// ---- Status bar and editor keys --------------------------------------------------

void TfrmMain::sbClick() {
  if (statusText().contains("err") && frmMsg) frmMsg->Debug2Click();
}

void TfrmMain::reMainKeyDown(QKeyEvent* event) {
  ShowCaretPos();
  if (bookmarkKeyHeld || event->isAutoRepeat()) return;
  int digit = bookmarkDigit(event);
  if (digit < 0) return;
  Qt::KeyboardModifiers mods = event->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier | Qt::MetaModifier);
  if (mods == (Qt::ControlModifier | Qt::ShiftModifier)) {
    ToggleBookmark(digit);
    bookmarkKeyHeld = true;
  } else if (mods == Qt::ControlModifier) {
    GotoBookmark(digit);
    bookmarkKeyHeld = true;
  }
}

void TfrmMain::reMainKeyUp(QKeyEvent* event) {
  // X11 sends a release before every auto-repeated press; those do not end
  // the hold.
  if (!event->isAutoRepeat()) bookmarkKeyHeld = false;
  ShowCaretPos();
}
