// SPDX-License-Identifier: MIT
// Underscore commands: _print, one-letter macros, skip mode, meta texts, the
// active-controller step and _tr track switches and groups.
#include <gtest/gtest.h>

#include <map>

#include "test_support.h"

namespace zan::test {
namespace {

using Lines = std::vector<std::string>;


Lines prints(const Score& s) {
  Lines out;
  for (const std::string& m : s.messages)
    if (m.rfind("err(", 0) != 0 && m != "Compile Start" && m != "ok") out.push_back(m);
  return out;
}


// The tracks that hold notes, each with its notes.
std::map<int, std::string> notesByTrack(const Score& s) {
  std::map<int, std::string> out;
  for (int t = 0; t < kTrackCount; ++t)
    if (std::string n = notes(s, t, true); !n.empty()) out[t] = n;
  return out;
}

TEST(UnderscoreTest, Print) {
  struct Row {
    const char* source;
    Lines printed, errors;
  } rows[] = {
      {"~1=384 _print(ptr is ,~1)", {"ptr is 384"}, {}},
      {"_print()", {""}, {}},
      {"_print", {}, {"0:4 _print"}},
      {"_print(\"a b\",  c)", {"\"a b\"c"}, {}},
      {"_print(f(x)g)", {"f(x)g"}, {}},
      {"~1=7 ~2=1 _print(~1 and more,~~2)", {"77"}, {}},
      {"~1=7 _print=~1,5", {"75"}, {}},
      {"_print(~600)", {"-1"}, {"0:4 ~"}},
      {"_print(あ)", {"あ"}, {}},
  };
  for (const Row& r : rows) {
    Score s;
    s.compile(r.source);
    EXPECT_EQ(prints(s), r.printed) << r.source;
    EXPECT_EQ(errsAt(s), r.errors) << r.source;
  }
}

TEST(UnderscoreTest, ModesAndKeywords) {
  struct Row {
    const char* source;
    const char* notes;
    Lines errors;
  } rows[] = {
      // Skip mode passes over everything but _ ; { } #; _m still defines.
      {"_skipon c d {x} _m(XA,f) ;g\n_skipoff XA e", "0:f 96:e", {}},
      {"_skipon\nc\n_skipoff d", "0:d", {}},
      {"_skipon } c", "", {"0:2 }"}},
      // Keywords match over their own length: _smonx is _smon, then x.
      {"_m(x,c)\n_smonx", "0:c", {}},
      {"_smon _smoff _m(x,c)\nx", "", {"1:2 x"}},
      {"_c", "0:c", {}},
      {"_xe", "0:e", {"0:2 x"}},
      {"_smonTITLE(a) d", "0:d", {}},
  };
  for (const Row& r : rows) {
    Score s;
    s.compile(r.source);
    EXPECT_EQ(notes(s, 0, true), r.notes) << r.source;
    EXPECT_EQ(errsAt(s), r.errors) << r.source;
  }
  Score s;
  s.compile("_skipon #timebase 480");
  EXPECT_EQ(s.smf.timebase, 480);
  s.compile("_smon _tr(1) _smoff _tr(0)");
  EXPECT_TRUE(s.smf.track[0].smallMacros);
  EXPECT_FALSE(s.smf.track[1].smallMacros);
}

TEST(UnderscoreTest, MetaTexts) {
  const std::string long200(200, 'x');
  struct Row {
    std::string source;
    Lines events;
    Lines errors;
  } rows[] = {
      {"_TITLE(Song)", {"-1: FF 03 04 53 6F 6E 67"}, {}},
      {"_COPYRIGHT(\"ab\")", {"-1: FF 02 04 22 61 62 22"}, {}},
      {"_INST_NAME(x)", {"-1: FF 04 01 78"}, {}},
      {"_TITLE()", {"-1: FF 03 00"}, {}},
      {"r _TITLE(a)", {"95: FF 03 01 61"}, {}},
      {"_TITLE(" + long200 + ")", {"-1: FF 03 7F " + hex(std::vector<uint8_t>(127, 'x'))}, {}},
      {"_TITLE(a,b)", {}, {"0:4 _"}},
      {"_TITLE", {}, {"0:4 _"}},
      {"_INST_NAME", {}, {"0:4 _"}},
  };
  for (const Row& r : rows) {
    Score s;
    s.compile(r.source);
    EXPECT_EQ(s.events(0), r.events) << r.source;
    EXPECT_EQ(errsAt(s), r.errors) << r.source;
  }
  Score s;
  s.compile("_tr(2) c _TITLE(a)");
  EXPECT_EQ(s.events(2).back(), "95: FF 03 01 61");
  // A time before the start is written at delta 0.
  s.compile("_TITLE(Song)");
  const smf::File f = s.parsed();
  ASSERT_GE(f.tracks.size(), 1u);
  EXPECT_EQ(f.tracks[0].events[0].tick, 0u);
  EXPECT_EQ(hex(f.tracks[0].events[0].bytes), "FF 03 04 53 6F 6E 67");
}

TEST(UnderscoreTest, ActiveControllerStep) {
  struct Row {
    const char* source;
    int32_t step;
    Lines errors;
  } rows[] = {
      {"", 8, {}}, {"_ac(%1000)", 192, {}}, {"#timebase 480\n_ac(%1000)", 960, {}}, {"_ac(%5)", 5, {}},
      {"_ac(4)", 96, {}}, {"_ac(8.)", 72, {}}, {"_ac(0)", 1, {}}, {"_ac(%0)", 8, {"0:4 %", "0:4 _ac"}},
      {"_ac", 8, {"0:4 _ac"}}, {"_ac(4,8)", 8, {"0:4 _ac"}},
  };
  for (const Row& r : rows) {
    Score s;
    s.compile(r.source);
    EXPECT_EQ(s.smf.acStep[0], r.step) << r.source;
    EXPECT_EQ(errsAt(s), r.errors) << r.source;
  }
}

TEST(UnderscoreTest, TrackSwitchesAndGroups) {
  struct Row {
    const char* source;
    std::map<int, std::string> notes;
    int32_t track;  // current at the end
    Lines errors = {};
  } rows[] = {
      {"_tr(5) c", {{5, "0:c"}}, 5},
      {"c d e _tr(1,2) e f g _tr(0) a", {{0, "0:c 96:d 192:e 288:a"}, {1, "0:e 96:f 192:g"}, {2, "0:e 96:f 192:g"}}, 0},
      // Each pass starts at its track's own pointer.
      {"_tr(1) c _tr(1,2) d _tr(3)", {{1, "0:c 96:d"}, {2, "0:d"}}, 3},
      // A group over several lines.
      {"_tr(1,2) c\nd\ne _tr(0) f", {{0, "0:f"}, {1, "0:c 96:d 192:e"}, {2, "0:c 96:d 192:e"}}, 0},
      // Without a closing _tr: "_tr(0)" is appended.
      {"_tr(1,2) c\nd", {{1, "0:c 96:d"}, {2, "0:c 96:d"}}, 0},
      // Expansions before the group on its own line, and on the closing line.
      {"_m(XA,c)\nXA _tr(1,2) d _tr(0)", {{0, "0:c"}, {1, "0:d"}, {2, "0:d"}}, 0},
      {"_m(XA,c)\nXA _tr(1,2) d\n_tr(0)", {{0, "0:c"}, {1, "0:d"}, {2, "0:d"}}, 0},
      {"_m(XA,c)\n_tr(1,2) d\nXA _tr(0)", {{1, "0:d 96:c"}, {2, "0:d 96:c"}}, 0},
      // The closing line is read again as stored, not as the pass left it.
      {"_m(XA,e)\n_tr(1,2) c\nXA _m(XA,d) _tr(0)", {{1, "0:c 96:e"}, {2, "0:c 96:d"}}, 0},
      // Faults: no group, the track stays.
      {"_tr(5) _tr(300) c", {{5, "0:c"}}, 5, {"0:4 _tr"}}, {"_tr(2,300) c", {{0, "0:c"}}, 0, {"0:4 _tr"}},
      {"_tr c", {{0, "0:c"}}, 0, {"0:4 _tr"}}, {"_tr() c", {{0, "0:c"}}, 0, {"0:4 _tr"}},
      {"_tr(3-1) c", {{0, "0:c"}}, 0, {"0:4 _tr"}}, {"_tr(1-) c", {{0, "0:c"}}, 0, {"0:4 _tr"}},
      {"_tr(-3) c", {{0, "0:c"}}, 0, {"0:4 _tr"}}, {"_tr(120-128) c", {{0, "0:c"}}, 0, {"0:4 _tr"}},
      {"_tr(0-127,5) c", {{0, "0:c"}}, 0, {"0:4 _tr"}},
  };
  for (const Row& r : rows) {
    Score s;
    s.compile(r.source);
    EXPECT_EQ(notesByTrack(s), r.notes) << r.source;
    EXPECT_EQ(s.smf.curTrack, r.track) << r.source;
    EXPECT_EQ(errsAt(s), r.errors) << r.source;
    EXPECT_EQ(s.smf.trPending, 0) << r.source;
  }
}

TEST(UnderscoreTest, GroupOrderAndStoredLines) {
  struct Row {
    const char* list;
    Lines order;
  } rows[] = {
      {"1,2,3", {"1", "2", "3"}},
      {"1-3", {"3", "2", "1"}},
      {"1,5-6,2", {"1", "6", "5", "2"}},
  };
  for (const Row& r : rows) {
    Score s;
    s.compile(std::string("_tr(") + r.list + ") ~2=trk _print(~2) _tr(0)");
    EXPECT_EQ(prints(s), r.order) << r.list;
  }
  // All 128 tracks in one range.
  Score s;
  s.compile("_tr(0-127) c _tr(0)");
  EXPECT_EQ(notesByTrack(s).size(), 128u);
  EXPECT_TRUE(s.errors().empty());
  // The appended closing line, made by the compiler.
  s.compile("_tr(1,2) c\nd");
  EXPECT_EQ(s.smf.sourceLines.lines(), (Lines{"_tr(1,2) c", "d", "_tr(0)"}));
  EXPECT_EQ(s.smf.sourceLines.origin(2).file, -1);
  // The group body's expansions are kept in the stored lines.
  s.compile("_m(XA,c)\nXA _tr(1,2) XA\n_tr(0)");
  EXPECT_EQ(toUtf8(s.smf.sourceLines[1]), "{XA}c _tr(1,2) {XA}c");
}

}  // namespace
}  // namespace zan::test
