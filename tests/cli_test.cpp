// SPDX-License-Identifier: MIT
// The command-line compiler, run as a program: messages, exit status and the
// output file.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <nlohmann/json.hpp>

#include "test_support.h"

namespace zan::test {
namespace {

namespace fs = std::filesystem;

const std::string kOneNoteFile =
    "4D 54 68 64 00 00 00 06 00 01 00 01 00 60 4D 54 72 6B 00 00 00 13 00 FF 51 03 07 A1 20 00 90 30 64 53 80 30 64 "
    "00 FF 2F 00";

std::string readText(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class CliTest : public ::testing::Test {
 protected:
  struct Run {
    int status;
    std::string out, err;
  };

  void SetUp() override {
    std::string tmpl = (fs::path(::testing::TempDir()) / "zan_cli_XXXXXX").string();
    ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override { fs::remove_all(dir_); }

  void write(const std::string& name, const std::string& bytes) {
    std::ofstream(dir_ / name, std::ios::binary) << bytes;
  }
  // Runs zan (or `program`, with any environment before it) in the
  // temporary directory with `args` (already quoted for the shell), standard
  // input from the file `input` when given.
  Run zan(const std::string& args, const std::string& input = "", const std::string& program = "'" ZAN_CLI_PATH "'") {
    const std::string cmd = "cd '" + dir_.string() + "' && " + program + " " + args +
                            (input.empty() ? " </dev/null" : " <'" + input + "'") + " >.stdout 2>.stderr";
    const int raw = std::system(cmd.c_str());
    Run r{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, readText(dir_ / ".stdout"), readText(dir_ / ".stderr")};
    fs::remove(dir_ / ".stdout");
    fs::remove(dir_ / ".stderr");
    return r;
  }
  std::vector<std::string> files() const {
    std::vector<std::string> out;
    for (const fs::directory_entry& e : fs::recursive_directory_iterator(dir_))
      out.push_back(e.path().lexically_relative(dir_).string());
    std::sort(out.begin(), out.end());
    return out;
  }
  std::string fileHex(const std::string& name) const {
    const std::string s = readText(dir_ / name);
    return hex(reinterpret_cast<const uint8_t*>(s.data()), s.size());
  }

  fs::path dir_;
};

TEST_F(CliTest, WritesTheFileWhereAsked) {
  struct Row {
    const char* score;  // written with the one-note source
    const char* args;
    const char* output;
  };
  const Row rows[] = {
      {"song.zan", "song.zan", "song.mid"},
      {"song", "song", "song.mid"},
      {"a.b/song", "a.b/song", "a.b/song.mid"},
      {"a.b/song.x.zan", "a.b/song.x.zan", "a.b/song.x.mid"},
      {"song.zan", "-o other.mid song.zan", "other.mid"},
      {"song.zan", "song.zan -o a.b/other", "a.b/other"},
  };
  for (const Row& r : rows) {
    fs::create_directories(dir_ / "a.b");
    write(r.score, "t120 c\n");
    Run run = zan(r.args);
    EXPECT_EQ(run.status, 0) << r.args;
    EXPECT_EQ(run.out, "Compile Start\nok\n") << r.args;
    EXPECT_EQ(run.err, "") << r.args;
    EXPECT_EQ(fileHex(r.output), kOneNoteFile) << r.args;
    fs::remove(dir_ / r.output);
    fs::remove(dir_ / r.score);
    EXPECT_EQ(files(), std::vector<std::string>{"a.b"}) << r.args << ": nothing else written";
  }
}

TEST_F(CliTest, ReadsStandardInputIntoOutMid) {
  write("in.txt", "t120 c\n");
  Run run = zan("-", "in.txt");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "Compile Start\nok\n");
  EXPECT_EQ(fileHex("out.mid"), kOneNoteFile);
}

TEST_F(CliTest, ExitStatusFollowsTheErrorsReported) {
  struct Row {
    const char* source;
    int status;
  };
  const Row rows[] = {
      {"c\n", 0},
      {"", 0},
      {"c 1\n", 1},
      {"[2 c\n", 1},                   // the only error comes after the last line
      {"1 1 1 1 1 1 1 1 1 1 1\n", 1},  // cut off
  };
  for (const Row& r : rows) {
    write("s.zan", r.source);
    Run run = zan("s.zan");
    EXPECT_EQ(run.status, r.status) << r.source;
    EXPECT_TRUE(fs::exists(dir_ / "s.mid")) << "the file is written even with errors: " << r.source;
    EXPECT_EQ(run.out.substr(run.out.size() - 3), "ok\n");
  }
}

TEST_F(CliTest, MessagesAreUtf8WithReplacementForHalfCharacters) {
  // CP932: "ア" is 83 41, "あ" is 82 A0.
  write("s.zan", "\x83\x41\r\n{ \x82\xA0\r\n");
  Run run = zan("s.zan");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out,
            "Compile Start\n"
            "err(0)\"\xEF\xBF\xBD\":解読不能文字です\"> _tr<0> ptr=0<0>小節目\n"
            "err(0)\"A\":解読不能文字です\"> _tr<0> ptr=0<0>小節目\n"
            "err(1)\"}がない\":文法のエラー\"> _tr<0> ptr=0<0>小節目\n"
            "ok\n");
  // A UTF-8 score is read as such.
  write("u.zan", "{ 日本語 }\nt120 c\n");
  run = zan("u.zan");
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(fileHex("u.mid"), kOneNoteFile);
}

TEST_F(CliTest, ListingShowsTheCompiledLines) {
  write("s.zan", "c\n[2 d ]\n\n; x\n");
  Run run = zan("--listing s.zan");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "Compile Start\nok\n   0:c\n   1:[2 d ]\n   2:\n   3:; x\n");
}

TEST_F(CliTest, FailuresExitWithStatusTwoAndLeaveNoFile) {
  write("song.zan", "c\n");
  write("other.zan", "c\n");
  fs::create_directory(dir_ / "sub");
  struct Row {
    const char* args;
    bool compiled;  // the compile ran, so its messages were printed
  };
  const Row rows[] = {
      {"", false},
      {"-o", false},
      {"song.zan -o", false},
      {"--bogus song.zan", false},
      {"song.zan other.zan", false},
      {"missing.zan", false},
      {"sub", false},  // a directory is no score
      {"-o missing/x.mid song.zan", true},
      {"-o sub song.zan", true},  // a directory in the way of the output
      {"--gain 11 song.zan", false},
      {"--gain loud song.zan", false},
      {"--rate 44000 song.zan", false},
      {"--tail -1 song.zan", false},
      {"--mute 128 song.zan", false},
      {"--solo 1,,2 song.zan", false},
      {"--mute x song.zan", false},
  };
  for (const Row& r : rows) {
    Run run = zan(r.args);
    EXPECT_EQ(run.status, 2) << r.args;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << r.args << ": " << run.err;
    EXPECT_EQ(run.out, r.compiled ? "Compile Start\n" : "") << r.args;
    EXPECT_EQ(files(), (std::vector<std::string>{"other.zan", "song.zan", "sub"})) << r.args;
  }
}

// zan has no player of its own: --play and --wav hand the run over to the
// player program, which must find standard input unread and be of zan's
// own version.
TEST_F(CliTest, PlaybackIsHandedToThePlayerProgram) {
  write("song.zan", "c\n");
  Run run = zan("--play song.zan", "", "ZAN_PLAYER=./missing '" + std::string(ZAN_CLI_PATH) + "'");
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err,
            "zan: --play and --wav need the player program ./missing, which cannot be started: No such file or "
            "directory\n");
  // Installed, zan finds the player in ../libexec/zan/; without it, it
  // names the package that holds it.
  fs::create_directories(dir_ / "usr/bin");
  fs::copy_file(ZAN_CLI_PATH, dir_ / "usr/bin/zan");
  const std::string installed = "env -u ZAN_PLAYER '" + (dir_ / "usr/bin/zan").string() + "'";
  run = zan("--play song.zan", "", installed);
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, "zan: --play and --wav need the player program " + (dir_ / "usr/bin/").string() +
                         "../libexec/zan/zan-play, which cannot be started: No such file or directory\n"
                         "zan: the player program comes with the package zan-player (apt install zan-player)\n");
  fs::create_directories(dir_ / "usr/libexec/zan");
  write("usr/libexec/zan/zan-play", "#!/bin/sh\necho \"player: $*\"\n");
  fs::permissions(dir_ / "usr/libexec/zan/zan-play", fs::perms::owner_all);
  run = zan("--play song.zan", "", installed);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "player: --play song.zan\n");
  fs::remove_all(dir_ / "usr");
  run = zan("--wav out.wav song.zan", "", "ZAN_HANDED_OVER=0.0.0 '" + std::string(ZAN_PLAY_PATH) + "'");
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err.rfind("zan: the player program is version ", 0), 0u) << run.err;
  EXPECT_EQ(files(), (std::vector<std::string>{"song.zan"}));
  bool haveSoundFont = false;
  for (const char* p : {"/usr/share/sounds/sf2/TimGM6mb.sf2", "/usr/share/sounds/sf2/FluidR3_GM.sf2"})
    haveSoundFont = haveSoundFont || fs::exists(p);
  if (!haveSoundFont) GTEST_SKIP() << "no SoundFont to render with";
  run = zan("--wav out.wav -", (dir_ / "song.zan").string());
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "Compile Start\nok\n");
  EXPECT_GT(fs::file_size(dir_ / "out.wav"), 44u);
}

