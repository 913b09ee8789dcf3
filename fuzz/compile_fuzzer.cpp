// SPDX-License-Identifier: MIT
// Compiles arbitrary bytes as a score, and lexes them line by line as an
// editor does. Every crash, leak, sanitizer report or timeout is a bug: no
// input may break or hang the compiler or the lexer.
#include <cstddef>
#include <cstdint>
#include <string>

#include "zan/lexer.h"
#include "zan/tsmf.h"

namespace {

// Included files come from memory: "a" and "b" are small scores, any other
// name is the input itself (so self-inclusion is explored).
std::string gInput;

bool readIncluded(const std::string& name, std::string& contents) {
  if (name == "a") {
    contents = "_m(INC,c d e)\nINC [2 f g ]\n";
  } else if (name == "b") {
    contents = "#include \"a\"\n_tr(1,2) c _tr(0)\n";
  } else if (name == "missing") {
    return false;
  } else {
    contents = gInput;
  }
  return true;
}

// The spans must lie inside the line, in order, without overlapping.
void lexEveryLine(const zan::SourceLines& lines) {
  zan::LexState state;
  std::vector<zan::Token> tokens;
  for (const std::string& line : lines.lines()) {
    zan::lexLine(line, state, tokens);
    int32_t end = 0;
    for (const zan::Token& t : tokens) {
      if (t.start < end || t.length < 1 || static_cast<size_t>(t.start) + static_cast<size_t>(t.length) > line.size())
        __builtin_trap();
      end = t.start + t.length;
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  gInput.assign(reinterpret_cast<const char*>(data), size);
  zan::TSmf smf;
  // Smaller budgets than a real compile's: the same code paths, reached
  // sooner, so that the fuzzer spends its time on new inputs.
  smf.limits.dispatches = 50'000;
  smf.limits.events = 20'000;
  smf.limits.lineBytes = 64 << 10;
  smf.fileReader = readIncluded;
  smf.randSeed = 1;
  smf.sourceLines.setText(gInput);
  lexEveryLine(smf.sourceLines);
  std::vector<uint8_t> file = smf.CompileToBytes();
  // A second compile on the same object, as the editor's checker does.
  smf.ResetForCheck();
  smf.sourceLines.setText(gInput);
  smf.CompileToBytes();
  if (file.size() < 14) __builtin_trap();  // every compile writes at least the header
  return 0;
}
