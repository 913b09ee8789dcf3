// SPDX-License-Identifier: MIT
// Generated scores for the benchmarks: the same kinds of music at any size.
#pragma once

#include <string>

#include "zan/tsmf.h"

namespace zan::bench {

inline constexpr int kTracks = 8;

// One bar of a melody that uses the common note forms: lengths, dots,
// accidentals, octave moves, a tie, a velocity suffix, a rest.
inline constexpr const char* kBar = "o4 l8 c d e f+ g4. a16 b-16 > c4 < b a,90 g e^16 d c r";
inline constexpr int kNotesPerBar = 14;

inline std::string plainScore(int notes) {
  std::string s = "t120\n";
  for (int t = 0; t < kTracks; ++t) s += "_tr(" + std::to_string(t) + ") @" + std::to_string(t) + " v100\n";
  for (int n = 0, bar = 0; n < notes; n += kNotesPerBar, ++bar) {
    s += "_tr(" + std::to_string(bar % kTracks) + ") ";
    s += kBar;
    s += '\n';
  }
  return s;
}

// The plain melody's music on 8 tracks, each line of [4 [4 bar ] ] playing
// sixteen bars.
inline std::string loopTracksScore(int notes) {
  std::string s = "t120\n";
  const int linesPerTrack = notes / kNotesPerBar / 16 / kTracks + 1;
  for (int t = 0; t < kTracks; ++t) {
    s += "_tr(" + std::to_string(t) + ") @" + std::to_string(t) + " v100\n";
    for (int i = 0; i < linesPerTrack; ++i) s += std::string("[4 [4 ") + kBar + " ] ]\n";
  }
  return s;
}

// The same music again from user macros: FOUR is four bars, a line four FOURs.
inline std::string macroTracksScore(int notes) {
  std::string s = std::string("_m(BAR, \"") + kBar + "\")\n_m(FOUR, BAR BAR BAR BAR)\nt120\n";
  const int linesPerTrack = notes / kNotesPerBar / 16 / kTracks + 1;
  for (int t = 0; t < kTracks; ++t) {
    s += "_tr(" + std::to_string(t) + ") @" + std::to_string(t) + " v100\n";
    for (int i = 0; i < linesPerTrack; ++i) s += "FOUR FOUR FOUR FOUR\n";
  }
  return s;
}

// Each line plays 2 x (4 x 7 + 4 x 2) = 72 notes from a few bytes, so the
// time goes into jumping back and re-reading.
inline std::string loopScore(int notes) {
  std::string s = "t120 l16\n";
  for (int n = 0; n < notes; n += 72) s += "[2 [4 c d e f : g a b > c < ] [4 e g ] ]\n";
  return s;
}

// A macro defined once and called many times on single long lines of 5000
// calls each.
inline std::string macroLineScore(int notes) {
  std::string s = "_m(ARP, c16 e16 g16 > c16 <)\n";
  constexpr int kCallsPerLine = 5000;
  for (int n = 0; n < notes;) {
    for (int c = 0; c < kCallsPerLine && n < notes; ++c, n += 4) s += "ARP ";
    s += '\n';
  }
  return s;
}

// Library names, controller curves and choices, as a rich score uses them.
inline std::string libraryScore(int notes) {
  std::string s = "RESET_GM t132 BR(2)\n";
  s += "_m(RIFF, \"SEL(~1,c8 e8,d8 f8,e8 g8) IF(~1>2,>c8<,r8) ~1+1 IF(~1>3,~1=1)\")\n";
  s += "~1=1 V(100) P(64) REV(40)\n";
  // One block: curves over a bar, then 16 passes of RIFF (3 notes or 2 notes
  // and a rest each, about 45 notes in all).
  for (int n = 0; n < notes; n += 45) {
    s += "ACE(80,127,1,0,1,0) ACP(32,96,1,0,2,1) [16 RIFF ] DLY=6 CD_(4,c,e,g) DLY=0\n";
  }
  return s;
}

// At least `bytes` of score mixing every kind above, for the lexer.
inline std::string lexerScore(size_t bytes) {
  const std::string parts[] = {plainScore(2000), macroTracksScore(20000), libraryScore(2000), loopTracksScore(20000),
                               macroLineScore(400)};
  std::string s = "{ a score of every kind,\nfor the lexer }\n";
  while (s.size() < bytes)
    for (const std::string& p : parts) s += p;
  return s;
}

inline int notesIn(const std::string& score) {
  // Counted by compiling once: note-ons are what a listener hears.
  zan::TSmf smf;
  smf.sourceLines.setText(score);
  smf.CompileToBytes();
  int n = 0;
  for (const zan::Tivent& e : smf.events)
    for (const auto& entry : e.entries())
      if ((e.bytes(entry)[0] & 0xF0) == 0x90) ++n;
  return n;
}

}  // namespace zan::bench
