// SPDX-License-Identifier: MIT
// Track and time-pointer operations: the texts the generating commands put in
// place of themselves, the pointers they leave, and where their notes land.
#include <gtest/gtest.h>

#include <algorithm>

#include "test_support.h"

namespace zan::test {
namespace {

using Lines = std::vector<std::string>;


// The line after running the numbered command that starts at `column` of
// `line`, on a compiler prepared by compiling `setup`; the cursor must be
// back on the first generated character.
std::string generate(const std::string& line, const std::string& setup = "", int32_t column = 1) {
  Score s;
  s.compile(setup);
  s.smf.lineText = toCp932(line);
  s.smf.column = column;
  s.smf.BackslashCommand();
  EXPECT_EQ(s.smf.column, column) << line;
  EXPECT_TRUE(s.errors().empty()) << line;
  return toUtf8(s.smf.lineText);
}

// Note-on and note-off times and keys of track t, sorted by time: "96 on 30".
Lines noteOnsAndOffs(const Score& s, int t = 0) {
  Lines out;
  for (const std::string& e : s.events(t)) {
    const size_t colon = e.find(": ");
    const std::string bytes = e.substr(colon + 2);
    if (bytes[0] == '9' || bytes[0] == '8')
      out.push_back(e.substr(0, colon) + (bytes[0] == '9' ? " on " : " off ") + bytes.substr(3, 2));
  }
  return out;
}

TEST(TrackOpsTest, GeneratedTexts) {
  struct Row {
    const char* line;
    const char* setup;
    const char* generated;
  };
  const Row rows[] = {
      {"\\7(c4,,e4)", "", "_tr(0)c4|_tr(2)e4|"},
      {"\\7(\"y7,100c\",e)", "", "_tr(0)y7,100c|_tr(1)e|"},
      {"\\7()", "", ""},
      {"\\9(c1,c2)", "", "{-->}{TRL}_tr(0)c1|{TRL}_tr(1)c2||\\8|"},
      {"\\35(5,c,e)", "", "{-->}{TRN}_tr(5)c|{TRN}_tr(6)e||"},
      {"\\36(2,,\"d\")", "", "{-->}{TRNL}_tr(3)d||\\8|"},
      {"\\35(127,c,e)", "", "{-->}{TRN}_tr(127)c|{TRN}_tr(128)e||"},
      {"\\25(4,c,d,e)", "", "l%32cl%32dl%32el%96"},
      {"\\25(4,c,d,e,f,g)", "", "l%20cl%19dl%19el%19fl%19gl%96"},
      {"\\25(4,c,d)^8 e", "", "l%72cl%72dl%96 e"},
      {"\\25(4,c,d) ^8^%2", "", "l%73cl%73dl%96"},
      {"\\25(4,c,d)e", "", "l%48cl%48dl%96e"},
      {"\\25(2,\"c8d8\",e)", "l8", "l%96c8d8l%96el%48"},
      {"\\26(2,c,e,g)", "",
       "|~511=ptr~510=dly~509=~511 l%192PTR=~511c ~511+~510 PTR=~511e ~511+~510 PTR=~511g ~511+~510  l%96~509+192"
       "PTR=~509|"},
      {"\\39(2,c,g)", "",
       "~502=o~505=nno(c)~504=nno(g)~503=~504-~505IF(~503<0,~503*-1)IF(~503>24,~503=24)BR(~503)"
       "IF(~505>~504,~503=0,~503=127)ACB(64,~503,2,0,1,0)n~505,2B=64o=~502"},
      {"\\39(%10,\"o5e\",n60,8)", "",
       "~502=o~505=nno(\"o5e\")~504=nno(n60)~503=~504-~505IF(~503<0,~503*-1)IF(~503>24,~503=24)BR(~503)"
       "IF(~505>~504,~503=0,~503=127)ACB(64,~503,%10,8,1,0)n~505,%10B=64o=~502"},
  };
  for (const Row& r : rows) EXPECT_EQ(generate(r.line, r.setup), r.generated) << r.line;
  // Only the command is replaced; what stands around it stays.
  EXPECT_EQ(generate("r \\7(c)d", "", 3), "r _tr(0)c|d");
}

TEST(TrackOpsTest, Errors) {
  std::string many = "TR(c";
  for (int i = 0; i < 128; ++i) many += ",c";
  const struct {
    std::string source;
    Lines errors;
  } rows[] = {
      {"PTR(1,2)", {"4 PTR"}},
      {"PTR", {"4 PTR"}},
      {"PTR(x)", {"4 PTR"}},
      {"DLY=", {"4 CD_DELAY or DLY"}},
      {many + ")", {"4 TR"}},
      {"TRL", {"4 TRL"}},
      {"TRN(,c)", {"5 TRNの1つめの引数が不正"}},
      {"TRNL(x,c)", {"5 TRNLの1つめの引数が不正"}},
      {"TRN(127,c,e)", {"4 _tr"}},  // the generated _tr(128) reports it
      {"LAST_PTR(1,2)", {"4 LAST_PTR"}},
      {"DIV(4)", {"4 DIV"}},
      {"DIV(0,c)", {"4 DIV"}},
      {"CD_(4)", {"4 CD_"}},
      {"CD_(0,c)", {"4 CD_"}},
      {"PRT(2,c)", {"4 PRT"}},
  };
  for (const auto& r : rows) {
    Score s;
    s.compile(r.source);
    EXPECT_EQ(errs(s), r.errors) << r.source;
    if (r.source != "TRN(127,c,e)") {
      EXPECT_EQ(s.smf.ptr[0], 0) << r.source;
    }
  }
}

TEST(TrackOpsTest, PointerAndChordDelay) {
  const struct {
    const char* source;
    int32_t ptr, chordDelay;
  } rows[] = {
      {"PTR=480", 480, 0},
      {"r PTR+0", 96, 0},
      {"PTR=480 PTR-1000", -520, 0},
      {"PTR=480 PTR+96", 576, 0},
      {"PTR=480 PTR=-96", 384, 0},  // the argument's own sign decides
      {"PTR(200)", 200, 0},
      {"~5=-7 PTR=~5", -7, 0},
      {"~1=10 PTR=100 PTR-~1", 90, 0},
      {"~1=10 PTR=100 PTR+~1", 110, 0},
      {"DLY+5 DLY+5", 0, 10},
      {"DLY+5 DLY+5 DLY-3", 0, 7},
      {"DLY(4)", 0, 4},
      {"DLY=-5", 0, -5},  // here the character after the number decides
      {"~1=7 CD_DELAY=12 DLY~1", 0, 7},
      {"~1=3 DLY=10 DLY-~1", 0, 7},
      {"~1=len(c4d8)", 0, 0},
  };
  for (const auto& r : rows) {
    Score s;
    s.compile(r.source);
    EXPECT_TRUE(s.errors().empty()) << r.source;
    EXPECT_EQ(s.smf.ptr[0], r.ptr) << r.source;
    EXPECT_EQ(s.smf.track[0].chordDelay, r.chordDelay) << r.source;
  }
  Score s;
  s.compile("~1=len(c4d8)");
  EXPECT_EQ(s.smf.vars[1], 144);
  EXPECT_TRUE(s.events(0).empty());
}

TEST(TrackOpsTest, WritingIntoTracksAndAligning) {
  Score s;
  s.compile("TR(c4,,e4)");
  EXPECT_EQ(noteOnsAndOffs(s, 0), (Lines{"0 on 30", "83 off 30"}));
  EXPECT_TRUE(s.events(1).empty());
  EXPECT_EQ(noteOnsAndOffs(s, 2), (Lines{"0 on 34", "83 off 34"}));
  EXPECT_EQ(s.smf.curTrack, 2);
  EXPECT_EQ(toUtf8(s.smf.sourceLines[0]), "{TR}_tr(0)_tr(0)c4|_tr(2)e4|");

  s.compile("TRL(c1,c2)");
  EXPECT_TRUE(std::all_of(std::begin(s.smf.ptr), std::end(s.smf.ptr), [](int32_t p) { return p == 384; }));
  s.compile("_tr(5)c PLAY(c4)");  // the pieces start from their tracks' own pointers
  EXPECT_EQ(noteOnsAndOffs(s, 0), (Lines{"0 on 30", "83 off 30"}));
  EXPECT_TRUE(std::all_of(std::begin(s.smf.ptr), std::end(s.smf.ptr), [](int32_t p) { return p == 96; }));
  s.compile("TRNL(3,c2,c4) _tr(4)c");
  EXPECT_EQ(s.smf.ptr[3], 192);
  EXPECT_EQ(s.smf.ptr[4], 288);
  EXPECT_EQ(noteOnsAndOffs(s, 4), (Lines{"0 on 30", "83 off 30", "192 on 30", "275 off 30"}));
  s.compile("PTR=-5 _tr(1)PTR=-9 LAST_PTR");
  EXPECT_TRUE(std::all_of(std::begin(s.smf.ptr), std::end(s.smf.ptr), [](int32_t p) { return p == 0; }));
  s.compile("_tr(7)r1 _tr(0)c LAST_PTR(9)");
  EXPECT_EQ(s.smf.ptr[0], 384);
  EXPECT_EQ(s.smf.ptr[127], 384);
}

TEST(TrackOpsTest, NotesOfTheGeneratingCommands) {
  const struct {
    const char* source;
    Lines notes;
    int32_t ptr;
  } rows[] = {
      {"DIV(4,c,d)^8 e", {"0 on 30", "62 off 30", "72 on 32", "134 off 32", "144 on 34", "227 off 34"}, 240},
      {"r CD_DELAY=12 CD_(4,c,e,g)",
       {"96 on 30", "108 on 34", "120 on 37", "179 off 30", "191 off 34", "203 off 37"}, 192},
      {"l4 PTR=960 TRIM(c4)", {"864 on 30", "947 off 30"}, 960},
      {"r BACK(c1)", {"96 on 30", "431 off 30"}, 96},
      {"GHOST_ON c GHOST_OFF d", {"96 on 32", "179 off 32"}, 192},
  };
  for (const auto& r : rows) {
    Score s;
    s.compile(r.source);
    EXPECT_TRUE(s.errors().empty()) << r.source;
    EXPECT_EQ(noteOnsAndOffs(s), r.notes) << r.source;
    EXPECT_EQ(s.smf.ptr[0], r.ptr) << r.source;
    EXPECT_FALSE(s.smf.ghostMode) << r.source;
  }
}

TEST(TrackOpsTest, Portamento) {
  Score s;
  s.compile("PRT(2,c,g) c");
  EXPECT_TRUE(s.errors().empty());
  const Lines events = s.events(0);
  Lines controllers, bends;
  for (const std::string& e : events) {
    if (e.find(": B0") != std::string::npos) controllers.push_back(e);
    if (e.find(": E0") != std::string::npos) bends.push_back(e);
  }
  // Bend range 7 (the distance c to g), then a ramp from the centre to the top
  // over the half note while c sounds, then the centre again.
  EXPECT_EQ(controllers.size(), 3u);
  EXPECT_NE(std::find(events.begin(), events.end(), "-1: B0 06 07"), events.end());
  ASSERT_EQ(bends.size(), 26u);
  EXPECT_EQ(bends[0], "-2: E0 00 40");
  EXPECT_EQ(bends[1], "6: E0 50 42");    // 8192 + 336
  EXPECT_EQ(bends[12], "94: E0 40 5F");  // 8192 + 12 * 336
  EXPECT_EQ(bends[24], "190: E0 00 7F");
  EXPECT_EQ(bends[25], "191: E0 00 40");
  EXPECT_EQ(noteOnsAndOffs(s), (Lines{"0 on 30", "167 off 30", "192 on 30", "275 off 30"}));
  EXPECT_EQ(s.smf.track[0].bend, 64);
  EXPECT_EQ(s.smf.track[0].octave, 4);
  EXPECT_EQ(s.smf.ptr[0], 288);

  s.compile("o5 PRT(2,g,c)");  // downwards: the ramp ends at the bottom
  EXPECT_TRUE(s.errors().empty());
  const Lines down = s.events(0);
  EXPECT_NE(std::find(down.begin(), down.end(), "-1: B0 06 07"), down.end());
  EXPECT_NE(std::find(down.begin(), down.end(), "190: E0 00 00"), down.end());
  EXPECT_EQ(noteOnsAndOffs(s), (Lines{"0 on 43", "167 off 43"}));
  EXPECT_EQ(s.smf.track[0].octave, 5);
}

}  // namespace
}  // namespace zan::test
