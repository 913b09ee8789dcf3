// SPDX-License-Identifier: MIT
// Directives: #timebase, #octave_up_down, #end, #randomize and #include, from
// a file reader in memory and from real files.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "test_support.h"

namespace zan::test {
namespace {

using Lines = std::vector<std::string>;


// Note numbers of track 0's note-ons, in order.
std::vector<int> noteNumbers(const Score& s) {
  std::vector<int> out;
  const Tivent& list = s.smf.events[0];
  for (const Tivent::Entry& e : list.entries())
    if ((list.bytes(e)[0] & 0xF0) == 0x90) out.push_back(list.bytes(e)[1]);
  return out;
}

// The messages that are neither errors nor the compile's start and end.
Lines prints(const Score& s) {
  Lines out;
  for (const std::string& m : s.messages)
    if (m.rfind("err(", 0) != 0 && m != "Compile Start" && m != "ok") out.push_back(m);
  return out;
}

// The shared generator: one draw below n.
uint32_t draw(uint32_t& seed, uint32_t n) {
  seed = seed * 134775813u + 1u;
  return static_cast<uint32_t>((static_cast<uint64_t>(seed) * n) >> 32);
}

const std::string kTooDeep = "#include の入れ子の上限(16)を超えたので、コンパイルを中止します: ";

TEST(DirectiveTest, Settings) {
  struct Row {
    const char* source;
    int32_t timebase, octaveReverse;
    Lines errors;
  } rows[] = {
      {"#timebase 480", 480, 0, {}}, {"#timebase480", 480, 0, {}}, {"#timebase   $1E0", 480, 0, {}},
      {"#timebase 13", 13, 0, {}}, {"#timebase 1536", 1536, 0, {}}, {"#timebase 480\n#timebase 192", 192, 0, {}},
      {"#timebase 12", 96, 0, {"0:4 timebase"}}, {"#timebase 1537", 96, 0, {"0:4 timebase"}},
      {"#timebase", 96, 0, {"0:4 timebase"}},
      {"#timebase=480", 96, 0, {"0:4 timebase", "0:2 =", "0:2 4", "0:2 8", "0:2 0"}},
      {"#octave_up_down 1", 96, 1, {}}, {"#octave_up_down 1\n#octave_up_down0", 96, 0, {}},
      {"#octave_up_down 2", 96, 0, {"0:4 timebase"}}, {"#octave_up_down", 96, 0, {"0:4 timebase"}},
  };
  for (const Row& r : rows) {
    Score s;
    s.compile(r.source);
    EXPECT_EQ(s.smf.timebase, r.timebase) << r.source;
    EXPECT_EQ(s.smf.octaveReverse, r.octaveReverse) << r.source;
    EXPECT_EQ(errsAt(s), r.errors) << r.source;
  }
}

TEST(DirectiveTest, EffectsOnTheMusic) {
  Score s;
  // The division is written into the header; default lengths stay 96 ticks.
  s.compile("#timebase 480\nc");
  EXPECT_EQ(s.parsed().division, 480);
  EXPECT_EQ(s.smf.ptr[0], 96);
  s.compile("#octave_up_down 1\n>c<<d");
  EXPECT_EQ(noteNumbers(s), (std::vector<int>{36, 62}));
  // Unknown words leave only the # consumed; keywords are case-sensitive.
  s.compile("#c #Xe");
  EXPECT_EQ(noteNumbers(s), (std::vector<int>{48, 52}));
  EXPECT_EQ(errsAt(s), Lines{"0:2 X"});
}

TEST(DirectiveTest, EndStopsTheCompile) {
  for (const char* source : {"c\n#end d\n}e\nf", "c\n#endx\n}e", "_skipon\nc\n#end\n_skipoff }e"}) {
    Score s;
    s.compile(source);
    EXPECT_EQ(noteNumbers(s), std::string(source)[0] == 'c' ? std::vector<int>{48} : std::vector<int>{}) << source;
    EXPECT_TRUE(s.errors().empty()) << source;
    EXPECT_EQ(s.messages.back(), "ok");
  }
}

TEST(DirectiveTest, RandomizeSeedsTheDraws) {
  Score s;
  s.compile("#randomize 1234\n~1=rnd(1000) ~2=rnd(1000)");
  uint32_t seed = 1234;
  const int32_t first = static_cast<int32_t>(draw(seed, 1000)), second = static_cast<int32_t>(draw(seed, 1000));
  EXPECT_EQ(prints(s), Lines{"#randomize = 1234"});
  EXPECT_EQ(s.smf.vars[1], first);
  EXPECT_EQ(s.smf.vars[2], second);
  // 0 draws a seed from the generator; putting it in place of 0 reproduces
  // the same draws in a later compile, whatever that compile's own seed.
  s.compile("#randomize 0\n~1=rnd(1000) ~2=rnd(1000)", 77);
  uint32_t start = 77;
  const std::string drawn = std::to_string(static_cast<int32_t>(draw(start, 2147483647u)));
  EXPECT_EQ(prints(s), Lines{"#randomize = " + drawn});
  const int32_t v1 = s.smf.vars[1], v2 = s.smf.vars[2];
  s.compile("#randomize " + drawn + "\n~1=rnd(1000) ~2=rnd(1000)", 5);
  EXPECT_EQ(s.smf.vars[1], v1);
  EXPECT_EQ(s.smf.vars[2], v2);
  s.compile("~3=-5 #randomize ~3 #randomize -7");
  EXPECT_EQ(prints(s), (Lines{"#randomize = -5", "#randomize = -7"}));
  EXPECT_EQ(s.smf.randSeed, static_cast<uint32_t>(-7));
  s.compile("#randomize c");
  EXPECT_EQ(errsAt(s), Lines{"0:5 randomize"});
  EXPECT_EQ(noteNumbers(s), std::vector<int>{48});
}

TEST(DirectiveTest, IncludeSplicesTheLines) {
  std::map<std::string, std::string> files = {
      {"sub.zan", "e\r\nf\rg\n"},
      {"utf8.zan", "_print(あ)"},
      {"cp932.zan", toCp932("_print(い)")},
  };
  Score s;
  s.smf.fileReader = [&](const std::string& name, std::string& contents) {
    auto it = files.find(name);
    if (it == files.end()) return false;
    contents = it->second;
    return true;
  };
  // The rest of the including line first, then the file's lines; later error
  // lines count the inserted lines.
  s.compile("c\n#include \"sub.zan\" d\n}");
  EXPECT_EQ(noteNumbers(s), (std::vector<int>{48, 50, 52, 53, 55}));
  EXPECT_EQ(prints(s), Lines{"include = sub.zan"});
  EXPECT_EQ(errsAt(s), Lines{"5:2 }"});
  EXPECT_EQ(s.smf.sourceLines.lines(), (Lines{"c", "#include \"sub.zan\" d", "e", "f", "g", "}"}));
  const int32_t origins[][2] = {{0, 0}, {0, 1}, {1, 0}, {1, 1}, {1, 2}, {0, 2}};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(s.smf.sourceLines.origin(i).file, origins[i][0]) << i;
    EXPECT_EQ(s.smf.sourceLines.origin(i).line, origins[i][1]) << i;
  }
  EXPECT_EQ(s.smf.sourceLines.includeFiles(), Lines{"sub.zan"});
  // Included files are decoded like scores.
  s.compile("#include \"utf8.zan\"\n#include \"cp932.zan\"");
  EXPECT_EQ(prints(s), (Lines{"include = utf8.zan", "あ", "include = cp932.zan", "い"}));
  // Faults; compiling goes on at the cursor.
  s.compile("#include c\n#include \"d e\n#include \"none.zan\" f");
  EXPECT_EQ(errsAt(s), (Lines{"0:5 include", "1:5 include が \" で終わっていない",
                            "2:0 指定されたファイル\"none.zan\"が開けません"}));
  EXPECT_EQ(noteNumbers(s), (std::vector<int>{48, 50, 52, 53}));
}

// Files on disk, named relative to the current directory.
class DirectiveFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() / ("zan_include_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_ / "inc");
    std::filesystem::create_directories(dir_ / "folder.zan");
    saved_ = std::filesystem::current_path();
    std::filesystem::current_path(dir_);
  }
  void TearDown() override {
    std::filesystem::current_path(saved_);
    std::filesystem::remove_all(dir_);
  }
  void write(const std::filesystem::path& name, const std::string& text) {
    std::ofstream(dir_ / name, std::ios::binary) << text;
  }
  std::filesystem::path dir_, saved_;
};

