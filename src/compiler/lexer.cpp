// SPDX-License-Identifier: MIT
// The lexer: where each command of a line begins and ends, by the rules the
// compiler's handlers and argument scanner follow, without compiling it.
#include "zan/lexer.h"

#include <algorithm>
#include <utility>

#include "zan/builtin_macros.h"

namespace zan {
namespace {

bool isDigit(int c) { return c >= '0' && c <= '9'; }
bool isHexDigit(int c) { return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// The library's names, sorted for look-up, with the shape of each body.
struct LibraryEntry {
  std::string_view name;
  MacroShape shape;
};

const std::vector<LibraryEntry>& library() {
  static const std::vector<LibraryEntry> entries = [] {
    std::vector<LibraryEntry> v;
    for (const BuiltinMacro& m : builtinMacros()) v.push_back({m.name, macroShape(m.body)});
    std::stable_sort(v.begin(), v.end(), [](const LibraryEntry& a, const LibraryEntry& b) { return a.name < b.name; });
    return v;
  }();
  return entries;
}

const MacroShape* findLibraryMacro(std::string_view name) {
  const auto& v = library();
  auto it = std::lower_bound(v.begin(), v.end(), name, [](const LibraryEntry& e, std::string_view n) { return e.name < n; });
  return it != v.end() && it->name == name ? &it->shape : nullptr;
}

class LineLexer {
 public:
  LineLexer(std::string_view line, LexState& state, std::vector<Token>& tokens)
      : s_(line), n_(line.size()), state_(state), tokens_(tokens) {}

  void run() {
    size_t p = 0;
    if (state_.definition != LexState::Definition::None) p = continueDefinition(p);
    while (p < n_) {
      if (state_.ended) {
        emit(p, n_, TokenKind::Comment);
        return;
      }
      if (state_.inComment) {
        p = blockComment(p);
        continue;
      }
      p = command(p);
      if (state_.definition != LexState::Definition::None) return;  // the rest of the line belongs to it
    }
  }

 private:
  int at(size_t p) const { return p < n_ ? static_cast<unsigned char>(s_[p]) : -1; }

  // Adds a span, joined to the one before when it has the same kind and follows it.
  // Spaces a span ends with (which readers pass over) are left uncoloured.
  void emit(size_t from, size_t to, TokenKind kind) {
    to = std::min(to, n_);
    while (to > from && (s_[to - 1] == ' ' || s_[to - 1] == '\t')) --to;
    if (from >= to) return;
    if (!tokens_.empty()) {
      Token& last = tokens_.back();
      if (last.kind == kind && static_cast<size_t>(last.start + last.length) == from) {
        last.length = static_cast<int32_t>(to) - last.start;
        return;
      }
    }
    tokens_.push_back(Token{static_cast<int32_t>(from), static_cast<int32_t>(to - from), kind});
  }

  // A span whose bar lines (which the length reader passes over) show as bar lines.
  void emitWithBars(size_t from, size_t to, TokenKind kind) {
    size_t run = from;
    for (size_t p = from; p < to && p < n_; ++p) {
      if (s_[p] != '|') continue;
      emit(run, p, kind);
      emit(p, p + 1, TokenKind::BarLine);
      run = p + 1;
    }
    emit(run, to, kind);
  }

  size_t skipSpaces(size_t p) const {
    while (at(p) == ' ') ++p;
    return p;
  }
  size_t skipBlanks(size_t p) const {
    while (at(p) == ' ' || at(p) == '\t') ++p;
    return p;
  }
  size_t find(char c, size_t from) const {
    const size_t f = from < n_ ? s_.find(c, from) : std::string_view::npos;
    return f;
  }
  bool keywordAt(size_t p, std::string_view word) const { return p <= n_ && s_.substr(p).starts_with(word); }

  // ---- The argument scanner's extents ----------------------------------------

  struct Digits {
    size_t end;
    bool found;
    bool zero;  // a decimal run whose value is 0
  };
  Digits digits(size_t p) const {
    if (at(p) == '$') {
      size_t q = p + 1;
      while (isHexDigit(at(q))) ++q;
      return q == p + 1 ? Digits{p, false, false} : Digits{q, true, false};
    }
    size_t q = p;
    bool zero = true;
    while (isDigit(at(q))) zero = zero && at(q) == '0', ++q;
    return q == p ? Digits{p, false, false} : Digits{q, true, zero};
  }
  // readNumber: a run of ~, then digits; the ~ count even without digits.
  size_t numberEnd(size_t p) const {
    while (at(p) == '~') ++p;
    return digits(p).end;
  }
  // readTerm: a sign, then ~ and a number, or digits.
  std::pair<size_t, bool> termEnd(size_t p) const {
    if (at(p) == '-' || at(p) == '+') ++p;
    if (at(p) == '~') {
      const size_t e = numberEnd(p + 1);
      return {e, e > p + 1};
    }
    const Digits d = digits(p);
    return {d.end, d.found};
  }
  size_t argListEnd(size_t p) const {
    if (at(p) == '=') ++p;
    p = skipSpaces(p);
    const int first = at(p);
    auto [e, ok] = termEnd(p);
    p = e;
    if (!ok && first != ',') return p;
    p = skipSpaces(p);
    while (at(p) == ',') {
      std::tie(e, ok) = termEnd(p + 1);
      p = e;
      if (!ok) return p;
      p = skipSpaces(p);
    }
    return p;
  }
  // A list in parentheses (to its closing one, outside quotes, or to the end
  // of the line), or one after = + -, or nothing.
  size_t scanArgsEnd(size_t p) const {
    const int c = at(p);
    if (c == '=' || c == '+' || c == '-') return argListEnd(p);
    if (c != '(') return p;
    int depth = 1;
    bool quoted = false;
    for (++p; p < n_; ++p) {
      const char d = s_[p];
      if (d == '"') quoted = !quoted;
      else if (d == '(') ++depth;
      else if (d == ')' && --depth == 0 && !quoted) return p + 1;
    }
    return n_;
  }
  // readLength: segments joined by ^ (bar lines between), each %ticks or a
  // note value and its dots. A first segment of 0 takes nothing more.
  size_t lengthEnd(size_t p) const {
    for (bool first = true;; first = false) {
      bool atOnce = false;
      if (at(p) == '%') {
        p = numberEnd(p + 1);
      } else {
        size_t q = p;
        while (at(q) == '~') ++q;
        const Digits d = digits(q);
        atOnce = q == p && d.found && d.zero;
        p = d.end;
      }
      if (atOnce && first) return p;
      if (!atOnce)
        while (at(p) == '.') ++p;
      while (at(p) == '|') ++p;
      if (at(p) != '^') return p;
      ++p;
    }
  }

  // ---- Commands ---------------------------------------------------------------

  // Where the arguments of the command `command` end, its own bytes (and a
  // numbered command's number) standing before `p`.
  size_t argumentsEnd(unsigned char command, int numbered, size_t p) const {
    switch (commandKind(command)) {
      case CommandKind::Accent:
        if (at(p) == '+' || at(p) == '-') return termEnd(p).first;
        if (at(p) == '=') ++p;
        return termEnd(p).first;
      case CommandKind::Loop:
        return command == '[' ? numberEnd(p) : p;
      case CommandKind::OctaveShift:
      case CommandKind::Tempo:
        return numberEnd(p);
      case CommandKind::ProgramChange:
      case CommandKind::Velocity:
      case CommandKind::ControlChange:
        return argListEnd(p);
      case CommandKind::PitchBend:
        if (at(p) == '-') ++p;
        return numberEnd(p);
      case CommandKind::LengthOctaveGate:
        if (at(p) == '%') ++p;
        if (at(p) == '+' || at(p) == '-' || at(p) == '=') ++p;
        return numberEnd(p);
      case CommandKind::Numbered:
        return numberedArgumentsEnd(numbered, p);
      case CommandKind::Variable:
        return variableEnd(p);
      default:
        return p;
    }
  }

  size_t numberedArgumentsEnd(int number, size_t p) const {
    switch (number) {
      case 0: case 1: case 2: case 5:  // system exclusive, NRPN, RPN: a plain list
        return argListEnd(p);
      case 23:  // the gate offset Q
        if (at(p) == '(') return scanArgsEnd(p);
        if (at(p) == '=') ++p;
        if (at(p) == '%') ++p;
        if (at(p) == '+' || at(p) == '-') ++p;
        return numberEnd(p);
      default:
        return scanArgsEnd(p);
    }
  }

  // ~n op ...: the index, the operator (taken whatever it is), then what
  // that operator reads.
  size_t variableEnd(size_t p) const {
    p = numberEnd(skipSpaces(p));
    if (p >= n_) return p;
    const char op = s_[p++];
    if (op != '=') return std::string_view("+-*/%RL|^&").find(op) != std::string_view::npos ? termEnd(p).first : p;
    for (std::string_view name : {"ptr", "trk", "bas", "dly", "acv", "REV", "CHO"})
      if (keywordAt(p, name)) return p + 3;
    for (std::string_view name : {"rnd", "nno", "len"})
      if (keywordAt(p, name)) return scanArgsEnd(p + 3);
    if (p < n_ && std::string_view("MPVEDBvloqQ").find(s_[p]) != std::string_view::npos) return p + 1;
    auto [e, ok] = termEnd(p);
    if (!ok || e >= n_ || std::string_view("+-*/%><:RL^&|").find(s_[e]) == std::string_view::npos) return e;
    return termEnd(e + 1).first;
  }

  // A note's or rest's length, the ,velocity,gate suffix, & and ties.
  size_t noteTail(size_t p, bool suffix) {
    size_t e = lengthEnd(p);
    emitWithBars(p, e, TokenKind::Length);
    p = e;
    if (!suffix) return p;
    if (at(p) == ',') {
      e = argListEnd(p + 1);
      emit(p, e, TokenKind::Argument);
      p = e;
    }
    size_t q = skipSpaces(p);
    if (at(q) == '&') {
      emit(q, q + 1, TokenKind::Length);
      p = q + 1;
    }
    for (;;) {  // ties after spaces and bar lines: "c4 | ^8"
      q = p;
      while (at(q) == ' ' || at(q) == '|') ++q;
      if (at(q) != '^') return p;
      emitWithBars(p, q, TokenKind::Length);
      e = lengthEnd(q + 1);
      emitWithBars(q, e, TokenKind::Length);
      p = e;
    }
  }

  size_t note(size_t p) {
    size_t q = p + 1;
    if (s_[p] == 'n') {
      q = numberEnd(q);
      if (at(q) == ',') ++q;
    }
    while (at(q) == '+' || at(q) == '-') ++q;
    emit(p, q, TokenKind::Note);
    return noteTail(q, true);
  }

  // The text after a macro's name that the command its body ends with reads.
  size_t macroTail(const MacroShape& shape, size_t p) {
    if (shape.tail == 0) return p;
    const CommandKind kind = commandKind(shape.tail);
    if (kind == CommandKind::Note) {
      size_t q = p;
      while (at(q) == '+' || at(q) == '-') ++q;
      emit(p, q, TokenKind::Note);
      return noteTail(q, true);
    }
    if (kind == CommandKind::Rest) return noteTail(p, false);
    const size_t e = argumentsEnd(shape.tail, shape.numbered, p);
    emit(p, e, TokenKind::Argument);
    return e;
  }

  const MacroShape* findMacro(std::string_view name) const {
    if (state_.macros) {
      auto it = state_.macros->find(name);
      if (it != state_.macros->end()) return &it->second;
    }
    return findLibraryMacro(name);
  }

  // A macro name at `p`, or nullptr with `p` unchanged when none is there.
  size_t macro(size_t p, bool& found) {
    found = false;
    const int c = at(p);
    size_t len = 0;
    if (c >= 'A' && c <= 'Z') {
      len = 1;
      while (isMacroNameChar(at(p + len))) ++len;
    } else if (c >= 'a' && c <= 'z' && state_.smallMacros) {
      len = 1;
    } else {
      return p;
    }
    const MacroShape* shape = findMacro(s_.substr(p, len));
    if (!shape) {
      if (!state_.afterInclude || c < 'A' || c > 'Z') return p;
      // Possibly defined by the included file, which is not read here.
      found = true;
      emit(p, p + len, TokenKind::Macro);
      return p + len;
    }
    found = true;
    emit(p, p + len, TokenKind::Macro);
    size_t q = p + len;
    if (shape->marks) {
      if (at(q) == '(' || at(q) == '=') {
        const size_t e = scanArgsEnd(q);
        emit(q, e, TokenKind::Argument);
        return e;
      }
      return q;
    }
    return macroTail(*shape, q);
  }

  size_t blockComment(size_t p) {
    const size_t close = find('}', p);
    if (close == std::string_view::npos) {
      emit(p, n_, TokenKind::Comment);
      return n_;
    }
    state_.inComment = false;
    emit(p, close + 1, TokenKind::Comment);
    return close + 1;
  }

  // One command at `p` (not inside a comment); returns where the next begins.
  size_t command(size_t p) {
    const unsigned char c = static_cast<unsigned char>(s_[p]);
    if (state_.skipMode && kSkipModeBytes.find(static_cast<char>(c)) == std::string_view::npos) {
      emit(p, p + 1, TokenKind::Comment);  // passed over, macro names included
      return p + 1;
    }
    bool found;
    const size_t afterMacro = macro(p, found);
    if (found) return afterMacro;
    if (p == groupClose_) {
      groupClose_ = std::string_view::npos;
      emit(p, p + 1, TokenKind::Loop);
      const size_t e = lengthEnd(p + 1);
      emitWithBars(p + 1, e, TokenKind::Length);
      return e;
    }
    switch (commandKind(c)) {
      case CommandKind::Unknown:
        emit(p, p + 1, TokenKind::Unknown);
        return p + 1;
      case CommandKind::Ignored:
        if (c == '|') emit(p, p + 1, TokenKind::BarLine);
        return p + 1;
      case CommandKind::Note:
        return note(p);
      case CommandKind::Rest:
        emit(p, p + 1, TokenKind::Rest);
        return noteTail(p + 1, false);
      case CommandKind::Group: {
        const size_t close = find('/', p + 1);
        if (close == std::string_view::npos) {  // no closing slash on the line: an error
          emit(p, p + 1, TokenKind::Unknown);
          return p + 1;
        }
        groupClose_ = close;
        emit(p, p + 1, TokenKind::Loop);
        return p + 1;
      }
      case CommandKind::Comment:
        if (c == ';') {
          emit(p, n_, TokenKind::Comment);
          return n_;
        }
        {
          const size_t close = find('}', p + 1);
          if (close == std::string_view::npos) {
            state_.inComment = true;
            emit(p, n_, TokenKind::Comment);
            return n_;
          }
          emit(p, close + 1, TokenKind::Comment);
          return close + 1;
        }
      case CommandKind::Directive:
        return directive(p);
      case CommandKind::Underscore:
        return underscore(p);
      case CommandKind::Numbered: {
        const size_t q = numberEnd(p + 1);
        int number = -1;
        if (q > p + 1 && q - p - 1 <= 4 && isDigit(at(p + 1))) {
          number = 0;
          for (size_t i = p + 1; i < q && isDigit(at(i)); ++i) number = number * 10 + (at(i) - '0');
        }
        const size_t e = argumentsEnd(c, number, q);
        emit(p, q, TokenKind::Numbered);
        emit(q, e, TokenKind::Argument);
        return e;
      }
      case CommandKind::LengthOctaveGate:
      case CommandKind::OctaveShift:
        emit(p, argumentsEnd(c, -1, p + 1), TokenKind::Setting);
        return argumentsEnd(c, -1, p + 1);
      case CommandKind::Loop:
        emit(p, argumentsEnd(c, -1, p + 1), TokenKind::Loop);
        return argumentsEnd(c, -1, p + 1);
      case CommandKind::Variable:
        emit(p, argumentsEnd(c, -1, p + 1), TokenKind::Variable);
        return argumentsEnd(c, -1, p + 1);
      default:  // the channel commands
        emit(p, argumentsEnd(c, -1, p + 1), TokenKind::Channel);
        return argumentsEnd(c, -1, p + 1);
    }
  }

  size_t directive(size_t p) {
    size_t q = p + 1;
    if (keywordAt(q, directive::kTimebase) || keywordAt(q, directive::kOctaveUpDown)) {
      q += keywordAt(q, directive::kTimebase) ? directive::kTimebase.size() : directive::kOctaveUpDown.size();
      q = numberEnd(skipSpaces(q));
      emit(p, q, TokenKind::Directive);
      return q;
    }
    if (keywordAt(q, directive::kEnd)) {
      emit(p, q + directive::kEnd.size(), TokenKind::Directive);
      state_.ended = true;  // the rest of this line and every later one are not compiled
      return q + directive::kEnd.size();
    }
    if (keywordAt(q, directive::kRandomize)) {
      q = termEnd(skipSpaces(q + directive::kRandomize.size())).first;
    } else if (keywordAt(q, directive::kInclude)) {
      q = skipSpaces(q + directive::kInclude.size());
      if (at(q) == '"') {
        const size_t close = find('"', q + 1);
        q = close == std::string_view::npos ? q + 1 : close + 1;
      }
      state_.afterInclude = true;
    }
    emit(p, q, TokenKind::Directive);
    return q;
  }

  size_t underscore(size_t p) {
    emit(p, p + 1, TokenKind::Underscore);
    size_t q = p + 1;
    for (const UnderscoreKeyword& k : underscoreFirstGroup()) {
      if (!keywordAt(q, k.word)) continue;
      emit(q, q + k.word.size(), TokenKind::Underscore);
      q += k.word.size();
      switch (k.id) {
        case UnderscoreWord::SmallMacrosOn: state_.smallMacros = true; break;
        case UnderscoreWord::SmallMacrosOff: state_.smallMacros = false; break;
        case UnderscoreWord::SkipOn: state_.skipMode = true; break;
        case UnderscoreWord::SkipOff: state_.skipMode = false; break;
        default: {  // _print, _INST_NAME read an argument list
          const size_t e = scanArgsEnd(q);
          emit(q, e, TokenKind::Argument);
          q = e;
        }
      }
      break;
    }
    for (const UnderscoreKeyword& k : underscoreSecondGroup()) {
      if (!keywordAt(q, k.word)) continue;
      emit(q, q + k.word.size(), TokenKind::Underscore);
      q += k.word.size();
      if (k.id == UnderscoreWord::Macro) return defineMacro(q);
      const size_t e = scanArgsEnd(q);
      emit(q, e, TokenKind::Argument);
      return e;
    }
    return q;
  }

  // ---- _m definitions -----------------------------------------------------------

  // `p` just after "_m".
  size_t defineMacro(size_t p) {
    if (at(p) != '(') return p;
    const size_t comma = find(',', p + 1);
    if (comma == std::string_view::npos) return p;  // an error: the rest is compiled as commands
    std::string name(s_.substr(p + 1, comma - p - 1));
    size_t q = skipSpaces(comma + 1);
    if (at(q) != '"') {
      const size_t close = find(')', q);
      if (close == std::string_view::npos) return p;
      emit(p, close + 1, TokenKind::Argument);
      define(std::move(name), std::string(s_.substr(q, close - q)));
      return close + 1;
    }
    const size_t close = find('"', q + 1);
    if (close == std::string_view::npos) {
      emit(p, n_, TokenKind::Argument);
      state_.definition = LexState::Definition::Quoted;
      state_.definingName = std::move(name);
      state_.definingBody.assign(s_.substr(q + 1));
      return n_;
    }
    state_.definingName = std::move(name);
    state_.definingBody.assign(s_.substr(q + 1, close - q - 1));
    const size_t e = afterQuotedPart(close + 1);
    emit(p, e, TokenKind::Argument);
    return e;
  }

  // After a closing quote of a body: a `+` carries it on to the next line,
  // a `)` ends it; anything else is an error, and nothing is defined.
  size_t afterQuotedPart(size_t p) {
    p = skipSpaces(p);
    if (at(p) == '+') {
      state_.definition = LexState::Definition::Joined;
      return n_;  // the rest of the line is not read
    }
    state_.definition = LexState::Definition::None;
    if (at(p) != ')') return p;
    define(std::move(state_.definingName), std::move(state_.definingBody));
    state_.definingName.clear();
    state_.definingBody.clear();
    return p + 1;
  }

  // A line that carries on an _m body; returns where ordinary commands resume.
  size_t continueDefinition(size_t p) {
    if (state_.definition == LexState::Definition::Quoted) {
      const size_t close = find('"', p);
      if (close == std::string_view::npos) {
        state_.definingBody.append(s_);
        emit(0, n_, TokenKind::Argument);
        return n_;
      }
      state_.definingBody.append(s_.substr(0, close));
      const size_t e = afterQuotedPart(close + 1);
      emit(0, e, TokenKind::Argument);
      return e;
    }
    // Joined: blanks, perhaps a { comment }, then the next quoted part.
    size_t q = skipBlanks(p);
    if (at(q) == '{') {
      const size_t close = find('}', q);
      if (close == std::string_view::npos) return abandonDefinition(q);
      emit(q, close + 1, TokenKind::Comment);
      q = skipBlanks(close + 1);
    }
    if (at(q) != '"') return abandonDefinition(q);
    const size_t close = find('"', q + 1);
    if (close == std::string_view::npos) return abandonDefinition(q);
    state_.definingBody += ' ';
    state_.definingBody.append(s_.substr(q + 1, close - q - 1));
    const size_t e = afterQuotedPart(close + 1);
    emit(q, e, TokenKind::Argument);
    return e;
  }

  size_t abandonDefinition(size_t p) {
    state_.definition = LexState::Definition::None;
    state_.definingName.clear();
    state_.definingBody.clear();
    return p;
  }

  // Adds a macro as the compiler would, refusing what it refuses.
  void define(std::string name, std::string body) {
    if (name.empty()) return;
    const char first = name[0];
    if (first >= 'a' && first <= 'z' && (name.size() != 1 || body.find(first) != std::string::npos)) return;
    if (name.size() >= 1 && name.front() == '"') name.erase(0, 1);
    if (!name.empty() && name.back() == '"') name.pop_back();
    if (name.empty()) return;
    const size_t use = body.find(name);
    if (use != std::string::npos) {
      size_t run = use;
      while (run < body.size() && isMacroNameChar(static_cast<unsigned char>(body[run]))) ++run;
      if (body.size() == name.size() || body.compare(use, run - use, name) == 0) return;
    }
    const MacroShape shape = macroShape(body);
    if (state_.macros) {
      auto it = state_.macros->find(name);
      if (it != state_.macros->end() && it->second == shape) return;  // nothing changes
    }
    auto names = state_.macros ? std::make_shared<MacroNames>(*state_.macros) : std::make_shared<MacroNames>();
    (*names)[std::move(name)] = shape;
    state_.macros = std::move(names);
  }

  std::string_view s_;
  size_t n_;
  LexState& state_;
  std::vector<Token>& tokens_;
  size_t groupClose_ = std::string_view::npos;  // the closing slash of the open /group/
};

}  // namespace

MacroShape macroShape(std::string_view body) {
  MacroShape shape;
  shape.marks = body.find('?') != std::string_view::npos;
  if (body.empty()) return shape;
  // A numbered command at the end: \ and digits.
  size_t d = body.size();
  while (d > 0 && isDigit(static_cast<unsigned char>(body[d - 1]))) --d;
  if (d < body.size() && d > 0 && body[d - 1] == '\\') {
    if (body.size() - d <= 4) {
      shape.tail = '\\';
      shape.numbered = 0;
      for (size_t i = d; i < body.size(); ++i) shape.numbered = static_cast<int16_t>(shape.numbered * 10 + (body[i] - '0'));
    }
    return shape;
  }
  const unsigned char last = static_cast<unsigned char>(body.back());
  switch (commandKind(last)) {
    case CommandKind::Note:
    case CommandKind::Rest:
    case CommandKind::Accent:
    case CommandKind::OctaveShift:
    case CommandKind::ProgramChange:
    case CommandKind::LengthOctaveGate:
    case CommandKind::PitchBend:
    case CommandKind::Tempo:
    case CommandKind::Velocity:
    case CommandKind::ControlChange:
      shape.tail = last;
      break;
    case CommandKind::Loop:
      if (last == '[') shape.tail = last;
      break;
    default:
      break;
  }
  return shape;
}

bool LexState::operator==(const LexState& other) const {
  if (inComment != other.inComment || skipMode != other.skipMode || smallMacros != other.smallMacros ||
      ended != other.ended || afterInclude != other.afterInclude || definition != other.definition ||
      definingName != other.definingName || definingBody != other.definingBody)
    return false;
  if (macros == other.macros) return true;
  const bool emptyA = !macros || macros->empty();
  const bool emptyB = !other.macros || other.macros->empty();
  if (emptyA || emptyB) return emptyA && emptyB;
  return *macros == *other.macros;
}

void lexLine(std::string_view line, LexState& state, std::vector<Token>& tokens) {
  tokens.clear();
  LineLexer(line, state, tokens).run();
}

}  // namespace zan
