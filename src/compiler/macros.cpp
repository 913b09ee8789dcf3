// SPDX-License-Identifier: MIT
// Macros: the _m definition and the textual expansion of macro names, at the
// cursor of the line being compiled and inside macro arguments.
#include <algorithm>

#include "texts.h"
#include "zan/language.h"
#include "zan/text_helpers.h"
#include "zan/tsmf.h"

namespace zan {
namespace {

bool isNameChar(int c) { return isMacroNameChar(c); }

// Length of the run of name characters at 0-based `p` of `s`.
size_t nameRunLength(const std::string& s, size_t p) {
  size_t n = 0;
  while (p + n < s.size() && isNameChar(static_cast<unsigned char>(s[p + n]))) ++n;
  return n;
}

// Macros that may be called with fewer arguments than their bodies mark: the
// missing ones are left empty without an error. A plain substring test, so
// any part of these names (AC, V, ...) is exempt as well.
constexpr const char* kOptionalArgumentMacros = "ACCUT ACRES ACE ACV ACM ACREV ACCHO ACD ACP ACB";

}  // namespace

// Puts the argument texts into the parameter marks of `body`: ?n is the n-th
// argument, a ? without a number the first. A mark inside an inserted
// argument is a mark too; since everything before the mark just replaced is
// free of marks, the search goes on from there. Returns false when the
// substitutions ran past their bound (reported).
bool TSmf::substituteMarks(std::string& body, const std::string& name, bool allowOptional) {
  int substitutions = 0;
  size_t from = 0;
  const bool optional = allowOptional && std::string_view(kOptionalArgumentMacros).find(name) != std::string_view::npos;
  for (size_t q; (q = body.find('?', from)) != std::string::npos; from = q) {
    if (++substitutions > limits.markSubstitutions) {
      limitReached(Limit::MarkSubstitutions, name);
      return false;
    }
    if (body.size() > limits.lineBytes) {
      limitReached(Limit::LineBytes, name);
      return false;
    }
    body.erase(q, 1);
    NumberRead n = readNumber(body, static_cast<int32_t>(q) + 1);
    body.erase(q, static_cast<size_t>(n.len));
    const int32_t k = n.value < 0 ? 1 : n.value;
    if (k >= 1 && k <= argCount)
      body.insert(q, args[static_cast<size_t>(k - 1)]);
    else if (!optional)
      ReportError(3, name);
  }
  return true;
}

void TSmf::ExpandAtCursor() {
  int chain = 0;  // expansions at this position without a dispatch between them
  for (;;) {
    const int c = cur();
    size_t len;
    if (c >= 'A' && c <= 'Z')
      len = nameRunLength(lineText, static_cast<size_t>(column - 1));
    else if (c >= 'a' && c <= 'z' && track[curTrack].smallMacros)
      len = 1;
    else
      return;
    const size_t start = static_cast<size_t>(column - 1);
    const std::string& found = macros.FindMacro(std::string_view(lineText).substr(start, len));
    if (found.empty()) return;
    std::string name = lineText.substr(start, len);
    // A cycle of macros that begin with one another, or a line that grows
    // without end.
    if (++chain > limits.expansionChain) return limitReached(Limit::ExpansionChain, name);
    if (lineText.size() + found.size() > limits.lineBytes) return limitReached(Limit::LineBytes, name);
    std::string body = found;
    const uint64_t generation = lineGeneration;
    std::replace(body.begin(), body.end(), '\'', '"');
    // The name and its argument list are replaced by the body in one edit,
    // so that a line of many calls does not move its tail twice per call.
    int32_t end = column + static_cast<int32_t>(len);
    argCount = 0;
    if (body.find('?') != std::string::npos) {
      if (at(lineText, end) == '(' || at(lineText, end) == '=') {
        scanArgs(lineText, end);
        for (int i = 0; i < argCount; ++i) setArg(i, ExpandInText(args[static_cast<size_t>(i)], 1));
        if (generation != lineGeneration) return;  // cut short by the tenth error
      }
      const bool complete = substituteMarks(body, name, true);
      if (generation != lineGeneration) return;
      if (!complete) {
        editLine(column, end, {});  // the call is dropped
        return;
      }
    }
    if (!editLine(column, end, "{" + name + "}" + body)) return;
    column += static_cast<int32_t>(name.size()) + 2;
  }
}

std::string TSmf::ExpandInText(std::string textIn, int32_t pos) {
  const int savedCount = argCount;
  const std::vector<std::string> saved(args.begin(), args.begin() + std::min<size_t>(args.size(), static_cast<size_t>(std::max(savedCount, 0))));
  const uint64_t generation = lineGeneration;
  // The text is what was scanned (`done`) followed by what is still to scan
  // (`rest` from 0-based `r`). A body goes into the room before `r`, so that
  // inserting it does not move the rest of a text that keeps growing.
  size_t r = std::min(static_cast<size_t>(std::max(pos, 1) - 1), textIn.size());
  std::string done = textIn.substr(0, r);
  std::string rest = std::move(textIn);
  size_t chainAt = std::string::npos;
  int chain = 0;
  while (r < rest.size()) {
    const int c = static_cast<unsigned char>(rest[r]);
    if (c < 'A' || c > 'Z') {
      done += rest[r++];
      continue;
    }
    const size_t len = nameRunLength(rest, r);
    const std::string& found = macros.FindMacro(std::string_view(rest).substr(r, len));
    if (found.empty()) {
      done += rest[r++];  // the rest of the run is tried as a name of its own
      continue;
    }
    std::string name = rest.substr(r, len);
    chain = (chainAt == done.size()) ? chain + 1 : 1;
    chainAt = done.size();
    if (chain > limits.expansionChain) {
      limitReached(Limit::ExpansionChain, name);
      break;
    }
    if (done.size() + (rest.size() - r) + found.size() > limits.lineBytes) {
      limitReached(Limit::LineBytes, name);
      break;
    }
    std::string body = found;
    r += len;
    argCount = 0;
    if (body.find('?') != std::string::npos && r < rest.size() && (rest[r] == '(' || rest[r] == '=')) {
      int32_t cursor = static_cast<int32_t>(r) + 1;
      scanArgs(rest, cursor);  // the arguments of an inner call are not expanded first
      r = static_cast<size_t>(cursor) - 1;
    }
    const bool complete = substituteMarks(body, name, false);
    argCount = savedCount;
    for (size_t i = 0; i < saved.size(); ++i) args[i] = saved[i];
    if (generation != lineGeneration) break;  // cut short by the tenth error
    if (!complete) continue;
    if (body.size() > r) {
      // Room for this body and for as much again as is left to scan.
      const size_t room = body.size() + (rest.size() - r);
      rest = std::string(room, ' ') + rest.substr(r);
      r = room;
    }
    r -= body.size();
    rest.replace(r, body.size(), body);
    // Scanning goes on at the same position: the inserted body is scanned too.
  }
  done.append(rest, r, std::string::npos);
  return done;
}

void TSmf::DefineMacro() {
  ++column;  // the m
  if (cur() != '(') {
    ReportError(4, "_m");
    return;
  }
  ++column;
  const size_t comma = lineText.find(',', static_cast<size_t>(column - 1));
  if (comma == std::string::npos) {
    ReportError(4, "_m");
    return;
  }
  // The name is everything up to the first comma, spaces included.
  std::string name = lineText.substr(static_cast<size_t>(column - 1), comma - static_cast<size_t>(column - 1));
  column = static_cast<int32_t>(comma) + 2;
  auto skipSpaces = [this] {
    while (cur() == ' ') ++column;
  };
  auto skipBlanks = [this] {
    while (cur() == ' ' || cur() == '\t') ++column;
  };
  // From 0-based `p` of lineText to the next `c`, or npos.
  auto findFromCursor = [this](char c) { return lineText.find(c, static_cast<size_t>(column - 1)); };
  skipSpaces();
  std::string body;
  if (cur() != '"') {
    // Unquoted: up to the first ) on the line, which the body cannot contain.
    const size_t close = findFromCursor(')');
    if (close == std::string::npos) {
      ReportError(4, "_m");
      return;
    }
    body = lineText.substr(static_cast<size_t>(column - 1), close - static_cast<size_t>(column - 1));
    column = static_cast<int32_t>(close) + 2;
  } else {
    ++column;
    const size_t quote = findFromCursor('"');
    if (quote != std::string::npos) {
      body = lineText.substr(static_cast<size_t>(column - 1), quote - static_cast<size_t>(column - 1));
      column = static_cast<int32_t>(quote) + 2;
    } else {
      // A quoted body that runs over several lines, joined with nothing between.
      body = lineText.substr(static_cast<size_t>(column - 1));
      const int32_t startLine = lineIndex;
      for (;;) {
        storeLine();
        if (lineIndex + 1 >= sourceLines.size()) {
          ++lineIndex;
          const uint64_t generation = lineGeneration;
          ReportError(5, "_m(" + name);
          if (generation != lineGeneration) return;  // cut short by the tenth error
          // Nothing is defined; the lines read as body text are compiled as
          // ordinary lines, and the rest of the _m( line is passed over.
          lineIndex = startLine;
          lineText = sourceLines[startLine];
          column = static_cast<int32_t>(lineText.size()) + 1;
          return;
        }
        ++lineIndex;
        lineText = sourceLines[lineIndex];
        const size_t quote2 = lineText.find('"');
        if (quote2 == std::string::npos) {
          body += lineText;
          continue;
        }
        body.append(lineText, 0, quote2);
        column = static_cast<int32_t>(quote2) + 2;
        break;
      }
    }
    // Segments joined with +: each further quoted segment stands on the next
    // line, optionally after a {comment}, and is joined with one space.
    for (;;) {
      skipSpaces();
      if (cur() != '+') break;
      storeLine();
      if (lineIndex + 1 >= sourceLines.size()) {
        ReportError(4, "_m");
        return;
      }
      ++lineIndex;
      lineText = sourceLines[lineIndex];
      column = 1;
      skipBlanks();
      if (cur() == '{') {
        const size_t close = findFromCursor('}');
        if (close == std::string::npos) {
          ReportError(4, "_m");
          return;
        }
        column = static_cast<int32_t>(close) + 2;
        skipBlanks();
      }
      if (cur() != '"') {
        ReportError(4, "_m");
        return;
      }
      ++column;
      const size_t close = findFromCursor('"');
      if (close == std::string::npos) {
        ReportError(4, "_m");
        return;
      }
      body += ' ';
      body.append(lineText, static_cast<size_t>(column - 1), close - static_cast<size_t>(column - 1));
      column = static_cast<int32_t>(close) + 2;
    }
    skipSpaces();
    if (cur() != ')') {
      ReportError(4, "_m");
      return;
    }
    ++column;
  }

  if (!name.empty() && name[0] >= 'a' && name[0] <= 'z') {
    if (name.size() != 1) {
      ReportError(4, text(Text::LowercaseMacroLength));
      return;
    }
    if (body.find(name[0]) != std::string::npos) {
      ReportError(5, text(Text::LowercaseMacroSelf));
      return;
    }
  }
  name = std::string(unquote(name));
  if (name.empty()) {
    ReportError(4, "_m");
    return;
  }
  // A body may not use its own name: the first occurrence is checked, and it
  // counts when the run of name characters there is the name itself.
  if (const size_t at = body.find(name); at != std::string::npos) {
    if (body.size() == name.size() || body.compare(at, nameRunLength(body, at), name) == 0) {
      ReportError(5, "\"" + name + "\"" + text(Text::MacroUsesItself));
      return;
    }
  }
  macros.AddMacro(name, body);
}

}  // namespace zan
