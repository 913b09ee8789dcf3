// SPDX-License-Identifier: MIT
// --play and --wav on the player library, in the player program (see
// playback.h); it prints its own messages.
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <iterator>
#include <optional>
#include <thread>

#include "folder_watch.h"
#include "playback.h"
#include "player/player.h"
#include "zan/translate.h"


namespace zan::cli {
namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 2;

int fail(const std::string& message) {
  std::fprintf(stderr, "zan: %s\n", message.c_str());
  return kExitFailure;
}

player::PlayerConfig configOf(const PlaybackRequest& r) {
  player::PlayerConfig config;
  config.soundFont = r.soundFont;
  config.gain = r.gain;
  config.sampleRate = r.sampleRate;
  return config;
}

// The signal (SIGINT, SIGTERM or SIGHUP) that asked playback to end; the
// loop stops the player, so that no note is left sounding.
volatile std::sig_atomic_t interrupted = 0;

void onInterrupt(int signal) { interrupted = signal; }

// "1:02.5" for 62 500 ms.
std::string clockText(int64_t ms) {
  char buf[48];
  std::snprintf(buf, sizeof buf, "%lld:%02lld.%lld", static_cast<long long>(ms / 60000),
                static_cast<long long>(ms / 1000 % 60), static_cast<long long>(ms / 100 % 10));
  return buf;
}

// One line about a reload, ahead of the position line a terminal redraws.
void report(const PlaybackRequest& r, const std::string& line) {
  std::fprintf(r.progress, "%s%s\n", r.progressIsTerminal ? "\r\033[K" : "", line.c_str());
  std::fflush(r.progress);
}

// --watch: files have changed. A good compile is swapped in where the music
// stands (music that had ended starts again); anything else leaves the last
// good version playing and says why in one line.
void reload(const PlaybackRequest& r, player::Player& player, FolderWatch& watch, const std::vector<std::string>& changed) {
  std::string who;
  for (const std::string& file : changed) who += (who.empty() ? "" : ", ") + file;
  for (const std::string& file : changed)
    if (::access(file.c_str(), F_OK) != 0)
      return report(r, file + zan::tr(": deleted; still playing the last good version"));
  const Recompile compiled = r.recompile();
  for (const std::string& file : compiled.files) watch.add(file);
  if (!compiled.ok) return report(r, who + ": " + compiled.firstError + zan::tr("; still playing the last good version"));
  try {
    player.swap(compiled.smf, r.name);
  } catch (const player::PlayerError& e) {
    return report(r, who + ": " + e.what() + zan::tr("; still playing the last good version"));
  }
  if (player.mode() != player::Mode::Playing) {
    player.setPositionMs(0);
    player.play();
  }
  report(r, who + zan::tr(": compiled"));
}

class SynthPlayback final : public Playback {
 public:

  int renderWav(const PlaybackRequest& r) override {
    const player::TrackSelection tracks{r.mutedTracks, r.soloedTracks};
    try {
      if (r.smf)
        player::renderWav(*r.smf, r.name, r.wavPath, configOf(r), r.tailSeconds, tracks);
      else
        player::renderWav(r.smfPath, r.wavPath, configOf(r), r.tailSeconds, tracks);
    } catch (const player::PlayerError& e) {
      return fail(e.what());
    }
    return kExitOk;
  }

  int play(const PlaybackRequest& r) override {
    player::Player player(configOf(r));
    for (int t : r.mutedTracks) player.setTrackMuted(t, true);
    for (int t : r.soloedTracks) player.setTrackSoloed(t, true);
    try {
      if (r.smf)
        player.open(*r.smf, r.name);
      else
        player.open(r.smfPath);
    } catch (const player::PlayerError& e) {
      return fail(e.what());
    }
    if (!player.audioDeviceFound()) std::fprintf(stderr, zan::tr("zan: no audio device found: playing silently\n"));
    std::optional<FolderWatch> watch;
    if (r.recompile) {
      watch.emplace();
      for (const std::string& file : r.watched)
        if (!watch->add(file)) return fail(zan::tr("cannot watch ") + file + ": " + std::strerror(errno));
    }
    if (r.loopToMs > r.loopFromMs) player.setLoopMs(r.loopFromMs, r.loopToMs);
    interrupted = 0;
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    constexpr int kEnding[] = {SIGINT, SIGTERM, SIGHUP};
    struct sigaction previous[std::size(kEnding)] {};
    for (size_t i = 0; i < std::size(kEnding); ++i) sigaction(kEnding[i], &action, &previous[i]);
    auto show = [&](const char* lead, const char* end) {
      std::fprintf(r.progress, "%s  %s / %s%s", lead, clockText(player.positionMs()).c_str(),
                   clockText(player.lengthMs()).c_str(), end);
      std::fflush(r.progress);
    };
    player.play();
    // On a terminal one line is redrawn as the music goes; into a file or a
    // pipe go only the start and the end, each a line of its own.
    if (!r.progressIsTerminal) show("", "\n");
    while (!interrupted && (watch || player.mode() == player::Mode::Playing)) {
      if (r.progressIsTerminal) show("\r", "");
      if (!watch) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
      } else if (const std::vector<std::string> changed = watch->wait(std::chrono::milliseconds(100)); !changed.empty()) {
        reload(r, player, *watch, changed);
      }
    }
    player.stop();
    show(r.progressIsTerminal ? "\r" : "", "\n");
    player.close();
    for (size_t i = 0; i < std::size(kEnding); ++i) sigaction(kEnding[i], &previous[i], nullptr);
    // Ctrl+C ends with the status shells expect of it; SIGTERM and SIGHUP,
    // the sound ended, end the process as they would have.
    if (interrupted == SIGINT) return 128 + SIGINT;
    if (interrupted != 0) {
      std::signal(interrupted, SIG_DFL);
      std::raise(interrupted);
    }
    return kExitOk;
  }
};

}  // namespace

Playback* builtInPlayback() {
  static SynthPlayback playback;
  return &playback;
}

}  // namespace zan::cli
