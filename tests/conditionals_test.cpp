// SPDX-License-Identifier: MIT
// SEL/SWITCH and IF, the one-shot queues RV/RQ/RN and the random ranges
// RNDV/RNDN/RNDB: what gets compiled, what each note takes, and the errors.
#include <gtest/gtest.h>

#include <algorithm>

#include "test_support.h"

namespace zan::test {
namespace {

using Lines = std::vector<std::string>;



// The generator the compiler draws from.
struct Draws {
  uint32_t seed;
  int32_t random(uint32_t n) {
    seed = seed * 134775813u + 1u;
    return static_cast<int32_t>((static_cast<uint64_t>(seed) * n) >> 32);
  }
};

TEST(ConditionalsTest, WhatIsCompiled) {
  const struct {
    const char* source;
    const char* notes;
    Lines errors;
  } rows[] = {
      {"SEL(2,c4,e4,g4)", "e", {}},
      {"SWITCH(3,c,e,g) a", "g a", {}},
      {"~1=1 SEL(~1,\"c8d8\",\"e4\")", "c d", {}},
      {"SEL(2,c,\"SEL(2,d,e)f\")g", "e f g", {}},  // nested
      {"[2 SEL(1,c,d) ]", "c c", {}},
      {"SEL(0,c,d) e", "e", {"4 SWITCH or SEL"}},
      {"SEL(3,c,d) e", "e", {"4 SWITCH or SEL"}},
      {"SEL(1) e", "e", {"4 SWITCH or SEL"}},
      {"IF(5>3,c,d)", "c", {}},
      {"IF(3>3,c,d)", "d", {}},
      {"IF(3>=3,c,d) IF(2>=3,c,d)", "c d", {}},
      {"IF(3=>3,c,d) IF(2=>3,c,d)", "c d", {}},
      {"IF(2<3,c,d) IF(3<3,c,d)", "c d", {}},
      {"IF(3<=3,c,d) IF(4<=3,c,d)", "c d", {}},
      {"IF(3=<3,c,d) IF(4=<3,c,d)", "c d", {}},
      {"IF(3=3,c,d) IF(3=4,c,d)", "c d", {}},
      {"IF(-2<-1,c)", "c", {}},
      {"IF($10=16,c) IF(3>1junk,d)", "c d", {}},  // anything after the right operand is ignored
      {"~1=3 IF(~1>=3,c4,r4) d", "c d", {}},
      {"~1=2 IF(~1>=3,c4,r4) d", "d", {}},
      {"~1=1 ~2=2 IF(~1=~2,c) d", "d", {}},  // only the marker
      {"IF(1=1,\"e\")", "e", {}},             // as written; the quotes are skipped
      // The else-text is used with exactly three arguments.
      {"IF(1>3,c) d", "d", {}},
      {"IF(5>3,c,d,e)", "c", {}},
      {"IF(1>3,c,d,e) f", "f", {}},
      {"IF(c) d", "d", {}},  // a single argument does nothing
      {"IF d", "d", {"4 IF"}},
      {"IF(~1==0,c) d", "d", {"0 IF"}},
      {"IF(1<>0,c) d", "d", {"0 IF"}},
      {"IF(~1 >0,c) d", "d", {"4 IF条件式の演算子がない"}},
      {"IF(1,c) d", "d", {"4 IF条件式の演算子がない"}},
      {"IF(x>1,c) d", "d", {"4 IF条件式左辺"}},
      {"IF(1>x,c) d", "d", {"4 IF条件式右辺"}},
  };
  for (const auto& r : rows) {
    Score s;
    s.compile(r.source);
    EXPECT_EQ(notes(s), r.notes) << r.source;
    EXPECT_EQ(errs(s), r.errors) << r.source;
    EXPECT_TRUE(s.smf.selStack.empty()) << r.source;
    EXPECT_TRUE(s.smf.ifStack.empty()) << r.source;
  }
}

TEST(ConditionalsTest, InsertedTextLeavesTheLine) {
  Score s;
  s.compile("SEL(1,c)d IF(1=1,e)f");
  EXPECT_EQ(toUtf8(s.smf.sourceLines[0]), "{SEL}\\27(1,c)d {IF}\\31(1=1,e)f");
  EXPECT_EQ(notes(s), "c d e f");
}

TEST(ConditionalsTest, RandomSelectionChoosesOnEveryPass) {
  Score s;
  s.compile("[8 SEL(,c,d,e) ]", 3);
  // One draw for the selection, then three for the note (velocity, timing, bend).
  Draws d{3};
  std::string expected;
  for (int pass = 0; pass < 8; ++pass) {
    expected += (expected.empty() ? "" : " ") + std::string(1, "cde"[d.random(3)]);
    for (int i = 0; i < 3; ++i) d.random(0);
  }
  EXPECT_EQ(notes(s), expected);
  EXPECT_NE(expected.find_first_not_of(expected[0] + std::string(" ")), std::string::npos);  // not all the same
}

TEST(ConditionalsTest, PendingRegionsAreBounded) {
  const struct {
    const char* source;
    const char* detail;
  } rows[] = {
      {"_m(X,\"SEL(1,cY)\")_m(Y,\"SEL(1,cX)\")X", "4 SWITCH or SEL"},
      {"_m(X,\"IF(1=1,cY )\")_m(Y,\"IF(1=1,cX )\")X", "4 IF"},
  };
  for (const auto& r : rows) {
    Score s;
    s.compile(r.source);
    EXPECT_EQ(errs(s), (Lines{r.detail})) << r.source;
    EXPECT_EQ(s.smf.events[0].entries().size(), 2u * kMaxInsertedRegions) << r.source;
    EXPECT_TRUE(s.smf.selStack.empty() && s.smf.ifStack.empty()) << r.source;
  }
}

TEST(ConditionalsTest, QueuesGiveOneValuePerNote) {
  const struct {
    const char* source;
    Lines ons;  // "time:velocity" of the note-ons, then "off time" of the note-offs
  } rows[] = {
      {"RV(100,80,+20) c c c c", {"0:100", "96:80", "192:120", "288:100", "off 83", "off 179", "off 275", "off 371"}},
      {"v50 RV(-20,+20,90) c c c c", {"0:30", "96:70", "192:90", "288:50", "off 83", "off 179", "off 275", "off 371"}},
      {"RV=100,90 c c c", {"0:100", "96:90", "192:100", "off 83", "off 179", "off 275"}},
      {"RV(1,2,3) RV_CLEAR c", {"0:100", "off 83"}},
      {"RQ(8) c c", {"0:100", "96:100", "off 47", "off 179"}},
      {"RQ(+2,-2) c c", {"0:100", "96:100", "off 95", "off 167"}},
      {"RQ(8) RQ_CLEAR c", {"0:100", "off 83"}},
      {"RN(10,-5) c c c", {"10:100", "91:100", "192:100", "off 93", "off 174", "off 275"}},
      {"RN(10) RN_CLEAR c", {"0:100", "off 83"}},
      {"RV(50) RN(4) _tr(1)c _tr(0)c", {"4:50", "off 87"}},  // queues belong to the track
  };
  for (const auto& r : rows) {
    Score s;
    s.compile(r.source);
    EXPECT_TRUE(s.errors().empty()) << r.source;
    Lines ons, offs;
    for (const Tivent::Entry& e : s.smf.events[0].entries()) {
      const uint8_t* b = s.smf.events[0].bytes(e);
      if ((b[0] & 0xF0) == 0x90) ons.push_back(std::to_string(e.time) + ":" + std::to_string(b[2]));
      if ((b[0] & 0xF0) == 0x80) offs.push_back("off " + std::to_string(e.time));
    }
    ons.insert(ons.end(), offs.begin(), offs.end());
    EXPECT_EQ(ons, r.ons) << r.source;
  }
  Score s;
  s.compile("RV RQ RN RV_CLEAR");
  EXPECT_EQ(errs(s), (Lines{"4 RV", "4 RQ", "4 RN"}));
}

TEST(ConditionalsTest, RandomRanges) {
  const struct {
    const char* source;
    int32_t velocity, timing, bend;
    Lines errors;
  } rows[] = {
      {"RNDV=5 RNDN=6 RNDB(7)", 5, 6, 7, {}},
      {"~1=7 RNDV=~1 RNDV=0", 0, 0, 0, {}},
      {"RNDV=5 RNDV(abc)", 0, 0, 0, {}},  // an unreadable text counts as 0
      {"RNDV=5 RNDV=abc", 5, 0, 0, {"4 RNDV"}},
      {"RNDV=5 RNDV=-1", 5, 0, 0, {"4 RNDV"}},
      {"RNDV(1,2) RNDN RNDB=-2", 0, 0, 0, {"4 RNDV", "4 RNDN", "4 RNDB"}},
  };
  for (const auto& r : rows) {
    Score s;
    s.compile(r.source);
    EXPECT_EQ(s.smf.rndVelocity[0], r.velocity) << r.source;
    EXPECT_EQ(s.smf.rndTiming[0], r.timing) << r.source;
    EXPECT_EQ(s.smf.rndBend[0], r.bend) << r.source;
    EXPECT_EQ(errs(s), r.errors) << r.source;
  }
}

TEST(ConditionalsTest, NotesDrawFromTheRandomRanges) {
  Score s;
  s.compile("B=64 RNDV=10 RNDN=5 RNDB=3 c c c c", 11);
  // Per note: velocity, then timing, then bend.
  Draws d{11};
  Lines expected{"-1: E0 00 40"};
  for (int n = 0; n < 4; ++n) {
    const int v = 100 + d.random(20) - 10, start = 96 * n + d.random(10) - 5, b = d.random(6) - 3;
    if (b != 0) {
      const int w = (64 + b) * 127;
      const uint8_t bend[] = {0xE0, static_cast<uint8_t>(w % 128), static_cast<uint8_t>(w / 128)};
      expected.push_back(std::to_string(start - 2) + ": " + hex(bend, 3));
    }
    expected.push_back(std::to_string(start) + ": " + hex({0x90, 0x30, static_cast<uint8_t>(v)}));
    expected.push_back(std::to_string(start + 83) + ": " + hex({0x80, 0x30, static_cast<uint8_t>(v)}));
  }
  Lines got = s.events(0);
  std::sort(got.begin(), got.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(got, expected);
}

}  // namespace
}  // namespace zan::test
