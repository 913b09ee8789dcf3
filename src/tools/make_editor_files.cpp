// SPDX-License-Identifier: MIT
// Writes what other editors need to know of the language, from the tables
// the lexer reads (the dispatch by first byte, the underscore keywords and
// directives, the library macros and the shape of each body), so that the
// editors' colours never drift from zanpad's:
//
//   make_editor_files OUTDIR      OUTDIR/vim/{ftdetect,ftplugin,syntax,compiler}/zan.vim
//                                 and OUTDIR/zan.tmLanguage.json (VS Code)
//   make_editor_files --classes   reads a score (UTF-8) on standard input and
//                                 prints, a line for each of its lines, one
//                                 letter a character: the lexer's class of it
//
// Both grammars are built from one list of rules written as Oniguruma
// patterns (the engine of TextMate grammars); the Vim syntax file gets the
// same patterns translated to Vim's very-magic form. A rule is a command's
// head and the parts that may follow it, each part in a class of its own.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "zan/builtin_macros.h"
#include "zan/cp932.h"
#include "zan/language.h"
#include "zan/lexer.h"

namespace {

using zan::CommandKind;
using zan::TokenKind;

// The classes as the grammars name them, in TokenKind's order: the letter
// --classes prints, the TextMate scope (its next-to-last part is the class,
// which the grammar test reads back) and the Vim highlight group linked to.
struct ClassRow {
  char letter;
  const char* scope;
  const char* vimGroup;
  const char* vimLink;
};
// clang-format off
constexpr ClassRow kClasses[] = {
    {'n', "keyword.other.note.zan",           "zanNote",       "Identifier"},
    {'l', "constant.numeric.length.zan",      "zanLength",     "Number"},
    {'r', "keyword.other.rest.zan",           "zanRest",       "Statement"},
    {'s', "storage.modifier.setting.zan",     "zanSetting",    "Type"},
    {'c', "support.function.channel.zan",     "zanChannel",    "Function"},
    {'o', "keyword.control.loop.zan",         "zanLoop",       "Repeat"},
    {'k', "comment.block.comment.zan",        "zanComment",    "Comment"},
    {'d', "meta.preprocessor.directive.zan",  "zanDirective",  "PreProc"},
    {'u', "keyword.other.underscore.zan",     "zanUnderscore", "Keyword"},
    {'v', "variable.other.variable.zan",      "zanVariable",   "StorageClass"},
    {'b', "support.function.numbered.zan",    "zanNumbered",   "Special"},
    {'m', "entity.name.function.macro.zan",   "zanMacro",      "Macro"},
    {'a', "variable.parameter.argument.zan",  "zanArgument",   "Constant"},
    {'|', "punctuation.separator.bar.zan",    "zanBar",        "Delimiter"},
    {'x', "invalid.illegal.unknown.zan",      "zanUnknown",    "Error"},
};
// clang-format on
static_assert(std::size(kClasses) == zan::kTokenKindCount);
const ClassRow& row(TokenKind k) { return kClasses[static_cast<int>(k)]; }

// ---- Patterns -------------------------------------------------------------------
// Written for Oniguruma with non-capturing groups only (the rules add the
// captures); punctuation meant literally is escaped or is one of the bytes
// that are literal in both dialects once vimPattern has escaped them.

std::string escapeRegex(std::string_view s) {
  std::string out;
  for (char c : s) {
    if (std::string_view("\\^$.|?*+()[]{}/").find(c) != std::string_view::npos) out += '\\';
    out += c;
  }
  return out;
}
// A character class of the given bytes.
std::string charClass(std::string_view bytes) {
  std::string out = "[";
  for (char c : bytes) {
    if (std::string_view("\\[]^-$").find(c) != std::string_view::npos) out += '\\';
    out += c;
  }
  return out + "]";
}
std::string alternatives(const std::vector<std::string>& words) {
  std::string out = "(?:";
  for (size_t i = 0; i < words.size(); ++i) out += (i ? "|" : "") + escapeRegex(words[i]);
  return out + ")";
}
// The bytes of the dispatch table that start a command of `kind`.
std::string bytesOf(CommandKind kind) {
  std::string out;
  for (int b = 0; b < 128; ++b)
    if (zan::commandKind(static_cast<unsigned char>(b)) == kind) out += static_cast<char>(b);
  return out;
}

// The argument scanner's extents (lexer.cpp), as patterns.
const std::string kDigits = R"re((?:\$[0-9A-Fa-f]+|[0-9]+))re";
const std::string kNumber = "~*" + kDigits + "?";                      // ~ then digits
const std::string kTerm = "[-+]?~*" + kDigits + "?";                    // a sign, then a number
const std::string kTermStart = R"re((?= *[-+~$0-9,]))re";
const std::string kList = "=?(?:" + kTermStart + " *)?" + kTerm + "(?: *," + kTerm + ")*";  // a,b,c
const std::string kSegment = "(?:%" + kNumber + "|" + kNumber + ")\\.*";
const std::string kLength = kSegment + "(?:\\|*\\^" + kSegment + ")*";  // 4. or 4^8 or %96
// A list in parentheses to its closing one (or the end of the line), or a
// list after = + -.
const std::string kParens = R"re(\((?:[^()"]|"[^"]*"?|\((?:[^()"]|"[^"]*"?)*\)?)*\)?)re";
const std::string kScanArgs = "(?:" + kParens + "|(?=[-+=])" + kList + ")";
const std::string kMacroNameChar = "[0-9A-Z_`]";

