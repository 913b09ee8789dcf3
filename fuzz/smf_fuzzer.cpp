// SPDX-License-Identifier: MIT
// Reads arbitrary bytes as a Standard MIDI File, as the player does with
// every file it opens, and times what parses. No input may crash the reader
// or make it read out of bounds, and a sequence it builds must hold together.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "sequence.h"
#include "zan/smf_format.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<uint8_t> bytes(data, data + size);
  zan::smf::File file;
  std::string error;
  if (!zan::smf::parse(bytes, file, error)) return 0;
  zan::player::Sequence sequence;
  if (!zan::player::buildSequence(file, sequence, error)) return 0;
  int64_t previous = 0;
  for (const zan::player::TimedEvent& e : sequence.events) {
    // Time order, every message inside the byte store, none empty.
    if (e.us < previous || e.size == 0 || size_t{e.offset} + e.size > sequence.bytes.size()) __builtin_trap();
    previous = e.us;
  }
  if (!sequence.events.empty() && sequence.lengthUs < previous) __builtin_trap();
  return 0;
}
