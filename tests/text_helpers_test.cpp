#include "zan/text_helpers.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace zan {
namespace {

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

}  // namespace
}  // namespace zan
