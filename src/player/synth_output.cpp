// SPDX-License-Identifier: MIT
// The built-in synthesizer, the search for a SoundFont, and FluidSynth's log.
#include "synth_output.h"

#include <fluidsynth.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <mutex>

#include "player/player.h"
#include "zan/translate.h"

namespace zan::player {

namespace {

// True for a RIFF file of SoundFont (sf2, sf3) or DLS form. Anything else is
// refused before FluidSynth sees it: its loaders would take any file to the
// DLS reader, whose library prints GLib warnings of its own on a terminal.
bool looksLikeSoundFont(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return true;  // the loader says why it cannot be read
  char head[12] = {};
  const size_t n = std::fread(head, 1, sizeof head, f);
  std::fclose(f);
  return n == sizeof head && std::memcmp(head, "RIFF", 4) == 0 &&
         (std::memcmp(head + 8, "sfbk", 4) == 0 || std::memcmp(head + 8, "DLS ", 4) == 0);
}

// FluidSynth's log is process-wide, so its store is too.
std::mutex logMutex;
std::deque<std::string> logErrors;
constexpr size_t kLogErrorsKept = 8;  // enough to explain one failure

void collectLog(int level, const char* message, void*) {
  if (level > FLUID_WARN || !message) return;
  std::lock_guard<std::mutex> lock(logMutex);
  logErrors.emplace_back(message);
  if (logErrors.size() > kLogErrorsKept) logErrors.pop_front();
}

bool readableFile(const std::string& path) {
  std::error_code ec;
  return !path.empty() && std::filesystem::is_regular_file(path, ec) && ::access(path.c_str(), R_OK) == 0;
}

}  // namespace

void quietFluidLog() {
  static std::once_flag once;
  std::call_once(once, [] {
    for (int level : {FLUID_PANIC, FLUID_ERR, FLUID_WARN, FLUID_INFO, FLUID_DBG})
      fluid_set_log_function(level, collectLog, nullptr);
  });
}

std::string takeFluidErrors() {
  std::lock_guard<std::mutex> lock(logMutex);
  std::string out;
  for (const std::string& m : logErrors) out += (out.empty() ? "" : "; ") + m;
  logErrors.clear();
  return out;
}

std::string findSoundFont(const std::string& setting) {
  if (readableFile(setting)) return setting;
  std::vector<std::string> dirs = {"/usr/share/sounds/sf2", "/usr/share/soundfonts", "/usr/local/share/soundfonts"};
  const char* dataHome = std::getenv("XDG_DATA_HOME");
  const char* home = std::getenv("HOME");
  if (dataHome && *dataHome) dirs.push_back(std::string(dataHome) + "/soundfonts");
  if (home && *home) {
    dirs.push_back(std::string(home) + "/.local/share/soundfonts");
    dirs.push_back(std::string(home) + "/.local/share/sounds/sf2");
  }
  // The full General MIDI sets first, by the names Debian and others give them.
  static const char* const kPreferred[] = {"FluidR3_GM.sf2", "TimGM6mb.sf2", "default-GM.sf2", "default.sf2"};
  for (const std::string& dir : dirs)
    for (const char* name : kPreferred)
      if (readableFile(dir + "/" + name)) return dir + "/" + name;
  for (const std::string& dir : dirs) {
    std::error_code ec;
    std::vector<std::string> found;
    for (std::filesystem::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
      std::string path = it->path().string();
      std::string ext = it->path().extension().string();
      std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
      if (ext == ".sf2" && readableFile(path)) found.push_back(path);
    }
    if (!found.empty()) return *std::min_element(found.begin(), found.end());
  }
  return "";
}

std::vector<std::string> audioDrivers() {
  quietFluidLog();
  fluid_settings_t* settings = new_fluid_settings();
  std::vector<std::string> names;
  if (!settings) return names;
  fluid_settings_foreach_option(settings, "audio.driver", &names, [](void* data, const char*, const char* option) {
    if (std::string(option) != "file") static_cast<std::vector<std::string>*>(data)->emplace_back(option);
  });
  delete_fluid_settings(settings);
  return names;
}

SynthOutput::SynthOutput(const std::string& soundFont, double gain, double sampleRate) {
  quietFluidLog();
  if (!(gain >= 0.0 && gain <= 10.0)) throw PlayerError(zan::tr("synthesizer gain ") + std::to_string(gain) + zan::tr(" is outside 0..10"));
  settings_ = new_fluid_settings();
  if (!settings_) throw PlayerError(zan::tr("cannot create the synthesizer's settings"));
  fluid_settings_setnum(settings_, "synth.gain", gain);
  fluid_settings_setnum(settings_, "synth.sample-rate", sampleRate);
  fluid_settings_setint(settings_, "synth.threadsafe-api", 1);
  synth_ = new_fluid_synth(settings_);
  if (!synth_) {
    delete_fluid_settings(settings_);
    throw PlayerError(zan::tr("cannot create the synthesizer: ") + takeFluidErrors());
  }
  takeFluidErrors();
  if (!looksLikeSoundFont(soundFont)) {
    delete_fluid_synth(synth_);
    delete_fluid_settings(settings_);
    throw PlayerError(soundFont + zan::tr(" is not a SoundFont (.sf2, .sf3 or .dls)"));
  }
  if (fluid_synth_sfload(synth_, soundFont.c_str(), 1) == FLUID_FAILED) {
    std::string why = takeFluidErrors();
    delete_fluid_synth(synth_);
    delete_fluid_settings(settings_);
    throw PlayerError(zan::tr("cannot load the SoundFont ") + soundFont + (why.empty() ? "" : ": " + why));
  }
}

void SynthOutput::loadSoundFont(const std::string& soundFont) {
  takeFluidErrors();
  if (!looksLikeSoundFont(soundFont)) throw PlayerError(soundFont + zan::tr(" is not a SoundFont (.sf2, .sf3 or .dls)"));
  const int id = fluid_synth_sfload(synth_, soundFont.c_str(), 1);
  if (id == FLUID_FAILED) {
    std::string why = takeFluidErrors();
    throw PlayerError(zan::tr("cannot load the SoundFont ") + soundFont + (why.empty() ? "" : ": " + why));
  }
  // Every font but the new one goes (the newest is first in the stack).
  while (fluid_synth_sfcount(synth_) > 1) {
    fluid_sfont_t* old = fluid_synth_get_sfont(synth_, 1);
    if (!old || fluid_synth_sfunload(synth_, fluid_sfont_get_id(old), 1) == FLUID_FAILED) break;
  }
}

void SynthOutput::setGain(double gain) {
  if (!(gain >= 0.0 && gain <= 10.0)) throw PlayerError(zan::tr("synthesizer gain ") + std::to_string(gain) + zan::tr(" is outside 0..10"));
  fluid_synth_set_gain(synth_, static_cast<float>(gain));
}

SynthOutput::~SynthOutput() {
  delete_fluid_synth(synth_);
  delete_fluid_settings(settings_);
}

void SynthOutput::send(const uint8_t* b, size_t size) {
  const int ch = b[0] & 0x0F;
  switch (b[0] & 0xF0) {
    case 0x80: fluid_synth_noteoff(synth_, ch, b[1]); break;
    case 0x90: fluid_synth_noteon(synth_, ch, b[1], b[2]); break;  // velocity 0 is a note off there too
    case 0xA0: fluid_synth_key_pressure(synth_, ch, b[1], b[2]); break;
    case 0xB0: fluid_synth_cc(synth_, ch, b[1], b[2]); break;
    case 0xC0: fluid_synth_program_change(synth_, ch, b[1]); break;
    case 0xD0: fluid_synth_channel_pressure(synth_, ch, b[1]); break;
    case 0xE0: fluid_synth_pitch_bend(synth_, ch, b[1] | (b[2] << 7)); break;
    case 0xF0: {
      // FluidSynth takes the message without F0 and F7.
      if (b[0] != 0xF0 || size < 2) break;
      size_t n = size - 1;
      if (b[size - 1] == 0xF7) --n;
      fluid_synth_sysex(synth_, reinterpret_cast<const char*>(b + 1), static_cast<int>(n), nullptr, nullptr, nullptr, 0);
      break;
    }
    default: break;
  }
}

void SynthOutput::allSoundOff() {
  for (int ch = 0; ch < kChannels; ++ch) {
    fluid_synth_all_notes_off(synth_, ch);
    fluid_synth_all_sounds_off(synth_, ch);
  }
}

void SynthOutput::reset() { fluid_synth_system_reset(synth_); }

void SynthOutput::render(int frames, float* left, float* right) {
  if (frames <= 0 || renderedElsewhere_) return;
  if (!left || !right) {
    scratch_.resize(static_cast<size_t>(frames) * 2);
    left = scratch_.data();
    right = left + frames;
  }
  fluid_synth_write_float(synth_, frames, left, 0, 1, right, 0, 1);
}

double SynthOutput::sampleRate() const {
  double rate = 44100.0;
  fluid_settings_getnum(settings_, "synth.sample-rate", &rate);
  return rate;
}

}  // namespace zan::player
