// SPDX-License-Identifier: MIT
// PlaybackControl: Run and everything that plays. Run compiles the whole
// text into "zan.mid" and, when the compile reports no error, plays it at
// once; around it: Stop & RePlay, Reset Player, Play From Caret, Loop
// Selection, the slider whose selection start is the replay point, the
// status scroller, and Track View's seeks and loops. It owns the player and
// the one clock (PlaybackClock) that every view following the music moves on.
#pragma once

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QAction;
class QLabel;
class QWidget;
class PlaybackClock;
class PlaybackHighlighter;
class PlaybackScore;
class TExtMemo;
class TfrmMsg;
class TrackView;
class TracksPanel;
class TTrackBar;

namespace zan {
class Music;
class TSmf;
namespace player {
class Player;
struct Sequence;
}
}  // namespace zan

// What Run needs of the window around it.
struct RunHost {
  TExtMemo* editor = nullptr;
  zan::TSmf* compiler = nullptr;     // the window's one compiler
  TfrmMsg* messages = nullptr;       // the message view (attached after the window is made)
  std::function<void(const QString&)> setStatus;
  std::function<void()> loadCompilerLines;  // the editor's text into the compiler
  std::function<void()> compileDone;        // the compile is over: notes about it are spent
  std::function<bool()> autoSave;           // File > Auto Save is checked
  std::function<void()> save;
  std::function<bool()> showMessages;  // View > Message View is checked
  std::function<void()> messageView;   // shows it
  std::function<bool()> errorBeep;
  QAction* loopAction = nullptr;  // Run > Loop Selection's check mark
};

class PlaybackControl : public QObject {
  Q_OBJECT

 public:
  PlaybackControl(RunHost host, QWidget* parent);
  ~PlaybackControl() override;
  void setMessages(TfrmMsg* messages) { host_.messages = messages; }
  void setLoopAction(QAction* loop) { host_.loopAction = loop; }

  zan::player::Player* player() const { return player_.get(); }
  PlaybackScore* score() const { return score_.get(); }
  PlaybackClock* clock() const { return clock_; }
  TTrackBar* slider() const { return slider_; }
  QLabel* playTime() const { return playTime_; }  // "position / length" beside the slider
  // The views that follow the music; each moves on the clock's ticks.
  void follow(TrackView* trackView, TracksPanel* tracks, PlaybackHighlighter* highlighter);

  enum class Start { ReplayPoint, Caret, Loop };
  // Run's steps; playing starts at the replay point (Run), the caret's time,
  // or the selection's A with the loop set.
  void run(Start start);
  // Run's compile alone: zan.mid and the message view, nothing played. True
  // when the compile reported no error.
  bool compileOnly();
  void pause();        // pauses, or resumes where it paused
  void stop();         // stops; the next play starts at the replay point
  void loopSelection(bool on);
  void replay();       // Stop & RePlay
  void resetPlayer();
  void sliderMoved(int position);
  void secondTick();   // the status scroller and the buttons' states
  // Another document: nothing of the previous one is played or shown.
  void forget();
  // Whether music Run started is playing (or paused), so that an edit can
  // be heard at once.
  bool playingRun() const;
  // The player takes `playable` where it stands (Player::swap), and every
  // view follows `music`, its model; the loop keeps its bars. False, with
  // nothing changed, when no music of Run's plays.
  bool swapMusic(std::shared_ptr<const zan::player::Sequence> playable, std::shared_ptr<const zan::Music> music);

  bool compiledText() const { return midHoldsText_; }  // zan.mid is Run's compile of the text as it stands
  bool compiledClean() const { return midClean_; }     // ... and that compile reported no error
  void textChanged() { midHoldsText_ = false; }
  void forgetCompiledText() { midHoldsText_ = false; }
  // Opens the player on zan.mid with the current settings; throws on failure.
  void openPlayer();
  void showPlayerNote();  // the player's degraded state ("no audio device") in panel 2
  QString playerNote() const;
  void setPlayerNoteLabel(QLabel* label) { playerNote_ = label; }
  QAction* stopButton = nullptr;    // the tool bar's Stop and Replay, enabled by the state
  QAction* replayButton = nullptr;

 private:
  bool startAt(Start start);  // false: no loop to play (said in the status)
  bool compile();             // Run's compile; true when it reported no error
  void setLoop(int64_t a, int64_t b);
  void buildScore();
  void deleteMidFile();
  // Opens the player on `bytes` (the file Run has just written), else on zan.mid.
  void openPlayer(const std::vector<uint8_t>* bytes);

  RunHost host_;
  std::unique_ptr<zan::player::Player> player_;
  std::vector<uint8_t> written_;  // the file Run's compile has just written, until the player has it
  std::shared_ptr<const zan::Music> music_;  // the last Run's compile, as every view reads it; null when none
  std::unique_ptr<PlaybackScore> score_;  // the notes of the last Run, with their text and times
  PlaybackClock* clock_;
  TTrackBar* slider_;
  QLabel* playTime_;
  QLabel* playerNote_ = nullptr;
  TrackView* trackView_ = nullptr;
  TracksPanel* tracks_ = nullptr;
  int playLineIndex_ = 0;       // next message line the play-time scroller shows
  bool paused_ = false;         // stopped by Pause: Pause again resumes there
  int64_t loopA_ = 0, loopB_ = 0;  // the A-B loop while Loop Selection is checked, in ms
  bool midHoldsText_ = false;
  bool midClean_ = false;
};
