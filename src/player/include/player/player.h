// SPDX-License-Identifier: MIT
// The playback engine: plays a Standard MIDI File through the built-in
// synthesizer (FluidSynth with a General MIDI SoundFont) or an ALSA sequencer
// port, and renders one to a WAV file.
//
// Every Player method is called from one thread (the GUI's). The music is
// driven from another (the audio callback, or a clock thread when there is no
// audio device); the GUI polls mode() and positionMs() and needs no callbacks.
//
// The synthesizer, its SoundFont and the audio driver are set up by the first
// open() and kept from then on: close() and the next open() only change the
// music, so a second file starts sounding at once. A changed configuration is
// applied at the next open() by changing only what it touches (the gain and
// the SoundFont go into the running synthesizer; another output, driver or
// sample rate builds everything anew); restart() builds everything anew.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace zan::player {

// Track chunks 0..kMutableTracks - 1 can be muted and soloed; chunks
// beyond are never muted.
inline constexpr int kMutableTracks = 128;

enum class Mode { NotReady, Stopped, Playing, Recording, Seeking, Paused, Open };

struct PlayerConfig {
  std::string output;       // "" = built-in synthesizer; otherwise an ALSA sequencer port "client:port"
  std::string soundFont;    // "" = find one (see findSoundFont)
  std::string audioDriver;  // "" = automatic (FluidSynth's default, then the others); "silent" = no audio, real time
  double gain = 0.5;        // master gain of the synthesizer, 0..10 (FluidSynth's synth.gain)
  double sampleRate = 44100.0;  // frames per second of the built-in synthesizer
};

class PlayerError : public std::runtime_error {
 public:
  using runtime_error::runtime_error;
};

// A compiled file read and timed for playing, indexed for Player::swap.
struct Sequence;
// Reads `smf` for Player::swap on any thread (a background compile's, say),
// so that the GUI thread does little of a swap's work. Throws PlayerError
// for bytes that are no playable file; `name` names them in the error.
std::shared_ptr<const Sequence> prepareMusic(const std::vector<uint8_t>& smf, const std::string& name);

class Player {
 public:
  explicit Player(PlayerConfig config = {});
  ~Player();  // stops (silencing every note) and closes
  Player(const Player&) = delete;
  Player& operator=(const Player&) = delete;

  // Sets up the synthesizer, its SoundFont and the audio driver for the
  // configuration on a worker thread and returns at once, so that the
  // first open() finds them ready (waiting only for what is left of the
  // work). A warm-up that fails changes nothing: open() tries again and
  // reports. Does nothing once set up.
  void warmUp();

  // Takes effect at the next open().
  void configure(PlayerConfig config);
  const PlayerConfig& config() const;

  // Opens a file for playback (closing what was open). Throws PlayerError for
  // an unreadable or invalid file, a SoundFont that cannot be found or
  // loaded, a sequencer port that cannot be opened or a gain out of 0..10.
  // After: Stopped at 0.
  void open(const std::string& smfPath);
  // The same for a file already in memory; `name` names it in errors.
  void open(const std::vector<uint8_t>& smf, const std::string& name);
  // Stops and lets the file go (the synthesizer and the driver stay);
  // closing a player that is not open does nothing.
  void close();
  bool isOpen() const;
  // Releases the synthesizer, the SoundFont and the driver, and sets them up
  // again for the file that is open (if any), Stopped at 0. Throws as open().
  void restart();

  int64_t lengthMs() const;    // 0 when not open
  int64_t positionMs() const;
  // Seeks (a playing player stops). Positions outside 0..lengthMs() stand at
  // the nearer end. Controllers, programs and system exclusives before the
  // position are sent again so that the music sounds as it would have.
  void setPositionMs(int64_t ms);
  // The next play() starts at `ms`; later plays do not.
  void setStartPositionMs(int64_t ms);
  // Returns at once. A player standing at its end is rewound to 0 first
  // (unless a start position is pending).
  void play();
  // Stops; the position stays. Every sounding note is silenced at once.
  void stop();
  // NotReady when not open; Stopped or Playing. At the end of the music the
  // player becomes Stopped by itself, its position at the length.
  Mode mode() const;

