// SPDX-License-Identifier: MIT
// The per-track event list and its sort.
#include "zan/tivent.h"

#include <bit>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

namespace zan {

void Tivent::Clear() {
  data_.clear();
  longs_.clear();
  entries_.clear();
}

bool Tivent::Add(int32_t time, const uint8_t* bytes, int32_t size, int32_t line) {
  const bool channel = size >= 2 && bytes[0] >= 0x80 && bytes[0] < 0xF0 && size == channelMessageSize(bytes[0]);
  const size_t index = longs_.size();
  if (!channel) {
    if (index >= (size_t{1} << 24)) return false;  // more than the 24 bits of an entry can name
    Long* where = longs_.append(1);
    if (!where) return false;
    uint8_t* to = data_.append(static_cast<size_t>(size));
    if (!to && size > 0) {
      longs_.shrinkTo(index);
      return false;
    }
    *where = Long{static_cast<uint32_t>(data_.size() - static_cast<size_t>(size)), size};
    if (size > 0) std::memcpy(to, bytes, static_cast<size_t>(size));
  }
  Entry* e = entries_.append(1);
  if (!e) {
    if (!channel) {
      longs_.shrinkTo(index);
      data_.shrinkTo(data_.size() - static_cast<size_t>(size));
    }
    return false;
  }
  // Filled in place, the payload as one word: an entry assembled byte by
  // byte on the stack and then copied stalled the store buffer on every event.
  e->time = time;
  e->line = line;
  const uint32_t payload =
      channel ? bytes[0] | static_cast<uint32_t>(bytes[1]) << 8 | (size == 3 ? static_cast<uint32_t>(bytes[2]) << 16 : 0)
              : kLong | static_cast<uint32_t>(index) << 8;
  static_assert(std::endian::native == std::endian::little, "the payload word is stored status byte first");
  std::memcpy(e->payload, &payload, sizeof payload);
  return true;
}

namespace {

// Times compare by the sign of their difference in 32-bit arithmetic, which
// wraps: two times more than 2^31 ticks apart compare the "wrong" way round,
// and files depend on that order as much as on any other.
inline int compareTimes(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}

}  // namespace

// A list whose times rise strictly, over less than 2^31 ticks, is what the
// sort below would leave it as: with no equal times and no comparison that
// wraps, its order is the one sorted order. Most tracks of one voice are.
bool Tivent::isStrictlyIncreasing() const {
  for (size_t i = 1; i < entries_.size(); ++i)
    if (entries_[i - 1].time >= entries_[i].time) return false;
  return static_cast<int64_t>(entries_.back().time) - entries_.front().time < (int64_t{1} << 31);
}

// A quicksort with the middle entry's time as the key of each pass. It is not
// stable: equal times come out in an order that is part of the file format
// (A B C D become C D A B). The left part of each pass is sorted as a
// sub-range, the right part by the loop; sub-ranges are disjoint, so keeping
// them on an explicit stack instead of recursing gives the same result
// without risking the call stack on adversarial input.
void Tivent::Sort() {
  if (entries_.empty() || isStrictlyIncreasing()) return;
  std::vector<std::pair<int, int>> pending;
  pending.emplace_back(0, static_cast<int>(entries_.size()) - 1);
  Entry* e = entries_.data();
  while (!pending.empty()) {
    auto [L, R] = pending.back();
    pending.pop_back();
    int I, J;
    do {
      I = L;
      J = R;
      const int32_t key = e[(L + R) / 2].time;
      do {
        while (I < R && compareTimes(e[I].time, key) < 0) ++I;
        while (J > L && compareTimes(e[J].time, key) > 0) --J;
        if (I <= J) {
          std::swap(e[I], e[J]);
          ++I;
          --J;
        }
      } while (I <= J);
      if (L < J) pending.emplace_back(L, J);
      L = I;
    } while (I < R);
  }
}

}  // namespace zan
