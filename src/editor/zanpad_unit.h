// TfrmMain: the main window. It holds the score in the editor, owns the one
// compiler object and the player for the life of the process, and carries
// the menus, tool bar and status bar from which every feature is reached.
// The handlers keep their menu names; their bodies are split by theme:
// documents and settings here, Run and the player in run_play.cpp, search
// and macro look-up in search_commands.cpp, bookmarks in bookmarks.cpp.
#pragma once

#include <QHash>
#include <QMainWindow>
#include <QString>

#include <array>
#include <memory>

#include "document_io.h"
#include "frm_msg_unit.h"
#include "settings_file.h"

class QAction;
class QLabel;
class QMenu;
class QTimer;
class QToolBar;
class TExtMemo;
struct TEditMark;
class TTrackBar;
class TfrmMsg;
class TfrmList;
class TfrmChecker;
class THelpWindow;
class TRecentFiles;
class CrashRecovery;
class LiveScore;
class TrackView;
class QKeyEvent;
class PlaybackScore;
class PlaybackHighlighter;
class TracksPanel;
class QDragEnterEvent;
class QDropEvent;

namespace zan {
class TSmf;
namespace player {
class Player;
}
}  // namespace zan

class TfrmMain : public QMainWindow {
  Q_OBJECT

 public:
  // Creates the window (FormCreate). The other windows are attached after
  // they are created, in the order main, message view, list, checker.
  explicit TfrmMain(QWidget* parent = nullptr);
  ~TfrmMain() override;
  void attachWindows(TfrmMsg* msg, TfrmList* list, TfrmChecker* checker);
  // What the message view needs of this window.
  MsgHost messageHost();
  // Loads the file named on the command line.
  void openFromCommandLine(const QString& path);
  // At start-up: offers the recovery copy a crash left behind.
  void offerRecovery();

  // ---- Components --------------------------------------------------------
  TExtMemo* reMain;
  QToolBar* ToolBar1;
  TTrackBar* scrMP;
  QTimer* Timer1;
  std::unique_ptr<zan::TSmf> compiler;
  std::unique_ptr<zan::player::Player> mp;
  std::unique_ptr<PlaybackScore> playbackScore;  // the notes of the last Run, with their text and times
  PlaybackHighlighter* highlighter = nullptr;    // lights the sounding notes; owns "Follow Playback"
  TracksPanel* tracksPanel = nullptr;            // the "Tracks" dock
  TfrmMsg* frmMsg = nullptr;
  TfrmList* frmList = nullptr;
  TfrmChecker* frmChecker = nullptr;
  LiveScore* liveScore_ = nullptr;  // colours, gutter, checking while typing, time at the caret
  TrackView* trackView = nullptr;  // the last compile drawn as tracks (View > Track View, F6)

  // ---- Fields -------------------------------------------------------------
  QString fileName;             // full path of the document; empty when unnamed
  TextEncoding fileEncoding = TextEncoding::Cp932;  // how the document is written back
  QString findText;             // last search text of Find / Find Next
  int playLineIndex = 0;        // next message line the play-time scroller shows
  bool bookmarkKeyHeld = false; // holding the bookmark keys acts once
  QString applicationTitle;     // "zan", or the document's file name

  // ---- Queries for the other windows and the tests ------------------------
  QString statusText() const;   // panel 1
  QString caretText() const;    // panel 0
  void setStatus(const QString& text);
  // Read from the document, never from the caption: a "*" in a file name
  // means nothing.
  bool modified() const;
  bool errorBeep() const;
  bool messageViewOption() const;
  bool autoSave() const;
  QAction* action(const QString& handlerName) const;  // by handler name, e.g. "Save1Click"
  EditorSettings currentSettings() const;
  QMenu* PopupMenu1 = nullptr;
  QStatusBar* sb() const { return statusBar(); }
  // Gives the compiler the editor's lines. A character CP932 cannot hold
  // reaches it as '?', and the next compile notes it once, after its
  // "Compile Start" line.
  void loadCompilerLines();
  // Something other than Run wrote zan.mid (a check): Export compiles again.
  void forgetCompiledText() { midHoldsText_ = false; }
  // Beeps when Error Beep is checked.
  void beepIfWanted();

