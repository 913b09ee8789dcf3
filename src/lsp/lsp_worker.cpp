// SPDX-License-Identifier: MIT
// The compile thread of the server, and the compile of one document.
#include "lsp_worker.h"

#include <fcntl.h>
#include <unistd.h>

#include "lsp_text.h"
#include "zan/builtin_macros.h"
#include "zan/cp932.h"
#include "zan/translate.h"
#include "zan/tsmf.h"

namespace zan::lsp {
namespace {

bool isLibraryMacro(const Tmacro::Entry& e) {
  for (const BuiltinMacro& m : builtinMacros())
    if (e.name == m.name) return e.body == m.body;
  return false;
}

}  // namespace

CompileResult compileDocument(const CompileJob& job, const std::atomic<bool>* cancelled) {
  CompileResult result;
  result.uri = job.uri;
  result.generation = job.generation;
  const std::string& text = *job.text;
  auto smf = std::make_unique<TSmf>();
  // A document beyond the bound of a score is not compiled, as zan would
  // not read it from a file.
  if (text.size() > smf->limits.sourceBytes) {
    result.report.files.push_back(SourceFile{job.name, {}, {}, -1, 0});
    Diagnostic d;
    d.kind = DiagnosticKind::Error;
    d.text = zan::tr("The document holds more than ") + std::to_string(smf->limits.sourceBytes) +
             zan::tr(" bytes, the most a score may hold: it is not compiled");
    result.report.diagnostics.push_back(std::move(d));
    result.report.errors = 1;
    return result;
  }
  smf->sourceLines.setText(toCp932(text));
  smf->scorePath = job.path;  // an #include looks beside it when the current directory has no such file
  smf->cancelled = cancelled;
  smf->documentReader = [&job](const std::string& path, std::string& contents) {
    const auto open = job.openTexts.find(normalPath(path));
    if (open == job.openTexts.end()) return false;
    contents = *open->second;
    return true;
  };
  {
    DiagnosticCollector collector(*smf, job.name);
    smf->CompileLines();
    result.report = collector.take();
  }
  addLostCharacterWarnings(result.report, text);
  for (const Tmacro::Entry& e : smf->macros.entries())
    if (!isLibraryMacro(e)) result.macros.push_back(e);
  for (size_t f = 1; f < result.report.files.size(); ++f) result.includes.insert(normalPath(result.report.files[f].path));
  return result;
}

CompileWorker::CompileWorker() {
  if (::pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) wake_[0] = wake_[1] = -1;
}

CompileWorker::~CompileWorker() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    waiting_.clear();
    if (runningCancel_) runningCancel_->store(true);
  }
  jobsChanged_.notify_all();
  if (thread_.joinable()) thread_.join();
  for (int fd : wake_)
    if (fd >= 0) ::close(fd);
}

void CompileWorker::submit(CompileJob job) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    cancelLocked(job.uri);
    waiting_.push_back(std::move(job));
    if (!thread_.joinable()) thread_ = std::thread([this] { run(); });
  }
  jobsChanged_.notify_one();
}

void CompileWorker::cancel(const std::string& uri) {
  std::lock_guard<std::mutex> lock(mutex_);
  cancelLocked(uri);
}

void CompileWorker::cancelLocked(const std::string& uri) {
  std::erase_if(waiting_, [&](const CompileJob& j) { return j.uri == uri; });
  if (runningUri_ == uri && runningCancel_) runningCancel_->store(true);
}

std::vector<CompileResult> CompileWorker::take() {
  if (wake_[0] >= 0) {
    char drain[256];
    while (::read(wake_[0], drain, sizeof drain) > 0) {
    }
  }
  std::lock_guard<std::mutex> lock(mutex_);
  return std::exchange(done_, {});
}

bool CompileWorker::busy() {
  std::lock_guard<std::mutex> lock(mutex_);
  return !waiting_.empty() || !runningUri_.empty();
}

void CompileWorker::run() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    jobsChanged_.wait(lock, [this] { return stopping_ || !waiting_.empty(); });
    if (stopping_) return;
    CompileJob job = std::move(waiting_.front());
    waiting_.pop_front();
    runningUri_ = job.uri;
    runningCancel_ = std::make_shared<std::atomic<bool>>(false);
    const std::shared_ptr<std::atomic<bool>> cancelled = runningCancel_;
    lock.unlock();
    CompileResult result = compileDocument(job, cancelled.get());
    job = CompileJob{};  // the texts are let go here, off the lock
    lock.lock();
    runningUri_.clear();
    runningCancel_.reset();
    if (cancelled->load() || stopping_) continue;
    done_.push_back(std::move(result));
    if (wake_[1] >= 0) {
      const char byte = 1;
      [[maybe_unused]] const ssize_t n = ::write(wake_[1], &byte, 1);  // a full pipe wakes the server anyway
    }
  }
}

}  // namespace zan::lsp
