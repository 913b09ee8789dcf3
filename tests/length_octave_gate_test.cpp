// SPDX-License-Identifier: MIT
// The per-track defaults: l, o, q, the octave shifts < >, and the gate
// offset Q.
#include <gtest/gtest.h>

#include "test_support.h"

namespace zan::test {
namespace {

using Lines = std::vector<std::string>;


}  // namespace

TEST(LengthOctaveGateTest, Commands) {
  struct Row {
    const char* source;
    int32_t length, octave, gate;
    Lines errors = {};
  } rows[] = {
      {"l8", 48, 4, 14},
      {"l3", 128, 4, 14},
      {"l5", 77, 4, 14},
      {"l=8", 48, 4, 14},
      {"l$10", 24, 4, 14},
      {"l4 l+8", 144, 4, 14},
      {"l4 l-4", 0, 4, 14},
      {"l-8", 48, 4, 14},
      {"l512", 2, 4, 14},              // limited to l256: 1.5 rounds to 2
      {"l%1000 l+512", 1002, 4, 14},   // the value is limited before it is added
      {"l%72", 72, 4, 14},
      {"l%0", 0, 4, 14},
      {"l%+10", 106, 4, 14},
      {"l%-200", 0, 4, 14},
      {"l%2147483647 l%+10", 2147483647, 4, 14},
      {"l0", 96, 4, 14, {"4 l"}},
      {"l", 96, 4, 14, {"4 l"}},
      {"l+", 96, 4, 14, {"4 l"}},
      {"l%", 96, 4, 14, {"4 %"}},
      {"l2147483648", 96, 4, 14, {"4 l"}},
      {"l8.", 48, 4, 14, {"2 ."}},  // no dots on a default length
      {"o11", 96, 10, 14},
      {"o-5", 96, 0, 14},
      {"o+1", 96, 5, 14},
      {"o=5", 96, 5, 14},
      {"o9 o+5", 96, 10, 14},
      {"o$a", 96, 10, 14},
      {"o", 96, 4, 14, {"4 o"}},
      {"o%3", 96, 4, 14, {"5 oに%指定をした", "2 3"}},  // the number is left unread
      {"q0", 96, 4, 1},
      {"q300", 96, 4, 256},
      {"q+2", 96, 4, 16},
      {"q-20", 96, 4, 1},
      {"q=8", 96, 4, 8},
      {"q", 96, 4, 14, {"4 q"}},
      {"q%8", 96, 4, 14, {"5 qに%指定をした", "2 8"}},
      {"<", 96, 3, 14},
      {">", 96, 5, 14},
      {">3", 96, 7, 14},
      {"<5", 96, 0, 14},
      {">9", 96, 10, 14},
      {"o0 <", 96, 0, 14},
      {"o10 >", 96, 10, 14},
      {"><<>", 96, 4, 14},
      {">2147483648", 96, 4, 14, {"4 >"}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.source);
    Score s;
    s.compile(r.source);
    const Ftr_info& tr = s.smf.track[0];
    EXPECT_EQ(tr.length, r.length);
    EXPECT_EQ(tr.octave, r.octave);
    EXPECT_EQ(tr.gate, r.gate);
    EXPECT_EQ(errs(s), r.errors);
  }
}

TEST(LengthOctaveGateTest, SettingsReachTheNotes) {
  struct Row {
    const char* source;
    Lines events;
  } rows[] = {
      {"l8 c", {"0: 90 30 64", "41: 80 30 64"}},
      {"l%72 c.", {"0: 90 30 64", "93: 80 30 64"}},  // 108 ticks sound 94.5, rounded to 94
      {"o5 c > c < < c", {"0: 90 3C 64", "83: 80 3C 64", "96: 90 48 64", "179: 80 48 64", "192: 90 30 64",
                          "275: 80 30 64"}},
      {"q8 c", {"0: 90 30 64", "47: 80 30 64"}},
      {"q300 c8", {"0: 90 30 64", "767: 80 30 64"}},  // sixteen times the note length
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.source);
    Score s;
    s.compile(r.source);
    EXPECT_EQ(s.events(), r.events);
    EXPECT_TRUE(s.errors().empty());
  }
}

