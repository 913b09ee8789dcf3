// SPDX-License-Identifier: MIT
// Directives: #timebase, #octave_up_down, #end, #randomize and #include,
// settings for the whole compile and instructions to the driver.
#include "texts.h"
#include "zan/cp932.h"
#include "zan/language.h"
#include "zan/text_helpers.h"
#include "zan/tsmf.h"

namespace zan {

// Keywords follow the # directly and are matched over their own length only:
// "#endx" is "#end". Whatever matches nothing leaves only the # consumed.
void TSmf::DirectiveCommand() {
  ++column;
  auto skipSpaces = [this] {
    while (cur() == ' ') ++column;
  };
  auto readSetting = [&](size_t keywordLength) {
    column += static_cast<int32_t>(keywordLength);
    skipSpaces();
    NumberRead n = readNumber(lineText, column);
    column += n.len;
    return n.value;
  };
  if (keywordAt(directive::kTimebase)) {
    const int32_t value = readSetting(directive::kTimebase.size());
    if (value < kMinTimebase || value > kMaxTimebase)
      ReportError(4, "timebase");
    else
      timebase = value;
    return;
  }
  if (keywordAt(directive::kOctaveUpDown)) {
    const int32_t value = readSetting(directive::kOctaveUpDown.size());
    if (value == 0 || value == 1)
      octaveReverse = value;
    else
      ReportError(4, "timebase");  // the detail the setting has always reported
    return;
  }
  // The last three are tried one after the other, each where the one before
  // left the cursor.
  if (keywordAt(directive::kEnd)) endAtNewLastLine();
  if (keywordAt(directive::kRandomize)) {
    column += static_cast<int32_t>(directive::kRandomize.size());
    skipSpaces();
    TermRead t = readTerm(lineText, column);
    if (!t.ok) {
      ReportError(5, "randomize");
      return;
    }
    int32_t seed = t.value != 0 ? t.value : static_cast<int32_t>(Random(2147483647u));
    randSeed = static_cast<uint32_t>(seed);
    AddMessage("#randomize = " + std::to_string(seed));
  }
  if (keywordAt(directive::kInclude)) {
    column += static_cast<int32_t>(directive::kInclude.size());
    IncludeFile();
  }
}

void TSmf::IncludeFile() {
  while (cur() == ' ') ++column;
  if (cur() != '"') {
    ReportError(5, "include");
    return;
  }
  ++column;
  const size_t close = lineText.find('"', static_cast<size_t>(column - 1));
  if (close == std::string::npos) {
    ReportError(5, text(Text::IncludeUnclosed));
    return;
  }
  const std::string name = lineText.substr(static_cast<size_t>(column - 1), close - static_cast<size_t>(column - 1));
  column = static_cast<int32_t>(close) + 2;

  const int32_t parent = lineIndex >= 0 && lineIndex < sourceLines.size() ? sourceLines.origin(lineIndex).file : 0;
  const int32_t depth = sourceLines.includeDepth(parent) + 1;
  // A file that includes itself, directly or through others.
  if (depth > limits.includeDepth) return limitReached(Limit::IncludeDepth, "\"" + name + "\"");
  if (sourceLines.includeCount() >= limits.includes) return limitReached(Limit::Includes, "\"" + name + "\"");
  // Looked for beside the file that holds this #include line when the
  // current directory has no such file.
  const std::string path = resolveInclude(toUtf8(name), parent >= 1 ? sourceLines.includePath(parent) : scorePath);
  std::string contents;
  std::string error;  // the error line names the file; the reason is not shown
  const ReadStatus read = documentReader && documentReader(path, contents) ? ReadStatus::Ok
                          : fileReader ? (fileReader(name, contents) ? ReadStatus::Ok : ReadStatus::Failed)
                                       : ReadFile(path, limits.sourceBytes, ReadAs::Bytes, contents, error);
  if (read == ReadStatus::TooLarge || (read == ReadStatus::Ok && contents.size() > limits.sourceBytes))
    return limitReached(Limit::SourceBytes, "\"" + name + "\"");
  if (read != ReadStatus::Ok) {
    ReportError(0, text(Text::IncludeNotFoundHead) + "\"" + name + "\"" + text(Text::IncludeNotFoundTail));
    return;
  }
  if (includeObserver) includeObserver(name, path, contents);
  SourceLines included;
  included.setText(decodeScore(std::move(contents)).cp932);
  AddMessage("include = " + name);
  const LineOrigin from = lineIndex >= 0 && lineIndex < sourceLines.size() ? sourceLines.origin(lineIndex) : LineOrigin{-1, 0};
  const int32_t file = sourceLines.addIncludeFile(name, depth, from, path);
  sourceLines.insertFile(lineIndex + 1, included.lines(), file);
}

}  // namespace zan
