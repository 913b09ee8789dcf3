// SPDX-License-Identifier: MIT
// Notes, rests, chords and /-groups: the events they append and how far they
// move the time pointer.
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <map>

#include "test_support.h"

namespace zan::test {
namespace {

using Lines = std::vector<std::string>;


// Compiles one line on the score's current state (no reset), so that state
// set directly on the compiler beforehand stays in effect.
void play(Score& s, const std::string& line) {
  s.smf.lineText = toCp932(line);
  s.smf.CompileLine();
}

// The velocities of the note-ons of track 0, in the order added.
std::vector<int> onVelocities(const Score& s) {
  std::vector<int> out;
  const Tivent& list = s.smf.events[0];
  for (const Tivent::Entry& e : list.entries())
    if ((list.bytes(e)[0] & 0xF0) == 0x90) out.push_back(list.bytes(e)[2]);
  return out;
}

// The shared generator, drawn the way a note draws its offsets.
struct Draws {
  uint32_t seed;
  int32_t next(int32_t range) {
    seed = seed * 134775813u + 1u;
    return static_cast<int32_t>((static_cast<uint64_t>(seed) * static_cast<uint32_t>(2 * range)) >> 32) - range;
  }
};

std::string event(int32_t time, int status, int a, int b) {
  const uint8_t bytes[] = {static_cast<uint8_t>(status), static_cast<uint8_t>(a), static_cast<uint8_t>(b)};
  return std::to_string(time) + ": " + hex(bytes, 3);
}

const char kNoteNumber[] = "5 ノートナンバー指定";

}  // namespace

TEST(NotesTest, EventsAndPointer) {
  struct Row {
    const char* text;
    Lines events;
    int32_t ptr;
    Lines errors = {};
  } rows[] = {
      {"c", {"0: 90 30 64", "83: 80 30 64"}, 96},
      {"c&", {"0: 90 30 64", "95: 80 30 64"}, 96},
      {"c4^4", {"0: 90 30 64", "167: 80 30 64"}, 192},
      {"c4 | ^4", {"0: 90 30 64", "167: 80 30 64"}, 192},
      {"c4 |^8 ^8", {"0: 90 30 64", "167: 80 30 64"}, 192},
      {"c4 & ^4", {"0: 90 30 64", "191: 80 30 64"}, 192},
      {"c4 |", {"0: 90 30 64", "83: 80 30 64"}, 96},
      {"o5c8", {"0: 90 3C 64", "41: 80 3C 64"}, 48},
      {"c%20", {"0: 90 30 64", "17: 80 30 64"}, 20},  // 17.5 sounds 18
      {"c%12", {"0: 90 30 64", "9: 80 30 64"}, 12},   // 10.5 sounds 10
      {"n60,8", {"0: 90 3C 64", "41: 80 3C 64"}, 48},
      {"o10b+", {"0: 90 7F 64", "83: 80 7F 64"}, 96},
      {"n128", {"0: 90 7F 64", "83: 80 7F 64"}, 96},
      {"o0c-", {}, 0, {kNoteNumber}},
      {"n", {}, 0, {kNoteNumber}},
      {"c%0", {}, 0, {"4 %"}},
      // The comma suffix: one-shot velocity and gate.
      {"c4,80", {"0: 90 30 50", "83: 80 30 50"}, 96},
      {"c4,,8", {"0: 90 30 64", "47: 80 30 64"}, 96},
      {"c4,+10,-2", {"0: 90 30 6E", "71: 80 30 6E"}, 96},
      {"c4,0", {"0: 90 30 64", "83: 80 30 64"}, 96},
      {"c4,+100", {"0: 90 30 7F", "83: 80 30 7F"}, 96},
      {"c4,-200", {}, 96},  // velocity 0: silent, nothing written
      {"c4,,-20", {"0: 90 30 64", "5: 80 30 64"}, 96},       // a relative gate stays at least 1
      {"c4,,300", {"0: 90 30 64", "1799: 80 30 64"}, 96},    // no upper limit
      {"c4,80 c4", {"0: 90 30 50", "83: 80 30 50", "96: 90 30 64", "179: 80 30 64"}, 192},
      {"c4,,8 c4", {"0: 90 30 64", "47: 80 30 64", "96: 90 30 64", "179: 80 30 64"}, 192},
      // Chords: zero-length notes wait for the next note with a length.
      {"c0e0g",
       {"0: 90 30 64", "83: 80 30 64", "0: 90 34 64", "83: 80 34 64", "0: 90 37 64", "83: 80 37 64"},
       96},
      {"c0 r4 e", {"96: 90 30 64", "179: 80 30 64", "96: 90 34 64", "179: 80 34 64"}, 192},
      {"c0 v80 e8", {"0: 90 30 50", "41: 80 30 50", "0: 90 34 50", "41: 80 34 50"}, 48},
      {"c768 e", {"0: 90 30 64", "83: 80 30 64", "0: 90 34 64", "83: 80 34 64"}, 96},
      {"c0,80", {}, 0, {"2 ,", "2 8", "2 0"}},  // a chord note takes no suffix
      // Rests.
      {"r", {}, 96},
      {"r8.", {}, 72},
      {"r4^8", {}, 144},
      {"r0", {}, 0, {"5 r"}},
      {"r%0", {}, 0, {"4 %"}},
      // Groups.
      {"/ceg/2",
       {"0: 90 30 64", "167: 80 30 64", "0: 90 34 64", "167: 80 34 64", "0: 90 37 64", "167: 80 37 64"},
       192},
      {"/c4eg/2",
       {"0: 90 30 64", "83: 80 30 64", "0: 90 34 64", "167: 80 34 64", "0: 90 37 64", "167: 80 37 64"},
       192},
      {"/ce/", {"0: 90 30 64", "83: 80 30 64", "0: 90 34 64", "83: 80 34 64"}, 96},
      {"/c<c/4", {"0: 90 30 64", "83: 80 30 64", "0: 90 24 64", "83: 80 24 64"}, 96},
      {"/c4^4e/4", {"0: 90 30 64", "167: 80 30 64", "0: 90 34 64", "83: 80 34 64"}, 96},
      {"/c,80e/4", {"0: 90 30 50", "83: 80 30 50", "0: 90 34 64", "83: 80 34 64"}, 96},
      {"/ceg/%0", {}, -1, {"4 %"}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.text);
    Score s;
    play(s, r.text);
    EXPECT_EQ(s.events(), r.events);
    EXPECT_EQ(s.smf.ptr[0], r.ptr);
    EXPECT_EQ(errs(s), r.errors);
  }
}

TEST(NotesTest, TransposeClampsAfterTheNoteValue) {
  struct Row {
    int32_t transpose;
    const char* text;
    int note;  // -1: refused
  } rows[] = {
      {5, "o10b", 127},   // pushed above 127: clamped, not dropped
      {2, "c", 50},
      {-1, "o0c", 0},
      {1, "o0c-", -1},    // -1 is refused before the transposition
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.text);
    Score s;
    s.smf.transpose[0] = r.transpose;
    play(s, r.text);
    if (r.note < 0) {
      EXPECT_EQ(errs(s), Lines{kNoteNumber});
      EXPECT_TRUE(s.events().empty());
    } else {
      ASSERT_EQ(s.events().size(), 2u);
      EXPECT_EQ(s.events()[0], event(0, 0x90, r.note, 100));
    }
  }
}

