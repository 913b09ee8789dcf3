// SPDX-License-Identifier: MIT
// 32-bit arithmetic that wraps the way the language defines it, without the
// undefined behaviour of signed overflow, and the rounding the language uses.
#pragma once

#include <cmath>
#include <cstdint>

namespace zan {

inline int32_t wrap(int64_t v) { return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(v))); }
inline int32_t wrapAdd(int32_t a, int32_t b) { return wrap(static_cast<int64_t>(a) + b); }
inline int32_t wrapSub(int32_t a, int32_t b) { return wrap(static_cast<int64_t>(a) - b); }
inline int32_t wrapMul(int32_t a, int32_t b) { return wrap(static_cast<int64_t>(a) * b); }

template <typename T>
inline T clampTo(T v, T lo, T hi) { return v < lo ? lo : v > hi ? hi : v; }
inline int32_t clamp32(int64_t v, int32_t lo, int32_t hi) {
  return static_cast<int32_t>(v < lo ? lo : v > hi ? hi : v);
}

// Rounds to the nearest integer, halves to even (2.5 -> 2, 3.5 -> 4), and
// wraps the result to 32 bits. Values beyond 64 bits do not occur: callers
// pass lengths and products of 32-bit numbers.
inline int32_t roundHalfEven(double v) {
  double r = std::nearbyint(v);  // the default rounding mode rounds halves to even
  if (!(r > -9.2e18 && r < 9.2e18)) return 0;
  return wrap(static_cast<int64_t>(r));
}

// How long a note of `length` ticks sounds at gate `gate` (sixteenths of
// its length) and gate offset `offset` (ticks): halves round to even. The
// one rule for the compiler, and for the importer that writes lengths the
// compiler will read back.
inline int32_t soundingTicks(int64_t length, int32_t gate, int32_t offset) {
  return roundHalfEven(static_cast<double>(length) * gate / 16.0 + offset);
}

// Ticks from a note's note-on to its note-off: one before the end of its
// sounding length, but never at or before the note-on.
inline int32_t noteOffDelay(int32_t sounding) { return sounding > 1 ? sounding - 1 : 1; }

}  // namespace zan