TEST_F(CliTest, InputThatWouldBeDestroyedIsRefused) {
  const std::string midi = "MThd" + std::string("\0\0\0\6\0\1\0\0\0\x60", 10);
  write("song.mid", midi);
  write("x.zan", "c\n");
  write("bin.zan", std::string("c\0d\n", 4));
  fs::create_symlink("x.zan", dir_ / "link.zan");
  struct Row {
    const char* args;
    const char* message;
  } rows[] = {
      {"song.mid", "zan: song.mid is a MIDI file, not a score\n"},
      {"--wav out.wav song.mid", "zan: song.mid is a MIDI file, not a score\n"},
      {"- -o from-stdin.mid", "zan: standard input is a MIDI file, not a score\n"},
      {"bin.zan", "zan: bin.zan is a binary file, not a score\n"},
      {"-o x.zan x.zan", "zan: x.zan is the score itself: choose another output file\n"},
      {"-o ./x.zan x.zan", "zan: ./x.zan is the score itself: choose another output file\n"},
      {"-o link.zan x.zan", "zan: link.zan is the score itself: choose another output file\n"},
      {"--wav link.zan x.zan", "zan: link.zan is the score itself: choose another output file\n"},
  };
  for (const Row& r : rows) {
    const Run run = zan(r.args, (dir_ / "song.mid").string());
    EXPECT_EQ(run.status, 2) << r.args;
    EXPECT_EQ(run.err, r.message) << r.args;
    EXPECT_EQ(run.out, "") << r.args;
    EXPECT_EQ(files(), (std::vector<std::string>{"bin.zan", "link.zan", "song.mid", "x.zan"})) << r.args;
    EXPECT_EQ(readText(dir_ / "song.mid"), midi);
    EXPECT_EQ(readText(dir_ / "x.zan"), "c\n");
  }
}