TEST(NotesTest, ChordDelayAndGateOffset) {
  struct Row {
    const char* text;
    int32_t chordDelay, gateOffset;
    Lines events;
    int32_t ptr;
  } rows[] = {
      {"c0e0g4", 10, 0,
       {"0: 90 30 64", "83: 80 30 64", "10: 90 34 64", "93: 80 34 64", "20: 90 37 64", "103: 80 37 64"}, 96},
      {"/ceg/2", 10, 0,
       {"0: 90 30 64", "167: 80 30 64", "10: 90 34 64", "177: 80 34 64", "20: 90 37 64", "187: 80 37 64"}, 192},
      {"c", 0, 12, {"0: 90 30 64", "95: 80 30 64"}, 96},
      {"c%20", 0, 1, {"0: 90 30 64", "17: 80 30 64"}, 20},          // round(17.5 + 1): the offset is added first
      {"r%100 c", 0, -100, {"100: 90 30 64", "101: 80 30 64"}, 196},  // never at or before the on
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.text);
    Score s;
    s.smf.track[0].chordDelay = r.chordDelay;
    s.smf.track[0].gateOffset = r.gateOffset;
    play(s, r.text);
    EXPECT_EQ(s.events(), r.events);
    EXPECT_EQ(s.smf.ptr[0], r.ptr);
  }
}

