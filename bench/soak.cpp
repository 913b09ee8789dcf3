// SPDX-License-Identifier: MIT
// The playback soak: drives two players (one on the silent driver, one on
// FluidSynth's file driver), kept for the whole run as the editor keeps its
// own, with random sequences of open, play, seek, loop, mute, solo, swaps of
// the music while it plays, stop and close, and checks that
//   - no call blocks for longer than 200 ms (a watchdog thread times each),
//   - the driving thread never takes longer to compute a buffer than the
//     buffer lasts (a swap included),
//   - no note is left sounding after a stop: the same operations drive a
//     scheduler twin in virtual time into a recording output, which must
//     have ended every note it started,
//   - after a swap, no note-on goes out that the music now playing does
//     not hold (the twin checks each against the current music's notes),
//   - memory stays flat: the resident size at the end is within 10% of the
//     resident size after the first minute.
//
//   zan_soak [--minutes M] [--seed S]     (make soak SOAK_MINUTES=10)
//
// Prints a line a minute and a summary; exits 1 when a check failed.
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <mutex>
#include <random>
#include <set>
#include <cmath>
#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "midi_output.h"
#include "player/player.h"
#include "scheduler.h"
#include "sequence.h"
#include "zan/tsmf.h"

namespace {

using Clock = std::chrono::steady_clock;
using zan::player::Player;

constexpr auto kMaxCall = std::chrono::milliseconds(200);

// Scores of a few tracks with programs, controllers, bends and notes that
// overlap, compiled in memory.
std::vector<uint8_t> compileScore(int variant) {
  static const char* const kScores[] = {
      "t132 _tr(0) @0 v100 l16 [8 c e g > c < ] _tr(1) @48 y7,90 o3 l2 [4 c g ] _tr(2) @33 p+200 o2 l8 [16 c c g g ]",
      "t90 _tr(0) @19 q16 o4 l1 c0e0g ^1 _tr(1) @0 ACTIVE_CC(11,40,127,1,0,1,0) l32 [32 c d e f ] _tr(3) o5 l4 [8 c < b > ]",
      "t200 _tr(0) l64 [64 c e ] _tr(1) @40 y10,20 l8 [16 g a ] _tr(2) @73 B(10) l4 [8 e f ] _tr(4) @9 l16 [32 c ]",
  };
  zan::TSmf smf;
  smf.sourceLines.setText(kScores[variant % 3]);
  return smf.CompileToBytes();
}

// Resident set size in KiB, from /proc.
long residentKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
  return 0;
}

// Times each call the driving thread makes; a call longer than kMaxCall is
// reported by name even while it still blocks.
class Watchdog {
 public:
  Watchdog() : thread_([this] { watch(); }) {}
  ~Watchdog() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      done_ = true;
    }
    wake_.notify_all();
    thread_.join();
  }
  template <typename F>
  void call(const char* name, F&& f) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      name_ = name;
      started_ = Clock::now();
      busy_ = true;
    }
    f();
    const auto took = Clock::now() - started_;
    std::lock_guard<std::mutex> lock(mutex_);
    busy_ = false;
    ++calls_;
    if (took > longest_) longest_ = took, longestName_ = name;
  }
  int stalls() const { return stalls_; }
  long calls() const { return calls_; }
  std::string longest() const {
    char buf[96];
    std::snprintf(buf, sizeof buf, "%.1f ms (%s)",
                  std::chrono::duration<double, std::milli>(longest_).count(), longestName_);
    return buf;
  }

 private:
  void watch() {
    std::unique_lock<std::mutex> lock(mutex_);
    bool reported = false;
    while (!done_) {
      wake_.wait_for(lock, std::chrono::milliseconds(20));
      if (busy_ && Clock::now() - started_ > kMaxCall) {
        if (!reported) {
          ++stalls_;
          std::fprintf(stderr, "STALL: %s has blocked for more than 200 ms\n", name_);
        }
        reported = true;
      } else if (!busy_) {
        reported = false;
      }
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  bool done_ = false;
  bool busy_ = false;
  const char* name_ = "";
  const char* longestName_ = "";
  Clock::time_point started_;
  Clock::duration longest_{};
  std::atomic<int> stalls_{0};
  long calls_ = 0;
  std::thread thread_;
};

uint32_t noteKey(const uint8_t* b) { return static_cast<uint32_t>(b[0] & 0x0F) << 16 | (b[1] & 0x7Fu) << 8 | b[2]; }

// A MIDI output that knows, per channel and key, whether a note sounds. A
// note-off ends every note of its key, as the synthesizer does; all sound
// off is not counted, so that the notes must each have been ended.
class NoteCounter : public zan::player::MidiOutput {
 public:
  void send(const uint8_t* b, size_t size) override {
    if (size != 3 || (b[0] & 0xE0) != 0x80) return;
    const bool on = (b[0] & 0xF0) == 0x90 && b[2] > 0;
    sounding_[b[0] & 0x0F][b[1] & 0x7F] = on;
    if (on && notes_ && !notes_->count(noteKey(b))) ++strangers_;
  }
  // The note-ons of the music playing now: any other is counted.
  void setMusic(const std::set<uint32_t>& noteOns) { notes_ = &noteOns; }
  int strangers() const { return strangers_; }
  void allSoundOff() override {}
  void reset() override {}
  void render(int, float*, float*) override {}
  int sounding() const {
    int total = 0;
    for (const auto& channel : sounding_)
      for (int n : channel) total += n;
    return total;
  }

 private:
  int sounding_[16][128] = {};  // 1 while the key sounds
  const std::set<uint32_t>* notes_ = nullptr;
  int strangers_ = 0;           // note-ons the music playing does not hold
};

// A twin's music: the sequence and the note-ons (channel, key, velocity) it holds.
struct TwinMusic : zan::player::Sequence {
  std::set<uint32_t> noteOns;
};
std::unique_ptr<TwinMusic> twinMusic(const std::vector<uint8_t>& file) {
  auto m = std::make_unique<TwinMusic>();
  std::string error;
  if (!zan::player::loadSequence(file, "soak", *m, error)) {
    std::fprintf(stderr, "zan_soak: %s\n", error.c_str());
    std::exit(2);
  }
  zan::player::indexForSwap(*m);
  for (const auto& e : m->events)
    if (e.size == 3 && (m->data(e)[0] & 0xF0) == 0x90 && m->data(e)[2] > 0) m->noteOns.insert(noteKey(m->data(e)));
  return m;
}

struct Options {
  double minutes = 10;
  unsigned seed = 1;
};

}  // namespace

