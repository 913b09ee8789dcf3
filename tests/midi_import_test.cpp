// SPDX-License-Identifier: MIT
// Importing MIDI files: the score compiles back to the same music, reads as
// a person would write it, and a bad file is refused with one line.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>

#include "test_support.h"
#include "zan/midi_import.h"
#include "zan/smf_format.h"

namespace zan::test {
namespace {

using Bytes = std::vector<uint8_t>;
struct Ev {
  uint32_t tick;
  Bytes bytes;
};

// A file of `tracks`, each event's bytes written as given (running status
// when the caller leaves the status out).
Bytes makeFile(int format, int division, const std::vector<std::vector<Ev>>& tracks) {
  Bytes out;
  smf::putId(out, smf::kHeaderId);
  smf::putBigEndian(out, 6, 4);
  smf::putBigEndian(out, static_cast<uint32_t>(format), 2);
  smf::putBigEndian(out, static_cast<uint32_t>(tracks.size()), 2);
  smf::putBigEndian(out, static_cast<uint32_t>(division), 2);
  for (const auto& events : tracks) {
    Bytes body;
    uint32_t last = 0;
    for (const Ev& e : events) {
      smf::putVarLen(body, e.tick - last);
      last = e.tick;
      body.insert(body.end(), e.bytes.begin(), e.bytes.end());
    }
    body.insert(body.end(), {0x00, 0xFF, 0x2F, 0x00});
    smf::putId(out, smf::kTrackId);
    smf::putBigEndian(out, static_cast<uint32_t>(body.size()), 4);
    out.insert(out.end(), body.begin(), body.end());
  }
  return out;
}

// Events sorted by time in track order, as written.
std::vector<Ev> sorted(std::vector<Ev> events) {
  std::stable_sort(events.begin(), events.end(), [](const Ev& a, const Ev& b) { return a.tick < b.tick; });
  return events;
}

// The music of a parsed file as comparable lines: each event with its
// tick (scaled by num/den), note-offs without velocity, the end of track
// and meta events the language does not write left out. Events of one
// tick compare as a set.
std::multiset<std::string> music(const smf::File& f, int num = 1, int den = 1) {
  std::multiset<std::string> out;
  for (const smf::Track& t : f.tracks)
    for (const smf::Event& e : t.events) {
      Bytes b = e.bytes;
      const std::string tick = std::to_string(static_cast<int64_t>(e.tick) * num / den) + ": ";
      if ((b[0] & 0xF0) == 0x90 && b[2] == 0) b[0] = static_cast<uint8_t>(0x80 | (b[0] & 0x0F));
      if ((b[0] & 0xF0) == 0x80) b.resize(2);
      if (b[0] == 0xFF && b[1] != 0x51 && b[1] != 0x03 && b[1] != 0x02 && b[1] != 0x04) continue;
      out.insert(tick + hex(b));
    }
  return out;
}

smf::File parseAny(const Bytes& data) {
  smf::File f;
  std::string error;
  EXPECT_TRUE(smf::parse(data, f, error, smf::Accept::AnyWellFormed)) << error;
  return f;
}

// Imports `file`, compiles the score and returns the compile; fails the
// test on an import or compile error.
midi_import::Result importAndCompile(const Bytes& file, Score& score, const midi_import::Options& options = {}) {
  midi_import::Result r;
  std::string error;
  EXPECT_TRUE(midi_import::importSmf(file, options, r, error)) << error;
  score.compile(r.score);
  EXPECT_TRUE(score.errors().empty()) << score.errors()[0] << "\n" << r.score;
  return r;
}

void expectRoundTrip(const Bytes& file, int num = 1, int den = 1) {
  Score score;
  const midi_import::Result r = importAndCompile(file, score);
  EXPECT_EQ(music(parseAny(file), num, den), music(score.parsed())) << r.score;
}

Bytes on(int ch, int key, int vel) { return {static_cast<uint8_t>(0x90 | ch), static_cast<uint8_t>(key), static_cast<uint8_t>(vel)}; }
Bytes off(int ch, int key) { return {static_cast<uint8_t>(0x80 | ch), static_cast<uint8_t>(key), 0x40}; }
Bytes cc(int ch, int n, int v) { return {static_cast<uint8_t>(0xB0 | ch), static_cast<uint8_t>(n), static_cast<uint8_t>(v)}; }
Bytes meta(int type, const std::string& text) {
  Bytes b{0xFF, static_cast<uint8_t>(type), static_cast<uint8_t>(text.size())};
  b.insert(b.end(), text.begin(), text.end());
  return b;
}
const Bytes kTempo120 = {0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20};
const Bytes kFourFour = {0xFF, 0x58, 0x04, 0x04, 0x02, 0x18, 0x08};

TEST(MidiImport, RoundTripsWhatTheLanguageWrites) {
  struct Case {
    const char* what;
    int format, division;
    std::vector<std::vector<Ev>> tracks;
  };
  const std::vector<Case> cases = {
      {"a melody in 4/4, notes ending on the next note's start and before it",
       1, 96,
       {{{0, kTempo120}, {0, kFourFour}},
        {{0, meta(3, "Lead (right hand)")}, {0, {0xC0, 5}}, {0, on(0, 60, 100)}, {96, off(0, 60)}, {96, on(0, 62, 90)},
         {179, off(0, 62)}, {192, on(0, 64, 80)}, {200, off(0, 64)}, {384, on(0, 72, 127)}, {385, off(0, 72)},
         {480, on(0, 24, 1)}, {1000, off(0, 24)}}}},
      {"chords of one length and of several, a note sounding over the next",
       1, 480,
       {{{0, on(1, 60, 100)}, {0, on(1, 64, 100)}, {0, on(1, 67, 100)}, {960, off(1, 60)}, {960, off(1, 64)},
         {960, off(1, 67)}, {960, on(1, 48, 70)}, {960, on(1, 55, 90)}, {1200, off(1, 55)}, {1100, on(1, 72, 60)},
         {1300, off(1, 72)}, {2880, off(1, 48)}}}},
      {"controllers, banks, programs and bends on the ticks of notes and between, texts and sysex",
       1, 96,
       {{{0, meta(2, "(c) nobody")}, {1, {0xFF, 0x51, 0x03, 0x09, 0x27, 0xC0}}, {2, {0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7}}},
        {{0, cc(2, 0, 1)}, {0, cc(2, 32, 2)}, {0, {0xC2, 48}}, {0, cc(2, 7, 100)}, {0, cc(2, 10, 0)}, {0, on(2, 50, 64)},
         {1, cc(2, 91, 40)}, {2, {0xE2, 0x00, 0x00}}, {50, {0xE2, 0x7F, 0x7F}}, {95, off(2, 50)}, {96, cc(2, 1, 127)},
         {96, on(2, 52, 64)}, {97, cc(2, 11, 3)}, {150, meta(4, "Strings")}, {300, off(2, 52)}, {301, {0xE2, 0x00, 0x40}}}}},
      {"drums, and two channels in one track",
       1, 120,
       {{{0, on(9, 36, 100)}, {0, on(9, 42, 80)}, {10, off(9, 36)}, {10, off(9, 42)}, {60, on(9, 42, 70)}, {61, off(9, 42)},
         {0, on(3, 40, 90)}, {240, off(3, 40)}}}},
      {"format 0: a track a channel", 0, 96,
       {{{0, kTempo120}, {0, on(0, 60, 100)}, {0, on(5, 67, 50)}, {48, off(5, 67)}, {96, off(0, 60)}, {96, on(5, 69, 50)},
         {144, off(5, 69)}}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::vector<Ev>> tracks;
    for (const auto& t : c.tracks) tracks.push_back(sorted(t));
    expectRoundTrip(makeFile(c.format, c.division, tracks));
  }
}

// Notes at random: overlapping, of any length and velocity, with
// controllers between; whatever the layout, the music comes back.
TEST(MidiImport, RoundTripsRandomMusic) {
  std::mt19937 random(28);
  for (int file = 0; file < 20; ++file) {
    SCOPED_TRACE(file);
    std::vector<Ev> events;
    const int channel = file % 16;
    for (int n = 0; n < 60; ++n) {
      const uint32_t start = random() % 4000;
      const uint32_t length = 1 + random() % (file % 2 ? 50 : 900);
      const int key = static_cast<int>(random() % 128);
      events.push_back({start, on(channel, key, 1 + static_cast<int>(random() % 127))});
      events.push_back({start + length, off(channel, key)});
      if (random() % 4 == 0) events.push_back({static_cast<uint32_t>(random() % 4000), cc(channel, 74, static_cast<int>(random() % 128))});
    }
    // A key struck again while it sounds pairs with the earliest note-off;
    // the comparison does not depend on which.
    expectRoundTrip(makeFile(1, 96 + file * 37, {sorted(events)}));
  }
}

TEST(MidiImport, DivisionOutsideTheTimebaseRange) {
  const std::vector<Ev> notes = {{0, on(0, 60, 100)}, {1920, off(0, 60)}, {1920, on(0, 62, 100)}, {3841, off(0, 62)}};
  {
    SCOPED_TRACE("1920 with every tick even: 960, exact");
    const Bytes f = makeFile(1, 1920, {{{0, on(0, 60, 100)}, {1920, off(0, 60)}, {2880, on(0, 62, 100)}, {3840, off(0, 62)}}});
    Score score;
    const midi_import::Result r = importAndCompile(f, score);
    EXPECT_EQ(r.timebase, 960);
    EXPECT_TRUE(r.warnings.empty());
    EXPECT_EQ(music(parseAny(f), 1, 2), music(score.parsed()));
  }
  {
    SCOPED_TRACE("1920 with an odd tick: 1536, rounded, the error reported");
    Score score;
    const midi_import::Result r = importAndCompile(makeFile(1, 1920, {notes}), score);
    EXPECT_EQ(r.timebase, 1536);
    ASSERT_EQ(r.warnings.size(), 1u);
    EXPECT_NE(r.warnings[0].find("(largest error 0.25 of the file's ticks)"), std::string::npos) << r.warnings[0];
  }
  {
    SCOPED_TRACE("4: 16, exact");
    const Bytes f = makeFile(1, 4, {{{0, on(0, 60, 100)}, {3, off(0, 60)}}});
    Score score;
    const midi_import::Result r = importAndCompile(f, score);
    EXPECT_EQ(r.timebase, 16);
    EXPECT_EQ(music(parseAny(f), 4, 1), music(score.parsed()));
  }
}

TEST(MidiImport, ReadsAsAPersonWouldWriteIt) {
  // Quarter notes and an eighth in 3/4, legato: one line a bar group, bar
  // lines, note values, octave signs, a chord.
  const Bytes f = makeFile(
      1, 96,
      {{{0, {0xFF, 0x58, 0x04, 0x03, 0x02, 0x18, 0x08}}},
       sorted({{0, meta(3, "Piano")}, {0, on(0, 60, 90)}, {96, off(0, 60)}, {96, on(0, 72, 90)}, {192, off(0, 72)},
               {192, on(0, 71, 90)}, {240, off(0, 71)}, {240, on(0, 69, 90)}, {288, off(0, 69)}, {288, on(0, 60, 90)},
               {288, on(0, 64, 90)}, {288, on(0, 67, 90)}, {576, off(0, 60)}, {576, off(0, 64)}, {576, off(0, 67)}})});
  midi_import::Result r;
  std::string error;
  ASSERT_TRUE(midi_import::importSmf(f, {}, r, error)) << error;
  EXPECT_NE(r.score.find("_tr(0) CH=1 ; Piano\n"), std::string::npos) << r.score;
  EXPECT_NE(r.score.find("q16 Q%1 l4 v90 _TITLE(Piano) >c >c <b8 a8 | c0e0g2. |\n"), std::string::npos) << r.score;
  EXPECT_EQ(r.notesWithTicks, 0);
  // The time signature names the score's metre, which the editor counts bars by.
  EXPECT_NE(r.score.find("\n{metre 3/4}\n#timebase 96\n"), std::string::npos) << r.score;
}

// A long silence is one repeat of whole bars, or one rest, never a rest a
// bar: a delta time of a few bytes may skip millions of bars.
TEST(MidiImport, LongSilencesAreOneRepeat) {
  const Bytes f = makeFile(1, 96, {{{0, kFourFour}, {0, on(0, 60, 100)}, {96, off(0, 60)}, {38400, on(0, 62, 100)},
                                    {38496, off(0, 62)}, {30000000, cc(0, 7, 1)}}});
  Score score;
  const midi_import::Result r = importAndCompile(f, score);
  EXPECT_NE(r.score.find(" r2. | [3 r1 | ]\nr%36864 | d"), std::string::npos) << r.score;
  EXPECT_NE(r.score.find("\nr%29960064 | r%1 y7,1\n"), std::string::npos) << r.score;
  EXPECT_LT(r.score.size(), 400u);
  EXPECT_EQ(music(parseAny(f)), music(score.parsed()));
}

TEST(MidiImport, DropsWhatTheLanguageCannotWriteWithOneCountingWarning) {
  const Bytes f = makeFile(1, 96,
                           {{{0, kFourFour}, {0, {0xFF, 0x59, 0x02, 0x00, 0x00}}, {0, {0xFF, 0x7F, 0x02, 0x00, 0x01}}},
                            {{0, on(0, 60, 100)}, {10, {0xA0, 60, 50}}, {20, {0xD0, 70}}, {30, {0xD0, 71}}, {96, off(0, 60)}, {97, off(0, 61)}}});
  midi_import::Result r;
  std::string error;
  ASSERT_TRUE(midi_import::importSmf(f, {}, r, error)) << error;
  ASSERT_EQ(r.warnings.size(), 1u);
  EXPECT_EQ(r.warnings[0],
            "dropped what a score cannot write: 1 key pressure messages, 2 channel pressure messages, 3 meta events other "
            "than tempo and texts, 1 note-offs without a note");
}

// A score holds 128 tracks and EX takes 128 values: beyond them the file
// is refused, or the message dropped and counted.
TEST(MidiImport, Limits) {
  std::vector<std::vector<Ev>> tracks(129, std::vector<Ev>{{0, on(0, 60, 100)}, {96, off(0, 60)}});
  midi_import::Result r;
  std::string error;
  EXPECT_FALSE(midi_import::importSmf(makeFile(1, 96, tracks), {}, r, error));
  EXPECT_EQ(error, "the file makes more than 128 tracks (one for each channel of each track)");
  tracks.pop_back();
  EXPECT_TRUE(midi_import::importSmf(makeFile(1, 96, tracks), {}, r, error)) << error;

  // 32 notes of one start and length are a chord; 33 a group.
  for (int count : {32, 33}) {
    std::vector<Ev> chord;
    for (int k = 0; k < count; ++k) chord.push_back({0, on(0, 60, 100)});
    for (int k = 0; k < count; ++k) chord.push_back({96, off(0, 60)});
    expectRoundTrip(makeFile(1, 96, {chord}));
  }

  for (size_t length : {127u, 128u}) {  // the data after F0, its F7 included
    Bytes sysex{0xF0};
    smf::putVarLen(sysex, static_cast<uint32_t>(length));
    sysex.resize(sysex.size() + length - 1, 0x01);
    sysex.push_back(0xF7);
    Score score;
    const midi_import::Result imported = importAndCompile(makeFile(1, 96, {{{0, sysex}}}), score);
    EXPECT_EQ(imported.warnings.empty(), length == 127) << length;
  }
}

TEST(MidiImport, BadFilesAreRefusedWithOneLine) {
  const Bytes good = makeFile(1, 96, {{{0, on(0, 60, 100)}, {96, off(0, 60)}}});
  auto cut = [&](size_t n) { return Bytes(good.begin(), good.begin() + static_cast<long>(n)); };
  Bytes longChunk = good;
  longChunk[21] = 0x40;  // the track's length past the end
  Bytes smpte = good;
  smpte[12] = 0xE7, smpte[13] = 0x28;  // 25 frames of 40
  Bytes format2 = makeFile(2, 96, {{{0, on(0, 60, 100)}, {96, off(0, 60)}}});
  Bytes badRunning = makeFile(1, 96, {{{0, {0x40, 0x40}}}});  // data bytes before any status
  // Seventeen of the longest delta times: the 32-bit tick wraps round to
  // a small one at the end of the track.
  std::vector<Ev> wrapping;
  for (uint32_t k = 1; k <= 17; ++k) wrapping.push_back({0x0FFFFFFFu * k, cc(0, 7, 1)});
  struct Case {
    const char* what;
    Bytes data;
    const char* error;  // empty: imported
  };
  const std::vector<Case> cases = {
      {"empty", {}, "the file is empty"},
      {"a text", Bytes{'c', 'd', 'e', '\n'}, "not a MIDI file (no MThd header)"},
      {"a cut header", cut(10), "not a readable MIDI file: no MThd header"},
      {"a cut track", cut(good.size() - 3), "not a readable MIDI file: track 0: chunk runs past the end of the file"},
      {"a length past the end", longChunk, "not a readable MIDI file: track 0: chunk runs past the end of the file"},
      {"SMPTE time", smpte, "MIDI files timed in SMPTE frames cannot be imported"},
      {"format 2", format2, "MIDI files of format 2 (independent patterns) cannot be imported"},
      {"running status with nothing to run", badRunning, "not a readable MIDI file: track 0: running status or bad status byte"},
      {"times past a score's 32-bit ticks", makeFile(1, 96, {{{0x7FFFFFFF, on(0, 60, 100)}}}),
       "the file's times run past the longest a score can hold"},
      {"times that wrap round", makeFile(1, 96, {wrapping}), "the file's times run past the longest a score can hold"},
      {"a data byte of 128 or more", makeFile(1, 96, {{{0, {0xC0, 0xA8}}}}),
       "not a readable MIDI file: track 0: running status or bad status byte"},
      {"running status", makeFile(1, 96, {{{0, on(0, 60, 100)}, {0, {64, 90}}, {48, {64, 0}}, {48, {60, 0}}}}), ""},
      {"an unknown meta event", makeFile(1, 96, {{{0, {0xFF, 0x60, 0x01, 0x00}}, {0, on(0, 60, 100)}, {96, off(0, 60)}}}), ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    midi_import::Result r;
    std::string error;
    const bool ok = midi_import::importSmf(c.data, {}, r, error);
    EXPECT_EQ(ok, std::string(c.error).empty());
    EXPECT_EQ(error, c.error);
    EXPECT_EQ(error.find('\n'), std::string::npos);
  }
  // Running status reads as the full messages.
  expectRoundTrip(makeFile(1, 96, {{{0, on(0, 60, 100)}, {0, {64, 90}}, {48, {64, 0}}, {48, {60, 0}}}}));
}

TEST(MidiImport, QuantizeSnapsStartsAndLengthsAndCountsTheMoves) {
  const Bytes f = makeFile(1, 96, {{{0, on(0, 60, 100)}, {25, off(0, 60)}, {26, on(0, 62, 100)}, {46, off(0, 62)},
                                    {50, on(0, 64, 100)}, {62, off(0, 64)}}});
  midi_import::Options options;
  options.quantize = 16;  // 24 ticks
  Score score;
  const midi_import::Result r = importAndCompile(f, score, options);
  EXPECT_EQ(r.quantizeMoved, 3);
  EXPECT_EQ(r.quantizeLargestMove, 10);  // the last note's end: 62 to 72
  EXPECT_EQ(notes(score, 0, true), "0:60 24:62 48:64");

  struct Grid {
    const char* text;
    int value;
  };
  for (const Grid& g : std::vector<Grid>{{"1/16", 16}, {"1/12", 12}, {"1/16t", 24}, {"1/8t", 12}, {"1/4", 4},
                                          {"1/3t", 0}, {"1/0", 0}, {"16", 0}, {"1/x", 0}, {"1/", 0}})
    EXPECT_EQ(midi_import::parseQuantize(g.text), g.value) << g.text;
  options.quantize = 7;  // 384 / 7 is not whole
  midi_import::Result r2;
  std::string error;
  EXPECT_FALSE(midi_import::importSmf(f, options, r2, error));
}

}  // namespace
}  // namespace zan::test
