// SPDX-License-Identifier: MIT
// The language features of the server: hover, completion, the outline, go
// to definition and semantic tokens (whole, by range, as a delta). What
// they know of the language comes from the library: the reference's topics,
// the built-in macro table, and the score's own macros as the last compile
// left them.
#include <algorithm>
#include <cstdint>
#include <set>

#include "lsp_language.h"
#include "lsp_server.h"
#include "lsp_text.h"
#include "zan/builtin_macros.h"
#include "zan/cp932.h"
#include "zan/lexer.h"
#include "zan/line_columns.h"
#include "zan/reference.h"
#include "zan/score_outline.h"
#include "zan/translate.h"

namespace zan::lsp {

bool isWordByte(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == '`';
}
bool isMacroByte(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || c == '_' || c == '`'; }
bool isLower(char c) { return c >= 'a' && c <= 'z'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

Word wordAt(std::string_view line, size_t at) {
  Word w;
  if (line.empty()) return w;
  // The caret just after a word names that word.
  if (at > 0 && (at >= line.size() || !isWordByte(line[at])) && isWordByte(line[at - 1]) &&
      (at >= line.size() || (line[at] != '\\' && line[at] != '#')))
    --at;
  if (at >= line.size()) return w;
  size_t start = at;
  while (start > 0 && isWordByte(line[start - 1])) --start;
  size_t end = at;
  while (end < line.size() && isWordByte(line[end])) ++end;
  // \ and a number.
  if (line[at] == '\\' || isDigit(line[at])) {
    size_t s = at;
    while (s > 0 && isDigit(line[s - 1])) --s;
    if (line[at] == '\\') s = at + 1;
    if (s > 0 && line[s - 1] == '\\') {
      size_t e = s;
      while (e < line.size() && isDigit(line[e])) ++e;
      return {Word::Kind::Numbered, "\\" + std::string(line.substr(s, e - s)), s - 1, e};
    }
  }
  // # and a directive's letters.
  if (line[at] == '#' || (start > 0 && line[start - 1] == '#' && at >= start)) {
    const size_t s = line[at] == '#' ? at + 1 : start;
    size_t e = s;
    while (e < line.size() && (isLower(line[e]) || line[e] == '_')) ++e;
    return {Word::Kind::Directive, "#" + std::string(line.substr(s, e - s)), s - 1, e};
  }
  if (!isWordByte(line[at])) {
    const bool command = std::string_view("!/[:];{}<>@~|").find(line[at]) != std::string_view::npos;
    if (command) return {Word::Kind::Command, std::string(1, line[at]), at, at + 1};
    return w;
  }
  // _ and a worded command: the run of letters and underscores after it.
  // (An _ after an upper-case letter is part of a macro name: INST_NAME.)
  for (size_t u = start; u <= at; ++u) {
    if (line[u] != '_' || !(u == start || isLower(line[u - 1]) || isDigit(line[u - 1]))) continue;
    size_t e = u + 1;
    while (e < line.size() && (isLower(line[e]) || (line[e] >= 'A' && line[e] <= 'Z') || line[e] == '_')) ++e;
    if (at < e && e > u + 1) return {Word::Kind::Underscore, std::string(line.substr(u, e - u)), u, e};
    break;
  }
  // An upper-case name: name characters, never starting with a digit.
  if (isMacroByte(line[at]) && !isLower(line[at])) {
    size_t s = at;
    while (s > 0 && isMacroByte(line[s - 1])) --s;
    while (s < at && !(line[s] >= 'A' && line[s] <= 'Z')) ++s;
    if (line[s] >= 'A' && line[s] <= 'Z') {
      size_t e = s;
      while (e < line.size() && isMacroByte(line[e])) ++e;
      return {Word::Kind::Macro, std::string(line.substr(s, e - s)), s, e};
    }
  }
  if (isLower(line[at])) return {Word::Kind::Command, std::string(1, line[at]), at, at + 1};
  return w;
}

const BuiltinMacro* libraryMacro(std::string_view name) {
  for (const BuiltinMacro& m : builtinMacros())
    if (name == m.name) return &m;
  return nullptr;
}

// The topic whose code keywords hold `keyword` exactly, or nullptr.
const ReferenceTopic* exactTopic(std::string_view keyword) {
  for (const ReferenceTopic& t : referenceTopics())
    for (size_t j = 0; j + 1 < t.keywords.size(); ++j)
      if (t.keywords[j] == keyword) return &t;
  return nullptr;
}

// The topic a look-up of `keyword` finds first, as the help viewer does.
const ReferenceTopic* lookUp(std::string_view keyword) {
  if (const ReferenceTopic* t = exactTopic(keyword)) return t;
  const std::vector<size_t> found = matchTopics(referenceTopics(), keyword);
  return found.empty() ? nullptr : &referenceTopics()[found.front()];
}

// For an _ command: the longest underscore keyword the word begins with
// ("_smonTITLE" is "_smon" and then more).
const ReferenceTopic* underscoreTopic(std::string_view word) {
  const ReferenceTopic* best = nullptr;
  size_t longest = 0;
  for (const ReferenceTopic& t : referenceTopics())
    for (size_t j = 0; j + 1 < t.keywords.size(); ++j) {
      const std::string& k = t.keywords[j];
      if (k.size() > longest && k.starts_with('_') && word.starts_with(k)) {
        best = &t;
        longest = k.size();
      }
    }
  return best;
}

Position positionOf(const Document& doc, const json& params) {
  const json& p = params.at("position");
  const int64_t line = p.at("line").get<int64_t>();
  const int64_t character = p.at("character").get<int64_t>();
  if (line < 0 || static_cast<size_t>(line) >= doc.lines.size() || character < 0)
    throw RpcError{kInvalidParams, zan::tr("The position is outside the document")};
  const std::string& text = doc.lines[static_cast<size_t>(line)];
  // Inside a surrogate pair: after it; past the end: the end.
  const int32_t byte = LineColumns::ofUtf8(text).convert(static_cast<int32_t>(std::min<int64_t>(character, INT32_MAX)),
                                                         LineColumns::Utf16, LineColumns::Utf8, true);
  return {static_cast<size_t>(line), std::min(static_cast<size_t>(byte), text.size())};
}

json lspRange(const std::string& line, size_t lineNumber, size_t startByte, size_t endByte) {
  const LineColumns columns = LineColumns::ofUtf8(line);
  return {{"start", {{"line", lineNumber}, {"character", columns.convert(static_cast<int32_t>(startByte), LineColumns::Utf8, LineColumns::Utf16)}}},
          {"end", {{"line", lineNumber}, {"character", columns.convert(static_cast<int32_t>(endByte), LineColumns::Utf8, LineColumns::Utf16, true)}}}};
}

namespace {

// Where a macro of the score is defined: in the document or in a file it
// included (at the last compile). Empty uri when nowhere.
struct Place {
  std::string uri;
  json range;
  std::string where;  // "line 3", "sub.zan, line 3"
};

Place definitionOf(const Server& server, const Document& doc, std::string_view name) {
  for (const MacroDefinition& d : findMacroDefinitions(doc.lines))
    if (d.name == name) {
      const std::string& line = doc.lines[static_cast<size_t>(d.line)];
      return {doc.uri, lspRange(line, static_cast<size_t>(d.line), static_cast<size_t>(d.column), static_cast<size_t>(d.column) + name.size()),
              zan::tr("line ") + std::to_string(d.line + 1)};
    }
  const std::string cp932Name = toCp932(name);
  const std::vector<SourceFile>& files = doc.report.files;
  for (size_t f = 1; f < files.size(); ++f) {
    // An included file the client has open: its text there, as it is now.
    if (const Document* open = server.openDocument(normalPath(files[f].path))) {
      for (const MacroDefinition& d : findMacroDefinitions(open->lines))
        if (d.name == name) {
          const std::string& line = open->lines[static_cast<size_t>(d.line)];
          return {open->uri,
                  lspRange(line, static_cast<size_t>(d.line), static_cast<size_t>(d.column), static_cast<size_t>(d.column) + name.size()),
                  toUtf8(files[f].name) + zan::tr(", line ") + std::to_string(d.line + 1)};
        }
      continue;
    }
    for (const MacroDefinition& d : findMacroDefinitions(files[f].lines))
      if (d.name == cp932Name) {
        const std::string& cp932 = files[f].lines[static_cast<size_t>(d.line)];
        const LineColumns columns = LineColumns::ofCp932(cp932);
        const int64_t from = columns.convert(d.column, LineColumns::Cp932, LineColumns::Utf16);
        const int64_t to = columns.convert(d.column + static_cast<int32_t>(d.name.size()), LineColumns::Cp932, LineColumns::Utf16, true);
        return {pathToUri(absolutePath(files[f].path)),
                {{"start", {{"line", d.line}, {"character", from}}}, {"end", {{"line", d.line}, {"character", to}}}},
                toUtf8(files[f].name) + zan::tr(", line ") + std::to_string(d.line + 1)};
      }
  }
  return {};
}

// The score's macro `name` as the last compile left it, or nullptr.
const Tmacro::Entry* scoreMacro(const Document& doc, std::string_view name) {
  const std::string cp932 = toCp932(name);
  for (const Tmacro::Entry& e : doc.macros)
    if (e.name == cp932) return &e;
  return nullptr;
}

// The reference's own markers for its example checker ("<!-- out: events -->")
// are no part of the text a reader sees.
std::string withoutMarkers(std::string text) {
  for (size_t at = text.find("<!--"); at != std::string::npos; at = text.find("<!--", at)) {
    const size_t close = text.find("-->", at + 4);
    if (close == std::string::npos) break;
    size_t end = close + 3;
    // A marker on a line of its own goes with its line.
    const bool ownLine = (at == 0 || text[at - 1] == '\n') && (end == text.size() || text[end] == '\n');
    if (ownLine && end < text.size()) ++end;
    text.erase(at, end - at);
  }
  return text;
}

std::string hoverText(const Server& server, const Document& doc, const Word& w) {
  switch (w.kind) {
    case Word::Kind::Macro: {
      const Tmacro::Entry* own = scoreMacro(doc, w.text);
      const Place place = definitionOf(server, doc, w.text);
      if (own || !place.uri.empty()) {
        std::string body = own ? toUtf8(own->body) : "";
        if (!own)
          for (const MacroDefinition& d : findMacroDefinitions(doc.lines))
            if (d.name == w.text) body = d.body;
        std::string text = "```\n_m(" + w.text + ", " + body + zan::tr(")\n```\n\nMacro of this score");
        if (!place.uri.empty()) text += zan::tr(", defined at ") + place.where;
        return text + ".";
      }
      if (const BuiltinMacro* m = libraryMacro(w.text)) {
        if (const ReferenceTopic* t = exactTopic(w.text)) return t->markdown;
        std::string text = zan::tr("Library macro `") + w.text + zan::tr("`: stands for `") + m->body + "`.";
        if (const ReferenceTopic* t = lookUp(m->body)) text += "\n\n" + t->markdown;
        return text;
      }
      return "";
    }
    case Word::Kind::Underscore: {
      const ReferenceTopic* t = underscoreTopic(w.text);
      return t ? t->markdown : "";
    }
    case Word::Kind::Directive:
    case Word::Kind::Numbered:
    case Word::Kind::Command: {
      const ReferenceTopic* t = lookUp(w.text);
      return t ? t->markdown : "";
    }
    case Word::Kind::None:
      break;
  }
  return "";
}

// Completion items that never change: the commands, underscore commands and
// directives of the reference, and the library macros.
const json& fixedCompletions() {
  static const json items = [] {
    json list = json::array();
    std::vector<std::string> seen;
    const auto add = [&](const std::string& label, int kind, const std::string& detail, const std::string& doc) {
      if (std::find(seen.begin(), seen.end(), label) != seen.end()) return;
      seen.push_back(label);
      list.push_back({{"label", label}, {"kind", kind}, {"detail", detail}, {"documentation", doc}});
    };
    constexpr int kFunction = 3, kKeyword = 14;
    for (const ReferenceTopic& t : referenceTopics())
      for (size_t j = 0; j + 1 < t.keywords.size(); ++j) {
        const std::string& k = t.keywords[j];
        const bool worded = k.size() > 1 && (k[0] == '_' || k[0] == '#' || k[0] == '\\' || k[0] == '~');
        const bool letter = k.size() == 1 && std::string_view("abcdefgnrloqtvyp@!<>[:];{/").find(k[0]) != std::string_view::npos;
        if (worded || letter) add(k, kKeyword, t.form.empty() ? k : t.form, t.summary);
      }
    for (const BuiltinMacro& m : builtinMacros()) {
      const ReferenceTopic* t = exactTopic(m.name);
      add(m.name, kFunction, t && !t->form.empty() ? t->form : macroForm(m.name, m.body),
          t ? t->summary : zan::tr("library macro: stands for ") + std::string(m.body));
    }
    return list;
  }();
  return items;
}

std::string oneLine(std::string text, size_t most) {
  std::replace(text.begin(), text.end(), '\n', ' ');
  std::replace(text.begin(), text.end(), '\r', ' ');
  if (text.size() > most) {
    size_t cut = most;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;  // not inside a character
    text = text.substr(0, cut) + "\u2026";
  }
  return text;
}

// The token types announced to the client, and the one of each kind of the
// lexer's spans (-1: not coloured; the diagnostics mark what is wrong).
// clang-format off
constexpr const char* kTokenTypes[] = {
    "keyword", "number", "enumMember", "type", "function", "operator", "comment",
    "namespace", "method", "variable", "event", "macro", "parameter",
};
constexpr int kTokenTypeOf[kTokenKindCount] = {
    0,   // Note
    1,   // Length
    2,   // Rest
    3,   // Setting
    4,   // Channel
    5,   // Loop
    6,   // Comment
    7,   // Directive
    8,   // Underscore
    9,   // Variable
    10,  // Numbered
    11,  // Macro
    12,  // Argument
    5,   // BarLine
    -1,  // Unknown
};
// clang-format on

}  // namespace

json semanticTokensLegend() {
  json types = json::array();
  for (const char* t : kTokenTypes) types.push_back(t);
  return {{"tokenTypes", std::move(types)}, {"tokenModifiers", json::array()}};
}

namespace {

// The tokens of lines [from, to) as the protocol sends them: five numbers a
// token (line and start from the token before, the first from line 0 and
// column 0; length; type; modifiers).
std::vector<uint32_t> tokenData(Document& doc, size_t from, size_t to) {
  std::vector<uint32_t> data;
  to = std::min(to, doc.lines.size());
  if (from >= to) return data;
  LexState state = doc.lexStateAt(from);
  std::vector<Token> tokens;
  int64_t lastLine = 0, lastStart = 0;
  for (size_t i = from; i < to; ++i) {
    lexLine(toCp932(doc.lines[i]), state, tokens);
    const LineColumns columns = LineColumns::ofUtf8(doc.lines[i]);
    for (const Token& t : tokens) {
      const int type = kTokenTypeOf[static_cast<int>(t.kind)];
      if (type < 0) continue;
      const int64_t start = columns.convert(t.start, LineColumns::Cp932, LineColumns::Utf16);
      const int64_t end = columns.convert(t.start + t.length, LineColumns::Cp932, LineColumns::Utf16, true);
      const int64_t line = static_cast<int64_t>(i);
      data.insert(data.end(), {static_cast<uint32_t>(line - lastLine), static_cast<uint32_t>(line == lastLine ? start - lastStart : start),
                               static_cast<uint32_t>(end - start), static_cast<uint32_t>(type), 0u});
      lastLine = line;
      lastStart = start;
    }
  }
  return data;
}

}  // namespace

json Server::semanticTokens(const json& params) {
  Document& doc = document(params);
  doc.tokensData = tokenData(doc, 0, doc.lines.size());
  doc.tokensResultId = std::to_string(++tokensResults_);
  return {{"resultId", doc.tokensResultId}, {"data", doc.tokensData}};
}

json Server::semanticTokensDelta(const json& params) {
  Document& doc = document(params);
  std::vector<uint32_t> data = tokenData(doc, 0, doc.lines.size());
  const std::string previous = params.value("previousResultId", std::string());
  const std::string id = std::to_string(++tokensResults_);
  if (previous.empty() || previous != doc.tokensResultId) {
    doc.tokensData = std::move(data);
    doc.tokensResultId = id;
    return {{"resultId", id}, {"data", doc.tokensData}};
  }
  // One edit: what lies between the numbers both lists begin with and those
  // both end with.
  const std::vector<uint32_t>& old = doc.tokensData;
  size_t head = 0;
  while (head < old.size() && head < data.size() && old[head] == data[head]) ++head;
  size_t tail = 0;
  while (tail < old.size() - head && tail < data.size() - head && old[old.size() - 1 - tail] == data[data.size() - 1 - tail]) ++tail;
  json edits = json::array();
  if (head != old.size() || head != data.size()) {
    const auto from = data.begin() + static_cast<std::ptrdiff_t>(head);
    edits.push_back({{"start", head},
                     {"deleteCount", old.size() - head - tail},
                     {"data", std::vector<uint32_t>(from, data.end() - static_cast<std::ptrdiff_t>(tail))}});
  }
  doc.tokensData = std::move(data);
  doc.tokensResultId = id;
  return {{"resultId", id}, {"edits", std::move(edits)}};
}

json Server::semanticTokensRange(const json& params) {
  Document& doc = document(params);
  const json& r = params.at("range");
  const int64_t from = r.at("start").at("line").get<int64_t>();
  const int64_t to = r.at("end").at("line").get<int64_t>();
  if (from < 0 || to < from) throw RpcError{kInvalidParams, zan::tr("The range is outside the document")};
  // Whole lines: a token the range cuts is sent whole.
  return {{"data", tokenData(doc, static_cast<size_t>(from), static_cast<size_t>(to) + 1)}};
}

json Server::hover(const json& params) {
  const Document& doc = document(params);
  const Position at = positionOf(doc, params);
  const std::string& line = doc.lines[at.line];
  const Word w = wordAt(line, at.byte);
  if (w.kind == Word::Kind::None) return nullptr;
  const std::string text = withoutMarkers(hoverText(*this, doc, w));
  if (text.empty()) return nullptr;
  return {{"contents", {{"kind", "markdown"}, {"value", text}}}, {"range", lspRange(line, at.line, w.start, w.end)}};
}

json Server::completion(const json& params) {
  const Document& doc = document(params);
  const Position at = positionOf(doc, params);
  const std::string& line = doc.lines[at.line];
  // What is typed so far: a word, with the # or \ in front of it.
  size_t start = at.byte;
  while (start > 0 && isWordByte(line[start - 1])) --start;
  if (start > 0 && (line[start - 1] == '#' || line[start - 1] == '\\')) --start;
  const json replace = lspRange(line, at.line, start, at.byte);
  json items = fixedCompletions();
  std::set<std::string> labels;
  for (const json& i : items) labels.insert(i["label"].get<std::string>());
  const auto addMacro = [&](const std::string& name, const std::string& body) {
    // The score's own definition wins over the library's of the same name.
    if (!labels.insert(name).second && !libraryMacro(name)) return;
    if (libraryMacro(name))
      items.erase(std::find_if(items.begin(), items.end(), [&](const json& i) { return i["label"] == name; }));
    items.push_back({{"label", name},
                     {"kind", 3},
                     {"detail", macroForm(name, body)},
                     {"documentation", zan::tr("macro of this score: ") + oneLine(body, 80)}});
  };
  std::set<std::string> own;
  for (const MacroDefinition& d : findMacroDefinitions(doc.lines))
    if (own.insert(d.name).second) addMacro(d.name, d.body);
  for (const Tmacro::Entry& e : doc.macros)
    if (own.insert(toUtf8(e.name)).second) addMacro(toUtf8(e.name), toUtf8(e.body));
  for (json& item : items) item["textEdit"] = {{"range", replace}, {"newText", item["label"]}};
  return {{"isIncomplete", false}, {"items", std::move(items)}};
}

json Server::documentSymbol(const json& params) {
  const Document& doc = document(params);
  // Byte offsets of the whole text to lines and columns.
  std::vector<size_t> lineStarts{0};
  for (size_t i = 0; i < doc.text.size(); ++i) {
    if (doc.text[i] != '\r' && doc.text[i] != '\n') continue;
    if (doc.text[i] == '\r' && i + 1 < doc.text.size() && doc.text[i + 1] == '\n') ++i;
    lineStarts.push_back(i + 1);
  }
  const auto place = [&](size_t offset) -> json {
    const size_t line = static_cast<size_t>(std::upper_bound(lineStarts.begin(), lineStarts.end(), offset) - lineStarts.begin()) - 1;
    const std::string& text = line < doc.lines.size() ? doc.lines[line] : std::string();
    return {{"line", line},
            {"character", LineColumns::ofUtf8(text).convert(static_cast<int32_t>(offset - lineStarts[line]), LineColumns::Utf8, LineColumns::Utf16)}};
  };
  constexpr int kString = 15, kFunction = 12;
  json symbols = json::array();
  for (const CommentSpan& c : findComments(doc.text)) {
    const json from = place(c.start), to = place(c.start + c.length);
    const json r = {{"start", from}, {"end", to}};
    symbols.push_back({{"name", oneLine(doc.text.substr(c.start, c.length), 80)}, {"kind", kString}, {"range", r}, {"selectionRange", r}});
  }
  for (const MacroDefinition& d : findMacroDefinitions(doc.lines)) {
    const std::string& line = doc.lines[static_cast<size_t>(d.line)];
    symbols.push_back({{"name", d.name},
                       {"detail", oneLine(d.body, 80)},
                       {"kind", kFunction},
                       {"range", lspRange(line, static_cast<size_t>(d.line), 0, line.size())},
                       {"selectionRange", lspRange(line, static_cast<size_t>(d.line), static_cast<size_t>(d.column),
                                                   static_cast<size_t>(d.column) + d.name.size())}});
  }
  return symbols;
}

json Server::definition(const json& params) {
  const Document& doc = document(params);
  const Position at = positionOf(doc, params);
  const Word w = wordAt(doc.lines[at.line], at.byte);
  if (w.kind != Word::Kind::Macro) return nullptr;
  const Place place = definitionOf(*this, doc, w.text);
  if (place.uri.empty()) return nullptr;
  return {{"uri", place.uri}, {"range", place.range}};
}

}  // namespace zan::lsp
