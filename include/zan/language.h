// SPDX-License-Identifier: MIT
// The language's own tables, shared by the compiler and every tool that reads
// scores (the editor's lexer among them): what the first byte of a command
// is, and the keywords that follow `#` and `_`.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace zan {

// The command a byte starts when the compiler dispatches it.
enum class CommandKind : uint8_t {
  Unknown,           // no command starts here: undecipherable
  Ignored,           // tab, space, ", | between commands
  Accent,            // !  one-shot velocity
  Directive,         // #  #timebase, #include, ...
  Group,             // /  /notes/length
  Loop,              // [ : ]
  Comment,           // ; {
  OctaveShift,       // < >
  ProgramChange,     // @
  Numbered,          // \  numbered commands
  Underscore,        // _  _print, _tr, _m, ...
  Note,              // a-g, n
  LengthOctaveGate,  // l o q
  PitchBend,         // p
  Rest,              // r
  Tempo,             // t
  Velocity,          // v
  ControlChange,     // y
  Variable,          // ~
};
inline constexpr int kCommandKindCount = static_cast<int>(CommandKind::Variable) + 1;

CommandKind commandKind(unsigned char byte);

// The bytes the compiler still dispatches while skip mode is on.
inline constexpr std::string_view kSkipModeBytes = "_;{}#";

// The worded commands after `_`. Keywords are case-sensitive and match over
// their own length: "_smonx" is "_smon" followed by "x".
enum class UnderscoreWord : uint8_t {
  Print, SmallMacrosOn, SmallMacrosOff, SkipOn, SkipOff, InstrumentName,
  Copyright, Title, ActiveStep, Track, Macro,
};
struct UnderscoreKeyword {
  std::string_view word;
  UnderscoreWord id;
};
// Two groups, each tried in its order with the first match winning; the
// second is tried after the first at the cursor as it then stands, so
// "_smonTITLE(x)" does both. The first group's keywords are consumed before
// their command runs; the second group's commands consume their own.
std::span<const UnderscoreKeyword> underscoreFirstGroup();
std::span<const UnderscoreKeyword> underscoreSecondGroup();

// The directives after `#`, matched like the underscore keywords.
namespace directive {
inline constexpr std::string_view kTimebase = "timebase";
inline constexpr std::string_view kOctaveUpDown = "octave_up_down";
inline constexpr std::string_view kEnd = "end";
inline constexpr std::string_view kRandomize = "randomize";
inline constexpr std::string_view kInclude = "include";
}  // namespace directive

// Characters of a macro name after its first (upper-case) letter.
inline bool isMacroNameChar(int c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || c == '_' || c == '`';
}

}  // namespace zan
