// The event list of one track: complete SMF event bytes (without delta
// times) and their times, sorted once before the file is written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace zan {

class Tivent {
 public:
  // Events of up to this many bytes (every channel message) are kept in
  // their entry; longer ones (meta texts, system exclusive) in data().
  static constexpr int32_t kInlineBytes = 4;

  struct Entry {
    int32_t time;      // ticks from the start of the song; may be negative
    int32_t line;      // index into sourceLines of the line that made the event
    uint32_t payload;  // the bytes themselves when size <= kInlineBytes, else their offset in data()
    int32_t size;      // byte count of the event
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
  // REQUIRES: e is an entry of this list (inline bytes live in the entry).
  const uint8_t* bytes(const Entry& e) const {
    return e.size <= kInlineBytes ? reinterpret_cast<const uint8_t*>(&e.payload) : data_.data() + e.payload;
  }
  const std::vector<uint8_t>& data() const { return data_; }
  const std::vector<Entry>& entries() const { return entries_; }

 private:
  bool isStrictlyIncreasing() const;

  std::vector<uint8_t> data_;    // the bytes of the longer events, in the order added
  std::vector<Entry> entries_;   // one record per event; sorting moves these only
};

}  // namespace zan
