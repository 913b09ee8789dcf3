// SPDX-License-Identifier: MIT
// The built-in synthesizer: FluidSynth with a SoundFont.
#pragma once

#include <string>
#include <vector>

#include "midi_output.h"

typedef struct _fluid_hashtable_t fluid_settings_t;
typedef struct _fluid_synth_t fluid_synth_t;

namespace zan::player {

class SynthOutput : public MidiOutput {
 public:
  // Loads `soundFont` (a path; findSoundFont has already been asked). Throws
  // PlayerError when the gain is out of 0..10 or the SoundFont cannot be
  // loaded.
  SynthOutput(const std::string& soundFont, double gain, double sampleRate = kSampleRate);

  static constexpr double kSampleRate = 44100.0;  // frames per second of playback and of rendered files
  ~SynthOutput() override;
  SynthOutput(const SynthOutput&) = delete;
  SynthOutput& operator=(const SynthOutput&) = delete;

  void send(const uint8_t* bytes, size_t size) override;
  void allSoundOff() override;
  void reset() override;
  void render(int frames, float* left, float* right) override;

  double sampleRate() const;
  // The running synthesizer takes another SoundFont (programs chosen again)
  // or gain. REQUIRES: nothing renders meanwhile. Throw PlayerError as the
  // constructor does; a SoundFont that fails leaves the old one in place.
  void loadSoundFont(const std::string& soundFont);
  void setGain(double gain);
  // An audio driver that renders the synthesizer itself (FluidSynth's file
  // driver takes no callback): render() then only lets the time pass.
  void setRenderedElsewhere(bool elsewhere) { renderedElsewhere_ = elsewhere; }
  fluid_synth_t* synth() const { return synth_; }
  fluid_settings_t* settings() const { return settings_; }

 private:
  fluid_settings_t* settings_ = nullptr;
  fluid_synth_t* synth_ = nullptr;
  std::vector<float> scratch_;  // where discarded sound goes
  bool renderedElsewhere_ = false;
};

// Sends FluidSynth's log to a store instead of stderr (it prints an error for
// every audio driver that cannot open). Safe to call more than once.
void quietFluidLog();
// The last few lines FluidSynth logged as errors, joined with "; " ("" when
// none), and forgetting them.
std::string takeFluidErrors();

}  // namespace zan::player
