// SPDX-License-Identifier: MIT
// Ticks to time: tempo changes in any track, the merge order of tracks, and
// the files that cannot be timed.
#include <gtest/gtest.h>

#include "player_test_support.h"
#include "sequence.h"

namespace zan::player {
namespace {

using test::RawEvent;

// Note-on times in ms ("key@ms"), and with `length` the length.
std::string noteTimes(const Sequence& s, bool length = true) {
  std::string out;
  for (const TimedEvent& e : s.events) {
    const uint8_t* b = s.data(e);
    if ((b[0] & 0xF0) != 0x90 || b[2] == 0) continue;
    if (!out.empty()) out += ' ';
    out += std::to_string(b[1]) + "@" + std::to_string(e.us / 1000);
  }
  return length ? out + " len " + std::to_string(s.lengthUs / 1000) : out;
}

TEST(Sequence, TempoChangesInTheScoreSetTheTimes) {
  struct Row {
    const char* score;
    const char* expected;
  } rows[] = {
      // A quarter lasts 500 ms at 120, 1000 ms at 60, 250 at 240.
      {"t120 o4 l4 c d e f", "48@0 50@500 52@1000 53@1500"},
      {"t60 o4 l4 c d", "48@0 50@1000"},
      {"t240 o4 l8 c r c", "48@0 48@250"},
      {"t120 o4 l8 c r c", "48@0 48@500"},
  };
  for (const Row& r : rows)
    EXPECT_EQ(noteTimes(test::sequenceOf(test::compileScore(r.score)), false), r.expected) << r.score;
}

TEST(Sequence, TempoChangesBetweenNotesTimeWhatFollows) {
  const std::vector<uint8_t> tempo60 = {0xFF, 0x51, 3, 0x0F, 0x42, 0x40};   // 1 000 000 us a quarter
  const std::vector<uint8_t> tempo240 = {0xFF, 0x51, 3, 0x03, 0xD0, 0x90};  // 250 000 us a quarter
  // Division 480: quarters at 120 (the default), then 60, then 240.
  const auto bytes = test::makeSmf(480, {{
      {0, {0x90, 60, 100}}, {480, {0x90, 62, 100}}, {0, tempo60}, {480, {0x90, 64, 100}},
      {240, tempo240}, {240, {0x90, 65, 100}}, {480, {0x80, 65, 0}},
  }});
  EXPECT_EQ(noteTimes(test::sequenceOf(bytes)), "60@0 62@500 64@1500 65@2125 len 2375");
}

TEST(Sequence, ATempoInOneTrackTimesEveryTrack) {
  const std::vector<uint8_t> tempo60 = {0xFF, 0x51, 3, 0x0F, 0x42, 0x40};  // 1 000 000 us a quarter
  // Division 100: track 0 changes to 60 at tick 100 (0.5 s at the default
  // 120); track 1 plays a note at 0, 100 and 200.
  const auto bytes = test::makeSmf(100, {
      {{100, tempo60}},
      {{0, {0x90, 60, 100}}, {100, {0x90, 62, 100}}, {100, {0x90, 64, 100}}, {50, {0x80, 64, 0}}},
  });
  EXPECT_EQ(noteTimes(test::sequenceOf(bytes)), "60@0 62@500 64@1500 len 2000");
}

TEST(Sequence, EventsOnOneTickKeepTrackThenFileOrder) {
  const auto bytes = test::makeSmf(96, {
      {{0, {0xB0, 7, 1}}, {0, {0xB0, 7, 2}}},
      {{0, {0xB0, 7, 3}}},
      {{0, {0xB0, 7, 4}}},
  });
  const Sequence s = test::sequenceOf(bytes);
  std::string values;
  for (const TimedEvent& e : s.events) values += std::to_string(s.data(e)[2]);
  EXPECT_EQ(values, "1234");
}

TEST(Sequence, SystemExclusiveIsSentWithItsMark) {
  const auto bytes = test::makeSmf(96, {{{0, {0xF0, 5, 0x7E, 0x7F, 0x09, 0x01, 0xF7}}, {0, {0xFF, 0x01, 2, 'h', 'i'}}}});
  const Sequence s = test::sequenceOf(bytes);
  ASSERT_EQ(s.events.size(), 1u) << "the text event is not sent";
  EXPECT_EQ(std::vector<uint8_t>(s.data(s.events[0]), s.data(s.events[0]) + s.events[0].size),
            (std::vector<uint8_t>{0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7}));
}

TEST(Sequence, FilesThatCannotBeTimedAreRefused) {
  struct Row {
    std::vector<uint8_t> bytes;
    const char* error;
  } rows[] = {
      {test::makeSmf(96, {{}}, 2), "format 2"},
      {test::makeSmf(0xE728, {{}}), "SMPTE"},
      {test::makeSmf(0, {{}}), "SMPTE"},
  };
  for (const Row& r : rows) {
    smf::File file;
    std::string error;
    Sequence s;
    ASSERT_TRUE(smf::parse(r.bytes, file, error)) << error;
    EXPECT_FALSE(buildSequence(file, s, error));
    EXPECT_NE(error.find(r.error), std::string::npos) << error;
  }
}

TEST(Sequence, LoadReportsMissingAndInvalidFiles) {
  Sequence s;
  std::string error;
  EXPECT_FALSE(loadSequence("/nonexistent/zan/x.mid", s, error));
  EXPECT_NE(error.find("cannot open"), std::string::npos) << error;
  const std::string garbage = test::writeTemp("garbage.mid", {'M', 'T', 'h', 'd', 0, 0});
  EXPECT_FALSE(loadSequence(garbage, s, error));
  EXPECT_NE(error.find("not a valid MIDI file"), std::string::npos) << error;
}

}  // namespace
}  // namespace zan::player
