// SPDX-License-Identifier: MIT
// Helpers shared by the compiler tests: compile a score in memory and look at
// what came out as readable text.
#pragma once

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "zan/cp932.h"
#include "zan/smf_format.h"
#include "zan/tsmf.h"

namespace zan::test {

// A compile run in memory. Messages are kept as UTF-8.
struct Score {
  TSmf smf;
  std::vector<std::string> messages;
  std::vector<uint8_t> file;
  std::vector<Tivent> unsorted;  // the event lists as the commands appended them

  Score() {
    smf.messageSink = [this](const std::string& line) { messages.push_back(toUtf8(line)); };
  }
  // Resets, then compiles `source` (UTF-8, lines split at \n) with a fixed seed.
  Score& compile(const std::string& source, uint32_t seed = 1);
  // Compiles again on the same object without Reset (variables and the like kept).
  Score& compileAgain(const std::string& source, uint32_t seed = 1);
  // The error lines among the messages.
  std::vector<std::string> errors() const;
  // Track t's events as "time: hex bytes" lines, in the list's order (sorted once compiled).
  std::vector<std::string> events(int t = 0) const;
  // Track t's events as "time: hex bytes" lines in the order the commands
  // appended them.
  std::vector<std::string> added(int t = 0) const;
  // The parsed file; fails the test if it does not parse.
  smf::File parsed() const;
};

// The error lines of a compile as "number detail" (errs) or as
// "line:number detail" (errsAt), the number being the error table's index.
std::vector<std::string> errs(const Score& s);
std::vector<std::string> errsAt(const Score& s);

// Track t's note-ons in the list's order (time order once compiled): letters
// for octave 4 ("c", "f+"), note numbers otherwise, separated by spaces; with
// `timed`, each as "time:note".
std::string notes(const Score& s, int t = 0, bool timed = false);

// "90 30 64" for the bytes.
std::string hex(const std::vector<uint8_t>& bytes);
std::string hex(const uint8_t* bytes, size_t n);

// Makes a FIFO at `path` and writes `pattern` into it over and over, on a
// thread of its own, until its reader closes it: a source that never ends.
// The writer is stopped and joined on destruction even if nothing read.
class EndlessFifo {
 public:
  EndlessFifo(std::string path, std::string pattern);
  ~EndlessFifo();
  EndlessFifo(const EndlessFifo&) = delete;
  EndlessFifo& operator=(const EndlessFifo&) = delete;

 private:
  std::string path_;
  std::atomic<bool> stop_{false};
  std::thread writer_;
};

// Makes a private character device at `path` that reads as endless NUL
// bytes, as /dev/zero does (major 1, minor 5). False when this process may
// not make device nodes.
bool makeZeroDevice(const std::string& path);

}  // namespace zan::test
