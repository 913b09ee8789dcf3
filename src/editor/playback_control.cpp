// SPDX-License-Identifier: MIT
#include "playback_control.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QTextBlock>

#include <algorithm>
#include <cmath>
#include <exception>

#include "app_paths.h"
#include "ext_memo.h"
#include "frm_msg_unit.h"
#include "playback_clock.h"
#include "playback_highlighter.h"
#include "playback_score.h"
#include "player/player.h"
#include "player_settings.h"
#include "text_boxes.h"
#include "track_bar.h"
#include "track_view.h"
#include "tracks_panel.h"
#include "zan/music.h"
#include "zan/tsmf.h"

using zan::player::Mode;

namespace {

int clampToInt(int64_t v) { return static_cast<int>(std::min<int64_t>(v, INT32_MAX)); }

}  // namespace

PlaybackControl::PlaybackControl(RunHost host, QWidget* parent)
    : QObject(parent), host_(std::move(host)),
      player_(std::make_unique<zan::player::Player>(loadPlayerSettings().config)),
      score_(std::make_unique<PlaybackScore>()), clock_(new PlaybackClock(player_.get(), this)),
      slider_(new TTrackBar(parent)), playTime_(new QLabel(playTimeText(0, 0), parent)) {
  // The synthesizer and its SoundFont load while the window opens, so the
  // first Run sounds at once.
  player_->warmUp();
  slider_->setObjectName("scrMP");
  // It takes the tool bar's spare width; its design width is the least.
  slider_->setMinimumWidth(169);
  slider_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  connect(slider_, &TTrackBar::userMoved, this, &PlaybackControl::sliderMoved);
  playTime_->setObjectName("playTime");
  playTime_->setContentsMargins(6, 0, 6, 0);
  auto showPlayTime = [this] { playTime_->setText(playTimeText(slider_->value(), slider_->maximum())); };
  connect(slider_, &QAbstractSlider::valueChanged, this, showPlayTime);
  connect(slider_, &QAbstractSlider::rangeChanged, this, showPlayTime);
  connect(clock_, &PlaybackClock::second, this, &PlaybackControl::secondTick);
}

PlaybackControl::~PlaybackControl() = default;

void PlaybackControl::follow(TrackView* trackView, TracksPanel* tracks, PlaybackHighlighter* highlighter) {
  trackView_ = trackView;
  tracks_ = tracks;
  // Track View's playhead stands where the slider does when nothing plays,
  // so that after Stop both show the same place.
  connect(clock_, &PlaybackClock::ticked, this, [this, highlighter](qint64 ms, bool playing) {
    highlighter->showAt(ms);
    tracks_->refreshLevels();
    trackView_->showPosition(playing ? static_cast<double>(ms) : (player_->isOpen() ? slider_->value() : -1.0), playing);
  });
  trackView_->setLoopSource([this] {
    const auto [a, b] = player_->loopMs();
    return std::pair<double, double>(static_cast<double>(a), static_cast<double>(b));
  });
  // A click on the ruler moves the playback there as the slider does, and a
  // playing score plays on from there.
  connect(trackView_, &TrackView::seekRequested, this, [this](qint64 ms) {
    const bool playing = player_->mode() == Mode::Playing;
    const int position = static_cast<int>(std::min<qint64>(ms, slider_->maximum()));
    slider_->setValue(position);
    sliderMoved(position);
    if (playing) player_->play();
    clock_->tickNow();
  });
  // A drag on the ruler loops playback over its range, as Loop Selection
  // does (and is the range Loop Selection takes when no text is selected).
  connect(trackView_, &TrackView::loopRequested, this, [this](qint64 from, qint64 to) {
    // Before the first Run the slider has no length yet: the range stands.
    const qint64 end = slider_->maximum() > 0 ? slider_->maximum() : INT32_MAX;
    const int a = static_cast<int>(std::min<qint64>(from, end));
    const int b = static_cast<int>(std::min<qint64>(to, end));
    slider_->setSelStart(a);
    slider_->setSelEnd(b);
    if (b <= a) return;
    // Set while stopped too: the next Run plays it.
    setLoop(a, b);
    host_.loopAction->setChecked(true);
    if (!player_->isOpen()) return;
    // Heard at once: playback outside the range goes to its start.
    const int64_t at = player_->positionMs();
    if (player_->mode() == Mode::Playing && (at < a || at >= b)) {
      player_->setPositionMs(a);
      player_->play();
    }
  });
}

void PlaybackControl::openPlayer() {
  // What another compile (the checker's) plays is not Run's score.
  music_.reset();
  openPlayer(nullptr);
}

void PlaybackControl::openPlayer(const std::vector<uint8_t>* bytes) {
  score_->clear();
  tracks_->scoreChanged();
  player_->configure(loadPlayerSettings().config);
  if (bytes) player_->open(*bytes, midPath().toStdString());
  else player_->open(midPath().toStdString());
  tracks_->applyMutes(*host_.compiler);
}

