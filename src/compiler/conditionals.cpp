// SPDX-License-Identifier: MIT
// Commands that make a score vary: SEL/SWITCH and IF insert a chosen text,
// RV/RQ/RN queue one-shot values for the coming notes, RNDV/RNDN/RNDB set
// the random ranges the note handler draws from.
#include "arith.h"
#include "texts.h"
#include "zan/tsmf.h"

namespace zan {
namespace {

// What ends an inserted region: compiling it removes the region and itself,
// so the line is as it was right after the command (and a loop chooses again).
constexpr std::string_view kSelectMarker = "\\27(=>\\27)";
constexpr std::string_view kSelectMarkerArgument = "=>\\27";
constexpr std::string_view kIfMarker = "IF(*IF*)";
constexpr std::string_view kIfMarkerArgument = "*IF*";

struct QueueRow {
  std::list<std::string> Ftr_info::*queue;
  const char* name;
};
// clang-format off
constexpr QueueRow kQueues[] = {
    {&Ftr_info::rvList, "RV"},  // 28, cleared by 32
    {&Ftr_info::rqList, "RQ"},  // 29, cleared by 33
    {&Ftr_info::rnList, "RN"},  // 30, cleared by 34
};
// clang-format on

}  // namespace

// Removes an inserted region ending at the cursor; `pending` holds where the
// regions of this kind start, innermost last.
void TSmf::closeInsertedRegion(std::vector<InsertedRegion>& pending) {
  if (pending.empty()) return;
  const InsertedRegion region = pending.back();
  pending.pop_back();
  // A region left open on another line (a jump or the cut-off took the
  // compile away before its marker) has no meaning in this one.
  if (region.generation != lineGeneration) return;
  if (editLine(region.column, column, {})) column = region.column;
}

bool TSmf::openInsertedRegion(std::vector<InsertedRegion>& pending, const std::string& text, const char* detail) {
  if (static_cast<int>(pending.size()) >= kMaxInsertedRegions) {
    ReportError(4, detail);
    return false;
  }
  if (!editLine(column, column, text)) return false;
  pending.push_back(InsertedRegion{column, lineGeneration});
  return true;
}

// SEL(2,c4,e4,g4) compiles e4; SEL(,c4,e4,g4) one of them at random.
void TSmf::SelectCommand() {
  scanArgs(lineText, column);
  if (argCount == 1 && args[0] == kSelectMarkerArgument) {
    closeInsertedRegion(selStack);
    return;
  }
  const char* const kDetail = text(Text::SwitchChoiceBad).c_str();
  if (argCount < 2) {
    ReportError(4, kDetail);
    return;
  }
  const int32_t texts = argCount - 1;
  int32_t choice = readNumber(args[0], 1).value;
  if (choice == -1) choice = 1 + static_cast<int32_t>(Random(static_cast<uint32_t>(texts)));
  // A selector naming no text of this command is refused.
  if (choice < 1 || choice > texts) {
    ReportError(4, kDetail);
    return;
  }
  std::string chosen(unquote(args[static_cast<size_t>(choice)]));
  chosen += kSelectMarker;
  openInsertedRegion(selStack, chosen, kDetail);
}

// IF(~1>=3,c4,r4): the condition is a term, a run of > = <, and a term.
void TSmf::IfCommand() {
  scanArgs(lineText, column);
  if (argCount == 1) {
    if (args[0] == kIfMarkerArgument) closeInsertedRegion(ifStack);
    return;
  }
  if (argCount == 0) {
    ReportError(4, "IF");
    return;
  }
  const std::string condition = args[0];
  int32_t p = 1;
  const TermRead left = readTerm(condition, p);
  if (!left.ok) {
    ReportError(4, text(Text::IfLeftBad));
    return;
  }
  const int32_t opStart = p;
  while (at(condition, p) == '>' || at(condition, p) == '=' || at(condition, p) == '<') ++p;
  const std::string op = condition.substr(static_cast<size_t>(opStart - 1), static_cast<size_t>(p - opStart));
  if (op.empty()) {
    ReportError(4, text(Text::IfOperatorMissing));
    return;
  }
  const TermRead right = readTerm(condition, p);
  if (!right.ok) {
    ReportError(4, text(Text::IfRightBad));
    return;
  }
  const int32_t l = left.value, r = right.value;
  bool holds;
  if (op == ">") holds = l > r;
  else if (op == ">=" || op == "=>") holds = l >= r;
  else if (op == "<") holds = l < r;
  else if (op == "<=" || op == "=<") holds = l <= r;
  else if (op == "=") holds = l == r;
  else {
    ReportError(0, "IF");
    return;
  }
  // Without an else-text, or with more texts than one, a false condition
  // inserts nothing but the marker.
  std::string chosen = holds ? args[1] : argCount == 3 ? args[2] : std::string();
  chosen += kIfMarker;
  openInsertedRegion(ifStack, chosen, "IF");
}

void TSmf::QueueCommand() {
  const QueueRow& q = kQueues[backslashNumber - 28];
  scanArgs(lineText, column);
  if (argCount == 0) {
    ReportError(4, q.name);
    return;
  }
  auto& queue = track[curTrack].*q.queue;
  for (int i = 0; i < argCount; ++i) queue.push_back(args[static_cast<size_t>(i)]);
}

void TSmf::QueueClearCommand() { (track[curTrack].*kQueues[backslashNumber - 32].queue).clear(); }

void TSmf::RandomRangeCommand() {
  const char* name = backslashNumber == 13 ? "RNDV" : backslashNumber == 14 ? "RNDN" : "RNDB";
  int32_t* ranges = backslashNumber == 13 ? rndVelocity : backslashNumber == 14 ? rndTiming : rndBend;
  scanArgs(lineText, column);
  int32_t p = 1;
  const TermRead t = readTerm(args[0], p);  // read whatever the count
  const int32_t value = t.ok ? t.value : 0;  // a text that is no term counts as 0
  if (argCount != 1 || value < 0) {
    ReportError(4, name);
    return;
  }
  ranges[curTrack] = value;
}

}  // namespace zan