int main(int argc, char** argv) {
  Options opt;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--minutes") == 0) opt.minutes = std::atof(argv[i + 1]);
    if (std::strcmp(argv[i], "--seed") == 0) opt.seed = static_cast<unsigned>(std::atoi(argv[i + 1]));
  }
  const std::string soundFont = zan::player::findSoundFont("");
  if (soundFont.empty()) {
    std::fprintf(stderr, "zan_soak: no SoundFont found\n");
    return 2;
  }
  // The file driver writes its sound into the working folder.
  char folder[] = "/tmp/zan_soak_XXXXXX";
  if (!::mkdtemp(folder) || ::chdir(folder) != 0) return 2;

  std::vector<std::vector<uint8_t>> files;
  std::vector<std::shared_ptr<const zan::player::Sequence>> prepared;  // the same, ready to swap in
  for (int v = 0; v < 3; ++v) {
    files.push_back(compileScore(v));
    prepared.push_back(zan::player::prepareMusic(files.back(), "soak"));
  }
  int strangers = 0, lateBuffers = 0;
  long swaps = 0;
  double worstLoad = 0;
  std::mt19937 random(opt.seed);
  auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };

  Watchdog watchdog;
  int hanging = 0, failures = 0;
  long residentAfterMinute = 0;
  const auto start = Clock::now();
  const auto end = start + std::chrono::duration<double, std::ratio<60>>(opt.minutes);
  auto nextReport = start + std::chrono::minutes(1);
  long operations = 0;
  // Two players for the whole run, as the editor keeps one: their
  // synthesizers and drivers live on while files come and go.
  std::vector<std::unique_ptr<Player>> players;
  for (const char* driver : {"silent", "file"}) {
    zan::player::PlayerConfig config;
    config.soundFont = soundFont;
    config.audioDriver = driver;
    players.push_back(std::make_unique<Player>(config));
  }
  for (int round = 0; Clock::now() < end; ++round) {
    Player& player = *players[static_cast<size_t>(round % 2)];
    // The scheduler twin: the same file and operations, in virtual time.
    const int file = pick(3);
    std::vector<std::unique_ptr<TwinMusic>> musics;  // every music the twin has played this round
    musics.push_back(twinMusic(files[static_cast<size_t>(file)]));
    NoteCounter counter;
    counter.setMusic(musics.back()->noteOns);
    auto twinOwner = std::make_unique<zan::player::Scheduler>(*musics.back(), counter, 44100);
    zan::player::TrackMask muted{}, soloed{};
    try {
      watchdog.call("open", [&] { player.open(files[static_cast<size_t>(file)], "soak"); });
      const int64_t length = player.lengthMs();
      for (int step = 0; step < 200 && Clock::now() < end; ++step, ++operations) {
        const int64_t at = length > 0 ? static_cast<int64_t>(random() % static_cast<uint64_t>(length)) : 0;
        zan::player::Scheduler& twin = *twinOwner;
        switch (pick(9)) {
          case 0:
            watchdog.call("play", [&] { player.play(); });
            break;
          case 1:
            watchdog.call("seek", [&] { player.setPositionMs(at); });
            twin.seek(twin.framesFromMs(at));
            break;
          case 2: {
            const int64_t to = at + 100 + pick(2000);
            watchdog.call("loop", [&] { player.setLoopMs(at, to); });
            twin.setLoop(twin.framesFromMs(at), twin.framesFromMs(to));
            break;
          }
          case 3: {
            const int track = pick(5);
            const bool on = pick(2) == 0;
            watchdog.call("mute", [&] { player.setTrackMuted(track, on); });
            zan::player::setTrack(muted, track, on);
            twin.setMutedTracks(zan::player::silencedTracks(muted, soloed));
            break;
          }
          case 4: {
            const int track = pick(5);
            const bool on = pick(3) == 0;
            watchdog.call("solo", [&] { player.setTrackSoloed(track, on); });
            zan::player::setTrack(soloed, track, on);
            twin.setMutedTracks(zan::player::silencedTracks(muted, soloed));
            break;
          }
          case 5:
            watchdog.call("stop", [&] { player.stop(); });
            twin.silence();
            if (counter.sounding() != 0) {
              ++hanging;
              std::fprintf(stderr, "HANGING: %d note(s) sound after a stop\n", counter.sounding());
            }
            break;
          case 6:
            watchdog.call("position", [&] { (void)player.positionMs(), (void)player.mode(); });
            break;
          case 7: {
            // Other music where it stands; the twin's loop keeps its ticks as the player's does.
            const int next = pick(3);
            watchdog.call("swap", [&] { player.swap(prepared[static_cast<size_t>(next)]); });
            ++swaps;
            const zan::player::Sequence& was = *musics.back();
            musics.push_back(twinMusic(files[static_cast<size_t>(next)]));
            auto taker = std::make_unique<zan::player::Scheduler>(*musics.back(), counter, 44100);
            if (twin.loopTo() > twin.loopFrom()) {
              const auto moved = [&](int64_t frames) {
                const double tick = was.tempo.tickOfMs(static_cast<double>(frames) * 1000.0 / 44100.0);
                return std::llround(musics.back()->tempo.msOfTick(tick) * 44.1);
              };
              taker->setLoop(moved(twin.loopFrom()), moved(twin.loopTo()));
            }
            counter.setMusic(musics.back()->noteOns);
            taker->takeOver(twin, pick(2) == 0);
            twinOwner = std::move(taker);
            break;
          }
          default:
            std::this_thread::sleep_for(std::chrono::milliseconds(pick(40)));
            twin.advance(static_cast<int>(random() % 8192), nullptr, nullptr);
            break;
        }
      }
      watchdog.call("stop", [&] { player.stop(); });
      twinOwner->silence();
      if (counter.sounding() != 0) ++hanging;
      watchdog.call("close", [&] { player.close(); });
      strangers += counter.strangers();
      const double load = player.takeWorstBufferLoad();
      worstLoad = std::max(worstLoad, load);
      if (load > 1.0) {
        ++lateBuffers;
        std::fprintf(stderr, "LATE: a buffer took %.2f times its own time to compute\n", load);
      }
    } catch (const zan::player::PlayerError& e) {
      ++failures;
      std::fprintf(stderr, "FAILED: %s\n", e.what());
    }
    if (Clock::now() >= nextReport) {
      const long rss = residentKiB();
      if (residentAfterMinute == 0) residentAfterMinute = rss;
      std::printf("%3.0f min: %ld operations, %ld calls, longest %s, resident %ld KiB\n",
                  std::chrono::duration<double, std::ratio<60>>(Clock::now() - start).count(), operations,
                  watchdog.calls(), watchdog.longest().c_str(), rss);
      std::fflush(stdout);
      nextReport += std::chrono::minutes(1);
    }
  }
  const long residentAtEnd = residentKiB();
  const bool flat = residentAfterMinute == 0 || residentAtEnd <= residentAfterMinute * 11 / 10;
  std::printf("soak: %.1f min, %ld operations, %ld swaps, %d stall(s) over 200 ms, longest call %s, %d hanging note(s) "
              "after stop, %d note-on(s) not in the music playing, %d late buffer(s) (worst %.2f of its time), "
              "%d failure(s), resident %ld KiB after the first minute, %ld KiB at the end (%s)\n",
              std::chrono::duration<double, std::ratio<60>>(Clock::now() - start).count(), operations, swaps,
              watchdog.stalls(), watchdog.longest().c_str(), hanging, strangers, lateBuffers, worstLoad, failures,
              residentAfterMinute, residentAtEnd, flat ? "flat" : "GROWING");
  players.clear();
  ::unlink("fluidsynth.wav");
  ::chdir("/");
  ::rmdir(folder);
  return watchdog.stalls() == 0 && hanging == 0 && strangers == 0 && lateBuffers == 0 && failures == 0 && flat ? 0 : 1;
}