TEST(LengthOctaveGateTest, ReversedOctaveShift) {
  struct Row {
    const char* text;
    int32_t octave;
  } rows[] = {{"<", 5}, {">", 3}, {"<3", 7}, {">9", 0}};
  for (const Row& r : rows) {
    SCOPED_TRACE(r.text);
    Score s;
    s.smf.octaveReverse = 1;
    s.smf.lineText = r.text;
    s.smf.column = 1;
    s.smf.OctaveShiftCommand();
    EXPECT_EQ(s.smf.track[0].octave, r.octave);
  }
}

TEST(LengthOctaveGateTest, GateOffset) {
  struct Row {
    const char* text;
    int32_t length, before, after, column;
    Lines errors = {};
  } rows[] = {
      {"=8", 96, 0, 48, 3},
      {"=3", 96, 0, 18, 3},
      {"=3", 100, 0, 18, 3},  // 18.75 truncates
      {"=3", 101, 0, 18, 3},  // 18.9375 truncates too
      {"=300", 96, 0, 1536, 5},  // limited to 256 sixteenths
      {"=8", 0, 7, 0, 3},
      {"+2", 96, 10, 22, 3},
      {"-2", 96, 0, -12, 3},
      {"%5", 96, 7, 5, 3},
      {"%-5", 96, 10, 5, 4},
      {"%+5", 96, 10, 15, 4},
      {"=%5", 96, 0, 5, 4},
      {"%~1", 96, 0, -2, 4},  // ticks take any value
      {"(4)", 96, 0, 24, 4},
      {"( 4 )x", 96, 0, 24, 6},
      {"(%10)", 96, 0, 10, 6},
      {"(%-5)", 96, 10, 5, 6},
      {"(+1)", 96, 0, 6, 5},
      {"=~1", 96, 7, 7, 4, {"4 Q"}},  // negative sixteenths
      {"(~1)", 96, 7, 7, 5, {"4 Q"}},
      {"", 96, 7, 7, 1, {"4 Qの%指定が不正"}},
      {"%", 96, 7, 7, 2, {"4 Qの%指定が不正"}},
      {"=", 96, 7, 7, 2, {"4 Qの%指定が不正"}},
      {"-%2", 96, 7, 7, 2, {"4 Qの%指定が不正"}},
      {"(1,2)", 96, 7, 7, 6, {"4 Q"}},
      {"()", 96, 7, 7, 3, {"4 Q"}},
      {"(x)", 96, 7, 7, 4, {"4 Q"}},
      {"(4", 96, 7, 7, 3, {"4 )が見つかりません", "4 Q"}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.text);
    Score s;
    s.smf.vars[1] = -2;
    s.smf.track[0].length = r.length;
    s.smf.track[0].gateOffset = r.before;
    s.smf.lineText = r.text;
    s.smf.column = 1;
    s.smf.GateOffsetCommand();
    EXPECT_EQ(s.smf.track[0].gateOffset, r.after);
    EXPECT_EQ(s.smf.column, r.column);
    EXPECT_EQ(errs(s), r.errors);
  }
}

// The offset is fixed in ticks when Q runs; a later l does not rescale it.
TEST(LengthOctaveGateTest, GateOffsetKeepsItsTicksAcrossLengthChanges) {
  Score s;
  s.smf.lineText = "=2";
  s.smf.column = 1;
  s.smf.GateOffsetCommand();
  s.smf.lineText = "c l8 c";
  s.smf.CompileLine();
  EXPECT_EQ(s.events(), (Lines{"0: 90 30 64", "95: 80 30 64", "96: 90 30 64", "149: 80 30 64"}));
}

}  // namespace zan::test
