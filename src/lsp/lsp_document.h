// SPDX-License-Identifier: MIT
// One document the client has open: its text as the client holds it, kept
// in step with the client's edits (whole texts or ranges), its lines, and
// what the lexer knows of it so far, so that the tokens of a few lines of a
// long score are found without lexing it from the top each time.
#pragma once

#include <chrono>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "lsp_worker.h"
#include "zan/compile_report.h"
#include "zan/lexer.h"
#include "zan/tmacro.h"

namespace zan::lsp {

using Clock = std::chrono::steady_clock;

// The lexer's state is kept at the start of every this many lines.
inline constexpr size_t kLexCheckpointLines = 64;

struct Document {
  std::string uri;
  std::string path;                // normalPath() of the file behind a file: URI, else ""
  std::string text;                // UTF-8, as the client holds it
  std::vector<std::string> lines;  // text split at CR LF, LF and CR
  std::vector<size_t> lineStarts;  // the byte offset of each line in text
  int64_t version = 0;
  // Bumped by every change of the text or of a file it includes: a compile
  // result for an older generation is dropped.
  uint64_t generation = 0;
  SharedText snapshot;             // text, shared with the compile thread; made on demand, reset by a change
  bool compilePending = false;
  Clock::time_point compileAt;
  // From the last finished compile (requests are answered from it while the
  // next one runs):
  CompileReport report;
  std::vector<Tmacro::Entry> macros;  // the score's own macros (not the library's as it stands)
  std::set<std::string> includes;     // normalPath() of every file it included
  // The last full semantic tokens sent, for a delta against them.
  std::string tokensResultId;
  std::vector<uint32_t> tokensData;

  // Replaces the whole text.
  void setText(std::string newText);
  // Replaces the text between two places, each a 0-based line and a UTF-16
  // column (a column past its line's end is the end); false when a place
  // lies outside the document.
  bool replace(int64_t startLine, int64_t startColumn, int64_t endLine, int64_t endColumn, const std::string& newText);
  // The lexer's state at the start of line `line` (< lines.size()).
  LexState lexStateAt(size_t line);

 private:
  // Lines [first, end) were replaced by `count` lines: the lexer's states
  // up to them hold, those after them may no longer.
  void linesReplaced(size_t first, size_t end, size_t count);
  void splitAll();

  struct Checkpoint {
    size_t line;     // the state at the start of this line
    LexState state;
  };
  // In line order. The first `trusted_` hold for the text as it is; the
  // rest held before an edit above them and are checked again as the lexer
  // passes them (when one still matches, the lines after the edit lex as
  // they did, and all of them hold again).
  std::vector<Checkpoint> checkpoints_;
  size_t trusted_ = 0;
};

}  // namespace zan::lsp