TEST(NotesTest, ChordHoldsThirtyTwoNotes) {
  std::string chord;
  for (int i = 0; i < 31; ++i) chord += "c0";
  Score s;
  play(s, chord + "d");
  EXPECT_EQ(s.events().size(), 64u);
  EXPECT_TRUE(errs(s).empty());

  Score over;
  play(over, chord + "c0d");  // the 32nd waiting note is refused
  EXPECT_EQ(over.events().size(), 64u);
  EXPECT_EQ(errs(over), Lines{"4 c"});
  EXPECT_EQ(over.smf.chordCount, 0);
}

TEST(NotesTest, GroupErrorsLeaveTheCursorAndLength) {
  Score s;
  s.smf.lineText = "/ce";
  s.smf.column = 1;
  s.smf.GroupCommand();
  EXPECT_EQ(errs(s), Lines{"5 /が同行上にみつかりません。"});
  EXPECT_TRUE(s.events().empty());
  EXPECT_EQ(s.smf.column, 2);

  Score empty;  // an empty group is an error too
  empty.smf.lineText = "//2";
  empty.smf.column = 1;
  empty.smf.GroupCommand();
  EXPECT_EQ(errs(empty), Lines{"4 /の中には音符か<>しか置けません。"});
  EXPECT_EQ(empty.smf.column, 2);
  EXPECT_EQ(empty.smf.track[0].length, 192);

  Score g;
  g.smf.track[0].chordDelay = 5;
  g.smf.lineText = "/c r/2";  // the note takes the space
  g.smf.column = 1;
  g.smf.GroupCommand();
  EXPECT_EQ(errs(g), Lines{"4 /の中には音符か<>しか置けません。"});
  EXPECT_EQ(g.events(), (Lines{"0: 90 30 64", "167: 80 30 64"}));
  EXPECT_EQ(g.smf.column, 4);                // on the offending r
  EXPECT_EQ(g.smf.track[0].length, 192);     // still the group length
  EXPECT_EQ(g.smf.ptr[0], 5);                // group start plus one chord delay
}

TEST(NotesTest, QueuedValuesApplyToOneNoteEach) {
  struct Row {
    Lines rv, rq, rn;
    const char* text;
    Lines events;
  } rows[] = {
      {{"80"}, {}, {}, "c", {"100: 90 30 50", "183: 80 30 50"}},
      {{"+10"}, {}, {}, "c", {"100: 90 30 6E", "183: 80 30 6E"}},
      {{"-10"}, {}, {}, "c", {"100: 90 30 5A", "183: 80 30 5A"}},
      {{"+100"}, {}, {}, "c", {"100: 90 30 7F", "183: 80 30 7F"}},
      {{"x"}, {}, {}, "c", {"100: 90 30 64", "183: 80 30 64"}},   // unreadable: used up, no effect
      {{"~1"}, {}, {}, "c", {"100: 90 30 07", "183: 80 30 07"}},
      {{"-~1"}, {}, {}, "c", {"100: 90 30 6B", "183: 80 30 6B"}},  // relative, but the sign has no effect
      {{"+10"}, {}, {}, "c,+5", {"100: 90 30 73", "183: 80 30 73"}},
      {{"80", "90"}, {}, {}, "c c c",
       {"100: 90 30 50", "183: 80 30 50", "196: 90 30 5A", "279: 80 30 5A", "292: 90 30 64", "375: 80 30 64"}},
      {{"80"}, {}, {}, "c0 e", {"100: 90 30 50", "183: 80 30 50", "100: 90 34 50", "183: 80 34 50"}},
      {{}, {"8"}, {}, "c", {"100: 90 30 64", "147: 80 30 64"}},
      {{}, {"+2"}, {}, "c", {"100: 90 30 64", "195: 80 30 64"}},
      {{}, {"-4"}, {}, "c", {"100: 90 30 64", "159: 80 30 64"}},
      {{}, {"0"}, {}, "c", {"100: 90 30 64", "101: 80 30 64"}},  // a zero gate still ends after the on
      {{}, {"8"}, {}, "c&", {"100: 90 30 64", "195: 80 30 64"}},
      {{}, {}, {"5"}, "c", {"105: 90 30 64", "188: 80 30 64"}},
      {{}, {}, {"-3"}, "c", {"97: 90 30 64", "180: 80 30 64"}},
      {{}, {}, {"x"}, "c", {"100: 90 30 64", "183: 80 30 64"}},
      {{}, {}, {"5"}, "c0 e", {"105: 90 30 64", "188: 80 30 64", "105: 90 34 64", "188: 80 34 64"}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.text);
    Score s;
    s.smf.vars[1] = 7;
    s.smf.ptr[0] = 100;
    Ftr_info& tr = s.smf.track[0];
    tr.rvList.assign(r.rv.begin(), r.rv.end());
    tr.rqList.assign(r.rq.begin(), r.rq.end());
    tr.rnList.assign(r.rn.begin(), r.rn.end());
    play(s, r.text);
    EXPECT_EQ(s.events(), r.events);
    EXPECT_TRUE(tr.rvList.empty() && tr.rqList.empty() && tr.rnList.empty());
    EXPECT_EQ(tr.velocity, 100);
    EXPECT_EQ(tr.gate, 14);
  }
}

