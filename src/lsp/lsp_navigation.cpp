// SPDX-License-Identifier: MIT
// The features that find a name wherever it stands: references, rename and
// document highlights of a macro or a variable (in the score and the files
// it includes, and in the open scores that include it), workspace symbols
// of the open documents; and those that read a document's shape: folding
// ranges and signature help.
#include <algorithm>
#include <map>
#include <set>

#include "lsp_language.h"
#include "lsp_server.h"
#include "lsp_text.h"
#include "zan/cp932.h"
#include "zan/lexer.h"
#include "zan/line_columns.h"
#include "zan/score_outline.h"
#include "zan/translate.h"

namespace zan::lsp {
namespace {

// A name a score can use in many places.
struct Name {
  enum class Kind { None, Macro, Variable };
  Kind kind = Kind::None;
  std::string text;  // the macro's name, or the variable's number ("12")
};

// The variable whose number stands at `at` (its ~, the spaces after it or
// its digits), or none.
Name variableAt(std::string_view line, size_t at) {
  if (line.empty()) return {};
  if (at >= line.size() || (!isDigit(line[at]) && line[at] != '~' && line[at] != ' ')) {
    if (at == 0) return {};
    --at;  // the caret just after the number
  }
  size_t i = at;
  if (line[i] == '~' || line[i] == ' ') {
    while (i < line.size() && (line[i] == '~' || line[i] == ' ')) ++i;
  } else {
    while (i > 0 && isDigit(line[i - 1])) --i;
  }
  size_t digits = i;
  size_t end = digits;
  while (end < line.size() && isDigit(line[end])) ++end;
  if (end == digits) return {};
  size_t before = digits;
  while (before > 0 && line[before - 1] == ' ') --before;
  if (before == 0 || line[before - 1] != '~' || at + 1 < before) return {};
  const std::string number = std::to_string(std::stoll(std::string(line.substr(digits, std::min<size_t>(end - digits, 9)))));
  return {Name::Kind::Variable, number};
}

Name nameAt(std::string_view line, size_t at) {
  const Word w = wordAt(line, at);
  if (w.kind == Word::Kind::Macro) return {Name::Kind::Macro, w.text};
  return variableAt(line, at);
}

bool isMacroName(std::string_view name) {
  return !name.empty() && name[0] >= 'A' && name[0] <= 'Z' && std::all_of(name.begin(), name.end(), isMacroByte);
}

// One place a name stands, in UTF-8 bytes of its line.
struct Occurrence {
  size_t line, start, end;
  bool write;  // where a macro is defined, or a variable is set
};

// Every place `name` stands in `lines` (UTF-8), outside comments.
std::vector<Occurrence> occurrences(const std::vector<std::string>& lines, const Name& name) {
  std::vector<Occurrence> found;
  LexState state;
  std::vector<Token> tokens;
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string cp932 = toCp932(lines[i]);
    lexLine(cp932, state, tokens);
    const LineColumns columns = LineColumns::ofUtf8(lines[i]);
    const auto add = [&](size_t from, size_t to, bool write) {
      found.push_back({i, static_cast<size_t>(columns.convert(static_cast<int32_t>(from), LineColumns::Cp932, LineColumns::Utf8)),
                       static_cast<size_t>(columns.convert(static_cast<int32_t>(to), LineColumns::Cp932, LineColumns::Utf8, true)),
                       write});
    };
    for (const Token& t : tokens) {
      const size_t from = static_cast<size_t>(t.start), to = from + static_cast<size_t>(t.length);
      if (t.kind == TokenKind::Comment) continue;
      if (name.kind == Name::Kind::Macro) {
        if (t.kind == TokenKind::Macro && cp932.compare(from, to - from, name.text) == 0 && to - from == name.text.size()) {
          add(from, to, false);
          continue;
        }
        if (t.kind != TokenKind::Argument) continue;
        // Inside argument text: a _m's name, a call in a body.
        for (size_t at = cp932.find(name.text, from); at != std::string::npos && at + name.text.size() <= to;
             at = cp932.find(name.text, at + 1)) {
          const size_t end = at + name.text.size();
          if ((at > 0 && isMacroByte(cp932[at - 1])) || (end < cp932.size() && isMacroByte(cp932[end]))) continue;
          size_t b = at;
          while (b > 0 && (cp932[b - 1] == ' ' || cp932[b - 1] == '"')) --b;
          add(at, end, b >= 3 && cp932.compare(b - 3, 3, "_m(") == 0);
        }
        continue;
      }
      // A variable: a ~ (the last of a run), spaces, its number.
      for (size_t at = from; at < to; ++at) {
        if (cp932[at] != '~' || (at + 1 < cp932.size() && cp932[at + 1] == '~')) continue;
        size_t digits = at + 1;
        while (digits < cp932.size() && cp932[digits] == ' ') ++digits;
        size_t end = digits;
        while (end < cp932.size() && isDigit(cp932[end])) ++end;
        if (end == digits) continue;
        if (std::to_string(std::stoll(cp932.substr(digits, std::min<size_t>(end - digits, 9)))) != name.text) continue;
        add(digits, end, t.kind == TokenKind::Variable && at == from);
      }
    }
  }
  return found;
}

json occurrenceRange(const std::vector<std::string>& lines, const Occurrence& o) {
  return lspRange(lines[o.line], o.line, o.start, o.end);
}

}  // namespace

