// SPDX-License-Identifier: MIT
// Columns of a line in CP932 bytes, UTF-8 bytes, UTF-16 units and characters.
#include "zan/line_columns.h"

#include <algorithm>

#include "zan/cp932.h"

namespace zan {
namespace {

bool isAscii(std::string_view s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

bool isLeadByte(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

}  // namespace

LineColumns LineColumns::ofUtf8(std::string_view line) { return walk(line, false); }
LineColumns LineColumns::ofCp932(std::string_view line) { return walk(line, true); }

LineColumns LineColumns::walk(std::string_view line, bool cp932) {
  LineColumns c;
  if (isAscii(line)) {
    c.asciiLength_ = static_cast<int32_t>(line.size());
    return c;
  }
  std::array<int32_t, 4> at{0, 0, 0, 0};
  c.starts_.reserve(line.size() + 1);
  for (size_t i = 0; i < line.size();) {
    c.starts_.push_back(at);
    // The first character's width in each unit, from the side it is read in.
    size_t width;
    if (cp932) {
      width = isLeadByte(static_cast<unsigned char>(line[i])) && i + 1 < line.size() ? 2 : 1;
      const std::string utf8 = toUtf8(line.substr(i, width));
      at[Cp932] += static_cast<int32_t>(width);
      at[Utf8] += static_cast<int32_t>(utf8.size());
      for (size_t k = 0; k < utf8.size();) {
        const Utf8Character ch = firstCharacter(std::string_view(utf8).substr(k));
        at[Utf16] += ch.utf16;
        k += static_cast<size_t>(ch.utf8);
      }
    } else {
      const Utf8Character ch = firstCharacter(line.substr(i));
      width = static_cast<size_t>(ch.utf8);
      at[Cp932] += ch.cp932;
      at[Utf8] += ch.utf8;
      at[Utf16] += ch.utf16;
    }
    at[Character] += 1;
    i += width;
  }
  c.starts_.push_back(at);
  return c;
}

int32_t LineColumns::convert(int32_t offset, Unit from, Unit to, bool roundUp) const {
  const int32_t end = length(from);
  if (offset >= end) return length(to) + (offset - end);
  if (offset <= 0 || starts_.empty()) return offset;
  // The last character starting at or before the offset.
  const auto it = std::upper_bound(starts_.begin(), starts_.end(), offset,
                                   [from](int32_t value, const std::array<int32_t, 4>& s) { return value < s[from]; });
  const auto& start = *(it - 1);
  if (start[from] == offset || !roundUp) return start[to];
  return (*it)[to];
}

}  // namespace zan