TEST(NotesTest, BadSuffixDropsTheNoteButKeepsQueuedValues) {
  for (const char* text : {"c4,+~1", "c4,80,+~1", "n60,4,+~1"}) {
    SCOPED_TRACE(text);
    Score s;
    s.smf.vars[1] = -1;  // reads as a missing number after the sign
    s.smf.track[0].rvList = {"70"};
    s.smf.track[0].rqList = {"+2"};
    play(s, text);
    EXPECT_EQ(errs(s), Lines{std::string("4 ") + text[0]});
    EXPECT_TRUE(s.events().empty());
    EXPECT_EQ(s.smf.ptr[0], 0);
    EXPECT_EQ(s.smf.track[0].velocity, 70);
    EXPECT_EQ(s.smf.track[0].gate, 16);
    EXPECT_TRUE(s.smf.track[0].rvList.empty());
  }
}

TEST(NotesTest, AccentAndVelocityStep) {
  struct Row {
    const char* source;
    std::vector<int> velocities;
  } rows[] = {
      {"!80 c c", {80, 100}},     // one note only
      {"!+10 c", {110}},
      {"!-10 c", {90}},
      {"!+50 c", {127}},
      {"! c", {127}},             // one and a half times the velocity, clamped
      {"!=0 c", {}},          // velocity 0: silent
      {"!80 c0 e", {80, 80}},     // the chord note does not use it up
      {"!+10 c,50", {60}},
      {"!80\nc", {100}},          // an accent does not reach the next line
      {"v60,4 c c c", {64, 68, 72}},
      {"v60,4 c,80 c", {80, 64}},
      {"v60,4 c0 e c", {64, 64, 68}},
      {"v120,5 c c c", {125, 127, 127}},
      {"v120,5,1 c c c c", {125, 127, 122, 117}},  // the step turns at the top
      {"v10,-4,1 c c c c", {6, 2, 4}},            // and at the bottom (the 0 is silent)
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.source);
    Score s;
    s.compile(r.source);
    EXPECT_EQ(onVelocities(s), r.velocities);
    EXPECT_TRUE(s.errors().empty());
  }
}

TEST(NotesTest, GhostModeMovesThePointerOnly) {
  Score s;
  s.smf.ghostMode = true;
  play(s, "c4 d8 c0e0g r4 /ce/2");
  EXPECT_TRUE(s.events().empty());
  EXPECT_EQ(s.smf.ptr[0], 96 + 48 + 96 + 96 + 192);
}