 public slots:
  // Documents (File menu).
  void New1Click();
  void Open1Click();
  bool Save1Click();
  bool SaveAs1Click();
  void AutoSaVe1Click();
  void ExportSMF1Click();
  void Close1Click();
  // Edit menu.
  void Undo1Click();
  void Redo1Click();
  void Cut1Click();
  void Copy1Click();
  void Paste1Click();
  void SelectAll1Click();
  void InsertLineClick();
  // Find menu.
  void Find2Click();
  void FindNext1Click();
  void FindMacro1Click();
  void CHeckMacro1Click();
  // View menu.
  void ToolBar2Click();
  void StatusBar1Click();
  void MessageView1Click();
  void ErrorBeep1Click();
  // Run menu.
  void RunCompilePlay1Click();
  void RePlay1Click();
  void ResetPlayer1Click();
  void PlayFromCaret1Click();  // compiles as Run does, then plays from the time of the caret
  void LoopSelection1Click();  // checked: compiles and plays the selection's A-B loop; unchecked: no loop
  void scrMPChange(int position);
  void Timer1Timer();
  // Tool menu.
  void CommentList1Click();
  void MessageView2Click();
  void MMLChecker1Click();
  void MIDIDEVICE1Click();
  void Font1Click();
  void Color1Click();
  void EditMark1Click();
  void ColorEditMark1Click();
  // Help.
  void Help2Click();
  // Bookmarks.
  void BookMark91Click(int digit);
  void BookMark92Click(int digit);
  void ToggleBookmark(int digit);
  void GotoBookmark(int digit);
  // Status bar.
  void sbClick();

  // Document helpers the tests drive without dialogs.
  // Opens a score: a MIDI or binary file is refused with a warning; a
  // modified document is offered for saving first (the close prompt). False
  // when nothing was opened; the document is then as it was.
  bool openFile(const QString& path);
  // The close prompt for a modified document: true when the caller may go on
  // (saved, or the user chose not to), false on Cancel or a failed save.
  bool maySaveChanges();
  bool saveTo(const QString& path);
  bool exportTo(const QString& path);  // copies zan.mid, compiling first when it is missing
  void UpdateCaption();
  void ShowCaretPos();
  // Searches the editor for findText (Find step 2 and 3).
  void searchText();
  // The player settings changed: the next open uses them.
  void applyPlayerSettings();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  enum class PlayStart { ReplayPoint, Caret, Loop };
  // Run's steps; playing starts at the replay point (Run), the caret's time,
  // or the selection's A with the loop set.
  void runAndPlay(PlayStart start);
  bool startAt(PlayStart start);  // false: no loop to play (said in the status)
  void buildPlaybackScore();
  void createActions();
  void createMenus();
  void createToolBar();
  void createStatusBar();
  void createTrackView();
  void readSettings();
  bool writeSettings();
  void reMainChange();
  void reMainKeyDown(QKeyEvent* event);
  void reMainKeyUp(QKeyEvent* event);
  QString WordAtCaret();
  void deleteMidFile();
  std::array<TEditMark*, 3> switchableMarks();
  bool confirmUnencodable();
 public:
  void openPlayer();  // opens mp on zan.mid with the current player settings; throws on failure
  void showPlayerNote();  // the player's degraded state ("no audio device") in panel 2
  QString playerNote() const;
 private:

  QHash<QString, QAction*> actions_;  // by handler name
  QLabel* panel0_;
  QLabel* panel1_;
  QLabel* panel2_;  // the player's notes, beside the two panels
  QLabel* playTime_;  // "position / length" beside the slider
  EditorSettings settings_;
  THelpWindow* help_ = nullptr;
 public:
  TRecentFiles* recentFiles = nullptr;  // File > Open Recent
  CrashRecovery* recovery = nullptr;    // the recovery copy of the modified document
 private:
  bool clearingModified_ = false;  // UpdateCaption is clearing the document's modified flag
  QString compileNote_;        // the unencodable-character note of the coming compile
  bool midHoldsText_ = false;  // zan.mid is Run's compile of the text as it stands
  bool midClean_ = false;      // ... and that compile reported no error line
};