// The arguments the command `command` reads (numbered: its number).
std::string argumentsOf(unsigned char command, int numbered) {
  switch (zan::commandKind(command)) {
    case CommandKind::Accent: return "=?" + kTerm;
    case CommandKind::Loop: return command == '[' ? kNumber : "";
    case CommandKind::OctaveShift:
    case CommandKind::Tempo: return kNumber;
    case CommandKind::ProgramChange:
    case CommandKind::Velocity:
    case CommandKind::ControlChange: return kList;
    case CommandKind::PitchBend: return "-?" + kNumber;
    case CommandKind::LengthOctaveGate: return "%?[-+=]?" + kNumber;
    case CommandKind::Numbered:
      switch (numbered) {
        case 0: case 1: case 2: case 5: return kList;  // system exclusive, NRPN, RPN
        case 23: return "(?:" + kParens + "|=?%?[-+]?" + kNumber + ")";  // the gate offset
        default: return kScanArgs + "?";
      }
    default: return "";
  }
}

// ---- Rules ------------------------------------------------------------------------

struct Part {
  std::string lead;  // matched before the part, in no class (spaces)
  std::string pattern;
  TokenKind kind;
};
// A command: its head, then parts each of which may be missing.
struct MatchRule {
  std::string name;  // names the Vim items
  std::vector<Part> parts;
};
// A span across lines (a { comment, the rest after #end, skip mode, a
// /group/): the begin in `beginKind`, what lies inside in `inside` (or
// the commands, when `commands`), the end in `endKind` with its own parts.
struct RegionRule {
  std::string name;
  std::string begin;
  TokenKind beginKind;
  std::string end;
  std::vector<Part> endParts;
  TokenKind inside;
  bool commands;  // the commands that run while skipping are read inside
};

struct Grammar {
  std::vector<RegionRule> regions;  // tried before the matches
  std::vector<MatchRule> matches;   // in priority order: the first that matches at a place wins
};