TEST_F(CliTest, TheScoreOnStandardInputAndTwoOutputsOfOneNameAreRefused) {
  write("x.zan", "c\n");
  fs::create_symlink("x.zan", dir_ / "link.zan");
  struct Row {
    const char* args;
    const char* message;
  } rows[] = {
      {"-o x.zan -", "zan: x.zan is the score itself: choose another output file\n"},
      {"-o link.zan -", "zan: link.zan is the score itself: choose another output file\n"},
      {"-o same.x --wav same.x x.zan", "zan: -o same.x and --wav same.x name the same file: choose two (see zan --help)\n"},
      {"-o ./same.x --wav=same.x x.zan",
       "zan: -o ./same.x and --wav same.x name the same file: choose two (see zan --help)\n"},
      {"-o - --wav - x.zan", "zan: -o - and --wav - cannot both write to standard output (see zan --help)\n"},
  };
  for (const Row& r : rows) {
    const Run run = zan(r.args, (dir_ / "x.zan").string());
    EXPECT_EQ(run.status, 2) << r.args;
    EXPECT_EQ(run.err, r.message) << r.args;
    EXPECT_EQ(readText(dir_ / "x.zan"), "c\n") << r.args;
    EXPECT_EQ(files(), (std::vector<std::string>{"link.zan", "x.zan"})) << r.args;
  }
}

