// SPDX-License-Identifier: MIT
// zan --wav and --play as a user runs them: exit codes, messages, and the
// files they leave.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <fstream>

#include "player_test_support.h"

namespace zan::player {
namespace {

struct CliRun {
  int status = -1;     // exit status
  std::string output;  // stdout and stderr together
};

CliRun run(const std::string& arguments) {
  CliRun r;
  std::FILE* p = ::popen((std::string(ZAN_CLI_PATH) + " " + arguments + " 2>&1").c_str(), "r");
  if (!p) return r;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) r.output.append(buf, n);
  const int raw = ::pclose(p);
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return r;
}

std::string writeScore(const std::string& name, const std::string& text) {
  const std::string path = ::testing::TempDir() + "zan_cli_" + std::to_string(::getpid()) + "_" + name;
  std::ofstream(path) << text;
  return path;
}

bool exists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

class CliPlayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    soundFont = test::testSoundFont();
    if (soundFont.empty()) GTEST_SKIP() << "no SoundFont on this machine";
  }
  std::string soundFont;
};

TEST_F(CliPlayTest, WavRendersTheCompiledScore) {
  const std::string score = writeScore("ok.zan", "t120 o4 l4 c d e f\n");
  const std::string wav = ::testing::TempDir() + "zan_cli_ok.wav";
  const std::string mid = ::testing::TempDir() + "zan_cli_ok.mid";
  const CliRun r = run("--soundfont " + soundFont + " --wav " + wav + " -o " + mid + " " + score);
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_TRUE(exists(mid));
  const test::Wav w = test::readWav(wav);
  EXPECT_EQ(w.rate, 44100);
  EXPECT_GT(w.frames(), 2 * 44100) << "two seconds of music and the tail";
  EXPECT_GT(w.rms(0, w.frames()), 0.005);
  ::unlink(wav.c_str());
  ::unlink(mid.c_str());
}

TEST_F(CliPlayTest, WavAloneLeavesNoMidiFileAndTakesGainAndRate) {
  const std::string score = writeScore("alone.zan", "t120 o4 l4 c\n");
  const std::string mid = score.substr(0, score.size() - 4) + ".mid";
  const std::string wav = ::testing::TempDir() + "zan_cli_alone.wav";
  CliRun r = run("--soundfont " + soundFont + " --rate 48000 --wav " + wav + " " + score);
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_FALSE(exists(mid)) << "no .mid beside the score unless -o asks for one";
  const test::Wav loud = test::readWav(wav);
  EXPECT_EQ(loud.rate, 48000);
  EXPECT_GT(loud.rms(0, loud.frames()), 0.001);
  r = run("--soundfont " + soundFont + " --gain 0 --wav " + wav + " " + score);
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(test::readWav(wav).peak(0, 44100), 0) << "gain 0 is silence";
  ::unlink(wav.c_str());
}

TEST_F(CliPlayTest, MuteAndSoloSilenceTracksByTheirNumbers) {
  // Track 0 holds the tempo; track 1 sounds in the first second, track 2 in
  // the second.
  const std::string score = writeScore("mute.zan", "t120\n_tr(1) @0 o4 l2 c r\n_tr(2) @0 o4 l2 r e\n");
  const std::string wav = ::testing::TempDir() + "zan_cli_mute.wav";
  struct Row {
    std::string options;
    bool first, second;  // sound in each second
  } rows[] = {
      {"", true, true},
      {"--mute 1", false, true},
      {"--solo 1", true, false},
      {"--solo 1,2 --mute 2", true, false},
  };
  for (const Row& row : rows) {
    const CliRun r = run("--soundfont " + soundFont + " " + row.options + " --wav " + wav + " " + score);
    ASSERT_EQ(r.status, 0) << r.output;
    const test::Wav w = test::readWav(wav);
    EXPECT_EQ(w.rms(4410, 39690) > 0.001, row.first) << row.options;
    EXPECT_EQ(w.rms(57330, 83790) > 0.001, row.second) << row.options;
  }
  // A track with no events: a misspelt number is refused before anything
  // plays (a --solo of it alone would otherwise have played every track).
  ::unlink(wav.c_str());
  for (const char* option : {"--mute 5", "--solo 9", "--solo 9,2"}) {
    const CliRun r = run("--soundfont " + soundFont + " " + option + " --wav " + wav + " " + score);
    EXPECT_EQ(r.status, 2) << option;
    const std::string number = std::string(option).substr(7, 1);
    EXPECT_EQ(r.output, "Compile Start\nok\nzan: " + std::string(option).substr(0, 7) + number + ": track " + number +
                            " has no events\n");
    EXPECT_FALSE(exists(wav)) << option;
  }
}

