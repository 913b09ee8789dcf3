// The offline render: the playback scheduler driven as fast as the synthesizer
// goes, its sound written to a WAV file.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "player.h"
#include "scheduler.h"
#include "synth_output.h"

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

// A file written under a temporary name beside its target and renamed over it
// once complete; removed if abandoned.
class AtomicFile {
 public:
  explicit AtomicFile(std::string path) : path_(std::move(path)) {
    temp_ = path_ + ".tmp" + std::to_string(::getpid());
    fd_ = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd_ < 0) throw PlayerError("cannot write " + path_ + ": " + std::strerror(errno));
  }
  ~AtomicFile() {
    if (fd_ >= 0) {
      ::close(fd_);
      ::unlink(temp_.c_str());
    }
  }
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  void write(const uint8_t* data, size_t size) {
    while (size > 0) {
      const ssize_t n = ::write(fd_, data, size);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) fail();
      data += n;
      size -= static_cast<size_t>(n);
    }
  }
  void writeAt(off_t offset, const uint8_t* data, size_t size) {
    while (size > 0) {
      const ssize_t n = ::pwrite(fd_, data, size, offset);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) fail();
      data += n;
      size -= static_cast<size_t>(n);
      offset += n;
    }
  }
  void commit() {
    if (::fsync(fd_) != 0) fail();
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0 || ::rename(temp_.c_str(), path_.c_str()) != 0) {
      const int err = errno;
      ::unlink(temp_.c_str());
      throw PlayerError("cannot write " + path_ + ": " + std::strerror(err));
    }
  }

 private:
  [[noreturn]] void fail() { throw PlayerError("cannot write " + path_ + ": " + std::strerror(errno)); }

  std::string path_;
  std::string temp_;
  int fd_ = -1;
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
    throw PlayerError("render tail " + std::to_string(tailSeconds) + " s is outside 0..600");
  const std::string soundFont = findSoundFont(config.soundFont);
  if (soundFont.empty()) throw PlayerError("no SoundFont found (give one with its path)");
  SynthOutput synth(soundFont, config.gain, config.sampleRate);
  Scheduler scheduler(sequence, synth, synth.sampleRate());
  scheduler.setMutedTracks(silenced(tracks));

  const int64_t music = scheduler.length();
  const int64_t tail = std::llround(tailSeconds * synth.sampleRate());
  const uint64_t maxDataBytes = static_cast<uint64_t>(music + tail) * kChannelsOut * kBytesPerSample;
  // The RIFF sizes are 32-bit: about six and a half hours at 44.1 kHz.
  if (maxDataBytes > 0xFFFFFFFFu - kWavHeaderBytes) throw PlayerError("the music is too long for a WAV file");

  AtomicFile file(wavPath);
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
  file.writeAt(0, header.data(), header.size());
  file.commit();
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
