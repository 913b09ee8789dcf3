// SPDX-License-Identifier: MIT
// What a tool can find in a score's text without compiling it: its `{...}`
// comments as the comment list collects them, and its `_m` macro
// definitions as Find Macro looks for them. Texts may be CP932 or UTF-8:
// only ASCII bytes are looked at.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zan {

// A comment from its `{` to its `}` inclusive, as 0-based byte offsets of
// the whole text. Braces do not nest: in {a{b}c} the comment is {a{b}.
struct CommentSpan {
  size_t start;
  size_t length;
};
// Collecting stops at a `{` that is never closed; `unclosed` (when given)
// then tells so.
std::vector<CommentSpan> findComments(std::string_view text, bool* unclosed = nullptr);

// One `_m(NAME, ...)` of a line: the name as the compiler takes it (one
// leading and one trailing double quote removed), where it starts (0-based
// byte offset in the line, past a quote) and the body as far as the line
// shows it.
struct MacroDefinition {
  int32_t line;
  int32_t column;
  std::string name;
  std::string body;
};
std::vector<MacroDefinition> findMacroDefinitions(const std::vector<std::string>& lines);

// The usage form of a macro with body `body`: "NAME(…)" when the body takes
// arguments (it holds a ? mark), else "NAME".
std::string macroForm(std::string_view name, std::string_view body);

}  // namespace zan
