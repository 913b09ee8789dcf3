// SPDX-License-Identifier: MIT
// TfrmMain: the main window. It holds the score in the editor and owns the
// one compiler object for the life of the process; it makes the menus, tool
// bar and status bar and wires the features to them. The handlers keep
// their menu names and hand the work to the feature that does it: the
// document (Document), Run and the player (PlaybackControl, through
// run_play.cpp), Find (TextSearch), macro look-up (search_commands.cpp), bookmarks
// (bookmarks.cpp).
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
class LiveUpdate;
class TrackView;
class QKeyEvent;
class PlaybackScore;
class PlaybackHighlighter;
class TracksPanel;
class Document;
class PlaybackControl;
class Bookmarks;
class TextSearch;
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
  std::unique_ptr<zan::TSmf> compiler;
 private:
  Document* document_;          // name, encoding, modified flag, open and save
  Bookmarks* bookmarks_ = nullptr;  // the bookmark keys and the context menu's lists
  TextSearch* search_;              // Find and Find Next
  PlaybackControl* playback_;   // Run, the player and the clock every view follows
 public:
  TTrackBar* scrMP;                    // the playback slider (the control's)
  zan::player::Player* mp;             // the player (the control's)
  PlaybackScore* playbackScore;        // the notes of the last Run, with their text and times (the control's)
  PlaybackHighlighter* highlighter = nullptr;    // lights the sounding notes; owns "Follow Playback"
  TracksPanel* tracksPanel = nullptr;            // the "Tracks" dock
  TfrmMsg* frmMsg = nullptr;
  TfrmList* frmList = nullptr;
  TfrmChecker* frmChecker = nullptr;
  LiveScore* liveScore_ = nullptr;  // colours, gutter, checking while typing, time at the caret
  LiveUpdate* liveUpdate_ = nullptr;  // an edit heard while the music plays
  TrackView* trackView = nullptr;  // the last compile drawn as tracks (View > Track View, F6)

  // ---- Fields -------------------------------------------------------------
  QString& fileName;            // the document's full path; empty when unnamed
  TextEncoding& fileEncoding;   // how the document is written back
  QString& findText;            // last search text of Find / Find Next (the search's)
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
  void forgetCompiledText();
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
  void ImportMIDI1Click();
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
  void Pause1Click();  // pauses; again, plays on from there
  void Stop1Click();   // stops; the next play starts at the replay point
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
  void Metre1Click();  // the score's {metre 3/4} comment, written or changed
  void EditMark1Click();
  void ColorEditMark1Click();
  // Help.
  void Help2Click();
  void About1Click();  // version, licence, the SoundFont in use, where settings live
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
  // File > Import MIDI... without its dialog: the score of the MIDI file
  // as a new, unsaved document; what was dropped in the status bar.
  bool importMidiFile(const QString& path);
  bool exportTo(const QString& path);  // copies zan.mid, compiling first when it is missing
  void UpdateCaption();

 signals:
  // The window closed for good (its close prompt allowed it): the program
  // ends with it.
  void closed();

 public:
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
  void createActions();
  void createMenus();
  void createToolBar();
  void createStatusBar();
  void createTrackView();
  void createPlayback();
  void readSettings();
  bool writeSettings();
  void reMainChange();
  QString WordAtCaret();
  std::array<TEditMark*, 3> switchableMarks();
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
  QMenu* viewMenu_ = nullptr;  // View: the features that show something add their switches here
  QMenu* runMenu_ = nullptr;   // Run: the playback features add their commands here
 public:
  TRecentFiles* recentFiles = nullptr;  // File > Open Recent
  CrashRecovery* recovery = nullptr;    // the recovery copy of the modified document
 private:
  QString compileNote_;        // the unencodable-character note of the coming compile
};
