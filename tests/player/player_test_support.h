// SPDX-License-Identifier: MIT
// Helpers of the player tests: scores compiled to files, a recording output,
// and a small WAV reader.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "midi_output.h"
#include "sequence.h"

namespace zan::player::test {

// Compiles `source` (MML, UTF-8) and returns the file's bytes; fails the
// test on a compile error.
std::vector<uint8_t> compileScore(const std::string& source);
// Writes `bytes` to a fresh file under the test's temporary directory and
// returns its path.
std::string writeTemp(const std::string& name, const std::vector<uint8_t>& bytes);
// compileScore + writeTemp.
std::string scoreFile(const std::string& name, const std::string& source);

// A format-1 file from hand-made tracks; each track's events are given as
// (delta, bytes) and end of track is added.
struct RawEvent {
  uint32_t delta;
  std::vector<uint8_t> bytes;
};
std::vector<uint8_t> makeSmf(int division, const std::vector<std::vector<RawEvent>>& tracks, int format = 1);

// The timed sequence of a file's bytes; fails the test if they are no file.
Sequence sequenceOf(const std::vector<uint8_t>& bytes);

// The small SoundFont the build machines have, else any found; "" if none.
std::string testSoundFont();

// Records what the scheduler sends, each entry stamped with the frame its
// render clock had reached: "22050 90 3C 64", "22050 all sound off",
// "0 reset".
class RecordingOutput : public MidiOutput {
 public:
  void send(const uint8_t* bytes, size_t size) override;
  void allSoundOff() override { log.push_back(std::to_string(now) + " all sound off"); }
  void reset() override { log.push_back(std::to_string(now) + " reset"); }
  void render(int frames, float*, float*) override { now += frames; }

  int64_t now = 0;                // frames rendered so far
  std::vector<std::string> log;
};

struct Wav {
  int channels = 0;
  int rate = 0;
  int bits = 0;
  std::vector<int16_t> samples;  // interleaved
  int64_t frames() const { return channels ? static_cast<int64_t>(samples.size()) / channels : 0; }
  // Root mean square and peak of frames [from, to), both channels, as a
  // fraction of full scale.
  double rms(int64_t from, int64_t to) const;
  double peak(int64_t from, int64_t to) const;
};
// Reads a PCM WAV file as renderWav writes it; fails the test if it is not one.
Wav readWav(const std::string& path);

}  // namespace zan::player::test
