// SPDX-License-Identifier: MIT
// The server's compiles, on a thread of their own, so that the server goes
// on answering while a long score compiles. The server hands over a copy of
// what a compile needs (the text, and the texts of the other open
// documents, which an #include reads in place of their files) and takes the
// results back on its own thread: no document is shared between threads.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "zan/compile_report.h"
#include "zan/tmacro.h"

namespace zan::lsp {

using SharedText = std::shared_ptr<const std::string>;

struct CompileJob {
  std::string uri;
  uint64_t generation = 0;  // the document's generation when asked; a result for an older one is dropped
  std::string name;         // the score's name in the report: its path, else its URI
  std::string path;         // the file behind the document, "" when none
  SharedText text;          // UTF-8
  // The client's texts of the open documents by normalPath(), read by
  // #include in place of the files on disk.
  std::map<std::string, SharedText, std::less<>> openTexts;
};

struct CompileResult {
  std::string uri;
  uint64_t generation = 0;
  CompileReport report;
  std::vector<Tmacro::Entry> macros;  // the score's own macros (not the library's as it stands)
  std::set<std::string> includes;     // normalPath() of every file #include read, nested ones too
};

// Compiles one document; when `cancelled` turns true the compile stops
// early and the result is incomplete.
CompileResult compileDocument(const CompileJob& job, const std::atomic<bool>* cancelled = nullptr);

// One thread that compiles the jobs handed to it in turn. Results come back
// through take(); wakeFd() turns readable when there are some, for the
// server's poll.
class CompileWorker {
 public:
  CompileWorker();
  ~CompileWorker();  // cancels the running compile and waits for the thread
  CompileWorker(const CompileWorker&) = delete;
  CompileWorker& operator=(const CompileWorker&) = delete;

  // Queues `job`. A job of the same document still waiting is replaced, and
  // one of it being compiled is cancelled: only the newest text counts.
  void submit(CompileJob job);
  // Forgets the document `uri`: its waiting job goes, its running compile
  // is cancelled, and no result of it comes back.
  void cancel(const std::string& uri);
  // The results finished since the last call, oldest first.
  std::vector<CompileResult> take();
  // Readable while results wait (-1 when the pipe could not be made: then
  // the server polls take() on a timer).
  int wakeFd() const { return wake_[0]; }
  // True while a job waits or runs.
  bool busy();

 private:
  void run();
  void cancelLocked(const std::string& uri);

  std::mutex mutex_;
  std::condition_variable jobsChanged_;
  std::deque<CompileJob> waiting_;                 // guarded by mutex_
  std::string runningUri_;                         // guarded by mutex_; "" when idle
  std::shared_ptr<std::atomic<bool>> runningCancel_;  // guarded by mutex_
  std::vector<CompileResult> done_;                // guarded by mutex_
  bool stopping_ = false;                          // guarded by mutex_
  int wake_[2] = {-1, -1};                         // a pipe: one byte written per result
  std::thread thread_;                             // started by the first submit()
};

}  // namespace zan::lsp
