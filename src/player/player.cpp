// The player: an engine shared between the GUI thread and the thread that
// drives the music, and the choice of what drives it.
#include "player.h"

#include <fluidsynth.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

#include "alsa_output.h"
#include "scheduler.h"
#include "synth_output.h"

namespace zan::player {

namespace {

constexpr const char* kSilentDriver = "silent";
constexpr const char* kNoDevice = "No audio device found: playing silently";
constexpr const char* kNoSoundFont = "No SoundFont found: choose one in Tool > MIDI DEVICE (F12)";

// The GUI thread and the driving thread meet here. The driving thread never
// waits for the GUI: when the GUI holds the engine (a seek, a stop) the buffer
// stays silent and time stands still for it. The GUI holds it only for the
// length of one call; mode and position are atomics it reads without it.
class Engine {
 public:
  Engine(Sequence sequence, std::unique_ptr<MidiOutput> output, double rate)
      : sequence_(std::move(sequence)), output_(std::move(output)), scheduler_(sequence_, *output_, rate),
        lengthFrames_(scheduler_.length()) {}

  // The driving thread. Returns false, having rendered nothing, when the GUI
  // holds the engine.
  bool process(int frames, float* left, float* right) {
    std::unique_lock<std::mutex> lock(mutex_, std::try_to_lock);
    if (!lock.owns_lock()) return false;
    if (playing_.load(std::memory_order_relaxed)) {
      scheduler_.advance(frames, left, right);
      position_.store(scheduler_.position(), std::memory_order_relaxed);
      if (scheduler_.atEnd()) playing_.store(false, std::memory_order_relaxed);
    } else {
      output_->render(frames, left, right);
    }
    return true;
  }

  // The GUI thread.
  void play(std::optional<int64_t> startMs) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (startMs)
      scheduler_.seek(scheduler_.framesFromMs(*startMs));
    else if (scheduler_.atEnd())
      scheduler_.seek(0);
    position_.store(scheduler_.position(), std::memory_order_relaxed);
    playing_.store(true, std::memory_order_relaxed);
  }
  void stop() {
    std::lock_guard<std::mutex> lock(mutex_);
    playing_.store(false, std::memory_order_relaxed);
    scheduler_.silence();
  }
  void seek(int64_t ms) {
    std::lock_guard<std::mutex> lock(mutex_);
    playing_.store(false, std::memory_order_relaxed);
    scheduler_.seek(scheduler_.framesFromMs(ms));
    position_.store(scheduler_.position(), std::memory_order_relaxed);
  }
  bool playing() const { return playing_.load(std::memory_order_relaxed); }
  int64_t positionMs() const { return scheduler_.msFromFrames(position_.load(std::memory_order_relaxed)); }
  int64_t lengthMs() const { return scheduler_.msFromFrames(lengthFrames_); }
  double sampleRate() const { return scheduler_.sampleRate(); }
  MidiOutput& output() { return *output_; }

 private:
  std::mutex mutex_;                   // guards scheduler_ and output_
  const Sequence sequence_;
  const std::unique_ptr<MidiOutput> output_;
  Scheduler scheduler_;
  const int64_t lengthFrames_;         // the scheduler's length, read without the lock
  std::atomic<bool> playing_{false};   // set by the GUI, cleared by either side
  std::atomic<int64_t> position_{0};   // frames, published after each buffer
};

// Drives the engine by the clock where no audio callback does: playback
// without an audio device, and the sequencer output (whose events must go
// out in real time).
class ClockThread {
 public:
  ClockThread(Engine& engine, double rate) : thread_([this, &engine, rate] { run(engine, rate); }) {}
  ~ClockThread() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      quit_ = true;
    }
    wake_.notify_one();
    thread_.join();
  }
  ClockThread(const ClockThread&) = delete;
  ClockThread& operator=(const ClockThread&) = delete;

 private:
  static constexpr auto kTick = std::chrono::milliseconds(1);  // how late a sequencer event may go out
  static constexpr int kMostFramesAtOnce = 4096;

  void run(Engine& engine, double rate) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    int64_t done = 0;  // frames processed since start
    std::unique_lock<std::mutex> lock(mutex_);
    while (!wake_.wait_for(lock, kTick, [this] { return quit_; })) {
      const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
      int64_t due = static_cast<int64_t>(seconds * rate) - done;
      while (due > 0) {
        const int n = static_cast<int>(std::min<int64_t>(due, kMostFramesAtOnce));
        if (!engine.process(n, nullptr, nullptr)) break;  // the GUI holds it: catch up next tick
        done += n;
        due -= n;
      }
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  bool quit_ = false;
  std::thread thread_;  // last: starts once the rest is built
};

int audioCallback(void* data, int len, int, float*[], int nout, float* out[]) {
  auto* engine = static_cast<Engine*>(data);
  // The buffers come zeroed: a skipped buffer is silence.
  if (nout >= 2)
    engine->process(len, out[0], out[1]);
  else
    engine->process(len, nullptr, nullptr);
  return FLUID_OK;
}

// The drivers to try, in order: the one asked for, or else FluidSynth's
// default and then the rest. JACK is tried only when asked for by name: its
// library prints to stderr when no server runs.
std::vector<std::string> driversToTry(const std::string& wanted, fluid_settings_t* settings) {
  if (!wanted.empty()) return {wanted};
  std::vector<std::string> out;
  char* preferred = nullptr;
  if (fluid_settings_dupstr(settings, "audio.driver", &preferred) == FLUID_OK && preferred) {
    out.emplace_back(preferred);
    fluid_free(preferred);
  }
  for (const std::string& name : audioDrivers())
    if (name != "jack" && (out.empty() || name != out.front())) out.push_back(name);
  return out;
}

}  // namespace

