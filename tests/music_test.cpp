// SPDX-License-Identifier: MIT
// The music model of a compile: the tempo map both ways across changes, notes
// paired with their note-offs, track names of any length, and where lines
// began.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>

#include "test_support.h"
#include "zan/music.h"

namespace zan {
namespace {

TEST(TempoMap, TicksAndTimeRoundTripAcrossChanges) {
  TempoMap map(96);
  map.add(96, 1000000);
  map.add(96, 250000);  // the later change on one tick holds
  map.add(200, 600000);
  EXPECT_EQ(map.changes().size(), 3u);
  struct Row {
    int64_t tick;
    int64_t us;  // rounded to the microsecond
  } rows[] = {
      {-5, 0},          {0, 0},
      {48, 250000},     // half a quarter at 120
      {96, 500000},     {100, 510417},  // 4 ticks of a quarter of 250000 us
      {200, 770833},    {296, 1370833},  // a quarter at 600000 after 200
  };
  size_t hint = 0;
  for (const Row& r : rows) {
    EXPECT_EQ(map.usAtTick(r.tick), r.us) << r.tick;
    EXPECT_EQ(map.usAtTick(r.tick, hint), r.us) << r.tick;  // a walk in rising ticks
    if (r.tick < 0) continue;
    const double ms = map.msOfTick(static_cast<double>(r.tick));
    EXPECT_NEAR(ms * 1000, static_cast<double>(r.us), 0.5) << r.tick;
    EXPECT_NEAR(map.tickOfMs(ms), static_cast<double>(r.tick), 1e-9) << r.tick;
  }
  // A hint from a later walk is no harm to an earlier tick.
  EXPECT_EQ(map.usAtTick(48, hint), 250000);
}

TEST(Music, NotesPairWithTheOldestNoteOffOfTheirChannelAndKey) {
  // Overlapping notes of one key end first in, first out; a note-on of
  // velocity 0 ends a note; another channel's note-off ends nothing; a
  // note-off on its note-on's tick leaves the note a tick long; a note never
  // ended lasts to its track's end.
  TSmf c;
  const std::vector<std::pair<int32_t, std::vector<uint8_t>>> events = {
      {0, {0x90, 60, 100}}, {10, {0x90, 60, 50}}, {20, {0x80, 60, 0}},  {30, {0x90, 60, 0}}, {30, {0x91, 64, 70}},
      {40, {0x80, 64, 0}},  {50, {0x81, 64, 0}},  {55, {0x92, 70, 9}},  {55, {0x82, 70, 0}}, {60, {0x90, 67, 1}},
      {90, {0xC0, 5}}};
  for (const auto& [time, bytes] : events) c.events[3].Add(time, bytes.data(), static_cast<int32_t>(bytes.size()));
  c.events[7].Add(0, std::vector<uint8_t>{0x95, 40, 80}.data(), 3);
  const auto music = Music::build(c, nullptr, nullptr);
  ASSERT_EQ(music->tracks().size(), 2u);
  const MusicTrack& t = music->tracks()[0];
  EXPECT_EQ(std::make_tuple(t.number, t.chunk, t.channel, t.program, t.endTick), std::make_tuple(3, 0, 0, 5, 90));
  struct Row {
    int32_t start, end;
    int key, velocity, channel;
  } expected[] = {{0, 20, 60, 100, 0}, {10, 30, 60, 50, 0}, {30, 50, 64, 70, 1}, {55, 56, 70, 9, 2}, {60, 90, 67, 1, 0}};
  ASSERT_EQ(t.notes.size(), std::size(expected));
  for (size_t i = 0; i < t.notes.size(); ++i) {
    const MusicNote& n = t.notes[i];
    EXPECT_EQ(std::make_tuple(n.start, n.end, int{n.key}, int{n.velocity}, int{n.channel}),
              std::make_tuple(expected[i].start, expected[i].end, expected[i].key, expected[i].velocity, expected[i].channel))
        << i;
  }
  EXPECT_EQ(music->tracks()[1].chunk, 1);  // chunks count only the tracks with events
  EXPECT_EQ(music->noteCount(), 6u);
}

TEST(Music, TrackNamesOfAnyLengthAreReadWhole) {
  // Beyond 127 bytes a meta event's length takes two bytes (the compiler's
  // own names stop at 127; an event list may hold longer ones).
  for (size_t length : {0u, 1u, 127u, 128u, 300u}) {
    TSmf c;
    const std::string name(length, 'n');
    std::vector<uint8_t> title{0xFF, 0x03};
    smf::putVarLen(title, static_cast<uint32_t>(length));
    title.insert(title.end(), name.begin(), name.end());
    c.events[0].Add(0, title.data(), static_cast<int32_t>(title.size()));
    const uint8_t instrument[] = {0xFF, 0x04, 0x03, 'S', 't', 'r'};
    c.events[0].Add(0, instrument, 6);
    const auto music = Music::build(c, nullptr, nullptr);
    ASSERT_EQ(music->tracks().size(), 1u);
    EXPECT_EQ(music->tracks()[0].name, name) << length;
    EXPECT_EQ(music->tracks()[0].instrument, "Str");
  }
  const uint8_t cut[] = {0xFF, 0x03, 0x81};  // a length cut short
  EXPECT_EQ(metaText(cut, 3), "");
}

TEST(Music, RecordsTheTextOfEachNoteAndWhereEachLineBegan) {
  test::Score s;
  MusicRecorder recorder(s.smf);
  s.compile("t60 c4\nt120 d4 e4\n_tr(1) f\n");
  const auto music = recorder.music();
  const MusicTrack& t = music->tracks()[0];
  ASSERT_EQ(t.notes.size(), 3u);
  EXPECT_EQ(std::make_tuple(t.notes[2].source.line, t.notes[2].source.column, t.notes[2].source.end), std::make_tuple(1, 8, 10));
  struct Row {
    int32_t line, track, tick;
    int64_t us;
  } rows[] = {{0, 0, 0, 0}, {1, 0, 96, 984375}, {2, 0, 288, 1984375}};  // t120 stands three ticks early
  for (const Row& r : rows) {
    const LineTime* start = music->lineStart(r.line);
    ASSERT_TRUE(start) << r.line;
    EXPECT_EQ(std::make_tuple(start->track, start->tick), std::make_tuple(r.track, r.tick)) << r.line;
    EXPECT_EQ(music->tempo().usAtTick(start->tick), r.us) << r.line;
  }
  EXPECT_EQ(music->lineStart(7), nullptr);
  // The timing alone: no tracks, the same tempo map.
  const auto timing = recorder.music(Music::Parts::Timing);
  EXPECT_FALSE(timing->hasTracks());
  EXPECT_TRUE(timing->tracks().empty());
  EXPECT_EQ(timing->lengthUs(), music->lengthUs());
  EXPECT_EQ(timing->lineStart(1)->tick, 96);
}

TEST(Music, CompileHandsBackTheBytesItWrote) {
  test::Score s;
  s.smf.sourceLines.setText("t90 c d e");
  const std::string path = ::testing::TempDir() + "music_test.mid";
  std::vector<uint8_t> written{1, 2, 3};
  s.smf.Compile(path, written);
  std::ifstream in(path, std::ios::binary);
  const std::vector<uint8_t> file{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  EXPECT_EQ(written, file);
  EXPECT_EQ(s.messages.back(), "ok");
  std::remove(path.c_str());
}

}  // namespace
// The caret's time: each command of the score's lines where the compile
// first reached it, and each line's end.
TEST(Music, FindsTheTimeOfEveryCommandAsWritten) {
  test::Score s;
  MusicRecorder recorder(s.smf);
  s.compile("_m(AB,c4 d4)\n[3 c4] e4\nAB f4\n_tr(1) r2 g4 ;x\nc8  d8");
  const auto music = recorder.music(Music::Parts::Timing);
  struct Row {
    int32_t line, column, track, tick;
  } rows[] = {
      {1, 0, 0, 0},      // the loop's head
      {1, 3, 0, 0},      // c, on its first pass
      {1, 4, 0, 96},     // inside "c4": the loop's tail, after the first pass
      {1, 7, 0, 288},    // e, after three passes
      {1, 9, 0, 384},    // the line's end
      {2, 0, 0, 384},    // a macro's call stands for its body
      {2, 1, 0, 576},    // f, after the body's two notes
      {3, 0, 0, 672},    // _tr(1) itself, on the track before it
      {3, 3, 1, 0},      // past it: track 1's own time
      {3, 10, 1, 192},   // g, after the rest
      {3, 13, 1, 288},   // the comment
      {3, 99, 1, 288},   // beyond the end
      {4, 3, 1, 336},    // between two commands: the next one's start
  };
  for (const Row& r : rows) {
    const CommandTime* at = music->timeAt(r.line, r.column);
    ASSERT_TRUE(at) << r.line << ":" << r.column;
    EXPECT_EQ(std::make_tuple(at->track, at->tick), std::make_tuple(r.track, r.tick)) << r.line << ":" << r.column;
  }
  EXPECT_EQ(music->timeAt(7, 0), nullptr);
}

}  // namespace zan