  // Playing through `toMs` goes on at `fromMs`, seamlessly, until the loop is
  // cleared or another file opened; toMs <= fromMs clears it. Times are
  // those of positionMs().
  void setLoopMs(int64_t fromMs, int64_t toMs);
  void clearLoop();
  std::pair<int64_t, int64_t> loopMs() const;  // {0, 0} when there is none

  // Replaces the music of the open file, playing or not, at the tick it
  // stands on; returns false (changing nothing) when no file is open. The
  // position follows the ticks, not the time: when the tempo before it
  // changed, positionMs() jumps with it, and the loop keeps its bars. At
  // that tick the notes sounding that the new music does not hold end; the
  // notes it holds start at their next note-on, or with the rest of their
  // length when setSwapStartsHeldNotes(true); controllers, programs,
  // pressure and bends take the new music's values there, as a seek sets
  // them. The driving thread takes the music at its next buffer by a
  // pointer exchange: it never waits for the swap nor allocates for it.
  bool swap(std::shared_ptr<const Sequence> music);
  // prepareMusic, then swap. Throws PlayerError as prepareMusic does.
  bool swap(const std::vector<uint8_t>& smf, const std::string& name);
  void setSwapStartsHeldNotes(bool on);  // off at first
  bool swapStartsHeldNotes() const;
  // Swaps the driving thread has taken so far (it takes only the newest of
  // several made between two buffers).
  uint64_t swapsTaken() const;
  // The slowest buffer the driving thread has computed since the last call,
  // as its time to compute over its time to play: above 1 it came late (a
  // stall). 0 when nothing has been computed.
  double takeWorstBufferLoad();

  // Mute and solo by track chunk of the file (0 = the first; 0..127), kept
  // from one file to the next and applied at once, also while playing. A
  // silenced track (muted, or not soloed while another is) sends no
  // note-ons; its controllers, programs and bends still go out, so that
  // lifting the mute sounds right.
  void setTrackMuted(int track, bool muted);
  void setTrackSoloed(int track, bool soloed);
  bool trackMuted(int track) const;
  bool trackSoloed(int track) const;
  bool trackSilenced(int track) const;

  // False when playback runs silently because no audio device could be
  // opened (or "silent" was asked for).
  bool audioDeviceFound() const;
  // The audio driver in use ("silent" when none), "" when not open.
  std::string audioDriverInUse() const;
  std::string soundFontPath() const;  // the SoundFont in use ("" when none)
  // A one-line note for the status bar when something is degraded (no audio
  // device, no SoundFont, the last open failed); "" when all is well.
  std::string statusText() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// `setting` if it names a readable file, else the first SoundFont found in
// the usual places; "" when there is none.
std::string findSoundFont(const std::string& setting);

struct PortInfo {
  std::string id;    // "client:port"
  std::string name;  // "client name: port name"
};
// Ports an ALSA sequencer client can write to; empty where the machine has no
// sequencer (or the build has no ALSA).
std::vector<PortInfo> alsaOutputPorts();

// The audio drivers this FluidSynth offers ("file" excluded).
std::vector<std::string> audioDrivers();

// Track chunks of the file (0 = the first) that play no notes in a render,
// as Player::setTrackMuted and setTrackSoloed do.
struct TrackSelection {
  std::vector<int> muted;
  std::vector<int> soloed;  // when any: the only tracks that play notes
};

// Seconds of sound rendered after the music ends, at most.
inline constexpr double kRenderTailSeconds = 1.5;

// Renders the file with the built-in synthesizer (config.output is ignored)
// to a stereo 16-bit WAV file at config.sampleRate, as fast as the machine
// allows. After the last event the render goes on while the synthesizer
// still sounds, for `tailSeconds` at most, so that releases and reverb are
// not cut off. The file is written as zan writes every file
// (zan/output_file.h): a failed render leaves no partial file. A `wavPath`
// of "-" is standard output. Throws PlayerError.
void renderWav(const std::string& smfPath, const std::string& wavPath, const PlayerConfig& config,
               double tailSeconds = kRenderTailSeconds, const TrackSelection& tracks = {});
// The same for a file already in memory; `name` names it in errors.
void renderWav(const std::vector<uint8_t>& smf, const std::string& name, const std::string& wavPath,
               const PlayerConfig& config, double tailSeconds = kRenderTailSeconds, const TrackSelection& tracks = {});

}  // namespace zan::player
