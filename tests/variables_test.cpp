// SPDX-License-Identifier: MIT
// The ~ command: assignments, one binary operation, compound forms, 32-bit
// wrap-around, read-outs of the compiler's state, rnd, nno and len.
#include <gtest/gtest.h>

#include <climits>

#include "test_support.h"

namespace zan::test {
namespace {

using Lines = std::vector<std::string>;


const char kIndexBad[] = "4 ~変数番号の不正";

TEST(VariableTest, Assignments) {
  struct Row {
    const char* source;
    int32_t value;  // of ~1
    Lines errors = {};
  } rows[] = {
      {"~1=5", 5}, {"~1=-5", -5}, {"~1=+5", 5}, {"~ 1=5", 5}, {"~1=$FFFFFFFF", -1}, {"~2=9 ~1=~2", 9},
      {"~2=9 ~1=-~2", 9},  // a sign before a reference has no effect
      {"~2=1 ~~2=7", 7},
      // One binary operation.
      {"~1=2+3", 5}, {"~1=2-3", -1}, {"~1=-3*-4", 12}, {"~1=-7/2", -3}, {"~1=7%-3", 1}, {"~1=-7%3", -1},
      {"~1=3>2", 1}, {"~1=2>3", 0}, {"~1=2<3", 1}, {"~1=2:2", 1}, {"~1=2:3", 0}, {"~1=$10L2", 64}, {"~1=1L33", 2},
      {"~1=-1R28", 15}, {"~1=12|3", 15}, {"~1=12&6", 4}, {"~1=12^6", 10}, {"~1=7/0", 0}, {"~1=7%0", 0},
      // Compound forms.
      {"~1=5 ~1*3", 15}, {"~1=6 ~1+4", 10}, {"~1=6 ~1-10", -4}, {"~1=6 ~1/4", 1}, {"~1=6 ~1%4", 2}, {"~1=6 ~1R1", 3},
      {"~1=6 ~1L1", 12}, {"~1=6 ~1|1", 7}, {"~1=6 ~1^2", 4}, {"~1=6 ~1&3", 2}, {"~1=6 ~1/0", 0}, {"~1=6 ~1%0", 0},
      {"~2=4 ~1=6 ~1*~2", 24},
      // Wrap-around.
      {"~1=2147483647+1", INT_MIN}, {"~1=-2147483647 ~1-2", INT_MAX}, {"~1=65536*65536", 0}, {"~1=$7FFFFFFF*2", -2},
      {"~1=$80000000/-1", 0}, {"~1=$80000000%-1", 0}, {"~1=$80000000 ~1/-1", 0}, {"~1=$80000000 ~1%-1", 0},
      // No chaining: what follows one operation is the next command.
      {"~1=2+3*4", 5, {"2 *", "2 4"}},
      // Faults leave the variable as it was.
      {"~1=3 ~1 =5", 3, {"5 ~", "2 =", "2 5"}},
      {"~1=3 ~1?5", 3, {"5 ~", "2 5"}},  // the bad operator is consumed
      {"~512=1", 0, {kIndexBad, "2 =", "2 1"}},
      {"~=1", 0, {kIndexBad, "2 =", "2 1"}},
      {"~2=-5 ~~2=1", 0, {kIndexBad, "2 =", "2 1"}},
      {"~1=3 ~1=", 3, {"4 ~"}},
      {"~1=3 ~1+", 3, {"4 ~"}},
      {"~1=3 ~1=5+", 3, {"4 ~"}},
      {"~1=3 ~1=2147483648", 3, {"4 ~"}},
      {"~1=3 ~1=~600", 3, {"4 ~", "4 ~"}},  // the reference, then the missing term
  };
  for (const Row& r : rows) {
    Score s;
    s.compile(r.source);
    EXPECT_EQ(s.smf.vars[1], r.value) << r.source;
    EXPECT_EQ(errs(s), r.errors) << r.source;
  }
}

TEST(VariableTest, ReadOuts) {
  struct Row {
    const char* source;
    int32_t value;
  } rows[] = {
      {"c4 ~1=ptr", 96}, {"_tr(3) ~1=trk", 3}, {"#timebase 480 ~1=bas", 480}, {"_ac(%20) ~1=acv", 20},
      {"v90 ~1=v", 90}, {"l8 ~1=l", 48}, {"o6 ~1=o", 6}, {"q10 ~1=q", 10},
  };
  for (const Row& r : rows) {
    Score s;
    s.compile(r.source);
    EXPECT_EQ(s.smf.vars[1], r.value) << r.source;
    EXPECT_TRUE(s.errors().empty()) << r.source;
  }
  // Every slot by name, each holding a value of its own.
  Score s;
  s.compile("");
  Ftr_info& t = s.smf.track[0];
  t.chordDelay = 1, t.reverb = 2, t.chorus = 3, t.modulation = 4, t.pan = 5, t.velocity = 6, t.expression = 7;
  t.dataEntry = 8, t.bend = 9, t.length = 10, t.octave = 11, t.gate = 12, t.gateOffset = 13;
  s.smf.acStep[0] = 14, s.smf.ptr[0] = 15, s.smf.timebase = 16;
  s.compileAgain(
      "~1=dly ~2=REV ~3=CHO ~4=M ~5=P ~6=V ~7=E ~8=D ~9=B ~10=l ~11=o ~12=q ~13=Q ~14=acv ~15=ptr ~16=bas ~17=v");
  EXPECT_EQ(std::vector<int32_t>(s.smf.vars + 1, s.smf.vars + 18),
            (std::vector<int32_t>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 6}));
  // A read-out ends the command.
  s.compile("r ~1=ptr+5");
  EXPECT_EQ(s.smf.vars[1], 96);
  EXPECT_EQ(errs(s), (Lines{"2 +", "2 5"}));
  // The per-track slots follow the current track.
  s.compile("_tr(1) l8 o2 _tr(0) ~1=l ~2=o _tr(1) ~3=l ~4=o");
  EXPECT_EQ(std::vector<int32_t>(s.smf.vars + 1, s.smf.vars + 5), (std::vector<int32_t>{96, 4, 48, 2}));
}

TEST(VariableTest, Random) {
  Score s;
  s.compile("~1=rnd(1000) ~2=rnd(1) ~3=rnd(0) ~4=rnd(1000)", 99);
  uint32_t seed = 99;
  auto draw = [&](uint32_t n) {
    seed = seed * 134775813u + 1u;
    return static_cast<int32_t>((static_cast<uint64_t>(seed) * n) >> 32);
  };
  const int32_t first = draw(1000);
  draw(1);
  draw(0);
  EXPECT_EQ(std::vector<int32_t>(s.smf.vars + 1, s.smf.vars + 5), (std::vector<int32_t>{first, 0, 0, draw(1000)}));
  s.compile("~1=5 ~1=rnd ~1=rnd(1,2)");
  EXPECT_EQ(s.smf.vars[1], 5);
  EXPECT_EQ(errs(s), (Lines{"3 rnd()の引数は１つです", "3 rnd()の引数は１つです"}));
}

TEST(VariableTest, NoteNumbers) {
  struct Row {
    const char* source;
    int32_t value;
    const char* line;  // as stored after the compile
    int32_t octave;
    Lines errors = {};
  } rows[] = {
      {"~1=nno(c+)", 49, "~1=nno(c+)", 4},
      {"~1=nno(b-)", 58, "~1=nno(b-)", 4},
      {"~1=nno(n61)", 61, "~1=nno(n61)", 4},
      {"o5 ~1=nno(c)", 60, "o5 ~1=nno(c)", 5},
      // Commands before the note run as ordinary commands and stay in effect.
      {"~1=nno(o5c)", 60, "o5|~1=nno(c)", 5},
      {"~1=nno(>>d)", 74, ">>|~1=nno(d)", 6},
      // The letters are tried in the order c d e f g a b n, not by position.
      {"~1=nno(>ec)", 60, ">e|~1=nno(c)", 5},
      {"~1=3 ~1=nno(xyz)", 3, "~1=3 ~1=nno(xyz)", 4, {"4 nno"}},
      {"~1=3 ~1=nno()", 3, "~1=3 ~1=nno()", 4, {"4 nno"}},
      {"~1=3 ~1=nno", 3, "~1=3 ~1=nno", 4, {"4 nno"}},
      {"~1=3 ~1=nno(c,d)", 3, "~1=3 ~1=nno(c,d)", 4, {"4 nno"}},
  };
  for (const Row& r : rows) {
    Score s;
    s.compile(r.source);
    EXPECT_EQ(s.smf.vars[1], r.value) << r.source;
    EXPECT_EQ(s.smf.sourceLines[0], r.line) << r.source;
    EXPECT_EQ(s.smf.track[0].octave, r.octave) << r.source;
    EXPECT_EQ(errs(s), r.errors) << r.source;
  }
  Score s;
  s.compile("~1=nno(>ec)");
  EXPECT_EQ(s.events(0).front(), "0: 90 40 64");  // the e of the prefix, in octave 5
}

// len(...) becomes a stretch of commands compiled in ghost mode; only the
// rewriting is looked at here.
TEST(VariableTest, LengthRewritesTheCommand) {
  Score s;
  s.smf.lineText = "c ~12=len(c4d8) e";
  s.smf.column = 3;
  s.smf.VariableCommand();
  EXPECT_EQ(s.smf.lineText, "c \\37 ~508=ptr|c4d8 ~509=ptr\\38 ~12=~509-~508PTR=~508| e");
  EXPECT_EQ(s.smf.column, 3);
  for (const char* bad : {"~1=len", "~1=len(c,d)"}) {
    s.messages.clear();
    s.smf.lineText = bad;
    s.smf.column = 1;
    s.smf.VariableCommand();
    EXPECT_EQ(s.smf.lineText, bad);
    EXPECT_EQ(errs(s), Lines{"3 len"}) << bad;
  }
}

TEST(VariableTest, ValuesSurviveLaterCompiles) {
  Score s;
  s.compile("~7=42 ~1=~9");
  EXPECT_EQ(s.smf.vars[1], 0);
  s.compileAgain("~8=~7 ~8+1");
  EXPECT_EQ(s.smf.vars[8], 43);
  s.compile("~9=~8");  // a reset keeps them too
  EXPECT_EQ(s.smf.vars[9], 43);
  s.compile("~1=~9");
  EXPECT_EQ(s.smf.vars[1], 43);
}

}  // namespace
}  // namespace zan::test
