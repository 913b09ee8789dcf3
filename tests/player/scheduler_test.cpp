// SPDX-License-Identifier: MIT
// The scheduler in virtual time against a recording output: events on their
// frames whatever the buffer size, the end of the music, silencing and the
// state sent again by a seek.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <sstream>

#include "player_test_support.h"
#include "scheduler.h"
#include "sequence.h"

namespace zan::player {
namespace {

constexpr double kRate = 44100.0;  // frames per second; 500 ms is 22050 frames
constexpr int kQuarter = 480;      // division of the files below; a quarter lasts 500 ms

using Log = std::vector<std::string>;

// Track 0: program 5 and volume 100 at 0, pan at 500 ms, bend at 500 ms,
// program 7 at 1500 ms. Track 1: note 3C from 0 to 1000 ms, note 3E from
// 500 to 1000 ms (its end a note-on of velocity 0), note 40 from 1500 to
// 2000 ms.
std::vector<uint8_t> stateAndNotes() {
  return test::makeSmf(kQuarter, {
      {{0, {0xC0, 5}}, {0, {0xB0, 7, 100}}, {kQuarter, {0xB0, 10, 32}}, {0, {0xE0, 0, 0x50}},
       {2 * kQuarter, {0xC0, 7}}},
      {{0, {0x90, 0x3C, 100}}, {kQuarter, {0x90, 0x3E, 100}}, {kQuarter, {0x80, 0x3C, 0}}, {0, {0x90, 0x3E, 0}},
       {kQuarter, {0x90, 0x40, 90}}, {kQuarter, {0x80, 0x40, 0}}},
  });
}

TEST(Scheduler, EventsArriveOnTheirFrameWhateverTheBufferSize) {
  const Sequence s = test::sequenceOf(stateAndNotes());
  const Log expected = {
      "0 C0 05",         "0 B0 07 64",      "0 90 3C 64",      "22050 B0 0A 20",  "22050 E0 00 50",
      "22050 90 3E 64",  "44100 80 3C 00",  "44100 90 3E 00",  "66150 C0 07",     "66150 90 40 5A",
      "88200 80 40 00",
  };
  for (int buffer : {1, 63, 64, 1000, 22050, 4096, 100000}) {
    test::RecordingOutput out;
    Scheduler scheduler(s, out, kRate);
    while (!scheduler.atEnd()) scheduler.advance(buffer, nullptr, nullptr);
    EXPECT_EQ(out.log, expected) << "buffer of " << buffer;
    EXPECT_EQ(scheduler.position(), 88200) << "buffer of " << buffer;
  }
}

TEST(Scheduler, TimeStopsAtTheEndWhileTheBufferIsStillRendered) {
  const Sequence s = test::sequenceOf(stateAndNotes());
  test::RecordingOutput out;
  Scheduler scheduler(s, out, kRate);
  EXPECT_EQ(scheduler.length(), 88200);
  scheduler.advance(88000, nullptr, nullptr);
  EXPECT_FALSE(scheduler.atEnd());
  scheduler.advance(1000, nullptr, nullptr);
  EXPECT_TRUE(scheduler.atEnd());
  EXPECT_EQ(scheduler.position(), 88200);
  EXPECT_EQ(out.now, 89000) << "every frame asked for is rendered";
  EXPECT_EQ(out.log.back(), "88200 80 40 00");
}

TEST(Scheduler, SilenceEndsTheNotesSoundingAndNoOthers) {
  const Sequence s = test::sequenceOf(stateAndNotes());
  test::RecordingOutput out;
  Scheduler scheduler(s, out, kRate);
  scheduler.advance(30000, nullptr, nullptr);  // 3C and 3E sound
  out.log.clear();
  scheduler.silence();
  EXPECT_EQ(out.log, (Log{"30000 80 3C 00", "30000 80 3E 00", "30000 all sound off"}));
  out.log.clear();
  scheduler.silence();
  EXPECT_EQ(out.log, (Log{"30000 all sound off"})) << "nothing is left sounding";

  // After the velocity-0 end of 3E and the end of 3C, and during 40.
  Scheduler later(s, out, kRate);
  later.advance(70000, nullptr, nullptr);
  out.log.clear();
  later.silence();
  EXPECT_EQ(out.log, (Log{std::to_string(out.now) + " 80 40 00", std::to_string(out.now) + " all sound off"}));
}

TEST(Scheduler, SeekSendsTheStateBeforeItButNoNotes) {
  const Sequence s = test::sequenceOf(stateAndNotes());
  struct Row {
    int64_t playedFirst;  // frames played before the seek
    int64_t seekTo;       // frame
    Log expected;         // what the seek sends, in order
  } rows[] = {
      // From the start into the middle of 3C and 3E: state of 0 and 500 ms.
      {0, 33075, {"0 all sound off", "0 reset", "0 C0 05", "0 B0 07 64", "0 B0 0A 20", "0 E0 00 50"}},
      // While 3C and 3E sound: they end first.
      {30000, 33075,
       {"30000 80 3C 00", "30000 80 3E 00", "30000 all sound off", "30000 reset", "30000 C0 05", "30000 B0 07 64",
        "30000 B0 0A 20", "30000 E0 00 50"}},
      // Back from the end: the reset undoes what came later.
      {88200, 11025, {"88200 all sound off", "88200 reset", "88200 C0 05", "88200 B0 07 64"}},
      // Onto an event's own frame: it is played, not sent by the seek.
      {0, 22050, {"0 all sound off", "0 reset", "0 C0 05", "0 B0 07 64"}},
      // Past the end: both programs, in file order.
      {0, 1000000,
       {"0 all sound off", "0 reset", "0 C0 05", "0 B0 07 64", "0 B0 0A 20", "0 E0 00 50", "0 C0 07"}},
  };
  for (const Row& r : rows) {
    test::RecordingOutput out;
    Scheduler scheduler(s, out, kRate);
    if (r.playedFirst) scheduler.advance(static_cast<int>(r.playedFirst), nullptr, nullptr);
    out.log.clear();
    scheduler.seek(r.seekTo);
    EXPECT_EQ(out.log, r.expected) << "seek to " << r.seekTo << " after " << r.playedFirst;
    EXPECT_EQ(scheduler.position(), std::min<int64_t>(r.seekTo, scheduler.length()));
  }
}

TEST(Scheduler, PlayingOnAfterASeekStartsWithTheNextEvent) {
  const Sequence s = test::sequenceOf(stateAndNotes());
  test::RecordingOutput out;
  Scheduler scheduler(s, out, kRate);
  scheduler.seek(50000);
  out.log.clear();
  out.now = 50000;
  scheduler.advance(20000, nullptr, nullptr);
  EXPECT_EQ(out.log, (Log{"66150 C0 07", "66150 90 40 5A"})) << "the notes that started before 50000 stay silent";
}

TEST(Scheduler, SeekBeforeTheStartStandsAtZero) {
  const Sequence s = test::sequenceOf(stateAndNotes());
  test::RecordingOutput out;
  Scheduler scheduler(s, out, kRate);
  scheduler.advance(30000, nullptr, nullptr);
  scheduler.seek(-5);
  EXPECT_EQ(scheduler.position(), 0);
  out.log.clear();
  scheduler.advance(1, nullptr, nullptr);
  EXPECT_EQ(out.log, (Log{"30000 C0 05", "30000 B0 07 64", "30000 90 3C 64"})) << "the first events are played again";
}

TEST(Scheduler, MillisecondsAndFramesConvertBothWays) {
  const Sequence s = test::sequenceOf(stateAndNotes());
  test::RecordingOutput out;
  Scheduler scheduler(s, out, kRate);
  EXPECT_EQ(scheduler.framesFromMs(500), 22050);
  EXPECT_EQ(scheduler.msFromFrames(22050), 500);
  EXPECT_EQ(scheduler.msFromFrames(22049), 499);
  EXPECT_EQ(scheduler.msFromFrames(scheduler.length()), 2000);
}

TEST(Scheduler, AMutedTrackSendsNoNoteOnsButItsControllersGoOut) {
  const Sequence s = test::sequenceOf(stateAndNotes());
  test::RecordingOutput out;
  Scheduler scheduler(s, out, kRate);
  scheduler.advance(30000, nullptr, nullptr);  // 3C and 3E sound (track 1)
  out.log.clear();
  TrackMask muted{};
  muted[0] = 0b10;
  scheduler.setMutedTracks(muted);
  EXPECT_EQ(out.log, (Log{"30000 80 3C 00", "30000 80 3E 00"})) << "its notes end at once";
  out.log.clear();
  while (!scheduler.atEnd()) scheduler.advance(4096, nullptr, nullptr);
  EXPECT_EQ(out.log, (Log{"66150 C0 07"})) << "track 0's program still goes out; no note of track 1 does";

  // Track 0 muted instead: its controllers go out all the same.
  test::RecordingOutput out0;
  Scheduler other(s, out0, kRate);
  muted[0] = 0b01;
  other.setMutedTracks(muted);
  while (!other.atEnd()) other.advance(4096, nullptr, nullptr);
  EXPECT_EQ(out0.log.size(), 11u);
}

// Pairs the note-ons and offs of a log, by key; the keys still sounding.
std::vector<std::string> hanging(const Log& log) {
  std::map<std::string, int> sounding;
  for (const std::string& line : log) {
    std::istringstream in(line);
    std::string frame, status, key, velocity;
    in >> frame >> status >> key >> velocity;
    if (status == "90" && velocity != "00") ++sounding[key];
    if ((status == "80" || (status == "90" && velocity == "00")) && sounding[key] > 0) --sounding[key];
  }
  std::vector<std::string> out;
  for (const auto& [key, n] : sounding)
    if (n > 0) out.push_back(key);
  return out;
}

TEST(Scheduler, ALoopTurnsAtItsEndWithNoNoteLeftSounding) {
  const Sequence s = test::sequenceOf(stateAndNotes());
  Log expected;
  for (int pass = 0; pass < 3; ++pass) {
    const auto at = [&](int64_t frame, const char* what) { return std::to_string(pass * 22050 + frame) + " " + what; };
    // Pan, bend and 3E at 500 ms; at the turn 3E ends and the pan and the
    // bend, set nowhere before the loop, go back to where they start.
    for (const Log& part : {Log{at(11025, "B0 0A 20"), at(11025, "E0 00 50"), at(11025, "90 3E 64")},
                            Log{at(22050, "80 3E 00"), at(22050, "B0 0A 40"), at(22050, "E0 00 40")}})
      expected.insert(expected.end(), part.begin(), part.end());
  }
  for (int buffer : {64, 4096, 30000}) {
    test::RecordingOutput out;
    Scheduler scheduler(s, out, kRate);
    scheduler.seek(11025);            // 250 ms: 3C is not played again
    scheduler.setLoop(11025, 33075);  // to 750 ms
    out.log.clear();
    out.now = 0;
    for (int64_t done = 0; done < 3 * 22050; done += buffer)
      scheduler.advance(static_cast<int>(std::min<int64_t>(buffer, 3 * 22050 - done)), nullptr, nullptr);
    EXPECT_EQ(out.log, expected) << "buffer of " << buffer;
    EXPECT_TRUE(hanging(out.log).empty());
    EXPECT_FALSE(scheduler.atEnd());
  }
}

TEST(Scheduler, TheTurnSetsBackWhatTheLoopChanged) {
  const Sequence s = test::sequenceOf(stateAndNotes());
  test::RecordingOutput out;
  Scheduler scheduler(s, out, kRate);
  scheduler.setLoop(44100, 88200);  // 1000..2000 ms: program 7 at 1500 ms
  scheduler.advance(88200, nullptr, nullptr);
  EXPECT_EQ(out.log.back(), "88200 C0 05") << "program 5, the one before the loop";
  scheduler.setLoop(0, 0);
  EXPECT_EQ(scheduler.position(), 44100);
  while (!scheduler.atEnd()) scheduler.advance(4096, nullptr, nullptr);
}

TEST(Scheduler, StartingAfterATempoAndProgramChangeSendsTheStateThenAndKeepsTheTempo) {
  // Two seconds at 120 (384 ticks), then the tempo halves and the program
  // and the volume change, just before g.
  const Sequence s = test::sequenceOf(test::compileScore("t120 @5 y7,90 l4 c d e f\nt60 @7 y7,70 g a\n"));
  test::RecordingOutput out;
  Scheduler scheduler(s, out, kRate);
  const int64_t g = std::llround(static_cast<double>(s.usAtTick(384)) * kRate / 1e6);
  EXPECT_EQ(s.usAtTick(384), 2015625) << "381 ticks at 120, then three at 60";
  scheduler.seek(g);
  auto last = [&](const std::string& prefix) {
    for (auto it = out.log.rbegin(); it != out.log.rend(); ++it)
      if (it->rfind(prefix, 0) == 0) return *it;
    return std::string();
  };
  EXPECT_EQ(last("0 C0"), "0 C0 07") << "the program of the caret's line";
  EXPECT_EQ(last("0 B0 07"), "0 B0 07 46");
  out.log.clear();
  scheduler.advance(static_cast<int>(kRate * 1.5), nullptr, nullptr);
  ASSERT_GE(out.log.size(), 3u);
  EXPECT_EQ(out.log.front(), "0 90 37 64") << "g at once";
  EXPECT_EQ(out.log.back(), "44100 90 39 64") << "a a second later: a quarter at 60";
}

}  // namespace
}  // namespace zan::player
