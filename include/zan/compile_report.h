// SPDX-License-Identifier: MIT
// A compile's message lines as diagnostics: each with the file, line and
// column it concerns, traced through #include to the file the line came
// from. For tools outside the editor: the command line's --diagnostics and
// the language server.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "zan/tsmf.h"

namespace zan {

enum class DiagnosticKind : uint8_t {
  Error,     // an error line
  Warning,   // a warning of the platform (the event list's out-of-memory warning)
  Note,      // any other line: _print, "#randomize = ...", "include = ...", the cut-off
  Progress,  // "Compile Start" and the final "ok"
};

struct Diagnostic {
  DiagnosticKind kind = DiagnosticKind::Note;
  int32_t file = -1;      // index into CompileReport::files; -1 = no place in a file
  int32_t line = 0;       // 0-based line in that file
  int32_t column = 1;     // 1-based byte column in the file's CP932 line where it starts
  int32_t endColumn = 1;  // 1-based byte column just after it (>= column)
  int errorNumber = -1;   // errors: 0..6
  std::string detail;     // errors: the detail, CP932
  int32_t track = 0;      // errors: the current track
  int32_t tick = 0;       //   and its time pointer
  std::string text;       // the compiler's own message line, CP932
  bool inclusion = false; // a note that a file was included ("include = name")
};

struct SourceFile {
  std::string name;                // the score: as the caller names it; an included file: as #include names it (CP932)
  std::string path;                // where an included file was read from
  std::vector<std::string> lines;  // its lines as read, CP932, before any expansion
  int32_t includedFromFile = -1;   // the file and 0-based line of the #include that read it
  int32_t includedFromLine = 0;    //   (-1 for the score)
  int32_t includedFromColumn = 1;     // the #include's byte columns [column, endColumn) on that line,
  int32_t includedFromEndColumn = 1;  //   1-based
};

struct CompileReport {
  std::vector<Diagnostic> diagnostics;  // in the order of the message lines
  std::vector<SourceFile> files;        // [0] the score, then every included file in the order read
  int errors = 0;
};

// Gathers the messages of one compile as a CompileReport. Construct it after
// the score is in `smf.sourceLines` and before the compile; it takes over the
// compiler's message and warning sinks, its error observer and its include
// observer for as long as it lives, and has it keep its source map
// (TSmf::traceColumns), by which every place is carried back to the text as
// written. #include finds its files by the
// compiler's own rule (resolveInclude, beside `smf.scorePath`).
class DiagnosticCollector {
 public:
  // Note lines kept (_print may print without end); the rest are counted
  // and summed up in one note at the end.
  static constexpr size_t kMaxNotes = 10000;

  // `scoreName` names the score in the report ("<stdin>", a path, a URI).
  DiagnosticCollector(TSmf& smf, std::string scoreName);
  ~DiagnosticCollector();
  DiagnosticCollector(const DiagnosticCollector&) = delete;
  DiagnosticCollector& operator=(const DiagnosticCollector&) = delete;

  CompileReport take();

 private:
  void message(const std::string& line);
  void error(int number, const std::string& detail);
  void included(const std::string& name, const std::string& path, const std::string& contents);
  // Where the compiler stands, as file, line and the byte columns
  // [start, end) of the file's own line.
  void place(Diagnostic& d, int32_t lineIndex, int32_t start, int32_t end);

  TSmf& smf_;
  CompileReport report_;
  bool started_ = false;      // "Compile Start" has come
  bool includeRead_ = false;  // a file was just read for #include: its "include = " line comes next
  size_t notes_ = 0;          // note lines seen
  size_t notesDropped_ = 0;   // note lines beyond kMaxNotes, counted only
  bool tracedBefore_ = false; // the compiler's traceColumns before this collector set it
};

// The error table's text of error number `number` (CP932); "" outside 0..6.
const std::string& errorText(int number);

// The 1-based character column of the 1-based byte column `byteColumn` of a
// CP932 line (a double-byte character counts once).
int32_t characterColumn(std::string_view cp932Line, int32_t byteColumn);

// The 1-based byte column of the 1-based character column `characterColumn`.
int32_t byteColumn(std::string_view cp932Line, int32_t characterColumn);

// The lines of UTF-8 `text` that hold characters CP932 cannot hold, each as
// its 0-based line, the 1-based character column of the first such
// character and how many there are on the line; at most `maxLines` lines.
struct LostCharacters {
  int32_t line;
  int32_t column;
  int32_t count;
};
std::vector<LostCharacters> findLostCharacters(std::string_view utf8Text, size_t maxLines = 100);

// Adds, in front, a warning for each line of `utf8Score` with characters
// that CP932 cannot hold (they were compiled as '?'); the command line's
// diagnostics and the language server give the same.
void addLostCharacterWarnings(CompileReport& report, std::string_view utf8Score);

}  // namespace zan