// Every sounding note draws velocity, then timing, then one bend per chord
// note (none in ghost mode), even when the ranges are 0.
TEST(NotesTest, RandomDrawCount) {
  struct Row {
    const char* text;
    bool ghost;
    int draws;
  } rows[] = {
      {"c", false, 3}, {"c0e0g", false, 5}, {"c0e0g", true, 2}, {"c0", false, 0},
      {"r", false, 0}, {"c,+~1", false, 0}, {"/ce/4", false, 6}, {"/ce/4", true, 4},
      {"v0 c", false, 3}, {"v0 c0e0g", false, 5},  // silent notes draw as sounding ones
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.text);
    Score s;
    s.smf.vars[1] = -1;
    s.smf.ghostMode = r.ghost;
    s.smf.randSeed = 777;
    Draws d{777};
    for (int i = 0; i < r.draws; ++i) d.next(0);
    play(s, r.text);
    EXPECT_EQ(s.smf.randSeed, d.seed);
  }
}

TEST(NotesTest, RandomOffsetsFollowTheDrawOrder) {
  struct Row {
    uint32_t seed;
    int32_t rv, rt, rb, bend;
  } rows[] = {
      {1, 20, 6, 5, 64}, {12345, 50, 0, 3, 64}, {0xDEADBEEF, 0, 9, 40, 120}, {42, 100, 3, 40, 10},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.seed);
    Score s;
    s.smf.randSeed = r.seed;
    s.smf.rndVelocity[0] = r.rv;
    s.smf.rndTiming[0] = r.rt;
    s.smf.rndBend[0] = r.rb;
    s.smf.track[0].bend = r.bend;
    s.smf.ptr[0] = 100;
    play(s, "c0e8 g");

    Draws d{r.seed};
    Lines expected;
    int32_t ptr = 100;
    for (const std::vector<int>& chord : {std::vector<int>{48, 52}, std::vector<int>{55}}) {
      const int32_t length = chord.size() == 2 ? 48 : 96;
      const int velocity = std::clamp(100 + d.next(r.rv), 0, 127);
      const int32_t start = ptr + d.next(r.rt);
      for (int note : chord) {
        const int32_t b = d.next(r.rb);
        if (b != 0) {
          const int w = std::clamp(b + r.bend, 0, 128) * 127;
          expected.push_back(event(start - 2, 0xE0, w % 128, w / 128));
        }
        expected.push_back(event(start, 0x90, note, velocity));
        expected.push_back(event(start + length * 14 / 16 - 1, 0x80, note, velocity));
      }
      ptr += length;
    }
    EXPECT_EQ(s.events(), expected);
    EXPECT_EQ(s.smf.ptr[0], ptr);
  }
}

// Pairs each note-off (or note-on of velocity 0) with the oldest waiting
// note-on of its channel and key, as players do. Returns what is wrong: an off
// with no earlier on, or a note still sounding at the end of its track.
static std::vector<std::string> unpairedNotes(const smf::File& file) {
  std::vector<std::string> faults;
  for (size_t t = 0; t < file.tracks.size(); ++t) {
    std::map<int, std::deque<uint32_t>> waiting;  // channel << 8 | key -> on ticks
    for (const smf::Event& e : file.tracks[t].events) {
      if (e.bytes.size() != 3 || (e.bytes[0] & 0xE0) != 0x80) continue;
      const int id = (e.bytes[0] & 0x0F) << 8 | e.bytes[1];
      const bool on = (e.bytes[0] & 0xF0) == 0x90 && e.bytes[2] > 0;
      if (on) {
        waiting[id].push_back(e.tick);
      } else if (waiting[id].empty() || waiting[id].front() >= e.tick) {
        faults.push_back("track " + std::to_string(t) + ": off at " + std::to_string(e.tick) + " has no earlier on");
      } else {
        waiting[id].pop_front();
      }
    }
    for (const auto& [id, ticks] : waiting)
      for (uint32_t tick : ticks)
        faults.push_back("track " + std::to_string(t) + ": on at " + std::to_string(tick) + " never ends");
  }
  return faults;
}

TEST(NotesTest, NoNoteIsLeftSounding) {
  const char* scores[] = {
      "l32 q1 cdef",             // 3 ticks at 1/16 gate: 0 sounding
      "l64 q1 c d e",            // 1.5 ticks
      "c%1 d%1 c%2 e%1",         // a one-tick note, and two ticks
      "RQ(-20) c4 RQ(-20) d8 e",  // a queued gate below zero
      "Q-50 l16 c d Q-24 e",     // a negative offset larger than the sounding part, and equal to it
      "c0e0g%1 q1 c0e0g32",      // chords of very short notes
  };
  for (const char* text : scores) {
    SCOPED_TRACE(text);
    Score s;
    s.compile(text);
    EXPECT_TRUE(s.errors().empty());
    EXPECT_EQ(unpairedNotes(s.parsed()), std::vector<std::string>{});
  }
}