void PlaybackControl::showPlayerNote() {
  if (playerNote_) playerNote_->setText(QString::fromStdString(player_->statusText()));
}

QString PlaybackControl::playerNote() const { return playerNote_ ? playerNote_->text() : QString(); }

void PlaybackControl::deleteMidFile() {
  if (QFile::exists(midPath())) {
    player_->close();  // the player may hold it
    QFile::remove(midPath());
  }
  midHoldsText_ = false;
}

void PlaybackControl::forget() {
  deleteMidFile();
  paused_ = false;
  loopA_ = loopB_ = 0;
  player_->close();
  player_->clearLoop();
  music_.reset();
  score_->clear();
  tracks_->scoreChanged();
  slider_->setMaximum(0);
  slider_->setValue(0);
  slider_->setSelStart(0);
  slider_->setSelEnd(0);
  slider_->setLoopMarks(0, 0);
  host_.loopAction->setChecked(false);
  trackView_->clear();
  clock_->tickNow();
}

bool PlaybackControl::playingRun() const {
  return music_ && player_->isOpen() && (player_->mode() == Mode::Playing || paused_);
}

bool PlaybackControl::swapMusic(std::shared_ptr<const zan::player::Sequence> playable, std::shared_ptr<const zan::Music> music) {
  if (!playable || !music || !playingRun()) return false;
  if (!player_->swap(std::move(playable))) return false;
  // The player keeps the loop on its ticks; its marks move the same way.
  if (loopB_ > loopA_) {
    const auto moved = [&](int64_t ms) {
      return std::llround(music->tempo().msOfTick(music_->tempo().tickOfMs(static_cast<double>(ms))));
    };
    loopA_ = moved(loopA_);
    loopB_ = moved(loopB_);
    slider_->setLoopMarks(clampToInt(loopA_), clampToInt(loopB_));
  }
  music_ = std::move(music);
  slider_->setMaximum(clampToInt(music_->lengthUs() / 1000));
  buildScore();
  return true;
}

void PlaybackControl::setLoop(int64_t a, int64_t b) {
  loopA_ = a;
  loopB_ = b;
  if (player_->isOpen()) player_->setLoopMs(a, b);
  slider_->setLoopMarks(clampToInt(a), clampToInt(b));
}

void PlaybackControl::loopSelection(bool on) {
  if (on) {
    run(Start::Loop);
  } else {
    loopA_ = loopB_ = 0;
    player_->clearLoop();
    slider_->setLoopMarks(0, 0);
  }
}

void PlaybackControl::buildScore() {
  if (music_) score_->setMusic(music_, host_.editor->lines());
  tracks_->scoreChanged();
}

bool PlaybackControl::startAt(Start start) {
  // The caret's time, or the selection's A and B (else the slider's).
  buildScore();
  TExtMemo* editor = host_.editor;
  QTextCursor c = editor->textCursor();
  const auto placeOf = [&](int position) {
    const QTextBlock block = editor->document()->findBlock(position);
    return std::pair{block.blockNumber(), position - block.position()};
  };
  const auto [line, column] = placeOf(c.selectionStart());
  int64_t a = score_->timeAtMs(line, column);
  if (start == Start::Caret) {
    player_->setStartPositionMs(std::max<int64_t>(a, 0));
    return true;
  }
  int64_t b = -1;
  if (c.hasSelection()) {
    const auto [endLine, endColumn] = placeOf(c.selectionEnd());
    b = score_->timeAtMs(endLine, endColumn);
    if (b <= a) b = score_->endBeforeMs(endLine, endColumn, a);
  } else if (slider_->selEnd() > slider_->selStart()) {
    a = slider_->selStart();
    b = slider_->selEnd();
  }
  if (a < 0 || b <= a) {
    host_.loopAction->setChecked(false);
    host_.setStatus(UiText("Loop Selection: select the notes to loop (or a range of the slider)"));
    return false;
  }
  setLoop(a, b);
  player_->setStartPositionMs(a);
  return true;
}

bool PlaybackControl::compile() {
  TfrmMsg* messages = host_.messages;
  zan::TSmf& compiler = *host_.compiler;
  host_.setStatus("Compile Start");
  QApplication::processEvents();
  player_->close();
  if (host_.autoSave()) host_.save();
  messages->ClearMessages();
  compiler.Reset();
  host_.loadCompilerLines();
  messages->suspendUpdates(true);
  try {
    // The file is written for other programs; the player plays the bytes
    // from memory, and every view reads the one model of the compile.
    zan::MusicRecorder recorder(compiler);
    compiler.Compile(midPath().toStdString(), written_);
    music_ = recorder.music();
    trackView_->setMusic(music_);
  } catch (...) {
    messages->suspendUpdates(false);
    throw;
  }
  host_.compileDone();
  midHoldsText_ = true;
  // The compile's own count: a _print text holding the letters "err" is
  // no error.
  midClean_ = compiler.errorsReported == 0;
  QApplication::processEvents();
  messages->suspendUpdates(false);
  messages->hideDebugPage();
  if (host_.showMessages()) host_.messageView();
  if (!midClean_) {
    host_.setStatus(UiText("Error"));
    if (host_.errorBeep()) {
      messages->focusMessageList();
      QApplication::beep();
    }
    return false;
  }
  host_.setStatus(UiText("ok"));
  return true;
}