TEST_F(CliTest, OptionsTakeTheirValuesEitherWayAndDashDashEndsThem) {
  write("song.zan", "t120 c\n");
  write("bad.zan", "c\nx\n");
  write("-dash.zan", "t120 c\n");
  struct Row {
    const char* args;
    int status;
    const char* out;
    std::vector<std::string> files;  // besides the three scores
  } rows[] = {
      {"--diagnostics gcc bad.zan", 1, nullptr, {"bad.mid"}},
      {"--diagnostics=gcc bad.zan", 1, nullptr, {"bad.mid"}},
      {"-o out.mid song.zan", 0, "Compile Start\nok\n", {"out.mid"}},
      {"-oout.mid song.zan", 0, "Compile Start\nok\n", {"out.mid"}},
      {"--mute=1 --gain=2 -o out.mid song.zan", 0, "Compile Start\nok\n", {"out.mid"}},
      {"-- -dash.zan", 0, "Compile Start\nok\n", {"-dash.mid"}},
      {"-o out.mid -- -dash.zan", 0, "Compile Start\nok\n", {"out.mid"}},
      {"--check song.zan", 0, "Compile Start\nok\n", {}},
      {"--check bad.zan", 1, nullptr, {}},
      {"--check --diagnostics=gcc bad.zan", 1, nullptr, {}},
      {"--check -o out.mid song.zan", 2, "", {}},
      {"--check --play song.zan", 2, "", {}},
      {"--play=yes song.zan", 2, "", {}},
      {"--diagnostics=xml song.zan", 2, "", {}},
      {"--diagnostics song.zan", 2, "", {}},
      {"-dash.zan", 2, "", {}},
  };
  std::string gcc;  // both spellings of --diagnostics print the same
  for (const Row& r : rows) {
    const Run run = zan(r.args);
    EXPECT_EQ(run.status, r.status) << r.args << ": " << run.err;
    if (r.out) {
      EXPECT_EQ(run.out, r.out) << r.args;
    }
    if (std::string(r.args).find("gcc") != std::string::npos) {
      if (gcc.empty()) gcc = run.out;
      EXPECT_EQ(run.out, gcc) << r.args;
      EXPECT_NE(run.out.find("bad.zan:2:1: error:"), std::string::npos) << run.out;
    }
    if (r.status == 2) {
      EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << r.args << ": " << run.err;
    }
    std::vector<std::string> expected = r.files;
    for (const char* score : {"-dash.zan", "bad.zan", "song.zan"}) expected.push_back(score);
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(files(), expected) << r.args;
    for (const std::string& f : r.files) fs::remove(dir_ / f);
  }
}

// Private copies of /dev/null and /dev/full in the test's folder; and the
// real standard output through its /dev name.
TEST_F(CliTest, ADeviceOrStandardOutputNamedAsOutputIsWrittenNotReplaced) {
  write("song.zan", "t120 c\n");
  Run run = zan("-o /dev/stdout song.zan");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(hex(reinterpret_cast<const uint8_t*>(run.out.data()), run.out.size()), kOneNoteFile);
  EXPECT_EQ(run.err, "Compile Start\nok\n");
  if (::mknod((dir_ / "null").c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0 ||
      ::mknod((dir_ / "full").c_str(), S_IFCHR | 0666, makedev(1, 7)) != 0)
    GTEST_SKIP() << "cannot make device nodes here (not root?)";
  run = zan("-o null song.zan");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "Compile Start\nok\n");
  run = zan("-o full song.zan");
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, "zan: cannot write full: No space left on device\n");
  EXPECT_TRUE(fs::is_character_file(dir_ / "null"));
  EXPECT_TRUE(fs::is_character_file(dir_ / "full"));
  EXPECT_EQ(files(), (std::vector<std::string>{"full", "null", "song.zan"}));
}

TEST_F(CliTest, DashOWritesTheFileToStandardOutputAndMessagesToStandardError) {
  write("one.zan", "t120 c\n");
  const Run run = zan("-o - one.zan");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(hex(reinterpret_cast<const uint8_t*>(run.out.data()), run.out.size()), kOneNoteFile);
  EXPECT_EQ(run.err, "Compile Start\nok\n");
  EXPECT_EQ(files(), std::vector<std::string>{"one.zan"});
}

