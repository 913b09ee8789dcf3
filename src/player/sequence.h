// SPDX-License-Identifier: MIT
// A parsed file turned into one list of playable events with their times, the
// tempo map applied.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

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
};

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
