// SPDX-License-Identifier: MIT
// A document's text under the client's edits, and the lexer's states in it.
#include "lsp_document.h"

#include <algorithm>

#include "lsp_text.h"
#include "zan/cp932.h"
#include "zan/line_columns.h"

namespace zan::lsp {

void Document::splitAll() {
  lines = splitLines(text);
  lineStarts.assign(1, 0);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    lineStarts.push_back(i + 1);
  }
}

void Document::setText(std::string newText) {
  const std::vector<std::string> old = std::move(lines);
  text = std::move(newText);
  splitAll();
  // The lines that changed: from the first that differs to the last.
  size_t first = 0;
  while (first < old.size() && first < lines.size() && old[first] == lines[first]) ++first;
  size_t tail = 0;
  while (tail < old.size() - first && tail < lines.size() - first &&
         old[old.size() - 1 - tail] == lines[lines.size() - 1 - tail])
    ++tail;
  linesReplaced(first, old.size() - tail, lines.size() - tail - first);
}

bool Document::replace(int64_t startLine, int64_t startColumn, int64_t endLine, int64_t endColumn, const std::string& newText) {
  const auto offset = [&](int64_t line, int64_t column, size_t& at) {
    if (line < 0 || column < 0 || static_cast<size_t>(line) > lines.size()) return false;
    if (static_cast<size_t>(line) == lines.size()) {  // just past the last line, as some clients name the end
      at = text.size();
      return true;
    }
    const std::string& l = lines[static_cast<size_t>(line)];
    const int32_t byte = LineColumns::ofUtf8(l).convert(static_cast<int32_t>(std::min<int64_t>(column, INT32_MAX)),
                                                        LineColumns::Utf16, LineColumns::Utf8);
    at = lineStarts[static_cast<size_t>(line)] + std::min(static_cast<size_t>(byte), l.size());
    return true;
  };
  size_t from = 0, to = 0;
  if (!offset(startLine, startColumn, from) || !offset(endLine, endColumn, to) || to < from) return false;
  const size_t first = std::min(static_cast<size_t>(startLine), lines.size() - 1);
  const size_t last = std::min(static_cast<size_t>(endLine), lines.size() - 1);
  // A CR taken out, put in or met by the new text may join or part a CR LF:
  // such an edit splits the whole text again. Otherwise only the lines it
  // touched are split again.
  const bool nearCr = newText.find('\r') != std::string::npos || text.substr(from, to - from).find('\r') != std::string::npos ||
                      (from > 0 && text[from - 1] == '\r');
  text.replace(from, to - from, newText);
  if (nearCr) {
    const size_t before = lines.size();
    splitAll();
    // Every line from the edit on counts as replaced.
    linesReplaced(first, before, lines.size() - first);
    return true;
  }
  const int64_t delta = static_cast<int64_t>(newText.size()) - static_cast<int64_t>(to - from);
  const bool lastLine = last + 1 >= lines.size();
  const size_t regionStart = lineStarts[first];
  const size_t regionEnd = lastLine ? text.size() : static_cast<size_t>(static_cast<int64_t>(lineStarts[last + 1]) + delta);
  std::vector<std::string> pieces = splitLines(std::string_view(text).substr(regionStart, regionEnd - regionStart));
  if (!lastLine) pieces.pop_back();  // what follows the last line's end is the next line
  std::vector<size_t> starts;
  size_t at = regionStart;
  for (const std::string& p : pieces) {
    starts.push_back(at);
    at += p.size();
    at += at + 1 < text.size() && text[at] == '\r' && text[at + 1] == '\n' ? 2 : 1;
  }
  const auto begin = [](auto& v, size_t i) { return v.begin() + static_cast<std::ptrdiff_t>(i); };
  lines.erase(begin(lines, first), begin(lines, last + 1));
  lines.insert(begin(lines, first), std::make_move_iterator(pieces.begin()), std::make_move_iterator(pieces.end()));
  lineStarts.erase(begin(lineStarts, first), begin(lineStarts, last + 1));
  for (size_t i = first; i < lineStarts.size(); ++i) lineStarts[i] = static_cast<size_t>(static_cast<int64_t>(lineStarts[i]) + delta);
  lineStarts.insert(begin(lineStarts, first), starts.begin(), starts.end());
  linesReplaced(first, last + 1, starts.size());
  return true;
}

void Document::linesReplaced(size_t first, size_t end, size_t count) {
  // The state at the start of `first` depends only on the lines above it;
  // states inside the replaced lines are gone; those after them move with
  // their lines and are suspect.
  const int64_t shift = static_cast<int64_t>(count) - static_cast<int64_t>(end - first);
  std::vector<Checkpoint> kept;
  size_t trusted = 0;
  for (size_t i = 0; i < checkpoints_.size(); ++i) {
    Checkpoint& c = checkpoints_[i];
    if (c.line <= first) {
      if (i < trusted_) ++trusted;
      kept.push_back(std::move(c));
    } else if (c.line >= end && static_cast<int64_t>(c.line) + shift > static_cast<int64_t>(first)) {
      c.line = static_cast<size_t>(static_cast<int64_t>(c.line) + shift);
      kept.push_back(std::move(c));
    }
  }
  checkpoints_ = std::move(kept);
  trusted_ = trusted;
}

LexState Document::lexStateAt(size_t line) {
  if (checkpoints_.empty()) {
    checkpoints_.push_back(Checkpoint{0, LexState{}});
    trusted_ = 1;
  }
  // The last trusted state at or before the line.
  const auto lastTrustedUpTo = [&](size_t l) {
    size_t k = 0;
    while (k + 1 < trusted_ && checkpoints_[k + 1].line <= l) ++k;
    return k;
  };
  size_t k = lastTrustedUpTo(line);
  LexState state = checkpoints_[k].state;
  size_t at = checkpoints_[k].line;
  std::vector<Token> tokens;
  while (at < line) {
    lexLine(toCp932(lines[at]), state, tokens);
    ++at;
    const size_t next = k + 1;
    if (next < checkpoints_.size() && checkpoints_[next].line == at) {
      // A suspect state met on the way (a trusted one would have been
      // started from).
      if (checkpoints_[next].state == state) {
        // The lines after the edit lex as they did before it.
        trusted_ = checkpoints_.size();
        k = lastTrustedUpTo(line);
        state = checkpoints_[k].state;
        at = checkpoints_[k].line;
      } else {
        checkpoints_[next].state = state;
        trusted_ = next + 1;
        k = next;
      }
      continue;
    }
    if (at - checkpoints_[k].line >= kLexCheckpointLines && at < lines.size()) {
      checkpoints_.insert(checkpoints_.begin() + static_cast<std::ptrdiff_t>(next), Checkpoint{at, state});
      ++trusted_;
      k = next;
    }
  }
  return state;
}

}  // namespace zan::lsp