TEST_F(CliTest, DiagnosticsForOtherTools) {
  fs::create_directories(dir_ / "parts");
  write("parts/sub.zan", "c\nv300 Q\n");
  write("s.zan", "_print(hi) c \xF0\x9F\x8E\xB5 あ x\n#include \"parts/sub.zan\"\n");
  Run run = zan("--diagnostics=gcc s.zan");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out,
            "s.zan:1:14: warning: 1 character(s) have no CP932 form and read as '?'\n"
            "s.zan:1:1: note: hi\n"
            "s.zan:1:14: error: 解読不能文字です \"?\" \u2014 undecipherable character (track 0, tick 96) [e2]\n"
            "s.zan:1:16: error: 解読不能文字です \"\xEF\xBF\xBD\" \u2014 undecipherable character (track 0, tick 96) [e2]\n"
            "s.zan:1:16: error: 解読不能文字です \"\xEF\xBF\xBD\" \u2014 undecipherable character (track 0, tick 96) [e2]\n"
            "s.zan:1:18: error: 解読不能文字です \"x\" \u2014 undecipherable character (track 0, tick 96) [e2]\n"
            "s.zan:2:1: note: include = parts/sub.zan\n"
            "parts/sub.zan:2:6: error: 引数が不正です \"Qの%指定が不正\" \u2014 bad argument (track 0, tick 192) [e4]\n");
  EXPECT_TRUE(fs::exists(dir_ / "s.mid"));

  run = zan("--diagnostics=json s.zan");
  const nlohmann::json doc = nlohmann::json::parse(run.out);
  EXPECT_EQ(doc["errors"], 5);
  const nlohmann::json& last = doc["messages"][doc["messages"].size() - 2];
  EXPECT_EQ(last, nlohmann::json::parse(R"({"kind": "error", "file": "parts/sub.zan", "line": 2, "column": 6,
      "endColumn": 7, "errorNumber": 4, "message": "引数が不正です", "detail": "Qの%指定が不正",
      "explanation": "bad argument", "track": 0, "tick": 192,
      "text": "err(3)\"Qの%指定が不正\":引数が不正です\"> _tr<0> ptr=192<2>小節目"})"));
  EXPECT_EQ(doc["messages"].back(), nlohmann::json::parse(R"({"kind": "progress", "text": "ok"})"));
  EXPECT_EQ(zan("--diagnostics=xml s.zan").status, 2);
}

// A score that never ends, or is no text, stops with one line: at its first
// chunk of NUL bytes, or at the bound of a score (the real one, through a
// FIFO fed without end), never reading on without limit.
TEST_F(CliTest, EndlessInputStopsWithOneLine) {
  write("s.zan", "#include \"endless\"\nc\n");
  struct Row {
    const char* args;
    bool fromFifo;  // standard input from the FIFO
    int status;
    const char* err;
    const char* out;  // what standard output holds
  };
  const Row rows[] = {
      {"-", true, 2, "zan: standard input holds more than 67108864 bytes, the most a score may hold\n", ""},
      {"endless", false, 2, "zan: endless holds more than 67108864 bytes, the most a score may hold\n", ""},
      // The #include stops the compile at the same bound.
      {"--diagnostics=gcc s.zan", false, 1, "",
       "s.zan:1:1: error: 文法のエラー \"#include file larger than the bound of 67108864 bytes, compile stopped: "
       "\"endless\"\" \u2014 syntax error (track 0, tick 0) [e5]\n"},
  };
  for (const Row& r : rows) {
    Run run;
    {
      EndlessFifo endless((dir_ / "endless").string(), "c d e\n");
      run = zan(r.args, r.fromFifo ? (dir_ / "endless").string() : "");
    }
    EXPECT_EQ(run.status, r.status) << r.args;
    EXPECT_EQ(run.err, r.err) << r.args;
    EXPECT_EQ(run.out, r.out) << r.args;
    if (r.status == 2) {
      EXPECT_EQ(files(), std::vector<std::string>{"s.zan"}) << r.args;
    }
  }

  if (!makeZeroDevice((dir_ / "zero").string())) GTEST_SKIP() << "cannot make a device node here";
  const Row zero[] = {
      {"zero", false, 2, "zan: zero is a binary file, not a score\n", ""},
      {"-", true, 2, "zan: standard input is a binary file, not a score\n", ""},
  };
  for (const Row& r : zero) {
    const Run run = zan(r.args, r.fromFifo ? (dir_ / "zero").string() : "");
    EXPECT_EQ(run.status, r.status) << r.args;
    EXPECT_EQ(run.err, r.err) << r.args;
    EXPECT_EQ(run.out, "") << r.args;
  }
}

