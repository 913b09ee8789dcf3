// SPDX-License-Identifier: MIT
// The one module that converts between CP932 and UTF-8. It converts as the C
// library's iconv does, from tables made of iconv's own conversions when the
// program is built (src/tools/make_cp932_tables.cpp): loading iconv's module
// at run time cost a compile with a message half a millisecond, and a static
// program a second C library.
#include "zan/cp932.h"

#include <algorithm>
#include <cstdint>

#include "zan/translate.h"

namespace zan {

namespace cp932_tables {
extern const uint16_t kSingle[256];      // byte -> code point; 0xFFFF: a lead byte, or no character
extern const uint16_t kLeadIndex[256];   // lead byte -> its row of kPairs, from 1; 0: no lead byte
extern const uint16_t kPairs[];          // rows of 256 trails -> code point; 0xFFFF: no character
extern const uint16_t kPageIndex[256];   // high byte of a code point -> its page of kPages; 0: nothing
extern const uint16_t kPages[];          // pages of 256 -> CP932 bytes (lead << 8 | trail, or one byte)
}  // namespace cp932_tables

namespace {

constexpr uint16_t kNone = 0xFFFF;

void appendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | cp >> 6);
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | cp >> 12);
    out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// The CP932 bytes of a code point (one byte below 0x100), or -1 when it has
// none.
int32_t cp932Of(uint32_t cp) {
  if (cp > 0xFFFF) return -1;
  const uint16_t page = cp932_tables::kPageIndex[cp >> 8];
  const uint16_t bytes = cp932_tables::kPages[page * 256u + (cp & 0xFF)];
  return bytes != 0 || cp == 0 ? bytes : -1;
}

bool isAscii(std::string_view s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Length of the UTF-8 sequence that starts `s` if it is well formed, else 1.
size_t utf8SequenceLength(std::string_view s) {
  auto b = [&](size_t i) { return static_cast<unsigned char>(s[i]); };
  unsigned char c = b(0);
  size_t n = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
  if (n == 0 || n > s.size()) return 1;
  for (size_t i = 1; i < n; ++i)
    if ((b(i) & 0xC0) != 0x80) return 1;
  return n;
}

// The scalar value of the well-formed UTF-8 sequence of `n` bytes at the
// start of `s`, or -1 for an overlong form, a surrogate or a value beyond
// U+10FFFF, which iconv refuses as it refuses a malformed sequence.
int32_t scalarOf(std::string_view s, size_t n) {
  auto b = [&](size_t i) { return static_cast<uint32_t>(static_cast<unsigned char>(s[i])); };
  uint32_t cp;
  uint32_t least;
  if (n == 2) cp = (b(0) & 0x1F) << 6 | (b(1) & 0x3F), least = 0x80;
  else if (n == 3) cp = (b(0) & 0x0F) << 12 | (b(1) & 0x3F) << 6 | (b(2) & 0x3F), least = 0x800;
  else cp = (b(0) & 0x07) << 18 | (b(1) & 0x3F) << 12 | (b(2) & 0x3F) << 6 | (b(3) & 0x3F), least = 0x10000;
  if (cp < least || (cp >= 0xD800 && cp < 0xE000) || cp > 0x10FFFF) return -1;
  return static_cast<int32_t>(cp);
}

}  // namespace

std::string toCp932(std::string_view utf8, int* lost) {
  // ASCII is the same in both: most texts need no table.
  if (isAscii(utf8)) {
    if (lost) *lost = 0;
    return std::string(utf8);
  }
  std::string out;
  out.reserve(utf8.size());
  int count = 0;
  for (size_t i = 0; i < utf8.size();) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    if (c < 0x80) {
      out += static_cast<char>(c);
      ++i;
      continue;
    }
    const std::string_view rest = utf8.substr(i);
    const size_t n = utf8SequenceLength(rest);
    const int32_t cp = n > 1 ? scalarOf(rest, n) : -1;
    i += n;
    if (cp >= 0xE0000 && cp <= 0xE007F) continue;  // tag characters: dropped without a trace
    const int32_t bytes = cp < 0 ? -1 : cp932Of(static_cast<uint32_t>(cp));
    if (bytes < 0) {
      out += '?';
      ++count;
    } else if (bytes > 0xFF) {
      out += static_cast<char>(bytes >> 8);
      out += static_cast<char>(bytes & 0xFF);
    } else {
      out += static_cast<char>(bytes);
    }
  }
  if (lost) *lost = count;
  return out;
}