bool PlaybackControl::compileOnly() {
  try {
    return compile();
  } catch (const std::exception&) {
    host_.compileDone();
    host_.setStatus(UiText("Could not compile ..."));
    return false;
  }
}

void PlaybackControl::run(Start start) {
  paused_ = false;
  try {
    if (!compile()) return;
    QApplication::processEvents();
    openPlayer(&written_);
    written_.clear();
    const int length = clampToInt(player_->lengthMs());
    slider_->setMaximum(length);
    const bool looping = host_.loopAction->isChecked() && loopB_ > loopA_ && start != Start::Loop;
    if (start != Start::Loop && !looping) {
      host_.loopAction->setChecked(false);
      slider_->setLoopMarks(0, 0);
    }
    if (start == Start::Loop || start == Start::Caret) {
      if (!startAt(start)) return;
    } else if (length > slider_->selStart()) {
      player_->setStartPositionMs(slider_->selStart());
    } else {
      slider_->setSelStart(0);
      slider_->setSelEnd(0);
    }
    // A loop that is on stays on across Run, Play From Caret and Replay:
    // the music starts inside it.
    if (looping) {
      setLoop(loopA_, loopB_);
      const int64_t from = start == Start::Caret ? score_->timeAtMs(host_.editor->caretLine(), host_.editor->caretColumn())
                                                 : slider_->selStart();
      player_->setStartPositionMs(from >= loopA_ && from < loopB_ ? from : loopA_);
    }
    player_->play();
    host_.setStatus(UiText("playing"));
    showPlayerNote();
    // The notes' text and times: read while the music already sounds.
    if (start == Start::ReplayPoint) buildScore();
  } catch (const std::exception&) {
    host_.compileDone();
    host_.setStatus(UiText("Could not compile ..."));
    showPlayerNote();  // what the player could not do: no SoundFont, say
  }
}

void PlaybackControl::pause() {
  const Mode mode = player_->mode();
  if (mode == Mode::Playing) {
    player_->stop();
    paused_ = true;
    slider_->setValue(clampToInt(player_->positionMs()));
    host_.setStatus(UiText("Paused"));
  } else if (paused_ && mode == Mode::Stopped) {
    paused_ = false;
    player_->play();
    host_.setStatus(UiText("playing"));
  }
  clock_->tickNow();
}

void PlaybackControl::stop() {
  paused_ = false;
  if (player_->mode() == Mode::Playing) player_->stop();
  if (player_->isOpen()) player_->setPositionMs(slider_->selStart());
  clock_->tickNow();
}

void PlaybackControl::replay() {
  paused_ = false;
  const Mode mode = player_->mode();
  if (mode == Mode::Stopped) {
    player_->setPositionMs(slider_->selStart());
    player_->play();
  } else if (mode == Mode::Playing) {
    player_->stop();
  }
  clock_->tickNow();
}

void PlaybackControl::resetPlayer() {
  if (player_->mode() == Mode::Playing) replay();
  slider_->setSelEnd(0);
  slider_->setSelStart(0);
  // A synthesizer or device gone wrong is set up afresh; Run keeps it
  // otherwise.
  try {
    player_->restart();
  } catch (const std::exception&) {
  }
  showPlayerNote();
}

void PlaybackControl::sliderMoved(int position) {
  const Mode mode = player_->mode();
  if (mode == Mode::Stopped || mode == Mode::Playing) player_->setPositionMs(position);
  slider_->setSelStart(position);
  slider_->setSelEnd(slider_->maximum());
}

void PlaybackControl::secondTick() {
  const Mode mode = player_->mode();
  TfrmMsg* messages = host_.messages;
  if (mode == Mode::Playing) {
    slider_->setValue(clampToInt(player_->positionMs()));
    if (!stopButton->isEnabled()) {
      stopButton->setEnabled(true);
      replayButton->setEnabled(false);
    }
    if (messages && playLineIndex_ < messages->messageLineCount()) {
      host_.setStatus(UiText("playing (") + QString::number(playLineIndex_) + ") " + messages->messageLine(playLineIndex_));
      ++playLineIndex_;
    } else {
      playLineIndex_ = 0;
      host_.setStatus(UiText("status & Message View"));
    }
  } else if (stopButton->isEnabled()) {
    stopButton->setEnabled(false);
    if (mode == Mode::Stopped) replayButton->setEnabled(true);
    // Paused, the slider stays where the music stands.
    if (paused_) return;
    host_.setStatus("ok");
    slider_->setValue(0);
    clock_->tickNow();
  }
}
