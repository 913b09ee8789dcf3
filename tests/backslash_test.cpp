// SPDX-License-Identifier: MIT
// Numbered commands \0..\40 and the built-in macro library that names them:
// the dispatcher, the exact bytes each message command writes, the track
// state the others set, and the library table itself.
#include <gtest/gtest.h>

#include <algorithm>

#include "test_support.h"

namespace zan::test {
namespace {

using Lines = std::vector<std::string>;



// "$F0,1,1,...,1,0": a system exclusive list of `count` arguments.
std::string sysexList(int count) {
  std::string s = "$F0";
  for (int i = 1; i < count - 1; ++i) s += ",1";
  return s + ",0";
}

struct Row {
  std::string source;
  Lines events;
  Lines errors;
};

void check(const std::vector<Row>& rows) {
  for (const Row& r : rows) {
    Score s;
    s.compile(r.source);
    EXPECT_EQ(s.added(), r.events) << r.source;
    EXPECT_EQ(errs(s), r.errors) << r.source;
  }
}

TEST(BackslashTest, Dispatcher) {
  check({
      {"\\$F=10", {"-1: B0 5B 0A"}, {}},               // 15 in hexadecimal
      {"~3=18 \\~3=70", {"-1: B0 0A 46"}, {}},         // the number in a variable
      {"~3=-1 \\~3", {}, {"4 \\"}},                     // -1 means no number
      {"\\ c", {"0: 90 30 64", "83: 80 30 64"}, {"4 \\"}},
      {"~3=41 \\~3", {}, {"5 \\の番号が未定義です。"}},
      {"\\41", {}, {"5 \\の番号が未定義です。"}},
      {"\\40(anything)", {}, {}},
      {"\\40", {}, {"4 ON_IVENT"}},
      {"\\40(a,b)", {}, {"4 ON_IVENT"}},
  });
  Score s;
  s.compile("\\40(kept)");
  EXPECT_EQ(s.smf.track[0].onEvent, "kept");
}

TEST(BackslashTest, SystemExclusive) {
  std::string ones126;
  for (int i = 0; i < 126; ++i) ones126 += " 01";
  check({
      {"EX=$F0,$7E,$7F,$09,$01,$F7", {"0: F0 05 7E 7F 09 01 F7"}, {}},
      {"\\0=$F0,$43,$10,$4c,0,0,$7e,0,$f7", {"0: F0 08 43 10 4C 00 00 7E 00 F7"}, {}},
      {"r \\0=$F7,1,2", {"96: F7 02 01 02"}, {}},
      {"\\0=$F0,300,$F7", {"0: F0 02 2C F7"}, {}},  // the low 8 bits
      {"\\0=$F0,$41", {}, {"3 EX"}},
      {"\\0=$90,1,2", {}, {"4 EX"}},
      {"\\0=" + sysexList(128), {"0: F0 7F" + ones126 + " 00"}, {}},
      {"\\0=" + sysexList(129), {}, {"4 EX"}},
      // The checksum replaces the last argument and F7 follows.
      {"EX2=$F0,$41,$10,$42,$12,$40,0,$7F,0,0", {"0: F0 0A 41 10 42 12 40 00 7F 00 41 F7"}, {}},
      {"\\5=$F0,$41,$10,$42,$12,$40,0,$40,0,0", {"0: F0 0A 41 10 42 12 40 00 40 00 00 F7"}, {}},
      {"\\5=$F0,9,9,1,2,3,4,0", {"0: F0 08 09 09 01 02 03 04 76 F7"}, {}},  // only the last four
      // Fewer data bytes than four: only those there are, never status or length.
      {"\\5=$F0,1,2,0", {"0: F0 04 01 02 7D F7"}, {}},
      {"\\5=$F0,5,0", {"0: F0 03 05 7B F7"}, {}},
      {"\\5=$F0,$41", {}, {"3 EX"}},
      {"\\5=" + sysexList(128), {"0: F0 81 00" + ones126 + " 7C F7"}, {}},
      {"\\5=" + sysexList(129), {}, {"4 EX"}},
  });
}

TEST(BackslashTest, ParameterNumbers) {
  check({
      {"r1r4 NRPN=1,8,64", {"478: B0 63 01", "478: B0 62 08", "479: B0 06 40"}, {}},
      // At one time on one track each command goes two ticks before the last.
      {"r1r4 \\1=1,8,64 \\1=1,9,32 \\1=1,10",
       {"478: B0 63 01", "478: B0 62 08", "479: B0 06 40", "476: B0 63 01", "476: B0 62 09", "477: B0 06 20",
        "474: B0 63 01", "474: B0 62 0A"},
       {}},
      // Another time starts a new chain, even a time used before.
      {"\\1=1,8 r \\1=1,9 PTR=0 \\1=1,10",
       {"-2: B0 63 01", "-2: B0 62 08", "94: B0 63 01", "94: B0 62 09", "-2: B0 63 01", "-2: B0 62 0A"},
       {}},
      {"RPN=0,0", {"-2: B0 65 00", "-2: B0 64 00"}, {}},
      {"\\2=0,0,200", {"-2: B0 65 00", "-2: B0 64 00", "-1: B0 06 7F"}, {}},
      {"\\2=0,0,1,2", {"-2: B0 65 00", "-2: B0 64 00", "-1: B0 06 01", "-1: B0 26 02"}, {}},
      {"\\2=$101,2", {"-2: B0 65 01", "-2: B0 64 02"}, {}},  // unchecked, the low 8 bits
      {"\\2=0", {}, {"4 RPN or NRPN"}},
      {"\\2=0,0,1,2,3", {}, {"4 RPN or NRPN"}},
      {"\\1=,1,2", {}, {"4 NRPN or RPN"}},
  });
  // Another track starts a new chain too.
  Score s;
  s.compile("\\1=1,8 _tr(1)\\1=1,9 _tr(0)\\1=1,10");
  EXPECT_EQ(s.added(0), (Lines{"-2: B0 63 01", "-2: B0 62 08", "-2: B0 63 01", "-2: B0 62 0A"}));
  EXPECT_EQ(s.added(1), (Lines{"-2: B0 63 01", "-2: B0 62 09"}));
}

TEST(BackslashTest, TrackSettingsAndControllers) {
  check({
      {"T=5 c", {"0: 90 35 64", "83: 80 35 64"}, {}},
      {"T=-200 c", {"0: 90 00 64", "83: 80 00 64"}, {}},
      {"T+3 T+2 c", {"0: 90 32 64", "83: 80 32 64"}, {}},  // a sign is not relative here
      {"T(1,2) c", {"0: 90 30 64", "83: 80 30 64"}, {"4 T=-127~127"}},
      {"CH=16 y7,1 CH(3) P=1", {"-1: BF 07 01", "-1: B2 0A 01"}, {}},
      {"CH=0 CH=17 CH(1,2) y7,1", {"-1: B0 07 01"}, {"4 CH=1~16", "4 CH=1~16", "4 CH=1~16"}},
      // The slot keeps the unclamped value; the message is clamped.
      {"REV=100 REV+50 REV-30", {"-1: B0 5B 64", "-1: B0 5B 7F", "-1: B0 5B 78"}, {}},
      {"P+10", {"-1: B0 0A 4A"}, {}},
      {"E-200 E+100", {"-1: B0 0B 00", "-1: B0 0B 1B"}, {}},
      {"r CHO=5 M(6) D=7", {"95: B0 5D 05", "95: B0 01 06", "95: B0 06 07"}, {}},
      {"V=50 c V-10 c",
       {"-1: B0 07 32", "0: 90 30 32", "83: 80 30 32", "95: B0 07 28", "96: 90 30 28", "179: 80 30 28"},
       {}},
      {"REV(1,2) CHO M P E V D", {}, {"4 REV", "4 CHO", "4 M", "4 P", "4 E", "4 V", "4 D"}},
      // B: 7-bit steps, relative with a sign, = passing the sign through.
      {"B=64 B+100 B=-64 B(70)", {"-1: E0 00 40", "-1: E0 00 7F", "-1: E0 00 64", "-1: E0 00 46"}, {}},
      {"B(1,2) B(x)", {}, {"4 B=0~127", "4 B=0~127"}},
      // Q: the gate offset in sixteenths of the current length.
      {"Q=8 c", {"0: 90 30 64", "131: 80 30 64"}, {}},
  });
  Score s;
  s.compile("REV=100 REV+50 E-200 B=64 B+100 T=-200 CH=16");
  EXPECT_EQ(s.smf.track[0].reverb, 150);
  EXPECT_EQ(s.smf.track[0].expression, -73);
  EXPECT_EQ(s.smf.track[0].bend, 164);
  EXPECT_EQ(s.smf.transpose[0], -127);
  EXPECT_EQ(s.smf.track[0].channel, 15);
}

TEST(BuiltinMacrosTest, TableAfterReset) {
  const std::string expected =
      "EX EX2 NRPN RPN T CH PTR Q CD_DELAY DLY DIV CD_ SEL RV RQ RN SWITCH IF RV_CLEAR RQ_CLEAR RN_CLEAR TRN TRNL "
      "GHOST_ON GHOST_OFF BACK TRIM TR LAST_PTR TRL PLAY PRT ACTIVE_CC ACTIVE_PB B RNDV RNDN RNDB REV CHO M P E V D "
      "ACB ACP ACE ACV ACM ACD ACREV ACCHO ACCUT ACRES BEND_RANGE BR PORT_ON PORT_OFF PORT RESET_XG RESET_GS "
      "RESET_GM RESET_CTRL CUT RES VIB_RATE VIB_DEPTH VIB_DELAY ATT DEC REL DR_CUT DR_RES DR_ATT DR_DEC DR_PITCH "
      "DR_PITCHFINE DR_LEVEL DR_PAN DR_REV DR_CHO DR_VAR";
  auto names = [](const TSmf& smf) {
    std::string out;
    for (const Tmacro::Entry& e : smf.macros.entries()) out += (out.empty() ? "" : " ") + e.name;
    return out;
  };
  Score s;
  s.compile("");
  EXPECT_EQ(s.smf.macros.Count(), 83);
  EXPECT_EQ(names(s.smf), expected);
  EXPECT_EQ(s.smf.macros.FindMacro("*"), "");
  EXPECT_EQ(s.smf.macros.FindMacro("TRIM"),
            "\\37 ~508=ptr|?1 |~509=ptr\\38 ~510=~509-~508 ~508-~510 PTR=~508 ?1");

  // A score's own definition replaces a body for its compile only.
  s.compile("_m(CUT,y1,2)_m(MINE,c)CUT");
  EXPECT_EQ(s.added(), (Lines{"-1: B0 01 02"}));
  s.compile("CUT=5");
  EXPECT_EQ(s.added(), (Lines{"-2: B0 63 01", "-2: B0 62 20", "-1: B0 06 05"}));
  EXPECT_EQ(s.smf.macros.Count(), 83);
  EXPECT_EQ(names(s.smf), expected);
}

TEST(BuiltinMacrosTest, MessageBodies) {
  check({
      {"RESET_GM", {"0: F0 05 7E 7F 09 01 F7"}, {}},
      {"RESET_GS", {"0: F0 0A 41 10 42 12 40 00 7F 00 41 F7"}, {}},
      {"RESET_XG", {"0: F0 08 43 10 4C 00 00 7E 00 F7"}, {}},
      {"BR(12)", {"-2: B0 65 00", "-2: B0 64 00", "-1: B0 06 0C"}, {}},
      {"BEND_RANGE=2", {"-2: B0 65 00", "-2: B0 64 00", "-1: B0 06 02"}, {}},
      {"DR_PAN(38,64)", {"-2: B0 63 1C", "-2: B0 62 26", "-1: B0 06 40"}, {}},
      {"VIB_RATE(70)", {"-2: B0 63 01", "-2: B0 62 08", "-1: B0 06 46"}, {}},
      {"CUT", {"-2: B0 63 01", "-2: B0 62 20"}, {}},  // no error: only the parameter number
      {"RES", {"-2: B0 63 01", "-2: B0 62 21"}, {}},
      {"VIB_RATE", {"-2: B0 63 01", "-2: B0 62 08"}, {"3 VIB_RATE"}},
      {"PORT", {}, {"3 PORT", "4 y"}},
      {"PORT_ON PORT_OFF PORT(20) RESET_CTRL", {"-1: B0 41 7F", "-1: B0 41 00", "-1: B0 05 14", "-1: B0 79 00"}, {}},
  });
}

}  // namespace
}  // namespace zan::test
