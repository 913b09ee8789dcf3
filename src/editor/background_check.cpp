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
#include "syntax_highlighter.h"
#include "text_boxes.h"
#include "track_view_model.h"
#include "zan/cp932.h"
#include "zan/music.h"
#include "zan/reference.h"
#include "zan/tsmf.h"

namespace {

// Characters [from, to) of `line` that bytes [from, to) of its CP932 form cover.
std::pair<int, int> charRange(const QString& line, size_t from, size_t to) {
  std::string bytes;
  std::vector<int> charOf;
  toLineBytes(line, bytes, charOf);
  from = std::min(from, bytes.size());
  to = std::clamp(to, from, bytes.size());
  if (from == to) return {charOf[from], charOf[from]};
  const int last = charOf[to - 1];
  return {charOf[from], charOf[to] > last ? charOf[to] : last + 1};
}

// Where on its line an error is shown. The compiler's cursor stands at or
// just after what it was reading; while the line is as written up to there
// (no macro expanded before it), the detail is looked for ending there, and
// else anywhere on the line, as the Debug view looks for it. Otherwise the
// line itself, without its leading and trailing blanks.
std::pair<int, int> placeOnLine(const QString& line, const std::string& source, const std::string& compiled,
                                int column, const std::string& detail) {
  size_t at = std::string::npos;
  const size_t cursor = static_cast<size_t>(std::max(column - 1, 0));
  if (!detail.empty()) {
    if (cursor <= compiled.size() && source.compare(0, cursor, compiled, 0, cursor) == 0)
      at = source.rfind(detail, cursor);
    if (at == std::string::npos) at = source.find(detail);
  }
  if (at != std::string::npos) return charRange(line, at, at + detail.size());
  const size_t first = source.find_first_not_of(" \t");
  if (first == std::string::npos) return {0, 0};
  const size_t last = source.find_last_not_of(" \t") + 1;
  return charRange(line, first, last);
}

}  // namespace

CheckResult checkScore(zan::TSmf& smf, const QString& text, const QString& scorePath, bool notes) {
  QElapsedTimer clock;
  clock.start();
  CheckResult result;
  const QStringList lines = text.split(QChar::ParagraphSeparator);
  CompilerLines converted = toCompilerLines(lines);
  const std::vector<std::string> source = converted.lines;

  struct Seen {
    int number;
    std::string detail;
    zan::LineOrigin origin;
    int column;
    std::string lineText;
    std::string message;
  };
  std::vector<Seen> seen;
  std::string lastMessage;
  std::vector<zan::LineStart> starts;
  starts.reserve(source.size() + 16);
  smf.Reset();
  smf.sourceLines.assign(std::move(converted.lines));
  smf.scorePath = scorePath.toStdString();
  smf.messageSink = [&](const std::string& m) { lastMessage = m; };
  smf.errorObserver = [&](int number, const std::string& detail) {
    const bool inRange = smf.lineIndex >= 0 && smf.lineIndex < smf.sourceLines.size();
    seen.push_back({number, detail, inRange ? smf.sourceLines.origin(smf.lineIndex) : zan::LineOrigin{-1, 0},
                    smf.column, smf.lineText, lastMessage});
  };
  smf.lineStarts = &starts;
  std::vector<zan::EventSource> sources;  // for the track view's links to the text
  smf.eventSources = notes ? &sources : nullptr;
  smf.CompileLines();
  smf.lineStarts = nullptr;
  smf.errorObserver = nullptr;
  smf.messageSink = nullptr;

  const int lineCount = static_cast<int>(lines.size());
  for (const Seen& e : seen) {
    CheckMark m;
    m.message = QString::fromStdString(zan::toUtf8(e.message));
    m.explanation = errorExplanation(e.number);
    const int32_t line = smf.sourceLines.scoreLine(e.origin);
    if (line < 0 || line >= lineCount) {
      // After the last line (a repeat left open) or on a line the compiler
      // made: shown on the last line.
      m.line = std::max(lineCount - 1, 0);
    } else if (e.origin.file != 0) {
      m.line = line;
      m.elsewhere = true;
      const QString name = QString::fromStdString(zan::toUtf8(smf.sourceLines.includeFiles()[static_cast<size_t>(e.origin.file - 1)]));
      m.message = UiText("In \"%1\" line %2: %3").arg(name).arg(e.origin.line).arg(m.message);
      const size_t at = source[static_cast<size_t>(line)].find("#include");
      if (at != std::string::npos) {
        const size_t close = source[static_cast<size_t>(line)].find('"', source[static_cast<size_t>(line)].find('"', at) + 1);
        const auto [from, to] = charRange(lines[line], at, close == std::string::npos ? at + 8 : close + 1);
        m.from = from;
        m.length = to - from;
      }
    } else {
      m.line = line;
      const auto [from, to] = placeOnLine(lines[line], source[static_cast<size_t>(line)], e.lineText, e.column, e.detail);
      m.from = from;
      m.length = to - from;
    }
    result.marks.push_back(std::move(m));
  }

  result.music = zan::Music::build(smf, &sources, &starts, notes ? zan::Music::Parts::Everything : zan::Music::Parts::Timing);
  if (notes) result.tracks = std::make_shared<const TrackViewModel>(result.music);
  smf.eventSources = nullptr;
  result.milliseconds = static_cast<double>(clock.nsecsElapsed()) / 1e6;
  return result;
}

// ---- The worker ----------------------------------------------------------------

class CheckWorker : public QObject {
  Q_OBJECT
 public:
  explicit CheckWorker(std::shared_ptr<std::atomic<quint64>> latest) : latest_(std::move(latest)) {}

  void check(quint64 generation, const QString& text, const QString& scorePath, bool notes) {
    CheckResult result;
    // A newer request is already queued: this text is outdated before it starts.
    if (generation >= latest_->load()) result = checkScore(compiler_, text, scorePath, notes);
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
  if (enabled_) timer_.start();
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
  QMetaObject::invokeMethod(
      worker_, [w = worker_, generation, text, path = scorePath_, notes] { w->check(generation, text, path, notes); },
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