Grammar buildGrammar() {
  Grammar g;
  auto rule = [&](std::string name, std::vector<Part> parts) { g.matches.push_back({std::move(name), std::move(parts)}); };

  // Comments.
  const std::string commentBytes = bytesOf(CommandKind::Comment);  // ; {
  g.regions.push_back({"BlockComment", "\\{", TokenKind::Comment, "\\}", {}, TokenKind::Comment, false});
  rule("LineComment", {{"", ";.*", TokenKind::Comment}});
  if (commentBytes != ";{") throw std::runtime_error("the comment bytes changed: " + commentBytes);

  // #end: nothing further is compiled.
  g.regions.push_back({"Ended", "#" + escapeRegex(zan::directive::kEnd), TokenKind::Directive, "(?!)", {},
                       TokenKind::Comment, false});
  // Skip mode: only the bytes kSkipModeBytes name are commands until _skipoff.
  const auto& first = zan::underscoreFirstGroup();
  const auto& second = zan::underscoreSecondGroup();
  auto word = [](std::span<const zan::UnderscoreKeyword> group, zan::UnderscoreWord id) {
    for (const auto& k : group)
      if (k.id == id) return std::string(k.word);
    throw std::runtime_error("an underscore keyword is missing");
  };
  g.regions.push_back({"Skipped", "_" + word(first, zan::UnderscoreWord::SkipOn), TokenKind::Underscore,
                       "(?=_" + word(first, zan::UnderscoreWord::SkipOff) + ")", {}, TokenKind::Comment, true});

  rule("Directive", {{"", "#(?:" + alternatives({std::string(zan::directive::kTimebase),
                                                  std::string(zan::directive::kOctaveUpDown)}) +
                              "(?: *(?=[~$0-9]))?" + kNumber + "|" + escapeRegex(zan::directive::kRandomize) +
                              "(?: *(?=[-+~$0-9]))?" + kTerm + "|" + escapeRegex(zan::directive::kInclude) +
                              R"re((?: *"(?:[^"]*")?)?)?)re",
                      TokenKind::Directive}});

  // Underscore keywords: those that read an argument list, those that do not, and _m.
  std::vector<std::string> withArgs, plain, secondArgs;
  std::string macroWord;
  for (const auto& k : first) {
    const bool switches = k.id == zan::UnderscoreWord::SmallMacrosOn || k.id == zan::UnderscoreWord::SmallMacrosOff ||
                          k.id == zan::UnderscoreWord::SkipOn || k.id == zan::UnderscoreWord::SkipOff;
    (switches ? plain : withArgs).push_back(std::string(k.word));
  }
  for (const auto& k : second)
    if (k.id == zan::UnderscoreWord::Macro) macroWord = k.word;
    else secondArgs.push_back(std::string(k.word));
  // The _ looks ahead for its keyword, which the part after it then takes.
  auto before = [](const std::string& pattern) { return "_(?=" + pattern + ")"; };
  rule("UnderscoreArgs", {{"", before(alternatives(withArgs)), TokenKind::Underscore},
                          {"", alternatives(withArgs), TokenKind::Underscore},
                          {"", kScanArgs, TokenKind::Argument}});
  rule("UnderscoreSwitch",
       {{"", before(alternatives(plain)), TokenKind::Underscore}, {"", alternatives(plain), TokenKind::Underscore}});
  rule("UnderscoreSecond", {{"", before(alternatives(secondArgs)), TokenKind::Underscore},
                            {"", alternatives(secondArgs), TokenKind::Underscore},
                            {"", kScanArgs, TokenKind::Argument}});
  // _m(NAME,body) and _m(NAME,"body"), the quoted body perhaps carried on by +.
  rule("Define", {{"", before(escapeRegex(macroWord) + R"re(\([^,]*,)re"), TokenKind::Underscore},
                  {"", escapeRegex(macroWord), TokenKind::Underscore},
                  {"", R"re(\([^,]*,(?: *"[^"]*" *(?:\)|\+.*)?| *[^ "][^)]*\)))re", TokenKind::Argument}});
  g.regions.push_back({"DefineQuoted", "_" + escapeRegex(macroWord) + R"re(\([^,]*, *"(?=[^"]*$))re",
                       TokenKind::Argument, R"re(" *(?:\)|\+.*)?)re", {}, TokenKind::Argument, false});
  rule("Underscore", {{"", "_", TokenKind::Underscore}});

  // The library's macros, by what their bodies read after the name.
  std::map<std::string, std::vector<std::string>> byTail;
  for (const zan::BuiltinMacro& m : zan::builtinMacros()) {
    const zan::MacroShape shape = zan::macroShape(m.body);
    std::string tail;
    if (shape.marks) tail = "(?:" + kParens + "|(?==)" + kScanArgs + ")";
    else if (shape.tail) tail = argumentsOf(shape.tail, shape.numbered);
    byTail[tail].push_back(m.name);
  }
  int group = 0;
  for (auto& [tail, names] : byTail) {
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    std::vector<Part> parts{{"", alternatives(names) + "(?!" + kMacroNameChar + ")", TokenKind::Macro}};
    if (!tail.empty()) parts.push_back({"", tail, TokenKind::Argument});
    rule("Library" + std::to_string(group++), parts);
  }
  // The score's own macros (or an included file's): any such name.
  rule("Macro", {{"", "[A-Z]" + kMacroNameChar + "*", TokenKind::Macro}, {"", kParens, TokenKind::Argument}});

  // Notes and rests with their lengths, the ,velocity,gate suffix and &.
  std::string noteNames = bytesOf(CommandKind::Note);
  if (noteNames.find('n') == std::string::npos) throw std::runtime_error("n is no longer a note");
  noteNames.erase(noteNames.find('n'), 1);
  rule("Note", {{"", charClass(noteNames) + "[-+]*|n" + kNumber + ",?[-+]*", TokenKind::Note},
                {"", kLength, TokenKind::Length},
                {"", "," + kList, TokenKind::Argument},
                {" *", "&", TokenKind::Length}});
  rule("Tie", {{"", "\\^" + kLength, TokenKind::Length}});
  rule("Rest", {{"", charClass(bytesOf(CommandKind::Rest)), TokenKind::Rest}, {"", kLength, TokenKind::Length}});

  // The commands with a value of their own.
  auto commands = [&](std::string name, CommandKind kind, TokenKind cls) {
    std::map<std::string, std::string> byArgs;
    for (char c : bytesOf(kind)) byArgs[argumentsOf(static_cast<unsigned char>(c), -1)] += c;
    for (const auto& [args, bytes] : byArgs) rule(name, {{"", charClass(bytes) + args, cls}});
  };
  commands("Setting", CommandKind::LengthOctaveGate, TokenKind::Setting);
  commands("Setting", CommandKind::OctaveShift, TokenKind::Setting);
  for (CommandKind k : {CommandKind::Tempo, CommandKind::Velocity, CommandKind::ControlChange,
                        CommandKind::ProgramChange, CommandKind::PitchBend, CommandKind::Accent})
    commands("Channel", k, TokenKind::Channel);
  commands("Loop", CommandKind::Loop, TokenKind::Loop);

  // Numbered commands: \ and the number, then what that number reads.
  for (int n : {0, 1, 2, 5, 23})
    rule("Numbered", {{"", "\\\\" + std::to_string(n) + "(?![0-9])", TokenKind::Numbered},
                      {"", argumentsOf('\\', n), TokenKind::Argument}});
  rule("Numbered", {{"", "\\\\" + kNumber, TokenKind::Numbered}, {"", argumentsOf('\\', -1), TokenKind::Argument}});

  // ~n op ...: the index, the operator (whatever it is), then what it reads.
  rule("Variable", {{"", "~ *" + kNumber +
                             "(?:[-+*/%RL|^&]" + kTerm + "|=(?:(?:ptr|trk|bas|dly|acv|REV|CHO)|(?:rnd|nno|len)" +
                             kScanArgs + "?|[MPVEDBvloqQ]|" + kTerm + "(?:[-+*/%><:RL^&|]" + kTerm + ")?)|[^ \t])?",
                     TokenKind::Variable}});

  rule("Bar", {{"", "\\|", TokenKind::BarLine}});
  // Every other byte that is not passed over is undecipherable.
  std::string ignored = bytesOf(CommandKind::Ignored);
  ignored.erase(std::remove(ignored.begin(), ignored.end(), '|'), ignored.end());
  rule("Unknown", {{"", "[^" + ignored + "|]", TokenKind::Unknown}});
  return g;
}

// ---- TextMate -----------------------------------------------------------------------

std::string jsonString(std::string_view s) {
  std::string out = "\"";
  for (char c : s) {
    if (c == '"' || c == '\\') out += '\\';
    if (c == '\t') {
      out += "\\t";
      continue;
    }
    out += c;
  }
  return out + "\"";
}

// One pattern with a capture for each part: (head)(?:lead(part))?...
std::string tmMatch(const std::vector<Part>& parts, std::string& captures) {
  std::string pattern;
  captures = "{";
  for (size_t i = 0; i < parts.size(); ++i) {
    const Part& p = parts[i];
    std::string piece = p.lead + "(" + p.pattern + ")";
    pattern += i == 0 ? piece : "(?:" + piece + ")?";
    captures += (i ? ", " : "") + std::string("\"") + std::to_string(i + 1) + "\": {\"name\": " +
                jsonString(row(p.kind).scope) + "}";
  }
  captures += "}";
  return pattern;
}

// Skip mode passes over everything but comments, directives and the
// underscore commands (kSkipModeBytes).
bool runsWhileSkipping(const std::string& name) {
  return name == "BlockComment" || name == "LineComment" || name == "Ended" || name == "Directive" ||
         name.starts_with("Underscore") || name.starts_with("Define");
}

std::string textMate(const Grammar& g) {
  std::ostringstream out;
  out << "{\n  \"name\": \"zan\",\n  \"scopeName\": \"source.zan\",\n  \"fileTypes\": [\"zan\"],\n"
      << "  \"comment\": \"Made by make_editor_files from the tables of zan's lexer; do not edit.\",\n"
      << "  \"patterns\": [{\"include\": \"#group\"}, {\"include\": \"#commands\"}],\n"
      << "  \"repository\": {\n";
  // A /group/ holds commands and ends in a slash and a length.
  std::string endCaptures;
  const std::string groupEnd = tmMatch({{"", "/", TokenKind::Loop}, {"", kLength, TokenKind::Length}}, endCaptures);
  out << "    \"group\": {\"begin\": " << jsonString("/(?=[^/]*/)") << ", \"beginCaptures\": {\"0\": {\"name\": "
      << jsonString(row(TokenKind::Loop).scope) << "}}, \"end\": " << jsonString(groupEnd)
      << ", \"endCaptures\": " << endCaptures << ", \"patterns\": [{\"include\": \"#commands\"}]},\n";
  std::string commands, skipped;
  int count = 0;
  auto add = [&](const std::string& name, const std::string& body) {
    const std::string key = name + "-" + std::to_string(count++);
    out << "    " << jsonString(key) << ": " << body << ",\n";
    const std::string include = std::string(commands.empty() ? "" : ", ") + "{\"include\": \"#" + key + "\"}";
    commands += include;
    if (runsWhileSkipping(name)) skipped += std::string(skipped.empty() ? "" : ", ") + "{\"include\": \"#" + key + "\"}";
  };
  for (const RegionRule& r : g.regions) {
    std::ostringstream body;
    body << "{\"begin\": " << jsonString(r.begin) << ", \"beginCaptures\": {\"0\": {\"name\": "
         << jsonString(row(r.beginKind).scope) << "}}, \"end\": " << jsonString(r.end)
         << ", \"endCaptures\": {\"0\": {\"name\": " << jsonString(row(r.inside).scope)
         << "}}";
    // While skipping, each byte passed over is a comment, the blanks between none.
    if (r.commands) body << ", \"patterns\": [{\"include\": \"#skipped\"}, {\"match\": \"[^ \\\\t]\", \"name\": "
                         << jsonString(row(r.inside).scope) << "}]";
    else body << ", \"contentName\": " << jsonString(row(r.inside).scope);
    body << "}";
    add(r.name, body.str());
  }
  for (const MatchRule& m : g.matches) {
    std::string captures;
    const std::string pattern = tmMatch(m.parts, captures);
    add(m.name, "{\"match\": " + jsonString(pattern) + ", \"captures\": " + captures + "}");
  }
  out << "    \"skipped\": {\"patterns\": [" << skipped << "]},\n";
  out << "    \"commands\": {\"patterns\": [" << commands << "]}\n";
  out << "  }\n}\n";
  return out.str();
}

// ---- Vim ------------------------------------------------------------------------------

// An Oniguruma pattern of the subset above in Vim's very-magic form.
std::string vimPattern(std::string_view p) {
  std::string out = "\\v";
  std::vector<std::string> closers;
  for (size_t i = 0; i < p.size(); ++i) {
    const char c = p[i];
    if (c == '\\') {
      const char n = p[++i];
      out += '\\';
      out += n;
      continue;
    }
    if (c == '[') {
      out += '[';
      size_t j = i + 1;
      if (p[j] == '^') out += '^', ++j;
      for (; p[j] != ']'; ++j) {
        if (p[j] == '\\') {
          const char n = p[++j];
          if (n == ']' || n == '\\' || n == '-' || n == '^') out += '\\';
          out += n;
        } else {
          out += p[j];
        }
      }
      out += ']';
      i = j;
      continue;
    }
    if (c == '(') {
      if (p.substr(i).starts_with("(?:")) closers.push_back(")"), out += "%(", i += 2;
      else if (p.substr(i).starts_with("(?=")) closers.push_back(")@="), out += "%(", i += 2;
      else if (p.substr(i).starts_with("(?!")) closers.push_back(")@!"), out += "%(", i += 2;
      else if (p.substr(i).starts_with("(?<=")) closers.push_back(")@<="), out += "%(", i += 3;
      else if (p.substr(i).starts_with("(?<!")) closers.push_back(")@<!"), out += "%(", i += 3;
      else closers.push_back(")"), out += "(";
      continue;
    }
    if (c == ')') {
      out += closers.back();
      closers.pop_back();
      continue;
    }
    if (std::string_view("|*+?.^$").find(c) != std::string_view::npos) {
      out += c;
      continue;
    }
    if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_') {
      out += c;
      continue;
    }
    out += '\\';  // every other ASCII byte is special in very-magic form unless escaped
    out += c;
  }
  if (out.find('\'') != std::string::npos) throw std::runtime_error("a pattern holds the Vim delimiter '");
  return out;
}
std::string vimQuoted(std::string_view pattern) { return "'" + vimPattern(pattern) + "'"; }

// The bytes a non-empty match of `pattern` can begin with, as a lookahead.
// Vim passes over a byte where an item that follows another (nextgroup)
// matches nothing, so such items must not match the empty string.
std::string nonEmpty(const std::string& pattern) {
  const std::regex re(pattern, std::regex::ECMAScript);
  if (!std::regex_search(std::string(), re, std::regex_constants::match_continuous)) return pattern;
  std::string first;
  for (int c = 0; c < 127; ++c) {
    if (c != '\t' && c < ' ') continue;
    for (const char* rest : {"", "^", "1", "^1", "0,1", "A,1)"}) {
      const std::string s = std::string(1, static_cast<char>(c)) + rest;
      std::smatch m;
      if (std::regex_search(s, m, re, std::regex_constants::match_continuous) && m.length(0) > 0) {
        first += static_cast<char>(c);
        break;
      }
    }
  }
  if (first.empty()) throw std::runtime_error("a pattern matches nothing: " + pattern);
  return "(?=" + charClass(first) + ")" + pattern;
}

std::string vimSyntax(const Grammar& g) {
  std::ostringstream out;
  out << "\" Vim syntax file for zan scores. Made by make_editor_files from the tables\n"
         "\" of zan's lexer; do not edit.\n"
         "if exists('b:current_syntax')\n  finish\nendif\n"
         "syntax case match\n"
         "syntax sync fromstart\n\n";
  // Vim lets the item defined last win where several start at one place:
  // the rules go in from the lowest priority up, each rule's later parts as
  // contained items that may follow its head.
  int n = 0;
  for (auto it = g.matches.rbegin(); it != g.matches.rend(); ++it, ++n) {
    const MatchRule& m = *it;
    const std::string base = "zan" + m.name + std::to_string(n);
    for (size_t i = 0; i < m.parts.size(); ++i) {
      std::string next;
      for (size_t j = i + 1; j < m.parts.size(); ++j) next += (next.empty() ? "" : ",") + base + "_" + std::to_string(j);
      const Part& p = m.parts[i];
      out << "syntax match " << (i ? base + "_" + std::to_string(i) : base) << " "
          << vimQuoted(p.lead.empty() ? (i ? nonEmpty(p.pattern) : p.pattern)
                                      : p.lead + "\\zs" + p.pattern);  // \zs survives as written
      if (i) out << " contained";
      if (!next.empty()) out << " nextgroup=" << next;
      out << "\n";
      out << "highlight default link " << (i ? base + "_" + std::to_string(i) : base) << " " << row(p.kind).vimGroup
          << "\n";
    }
  }
  // /group/ holds every command but another group; skip mode only some.
  std::string contained, whileSkipping = "zanBlockComment,zanEnded,zanDefineQuoted";
  {
    int k = 0;
    for (auto it = g.matches.rbegin(); it != g.matches.rend(); ++it, ++k) {
      const std::string base = "zan" + it->name + std::to_string(k);
      for (size_t i = 1; i < it->parts.size(); ++i) contained += (contained.empty() ? "" : ",") + base + "_" + std::to_string(i);
      if (runsWhileSkipping(it->name)) whileSkipping += "," + base;
    }
  }
  out << "syntax cluster zanContained contains=" << contained << "\n";
  out << "syntax cluster zanSkipped contains=" << whileSkipping << "\n";
  out << "syntax cluster zanCommands contains=ALLBUT,zanGroup,zanGroupLength,zanSkippedByte,@zanContained\n";
  for (const RegionRule& r : g.regions) {
    const std::string name = "zan" + r.name;
    out << "syntax region " << name << " matchgroup=" << row(r.beginKind).vimGroup << " start=" << vimQuoted(r.begin)
        << " matchgroup=" << row(r.inside).vimGroup << " end=" << (r.end == "(?!)" ? std::string("'\\v%$'") : vimQuoted(r.end));
    if (!r.commands) {
      out << " contains=NONE\nhighlight default link " << name << " " << row(r.inside).vimGroup << "\n";
      continue;
    }
    // While skipping, each byte passed over is a comment, the blanks between none.
    out << " contains=@zanSkipped,zanSkippedByte\n";
    out << "syntax match zanSkippedByte " << vimQuoted("[^ \t]") << " contained\n";
    out << "highlight default link zanSkippedByte " << row(r.inside).vimGroup << "\n";
  }
  out << "syntax region zanGroup matchgroup=zanLoop start=" << vimQuoted("/(?=[^/]*/)")
      << " end=" << vimQuoted("/") << " keepend contains=@zanCommands nextgroup=zanGroupLength\n";
  out << "syntax match zanGroupLength " << vimQuoted(nonEmpty(kLength)) << " contained\n";
  out << "highlight default link zanGroupLength zanLength\n\n";
  for (const ClassRow& c : kClasses) out << "highlight default link " << c.vimGroup << " " << c.vimLink << "\n";
  out << "\nlet b:current_syntax = 'zan'\n";
  return out.str();
}

const char kFtdetect[] =
    "\" zan scores. Installed with zan.\n"
    "autocmd BufRead,BufNewFile *.zan setfiletype zan\n";

const char kFtplugin[] =
    "\" zan scores: comments, and :make with zan. Installed with zan.\n"
    "if exists('b:did_ftplugin')\n  finish\nendif\n"
    "let b:did_ftplugin = 1\n"
    "setlocal commentstring=;\\ %s comments=:;\n"
    "compiler zan\n"
    "let b:undo_ftplugin = 'setlocal commentstring< comments< makeprg< errorformat<'\n";

// :make runs zan on the current file, quoted for the shell (%:S), after --
// so that no file name is read as an option; the error lines are zan's
// --diagnostics=gcc form, FILE:LINE:COLUMN: KIND: MESSAGE, with the kind's
// first letter as the quickfix type (e error, w warning, n note).
const char kCompiler[] =
    "\" :compiler zan, for :make. Installed with zan.\n"
    "if exists('current_compiler')\n  finish\nendif\n"
    "let current_compiler = 'zan'\n"
    "if exists(':CompilerSet') != 2\n  command -nargs=* CompilerSet setlocal <args>\nendif\n"
    "CompilerSet makeprg=zan\\ --diagnostics=gcc\\ --\\ %:S\n"
    "CompilerSet errorformat=%f:%l:%c:\\ %t%*[a-z]:\\ %m\n";

void writeFile(const std::filesystem::path& path, const std::string& text) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary);
  out << text;
  if (!out.flush()) throw std::runtime_error("cannot write " + path.string());
}

