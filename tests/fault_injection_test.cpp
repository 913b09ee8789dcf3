// SPDX-License-Identifier: MIT
// The files zan writes, under faults made for real: a failing write, fsync
// or rename (an LD_PRELOAD shim, tests/faults/fail_io.cpp), a full and a
// read-only file system (a small tmpfs, where the test may mount one), and
// the process killed in the middle of a write. Each time the file that was
// there before stays byte for byte, and a failure says so and exits with 2.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

namespace fs = std::filesystem;

std::string readText(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Four tracks of sixteenth notes: a MIDI file of several chunks (several
// writes); 40 notes a track last five seconds.
std::string score(int notesPerTrack) {
  std::string s = "t120 l16\n";
  for (int t = 0; t < 4; ++t) {
    s += "_tr(" + std::to_string(t) + ")";
    for (int i = 0; i < notesPerTrack; ++i) s += " c";
    s += "\n";
  }
  return s;
}

std::string soundFont() {
  for (const char* p : {"/usr/share/sounds/sf2/TimGM6mb.sf2", "/usr/share/sounds/sf2/FluidR3_GM.sf2"})
    if (fs::exists(p)) return p;
  return "";
}

class FaultTest : public ::testing::Test {
 protected:
  struct Run {
    int status;       // exit status, or -signal when killed
    std::string err;  // standard error
  };
  void SetUp() override {
    std::string tmpl = (fs::path(::testing::TempDir()) / "zan_fault_XXXXXX").string();
    ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
    dir_ = tmpl;
    std::ofstream(dir_ / "song.zan") << score(40);
  }
  void TearDown() override {
    if (mounted_) ::umount2(dir_.c_str(), MNT_DETACH);
    fs::remove_all(dir_);
    fs::remove(errFile());
  }
  fs::path errFile() const { return dir_.string() + ".stderr"; }
  // Runs zan in the directory with `args`, the shim failing as `fail` says.
  // A static program takes no preloaded library: with the shim, the program
  // run is zan's player program, the same main linked dynamically.
  // `env` goes before the program (with the shim only).
  Run zan(const std::string& args, const std::string& fail = "", const std::string& env0 = "") {
    std::string env;
    if (!fail.empty())
      env = env0 + " ZAN_FAIL=" + fail + " LD_PRELOAD=" + ZAN_FAIL_IO_PATH +
            " ASAN_OPTIONS=$ASAN_OPTIONS:verify_asan_link_order=0 ";
    const std::string program = fail.empty() ? ZAN_CLI_PATH : ZAN_PLAY_PATH;
    const std::string cmd = "cd '" + dir_.string() + "' && " + env + "'" + program + "' " + args +
                            " </dev/null >/dev/null 2>'" + errFile().string() + "'";
    const int raw = std::system(("sh -c \"" + cmd + "\"").c_str());
    Run r{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, readText(errFile())};
    if (WIFEXITED(raw) && WEXITSTATUS(raw) == 128 + SIGKILL) r.status = -SIGKILL;  // reported by sh
    return r;
  }
  // Every file in the directory but the score, sorted.
  std::vector<std::string> outputs() const {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(dir_))
      if (e.path().filename() != "song.zan") out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
  }
  // A small tmpfs over the directory; false where the test may not mount.
  bool mountSmall(const char* size) {
    if (::mount("tmpfs", dir_.c_str(), "tmpfs", 0, size) != 0) return false;
    mounted_ = true;
    std::ofstream(dir_ / "song.zan") << score(4000);  // about 90 KB of MIDI
    return true;
  }

  fs::path dir_;
  bool mounted_ = false;
};

constexpr const char* kOld = "the file that was there before";

TEST_F(FaultTest, FailedOrInterruptedWritesKeepThePreviousFile) {
  const std::string sf = soundFont();
  struct Row {
    const char* args;
    const char* target;  // the file that must survive
    const char* fail;
    int status;
    const char* message;  // in standard error ("" for a killed process)
  } rows[] = {
      {"-o out.mid song.zan", "out.mid", "write:ENOSPC:1", 2, "zan: cannot write out.mid: No space left on device\n"},
      {"-o out.mid song.zan", "out.mid", "write:ENOSPC:3", 2, "zan: cannot write out.mid: No space left on device\n"},
      {"-o out.mid song.zan", "out.mid", "rename:EIO:1", 2, "zan: cannot write out.mid: Input/output error\n"},
      {"-o out.mid song.zan", "out.mid", "write:KILL:3", -SIGKILL, ""},
      {"--wav out.wav song.zan", "out.wav", "write:ENOSPC:5", 2, "zan: cannot write out.wav: No space left on device\n"},
      {"--wav out.wav song.zan", "out.wav", "fsync:EIO:1", 2, "zan: cannot write out.wav: Input/output error\n"},
      {"--wav out.wav song.zan", "out.wav", "rename:EIO:1", 2, "zan: cannot write out.wav: Input/output error\n"},
      {"--wav out.wav song.zan", "out.wav", "write:KILL:4", -SIGKILL, ""},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(std::string(r.args) + " with " + r.fail);
    const bool wav = std::string(r.args).find("--wav") != std::string::npos;
    if (wav && sf.empty()) continue;
    std::ofstream(dir_ / r.target) << kOld;
    const Run run = zan((wav ? "--soundfont " + sf + " " : std::string()) + r.args, r.fail);
    EXPECT_EQ(run.status, r.status) << run.err;
    if (r.status != -SIGKILL) {
      EXPECT_EQ(run.err, r.message);
    }
    EXPECT_EQ(readText(dir_ / r.target), kOld);
    // Even a killed process leaves nothing: the file had no name yet.
    EXPECT_EQ(outputs(), std::vector<std::string>{r.target});
    for (const std::string& f : outputs()) fs::remove(dir_ / f);
  }
}

// A run ended by a signal in the middle of a write, where the file system
// keeps unnamed files and where it cannot (the shim's ZAN_NO_TMPFILE): the
// half-written file goes with the process, the earlier one stays.
TEST_F(FaultTest, ASignalDuringAWriteLeavesNoTemporaryFile) {
  const std::string sf = soundFont();
  struct Row {
    const char* args;
    const char* target;
    const char* fail;
    int signal;
  } rows[] = {
      {"-o out.mid song.zan", "out.mid", "write:TERM:3", SIGTERM},
      {"-o out.mid song.zan", "out.mid", "write:INT:3", SIGINT},
      {"-o out.mid song.zan", "out.mid", "write:HUP:2", SIGHUP},
      {"--wav out.wav song.zan", "out.wav", "write:TERM:4", SIGTERM},
  };
  for (const char* env : {"", "ZAN_NO_TMPFILE=1"}) {
    for (const Row& r : rows) {
      SCOPED_TRACE(std::string(r.args) + " with " + r.fail + " " + env);
      const bool wav = std::string(r.args).find("--wav") != std::string::npos;
      if (wav && sf.empty()) continue;
      std::ofstream(dir_ / r.target) << kOld;
      const Run run = zan((wav ? "--soundfont " + sf + " " : std::string()) + r.args, r.fail, env);
      EXPECT_EQ(run.status, 128 + r.signal) << run.err;
      EXPECT_EQ(readText(dir_ / r.target), kOld);
      EXPECT_EQ(outputs(), std::vector<std::string>{r.target});
      for (const std::string& f : outputs()) fs::remove(dir_ / f);
    }
  }
}

TEST_F(FaultTest, AFileSizeLimitIsReportedNotFatal) {
  std::ofstream(dir_ / "out.mid") << kOld;
  // ulimit -f counts blocks of 512 bytes in this shell; the file is larger.
  const std::string cmd = "cd '" + dir_.string() + "' && ulimit -f 1 && '" + ZAN_CLI_PATH +
                          "' -o out.mid song.zan >/dev/null 2>'" + errFile().string() + "'";
  const int raw = std::system(("sh -c \"" + cmd + "\"").c_str());
  ASSERT_TRUE(WIFEXITED(raw));
  EXPECT_EQ(WEXITSTATUS(raw), 2);
  EXPECT_EQ(readText(errFile()), "zan: cannot write out.mid: File too large\n");
  EXPECT_EQ(readText(dir_ / "out.mid"), kOld);
  EXPECT_EQ(outputs(), std::vector<std::string>{"out.mid"});
}

TEST_F(FaultTest, AFullOrReadOnlyFileSystemKeepsThePreviousFile) {
  if (!mountSmall("size=64k")) GTEST_SKIP() << "cannot mount a tmpfs here (not root?)";
  std::ofstream(dir_ / "out.mid") << kOld;
  Run run = zan("-o out.mid song.zan");
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, "zan: cannot write out.mid: No space left on device\n");
  EXPECT_EQ(readText(dir_ / "out.mid"), kOld);
  EXPECT_EQ(outputs(), std::vector<std::string>{"out.mid"}) << "the partial file is removed, its space given back";

  ASSERT_EQ(::mount("tmpfs", dir_.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, "size=64k"), 0);
  run = zan("-o out.mid song.zan");
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, "zan: cannot create out.mid: Read-only file system\n");
  EXPECT_EQ(readText(dir_ / "out.mid"), kOld);
}

}  // namespace
