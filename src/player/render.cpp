// SPDX-License-Identifier: MIT
// The offline render: the playback scheduler driven as fast as the synthesizer
// goes, its sound written to a WAV file.
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "player/player.h"
#include "zan/output_file.h"
#include "scheduler.h"
#include "synth_output.h"
#include "zan/translate.h"

namespace zan::player {

namespace {

constexpr int kBlockFrames = 4096;      // frames rendered per step
constexpr int kChannelsOut = 2;
constexpr int kBytesPerSample = 2;      // 16-bit PCM
constexpr uint32_t kWavHeaderBytes = 44;

void putLe(std::vector<uint8_t>& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

std::vector<uint8_t> wavHeader(uint32_t rate, uint32_t dataBytes) {
  std::vector<uint8_t> h;
  auto id = [&](const char* s) {
    for (int i = 0; i < 4; ++i) h.push_back(static_cast<uint8_t>(s[i]));
  };
  id("RIFF");
  putLe(h, 36 + dataBytes, 4);
  id("WAVE");
  id("fmt ");
  putLe(h, 16, 4);
  putLe(h, 1, 2);  // PCM
  putLe(h, kChannelsOut, 2);
  putLe(h, rate, 4);
  putLe(h, rate * kChannelsOut * kBytesPerSample, 4);
  putLe(h, kChannelsOut * kBytesPerSample, 2);
  putLe(h, 8 * kBytesPerSample, 2);
  id("data");
  putLe(h, dataBytes, 4);
  return h;
}

int16_t toPcm(float sample) {
  // Full scale is 1.0; louder peaks are cut at the format's limits, as any
  // conversion to 16 bits must.
  const float scaled = std::round(sample * 32767.0f);
  return static_cast<int16_t>(std::clamp(scaled, -32768.0f, 32767.0f));
}

// Where the render goes. A file is written as zan writes every file
// (zan/output_file.h), its header patched once the length is known. What
// cannot seek (standard output, a FIFO, a device) gets the whole render held
// in memory first, so that the header with its sizes goes out first.
class WavSink {
 public:
  explicit WavSink(const std::string& path) : path_(path) {
    if (path == "-") return;
    if (!file_.open(path)) throw PlayerError(file_.error());
  }
  void write(const uint8_t* data, size_t size) {
    if (path_ == "-" || !file_.seekable())
      held_.insert(held_.end(), data, data + size);
    else if (!file_.write(data, size))
      throw PlayerError(file_.error());
  }
  void commit(const std::vector<uint8_t>& header) {
    if (path_ == "-") {
      std::copy(header.begin(), header.end(), held_.begin());
      writeStdout();
      return;
    }
    if (!file_.seekable()) {
      std::copy(header.begin(), header.end(), held_.begin());
      if (!file_.write(held_.data(), held_.size())) throw PlayerError(file_.error());
    } else if (!file_.writeAt(0, header.data(), header.size())) {
      throw PlayerError(file_.error());
    }
    if (!file_.commit(true)) throw PlayerError(file_.error());
  }

 private:
  void writeStdout() {
    if (!zan::WriteAll(STDOUT_FILENO, held_.data(), held_.size()))
      throw PlayerError(std::string(zan::tr("cannot write standard output: ")) + std::strerror(errno));
  }

  std::string path_;
  zan::OutputFile file_;
  std::vector<uint8_t> held_;
};

}  // namespace

namespace {

TrackMask silenced(const TrackSelection& tracks) {
  TrackMask muted{}, soloed{};
  for (int t : tracks.muted) setTrack(muted, t, true);
  for (int t : tracks.soloed) setTrack(soloed, t, true);
  return silencedTracks(muted, soloed);
}

void render(const Sequence& sequence, const std::string& wavPath, const PlayerConfig& config, double tailSeconds,
            const TrackSelection& tracks) {
  if (!(tailSeconds >= 0.0 && tailSeconds <= 600.0))
    throw PlayerError(zan::tr("render tail ") + std::to_string(tailSeconds) + zan::tr(" s is outside 0..600"));
  const std::string soundFont = findSoundFont(config.soundFont);
  if (soundFont.empty()) throw PlayerError(zan::tr("no SoundFont found (give one with its path)"));
  SynthOutput synth(soundFont, config.gain, config.sampleRate);
  Scheduler scheduler(sequence, synth, synth.sampleRate());
  scheduler.setMutedTracks(silenced(tracks));

  const int64_t music = scheduler.length();
  const int64_t tail = std::llround(tailSeconds * synth.sampleRate());
  const uint64_t maxDataBytes = static_cast<uint64_t>(music + tail) * kChannelsOut * kBytesPerSample;
  // The RIFF sizes are 32-bit: about six and a half hours at 44.1 kHz.
  if (maxDataBytes > 0xFFFFFFFFu - kWavHeaderBytes) throw PlayerError(zan::tr("the music is too long for a WAV file"));

  WavSink file(wavPath);
  // The tail's length is known only at the end: the header is written again then.
  const auto rate = static_cast<uint32_t>(synth.sampleRate());
  const std::vector<uint8_t> placeholder = wavHeader(rate, 0);
  file.write(placeholder.data(), placeholder.size());
  std::vector<float> left(kBlockFrames), right(kBlockFrames);
  std::vector<uint8_t> pcm(static_cast<size_t>(kBlockFrames) * kChannelsOut * kBytesPerSample);
  int64_t written = 0;
  // Returns whether the block held any sound at 16 bits.
  auto emit = [&](int frames) {
    uint8_t* p = pcm.data();
    bool sound = false;
    for (int i = 0; i < frames; ++i)
      for (float s : {left[static_cast<size_t>(i)], right[static_cast<size_t>(i)]}) {
        const auto v = static_cast<uint16_t>(toPcm(s));
        sound |= v != 0;
        *p++ = static_cast<uint8_t>(v & 0xFF);
        *p++ = static_cast<uint8_t>(v >> 8);
      }
    file.write(pcm.data(), static_cast<size_t>(p - pcm.data()));
    written += frames;
    return sound;
  };
  while (written < music) {
    const int frames = static_cast<int>(std::min<int64_t>(kBlockFrames, music - written));
    scheduler.advance(frames, left.data(), right.data());
    emit(frames);
  }
  // The tail ends with the first block in which nothing sounds any more.
  while (written < music + tail) {
    const int frames = static_cast<int>(std::min<int64_t>(kBlockFrames, music + tail - written));
    scheduler.advance(frames, left.data(), right.data());
    if (!emit(frames)) break;
  }
  const std::vector<uint8_t> header =
      wavHeader(rate, static_cast<uint32_t>(static_cast<uint64_t>(written) * kChannelsOut * kBytesPerSample));
  file.commit(header);
}

}  // namespace

void renderWav(const std::string& smfPath, const std::string& wavPath, const PlayerConfig& config, double tailSeconds,
               const TrackSelection& tracks) {
  Sequence sequence;
  std::string error;
  if (!loadSequence(smfPath, sequence, error)) throw PlayerError(error);
  render(sequence, wavPath, config, tailSeconds, tracks);
}

void renderWav(const std::vector<uint8_t>& smf, const std::string& name, const std::string& wavPath,
               const PlayerConfig& config, double tailSeconds, const TrackSelection& tracks) {
  Sequence sequence;
  std::string error;
  if (!loadSequence(smf, name, sequence, error)) throw PlayerError(error);
  render(sequence, wavPath, config, tailSeconds, tracks);
}

}  // namespace zan::player
