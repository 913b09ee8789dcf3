// SPDX-License-Identifier: MIT
// The lexer: splits one line of a score into spans of a few kinds, by the
// compiler's own rules for where each command ends, for editors and other
// tools that colour or inspect a score without compiling it. It reads the
// same tables as the compiler (the dispatch by first byte, the library
// macros, the underscore keywords).
//
// A line is lexed with the state the line before it left (an open `{`
// comment, the macros the score has defined so far, ...), so a tool can lex
// a score line by line and lex again only from a changed line on. Lines are
// CP932 bytes; spans are 0-based byte offsets. Any bytes are accepted.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "zan/language.h"

namespace zan {

enum class TokenKind : uint8_t {
  Note,        // a-g with accidentals, n and its number
  Length,      // a note's or rest's length, dots, ties, &
  Rest,        // r
  Setting,     // l o q < > and their values
  Channel,     // t v y @ p ! and their values
  Loop,        // [n : ] and the slashes of a /group/
  Comment,     // { ... } across lines, ; to the end; also text never compiled (skip mode, after #end)
  Directive,   // #timebase, #include "file", ...
  Underscore,  // _print, _tr, _m, ... (the keyword)
  Variable,    // ~ commands
  Numbered,    // \ and its number
  Macro,       // a macro call: the library's names and the score's own
  Argument,    // argument text: lists after commands and macros, _m names and bodies
  BarLine,     // |
  Unknown,     // bytes the compiler cannot decipher
};
inline constexpr int kTokenKindCount = static_cast<int>(TokenKind::Unknown) + 1;

struct Token {
  int32_t start;   // 0-based byte offset in the line
  int32_t length;  // bytes, at least 1
  TokenKind kind;
  bool operator==(const Token&) const = default;
};

// What follows a macro's name when it is called.
struct MacroShape {
  bool marks = false;  // the body has ? marks: an argument list in ( ) or after = is taken
  // The command the body ends with, when that command reads on past the
  // body into the text after the name (`_m(VOL,v)` then `VOL 100`): the
  // command byte, and its number for a numbered command (-1 otherwise).
  unsigned char tail = 0;
  int16_t numbered = -1;
  bool operator==(const MacroShape&) const = default;
};
MacroShape macroShape(std::string_view body);

// The score's own macros by name; `std::less<>` finds them by string_view.
using MacroNames = std::map<std::string, MacroShape, std::less<>>;

// What one line hands to the next.
struct LexState {
  // An `_m` body that goes on in the next line: inside its quotes, or
  // after a `+` waiting for the next quoted part.
  enum class Definition : uint8_t { None, Quoted, Joined };

  bool inComment = false;     // a { comment is open
  bool skipMode = false;      // _skipon: only _ ; { } # are commands
  bool smallMacros = false;   // _smon: one-letter lower-case macros (all tracks alike)
  bool ended = false;         // #end: nothing further is compiled
  bool afterInclude = false;  // an #include came before: an unknown upper-case name may be one of its macros
  Definition definition = Definition::None;
  std::string definingName;   // the macro being defined over several lines
  std::string definingBody;   //   and its body so far
  // The score's macros defined so far (the library's are always known).
  // Shared: a line that defines nothing hands on the same pointer.
  std::shared_ptr<const MacroNames> macros;

  // Macros are compared by content.
  bool operator==(const LexState& other) const;
};

// Appends the spans of `line` to `tokens` (cleared first), in order and not
// overlapping, and moves `state` on past the line. Bytes between commands
// that the compiler passes over (spaces, tabs, quotes) get no span.
void lexLine(std::string_view line, LexState& state, std::vector<Token>& tokens);

}  // namespace zan
