// SPDX-License-Identifier: MIT
// The --diagnostics forms of a compile's messages.
#include "diagnostics_output.h"

#include <nlohmann/json.hpp>

#include "zan/cp932.h"
#include "zan/reference.h"
#include "zan/translate.h"

namespace zan::cli {
namespace {

const char* kindName(DiagnosticKind kind) {
  switch (kind) {
    case DiagnosticKind::Error: return "error";
    case DiagnosticKind::Warning: return "warning";
    case DiagnosticKind::Note: return "note";
    case DiagnosticKind::Progress: return "progress";
  }
  return "note";
}

const std::string& lineOf(const CompileReport& report, const Diagnostic& d) {
  static const std::string none;
  if (d.file < 0 || static_cast<size_t>(d.file) >= report.files.size()) return none;
  const std::vector<std::string>& lines = report.files[static_cast<size_t>(d.file)].lines;
  return d.line >= 0 && static_cast<size_t>(d.line) < lines.size() ? lines[static_cast<size_t>(d.line)] : none;
}

// The message of any diagnostic as printed after "error: ", "note: ", ...
std::string messageOf(const Diagnostic& d) {
  return d.kind == DiagnosticKind::Error ? errorMessage(d) : toUtf8(d.text);
}

}  // namespace

std::string displayName(const CompileReport& report, int32_t file) {
  if (file < 0 || static_cast<size_t>(file) >= report.files.size()) return "";
  const SourceFile& f = report.files[static_cast<size_t>(file)];
  return file == 0 ? f.name : f.path;
}

std::string errorMessage(const Diagnostic& d) {
  std::string m = toUtf8(errorText(d.errorNumber));
  const std::string_view explanation = errorExplanation(d.errorNumber);
  // In English the message is the explanation already.
  const bool explained = !explanation.empty() && explanation != m;
  m += " \"" + toUtf8(d.detail) + "\"";
  if (explained) m += " \u2014 " + std::string(explanation);
  m += zan::tr(" (track ") + std::to_string(d.track) + zan::tr(", tick ") + std::to_string(d.tick) + ")";
  return m;
}

void printGccDiagnostics(std::ostream& out, const CompileReport& report) {
  const std::string score = displayName(report, 0);
  for (const Diagnostic& d : report.diagnostics) {
    if (d.kind == DiagnosticKind::Progress) continue;
    if (d.file < 0) {
      out << score << ": " << kindName(d.kind) << ": " << messageOf(d) << '\n';
      continue;
    }
    out << displayName(report, d.file) << ':' << d.line + 1 << ':' << characterColumn(lineOf(report, d), d.column)
        << ": " << kindName(d.kind) << ": " << messageOf(d);
    if (d.kind == DiagnosticKind::Error) out << " [e" << d.errorNumber << ']';
    out << '\n';
  }
}

void printJsonDiagnostics(std::ostream& out, const CompileReport& report) {
  using nlohmann::json;
  json items = json::array();
  for (const Diagnostic& d : report.diagnostics) {
    json item = {{"kind", kindName(d.kind)}, {"text", toUtf8(d.text)}};
    if (d.file >= 0) {
      const std::string& line = lineOf(report, d);
      item["file"] = displayName(report, d.file);
      item["line"] = d.line + 1;
      item["column"] = characterColumn(line, d.column);
      item["endColumn"] = characterColumn(line, d.endColumn);
    }
    if (d.kind == DiagnosticKind::Error) {
      item["errorNumber"] = d.errorNumber;
      item["message"] = toUtf8(errorText(d.errorNumber));
      item["detail"] = toUtf8(d.detail);
      item["explanation"] = std::string(errorExplanation(d.errorNumber));
      item["track"] = d.track;
      item["tick"] = d.tick;
    }
    items.push_back(std::move(item));
  }
  json document = {{"file", displayName(report, 0)}, {"errors", report.errors}, {"messages", std::move(items)}};
  out << document.dump(2, ' ', false, json::error_handler_t::replace) << '\n';
}

}  // namespace zan::cli