Utf8Character firstCharacter(std::string_view text) {
  const auto c = static_cast<unsigned char>(text[0]);
  if (c < 0x80) return {1, 1, 1, false};
  const size_t n = utf8SequenceLength(text);
  const int32_t cp = n > 1 ? scalarOf(text, n) : -1;
  const int utf16 = cp > 0xFFFF ? 2 : 1;
  if (cp >= 0xE0000 && cp <= 0xE007F) return {static_cast<int>(n), 0, utf16, false};  // dropped, as toCp932 drops it
  const int32_t bytes = cp < 0 ? -1 : cp932Of(static_cast<uint32_t>(cp));
  return {static_cast<int>(n), bytes > 0xFF ? 2 : 1, utf16, bytes < 0};
}

std::string toUtf8(std::string_view cp932) {
  if (isAscii(cp932)) return std::string(cp932);
  std::string out;
  out.reserve(cp932.size() * 2);
  // A lead byte whose trail does not fit is replaced on its own and the next
  // byte is tried as the start of a character.
  for (size_t i = 0; i < cp932.size();) {
    const auto b = static_cast<unsigned char>(cp932[i]);
    uint32_t cp = cp932_tables::kSingle[b];
    size_t n = 1;
    if (cp == kNone && cp932_tables::kLeadIndex[b] != 0 && i + 1 < cp932.size()) {
      cp = cp932_tables::kPairs[(cp932_tables::kLeadIndex[b] - 1u) * 256u + static_cast<unsigned char>(cp932[i + 1])];
      n = 2;
    }
    if (cp == kNone) {
      out += "\xEF\xBF\xBD";
      i += 1;
    } else {
      appendUtf8(out, cp);
      i += n;
    }
  }
  return out;
}

bool isValidUtf8(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    size_t n = utf8SequenceLength(text.substr(i));
    if (n == 1 && static_cast<unsigned char>(text[i]) >= 0x80) return false;
    i += n;
  }
  return true;
}

DecodedScore decodeScore(std::string file) {
  DecodedScore d;
  std::string_view bytes = file;
  constexpr std::string_view kBom = "\xEF\xBB\xBF";
  bool bom = bytes.substr(0, 3) == kBom;
  if (!bom && (isAscii(bytes) || !isValidUtf8(bytes))) {
    d.cp932 = std::move(file);
    return d;
  }
  if (bom) bytes.remove_prefix(3);
  d.wasUtf8 = true;
  // Line by line, so that the first character lost can be named by its line.
  size_t start = 0;
  int line = 1;
  while (start <= bytes.size()) {
    size_t end = bytes.find('\n', start);
    if (end == std::string_view::npos) end = bytes.size();
    int lost = 0;
    d.cp932 += toCp932(bytes.substr(start, end - start), &lost);
    if (lost > 0 && d.lost == 0) d.firstLostLine = line;
    d.lost += lost;
    if (end == bytes.size()) break;
    d.cp932 += '\n';
    start = end + 1;
    ++line;
  }
  return d;
}

std::string_view nonScoreKind(std::string_view bytes) {
  if (bytes.substr(0, 4) == "MThd") return zan::tr("a MIDI file");
  if (bytes.find('\0') != std::string_view::npos) return zan::tr("a binary file");
  return {};
}

}  // namespace zan