std::vector<Server::FileLines> Server::family(const Document& doc) const {
  // The files: the document, what it includes, and the open documents that
  // include it with what they include.
  std::set<std::string> paths(doc.includes.begin(), doc.includes.end());
  std::vector<const Document*> members{&doc};
  for (const auto& [uri, other] : documents_)
    if (&other != &doc && !doc.path.empty() && other.includes.count(doc.path) > 0) {
      members.push_back(&other);
      paths.insert(other.path);
      paths.insert(other.includes.begin(), other.includes.end());
    }
  paths.erase(doc.path);
  std::vector<FileLines> files{{doc.uri, doc.lines}};
  for (const std::string& path : paths) {
    if (path.empty()) continue;
    if (const Document* open = openDocument(path)) {
      files.push_back({open->uri, open->lines});
      continue;
    }
    // A file on disk, as the last compile that included it read it.
    bool added = false;
    for (const Document* m : members) {
      for (size_t f = 1; f < m->report.files.size() && !added; ++f)
        if (normalPath(m->report.files[f].path) == path) {
          FileLines file{pathToUri(path), {}};
          for (const std::string& line : m->report.files[f].lines) file.lines.push_back(toUtf8(line));
          files.push_back(std::move(file));
          added = true;
        }
      if (added) break;
    }
  }
  return files;
}

json Server::references(const json& params) {
  const Document& doc = document(params);
  const Position at = positionOf(doc, params);
  const Name name = nameAt(doc.lines[at.line], at.byte);
  if (name.kind == Name::Kind::None) return nullptr;
  const bool declarations = params.contains("context") ? params["context"].value("includeDeclaration", true) : true;
  json list = json::array();
  for (const FileLines& file : family(doc))
    for (const Occurrence& o : occurrences(file.lines, name))
      if (declarations || !o.write || name.kind == Name::Kind::Variable)
        list.push_back({{"uri", file.uri}, {"range", occurrenceRange(file.lines, o)}});
  return list;
}

json Server::rename(const json& params) {
  const Document& doc = document(params);
  const Position at = positionOf(doc, params);
  const Name name = nameAt(doc.lines[at.line], at.byte);
  std::string newName = params.at("newName").get<std::string>();
  if (name.kind == Name::Kind::Macro) {
    if (!isMacroName(newName))
      throw RpcError{kInvalidParams, zan::tr("A macro's name is an upper-case letter, then upper-case letters, digits, _ or `")};
  } else if (name.kind == Name::Kind::Variable) {
    if (newName.starts_with('~')) newName.erase(0, 1);
    const bool number = !newName.empty() && newName.size() <= 3 && std::all_of(newName.begin(), newName.end(), isDigit);
    if (!number || std::stoi(newName) >= kVarCount)
      throw RpcError{kInvalidParams, zan::tr("A variable is a number from 0 to 511")};
    newName = std::to_string(std::stoi(newName));
  } else {
    throw RpcError{kInvalidParams, zan::tr("Only a macro or a variable can be renamed")};
  }
  json changes = json::object();
  for (const FileLines& file : family(doc)) {
    json edits = json::array();
    for (const Occurrence& o : occurrences(file.lines, name))
      edits.push_back({{"range", occurrenceRange(file.lines, o)}, {"newText", newName}});
    if (!edits.empty()) changes[file.uri] = std::move(edits);
  }
  return {{"changes", std::move(changes)}};
}

json Server::documentHighlight(const json& params) {
  const Document& doc = document(params);
  const Position at = positionOf(doc, params);
  const Name name = nameAt(doc.lines[at.line], at.byte);
  if (name.kind == Name::Kind::None) return nullptr;
  constexpr int kRead = 2, kWrite = 3;
  json list = json::array();
  for (const Occurrence& o : occurrences(doc.lines, name))
    list.push_back({{"range", occurrenceRange(doc.lines, o)}, {"kind", o.write ? kWrite : kRead}});
  return list;
}

