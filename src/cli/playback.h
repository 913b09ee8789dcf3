// SPDX-License-Identifier: MIT
// What zan asks of its playback. The compiler alone needs no audio library;
// FluidSynth and everything it brings (audio servers, GLib, SDL) would cost
// every compile several milliseconds of loading, and a dynamically linked
// zan another third of a millisecond of start-up. So zan is one static
// program without playback, and --play and --wav hand the whole run over
// (exec, same arguments) to the player program: the same zan, linked
// dynamically with the player. Both are built and installed together.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace zan::cli {

// --watch: the score compiled again as it now stands.
struct Recompile {
  bool ok = false;                 // compiled without errors
  std::vector<uint8_t> smf;        // the file, when ok
  std::string firstError;          // else the first error line (UTF-8), or why the score could not be read
  std::vector<std::string> files;  // the score and each file it included
};

// --loop with no range: the whole score, whatever its length after a reload.
inline constexpr int64_t kLoopWholeScoreMs = int64_t{1} << 40;

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
  int64_t loopFromMs = 0;    // --loop: the loop's start and end; none when loopToMs <= loopFromMs
  int64_t loopToMs = 0;
  // --watch: set, it compiles the score again; playing then goes on until
  // a signal ends it, swapping in each good compile of a changed file.
  std::function<Recompile()> recompile;
  std::vector<std::string> watched;  // --watch: the score and the files it included
};

class Playback {
 public:
  virtual ~Playback() = default;
  // Each returns zan's exit status, having printed its own one-line error
  // ("zan: ...") on standard error when it fails.
  virtual int renderWav(const PlaybackRequest& request) = 0;
  // Plays to the end (0), or until SIGINT (Ctrl+C: 130), SIGTERM or SIGHUP
  // (which, once the sound has stopped, end the process as they would);
  // a loop or a watch plays on until one of them comes.
  virtual int play(const PlaybackRequest& request) = 0;
};

// The player program's file name. zan looks for it in ZAN_PLAYER_DIR (the
// installation's helper folder, ../libexec/zan, relative to zan's own
// directory), then in its own directory (the build); the environment
// variable ZAN_PLAYER names another path.
inline constexpr const char* kPlayerProgram = "zan-play";
// The Debian package that installs it, named when it is missing.
inline constexpr const char* kPlayerPackage = "zan-player";
// Set by zan for the player program: the version that handed over, which
// must be the player's own.
inline constexpr const char* kHandedOverVariable = "ZAN_HANDED_OVER";

// The player program's playback, linked in.
Playback* builtInPlayback();

}  // namespace zan::cli
