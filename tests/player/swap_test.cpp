// SPDX-License-Identifier: MIT
// Music swapped under the playing, in virtual time against a recording
// output: the notes the new music does not hold end, the state is chased to
// the new music's, the position and the loop follow the ticks.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "player/player.h"
#include "player_test_support.h"
#include "scheduler.h"
#include "sequence.h"

namespace zan::player {
namespace {

constexpr double kRate = 44100.0;  // a quarter at 120 lasts 22050 frames
constexpr int kQuarter = 480;

using Log = std::vector<std::string>;

Sequence indexed(const std::vector<uint8_t>& bytes) {
  Sequence s = test::sequenceOf(bytes);
  indexForSwap(s);
  return s;
}

// Program 5, volume 100, bend up at 0; notes 3C and 3E from 0 to 4 quarters.
std::vector<uint8_t> oldMusic() {
  return test::makeSmf(kQuarter, {{{0, {0xC0, 5}}, {0, {0xB0, 7, 100}}, {0, {0xE0, 0, 0x50}},
                                    {0, {0x90, 0x3C, 100}}, {0, {0x90, 0x3E, 100}},
                                    {4 * kQuarter, {0x80, 0x3C, 0}}, {0, {0x80, 0x3E, 0}}}});
}

struct SwapCase {
  const char* what;
  std::vector<uint8_t> next;
  bool startHeld;
  Log atSwap;  // sent at the swap, frame 30000 (between quarters 1 and 2)
};

TEST(Swap, NotesTheNewMusicDoesNotHoldEndAndItsStateIsSent) {
  const std::vector<SwapCase> cases = {
      {"the same music: nothing is sent",
       oldMusic(), false, {}},
      {"3E held on: only 3C ends; the new program and pan go out, the bend it never sets goes back to the centre",
       test::makeSmf(kQuarter, {{{0, {0xB0, 10, 32}}, {0, {0xC0, 9}}, {0, {0x90, 0x3E, 80}}, {8 * kQuarter, {0x80, 0x3E, 0}}}}),
       false, {"30000 80 3C 00", "30000 E0 00 40", "30000 B0 0A 20", "30000 C0 09"}},
      {"a note held across the tick waits for its next note-on",
       test::makeSmf(kQuarter, {{{0, {0xC0, 5}}, {0, {0xE0, 0, 0x50}}, {0, {0x90, 0x40, 70}}, {8 * kQuarter, {0x80, 0x40, 0}}}}),
       false, {"30000 80 3C 00", "30000 80 3E 00"}},
      {"... or starts at once when asked",
       test::makeSmf(kQuarter, {{{0, {0xC0, 5}}, {0, {0xE0, 0, 0x50}}, {0, {0x90, 0x40, 70}}, {8 * kQuarter, {0x80, 0x40, 0}}}}),
       true, {"30000 80 3C 00", "30000 80 3E 00", "30000 90 40 46"}},
      {"a note that ended before the tick is not started",
       test::makeSmf(kQuarter, {{{0, {0xC0, 5}}, {0, {0xE0, 0, 0x50}}, {0, {0x90, 0x40, 70}}, {kQuarter, {0x80, 0x40, 0}},
                                 {8 * kQuarter, {0x80, 0x41, 0}}}}),
       true, {"30000 80 3C 00", "30000 80 3E 00"}},
  };
  const Sequence before = indexed(oldMusic());
  for (const SwapCase& c : cases) {
    const Sequence after = indexed(c.next);
    test::RecordingOutput out;
    Scheduler old(before, out, kRate);
    old.seek(0);
    old.advance(30000, nullptr, nullptr);
    out.log.clear();
    Scheduler next(after, out, kRate);
    next.takeOver(old, c.startHeld);
    EXPECT_EQ(out.log, c.atSwap) << c.what;
    EXPECT_EQ(next.position(), 30000) << c.what;
  }
}

TEST(Swap, AHeldNoteEndsAtTheNewMusicsNoteOffAndNothingSoundsAfterASilence) {
  const Sequence before = indexed(oldMusic());
  const Sequence after = indexed(
      test::makeSmf(kQuarter, {{{0, {0xC0, 5}}, {0, {0xB0, 7, 100}}, {0, {0xE0, 0, 0x50}}, {0, {0x90, 0x3C, 100}},
                                {2 * kQuarter, {0x80, 0x3C, 0}}, {0, {0x90, 0x43, 90}}, {kQuarter, {0x80, 0x43, 0}}}}));
  test::RecordingOutput out;
  Scheduler old(before, out, kRate);
  old.seek(0);
  old.advance(30000, nullptr, nullptr);
  out.log.clear();
  Scheduler next(after, out, kRate);
  next.takeOver(old, false);
  while (!next.atEnd()) next.advance(1000, nullptr, nullptr);
  EXPECT_EQ(out.log, (Log{"30000 80 3E 00", "44100 80 3C 00", "44100 90 43 5A", "66150 80 43 00"}));
  out.log.clear();
  next.silence();
  EXPECT_EQ(out.log, (Log{"67000 all sound off"})) << "no note is left sounding";
}

// 120 a minute, then music at 60: the same tick lies twice as late.
TEST(Swap, ThePositionFollowsTheTicksNotTheTime) {
  const Sequence before = indexed(oldMusic());
  const Sequence after = indexed(test::makeSmf(
      kQuarter, {{{0, {0xFF, 0x51, 3, 0x0F, 0x42, 0x40}}, {0, {0xC0, 5}}, {0, {0xB0, 7, 100}}, {0, {0xE0, 0, 0x50}},
                  {0, {0x90, 0x3C, 100}}, {0, {0x90, 0x3E, 100}}, {2 * kQuarter, {0x90, 0x41, 100}},
                  {2 * kQuarter, {0x80, 0x3C, 0}}, {0, {0x80, 0x3E, 0}}, {0, {0x80, 0x41, 0}}}}));
  test::RecordingOutput out;
  Scheduler old(before, out, kRate);
  old.seek(0);
  old.advance(22050, nullptr, nullptr);  // one quarter
  Scheduler next(after, out, kRate);
  out.log.clear();
  next.takeOver(old, false);
  EXPECT_EQ(next.position(), 44100);
  EXPECT_EQ(out.log, Log{});
  next.advance(44101, nullptr, nullptr);
  EXPECT_EQ(out.log, (Log{"66150 90 41 64"})) << "the note on quarter 2 comes one second on";

  // Standing on the very frame of an event not yet sent: the event is not lost.
  test::RecordingOutput out2;
  Scheduler atEvent(after, out2, kRate);
  atEvent.seek(0);
  atEvent.advance(88200, nullptr, nullptr);
  Scheduler same(after, out2, kRate);
  same.takeOver(atEvent, false);
  EXPECT_EQ(same.position(), 88200);
  out2.log.clear();
  same.advance(1, nullptr, nullptr);
  EXPECT_EQ(out2.log, (Log{"88200 90 41 64"}));
}

// More events than one checkpoint holds: the state comes from the nearest.
TEST(Swap, TheStateAtTheTickIsFoundPastManyCheckpoints) {
  std::vector<test::RawEvent> events;
  const int n = static_cast<int>(Sequence::kCheckpointEvery) * 3 / 2 + 7;
  for (int i = 0; i < n; ++i) events.push_back({1, {0xB0, 1, static_cast<uint8_t>(i % 128)}});
  events.push_back({0, {0x90, 0x30, 1}});
  const Sequence s = indexed(test::makeSmf(kQuarter, {events}));
  ASSERT_EQ(s.checkpoints.size(), 2u);
  MusicState walked, indexedState;
  walked.clear();
  for (size_t i = 0; i < s.events.size(); ++i) s.step(i, walked);
  s.stateBefore(s.events.size(), indexedState);
  EXPECT_EQ(indexedState.setter, walked.setter);
  EXPECT_EQ(indexedState.held, walked.held);
  EXPECT_EQ(indexedState.setter[1], n - 1);
}

// The player: the driving thread takes the music, and the loop keeps its bars.
TEST(Swap, ThePlayerKeepsTheLoopOnItsBars) {
  if (test::testSoundFont().empty()) GTEST_SKIP() << "no SoundFont on this machine";
  PlayerConfig config;
  config.soundFont = test::testSoundFont();
  config.audioDriver = "silent";
  Player player(config);
  player.open(test::compileScore("t120 l4 c d e f g a b > c"), "a.mid");
  const int64_t length = player.lengthMs();
  player.setLoopMs(1000, 2000);  // quarters 2 and 3
  player.setStartPositionMs(1500);
  player.play();
  ASSERT_TRUE(player.swap(test::compileScore("t60 l4 c d e f g a b > c"), "b.mid"));
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (player.swapsTaken() == 0 && std::chrono::steady_clock::now() < until)
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  EXPECT_EQ(player.swapsTaken(), 1u);
  EXPECT_EQ(player.loopMs(), (std::pair<int64_t, int64_t>{2000, 4000}));
  EXPECT_NEAR(player.lengthMs(), 2 * length, 1);
  EXPECT_GE(player.positionMs(), 2000);
  EXPECT_LT(player.positionMs(), 4000);
  player.stop();
  Player closed(config);
  EXPECT_FALSE(closed.swap(test::compileScore("c"), "c.mid")) << "nothing open: nothing to swap";
}

}  // namespace
}  // namespace zan::player
