// SPDX-License-Identifier: MIT
// The ~ command: assignments to the 512 variables, one binary operation,
// compound assignments, and read-outs of the compiler's state.
#include <climits>
#include <cstring>

#include "arith.h"
#include "texts.h"
#include "zan/tsmf.h"

namespace zan {
namespace {

// One operation in 32-bit arithmetic that wraps. Division and remainder by 0,
// and INT_MIN / -1, give 0. Shifts take the count modulo 32 and shift zeros in.
int32_t operate(int op, int32_t a, int32_t b) {
  const uint32_t ua = static_cast<uint32_t>(a);
  switch (op) {
    case '+': return wrapAdd(a, b);
    case '-': return wrapSub(a, b);
    case '*': return wrapMul(a, b);
    case '/': return (b == 0 || (a == INT32_MIN && b == -1)) ? 0 : a / b;
    case '%': return (b == 0 || (a == INT32_MIN && b == -1)) ? 0 : a % b;
    case '>': return a > b ? 1 : 0;
    case '<': return a < b ? 1 : 0;
    case ':': return a == b ? 1 : 0;
    case 'R': return static_cast<int32_t>(ua >> (static_cast<uint32_t>(b) & 31u));
    case 'L': return static_cast<int32_t>(ua << (static_cast<uint32_t>(b) & 31u));
    case '|': return a | b;
    case '&': return a & b;
    case '^': return a ^ b;
    default: return b;
  }
}

bool isOneOf(int c, const char* set) { return c > 0 && std::strchr(set, c) != nullptr; }

bool isNoteLetter(int c) { return (c >= 'a' && c <= 'g') || c == 'n'; }

}  // namespace

// Read-outs of the compiler's state, by name.
int32_t TSmf::readOut(std::string_view name) const {
  const Ftr_info& tr = track[curTrack];
  // clang-format off
  if (name == "ptr") return ptr[curTrack];
  if (name == "trk") return curTrack;
  if (name == "bas") return timebase;
  if (name == "dly") return tr.chordDelay;
  if (name == "acv") return acStep[curTrack];
  if (name == "REV") return tr.reverb;
  if (name == "CHO") return tr.chorus;
  switch (name[0]) {
    case 'M': return tr.modulation;
    case 'P': return tr.pan;
    case 'V': case 'v': return tr.velocity;
    case 'E': return tr.expression;
    case 'D': return tr.dataEntry;
    case 'B': return tr.bend;
    case 'l': return tr.length;
    case 'o': return tr.octave;
    case 'q': return tr.gate;
    default:  return tr.gateOffset;  // 'Q'
  }
  // clang-format on
}

void TSmf::VariableCommand() {
  const int32_t start = column;
  ++column;
  while (cur() == ' ') ++column;
  const NumberRead index = readNumber(lineText, column);
  column += index.len;
  if (index.value < 0 || index.value >= kVarCount) {
    ReportError(4, text(Text::VariableIndexBad));
    return;
  }
  // The operator is taken, and consumed, whatever it is.
  const int op = cur();
  ++column;
  if (!isOneOf(op, "=+-*/%RL|^&")) {
    ReportError(5, "~");
    return;
  }
  int32_t& v = vars[index.value];
  if (op != '=') {
    const TermRead t = readTerm(lineText, column);
    if (!t.ok) {
      ReportError(4, "~");
      return;
    }
    v = operate(op, v, t.value);
    return;
  }
  static constexpr std::string_view kLongNames[] = {"ptr", "trk", "bas", "dly", "acv", "REV", "CHO"};
  for (std::string_view name : kLongNames) {
    if (keywordAt(name)) {
      column += 3;
      v = readOut(name);
      return;
    }
  }
  if (keywordAt("rnd")) {
    column += 3;
    scanArgs(lineText, column);
    if (argCount != 1) {
      ReportError(3, text(Text::RndArguments));
      return;
    }
    // The bound goes to the generator as it is: -1 (missing) draws from 2^32.
    v = static_cast<int32_t>(Random(static_cast<uint32_t>(readNumber(args[0], 1).value)));
    return;
  }
  if (keywordAt("nno")) {
    column += 3;
    scanArgs(lineText, column);
    if (argCount != 1) {
      ReportError(4, "nno");
      return;
    }
    const std::string arg = args[0];
    if (isNoteLetter(at(arg, 1))) {
      int32_t p = 1;
      const int32_t note = readNoteValue(arg, p);
      if (note == -1) {
        ReportError(4, "nno");
        return;
      }
      v = note;
      return;
    }
    // Commands before the note ("o5c"): they are put in front and run as
    // ordinary commands, then the note alone is read.
    size_t split = std::string::npos;
    for (char letter : std::string_view("cdefgabn")) {
      split = arg.find(letter);
      if (split != std::string::npos) break;
    }
    if (split == std::string::npos) {
      ReportError(4, "nno");
      return;
    }
    rewriteCommand(start, arg.substr(0, split) + "|~" + std::to_string(index.value) + "=nno(" + arg.substr(split) + ")");
    return;
  }
  if (keywordAt("len")) {
    column += 3;
    scanArgs(lineText, column);
    if (argCount != 1) {
      ReportError(3, "len");
      return;
    }
    // The fragment is compiled in ghost mode between two read-outs of the
    // pointer; the difference is the length, and the pointer goes back.
    const std::string n = std::to_string(index.value);
    rewriteCommand(start, "\\37 ~508=ptr|" + args[0] + " ~509=ptr\\38 ~" + n + "=~509-~508PTR=~508|");
    return;
  }
  if (isOneOf(cur(), "MPVEDBvloqQ")) {
    v = readOut(std::string_view(&lineText[static_cast<size_t>(column - 1)], 1));
    ++column;
    return;
  }
  const TermRead a = readTerm(lineText, column);
  if (!a.ok) {
    ReportError(4, "~");
    return;
  }
  const int op2 = cur();
  if (!isOneOf(op2, "+-*/%><:RL^&|")) {
    v = a.value;
    return;
  }
  ++column;
  const TermRead b = readTerm(lineText, column);
  if (!b.ok) {
    ReportError(4, "~");
    return;
  }
  v = operate(op2, a.value, b.value);
}

// Replaces the command from `start` to the cursor with `replacement` and
// puts the cursor on its first character.
void TSmf::rewriteCommand(int32_t start, const std::string& replacement) {
  if (editLine(start, column, replacement)) column = start;
}

}  // namespace zan
