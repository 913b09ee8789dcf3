// SPDX-License-Identifier: MIT
// Conversion between the compiler's CP932 (Shift-JIS) byte strings and UTF-8.
// This is the only place that knows about encodings; everything inside the
// compiler works on CP932 bytes.
#pragma once

#include <string>
#include <string_view>

namespace zan {

// Converts UTF-8 text to CP932. Characters CP932 cannot hold become '?';
// when `lost` is given it receives how many did.
std::string toCp932(std::string_view utf8, int* lost = nullptr);

// Converts CP932 bytes to UTF-8. Bytes that do not form a CP932 character
// (half of a double-byte character, say) become U+FFFD.
std::string toUtf8(std::string_view cp932);

// The first character of UTF-8 `text` (not empty) as toCp932() reads it.
struct Utf8Character {
  int utf8;   // its bytes: a sequence, or one byte that begins none
  int cp932;  // the bytes it becomes: 0 (dropped), 1 (a single byte or '?'), 2
  int utf16;  // its UTF-16 code units (a malformed byte: one U+FFFD)
  bool lost;  // CP932 has it not: it becomes '?'
};
Utf8Character firstCharacter(std::string_view text);

// True when every byte sequence of `text` is valid UTF-8.
bool isValidUtf8(std::string_view text);

// A score file's bytes made ready for the compiler. A file with a UTF-8
// byte-order mark, or one that is valid UTF-8 and not plain ASCII, is read
// as UTF-8 and converted; anything else is taken as CP932 as it stands.
struct DecodedScore {
  std::string cp932;      // the text for the compiler
  bool wasUtf8 = false;   // the file was UTF-8
  int lost = 0;           // UTF-8 characters that CP932 cannot hold (now '?')
  int firstLostLine = 0;  // 1-based line of the first of them (0 when none)
};
DecodedScore decodeScore(std::string bytes);

// What `bytes` are when they cannot be a score, or "" when they can be one:
// "a MIDI file" for a Standard MIDI File (it begins with "MThd"), "a binary
// file" for anything else holding NUL bytes. Both the command-line compiler
// and the editor refuse such input instead of compiling it as text (and
// then overwriting it): "song.mid is a MIDI file, not a score".
std::string_view nonScoreKind(std::string_view bytes);

}  // namespace zan
