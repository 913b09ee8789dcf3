// SPDX-License-Identifier: MIT
// A Standard MIDI File turned into a score that compiles back to the same
// music: every note's channel, key, note-on and note-off tick and velocity,
// the tempo changes, programs and bank selects, controllers, pitch bends,
// system exclusive messages and the track, instrument and copyright texts.
// What the language cannot write is dropped and counted in one warning.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zan::midi_import {

struct Options {
  // Snap note starts and ends to this grid, in note values: 16 snaps to
  // sixteenths, 12 to eighth-note triplets; 0 leaves the times as they are.
  int quantize = 0;
  std::string sourceName;  // named in the score's first comment line
};

struct Result {
  std::string score;                  // UTF-8 text (plain ASCII but for texts from the file)
  std::vector<std::string> warnings;  // one line each, in English through zan::tr
  int32_t timebase = 0;               // the score's #timebase
  int64_t notes = 0;                  // notes written
  int64_t notesWithTicks = 0;         // of them, written with a % length somewhere
  int64_t quantizeMoved = 0;          // notes whose start or end the grid moved
  int64_t quantizeLargestMove = 0;    // ticks of the score's timebase
};

// The grid of a --quantize value as a note value: "1/16" sixteenths (16),
// "1/12" or "1/8t" eighth-note triplets (12), "1/16t" sixteenth-note
// triplets (24); 0 when `text` is not such a value.
int parseQuantize(const std::string& text);

// Imports `data`. Returns false with one line in `error` for a file that
// cannot be read (not a MIDI file, cut short, format 2, SMPTE time, more
// tracks than a score holds).
bool importSmf(const std::vector<uint8_t>& data, const Options& options, Result& out, std::string& error);

}  // namespace zan::midi_import
