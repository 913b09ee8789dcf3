// SPDX-License-Identifier: MIT
#include "zan/text_helpers.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "test_support.h"
#include "zan/tsmf.h"

namespace zan {
namespace {

using test::EndlessFifo;
using test::makeZeroDevice;

TEST(TextHelpersTest, InStr) {
  struct Row {
    const char* text;
    const char* sub;
    int from;
    bool ignoreCase;
    int expected;
  };
  const Row rows[] = {
      {"abcabc", "bc", 3, false, 5},
      {"abcabc", "bc", 2, false, 2},
      {"abcabc", "bc", 6, false, 0},
      {"abcabc", "abc", 1, false, 1},
      {"abcabc", "c", 6, false, 6},
      {"abcabc", "c", 7, false, 0},  // from just past the end
      {"abcabc", "c", 100, false, 0},
      {"abcabc", "", 1, false, 0},
      {"", "", 1, false, 0},
      {"", "a", 1, false, 0},
      {"abc", "abcd", 1, false, 0},
      {"abc", "a", 0, false, 1},  // below 1 counts as 1
      {"xAbCx", "ABC", 1, true, 2},
      {"xAbCx", "ABC", 1, false, 0},
      {"xabcx", "aBc", 2, true, 2},
      {"[", "{", 1, true, 0},           // only letters fold
      {"\xC1", "\xE1", 1, true, 0},     // bytes above 127 never fold
      {"\x83\x41", "A", 1, false, 2},   // a match may start on a trail byte
      {"\x83\x5C\x5C", "\\", 1, false, 2},
  };
  for (const Row& r : rows)
    EXPECT_EQ(InStr(r.text, r.sub, r.from, r.ignoreCase), r.expected)
        << '"' << r.text << "\" \"" << r.sub << "\" from " << r.from << (r.ignoreCase ? " ignoring case" : "");
}

TEST(TextHelpersTest, AppDirIsTheDirectoryOfTheRunningProgram) {
  const std::string dir = AppDir();
  ASSERT_FALSE(dir.empty());
  EXPECT_EQ(dir.back(), '/');
  // The tests and the command-line compiler are built into the same directory.
  EXPECT_TRUE(std::filesystem::equivalent(dir + "zan", ZAN_CLI_PATH)) << dir;
}

class ReadFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (std::filesystem::path(::testing::TempDir()) / "zan_read_XXXXXX").string();
    ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string path(const std::string& name) const { return (dir_ / name).string(); }
  void write(const std::string& name, const std::string& bytes) const {
    std::ofstream(dir_ / name, std::ios::binary) << bytes;
  }
  // A file of `size` bytes that takes no room on disk: NUL bytes, as a hole reads.
  void sparse(const std::string& name, uintmax_t size) const {
    write(name, "");
    std::filesystem::resize_file(dir_ / name, size);
  }
  std::filesystem::path dir_;
};

// A bound of 1000 bytes: the file's own size, a file that grew past it and a
// stream that never ends.
TEST_F(ReadFileTest, ReadsUpToTheBoundAndRefusesOneByteMore) {
  constexpr size_t kBound = 1000;
  write("at.zan", std::string(kBound, 'c'));
  write("over.zan", std::string(kBound + 1, 'c'));
  write("empty.zan", "");
  sparse("hole.zan", kBound + 1);
  EndlessFifo endless(path("endless"), "c d e\n");
  struct Row {
    const char* name;
    ReadAs as;
    ReadStatus status;
    size_t size;  // of the contents when Ok
  };
  const Row rows[] = {
      {"at.zan", ReadAs::Score, ReadStatus::Ok, kBound},
      {"empty.zan", ReadAs::Score, ReadStatus::Ok, 0},
      {"over.zan", ReadAs::Score, ReadStatus::TooLarge, 0},
      {"hole.zan", ReadAs::Bytes, ReadStatus::TooLarge, 0},
      {"endless", ReadAs::Score, ReadStatus::TooLarge, 0},
  };
  for (const Row& r : rows) {
    std::string contents = "kept", error;
    EXPECT_EQ(ReadFile(path(r.name), kBound, r.as, contents, error), r.status) << r.name;
    if (r.status == ReadStatus::Ok) {
      EXPECT_EQ(contents.size(), r.size) << r.name;
    } else {
      EXPECT_EQ(contents, "kept") << r.name << ": nothing is handed back";
      EXPECT_EQ(error, path(r.name) + " holds more than 1000 bytes") << r.name;
    }
  }
}

// What a score cannot be is known from its first chunk: an endless stream of
// NUL bytes is refused at once, not at the bound.
TEST_F(ReadFileTest, AScoreIsRefusedAtItsFirstChunk) {
  write("song.mid", std::string("MThd\0\0\0\6", 8));
  write("nul.zan", std::string("c\0d", 3));
  // Past the first chunk a NUL byte is the caller's to find, in what was read.
  write("late.zan", std::string(70000, 'c') + std::string(1, '\0'));
  const bool device = makeZeroDevice(path("zero"));
  struct Row {
    const char* name;
    ReadStatus status;
    const char* error;
  };
  const Row rows[] = {
      {"song.mid", ReadStatus::NotScore, "a MIDI file"},
      {"nul.zan", ReadStatus::NotScore, "a binary file"},
      {"late.zan", ReadStatus::Ok, ""},
      {"zero", ReadStatus::NotScore, "a binary file"},
  };
  for (const Row& r : rows) {
    if (std::string(r.name) == "zero" && !device) continue;
    std::string contents, error;
    // The real bound: /dev/zero would be read to it if the first chunk went unseen.
    EXPECT_EQ(ReadFile(path(r.name), Limits{}.sourceBytes, ReadAs::Score, contents, error), r.status) << r.name;
    EXPECT_EQ(error, r.error) << r.name;
  }
  if (!device) GTEST_SKIP() << "cannot make a device node here";
  // Read as bytes, the same device ends at the bound.
  std::string contents, error;
  EXPECT_EQ(ReadFile(path("zero"), 4096, ReadAs::Bytes, contents, error), ReadStatus::TooLarge);
}

TEST_F(ReadFileTest, TheRealBoundOfAScore) {
  const size_t bound = Limits{}.sourceBytes;
  EXPECT_EQ(bound, 64u << 20);
  sparse("at", bound);
  sparse("over", bound + 1);
  std::string contents, error;
  EXPECT_EQ(ReadFile(path("at"), bound, ReadAs::Bytes, contents, error), ReadStatus::Ok);
  EXPECT_EQ(contents.size(), bound);
  EXPECT_EQ(ReadFile(path("over"), bound, ReadAs::Bytes, contents, error), ReadStatus::TooLarge);
  EXPECT_EQ(error, path("over") + " holds more than 67108864 bytes");
}

TEST_F(ReadFileTest, FailuresSayWhy) {
  std::filesystem::create_directory(dir_ / "folder");
  std::string contents, error;
  EXPECT_EQ(ReadFile(path("missing"), 100, ReadAs::Score, contents, error), ReadStatus::Failed);
  EXPECT_EQ(error, "cannot open " + path("missing") + ": No such file or directory");
  EXPECT_EQ(ReadFile(path("folder"), 100, ReadAs::Score, contents, error), ReadStatus::Failed);
  EXPECT_EQ(error, "cannot read " + path("folder") + ": Is a directory");
}

}  // namespace
}  // namespace zan
