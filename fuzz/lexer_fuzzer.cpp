// SPDX-License-Identifier: MIT
// Lexes arbitrary bytes line by line, as the editor's highlighter does while
// a user types, carrying the state from each line to the next. No input may
// crash the lexer or make it read out of bounds, and its spans must lie
// inside their line, in order, without overlapping.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "zan/lexer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  zan::LexState state;
  std::vector<zan::Token> tokens;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string line(text.substr(start, end - start));
    zan::lexLine(line, state, tokens);
    int32_t covered = 0;
    for (const zan::Token& t : tokens) {
      if (t.start < covered || t.length < 1 || static_cast<size_t>(t.start) + static_cast<size_t>(t.length) > line.size())
        __builtin_trap();
      covered = t.start + t.length;
    }
    start = end + 1;
  }
  return 0;
}