// For each line of a UTF-8 score, the lexer's class of each character.
int printClasses() {
  std::stringstream in;
  in << std::cin.rdbuf();
  std::string text = in.str();
  zan::LexState state;
  std::vector<zan::Token> tokens;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string utf8 = text.substr(start, end - start);
    if (!utf8.empty() && utf8.back() == '\r') utf8.pop_back();
    // Each character's CP932 bytes, to map the byte spans back to characters.
    std::vector<size_t> firstByte;
    std::string bytes;
    for (size_t i = 0; i < utf8.size();) {
      const zan::Utf8Character ch = zan::firstCharacter(std::string_view(utf8).substr(i));
      const size_t len = ch.utf8 > 0 ? ch.utf8 : 1;
      firstByte.push_back(bytes.size());
      bytes += zan::toCp932(std::string_view(utf8).substr(i, len));
      i += len;
    }
    std::string byteClass(bytes.size(), '.');
    zan::lexLine(bytes, state, tokens);
    for (const zan::Token& t : tokens)
      for (int32_t b = t.start; b < t.start + t.length; ++b) byteClass[b] = row(t.kind).letter;
    std::string line;
    for (size_t b : firstByte) line += b < byteClass.size() ? byteClass[b] : '.';
    std::cout << line << '\n';
    if (end == text.size()) break;
    start = end + 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    if (argc == 2 && std::string_view(argv[1]) == "--classes") return printClasses();
    if (argc != 2) {
      std::cerr << "usage: make_editor_files OUTDIR | --classes < score.zan\n";
      return 2;
    }
    const std::filesystem::path dir = argv[1];
    const Grammar g = buildGrammar();
    writeFile(dir / "vim/ftdetect/zan.vim", kFtdetect);
    writeFile(dir / "vim/ftplugin/zan.vim", kFtplugin);
    writeFile(dir / "vim/compiler/zan.vim", kCompiler);
    writeFile(dir / "vim/syntax/zan.vim", vimSyntax(g));
    writeFile(dir / "zan.tmLanguage.json", textMate(g));
  } catch (const std::exception& e) {
    std::cerr << "make_editor_files: " << e.what() << '\n';
    return 1;
  }
  return 0;
}
