// SPDX-License-Identifier: MIT
// Channel commands t v y @ p !: the exact event bytes, their times before the
// pointer, the velocity state, and the errors.
#include <gtest/gtest.h>

#include <algorithm>

#include "test_support.h"

namespace zan::test {
namespace {

// "4:t" for an error line of error 4 with detail t.
std::vector<std::string> codes(const Score& s) {
  static const char* const kTexts[] = {"原因不明のエラー", "指定されたファイルを開けません", "解読不能文字です",
                                       "必要な引数が足りません", "引数が不正です", "文法のエラー"};
  std::vector<std::string> out;
  for (const std::string& line : s.errors()) {
    const size_t start = line.find(")\"") + 2, end = line.rfind("\"> _tr<"), colon = line.rfind("\":", end);
    const std::string message = line.substr(colon + 2, end - colon - 2);
    int number = 6;
    for (int i = 0; i < 6; ++i)
      if (message == kTexts[i]) number = i;
    out.push_back(std::to_string(number) + ":" + line.substr(start, colon - start));
  }
  return out;
}


TEST(ChannelTest, EventsAndErrors) {
  struct Row {
    const char* source;
    std::vector<std::string> events;
    std::vector<std::string> errors;
  };
  const Row rows[] = {
      {"t120", {"-3: FF 51 03 07 A1 20"}, {}},
      {"t20", {"-3: FF 51 03 2D C6 C0"}, {}},
      {"t999", {"-3: FF 51 03 00 EA 9C"}, {}},
      {"t7 0", {}, {"4:t", "2:0"}},
      {"t19", {}, {"4:t"}},
      {"t1000", {}, {"4:t"}},
      {"t", {}, {"4:t"}},
      {"t99999999999", {}, {"4:t"}},
      {"r t90", {"93: FF 51 03 0A 2C 2A"}, {}},
      {"y7,100", {"-1: B0 07 64"}, {}},
      {"y7,200", {"-1: B0 07 7F"}, {}},
      {"y7,-5", {"-1: B0 07 00"}, {}},
      {"y0,0 y127,127", {"-1: B0 00 00", "-1: B0 7F 7F"}, {}},
      {"r y$5B,$40", {"95: B0 5B 40"}, {}},
      {"y7", {}, {"4:y"}},
      {"y", {}, {"4:y"}},
      {"y7,1,2", {}, {"4:y"}},
      {"y128,1", {}, {"4:y"}},
      {"@5", {"-1: C0 05"}, {}},
      {"@0", {"-1: C0 00"}, {}},
      {"@5,1", {"-2: B0 00 01", "-1: C0 05"}, {}},
      {"@5,1,2", {"-2: B0 00 01", "-2: B0 20 02", "-1: C0 05"}, {}},
      {"r @127,127,127", {"94: B0 00 7F", "94: B0 20 7F", "95: C0 7F"}, {}},
      {"@", {}, {"4:@"}},
      {"@1,2,3,4", {}, {"4:@"}},
      {"@128", {}, {"4:@"}},
      {"@5,128", {}, {"4:@"}},
      {"@5,1,128", {}, {"4:@"}},
      {"p0", {"-1: E0 00 40"}, {}},
      {"p-8192", {"-1: E0 00 00"}, {}},
      {"p8191", {"-1: E0 7F 7F"}, {}},
      {"p100", {"-1: E0 64 40"}, {}},
      {"p-1", {"-1: E0 7F 3F"}, {}},
      {"p8192", {}, {"4:p:-8192~8191"}},
      {"p-8193", {}, {"4:p:-8192~8191"}},
      {"p", {}, {"4:p"}},
      {"p-", {}, {"4:p"}},
      {"p+5", {}, {"4:p", "2:+", "2:5"}},
      // None of these commands moves the pointer.
      {"t120 y7,1 @1 p0 c",
       {"-3: FF 51 03 07 A1 20", "-1: B0 07 01", "-1: C0 01", "-1: E0 00 40", "0: 90 30 64", "83: 80 30 64"},
       {}},
  };
  for (const Row& r : rows) {
    Score s;
    s.compile(r.source);
    EXPECT_EQ(s.added(), r.events) << r.source;
    EXPECT_EQ(codes(s), r.errors) << r.source;
  }
  Score s;
  s.compile("y7, 100");  // no space may follow the comma
  EXPECT_TRUE(s.events(0).empty());
  ASSERT_FALSE(codes(s).empty());
  EXPECT_EQ(codes(s)[0], "4:y");
}

TEST(ChannelTest, VelocityState) {
  struct Row {
    const char* source;
    int velocity, step, bounce;
    std::vector<std::string> errors;
  };
  const Row rows[] = {
      {"v100 v+10", 110, 0, 0, {}},
      {"v200", 127, 0, 0, {}},
      {"v-300", 0, 0, 0, {}},
      {"v60 v-10", 50, 0, 0, {}},
      {"v=50", 50, 0, 0, {}},
      {"v50,10", 50, 10, 0, {}},
      {"v50,-127,1", 50, -127, 1, {}},
      {"v50,127,0", 50, 127, 0, {}},
      // What was stored before the faulty part stays.
      {"v50,128", 50, 0, 0, {"4:v"}},
      {"v50,-128", 50, 0, 0, {"4:v"}},
      {"v50,5,-3", 50, 5, 0, {"4:v"}},
      {"v", 100, 0, 0, {"4:v"}},
      {"v,5", 100, 0, 0, {"4:v"}},
  };
  for (const Row& r : rows) {
    Score s;
    s.compile(r.source);
    EXPECT_EQ(s.smf.track[0].velocity, r.velocity) << r.source;
    EXPECT_EQ(s.smf.track[0].velocityStep, r.step) << r.source;
    EXPECT_EQ(s.smf.track[0].velocityBounce, r.bounce) << r.source;
    EXPECT_EQ(codes(s), r.errors) << r.source;
  }
}

TEST(ChannelTest, AccentSetsTheNextNoteOnTheSameLine) {
  struct Row {
    const char* source;
    std::string velocities;  // of the note-ons, in order
    std::vector<std::string> errors;
  };
  const Row rows[] = {
      {"v80 !c c", "78 50", {}},
      {"!c", "7F", {}},               // 150 limited to 127
      {"v81 !c", "7A", {}},           // 121.5 rounds to the even 122
      {"v83 !c", "7C", {}},           // 124.5 rounds to the even 124
      {"! c", "7F", {}},
      {"!50c", "32", {}},
      {"!=50c", "32", {}},
      {"!+10c", "6E", {}},
      {"!-10c", "5A", {}},
      {"!-200c", "", {}},             // velocity 0: a silent note
      {"!300c", "7F", {}},
      {"!50 !60 c", "3C", {}},
      {"!+c", "64", {"4:!の相対指定値が不正"}},
      {"!50\nc", "64", {}},           // the accent does not carry to the next line
  };
  for (const Row& r : rows) {
    Score s;
    s.compile(r.source);
    std::string got;
    for (const Tivent::Entry& e : s.smf.events[0].entries()) {
      const uint8_t* b = s.smf.events[0].bytes(e);
      if (b[0] == 0x90) got += (got.empty() ? "" : " ") + hex(b + 2, 1);  // notes keep their order in time
    }
    EXPECT_EQ(got, r.velocities) << r.source;
    EXPECT_EQ(codes(s), r.errors) << r.source;
  }
}

TEST(ChannelTest, StatusBytesCarryTheTrackChannel) {
  TSmf smf;
  smf.Reset();
  smf.track[0].channel = 9;
  smf.sourceLines.setText("y7,1 @5,1,2 p0 t120");
  smf.CompileLines();
  std::vector<std::string> got;
  for (const Tivent::Entry& e : smf.events[0].entries()) got.push_back(hex(smf.events[0].bytes(e), 1));
  EXPECT_EQ(got, (std::vector<std::string>{"B9", "B9", "B9", "C9", "E9", "FF"}));
}

TEST(ChannelTest, EventsPlacedBeforeThePointerPrecedeItsNoteInTheFile) {
  Score s;
  s.compile("c t150 @3 y10,0 d");
  smf::File f = s.parsed();
  ASSERT_EQ(f.tracks.size(), 1u);
  std::vector<std::string> got;
  for (const smf::Event& e : f.tracks[0].events) got.push_back(std::to_string(e.tick) + ": " + hex(e.bytes));
  EXPECT_EQ(got, (std::vector<std::string>{"0: 90 30 64", "83: 80 30 64", "93: FF 51 03 06 1A 80", "95: B0 0A 00",
                                           "95: C0 03", "96: 90 32 64", "179: 80 32 64", "179: FF 2F 00"}));
}

}  // namespace
}  // namespace zan::test
