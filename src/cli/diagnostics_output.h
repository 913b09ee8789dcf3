// SPDX-License-Identifier: MIT
// zan --diagnostics: a compile's messages in the forms other tools read.
// "gcc": one "FILE:LINE:COLUMN: error: MESSAGE [eN]" line per message, as
// compilers print them for editors' error lists and problem matchers;
// "json": one JSON document with every message and all it carries.
#pragma once

#include <ostream>
#include <string>

#include "zan/compile_report.h"

namespace zan::cli {

// The file names to print: the score as given on the command line, an
// included file as the path it was read from; UTF-8.
std::string displayName(const CompileReport& report, int32_t file);

// The message of an error: the table's text, the detail, the English
// explanation, the track and tick, all UTF-8 ("解読不能文字です "x" —
// undecipherable character (track 0, tick 480)").
std::string errorMessage(const Diagnostic& d);

void printGccDiagnostics(std::ostream& out, const CompileReport& report);
void printJsonDiagnostics(std::ostream& out, const CompileReport& report);

}  // namespace zan::cli
