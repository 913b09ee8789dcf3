// SPDX-License-Identifier: MIT
// Where the scheduler's events go: the built-in synthesizer, an ALSA
// sequencer port, or a recording fake in the tests.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zan::player {

inline constexpr int kChannels = 16;

class MidiOutput {
 public:
  virtual ~MidiOutput() = default;
  // A channel message (status and data bytes) or a system exclusive message
  // (F0 ... F7), taking effect now.
  virtual void send(const uint8_t* bytes, size_t size) = 0;
  // Every channel: all sound off and all notes off, at once.
  virtual void allSoundOff() = 0;
  // Every channel back to its power-on state (program 0, controllers and
  // pitch bend at their defaults), silent.
  virtual void reset() = 0;
  // Lets `frames` frames of time pass. An output that makes sound writes it
  // to left[0..frames) and right[0..frames), or discards it when they are
  // null; others only keep time, or not even that.
  virtual void render(int frames, float* left, float* right) = 0;
};

}  // namespace zan::player