// #include from a score in another folder: the current directory first,
// then the folder of the file holding the #include line.
TEST_F(CliTest, IncludeLooksBesideTheScoreFromAnotherFolder) {
  fs::create_directories(dir_ / "songs" / "parts");
  write("here.zan", "_print(current directory)");
  write("songs/here.zan", "_print(beside)");
  write("songs/only.zan", "_print(beside)");
  write("songs/parts/a.zan", "#include \"b.zan\"");
  write("songs/parts/b.zan", "_print(nested)");
  struct Row {
    const char* include;
    const char* args;
    const char* input;  // standard input, a file in the folder
    int status;
    const char* out;
  };
  const Row rows[] = {
      {"here.zan", "songs/main.zan", "", 0,
       "songs/main.zan:1:1: note: include = here.zan\nhere.zan:1:1: note: current directory\n"},
      {"only.zan", "songs/main.zan", "", 0,
       "songs/main.zan:1:1: note: include = only.zan\nsongs/only.zan:1:1: note: beside\n"},
      {"parts/a.zan", "songs/main.zan", "", 0,
       "songs/main.zan:1:1: note: include = parts/a.zan\nsongs/parts/a.zan:1:1: note: include = b.zan\n"
       "songs/parts/b.zan:1:1: note: nested\n"},
      // Found nowhere: the message as it always was.
      {"none.zan", "songs/main.zan", "", 1,
       "songs/main.zan:1:1: error: 原因不明のエラー \"指定されたファイル\"none.zan\"が開けません\" \u2014 unknown error "
       "(track 0, tick 0) [e0]\n"},
      // Standard input: the current directory only.
      {"only.zan", "-", "songs/main.zan", 1,
       "<stdin>:1:1: error: 原因不明のエラー \"指定されたファイル\"only.zan\"が開けません\" \u2014 unknown error "
       "(track 0, tick 0) [e0]\n"},
  };
  for (const Row& r : rows) {
    write("songs/main.zan", std::string("#include \"") + r.include + "\"\n");
    const Run run = zan(std::string("--diagnostics=gcc ") + r.args, *r.input ? (dir_ / r.input).string() : "");
    EXPECT_EQ(run.status, r.status) << r.include << " " << r.args;
    EXPECT_EQ(run.out, r.out) << r.include << " " << r.args;
  }
}

TEST_F(CliTest, ImportWritesTheScoreOrRefusesTheFileWithOneLine) {
  std::string midi;
  for (size_t i = 0; i < kOneNoteFile.size(); i += 3) midi += static_cast<char>(std::stoi(kOneNoteFile.substr(i, 2), nullptr, 16));
  write("one.mid", midi);
  const Run toStdout = zan("import one.mid");
  EXPECT_EQ(toStdout.status, 0) << toStdout.err;
  EXPECT_EQ(toStdout.out, "; imported from one.mid\n#timebase 96\n\n_tr(0) CH=1\nl4 t120 c\n");
  EXPECT_EQ(toStdout.err, "");
  const Run toFile = zan("import one.mid -o one.zan --quantize=1/8");
  EXPECT_EQ(toFile.status, 0) << toFile.err;
  EXPECT_EQ(toFile.err, "zan: one.mid: quantize moved 1 notes, the largest move 13 ticks\n");
  EXPECT_EQ(readText(dir_ / "one.zan"), "; imported from one.mid\n#timebase 96\n\n_tr(0) CH=1\nq16 Q%1 l4 t120 c\n");
  const Run back = zan("one.zan -o back.mid");
  EXPECT_EQ(back.status, 0) << back.out;

  write("song.zan", "cde");
  write("cut.mid", midi.substr(0, 30));
  struct Case {
    const char* args;
    const char* err;
  };
  for (const Case& c : std::vector<Case>{
           {"import song.zan", "zan: song.zan: not a MIDI file (no MThd header)\n"},
           {"import cut.mid", "zan: cut.mid: not a readable MIDI file: track 0: chunk runs past the end of the file\n"},
           {"import missing.mid", "zan: cannot open missing.mid: No such file or directory\n"},
           {"import", "zan: import: no MIDI file named (see zan --help)\n"},
           {"import one.mid --quantize 1/5t", "zan: import: --quantize takes a note value such as 1/16, 1/12 or 1/16t\n"},
           {"import one.mid -o one.mid", "zan: one.mid is the MIDI file itself: choose another output file\n"},
       }) {
    const Run r = zan(std::string(c.args) + "");
    EXPECT_EQ(r.status, 2) << c.args;
    EXPECT_EQ(r.err, c.err) << c.args;
    EXPECT_EQ(r.out, "") << c.args;
  }
  EXPECT_EQ(readText(dir_ / "one.mid"), midi);
}

TEST_F(CliTest, HelpAndVersion) {
  Run run = zan("--help");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out.rfind("Usage: zan", 0), 0u) << run.out;
  EXPECT_NE(run.out.find("--listing"), std::string::npos);
  EXPECT_EQ(run.err, "");
  run = zan("--version");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out.rfind("zan ", 0), 0u) << run.out;
  EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 1);
  EXPECT_EQ(files(), std::vector<std::string>{});
}

}  // namespace
}  // namespace zan::test
