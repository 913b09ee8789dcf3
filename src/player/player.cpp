// SPDX-License-Identifier: MIT
// The player: an engine shared between the GUI thread and the thread that
// drives the music, and the choice of what drives it.
#include "player/player.h"

#include <fluidsynth.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <cmath>
#include <future>
#include <optional>
#include <thread>

#include <time.h>

#include "alsa_output.h"
#include "scheduler.h"
#include "synth_output.h"
#include "zan/translate.h"

namespace zan::player {

namespace {

constexpr const char* kSilentDriver = "silent";
constexpr const char* kNoDevice = zan::N_("No audio device found: playing silently");
constexpr const char* kNoSoundFont = zan::N_("No SoundFont found: choose one in Tool > MIDI DEVICE (F12)");

// Processor time the calling thread has used, in seconds.
double threadSeconds() {
  timespec t{};
  ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// The GUI thread and the driving thread meet here. The engine lives as long
// as its output and driver, across many files: open() hands it a new song,
// close() takes the song away, and the synthesizer, its SoundFont and the
// audio driver stay. The driving thread never waits for the GUI: when the GUI
// holds the engine (a load, a seek, a stop) the buffer stays silent and time
// stands still for it. The GUI holds it only for the length of one call;
// mode, position and the muted tracks are atomics read without it.
class Engine {
 public:
  Engine(std::unique_ptr<MidiOutput> output, double rate) : output_(std::move(output)), rate_(rate) {}

  ~Engine() {
    delete pending_.exchange(nullptr);
    collect();
  }

  // The driving thread. Returns false, having rendered nothing, when the GUI
  // holds the engine.
  bool process(int frames, float* left, float* right) {
    std::unique_lock<std::mutex> lock(mutex_, std::try_to_lock);
    if (!lock.owns_lock()) return false;
    const double start = threadSeconds();
    settle();
    if (song_ && playing_.load(std::memory_order_relaxed)) {
      Scheduler& s = song_->scheduler;
      s.setMutedTracks({muted_[0].load(std::memory_order_relaxed), muted_[1].load(std::memory_order_relaxed)});
      s.advance(frames, left, right);
      position_.store(s.position(), std::memory_order_relaxed);
      if (s.atEnd()) playing_.store(false, std::memory_order_relaxed);
    } else {
      output_->render(frames, left, right);
    }
    // How much of the buffer's own time computing it took, in thousandths:
    // the thread's processor time, so that being preempted by other
    // programs does not count as the engine's own slowness.
    const double took = threadSeconds() - start;
    const auto load = static_cast<int64_t>(took * rate_ / std::max(frames, 1) * 1000.0);
    if (load > worstLoad_.load(std::memory_order_relaxed)) worstLoad_.store(load, std::memory_order_relaxed);
    return true;
  }
  double takeWorstLoad() { return static_cast<double>(worstLoad_.exchange(0, std::memory_order_relaxed)) / 1000.0; }

  // The GUI thread. A song is loaded stopped at 0, the output reset.
  void load(std::shared_ptr<const Sequence> sequence) {
    auto song = std::make_unique<Song>(std::move(sequence), *output_, rate_);
    std::lock_guard<std::mutex> lock(mutex_);
    dropPending();
    playing_.store(false, std::memory_order_relaxed);
    if (song_) song_->scheduler.silence();
    song_ = std::move(song);
    song_->scheduler.seek(0);
    lengthFrames_.store(song_->scheduler.length(), std::memory_order_relaxed);
    position_.store(0, std::memory_order_relaxed);
  }
  void unload() {
    std::lock_guard<std::mutex> lock(mutex_);
    dropPending();
    playing_.store(false, std::memory_order_relaxed);
    if (song_) song_->scheduler.silence();
    song_.reset();
    lengthFrames_.store(0, std::memory_order_relaxed);
    position_.store(0, std::memory_order_relaxed);
  }
  void play(std::optional<int64_t> startMs) {
    std::lock_guard<std::mutex> lock(mutex_);
    settle();
    if (!song_) return;
    Scheduler& s = song_->scheduler;
    if (startMs)
      s.seek(s.framesFromMs(*startMs));
    else if (s.atEnd())
      s.seek(0);
    position_.store(s.position(), std::memory_order_relaxed);
    playing_.store(true, std::memory_order_relaxed);
  }
  void stop() {
    std::lock_guard<std::mutex> lock(mutex_);
    settle();
    playing_.store(false, std::memory_order_relaxed);
    if (song_) song_->scheduler.silence();
  }
  void seek(int64_t ms) {
    std::lock_guard<std::mutex> lock(mutex_);
    settle();
    playing_.store(false, std::memory_order_relaxed);
    if (!song_) return;
    song_->scheduler.seek(song_->scheduler.framesFromMs(ms));
    position_.store(song_->scheduler.position(), std::memory_order_relaxed);
  }
  void setLoop(int64_t fromMs, int64_t toMs) {
    std::lock_guard<std::mutex> lock(mutex_);
    settle();
    loopFromMs_.store(fromMs, std::memory_order_relaxed);
    loopToMs_.store(toMs, std::memory_order_relaxed);
    if (!song_) return;
    // Kept as ticks, so that music swapped in with another tempo loops the same bars.
    const TempoMap& tempo = song_->sequence->tempo;
    loopTicks_ = {tempo.tickOfMs(static_cast<double>(fromMs)), tempo.tickOfMs(static_cast<double>(toMs))};
    song_->scheduler.setLoop(song_->scheduler.framesFromMs(fromMs), song_->scheduler.framesFromMs(toMs));
  }
  std::pair<int64_t, int64_t> loopMs() const {
    return {loopFromMs_.load(std::memory_order_relaxed), loopToMs_.load(std::memory_order_relaxed)};
  }

  // The GUI thread: the driving thread takes `sequence` at the start of its
  // next buffer, by a pointer exchange, and goes on with it from the tick
  // it stands on (Scheduler::takeOver). Everything that costs is done here:
  // the events' frames, the loop's state. A swap not yet taken when the
  // next comes is dropped.
  void swap(std::shared_ptr<const Sequence> sequence) {
    collect();
    auto song = std::make_unique<Song>(std::move(sequence), *output_, rate_);
    if (loopTicks_.second > loopTicks_.first) {
      const TempoMap& tempo = song->sequence->tempo;
      const auto frameAt = [&](double tick) { return std::llround(tempo.msOfTick(tick) * rate_ / 1000.0); };
      song->scheduler.setLoop(frameAt(loopTicks_.first), frameAt(loopTicks_.second));
      song->loopMs = {std::llround(tempo.msOfTick(loopTicks_.first)), std::llround(tempo.msOfTick(loopTicks_.second))};
    }
    delete pending_.exchange(song.release(), std::memory_order_acq_rel);
  }
  void setStartHeldNotes(bool on) { startHeld_.store(on, std::memory_order_relaxed); }
  bool startHeldNotes() const { return startHeld_.load(std::memory_order_relaxed); }
  uint64_t swapsTaken() const { return swapsTaken_.load(std::memory_order_relaxed); }
  void setMuted(const TrackMask& mask) {
    muted_[0].store(mask[0], std::memory_order_relaxed);
    muted_[1].store(mask[1], std::memory_order_relaxed);
  }
  // Runs `f` on the output while the driving thread keeps away from it.
  template <typename F>
  void withOutput(F f) {
    std::lock_guard<std::mutex> lock(mutex_);
    f(*output_);
  }
  bool playing() const { return playing_.load(std::memory_order_relaxed); }
  int64_t positionMs() const { return msOf(position_.load(std::memory_order_relaxed)); }
  int64_t lengthMs() const { return msOf(lengthFrames_.load(std::memory_order_relaxed)); }
  double sampleRate() const { return rate_; }

 private:
  struct Song {
    Song(std::shared_ptr<const Sequence> s, MidiOutput& out, double rate)
        : sequence(std::move(s)), scheduler(*sequence, out, rate) {}
    std::shared_ptr<const Sequence> sequence;
    Scheduler scheduler;
    std::pair<int64_t, int64_t> loopMs{0, 0};  // its loop in its own time, as a swap sets it
    Song* nextRetired = nullptr;               // the list of songs the driving thread has let go
  };

  // With the lock: takes the swap waiting, if any. The song it replaces
  // goes on the retired list for the GUI thread to free: the driving thread
  // never frees memory.
  void settle() {
    Song* next = pending_.exchange(nullptr, std::memory_order_acq_rel);
    if (!next) return;
    if (song_) {
      next->scheduler.takeOver(song_->scheduler, startHeld_.load(std::memory_order_relaxed));
      Song* old = song_.release();
      old->nextRetired = retired_.load(std::memory_order_relaxed);
      while (!retired_.compare_exchange_weak(old->nextRetired, old, std::memory_order_release, std::memory_order_relaxed)) {
      }
    }
    song_.reset(next);
    lengthFrames_.store(next->scheduler.length(), std::memory_order_relaxed);
    position_.store(next->scheduler.position(), std::memory_order_relaxed);
    if (loopToMs_.load(std::memory_order_relaxed) > loopFromMs_.load(std::memory_order_relaxed)) {
      loopFromMs_.store(next->loopMs.first, std::memory_order_relaxed);
      loopToMs_.store(next->loopMs.second, std::memory_order_relaxed);
    }
    swapsTaken_.fetch_add(1, std::memory_order_relaxed);
  }
  // The GUI thread, with the lock: a swap not taken is not wanted any more.
  void dropPending() {
    delete pending_.exchange(nullptr, std::memory_order_acq_rel);
    collect();
    loopTicks_ = {0, 0};
    loopFromMs_.store(0, std::memory_order_relaxed);
    loopToMs_.store(0, std::memory_order_relaxed);
  }
  // The GUI thread: frees the songs the driving thread has let go.
  void collect() {
    for (Song* s = retired_.exchange(nullptr, std::memory_order_acquire); s;) {
      Song* next = s->nextRetired;
      delete s;
      s = next;
    }
  }
  int64_t msOf(int64_t frames) const { return static_cast<int64_t>(std::floor(static_cast<double>(frames) * 1000.0 / rate_)); }

  std::mutex mutex_;                     // guards song_ and output_
  const std::unique_ptr<MidiOutput> output_;
  const double rate_;                    // frames per second
  std::unique_ptr<Song> song_;           // null when no file is open
  std::atomic<int64_t> lengthFrames_{0}; // the song's length, read without the lock
  std::atomic<bool> playing_{false};     // set by the GUI, cleared by either side
  std::atomic<int64_t> position_{0};     // frames, published after each buffer
  std::atomic<uint64_t> muted_[2] = {};  // the TrackMask the driving thread applies before each buffer
  std::atomic<Song*> pending_{nullptr};  // a swap the driving thread has not taken yet; owned
  std::atomic<Song*> retired_{nullptr};  // songs swapped out, for the GUI thread to free; owned
  std::atomic<bool> startHeld_{false};   // a swap starts the notes the new music holds (Scheduler::takeOver)
  std::atomic<uint64_t> swapsTaken_{0};  // swaps the driving thread has taken
  std::atomic<int64_t> worstLoad_{0};    // the slowest buffer's time to compute over its time to play, in thousandths
  std::pair<double, double> loopTicks_{0, 0};  // the loop as ticks; the GUI thread's alone
  std::atomic<int64_t> loopFromMs_{0};   // the loop in the time of the song that plays; none when to <= from
  std::atomic<int64_t> loopToMs_{0};
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

// What stays alive from one file to the next: the output, the engine over it
// and what drives the engine, built for one configuration.
struct Rig {
  PlayerConfig config;                    // what it was built for (soundFont as resolved)
  std::unique_ptr<Engine> engine;
  SynthOutput* synth = nullptr;           // the engine's output when it is the synthesizer
  fluid_audio_driver_t* audio = nullptr;  // the audio callback's driver, when a device opened
  std::unique_ptr<ClockThread> clock;     // else the clock drives the engine
  std::string driverInUse;
  bool deviceFound = false;
  std::string deviceNote;                 // kNoDevice when playing silently against the wish

  ~Rig() {
    if (!engine) return;
    engine->unload();  // sends the note offs while the output is still driven
    if (audio) delete_fluid_audio_driver(audio);
    clock.reset();
  }
};

struct Player::Impl {
  PlayerConfig config;
  std::unique_ptr<Rig> rig;                    // null until the first open, and after restart()
  std::shared_ptr<const Sequence> sequence;    // the open file; null when not open
  std::optional<int64_t> pendingStartMs;       // where the next play() starts; kept across open()
  std::string soundFont;                       // the SoundFont in use, "" when none
  std::string status;                          // the status bar's note, "" when all is well
  TrackMask muted{}, soloed{};                 // as set, by track chunk
  std::pair<int64_t, int64_t> loopMs{0, 0};    // the loop as set; none when second <= first
  bool startHeld = false;                      // setSwapStartsHeldNotes

  std::future<std::unique_ptr<Rig>> warming;  // warmUp()'s rig, being built on a worker

  // Makes the rig fit `config`, rebuilding only what a changed setting needs.
  void prepareRig();
  void buildRig(const std::string& font);
  // Takes warmUp()'s rig when there is none, waiting for it if need be; a
  // warm-up that failed is forgotten (the next open says why, as ever).
  void settleWarmUp();
  void load(Sequence sequence);
  void applyMutes();
};

namespace {

void startDriver(Rig& r, const PlayerConfig& config) {
  if (!r.synth) {  // a sequencer port: events go out by the clock
    r.clock = std::make_unique<ClockThread>(*r.engine, r.engine->sampleRate());
    r.driverInUse = "alsa-seq";
    r.deviceFound = true;
    return;
  }
  if (config.audioDriver != kSilentDriver) {
    quietAlsaLog();
    for (const std::string& name : driversToTry(config.audioDriver, r.synth->settings())) {
      if (fluid_settings_setstr(r.synth->settings(), "audio.driver", name.c_str()) != FLUID_OK) continue;
      r.audio = new_fluid_audio_driver2(r.synth->settings(), audioCallback, r.engine.get());
      if (r.audio) {
        r.driverInUse = name;
        r.deviceFound = true;
        takeFluidErrors();
        return;
      }
      // A driver that takes no callback (the file driver) renders the
      // synthesizer on its own; the clock sends the events, as to a port.
      r.audio = new_fluid_audio_driver(r.synth->settings(), r.synth->synth());
      if (r.audio) {
        r.synth->setRenderedElsewhere(true);
        r.clock = std::make_unique<ClockThread>(*r.engine, r.engine->sampleRate());
        r.driverInUse = name;
        r.deviceFound = true;
        takeFluidErrors();
        return;
      }
    }
    takeFluidErrors();
    r.deviceNote = zan::tr(kNoDevice);
  }
  r.clock = std::make_unique<ClockThread>(*r.engine, r.engine->sampleRate());
  r.driverInUse = kSilentDriver;
  r.deviceFound = false;
}

// Everything a file plays on, for `config` with the SoundFont `font`.
std::unique_ptr<Rig> makeRig(const PlayerConfig& config, const std::string& font) {
  auto r = std::make_unique<Rig>();
  r->config = config;
  r->config.soundFont = font;
  std::unique_ptr<MidiOutput> output;
  double rate = SynthOutput::kSampleRate;
  if (config.output.empty()) {
    auto s = std::make_unique<SynthOutput>(font, config.gain, config.sampleRate);
    r->synth = s.get();
    rate = s->sampleRate();
    output = std::move(s);
  } else {
    output = std::make_unique<AlsaOutput>(config.output);
  }
  r->engine = std::make_unique<Engine>(std::move(output), rate);
  startDriver(*r, config);
  return r;
}

}  // namespace

void Player::Impl::buildRig(const std::string& font) {
  rig.reset();
  rig = makeRig(config, font);
  rig->engine->setStartHeldNotes(startHeld);
}

void Player::Impl::settleWarmUp() {
  if (!warming.valid()) return;
  std::unique_ptr<Rig> warm;
  try {
    warm = warming.get();
  } catch (const std::exception&) {
  }
  if (rig || !warm) return;
  rig = std::move(warm);
  rig->engine->setStartHeldNotes(startHeld);
}

void Player::warmUp() {
  Impl& d = *impl_;
  if (d.rig || d.warming.valid()) return;
  d.warming = std::async(std::launch::async, [config = d.config]() -> std::unique_ptr<Rig> {
    std::string font;
    if (config.output.empty() && (font = findSoundFont(config.soundFont)).empty()) return nullptr;
    return makeRig(config, font);
  });
}

void Player::Impl::prepareRig() {
  settleWarmUp();
  std::string font;
  if (config.output.empty()) {
    font = findSoundFont(config.soundFont);
    if (font.empty()) throw PlayerError(zan::tr(kNoSoundFont));
  }
  const bool sameDriving = rig && rig->config.output == config.output &&
                           rig->config.audioDriver == config.audioDriver &&
                           rig->config.sampleRate == config.sampleRate;
  if (!sameDriving) {
    buildRig(font);
  } else if (rig->synth) {
    // The same device: a new SoundFont or gain goes into the running synthesizer.
    if (!(config.gain >= 0.0 && config.gain <= 10.0))
      throw PlayerError(zan::tr("synthesizer gain ") + std::to_string(config.gain) + zan::tr(" is outside 0..10"));
    Rig& r = *rig;
    if (font != r.config.soundFont) {
      r.engine->withOutput([&](MidiOutput&) { r.synth->loadSoundFont(font); });
      r.config.soundFont = font;
    }
    if (config.gain != r.config.gain) {
      r.engine->withOutput([&](MidiOutput&) { r.synth->setGain(config.gain); });
      r.config.gain = config.gain;
    }
  }
  soundFont = font;
}

void Player::Impl::load(Sequence s) {
  status.clear();
  try {
    prepareRig();
  } catch (const PlayerError& e) {
    status = e.what();
    sequence.reset();
    if (rig) rig->engine->unload();
    throw;
  }
  sequence = std::make_shared<const Sequence>(std::move(s));
  rig->engine->load(sequence);
  applyMutes();
  loopMs = {0, 0};
  status = rig->deviceNote;
  if (!config.soundFont.empty() && rig->synth && soundFont != config.soundFont)
    status = zan::tr("SoundFont ") + config.soundFont + zan::tr(" not found: using ") + soundFont;
}

void Player::Impl::applyMutes() {
  if (rig) rig->engine->setMuted(silencedTracks(muted, soloed));
}

Player::Player(PlayerConfig config) : impl_(std::make_unique<Impl>()) { impl_->config = std::move(config); }

Player::~Player() = default;

void Player::configure(PlayerConfig config) { impl_->config = std::move(config); }

const PlayerConfig& Player::config() const { return impl_->config; }

void Player::open(const std::string& smfPath) {
  close();
  Sequence sequence;
  std::string error;
  if (!loadSequence(smfPath, sequence, error)) throw PlayerError(error);
  impl_->load(std::move(sequence));
}

void Player::open(const std::vector<uint8_t>& smf, const std::string& name) {
  close();
  Sequence sequence;
  std::string error;
  if (!loadSequence(smf, name, sequence, error)) throw PlayerError(error);
  impl_->load(std::move(sequence));
}

void Player::close() {
  if (impl_->rig) impl_->rig->engine->unload();
  impl_->sequence.reset();
}

void Player::restart() {
  Impl& d = *impl_;
  std::shared_ptr<const Sequence> open = std::move(d.sequence);
  close();
  d.settleWarmUp();
  d.rig.reset();
  if (!open) return;
  d.status.clear();
  try {
    d.prepareRig();
  } catch (const PlayerError& e) {
    d.status = e.what();
    throw;
  }
  d.sequence = std::move(open);
  d.rig->engine->load(d.sequence);
  d.applyMutes();
  d.loopMs = {0, 0};
  d.status = d.rig->deviceNote;
}

bool Player::isOpen() const { return impl_->sequence != nullptr; }


int64_t Player::lengthMs() const { return isOpen() ? impl_->rig->engine->lengthMs() : 0; }

int64_t Player::positionMs() const { return isOpen() ? impl_->rig->engine->positionMs() : 0; }

void Player::setPositionMs(int64_t ms) {
  if (isOpen()) impl_->rig->engine->seek(ms);
}

void Player::setStartPositionMs(int64_t ms) { impl_->pendingStartMs = ms; }

void Player::play() {
  Impl& d = *impl_;
  if (!isOpen()) return;
  d.rig->engine->play(d.pendingStartMs);
  d.pendingStartMs.reset();
}

void Player::stop() {
  if (isOpen()) impl_->rig->engine->stop();
}

Mode Player::mode() const {
  if (!isOpen()) return Mode::NotReady;
  return impl_->rig->engine->playing() ? Mode::Playing : Mode::Stopped;
}

void Player::setLoopMs(int64_t fromMs, int64_t toMs) {
  impl_->loopMs = {fromMs, toMs};
  if (isOpen()) impl_->rig->engine->setLoop(fromMs, toMs);
}

void Player::clearLoop() { setLoopMs(0, 0); }

std::pair<int64_t, int64_t> Player::loopMs() const {
  // A swap to music of another tempo moves the loop's times with its bars.
  if (isOpen() && impl_->loopMs.second > impl_->loopMs.first) return impl_->rig->engine->loopMs();
  return impl_->loopMs;
}

std::shared_ptr<const Sequence> prepareMusic(const std::vector<uint8_t>& smf, const std::string& name) {
  auto sequence = std::make_shared<Sequence>();
  std::string error;
  if (!loadSequence(smf, name, *sequence, error)) throw PlayerError(error);
  indexForSwap(*sequence);
  return sequence;
}

bool Player::swap(std::shared_ptr<const Sequence> music) {
  if (!isOpen() || !music || music->checkpoints.empty()) return false;
  impl_->sequence = music;
  impl_->rig->engine->swap(std::move(music));
  return true;
}

bool Player::swap(const std::vector<uint8_t>& smf, const std::string& name) { return swap(prepareMusic(smf, name)); }

void Player::setSwapStartsHeldNotes(bool on) {
  impl_->startHeld = on;
  if (impl_->rig) impl_->rig->engine->setStartHeldNotes(on);
}

bool Player::swapStartsHeldNotes() const { return impl_->startHeld; }

double Player::takeWorstBufferLoad() { return impl_->rig ? impl_->rig->engine->takeWorstLoad() : 0.0; }

uint64_t Player::swapsTaken() const { return impl_->rig ? impl_->rig->engine->swapsTaken() : 0; }


void Player::setTrackMuted(int track, bool muted) {
  setTrack(impl_->muted, track, muted);
  impl_->applyMutes();
}

void Player::setTrackSoloed(int track, bool soloed) {
  setTrack(impl_->soloed, track, soloed);
  impl_->applyMutes();
}

bool Player::trackMuted(int track) const { return track >= 0 && inMask(impl_->muted, static_cast<uint32_t>(track)); }

bool Player::trackSoloed(int track) const { return track >= 0 && inMask(impl_->soloed, static_cast<uint32_t>(track)); }

bool Player::trackSilenced(int track) const {
  return track >= 0 && inMask(silencedTracks(impl_->muted, impl_->soloed), static_cast<uint32_t>(track));
}

bool Player::audioDeviceFound() const { return isOpen() && impl_->rig->deviceFound; }

std::string Player::audioDriverInUse() const { return isOpen() ? impl_->rig->driverInUse : std::string(); }

std::string Player::soundFontPath() const { return isOpen() ? impl_->soundFont : std::string(); }

std::string Player::statusText() const { return impl_->status; }

}  // namespace zan::player
