// SPDX-License-Identifier: MIT
// One line's columns in each unit a tool counts in, and the one way between
// them. The compiler counts CP932 bytes; the command line's diagnostics count
// characters; a language-server client counts UTF-16 code units, as the
// editor's text does; files and the server's documents hold UTF-8 bytes. A
// character the compiler reads as one '?' (é, €) is one CP932 byte but two
// UTF-8 bytes, and a character beyond the BMP two UTF-16 units: a column
// carried from one unit to another without this map lands beside its text.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

namespace zan {

class LineColumns {
 public:
  enum Unit { Cp932 = 0, Utf8 = 1, Utf16 = 2, Character = 3 };

  // A line as written in UTF-8, which the compiler reads as toCp932() makes it.
  static LineColumns ofUtf8(std::string_view utf8Line);
  // A line as the compiler reads it, which tools show as toUtf8() makes it
  // (a lead byte and the byte after it are one character, as the compiler
  // has them).
  static LineColumns ofCp932(std::string_view cp932Line);

  // The 0-based offset `offset` in unit `from` as an offset in unit `to`. An
  // offset inside a character (the second byte of a double-byte one) goes to
  // the character's start, or its end when `roundUp`. Past the end of the
  // line every unit counts one per character, so that places beyond the end
  // (where a line's last error stands) stay apart.
  int32_t convert(int32_t offset, Unit from, Unit to, bool roundUp = false) const;
  int32_t length(Unit unit) const { return starts_.empty() ? asciiLength_ : starts_.back()[unit]; }

 private:
  // One walk for both: `cp932` says which encoding `line` is in.
  static LineColumns walk(std::string_view line, bool cp932);
  // Where each character starts in each unit, then the end of the line;
  // empty when every unit counts alike (an ASCII line), the common case.
  std::vector<std::array<int32_t, 4>> starts_;
  int32_t asciiLength_ = 0;
};

}  // namespace zan