TEST_F(DirectiveFileTest, IncludeFromDisk) {
  write("inc/sub.zan", "e\nf\n#include \"inc/leaf.zan\"");
  write("inc/leaf.zan", "g");
  write(std::filesystem::u8path("曲.zan"), "a");
  write("self.zan", "#include \"self.zan\"\nc");
  Score s;
  s.compile("#include \"inc/sub.zan\"\n#include \"曲.zan\"\n#include \"folder.zan\"\n}");
  EXPECT_EQ(noteNumbers(s), (std::vector<int>{52, 53, 55, 57}));
  EXPECT_EQ(errsAt(s), (Lines{"7:0 指定されたファイル\"folder.zan\"が開けません", "8:2 }"}));
  EXPECT_EQ(s.smf.sourceLines.origin(4).file, 2);
  EXPECT_EQ(s.smf.sourceLines.includeFiles(), (Lines{"inc/sub.zan", "inc/leaf.zan", toCp932("曲.zan")}));
  // A file that includes itself ends the compile at the nesting bound,
  // before any of its notes.
  s.compile("#include \"self.zan\"");
  EXPECT_TRUE(noteNumbers(s).empty());
  EXPECT_EQ(errsAt(s), Lines{"16:5 " + kTooDeep + "\"self.zan\""});
}

