// SPDX-License-Identifier: MIT
// The event list of one track: complete SMF event bytes (without delta
// times) and their times, sorted once before the file is written.
#pragma once

#include <cstddef>
#include <cstdint>

#include "zan/growable_array.h"

namespace zan {

class Tivent {
 public:
  // 12 bytes an event: a compile of a million notes keeps two million.
  struct Entry {
    int32_t time;        // ticks from the start of the song; may be negative
    int32_t line;        // index into sourceLines of the line that made the event; while the compiler
                         //   records event sources, the index of the event's source instead
    uint8_t payload[4];  // a channel message itself (status byte first), or kLong
                         // and the index of the event's bytes in data() (24 bits)
  };
  static constexpr uint8_t kLong = 0xFF;  // never the status of a channel message

  void Clear();
  // Appends one event. Returns false (and drops the event) when memory for it
  // cannot be obtained.
  bool Add(int32_t time, const uint8_t* bytes, int32_t size, int32_t line = -1);
  int Count() const { return static_cast<int>(entries_.size()); }
  bool empty() const { return entries_.empty(); }
  // Orders the entries by time with the quicksort below. The order it leaves
  // equal times in is part of the output format, so it must not be replaced
  // by a standard sort.
  void Sort();

  const Entry& entry(int i) const { return entries_[static_cast<size_t>(i)]; }
  // REQUIRES: e is an entry of this list, or a copy of one.
  const uint8_t* bytes(const Entry& e) const {
    return e.payload[0] == kLong ? data_.data() + longs_[longIndex(e)].offset : e.payload;
  }
  int32_t size(const Entry& e) const {
    return e.payload[0] == kLong ? longs_[longIndex(e)].size : channelMessageSize(e.payload[0]);
  }
  // The bytes of a channel message with this status byte (0x80..0xEF).
  static int32_t channelMessageSize(uint8_t status) { return (status & 0xE0) == 0xC0 ? 2 : 3; }
  const GrowableArray<uint8_t>& data() const { return data_; }
  const GrowableArray<Entry>& entries() const { return entries_; }

 private:
  // Where the bytes of an event that is not a channel message are.
  struct Long {
    uint32_t offset;
    int32_t size;
  };
  static uint32_t longIndex(const Entry& e) {
    return e.payload[1] | (static_cast<uint32_t>(e.payload[2]) << 8) | (static_cast<uint32_t>(e.payload[3]) << 16);
  }
  bool isStrictlyIncreasing() const;

  GrowableArray<uint8_t> data_;   // the bytes of the other events (meta, system exclusive), in the order added
  GrowableArray<Long> longs_;     // where each of them is
  GrowableArray<Entry> entries_;  // one record per event; sorting moves these only
};

}  // namespace zan
