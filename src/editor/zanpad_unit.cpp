// SPDX-License-Identifier: MIT
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
#include <QScreen>
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
#include "live_update.h"
#include "playback_control.h"
#include "text_search.h"
#include "zan/cp932.h"
#include "zan/translate.h"
#include "zan/tsmf.h"

namespace {

const QString kScoreFilter = "(*.zan) (*.zan);;(*.txt) (*.txt);;(*.*) (*)";

// The local file a drag carries, or "" when it carries none (text, say).
QString draggedFile(const QMimeData* data) {
  if (!data || !data->hasUrls() || data->urls().isEmpty()) return {};
  const QUrl& url = data->urls().front();
  return url.isLocalFile() ? url.toLocalFile() : QString();
}

}  // namespace

TfrmMain::TfrmMain(QWidget* parent)
    : QMainWindow(parent), document_(new Document(this)), search_(new TextSearch(this)), fileName(document_->name),
      fileEncoding(document_->encoding), findText(search_->text) {
  setObjectName("frmMain");
  setWindowTitle("zan");
  applicationTitle = "zan";
  resize(720, 520);

  reMain = new TExtMemo(this);
  reMain->setObjectName("reMain");
  reMain->EditMarks = TExtMemo::mainWindowMarks();
  setCentralWidget(reMain);
  bookmarks_ = new Bookmarks(reMain);
  search_->attach(reMain);
  connect(search_, &TextSearch::status, this, &TfrmMain::setStatus);

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
  liveUpdate_ = new LiveUpdate(liveScore_->check(), playback_, this);
  liveUpdate_->addMenuTo(runMenu_, this);

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
  if (!restoreWindowGeometry(this))
    if (const QScreen* screen = QGuiApplication::primaryScreen()) setGeometry(firstWindowRect(screen->availableGeometry()));
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

void TfrmMain::createTrackView() {
  trackView = new TrackView(reMain, this);
  addDockWidget(Qt::BottomDockWidgetArea, trackView);
  trackView->readSettings();
  viewMenu_->addAction(trackView->toggleAction());
  addAction(trackView->toggleAction());
  // The score as it is typed: each check's compile, as well as Run's (a
  // hidden view asks the check for no notes).
  trackView->followChecks(liveScore_->check());
}

void TfrmMain::createToolBar() {
  ToolBar1 = addToolBar("ToolBar1");
  ToolBar1->setObjectName("ToolBar1");
  ToolBar1->setFixedHeight(29);
  ToolBar1->setMovable(false);
  ToolBar1->setIconSize(QSize(16, 16));
  auto button = [this](QStyle::StandardPixmap icon, const QString& name, const QString& hint,
                       void (TfrmMain::*slot)()) {
    QAction* a = ToolBar1->addAction(style()->standardIcon(icon), UiText(name));
    a->setObjectName("tb" + name);
    a->setToolTip(UiText(hint.isEmpty() ? name : hint));
    connect(a, &QAction::triggered, this, slot);
    actions_.insert("tb" + name, a);
    return a;
  };
  ToolBar1->addSeparator();
  button(QStyle::SP_FileIcon, zan::N_("New"), {}, &TfrmMain::New1Click);
  button(QStyle::SP_DialogOpenButton, zan::N_("Open"), {}, &TfrmMain::Open1Click);
  QAction* save = button(QStyle::SP_DialogSaveButton, zan::N_("Save"), {}, nullptr);
  connect(save, &QAction::triggered, this, [this] { Save1Click(); });
  ToolBar1->addSeparator();
  button(QStyle::SP_MediaPlay, zan::N_("Run"), {}, &TfrmMain::RunCompilePlay1Click);
  button(QStyle::SP_MediaSeekBackward, zan::N_("Replay"), zan::N_("Replay(P)"), &TfrmMain::RePlay1Click)->setEnabled(false);
  button(QStyle::SP_MediaStop, zan::N_("Stop"), zan::N_("Stop(P)"), &TfrmMain::RePlay1Click)->setEnabled(false);
  button(QStyle::SP_MediaPause, zan::N_("Pause"), zan::N_("Pause: again to go on (Ctrl+Space)"), &TfrmMain::Pause1Click);
  button(QStyle::SP_MediaSkipBackward, zan::N_("StopAtReplayPoint"), zan::N_("Stop at the replay point (Ctrl+Shift+Space)"),
         &TfrmMain::Stop1Click);
  ToolBar1->addSeparator();
  button(QStyle::SP_ArrowRight, zan::N_("InsertLine"), zan::N_("Insert Line (L)"), &TfrmMain::InsertLineClick);
  button(QStyle::SP_FileDialogDetailedView, zan::N_("CommentList"), zan::N_("Comment List"), &TfrmMain::CommentList1Click);
  ToolBar1->addSeparator();
  button(QStyle::SP_BrowserReload, zan::N_("ResetPlayer"), {}, &TfrmMain::ResetPlayer1Click);
  ToolBar1->addWidget(scrMP);
  playTime_ = playback_->playTime();
  ToolBar1->addWidget(playTime_);
  playback_->stopButton = actions_["tbStop"];
  playback_->replayButton = actions_["tbReplay"];
}

void TfrmMain::createStatusBar() {
  panel0_ = new QLabel(this);
  // 50 px, and wider when a long score's line numbers need it.
  panel0_->setMinimumWidth(50);
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
void TfrmMain::setStatus(const QString& text) {
  panel1_->setText(text);
  // Panel 1 is 500 pixels wide: a longer message shows whole in its tool tip.
  panel1_->setToolTip(panel1_->fontMetrics().horizontalAdvance(text) > panel1_->contentsRect().width() ? text : QString());
}
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

void TfrmMain::ImportMIDI1Click() {
  const QString path = QFileDialog::getOpenFileName(this, UiText("Import MIDI"), QFileInfo(fileName).absolutePath(),
                                                    UiText("MIDI files (*.mid *.midi *.smf);;All files (*)"));
  if (!path.isEmpty()) importMidiFile(path);
}

bool TfrmMain::importMidiFile(const QString& path) {
  QStringList warnings;
  if (!document_->importMidi(path, warnings)) return false;
  setStatus(warnings.isEmpty() ? UiText("Imported %1").arg(QFileInfo(path).fileName())
                               : UiText("Imported %1: %2").arg(QFileInfo(path).fileName(), warnings.join("; ")));
  return true;
}
void TfrmMain::openFromCommandLine(const QString& path) { openFile(path); }

void TfrmMain::offerRecovery() {
  recovery->offerRestore([this](const CrashRecovery::Copy& copy) {
    // The document as it was saved, then the text as it was typed.
    if (!copy.document.isEmpty() && QFileInfo(copy.document) != QFileInfo(fileName) &&
        !(QFileInfo::exists(copy.document) && openFile(copy.document)))
      document_->adoptName(copy.document);  // gone or unreadable: Save writes it anew
    reMain->setPlainText(copy.text);
    reMain->document()->setModified(true);
    setStatus(UiText("Restored the unsaved changes kept at ") + copy.written.toString("HH:mm:ss"));
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
  if (!writeSettings()) ErrorBox(UiText("Cannot save the settings in \"%1\"").arg(settingsPath()));
  trackView->writeSettings();
  liveScore_->writeSettings();
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

