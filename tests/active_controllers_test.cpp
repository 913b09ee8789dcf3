// SPDX-License-Identifier: MIT
// Active controllers: the points of controller and pitch-bend curves, their
// times, the thinning of repeated values, the slots they leave and the errors.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "test_support.h"

namespace zan::test {
namespace {

using Lines = std::vector<std::string>;


// Track 0's curve as "time:value" in time order: the value byte of control
// changes, the 14-bit value of pitch bends.
std::string curve(const Score& s) {
  std::string out;
  const Tivent& list = s.smf.events[0];
  for (const Tivent::Entry& e : list.entries()) {
    const uint8_t* b = list.bytes(e);
    const int v = (b[0] & 0xF0) == 0xE0 ? b[1] | b[2] << 7 : b[2];
    out += (out.empty() ? "" : " ") + std::to_string(e.time) + ":" + std::to_string(v);
  }
  return out;
}

// Points every 8 ticks from -2 with the values listed, none thinned.
std::string everyStep(const std::string& values) {
  std::istringstream in(values);
  std::string out;
  int t = -2;
  for (std::string v; in >> v; t += 8) out += (out.empty() ? "" : " ") + std::to_string(t) + ":" + v;
  return out;
}

TEST(ActiveControllersTest, Curves) {
  const struct {
    const char* source;
    std::string curve;
    int32_t pan;
  } rows[] = {
      {"ACP(0,127,1,0,1,0,0)",
       everyStep("0 2 5 7 10 13 15 18 21 23 26 29 31 34 37 39 42 44 47 50 52 55 58 60 63 66 68 71 74 76 79 82 84 87 89 "
                 "92 95 97 100 103 105 108 111 113 116 119 121 124 127"),
       127},
      // Two ramps: back to 0 at the middle point, the last point exactly the target.
      {"ACP(0,127,1,0,2,0,0)",
       everyStep("0 5 10 15 21 26 31 37 42 47 52 58 63 68 74 79 84 89 95 100 105 111 116 121 0 5 10 15 21 26 31 37 42 "
                 "47 52 58 63 68 74 79 84 89 95 100 105 111 116 121 127"),
       127},
      {"ACP(0,127,%32,0,0,0,0)", everyStep("0 31 63 95 127"), 127},  // repeat 0 counts as 1
      // Shape 1, repeat 4: one sine period around 64; repeated values thinned.
      {"ACP(64,80,1,0,4,1,0)",
       "-2:64 6:66 14:68 22:70 30:71 38:73 46:75 54:76 62:77 70:78 78:79 118:78 126:77 134:76 142:75 150:73 158:72 "
       "166:70 174:68 182:66 190:64 198:62 206:60 214:58 222:57 230:55 238:53 246:52 254:51 262:50 270:49 310:50 "
       "318:51 326:52 334:53 342:55 350:56 358:58 366:60 374:62 382:64",
       64},
      {"ACP(64,96,%64,0,4,2,0)", everyStep("64 70 77 76 64 46 34 40 63"), 63},  // growing
      {"ACP(64,96,%64,0,4,3,0)", everyStep("64 88 97 86 64 44 38 47 63"), 63},  // shrinking
      // Triangle: the accumulator turns once it is beyond a limit.
      {"ACP(0,100,%64,0,2,5,0)", everyStep("0 25 50 75 100 125 75 50 25"), 25},
      {"ACP(0,127,%32,0,1,6,0)", everyStep("0 127 0 127 0"), 0},
      {"_ac(%16) ACP(0,127,%32,0,1,6,0)", "-2:0 14:127 30:0", 0},
      {"ACP(0,1,1,0,1,0,0)", "-2:0 382:1", 1},  // thinned out
      {"ACP(50,50,%32,0,1,0,0)", "-2:50", 50},   // from = to: constant
      {"ACP(0,127,4,4,1,6,0)", "94:0 102:127", 127},  // end = start: two points
      {"ACP(0,127,%4,0,1,0,0)", "-2:127", 127},      // shorter than a step: the last point only
      {"ACP(0,127,0,%16,1,0,0)", "", 0},              // end before start: nothing
      {"r ACV(100,20,2,0,1,0,0)",
       "94:100 102:97 110:94 118:90 126:87 134:84 142:80 150:77 158:74 166:70 174:67 182:64 190:60 198:57 206:54 "
       "214:50 222:47 230:44 238:40 246:37 254:34 262:30 270:27 278:24 286:20",
       64},
      // Pitch bend: 7-bit from and to scaled to 14 bits.
      {"ACB(64,127,4,0,1,0)",
       "-2:8192 6:8864 14:9536 22:10208 30:10880 38:11552 46:12224 54:12896 62:13568 70:14240 78:14912 86:15584 "
       "94:16256",
       64},
      {"ACB(0,127,%16,0,1,6)", "-2:0 6:16256 14:0", 64},
      // Pitch-bend sines use half the range, differently weighted than controllers.
      {"ACB(64,96,%64,0,4,1)", everyStep("8192 9640 10239 9640 8192 6744 6145 6744 8192"), 64},
      {"ACB(64,96,%64,0,4,2)", everyStep("8192 8855 9386 9217 8192 6804 5973 6441 8191"), 64},
      {"ACB(64,96,%64,0,4,3)", everyStep("8192 9700 10069 9338 8192 7407 7338 7769 8191"), 64},
  };
  for (const auto& r : rows) {
    Score s;
    s.compile(r.source);
    EXPECT_TRUE(s.errors().empty()) << r.source;
    EXPECT_EQ(curve(s), r.curve) << r.source;
    EXPECT_EQ(s.smf.track[0].pan, r.pan) << r.source;
    EXPECT_EQ(s.smf.ptr[0], std::string(r.source).rfind("r ", 0) == 0 ? 96 : 0) << r.source;
  }
}

TEST(ActiveControllersTest, SlotsLeftBehind) {
  Score s;
  s.compile("ACV(100,20,2,0,1,0,0)");
  EXPECT_EQ(s.smf.track[0].velocity, 20);
  s.compile("ACE(0,100,%8,0,1,0,0) E+10");  // a relative E goes on from the curve's end
  EXPECT_EQ(s.smf.track[0].expression, 110);
  EXPECT_EQ(s.events(0), (Lines{"-2: B0 0B 00", "-1: B0 0B 6E", "6: B0 0B 64"}));
  s.compile("ACREV(0,9,%8,0,1,0,0) ACCHO(0,8,%8,0,1,0,0) ACM(0,7,%8,0,1,0,0) ACD(0,6,%8,0,1,0,0)");
  EXPECT_EQ(s.smf.track[0].reverb, 9);
  EXPECT_EQ(s.smf.track[0].chorus, 8);
  EXPECT_EQ(s.smf.track[0].modulation, 7);
  EXPECT_EQ(s.smf.track[0].dataEntry, 6);
  // ACCUT selects the filter cutoff with the start value, then drives data entry.
  s.compile("ACCUT(10,64,%8,0,1,0)");
  EXPECT_TRUE(s.errors().empty());
  Lines events = s.events(0);
  std::sort(events.begin(), events.end());
  EXPECT_EQ(events, (Lines{"-1: B0 06 0A", "-2: B0 06 0A", "-2: B0 62 20", "-2: B0 63 01", "6: B0 06 40"}));
  EXPECT_EQ(s.smf.track[0].dataEntry, 64);
  s.compile("CH=3 ACTIVE_CC(74,0,127,%8,0,1,0)");  // no slot for controller 74
  EXPECT_EQ(s.events(0), (Lines{"-2: B2 4A 00", "6: B2 4A 7F"}));
  s.compile("ACB(64,127,4,0,1,0)");
  EXPECT_EQ(s.smf.track[0].bend, 128);
  s.compile("B=64 ACB(0,127,0,%16,1,0)");
  EXPECT_EQ(s.smf.track[0].bend, 0);
}

TEST(ActiveControllersTest, RandomShapeFollowsTheSeed) {
  Score s;
  s.compile("ACP(10,50,%32,0,1,4,0)", 7);
  // Around the smaller value 10 with the range 40: 10 + Random(80) - 40.
  uint32_t seed = 7;
  std::string expected;
  int last = -1;
  for (int i = 0; i <= 4; ++i) {
    seed = seed * 134775813u + 1u;
    const int v = std::clamp(10 + static_cast<int>((static_cast<uint64_t>(seed) * 80) >> 32) - 40, 0, 127);
    if (i == 0 || v != last)
      expected += (expected.empty() ? "" : " ") + std::to_string(i * 8 - 2) + ":" + std::to_string(v);
    last = v;
  }
  EXPECT_EQ(curve(s), expected);
}

TEST(ActiveControllersTest, Trace) {
  auto traced = [](const Score& s) {
    Lines out;
    for (const std::string& m : s.messages)
      if (m.rfind("--", 0) == 0 || (!m.empty() && std::isdigit(static_cast<unsigned char>(m[0])))) out.push_back(m);
    return out;
  };
  Score s;
  s.compile("ACP(0,127,%24,0,1,6,1) ACP(0,127,%24,0,1,6,0)");
  EXPECT_EQ(traced(s), (Lines{"--ACTIVE_CC = 10--", "0", "127", "0", "127"}));
  s.compile("ACB(64,0,%8,0,1,0,1)");
  EXPECT_EQ(traced(s), (Lines{"--ACTIVE_PB--", "8192", "0"}));
  s.compile("ACTIVE_CC(7,0,127,1,0,1,9,1)");  // the heading comes before the shape is checked
  EXPECT_EQ(traced(s), (Lines{"--ACTIVE_CC = 7--"}));
  EXPECT_EQ(errs(s), (Lines{"4 ACTIVE_CC Modeの番号が不正"}));
}

TEST(ActiveControllersTest, Errors) {
  const struct {
    const char* source;
    Lines errors;
  } rows[] = {
      {"ACTIVE_CC(10,0,127,1,0,1)", {"4 ACTIVE_CC"}},
      {"ACTIVE_CC(10,0,127,1,0,1,0,0,0)", {"4 ACTIVE_CC"}},
      {"ACTIVE_CC(128,0,127,1,0,1,0)", {"4 ACTIVE_CC CC#の値が不正"}},
      {"ACTIVE_CC(,0,127,1,0,1,0)", {"4 ACTIVE_CC CC#の値が不正"}},
      {"ACTIVE_CC(10,0,127,1,0,1,7)", {"4 ACTIVE_CC Modeの番号が不正"}},
      {"ACP(0,127,4)", {"4 ACTIVE_CC Modeの番号が不正"}},  // missing arguments are empty, no error 3
      {"ACB(0,127,4,0,1)", {"4 Active B"}},
      {"ACB(0,127,4,0,1,0,1,1)", {"4 Active B"}},
      {"ACB(0,127,4,0,1,7)", {"4 Active B Mode No"}},
  };
  for (const auto& r : rows) {
    Score s;
    s.compile(std::string("B=5 ") + r.source);
    EXPECT_EQ(errs(s), r.errors) << r.source;
    EXPECT_EQ(s.events(0), (Lines{"-1: E0 00 05"})) << r.source;
    EXPECT_EQ(s.smf.track[0].pan, 64) << r.source;
    EXPECT_EQ(s.smf.track[0].bend, 5) << r.source;
  }
}

TEST(ActiveControllersTest, PointsCountAgainstTheWorkBudget) {
  Score s;
  s.compile("ACP(0,127,%2000000000,0,1,0,0)\nc");
  ASSERT_EQ(errs(s).size(), 1u);
  EXPECT_EQ(errs(s)[0][0], '5');
  EXPECT_TRUE(s.events(0).empty());  // nothing written, and the compile stopped
}

}  // namespace
}  // namespace zan::test
