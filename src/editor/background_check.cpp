// SPDX-License-Identifier: MIT
#include "background_check.h"

#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTextDocument>
#include <QThread>

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>

#include "document_io.h"
#include "player/player.h"
#include "text_boxes.h"
#include "text_columns.h"
#include "track_view_model.h"
#include "zan/compile_report.h"
#include "zan/cp932.h"
#include "zan/music.h"
#include "zan/reference.h"
#include "zan/tsmf.h"

namespace {

// An error of the compile as the editor marks it: on its line of the score,
// or, found in an included file, on the #include that led there.
CheckMark markOf(const zan::Diagnostic& d, const zan::CompileReport& report, const QStringList& lines) {
  CheckMark m;
  m.message = QString::fromStdString(zan::toUtf8(d.text));
  m.explanation = errorExplanation(d.errorNumber);
  int32_t file = d.file, line = d.line, column = d.column, endColumn = d.endColumn;
  if (file > 0 && static_cast<size_t>(file) < report.files.size()) {
    const zan::SourceFile& included = report.files[static_cast<size_t>(file)];
    m.elsewhere = true;
    m.message = UiText("In \"%1\" line %2: %3").arg(QString::fromStdString(zan::toUtf8(included.name))).arg(d.line).arg(m.message);
    for (int guard = 0; file > 0 && guard < 64; ++guard) {
      const zan::SourceFile& f = report.files[static_cast<size_t>(file)];
      file = f.includedFromFile;
      line = f.includedFromLine;
      column = f.includedFromColumn;
      endColumn = f.includedFromEndColumn;
    }
  }
  if (file != 0 || line < 0 || line >= lines.size()) {
    m.line = std::max(static_cast<int>(lines.size()) - 1, 0);
    return m;
  }
  m.line = line;
  const auto [from, to] = charactersOf(columnsOf(lines[line]), column - 1, endColumn - 1);
  m.from = from;
  m.length = std::max(to - from, 0);
  return m;
}

}  // namespace

CheckResult checkScore(zan::TSmf& smf, const QString& text, const QString& scorePath, bool notes, bool playable) {
  notes = notes || playable;
  QElapsedTimer clock;
  clock.start();
  CheckResult result;
  const QStringList lines = text.split(QChar::ParagraphSeparator);
  std::vector<zan::LineStart> starts;
  starts.reserve(static_cast<size_t>(lines.size()) + 16);
  smf.Reset();
  smf.sourceLines.assign(toCompilerLines(lines).lines);
  smf.scorePath = scorePath.toStdString();
  smf.lineStarts = &starts;
  std::vector<zan::CommandStart> commands;  // the time at the caret
  smf.commandStarts = &commands;
  std::vector<zan::EventSource> sources;  // for the track view's links to the text
  smf.eventSources = notes ? &sources : nullptr;
  zan::CompileReport report;
  {
    // The errors are placed as zan --diagnostics and zan lsp place them.
    zan::DiagnosticCollector collector(smf, scorePath.toStdString());
    smf.CompileLines();
    report = collector.take();
  }
  smf.lineStarts = nullptr;
  smf.commandStarts = nullptr;

  for (const zan::Diagnostic& d : report.diagnostics)
    if (d.kind == zan::DiagnosticKind::Error) result.marks.push_back(markOf(d, report, lines));

  if (playable && result.marks.empty()) {
    // Built before the music model: the file's order is the one the player
    // hears, and the model's notes then pair as it does.
    try {
      result.playable = zan::player::prepareMusic(smf.BuildSmf(), smf.scorePath);
    } catch (const std::exception&) {
      // A file the player cannot take: the music that plays goes on.
    }
  }
  result.music = zan::Music::build(smf, &sources, &starts, notes ? zan::Music::Parts::Everything : zan::Music::Parts::Timing,
                                   &commands);
  if (notes) result.tracks = std::make_shared<const TrackViewModel>(result.music);
  smf.eventSources = nullptr;
  result.metre = findMetreComment(text).metre;
  result.milliseconds = static_cast<double>(clock.nsecsElapsed()) / 1e6;
  return result;
}