TEST_F(CliPlayTest, CompileErrorsStopBeforeTheRender) {
  const std::string score = writeScore("bad.zan", "o4 c @(\n");
  const std::string wav = ::testing::TempDir() + "zan_cli_bad.wav";
  const CliRun r = run("--soundfont " + soundFont + " --wav " + wav + " -o " + ::testing::TempDir() + "zan_cli_bad.mid " + score);
  EXPECT_EQ(r.status, 1) << r.output;
  EXPECT_NE(r.output.find("err("), std::string::npos) << r.output;
  EXPECT_FALSE(exists(wav));
}

TEST_F(CliPlayTest, AnUnwritableWavIsAFailure) {
  const std::string score = writeScore("w.zan", "o4 c\n");
  const CliRun r = run("--soundfont " + soundFont + " --wav /nonexistent/zan/x.wav -o " + ::testing::TempDir() + "zan_cli_w.mid " + score);
  EXPECT_EQ(r.status, 2) << r.output;
  EXPECT_NE(r.output.find("zan: cannot create /nonexistent/zan/x.wav"), std::string::npos) << r.output;
}

TEST_F(CliPlayTest, AMissingSoundFontIsAFailureNotAFallback) {
  const std::string score = writeScore("sf.zan", "o4 c\n");
  const std::string wav = ::testing::TempDir() + "zan_cli_sf.wav";
  const CliRun r = run("--soundfont /nonexistent/none.sf2 --wav " + wav + " " + score);
  EXPECT_EQ(r.status, 2) << r.output;
  EXPECT_NE(r.output.find("zan: cannot read the SoundFont /nonexistent/none.sf2"), std::string::npos) << r.output;
  EXPECT_FALSE(exists(wav));
}

TEST_F(CliPlayTest, OptionsWithoutTheirFileAreUsageErrors) {
  EXPECT_EQ(run("--wav").status, 2);
  EXPECT_EQ(run("--soundfont").status, 2);
  const CliRun help = run("--help");
  EXPECT_NE(help.output.find("--play"), std::string::npos);
  EXPECT_NE(help.output.find("--wav WAV"), std::string::npos);
  EXPECT_NE(help.output.find("--soundfont SF2"), std::string::npos);
}

TEST_F(CliPlayTest, PlayRunsToTheEndShowingThePosition) {
  const std::string score = writeScore("play.zan", "t240 o4 l16 c d\n");
  const CliRun r = run("--soundfont " + soundFont + " --play -o " + ::testing::TempDir() + "zan_cli_play.mid " + score);
  EXPECT_EQ(r.status, 0) << r.output;
  // Not on a terminal: a line as it starts and one at the end, no carriage returns.
  EXPECT_NE(r.output.find("  0:00.0 / 0:00.1\n  0:00.1 / 0:00.1\n"), std::string::npos) << r.output;
  EXPECT_EQ(r.output.find('\r'), std::string::npos) << r.output;
}

TEST_F(CliPlayTest, SignalsStopPlaybackWithTheStatusShellsExpect) {
  const std::string score = writeScore("long.zan", "t60 o4 l1 c d e f g\n");
  struct Row {
    const char* signal;
    int status;  // as the shell reports it
  } rows[] = {{"INT", 130}, {"TERM", 128 + SIGTERM}, {"HUP", 128 + SIGHUP}};
  for (const Row& row : rows) {
    const std::string command = std::string(ZAN_CLI_PATH) + " --soundfont " + soundFont + " --play -o " +
                                ::testing::TempDir() + "zan_cli_long.mid " + score +
                                " >/dev/null 2>&1 & pid=$!; sleep 1; kill -" + row.signal + " $pid; wait $pid";
    const int raw = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(raw));
    EXPECT_EQ(WEXITSTATUS(raw), row.status) << row.signal;
  }
}

TEST_F(CliPlayTest, WavToStandardOutputIsWholeBeforeItsFirstByte) {
  const std::string score = writeScore("out.zan", "t120 o4 l4 c d\n");
  const std::string wav = ::testing::TempDir() + "zan_cli_stdout.wav";
  const std::string command = std::string(ZAN_CLI_PATH) + " --soundfont " + soundFont + " --wav - " + score +
                              " 2>/dev/null | cat >" + wav;
  ASSERT_EQ(std::system(command.c_str()), 0);
  const test::Wav w = test::readWav(wav);
  EXPECT_EQ(w.rate, 44100);
  EXPECT_GT(w.frames(), 44100) << "a second of music and the tail";
  EXPECT_GT(w.rms(0, w.frames()), 0.005);
  EXPECT_FALSE(exists("-"));
  ::unlink(wav.c_str());
}

TEST_F(CliPlayTest, AFileThatIsNoSoundFontIsNamedInOneLine) {
  const std::string score = writeScore("nosf.zan", "o4 c\n");
  const std::string wav = ::testing::TempDir() + "zan_cli_nosf.wav";
  const CliRun r = run("--soundfont " + score + " --wav " + wav + " " + score);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.output, "Compile Start\nok\nzan: " + score + " is not a SoundFont (.sf2, .sf3 or .dls)\n");
  EXPECT_FALSE(exists(wav));
}

}  // namespace
}  // namespace zan::player
