// SPDX-License-Identifier: MIT
// Message lines turned into diagnostics with a file, a line and a column.
// The compiler knows where it stands in the line it compiles, but that line
// holds the expansions of the macros already met; the compiler's source map
// (event_sources.cpp) carries a column back to the line as written.
#include "zan/compile_report.h"

#include <algorithm>

#include "texts.h"
#include "zan/cp932.h"
#include "zan/line_columns.h"
#include "zan/translate.h"

namespace zan {
namespace {

bool isLeadByte(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
bool isNameByte(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || c == '_' || c == '`'; }

// The 0-based start of the character holding byte `i` of `line`.
size_t characterStart(std::string_view line, size_t i) {
  size_t at = 0;
  while (at < line.size()) {
    const size_t width = isLeadByte(static_cast<unsigned char>(line[at])) && at + 1 < line.size() ? 2 : 1;
    if (at + width > i) return at;
    at += width;
  }
  return line.size();
}

std::vector<std::string> splitScore(std::string bytes) {
  SourceLines lines;
  lines.setText(decodeScore(std::move(bytes)).cp932);
  return lines.lines();
}

}  // namespace

DiagnosticCollector::DiagnosticCollector(TSmf& smf, std::string scoreName) : smf_(smf) {
  SourceFile score;
  score.name = std::move(scoreName);
  score.lines = smf.sourceLines.lines();
  report_.files.push_back(std::move(score));
  smf_.messageSink = [this](const std::string& line) { message(line); };
  smf_.errorObserver = [this](int number, const std::string& detail) { error(number, detail); };
  smf_.warningSink = [this](const std::string& line) {
    Diagnostic d;
    d.kind = DiagnosticKind::Warning;
    d.text = line;
    report_.diagnostics.push_back(std::move(d));
  };
  smf_.includeObserver = [this](const std::string& name, const std::string& path, const std::string& contents) {
    included(name, path, contents);
  };
  tracedBefore_ = smf_.traceColumns;
  smf_.traceColumns = true;
}

DiagnosticCollector::~DiagnosticCollector() {
  smf_.messageSink = nullptr;
  smf_.errorObserver = nullptr;
  smf_.warningSink = nullptr;
  smf_.includeObserver = nullptr;
  smf_.traceColumns = tracedBefore_;
}

CompileReport DiagnosticCollector::take() {
  if (notesDropped_ > 0) {
    Diagnostic d;
    d.text = toCp932(std::to_string(notesDropped_) + zan::tr(" more message lines not shown"));
    report_.diagnostics.push_back(std::move(d));
    notesDropped_ = 0;
  }
  return std::move(report_);
}

void DiagnosticCollector::place(Diagnostic& d, int32_t lineIndex, int32_t start, int32_t end) {
  const SourceLines& source = smf_.sourceLines;
  if (lineIndex < 0 || lineIndex >= source.size() || source.origin(lineIndex).file < 0 ||
      static_cast<size_t>(source.origin(lineIndex).file) >= report_.files.size()) {
    // After the last line, or on a line the compiler made: the end of the score.
    d.file = 0;
    d.line = std::max(0, static_cast<int32_t>(report_.files[0].lines.size()) - 1);
    d.column = d.endColumn = 1;
    return;
  }
  const LineOrigin origin = source.origin(lineIndex);
  const std::vector<std::string>& lines = report_.files[static_cast<size_t>(origin.file)].lines;
  const std::string_view original =
      origin.line >= 0 && static_cast<size_t>(origin.line) < lines.size() ? std::string_view(lines[static_cast<size_t>(origin.line)]) : std::string_view();
  // Where the text came from, by the compiler's source map; a line it has
  // lost track of is taken as written.
  const TSmf::ColumnSpan span = smf_.writtenSpan(lineIndex, std::max(start, 1) - 1, std::max(end, 1) - 1);
  size_t from = span.from < 0 ? static_cast<size_t>(std::max(start, 1) - 1) : static_cast<size_t>(span.from);
  size_t to = span.from < 0 ? static_cast<size_t>(std::max(end, 1) - 1) : static_cast<size_t>(span.to);
  from = characterStart(original, std::min(from, original.size()));
  if (to < original.size() && characterStart(original, to) != to) to = characterStart(original, to) + 2;
  // At least the character there; a macro's whole name.
  if (to <= from && from < original.size()) to = from + (isLeadByte(static_cast<unsigned char>(original[from])) ? 2 : 1);
  if (to == from + 1 && original[from] >= 'A' && original[from] <= 'Z')
    while (to < original.size() && isNameByte(original[to])) ++to;
  to = std::max(to, from);
  d.file = origin.file;
  d.line = origin.line;
  d.column = static_cast<int32_t>(from) + 1;
  d.endColumn = static_cast<int32_t>(std::min(to, original.size())) + 1;
}

void DiagnosticCollector::message(const std::string& line) {
  Diagnostic d;
  d.text = line;
  // The first line, and the "ok" written after the last line was compiled.
  if (!started_ || smf_.lineIndex >= smf_.sourceLines.size()) {
    d.kind = DiagnosticKind::Progress;
    started_ = true;
  } else if (++notes_ > kMaxNotes) {
    // Past the bound only an error line (which error() needs as the last one) is kept.
    d.kind = DiagnosticKind::Progress;
    if (line.rfind("err(", 0) != 0) {
      ++notesDropped_;
      includeRead_ = false;
      return;
    }
  } else {
    const bool sameLine = smf_.commandGeneration == smf_.lineGeneration;
    place(d, smf_.lineIndex, sameLine ? smf_.commandColumn : smf_.column, smf_.column);
    d.inclusion = includeRead_;
    if (includeRead_) {
      // "include = name" stands on the #include that read the file.
      report_.files.back().includedFromColumn = d.column;
      report_.files.back().includedFromEndColumn = d.endColumn;
    }
  }
  includeRead_ = false;
  report_.diagnostics.push_back(std::move(d));
}

void DiagnosticCollector::error(int number, const std::string& detail) {
  // The error line has just gone through message(): it is the last one.
  if (report_.diagnostics.empty()) return;
  Diagnostic& d = report_.diagnostics.back();
  d.kind = DiagnosticKind::Error;
  d.errorNumber = number;
  d.detail = detail;
  d.track = smf_.curTrack;
  d.tick = smf_.ptr[smf_.curTrack];
  ++report_.errors;
  if (smf_.lineIndex >= smf_.sourceLines.size() && !smf_.loopStack.empty()) {
    // A repeat still open at the end: the outermost one's start.
    const LoopEntry& loop = smf_.loopStack.front();
    int32_t bracket = loop.startColumn - 1;  // the body starts after the [ and its count
    if (loop.startLine >= 0 && loop.startLine < smf_.sourceLines.size()) {
      const std::string& text = smf_.sourceLines[loop.startLine];
      const size_t found = text.rfind('[', static_cast<size_t>(std::max(loop.startColumn - 2, 0)));
      if (found != std::string::npos) bracket = static_cast<int32_t>(found) + 1;
    }
    place(d, loop.startLine, bracket, bracket + 1);
    return;
  }
  const bool sameLine = smf_.commandGeneration == smf_.lineGeneration;
  int32_t start = sameLine ? smf_.commandColumn : smf_.column;
  int32_t end = std::max(smf_.column, start + 1);
  place(d, smf_.lineIndex, start, end);
}

void DiagnosticCollector::included(const std::string& name, const std::string& path, const std::string& contents) {
  // Read now means included now: the compiler registers the file next.
  SourceFile file;
  file.name = name;
  file.path = path;
  file.lines = splitScore(contents);
  const int32_t at = smf_.lineIndex;
  if (at >= 0 && at < smf_.sourceLines.size()) {
    file.includedFromFile = smf_.sourceLines.origin(at).file;
    file.includedFromLine = smf_.sourceLines.origin(at).line;
  }
  report_.files.push_back(std::move(file));
  includeRead_ = true;
}

const std::string& errorText(int number) {
  static const std::string none;
  const Text kTable[] = {Text::Err0, Text::Err1, Text::Err2, Text::Err3, Text::Err4, Text::Err5, Text::Err6};
  return number >= 0 && number <= 6 ? text(kTable[number]) : none;
}

int32_t characterColumn(std::string_view cp932Line, int32_t byteColumn) {
  return LineColumns::ofCp932(cp932Line).convert(std::max(byteColumn, 1) - 1, LineColumns::Cp932, LineColumns::Character, true) + 1;
}

int32_t byteColumn(std::string_view cp932Line, int32_t characterColumn) {
  return LineColumns::ofCp932(cp932Line).convert(std::max(characterColumn, 1) - 1, LineColumns::Character, LineColumns::Cp932) + 1;
}

std::vector<LostCharacters> findLostCharacters(std::string_view utf8Text, size_t maxLines) {
  std::vector<LostCharacters> found;
  int32_t lineNumber = 0;
  size_t start = 0;
  while (start <= utf8Text.size() && found.size() < maxLines) {
    size_t end = utf8Text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = utf8Text.size();
    const std::string_view line = utf8Text.substr(start, end - start);
    int lost = 0;
    toCp932(line, &lost);
    if (lost > 0) {
      // Character by character, to find the first of them.
      int32_t column = 1;
      for (size_t i = 0; i < line.size(); ++column) {
        const Utf8Character c = firstCharacter(line.substr(i));
        if (c.lost) break;
        i += static_cast<size_t>(c.utf8);
      }
      found.push_back(LostCharacters{lineNumber, column, lost});
    }
    if (end >= utf8Text.size()) break;
    start = end + (utf8Text[end] == '\r' && end + 1 < utf8Text.size() && utf8Text[end + 1] == '\n' ? 2 : 1);
    ++lineNumber;
  }
  return found;
}

void addLostCharacterWarnings(CompileReport& report, std::string_view utf8Score) {
  std::vector<Diagnostic> warnings;
  for (const LostCharacters& lost : findLostCharacters(utf8Score)) {
    Diagnostic d;
    d.kind = DiagnosticKind::Warning;
    d.file = 0;
    d.line = lost.line;
    static const std::vector<std::string> none;
    const std::vector<std::string>& lines = report.files.empty() ? none : report.files[0].lines;
    const std::string& text = static_cast<size_t>(lost.line) < lines.size() ? lines[static_cast<size_t>(lost.line)] : "";
    d.column = byteColumn(text, lost.column);
    d.endColumn = d.column + 1;
    d.text = toCp932(std::to_string(lost.count) + zan::tr(" character(s) have no CP932 form and read as '?'"));
    warnings.push_back(std::move(d));
  }
  report.diagnostics.insert(report.diagnostics.begin(), warnings.begin(), warnings.end());
}

}  // namespace zan
