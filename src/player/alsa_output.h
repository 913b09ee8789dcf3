// SPDX-License-Identifier: MIT
// An ALSA sequencer port as output: events go out directly as they are sent,
// so the caller sends them in real time.
#pragma once

#include <string>

#include "midi_output.h"

namespace zan::player {

class AlsaOutput : public MidiOutput {
 public:
  // Opens a sequencer client and connects it to `port` ("client:port").
  // Throws PlayerError when there is no sequencer or the port cannot be
  // reached.
  explicit AlsaOutput(const std::string& port);
  ~AlsaOutput() override;
  AlsaOutput(const AlsaOutput&) = delete;
  AlsaOutput& operator=(const AlsaOutput&) = delete;

  void send(const uint8_t* bytes, size_t size) override;
  void allSoundOff() override;
  void reset() override;
  void render(int, float*, float*) override {}

 private:
  struct Impl;
  Impl* impl_ = nullptr;
};

// Keeps ALSA's library from printing its errors (a missing sound card, when
// FluidSynth's ALSA driver is tried) on stderr. Does nothing without ALSA.
void quietAlsaLog();

}  // namespace zan::player
