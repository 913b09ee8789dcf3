// The event list of one track: complete SMF event bytes (without delta
// times) and their times, sorted once before the file is written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zan {

class Tivent {
 public:
  struct Entry {
    int32_t time;    // ticks from the start of the song; may be negative
    int32_t offset;  // first byte of the event in data()
    int32_t size;    // byte count of the event
    int32_t line;    // index into sourceLines of the line that made the event
  };

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
  const uint8_t* bytes(const Entry& e) const { return data_.data() + e.offset; }
  const std::vector<uint8_t>& data() const { return data_; }
  const std::vector<Entry>& entries() const { return entries_; }

 private:
  std::vector<uint8_t> data_;    // the bytes of all events, in the order added
  std::vector<Entry> entries_;   // one record per event; sorting moves these only
};

}  // namespace zan
