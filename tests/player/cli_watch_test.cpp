// SPDX-License-Identifier: MIT
// zan --play --watch as a user runs it beside an editor: saves by rename
// and in place, an included file changed, errors and a deleted score, each
// one line, the music playing on (silently: the test machines have no
// sound card).
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <functional>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>

#include "player_test_support.h"

namespace zan::player {
namespace {

using namespace std::chrono_literals;

class Watching {
 public:
  // Starts zan with `arguments` in `dir`, its output going to a file there.
  Watching(const std::string& dir, const std::string& arguments) : out_(dir + "/out.txt") {
    pid_ = ::fork();
    if (pid_ == 0) {
      if (::chdir(dir.c_str()) != 0) ::_exit(127);
      std::freopen(out_.c_str(), "w", stdout);
      ::dup2(::fileno(stdout), 2);
      ::execl("/bin/sh", "sh", "-c", ("exec " + std::string(ZAN_CLI_PATH) + " " + arguments).c_str(), nullptr);
      ::_exit(127);
    }
  }
  ~Watching() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  std::string output() const {
    std::ifstream in(out_);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  // Waits until the output holds `text` `count` times; false after 10 s.
  bool saw(const std::string& text, int count = 1) const {
    for (auto until = std::chrono::steady_clock::now() + 10s; std::chrono::steady_clock::now() < until;
         std::this_thread::sleep_for(20ms)) {
      const std::string o = output();
      int n = 0;
      for (size_t at = o.find(text); at != std::string::npos; at = o.find(text, at + 1)) ++n;
      if (n >= count) return true;
    }
    return false;
  }
  // Ctrl+C; returns the exit status.
  int interrupt() {
    ::kill(pid_, SIGINT);
    int raw = 0;
    ::waitpid(pid_, &raw, 0);
    pid_ = -1;
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  }

 private:
  std::string out_;
  pid_t pid_ = -1;
};

void write(const std::string& path, const std::string& text) { std::ofstream(path) << text; }

TEST(CliWatch, EachSaveIsOneLineAndTheLastGoodVersionPlaysOn) {
  const std::string soundFont = test::testSoundFont();
  if (soundFont.empty()) GTEST_SKIP() << "no SoundFont on this machine";
  const std::string dir = ::testing::TempDir() + "zan_watch_" + std::to_string(::getpid());
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir + "/parts");
  write(dir + "/s.zan", "t240 l4 c d e f\n#include \"parts/inc.zan\"\n");
  write(dir + "/parts/inc.zan", "g a\n");
  Watching zan(dir, "--lang en --soundfont " + soundFont + " --play --watch --loop s.zan");
  ASSERT_TRUE(zan.saw(" / ")) << zan.output();

  struct Step {
    const char* what;
    std::function<void()> save;
    std::string line;  // the line it prints
    int count;         // how many such lines by then
  };
  const std::vector<Step> steps = {
      {"a save by rename", [&] {
         write(dir + "/s.zan.new", "t240 l4 c d e f g\n#include \"parts/inc.zan\"\n");
         std::filesystem::rename(dir + "/s.zan.new", dir + "/s.zan");
       }, "s.zan: compiled\n", 1},
      {"a save in place", [&] { write(dir + "/s.zan", "t240 l4 c d\n#include \"parts/inc.zan\"\n"); }, "s.zan: compiled\n", 2},
      {"the included file", [&] { write(dir + "/parts/inc.zan", "g a b\n"); }, "parts/inc.zan: compiled\n", 1},
      {"an error", [&] { write(dir + "/s.zan", "t240 l4 c x\n"); }, "; still playing the last good version\n", 1},
      {"the score deleted", [&] { std::filesystem::remove(dir + "/s.zan"); }, "s.zan: deleted; still playing the last good version\n", 1},
      {"written again", [&] { write(dir + "/s.zan", "t240 c\n"); }, "s.zan: compiled\n", 3},
  };
  for (const Step& step : steps) {
    step.save();
    EXPECT_TRUE(zan.saw(step.line, step.count)) << step.what << "\n" << zan.output();
  }
  EXPECT_EQ(zan.interrupt(), 130) << zan.output();
  // One line per save: a save made of several events reloads once.
  const std::string o = zan.output();
  int lines = 0;
  for (const char* l : {": compiled\n", "still playing the last good version\n"})
    for (size_t at = o.find(l); at != std::string::npos; at = o.find(l, at + 1)) ++lines;
  EXPECT_EQ(lines, 6) << o;
}

TEST(CliWatch, LoopAndWatchGoWithPlayAndARangeIsChecked) {
  struct Row {
    const char* arguments;
    const char* error;
  } rows[] = {
      {"--watch s.zan", "--loop and --watch go with --play"},
      {"--loop s.zan", "--loop and --watch go with --play"},
      {"--play --watch -", "--watch needs a score file"},
      {"--play --loop=4:2 s.zan", "--loop 4:2: beats A:B"},
      {"--play --loop 4 s.zan", "--loop 4: beats A:B"},  // the colon forgotten: not a second score
      {"--play --watch=1 s.zan", "--watch takes no value"},
  };
  for (const Row& row : rows) {
    std::FILE* p = ::popen((std::string(ZAN_CLI_PATH) + " --lang en " + row.arguments + " 2>&1 </dev/null").c_str(), "r");
    ASSERT_TRUE(p);
    std::string out;
    char buf[512];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
    const int raw = ::pclose(p);
    EXPECT_EQ(WEXITSTATUS(raw), 2) << row.arguments;
    EXPECT_NE(out.find(row.error), std::string::npos) << row.arguments << ": " << out;
  }
}

}  // namespace
}  // namespace zan::player