json Server::foldingRange(const json& params) {
  Document& doc = document(params);
  json list = json::array();
  const auto lineOf = [&](size_t offset) {
    return static_cast<size_t>(std::upper_bound(doc.lineStarts.begin(), doc.lineStarts.end(), offset) - doc.lineStarts.begin()) - 1;
  };
  // { } comments over several lines.
  for (const CommentSpan& c : findComments(doc.text)) {
    const size_t first = lineOf(c.start), last = lineOf(c.start + c.length - 1);
    if (last > first) list.push_back({{"startLine", first}, {"endLine", last}, {"kind", "comment"}});
  }
  // Loops over several lines, and the stretches of the score each _tr
  // begins (up to the next _tr or the end).
  LexState state;
  std::vector<Token> tokens;
  std::vector<size_t> open;
  int64_t section = -1;
  for (size_t i = 0; i < doc.lines.size(); ++i) {
    const std::string cp932 = toCp932(doc.lines[i]);
    lexLine(cp932, state, tokens);
    for (const Token& t : tokens) {
      const char first = cp932[static_cast<size_t>(t.start)];
      if (t.kind == TokenKind::Loop && first == '[') open.push_back(i);
      if (t.kind == TokenKind::Loop && first == ']' && !open.empty()) {
        if (i > open.back()) list.push_back({{"startLine", open.back()}, {"endLine", i}, {"kind", "region"}});
        open.pop_back();
      }
      if (t.kind == TokenKind::Underscore && cp932.compare(static_cast<size_t>(t.start), static_cast<size_t>(t.length), "_tr") == 0) {
        if (section >= 0 && static_cast<int64_t>(i) - 1 > section)
          list.push_back({{"startLine", section}, {"endLine", i - 1}, {"kind", "region"}});
        section = static_cast<int64_t>(i);
      }
    }
  }
  size_t last = doc.lines.size() - 1;
  while (last > 0 && doc.lines[last].find_first_not_of(" \t") == std::string::npos) --last;
  if (section >= 0 && static_cast<int64_t>(last) > section)
    list.push_back({{"startLine", section}, {"endLine", last}, {"kind", "region"}});
  return list;
}

json Server::signatureHelp(const json& params) {
  const Document& doc = document(params);
  const Position at = positionOf(doc, params);
  const std::string& line = doc.lines[at.line];
  // The innermost ( still open before the caret, and the commas since.
  int depth = 0;
  size_t commas = 0, open = std::string::npos;
  for (size_t i = at.byte; i > 0; --i) {
    const char c = line[i - 1];
    if (c == ')') ++depth;
    if (c == ',' && depth == 0) ++commas;
    if (c == '(') {
      if (depth == 0) {
        open = i - 1;
        break;
      }
      --depth;
    }
  }
  if (open == std::string::npos || open == 0) return nullptr;
  // What stands before it: a library macro, or \ and a number.
  size_t start = open;
  while (start > 0 && isWordByte(line[start - 1])) --start;
  std::string name = line.substr(start, open - start);
  if (start > 0 && line[start - 1] == '\\' && !name.empty() && std::all_of(name.begin(), name.end(), isDigit)) name = "\\" + name;
  else if (!libraryMacro(name)) return nullptr;
  const ReferenceTopic* topic = exactTopic(name);
  std::string label;
  if (topic) {
    // The form's way with parentheses ("\3=semitones     \3(semitones)").
    for (size_t from = 0; from < topic->form.size();) {
      size_t to = topic->form.find("  ", from);
      if (to == std::string::npos) to = topic->form.size();
      const std::string piece = topic->form.substr(from, to - from);
      if (piece.starts_with(name + "(")) {
        label = piece;
        break;
      }
      from = topic->form.find_first_not_of(' ', to);
      if (from == std::string::npos) break;
    }
  }
  if (label.empty()) return nullptr;
  json parameters = json::array();
  const size_t inside = label.find('(') + 1;
  const size_t close = label.rfind(')');
  size_t from = inside;
  for (size_t i = inside; close != std::string::npos && i <= close; ++i)
    if (i == close || label[i] == ',') {
      parameters.push_back({{"label", {from, i}}});
      from = i + 1;
      while (from < close && label[from] == ' ') ++from;
    }
  json signature = {{"label", label}, {"parameters", parameters}};
  if (topic) signature["documentation"] = {{"kind", "markdown"}, {"value", topic->summary}};
  return {{"signatures", json::array({signature})},
          {"activeSignature", 0},
          {"activeParameter", parameters.empty() ? 0 : std::min(commas, parameters.size() - 1)}};
}

json Server::workspaceSymbol(const json& params) {
  const std::string query = params.value("query", std::string());
  const auto lower = [](std::string s) {
    for (char& c : s)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
  };
  const std::string wanted = lower(query);
  constexpr int kFunction = 12;
  json list = json::array();
  for (const auto& [uri, doc] : documents_)
    for (const MacroDefinition& d : findMacroDefinitions(doc.lines)) {
      if (lower(d.name).find(wanted) == std::string::npos) continue;
      const std::string& line = doc.lines[static_cast<size_t>(d.line)];
      list.push_back({{"name", d.name},
                      {"kind", kFunction},
                      {"location", {{"uri", uri}, {"range", lspRange(line, static_cast<size_t>(d.line), static_cast<size_t>(d.column),
                                                                     static_cast<size_t>(d.column) + d.name.size())}}}});
    }
  return list;
}

}  // namespace zan::lsp
