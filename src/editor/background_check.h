// SPDX-License-Identifier: MIT
// BackgroundCheck: compiles the score a moment after the last edit, on a
// worker thread with a compiler object of its own, into memory: no file is
// written and "zan.mid" is left alone. The result (the errors placed in the
// text, where each line began in time) comes back by a queued signal; a
// result for a text that has changed since is dropped.
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <atomic>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "metre.h"

class QThread;
class TrackViewModel;
class QPlainTextEdit;
namespace zan {
class Music;
class TSmf;
namespace player {
struct Sequence;
}
}  // namespace zan

// One error of a check, placed in the editor's text.
struct CheckMark {
  int line = 0;             // the editor's line (from 0)
  int from = 0;             // characters of that line to underline
  int length = 0;
  bool elsewhere = false;   // found in an included file: marked on its #include line
  QString message;          // the compiler's error line, and for an included file where in it
  QString explanation;      // what the error number means, in English
};

struct CheckResult {
  quint64 generation = 0;           // the text it was made from
  std::vector<CheckMark> marks;     // in the order the compiler reported them
  // The compile's music: its tempo map and where each line began, and its
  // tracks and notes only when a view asked for them (setNotesWanted).
  std::shared_ptr<const zan::Music> music;
  Metre metre;                      // as the score names it, {metre 3/4}
  double milliseconds = 0;          // how long the compile took
  std::shared_ptr<const TrackViewModel> tracks;  // the music as the track view draws it, when notes were wanted
  // The file the compile makes, read for the player to swap in: only when
  // asked for (the music plays, live) and the compile reported no error.
  std::shared_ptr<const zan::player::Sequence> playable;
};

// Checks `text` (the editor's lines joined by U+2029, as the document holds
// them) as Run would compile it, with `compiler`, in memory; `scorePath` is
// the document's file ("" when never saved), beside which an #include
// looks; with `notes`, the music's tracks and notes are built too.
// With `playable`, a compile with no error also yields the file, ready for
// Player::swap (and the notes, which the swapped music lights).
// REQUIRES: one thread at a time uses `compiler`.
CheckResult checkScore(zan::TSmf& compiler, const QString& text, const QString& scorePath = {}, bool notes = true,
                       bool playable = false);

class CheckWorker;

class BackgroundCheck : public QObject {
  Q_OBJECT

 public:
  static constexpr int kDelayMs = 400;  // after the last edit
  // After the last edit while an edit is heard live: the check costs a few
  // milliseconds, and a player waiting on the next pass wants it soon; still
  // long enough that a word typed at speed is checked once, not per key.
  static constexpr int kLiveDelayMs = 150;

  explicit BackgroundCheck(QPlainTextEdit* editor, QObject* parent = nullptr);
  ~BackgroundCheck() override;

  // Off: no check runs, and the last result is withdrawn (an empty one is sent).
  void setEnabled(bool on);
  bool isEnabled() const { return enabled_; }
  // Starts a check of the text as it stands, without waiting.
  void checkNow();
  bool busy() const { return pending_ > 0; }
  // Whether a view shows the notes (the track view): a check without them
  // builds only the tempo map and the line starts. On by default.
  void setNotesWanted(bool on);
  bool notesWanted() const { return notesWanted_; }
  // The document's file, for #include; "" when it has none. The next check uses it.
  void setScorePath(const QString& path) { scorePath_ = path; }
  // Asked at each edit and each check: true while the music the check makes
  // is to be heard at once (CheckResult::playable); the pause after typing is
  // then kLiveDelayMs.
  void setLiveSource(std::function<bool()> live) { live_ = std::move(live); }

 signals:
  void resultReady(const CheckResult& result);

 private:
  void textChanged();
  void receive(const CheckResult& result);

  QPlainTextEdit* editor_;
  QString scorePath_;  // the document's file, "" when never saved
  std::function<bool()> live_;  // setLiveSource; unset: never live
  bool enabled_ = true;
  bool notesWanted_ = true;
  QTimer timer_;
  QThread* thread_;
  CheckWorker* worker_;
  quint64 generation_ = 0;  // counts edits
  int pending_ = 0;         // checks asked for and not yet answered
  std::shared_ptr<std::atomic<quint64>> latest_;  // the newest generation asked for; older requests are skipped
};

// The English explanation of error `number` from the language reference.
QString errorExplanation(int number);