struct Player::Impl {
  PlayerConfig config;
  std::unique_ptr<Engine> engine;              // null when not open
  fluid_audio_driver_t* audio = nullptr;       // the audio callback's driver, when a device opened
  std::unique_ptr<ClockThread> clock;          // else the clock drives the engine
  std::optional<int64_t> pendingStartMs;       // where the next play() starts; kept across open()
  std::string driverInUse;
  std::string soundFont;
  bool deviceFound = false;
  std::string status;                          // the status bar's note, "" when all is well

  // Sets up the output for a loaded sequence and starts what drives it.
  void open(Sequence sequence);
  void startDriver(SynthOutput* synth);
  void close();
};

void Player::Impl::startDriver(SynthOutput* synth) {
  if (!synth) {  // a sequencer port: events go out by the clock
    clock = std::make_unique<ClockThread>(*engine, engine->sampleRate());
    driverInUse = "alsa-seq";
    deviceFound = true;
    return;
  }
  if (config.audioDriver != kSilentDriver) {
    quietAlsaLog();
    for (const std::string& name : driversToTry(config.audioDriver, synth->settings())) {
      if (fluid_settings_setstr(synth->settings(), "audio.driver", name.c_str()) != FLUID_OK) continue;
      audio = new_fluid_audio_driver2(synth->settings(), audioCallback, engine.get());
      if (audio) {
        driverInUse = name;
        deviceFound = true;
        takeFluidErrors();
        return;
      }
    }
    takeFluidErrors();
    status = kNoDevice;
  }
  clock = std::make_unique<ClockThread>(*engine, engine->sampleRate());
  driverInUse = kSilentDriver;
  deviceFound = false;
}

void Player::Impl::close() {
  if (!engine) return;
  engine->stop();  // sends the note offs while the output is still driven
  if (audio) delete_fluid_audio_driver(audio);
  audio = nullptr;
  clock.reset();
  engine.reset();
  driverInUse.clear();
  soundFont.clear();
  deviceFound = false;
}

Player::Player(PlayerConfig config) : impl_(std::make_unique<Impl>()) { impl_->config = std::move(config); }

Player::~Player() { impl_->close(); }

void Player::configure(PlayerConfig config) { impl_->config = std::move(config); }

const PlayerConfig& Player::config() const { return impl_->config; }

void Player::open(const std::string& smfPath) {
  impl_->close();
  impl_->status.clear();
  Sequence sequence;
  std::string error;
  if (!loadSequence(smfPath, sequence, error)) throw PlayerError(error);
  impl_->open(std::move(sequence));
}

void Player::open(const std::vector<uint8_t>& smf, const std::string& name) {
  impl_->close();
  impl_->status.clear();
  Sequence sequence;
  std::string error;
  if (!loadSequence(smf, name, sequence, error)) throw PlayerError(error);
  impl_->open(std::move(sequence));
}

void Player::Impl::open(Sequence sequence) {
  std::unique_ptr<MidiOutput> output;
  SynthOutput* synth = nullptr;
  std::string font;
  double rate = SynthOutput::kSampleRate;
  if (config.output.empty()) {
    font = findSoundFont(config.soundFont);
    if (font.empty()) {
      status = kNoSoundFont;
      throw PlayerError(kNoSoundFont);
    }
    try {
      auto s = std::make_unique<SynthOutput>(font, config.gain, config.sampleRate);
      synth = s.get();
      rate = s->sampleRate();
      output = std::move(s);
    } catch (const PlayerError& e) {
      status = e.what();
      throw;
    }
  } else {
    try {
      output = std::make_unique<AlsaOutput>(config.output);
    } catch (const PlayerError& e) {
      status = e.what();
      throw;
    }
  }
  engine = std::make_unique<Engine>(std::move(sequence), std::move(output), rate);
  engine->seek(0);  // a device on a sequencer port may hold anything from before
  soundFont = font;
  if (!config.soundFont.empty() && font != config.soundFont && synth)
    status = "SoundFont " + config.soundFont + " not found: using " + font;
  startDriver(synth);
}

void Player::close() { impl_->close(); }

bool Player::isOpen() const { return impl_->engine != nullptr; }

int64_t Player::lengthMs() const { return impl_->engine ? impl_->engine->lengthMs() : 0; }

int64_t Player::positionMs() const { return impl_->engine ? impl_->engine->positionMs() : 0; }

void Player::setPositionMs(int64_t ms) {
  if (impl_->engine) impl_->engine->seek(ms);
}

void Player::setStartPositionMs(int64_t ms) { impl_->pendingStartMs = ms; }

void Player::play() {
  Impl& d = *impl_;
  if (!d.engine) return;
  d.engine->play(d.pendingStartMs);
  d.pendingStartMs.reset();
}

void Player::stop() {
  if (impl_->engine) impl_->engine->stop();
}

Mode Player::mode() const {
  if (!impl_->engine) return Mode::NotReady;
  return impl_->engine->playing() ? Mode::Playing : Mode::Stopped;
}

bool Player::audioDeviceFound() const { return impl_->deviceFound; }

std::string Player::audioDriverInUse() const { return impl_->driverInUse; }

std::string Player::soundFontPath() const { return impl_->soundFont; }

std::string Player::statusText() const { return impl_->status; }

}  // namespace zan::player