// The current directory first, as scores have always relied on; then the
// folder of the file that holds the #include line.
TEST_F(DirectiveFileTest, IncludeLooksBesideTheIncludingFileWhenTheCurrentDirectoryHasNone) {
  write("inc.zan", "c");
  std::filesystem::create_directories(dir_ / "songs" / "parts");
  write("songs/inc.zan", "d");
  write("songs/only.zan", "e");
  write("songs/parts/a.zan", "#include \"b.zan\"");
  write("songs/parts/b.zan", "f");
  const std::string absolute = (dir_ / "songs" / "main.zan").string();
  struct Row {
    std::string scorePath;  // "" for standard input
    const char* include;
    const char* notes;
    const char* error;
  };
  const Row rows[] = {
      {"songs/main.zan", "inc.zan", "c", nullptr},  // the current directory has it: beside is not looked at
      {"songs/main.zan", "only.zan", "e", nullptr},
      {absolute, "only.zan", "e", nullptr},
      {"songs/main.zan", "parts/a.zan", "f", nullptr},  // b.zan beside a.zan, the file holding its #include
      {"songs/main.zan", "none.zan", "", "0 指定されたファイル\"none.zan\"が開けません"},
      {"", "only.zan", "", "0 指定されたファイル\"only.zan\"が開けません"},  // standard input: the current directory only
  };
  for (const Row& r : rows) {
    Score s;
    s.smf.scorePath = r.scorePath;
    s.compile(std::string("#include \"") + r.include + "\"");
    EXPECT_EQ(notes(s), r.notes) << r.scorePath << " " << r.include;
    EXPECT_EQ(errs(s), r.error ? Lines{r.error} : Lines{}) << r.scorePath << " " << r.include;
  }
}

// A name can stand for a file without end: it stops at the bound of a
// source file, as a file too large does.
TEST_F(DirectiveFileTest, IncludeOfAnEndlessOrOversizedFileStopsAtTheBound) {
  EndlessFifo endless((dir_ / "endless").string(), "c d e\n");
  std::ofstream(dir_ / "big.zan").close();
  std::filesystem::resize_file(dir_ / "big.zan", (64u << 20) + 1);
  const bool device = makeZeroDevice((dir_ / "zero").string());
  struct Row {
    const char* name;
    size_t bound;
  };
  const Row rows[] = {{"endless", 1u << 16}, {"big.zan", 64u << 20}, {"zero", 64u << 20}};
  for (const Row& r : rows) {
    if (std::string(r.name) == "zero" && !device) continue;
    Score s;
    s.smf.limits.sourceBytes = r.bound;
    s.compile(std::string("#include \"") + r.name + "\"\nc");
    EXPECT_EQ(errs(s), Lines{"5 #include file larger than the bound of " + std::to_string(r.bound) +
                             " bytes, compile stopped: \"" + r.name + "\""})
        << r.name;
    EXPECT_EQ(notes(s), "") << r.name << ": the compile ends there";
  }
}

// A host's own text of a file (an editor's unsaved document) is asked for by
// the path #include resolved to, nested includes beside their includer, and
// stands in for the file on disk; other files are read as usual.
TEST(DirectiveTest, IncludeTakesTheHostsTextOfAFile) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / ("zan_held_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir / "parts");
  std::ofstream(dir / "parts" / "a.zan") << "c\n#include \"b.zan\"\n";
  std::ofstream(dir / "parts" / "b.zan") << "d\n";
  std::ofstream(dir / "parts" / "disk.zan") << "e\n";
  std::vector<std::string> asked;
  Score s;
  s.smf.scorePath = (dir / "main.zan").string();
  s.smf.documentReader = [&](const std::string& path, std::string& contents) {
    asked.push_back(path);
    if (path != (dir / "parts" / "b.zan").string()) return false;
    contents = "f\n";
    return true;
  };
  s.compile("#include \"parts/a.zan\"\n#include \"parts/disk.zan\"\n");
  EXPECT_EQ(notes(s), "c f e");
  EXPECT_EQ(asked, (Lines{(dir / "parts/a.zan").string(), (dir / "parts" / "b.zan").string(),
                          (dir / "parts/disk.zan").string()}));
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace zan::test
