// SPDX-License-Identifier: MIT
// A parsed file turned into one list of playable events with their times, the
// tempo map applied.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "midi_output.h"
#include "zan/music.h"
#include "zan/smf_format.h"

namespace zan::player {

// One event to send: a channel message (status and data bytes) or a system
// exclusive message (F0 ... F7).
struct TimedEvent {
  int64_t us = 0;          // time from the start of the music, microseconds
  uint32_t offset = 0;     // first byte in Sequence::bytes
  uint32_t size = 0;       // bytes of the message
  uint32_t track = 0;      // the track chunk it comes from, 0 = the first in the file
  uint32_t trackEvent = 0; // its place among that chunk's events (meta events counted)
  uint32_t tick = 0;       // its tick in the file
};

// Per channel, the pieces of state a swap of music sets to the new music's
// values: controllers 0..127, then the program, channel pressure and bend.
inline constexpr int kStateSlots = 131;
inline constexpr int kProgramSlot = 128, kPressureSlot = 129, kBendSlot = 130;

// What the music has set up before some event: the last event that set each
// piece of channel state and the notes that sound. A swap reads it at the
// tick it happens on, so the notes ended and the state sent are those of
// the new music there.
struct MusicState {
  std::array<int32_t, kChannels * kStateSlots> setter;  // index of the last event setting each slot; -1 none
  std::array<int32_t, kChannels * 128> lastOn;          // index of the last note-on of each key; -1 none
  std::array<uint8_t, kChannels * 128> held;            // note-ons not yet ended, by channel * 128 + key

  void clear() {
    setter.fill(-1);
    lastOn.fill(-1);
    held.fill(0);
  }
};

struct Sequence {
  // Time order. Events on the same tick keep file order: a lower track first,
  // then the order within the track.
  std::vector<TimedEvent> events;
  std::vector<uint8_t> bytes;  // the messages, back to back
  int64_t lengthUs = 0;        // time of the last event of any track (end of track included)
  int division = 96;           // ticks per quarter note
  TempoMap tempo;              // the tempo changes of every track; the compiler's music model times by the same

  // The time of a tick by the tempo map, µs from the start, rounded as the
  // events' times are.
  int64_t usAtTick(int64_t tick) const { return tempo.usAtTick(tick); }

  const uint8_t* data(const TimedEvent& e) const { return bytes.data() + e.offset; }

  // The state before event k * kCheckpointEvery, for every k up to the
  // events' count; filled by indexForSwap. A swap then walks at most
  // kCheckpointEvery events from the nearest one, whatever the music's size.
  static constexpr size_t kCheckpointEvery = 8192;
  std::vector<MusicState> checkpoints;

  // The state before event `end`. REQUIRES: indexForSwap has run. Allocates
  // nothing (the audio thread calls it).
  void stateBefore(size_t end, MusicState& out) const;
  // Adds event `index` to `state`.
  void step(size_t index, MusicState& state) const;
  // The first event on `tick` or after it (ticks may be fractional: the
  // first above).
  size_t firstEventAtTick(double tick) const;
};

// The slot of channel state a chased channel message sets, -1 for any other
// message (notes, polyphonic pressure, system exclusive).
int stateSlot(const uint8_t* b, uint32_t size);
// The value a slot's message carries (the bend's 14 bits as one number).
int stateValue(const uint8_t* b);
// The General MIDI power-on value of a slot.
int powerOnValue(int slot);
// The message that sets `slot` of channel `ch` to `value`; returns its size.
uint32_t stateMessage(int ch, int slot, int value, uint8_t* out);

// Fills the sequence's checkpoints.
void indexForSwap(Sequence& sequence);

// Builds the sequence of a parsed format-0 or format-1 file with a
// ticks-per-quarter timebase. Tempo changes (meta 51) in any track apply to
// all tracks. Meta events other than tempo, and F7 escapes, are not sent.
// Returns false with a reason in `error` for a file it cannot time.
bool buildSequence(const smf::File& file, Sequence& out, std::string& error);

// Reads and parses the file at `path`, then builds its sequence.
bool loadSequence(const std::string& path, Sequence& out, std::string& error);
// The same for a file already in memory; `name` names it in the error.
bool loadSequence(const std::vector<uint8_t>& data, const std::string& name, Sequence& out, std::string& error);

}  // namespace zan::player