// ---- The worker ----------------------------------------------------------------

class CheckWorker : public QObject {
  Q_OBJECT
 public:
  explicit CheckWorker(std::shared_ptr<std::atomic<quint64>> latest) : latest_(std::move(latest)) {}

  void check(quint64 generation, const QString& text, const QString& scorePath, bool notes, bool playable) {
    CheckResult result;
    // A newer request is already queued: this text is outdated before it starts.
    if (generation >= latest_->load()) result = checkScore(compiler_, text, scorePath, notes, playable);
    result.generation = generation;
    emit done(result);
  }

 signals:
  void done(const CheckResult& result);

 private:
  std::shared_ptr<std::atomic<quint64>> latest_;
  zan::TSmf compiler_;  // this thread's own; never the main window's
};

BackgroundCheck::BackgroundCheck(QPlainTextEdit* editor, QObject* parent)
    : QObject(parent), editor_(editor), thread_(new QThread(this)), latest_(std::make_shared<std::atomic<quint64>>(0)) {
  qRegisterMetaType<CheckResult>("CheckResult");
  worker_ = new CheckWorker(latest_);
  worker_->moveToThread(thread_);
  connect(worker_, &CheckWorker::done, this, &BackgroundCheck::receive, Qt::QueuedConnection);
  thread_->setObjectName("BackgroundCheck");
  // Typing comes first: on Linux a thread's priority is its nice value,
  // which QThread's priorities do not set.
  connect(thread_, &QThread::started, worker_, [] { setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), 10); });
  thread_->start(QThread::LowPriority);

  timer_.setSingleShot(true);
  timer_.setInterval(kDelayMs);
  connect(&timer_, &QTimer::timeout, this, &BackgroundCheck::checkNow);
  connect(editor_->document(), &QTextDocument::contentsChange, this, [this] { textChanged(); });
}

BackgroundCheck::~BackgroundCheck() {
  latest_->store(~quint64{0});  // whatever is queued is skipped
  thread_->quit();
  thread_->wait();
  delete worker_;  // its thread has ended
}

void BackgroundCheck::setEnabled(bool on) {
  if (on == enabled_) return;
  enabled_ = on;
  ++generation_;  // a result on its way is dropped
  if (on) {
    checkNow();
  } else {
    timer_.stop();
    CheckResult none;
    none.generation = generation_;
    emit resultReady(none);
  }
}

void BackgroundCheck::setNotesWanted(bool on) {
  if (on == notesWanted_) return;
  notesWanted_ = on;
  // A view that has just come to show the notes gets them at once.
  if (on && enabled_) checkNow();
}

void BackgroundCheck::textChanged() {
  ++generation_;
  if (enabled_) timer_.start(live_ && live_() ? kLiveDelayMs : kDelayMs);
}

void BackgroundCheck::checkNow() {
  timer_.stop();
  if (!enabled_) return;
  latest_->store(generation_);
  ++pending_;
  // The raw text keeps every character as the lines hold it; the worker
  // splits it. Taking it is one copy, so typing never waits for a check.
  const QString text = editor_->document()->toRawText();
  const quint64 generation = generation_;
  const bool notes = notesWanted_;
  const bool playable = live_ && live_();
  QMetaObject::invokeMethod(
      worker_,
      [w = worker_, generation, text, path = scorePath_, notes, playable] { w->check(generation, text, path, notes, playable); },
      Qt::QueuedConnection);
}

void BackgroundCheck::receive(const CheckResult& result) {
  --pending_;
  if (result.generation != generation_ || !enabled_) return;  // the text has changed since
  emit resultReady(result);
}

// ---- Explanations ------------------------------------------------------------------

QString errorExplanation(int number) {
  // The library reads it from the reference it carries, for zan lsp too.
  return QString::fromStdString(zan::errorDescription(number));
}

#include "background_check.moc"