// The notes of a file as a player hears them: each note-on paired with the
// next note-off (or note-on of velocity 0) of its channel and key, listed as
// "on-off key" in the order of the ons; an off with nothing to end shows as
// "?-off key", a note never ended as "on-? key".
static std::string heardNotes(const smf::File& file) {
  std::string out;
  auto add = [&out](const std::string& on, const std::string& off, int key) {
    out += (out.empty() ? "" : ", ") + on + "-" + off + " " + std::to_string(key);
  };
  for (const smf::Track& track : file.tracks) {
    std::vector<std::pair<uint32_t, int>> started;  // tick and key of each on, in order
    std::vector<std::string> ends;                  // the off of each, "?" while open
    std::map<int, std::deque<size_t>> open;         // channel << 8 | key -> indexes into started
    for (const smf::Event& e : track.events) {
      if (e.bytes.size() != 3 || (e.bytes[0] & 0xE0) != 0x80) continue;
      const int id = (e.bytes[0] & 0x0F) << 8 | e.bytes[1];
      if ((e.bytes[0] & 0xF0) == 0x90 && e.bytes[2] > 0) {
        open[id].push_back(started.size());
        started.emplace_back(e.tick, e.bytes[1]);
        ends.emplace_back("?");
      } else if (open[id].empty()) {
        started.emplace_back(UINT32_MAX, e.bytes[1]);
        ends.push_back(std::to_string(e.tick));
      } else {
        ends[open[id].front()] = std::to_string(e.tick);
        open[id].pop_front();
      }
    }
    for (size_t i = 0; i < started.size(); ++i)
      add(started[i].first == UINT32_MAX ? "?" : std::to_string(started[i].first), ends[i], started[i].second);
  }
  return out;
}

// A note whose velocity comes out as 0 is silent: it writes nothing, since a
// note-on of velocity 0 would end a note of the same key already sounding. A
// note placed before tick 0 starts at 0 and still sounds for one tick at
// least. Time and the random generator move on as for any other note.
TEST(NotesTest, SilentAndClampedNotes) {
  struct Row {
    const char* score;
    std::string heard;  // as heardNotes lists them; 48 is c, 50 d, 52 e, 55 g
    int32_t ptr;
    uint32_t seed = 1;
  } rows[] = {
      // Silent notes.
      {"v0 c v100 d", "96-179 50", 192},
      {"v10 c,-90 d", "96-179 50", 192},
      {"RV(0) c d", "96-179 50", 192},
      {"v10,-4,1 c c c c", "0-83 48, 96-179 48, 288-371 48", 384},     // 6, 2, 0, 4
      {"v2 RNDV=8 c c c c c c", "384-467 48, 480-563 48", 576},        // the draws go on
      {"DLY=24 /c2c,-100/4", "0-167 48", 96},                          // c keeps sounding
      // Notes before tick 0.
      {"PTR=-96 c d", "0-1 48, 0-83 50", 96},
      {"RN(-90) c d", "0-1 48, 96-179 50", 192},
      {"DLY=-50 c0e0g4", "0-1 55, 0-33 52, 0-83 48", 96},
      {"TRIM(c8 d8) e", "0-1 48, 0-1 50, 0-83 52", 96},
      {"RNDN=40 l64 c d e", "0-1 52, 0-3 48, 34-38 50", 18, 9},         // on at -24, -1 and 34
      {"PTR=-1 l64 q1 c", "0-1 48", 5},                               // the off at 0, after an on at -1
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.score);
    Score s;
    s.compile(r.score, r.seed);
    EXPECT_TRUE(s.errors().empty());
    EXPECT_EQ(heardNotes(s.parsed()), r.heard);
    EXPECT_EQ(unpairedNotes(s.parsed()), std::vector<std::string>{});
    const std::vector<int> velocities = onVelocities(s);
    EXPECT_EQ(std::count(velocities.begin(), velocities.end(), 0), 0);
    EXPECT_EQ(s.smf.ptr[0], r.ptr);
  }
}

}  // namespace zan::test
