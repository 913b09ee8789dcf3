// SPDX-License-Identifier: MIT
// What the server's language features share: the word at a place of a
// line as the compiler would read it, look-ups in the library and the
// reference, and places in the protocol's terms.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "lsp_document.h"
#include "zan/builtin_macros.h"
#include "zan/reference.h"

namespace zan::lsp {

bool isWordByte(char c);   // A-Z a-z 0-9 _ `
bool isMacroByte(char c);  // what a macro name is made of: A-Z 0-9 _ `
bool isLower(char c);
bool isDigit(char c);

// What stands at a place of a line, as the compiler would read it there.
struct Word {
  enum class Kind { None, Macro, Underscore, Directive, Numbered, Command };
  Kind kind = Kind::None;
  std::string text;           // the keyword to look up: "EX", "_print", "#timebase", "\3", "c"
  size_t start = 0, end = 0;  // bytes of the line it covers
};
Word wordAt(std::string_view line, size_t at);

const BuiltinMacro* libraryMacro(std::string_view name);
// The topic whose code keywords hold `keyword` exactly, or nullptr.
const ReferenceTopic* exactTopic(std::string_view keyword);

// A place of a document: its line and the byte in that line.
struct Position {
  size_t line;
  size_t byte;
};
// params.position; RpcError when outside the document.
Position positionOf(const Document& doc, const nlohmann::json& params);
// The range of bytes [startByte, endByte) of `line` (UTF-8), line `lineNumber`.
nlohmann::json lspRange(const std::string& line, size_t lineNumber, size_t startByte, size_t endByte);

}  // namespace zan::lsp
