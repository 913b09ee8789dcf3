// SPDX-License-Identifier: MIT
// The bounds of a compile: each is reached by the input it exists for, is
// reported as error 5 naming it, and ends the compile with the file written.
#include <gtest/gtest.h>

#include "test_support.h"

namespace zan::test {
namespace {

const std::string kTail = "を超えたので、コンパイルを中止します";

TEST(LimitsTest, EachBoundEndsTheCompileWithItsError) {
  struct Row {
    const char* name;
    std::string source;  // line 0 reaches the bound; a note "c" follows on line 1
    void (*lower)(Limits&);
    std::string detail;
  } rows[] = {
      // 2^31 passes of a loop that makes no events.
      {"dispatches", "[2147483647 r]", nullptr, "処理するコマンド数の上限(32000000)" + kTail},
      {"events", "[2147483647 c]", [](Limits& l) { l.events = 1000; }, "イベント数の上限(1000)" + kTail},
      // Two macros that begin with each other.
      {"expansion chain", "_m(XA,XB) _m(XB,XA) XA", nullptr,
       "マクロが続けて展開される回数の上限(256)" + kTail + ": XA"},
      // Two macros that call each other further on: the line grows.
      {"line bytes", "_m(XA,| XB) _m(XB,| XA) XA", [](Limits& l) { l.lineBytes = 1 << 16; },
       "展開された行の長さ(バイト)の上限(65536)" + kTail + ": XA"},
      // Growth in front of a long tail: every expansion moves the tail, and
      // that work runs out long before the line reaches its length bound.
      {"moving the tail", "_m(XA,| XB XB) _m(XB,| XA XA) XA", nullptr, "処理するコマンド数の上限(32000000)" + kTail},
      // The same growth inside an argument.
      {"argument bytes", "_m(XA,| XB XB) _m(XB,| XA XA) _m(XC,{?1}) XC(XA)",
       [](Limits& l) { l.lineBytes = 1 << 16; }, "展開された行の長さ(バイト)の上限(65536)" + kTail + ": XA"},
      // An argument holding a mark is substituted again and again.
      {"mark substitutions", "_m(XA,?1) XA(?1)", nullptr,
       "マクロの引数を置き換える回数の上限(65536)" + kTail + ": XA"},
      {"include depth", "#include \"self\"", nullptr, "#include の入れ子の上限(16)" + kTail + ": \"self\""},
      {"includes", "#include \"wide\"", [](Limits& l) { l.includes = 5; },
       "#include するファイル数の上限(5)" + kTail + ": \"leaf\""},
      {"source bytes", "#include \"big\"", [](Limits& l) { l.sourceBytes = 100; },
       "#include file larger than the bound of 100 bytes, compile stopped: \"big\""},
  };
  for (const Row& r : rows) {
    Score s;
    s.smf.fileReader = [](const std::string& name, std::string& contents) {
      contents = name == "self" ? "#include \"self\"" : name == "wide" ? std::string(10, '\n') : name == "big" ? std::string(101, 'r') : "r";
      if (name == "wide")
        for (int i = 0; i < 10; ++i) contents += "#include \"leaf\"\n";
      return true;
    };
    if (r.lower) {
      Limits lowered;
      r.lower(lowered);
      s.smf.limits = lowered;
    }
    s.smf.Reset();
    s.smf.randSeed = 1;
    s.smf.sourceLines.setText(toCp932(r.source + "\nc"));
    s.file = s.smf.CompileToBytes();
    const std::vector<std::string> e = errs(s);
    ASSERT_FALSE(e.empty()) << r.name;
    EXPECT_EQ(e.front(), "5 " + r.detail) << r.name;
    EXPECT_EQ(e.size(), 1u) << r.name << ": a bound is reported once";
    EXPECT_TRUE(s.smf.stopped) << r.name;
    EXPECT_EQ(s.messages.back(), "ok") << r.name << ": the file is still written";
    for (const Tivent& list : s.smf.events)
      for (const Tivent::Entry& ev : list.entries())
        EXPECT_NE(ev.line, s.smf.sourceLines.size() - 2) << r.name << ": the c after the bound is never compiled";
  }
}

TEST(LimitsTest, RealScoresStayFarBelowTheBounds) {
  // A thousand-note score of library macros, loops and curves uses a small
  // part of every budget.
  Score s;
  std::string source = "RESET_GM BR(2) _m(RIFF, \"SEL(~1,c8 e8,d8 f8) IF(~1>1,>c8<,r8) ~1+1 IF(~1>2,~1=1)\")\n~1=1\n";
  for (int i = 0; i < 25; ++i) source += "ACE(80,127,1,0,1,0) [16 RIFF ] DLY=6 CD_(4,c,e,g) DLY=0\n";
  s.compile(source);
  EXPECT_TRUE(s.errors().empty());
  EXPECT_LT(s.smf.dispatchCount * 1000, s.smf.limits.dispatches);
  EXPECT_LT(s.smf.eventCount * 1000, s.smf.limits.events);
}

// A host that no longer wants the result stops a compile that would run to
// the dispatch budget, at once and without an error of its own.
TEST(Limits, ACancelledCompileStopsWithoutAMessage) {
  for (const bool cancel : {false, true}) {
    Score s;
    std::atomic<bool> cancelled{cancel};
    s.smf.cancelled = &cancelled;
    s.compile("[2000000000 r]\nc");
    EXPECT_TRUE(s.smf.stopped) << cancel;
    EXPECT_EQ(errs(s).size(), cancel ? 0u : 1u) << cancel;
    EXPECT_LT(s.smf.dispatchCount, cancel ? 10 : s.smf.limits.dispatches + 10) << cancel;
  }
}

}  // namespace
}  // namespace zan::test
