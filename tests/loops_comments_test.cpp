// SPDX-License-Identifier: MIT
// Loops [ : ] and comments ; { }: which notes a source plays, and the errors.
#include <gtest/gtest.h>

#include "test_support.h"

namespace zan::test {
namespace {


// The details of the error lines, with their line numbers: "0:]が多い".
std::vector<std::string> errorDetails(const Score& s) {
  std::vector<std::string> out;
  for (const std::string& e : s.errors()) {
    const size_t close = e.find(')'), quote = e.find("\":");
    out.push_back(e.substr(4, close - 4) + ":" + e.substr(close + 2, quote - close - 2));
  }
  return out;
}

TEST(LoopsCommentsTest, WhatIsPlayed) {
  struct Row {
    const char* source;
    const char* notes;
    std::vector<std::string> errors;
  };
  const Row rows[] = {
      {"[3 c d : e ]", "c d e c d e c d", {}},
      {"[ c ]", "c c", {}},
      {"[0 c ] d", "c d", {}},
      {"[1 c ] d", "c d", {}},
      {"[2 [2 c ] d ]", "c c d c c d", {}},
      {"[2 [3 c : d ] e ] f", "c d c d c e c d c d c e f", {}},
      {"[3 > c ]", "60 72 84", {}},
      // Bodies across lines.
      {"[2\nc]", "c c", {}},
      {"[3c\n]", "c c c", {}},
      {"e [2 c\nd ] f", "e c d c d f", {}},
      {"[2 c :\nd ]\ne", "c d c e", {}},
      {"[2 c\n[2 d\n] : e ] f", "c d d e c d d f", {}},
      // A : on the only pass leaves at the loop's ], found by looking ahead
      // over nested loops and comments.
      {"[1 c : d ] e", "c e", {}},
      {"[0 c : d ] e", "c e", {}},
      {"[1 c : [2 d ] { ] } ; ]\nd ] e", "c e", {}},
      // No ] follows: the : cannot leave, and the loop stays open.
      {"[1 c : d", "c d", {"1:] が1つ足りません。"}},
      // Faults.
      {"c ] d", "c d", {"0:]が多い"}},
      {"[2 c ]] d", "c c d", {"0:]が多い"}},
      {"c : d", "c d", {"0:ループ外に:がある"}},
      {"[2 c", "c", {"1:] が1つ足りません。"}},
      {"[[ c\n\n", "c", {"2:] が2つ足りません。"}},
      {"[99999999999 c ] d", "c d", {"0:["}},
      // Comments.
      {"c ; d { e\nf", "c f", {}},
      {"c { d } e", "c e", {}},
      {"{ a\nb } c", "c", {}},
      {"{ a\n b\n ; c\n} d", "d", {}},
      {"{ ; } c", "c", {}},
      {"{ c } } d", "d", {"0:}"}},
      {"c\n{ d\ne", "c", {"2:}がない"}},
      {"c {", "c", {"0:}がない"}},
  };
  for (const Row& r : rows) {
    Score s;
    s.compile(r.source);
    EXPECT_EQ(notes(s), r.notes) << r.source;
    EXPECT_EQ(errorDetails(s), r.errors) << r.source;
  }
}

TEST(LoopsCommentsTest, BoundsOfLoops) {
  std::string opens, closes;
  for (int i = 0; i < 256; ++i) opens += "[1", closes += "]";
  Score s;
  // The 257th [ is refused and its loop plays once.
  s.compile(opens + "[3 c ]" + closes + " d");
  EXPECT_EQ(notes(s), "c d");
  EXPECT_EQ(errorDetails(s), (std::vector<std::string>{"0:["}));
  // 256 nested loops are allowed.
  s.compile(opens + "c" + closes);
  EXPECT_EQ(notes(s), "c");
  EXPECT_TRUE(s.errors().empty());
  EXPECT_TRUE(s.smf.loopStack.empty());
}

TEST(LoopsCommentsTest, LoopJumpsKeepTheSourceLinesAndTime) {
  Score s;
  s.compile("[2 c\nd ]\ne");
  EXPECT_EQ(s.smf.sourceLines.lines(), (std::vector<std::string>{"[2 c", "d ]", "e"}));
  std::vector<std::string> ons;
  for (const std::string& e : s.events(0))
    if (e.find(": 90") != std::string::npos) ons.push_back(e);
  EXPECT_EQ(ons, (std::vector<std::string>{"0: 90 30 64", "96: 90 32 64", "192: 90 30 64", "288: 90 32 64",
                                           "384: 90 34 64"}));
}

}  // namespace
}  // namespace zan::test
