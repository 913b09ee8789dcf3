// What zan asks of its playback module. The compiler alone needs no audio
// library; FluidSynth and everything it brings (audio servers, GLib, SDL)
// would cost every compile several milliseconds of loading. So --play and
// --wav live in a module that zan loads only when one of them is asked for.
// zan and the module are built and installed together, from one source tree.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace zan::cli {

struct PlaybackRequest {
  // The compiled file: in memory when `smf` is set, else at `smfPath`.
  const std::vector<uint8_t>* smf = nullptr;
  std::string smfPath;
  std::string name;          // names the file in messages
  std::string soundFont;     // "" = the player's search
  double gain = 0.5;         // master gain, 0..10
  double sampleRate = 44100;
  double tailSeconds = 1.5;  // --wav: sound kept after the music, at most
  std::string wavPath;       // --wav: where the render goes
  std::vector<int> mutedTracks;   // track chunks of the file (0 = the first) that play no notes
  std::vector<int> soloedTracks;  // when any: the only chunks that play notes
  std::FILE* progress = stdout;  // --play: where "position / length" goes
  bool progressIsTerminal = false;  // --play: redraw one line with carriage returns
};

class PlaybackModule {
 public:
  virtual ~PlaybackModule() = default;
  // The version the module was built as; zan refuses a module of another.
  virtual const char* version() const = 0;
  // Each returns zan's exit status, having printed its own one-line error
  // ("zan: ...") on standard error when it fails.
  virtual int renderWav(const PlaybackRequest& request) = 0;
  // Plays to the end, or until SIGINT (Ctrl+C), which ends the run normally.
  virtual int play(const PlaybackRequest& request) = 0;
};

// The module's one exported symbol: returns its PlaybackModule.
inline constexpr const char* kPlaybackEntry = "zan_playback_module_v1";
using PlaybackEntry = PlaybackModule* (*)();

// The module's file name, looked for in ../lib/zan/ from the directory of
// the zan executable (where both the build and an installation put it);
// the environment variable ZAN_PLAYER_MODULE names another path.
inline constexpr const char* kPlaybackModuleFile = "zan-player.so";

}  // namespace zan::cli
