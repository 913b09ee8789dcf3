// SPDX-License-Identifier: MIT
// Plays a sequence on an output in frames of virtual time. The caller decides
// what a frame is worth in real time: the audio callback advances it by each
// buffer, a clock thread by the time that has passed, the offline render as
// fast as it can. Not thread-safe: the caller serialises every call.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "midi_output.h"
#include "player/player.h"
#include "sequence.h"

namespace zan::player {

// Tracks (file chunks 0..kMutableTracks - 1) as bits: bit t of word t / 64.
using TrackMask = std::array<uint64_t, kMutableTracks / 64>;
inline bool inMask(const TrackMask& m, uint32_t track) {
  return track < kMutableTracks && (m[track / 64] >> (track % 64) & 1) != 0;
}
inline void setTrack(TrackMask& m, int track, bool on) {
  if (track < 0 || track >= kMutableTracks) return;
  const uint64_t bit = uint64_t{1} << (track % 64);
  uint64_t& word = m[static_cast<size_t>(track / 64)];
  word = on ? (word | bit) : (word & ~bit);
}

// The tracks that play no notes: the muted ones, and when any is soloed,
// every one that is not. Numbers outside 0..127 are ignored.
TrackMask silencedTracks(const TrackMask& muted, const TrackMask& soloed);

class Scheduler {
 public:
  // REQUIRES: `sequence` and `output` outlive the scheduler.
  Scheduler(const Sequence& sequence, MidiOutput& output, double sampleRate);

  double sampleRate() const { return rate_; }
  int64_t position() const { return position_; }  // frames from the start
  int64_t length() const { return length_; }      // frames of the whole music
  bool atEnd() const { return loopTo_ <= loopFrom_ && position_ >= length_ && next_ == frames_.size(); }

  int64_t framesFromMs(int64_t ms) const;
  int64_t msFromFrames(int64_t frames) const;

  // Renders `frames` frames into left/right (null: discarded), sending every
  // event due inside them just before the frame it falls on, so the output
  // renders up to each event and then receives it. Time stops at the end of
  // the music; the rest of the buffer is rendered without advancing.
  void advance(int frames, float* left, float* right);

  // Sends a note off for every note sounding now, then all sound off on every
  // channel.
  void silence();

  // Moves to `frame` (kept within 0..length): silences, resets the output,
  // then sends again, in file order, every program change, controller,
  // pitch bend, channel pressure and system exclusive before the frame.
  // Notes that started before it are not sent again.
  void seek(int64_t frame);

  // Tracks whose note-ons are not sent; everything else of theirs (their
  // controllers, programs, note-offs) still is, so that lifting the mute
  // sounds as if it had never been. Notes a newly muted track is sounding
  // end at once.
  void setMutedTracks(const TrackMask& muted);

  // From now on, reaching frame `to` goes back to `from`: the sounding notes
  // end, the controllers, programs and bends that change between the two
  // are set back to what they were at `from`, and the music goes on from
  // there within the same buffer. `to` is kept within the length; to <= from
  // ends the loop. A position already past `to` plays on to the end.
  void setLoop(int64_t from, int64_t to);
  int64_t loopFrom() const { return loopFrom_; }
  int64_t loopTo() const { return loopTo_; }

  // The music changes under the playing: this scheduler (over the new
  // music, its loop already set) takes over from `old` at the tick `old`
  // stands on, which may be another time when the tempo before it changed.
  // There, the notes sounding that the new music does not hold end; those
  // it holds sound on to its note-offs; notes it holds that do not sound
  // start now with the rest of their length when `startHeld`, else wait
  // for their next note-on. Controllers, programs, channel pressure and
  // bends that differ from the new music's values there are sent, in the
  // order the new music set them (what it never set goes back to its
  // power-on value); system exclusives are not sent again. The muted tracks
  // carry over. Allocates nothing: the audio thread calls it.
  // REQUIRES: the sequence was indexed (indexForSwap).
  void takeOver(const Scheduler& old, bool startHeld);
  // The tick the music stands on: events before it have been sent, those
  // on it and after have not.
  double tickNow() const;

 private:
  void dispatch(size_t index);
  void track(const uint8_t* b, uint32_t size);
  void trackPowerOn();
  void endSoundingNotes(const TrackMask* only);
  void turnLoop();
  size_t firstEventAt(int64_t frame) const;

  const Sequence& sequence_;
  MidiOutput& output_;
  double rate_;                      // frames per second
  std::vector<int64_t> frames_;      // frame of each event of the sequence
  int64_t length_ = 0;               // frames of the whole music
  int64_t position_ = 0;             // frames played
  size_t next_ = 0;                  // first event not yet sent
  std::array<std::array<uint8_t, 128>, kChannels> sounding_{};  // note-ons not yet ended, by channel and key
  std::array<std::array<uint8_t, 128>, kChannels> owner_{};     // track of the last note-on sent, by channel and key
  TrackMask muted_{};                 // tracks whose note-ons are dropped
  int64_t loopFrom_ = 0;              // the loop's start and end frames; no loop when loopTo_ <= loopFrom_
  int64_t loopTo_ = 0;
  std::vector<std::vector<uint8_t>> loopState_;  // messages sent at each turn, after the notes end
  static constexpr int16_t kUnknown = -1;
  std::array<int16_t, kChannels * kStateSlots> sent_;  // the value last sent of each slot; kUnknown after a system exclusive
  MusicState swapState_;                                // a swap's scratch: the new music's state at its tick
  std::array<std::pair<int32_t, uint16_t>, kChannels * kStateSlots> swapOrder_;  // a swap's scratch: (setter, slot) to send
};

}  // namespace zan::player
