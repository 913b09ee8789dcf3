// SPDX-License-Identifier: MIT
// Standard MIDI File layout constants, shared by the writer and by the small
// reader that tests and the player use.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zan::smf {

inline constexpr char kHeaderId[4] = {'M', 'T', 'h', 'd'};
inline constexpr char kTrackId[4] = {'M', 'T', 'r', 'k'};
inline constexpr uint32_t kHeaderLength = 6;     // bytes of header data after the length
inline constexpr int kHeaderSize = 14;           // id + length + format + tracks + division
inline constexpr uint16_t kFormat = 1;           // always format 1, even with one track
inline constexpr uint8_t kEndOfTrack[4] = {0x00, 0xFF, 0x2F, 0x00};  // delta 0 + meta 2F

// Appends a chunk id.
inline void putId(std::vector<uint8_t>& out, const char (&id)[4]) {
  for (char c : id) out.push_back(static_cast<uint8_t>(c));
}
// Appends `value` as a variable-length quantity (1..5 bytes).
void putVarLen(std::vector<uint8_t>& out, uint32_t value);
// Writes `value` as a variable-length quantity at `p`; returns the end.
// REQUIRES: p has room for five bytes.
inline uint8_t* writeVarLen(uint8_t* p, uint32_t value) {
  if (value < 0x80) {  // most deltas
    *p = static_cast<uint8_t>(value);
    return p + 1;
  }
  int shift = 28;
  while ((value >> shift) == 0) shift -= 7;
  for (; shift > 0; shift -= 7) *p++ = static_cast<uint8_t>(((value >> shift) & 0x7F) | 0x80);
  *p = static_cast<uint8_t>(value & 0x7F);
  return p + 1;
}
// Appends `value` big-endian in exactly `bytes` bytes.
void putBigEndian(std::vector<uint8_t>& out, uint32_t value, int bytes);

// A parsed file: enough for tests to dump events and for the player to
// schedule them.
struct Event {
  uint32_t tick = 0;               // absolute tick within its track
  std::vector<uint8_t> bytes;      // the event without its delta time
};
struct Track {
  std::vector<Event> events;       // end of track included
};
struct File {
  int format = 0;
  int division = 0;
  std::vector<Track> tracks;
};

// What parse() accepts. Written: the files the writer produces, nothing
// else. AnyWellFormed: files from other programs as well: running status
// (each event is stored with its status byte all the same), a header
// longer than six bytes, chunks of other kinds (skipped) and a track that
// ends with its chunk instead of an end-of-track event.
enum class Accept { Written, AnyWellFormed };

// Parses `data`. Returns false with a reason in `error` when it is not a
// well-formed file of the kind `accept` names.
bool parse(const std::vector<uint8_t>& data, File& out, std::string& error, Accept accept = Accept::Written);

}  // namespace zan::smf
