// SPDX-License-Identifier: MIT
#include "test_support.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace zan::test {
namespace {

// The tests expect the texts as written, here and in the programs they run,
// whatever the locale of the one running them; those that want another
// language ask for it.
const bool kTextsAsWritten = [] {
  ::setenv("LC_ALL", "C", 1);
  ::unsetenv("LANGUAGE");
  return true;
}();

}  // namespace

std::string hex(const uint8_t* bytes, size_t n) {
  std::string s;
  char buf[4];
  for (size_t i = 0; i < n; ++i) {
    std::snprintf(buf, sizeof buf, "%02X", bytes[i]);
    if (i) s += ' ';
    s += buf;
  }
  return s;
}

std::string hex(const std::vector<uint8_t>& bytes) { return hex(bytes.data(), bytes.size()); }

Score& Score::compile(const std::string& source, uint32_t seed) {
  smf.Reset();
  return compileAgain(source, seed);
}

Score& Score::compileAgain(const std::string& source, uint32_t seed) {
  messages.clear();
  smf.randSeed = seed;
  smf.sourceLines.setText(toCp932(source));
  smf.CompileLines();
  unsorted.assign(std::begin(smf.events), std::end(smf.events));
  file = smf.BuildSmf();
  smf.AddMessage("ok");
  return *this;
}

std::vector<std::string> Score::errors() const {
  std::vector<std::string> out;
  for (const std::string& m : messages)
    if (m.rfind("err(", 0) == 0) out.push_back(m);
  return out;
}

namespace {

std::vector<std::string> dump(const Tivent& list) {
  std::vector<std::string> out;
  for (const Tivent::Entry& e : list.entries())
    out.push_back(std::to_string(e.time) + ": " + hex(list.bytes(e), static_cast<size_t>(list.size(e))));
  return out;
}

}  // namespace

std::vector<std::string> Score::events(int t) const { return dump(smf.events[t]); }
std::vector<std::string> Score::added(int t) const { return dump(unsorted.at(static_cast<size_t>(t))); }

namespace {

std::vector<std::string> errorCodes(const Score& s, bool withLine) {
  static const char* const kMessages[] = {"原因不明のエラー", "指定されたファイルを開けません", "解読不能文字です",
                                          "必要な引数が足りません", "引数が不正です", "文法のエラー"};
  std::vector<std::string> out;
  for (const std::string& e : s.errors()) {
    // err(LINE)"DETAIL":MESSAGE"> _tr<... ; the detail may itself hold quotes.
    const size_t q1 = e.find('"'), q2 = e.rfind("\":", e.find("\"> _tr<")), q3 = e.find("\">", q2);
    const std::string message = e.substr(q2 + 2, q3 - q2 - 2);
    int n = 6;
    for (int i = 0; i < 6; ++i)
      if (message == kMessages[i]) n = i;
    std::string code = std::to_string(n) + " " + e.substr(q1 + 1, q2 - q1 - 1);
    out.push_back(withLine ? e.substr(4, e.find(')') - 4) + ":" + code : code);
  }
  return out;
}

}  // namespace

std::string notes(const Score& s, int t, bool timed) {
  static const char* const kNames[12] = {"c", "c+", "d", "d+", "e", "f", "f+", "g", "g+", "a", "a+", "b"};
  std::string out;
  const Tivent& list = s.smf.events[t];
  for (const Tivent::Entry& e : list.entries()) {
    const uint8_t* b = list.bytes(e);
    if ((b[0] & 0xF0) != 0x90) continue;
    if (!out.empty()) out += ' ';
    if (timed) out += std::to_string(e.time) + ":";
    out += b[1] >= 48 && b[1] < 60 ? kNames[b[1] - 48] : std::to_string(b[1]);
  }
  return out;
}

std::vector<std::string> errs(const Score& s) { return errorCodes(s, false); }
std::vector<std::string> errsAt(const Score& s) { return errorCodes(s, true); }

smf::File Score::parsed() const {
  smf::File f;
  std::string error;
  EXPECT_TRUE(smf::parse(file, f, error)) << error;
  return f;
}

EndlessFifo::EndlessFifo(std::string path, std::string pattern) : path_(std::move(path)) {
  if (::mkfifo(path_.c_str(), 0600) != 0) ADD_FAILURE() << "mkfifo " << path_;
  writer_ = std::thread([this, path = path_, pattern = std::move(pattern)] {
    // A closed reader then fails the write with EPIPE instead of killing the tests.
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
    // Without a reader the open fails (ENXIO): wait for one, or for the end.
    int fd = -1;
    while (!stop_ && (fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK)) < 0) ::usleep(1000);
    if (fd < 0) return;
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    std::string block;
    while (block.size() < (64u << 10)) block += pattern;
    while (::write(fd, block.data(), block.size()) > 0) {
    }
    ::close(fd);
  });
}

EndlessFifo::~EndlessFifo() {
  // A writer that has a reader no more gets EPIPE; one still waiting for a
  // reader sees the flag.
  stop_ = true;
  writer_.join();
  ::unlink(path_.c_str());
}

bool makeZeroDevice(const std::string& path) { return ::mknod(path.c_str(), S_IFCHR | 0600, makedev(1, 5)) == 0; }

}  // namespace zan::test
