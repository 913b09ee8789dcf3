// SPDX-License-Identifier: MIT
// Loops and comments, both done by moving the reading position: a loop jumps
// back to where its body began, a comment jumps forward past its end.
#include "texts.h"
#include "zan/tsmf.h"

namespace zan {
namespace {

// Loop count of a bare "[".
constexpr int32_t kDefaultLoopCount = 2;

}  // namespace

void TSmf::LoopCommand() {
  switch (cur()) {
    case '[': {
      ++column;
      NumberRead n = readNumber(lineText, column);
      column += n.len;
      int32_t count = n.value == -1 ? kDefaultLoopCount : n.value;
      if (numberTooLong) {
        ReportError(4, "[");
        count = 1;
      }
      if (static_cast<int>(loopStack.size()) >= kMaxLoopDepth) {
        // Too deep: the loop is played once, and its ] and : only close it.
        ReportError(5, "[");
        ++loopOverflow;
        return;
      }
      LoopEntry e;
      if (column <= static_cast<int64_t>(lineText.size())) {
        e.startColumn = column;
        e.startLine = lineIndex;
      } else {
        e.startColumn = 1;
        e.startLine = lineIndex + 1;
      }
      e.count = count;
      loopStack.push_back(e);
      return;
    }
    case ']': {
      ++column;
      if (loopOverflow > 0) {
        --loopOverflow;
        return;
      }
      if (loopStack.empty()) {
        ReportError(5, text(Text::TooManyBrackets));
        return;
      }
      LoopEntry& top = loopStack.back();
      if (--top.count <= 0) {
        loopStack.pop_back();
        return;
      }
      top.exitColumn = column;
      top.exitLine = lineIndex;
      jumpTo(top.startLine, top.startColumn, true);
      return;
    }
    default: {  // ':'
      ++column;
      if (loopOverflow > 0) return;
      if (loopStack.empty()) {
        ReportError(5, text(Text::ColonOutsideLoop));
        return;
      }
      LoopEntry& top = loopStack.back();
      if (top.count > 1) return;
      int32_t exitLine = top.exitLine, exitColumn = top.exitColumn;
      if (exitColumn == 0 && !findLoopEnd(exitLine, exitColumn)) {
        // No ] follows: the loop stays open and is reported at the end.
        return;
      }
      loopStack.pop_back();
      jumpTo(exitLine, exitColumn, true);
      return;
    }
  }
}

// On the first pass of a loop that runs once ("[1 c : d ]") its ] has not been
// reached yet, so the exit is found by looking ahead for the ] that closes
// the loop, passing over nested loops and comments.
bool TSmf::findLoopEnd(int32_t& line, int32_t& col) {
  int depth = 0;
  bool inBrace = false;
  for (int32_t i = lineIndex; i < sourceLines.size(); ++i) {
    const std::string& s = i == lineIndex ? lineText : sourceLines[i];
    for (size_t p = i == lineIndex ? static_cast<size_t>(column - 1) : 0; p < s.size(); ++p) {
      char c = s[p];
      if (inBrace) {
        inBrace = c != '}';
      } else if (c == '{') {
        inBrace = true;
      } else if (c == ';') {
        break;
      } else if (c == '[') {
        ++depth;
      } else if (c == ']' && depth-- == 0) {
        line = i;
        col = static_cast<int32_t>(p) + 2;
        return true;
      }
    }
  }
  return false;
}

void TSmf::CommentCommand() {
  if (cur() == ';') {
    column = static_cast<int32_t>(lineText.size()) + 1;
    return;
  }
  // A block comment: the first } ends it, on this line or a later one. The
  // lines it passes are not compiled and not written back.
  size_t close = lineText.find('}', static_cast<size_t>(column));
  while (close == std::string::npos) {
    if (lineIndex + 1 >= sourceLines.size()) {
      column = static_cast<int32_t>(lineText.size()) + 1;
      ReportError(5, text(Text::NoClosingBrace));
      return;
    }
    jumpTo(lineIndex + 1, 1, false);
    close = lineText.find('}');
  }
  column = static_cast<int32_t>(close) + 2;
}

}  // namespace zan
