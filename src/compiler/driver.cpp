// SPDX-License-Identifier: MIT
// The compile driver: reset, the loop over source lines, the loop over the
// characters of one line, and the dispatch of each command byte.
#include <array>
#include <chrono>
#include <ctime>

#include "texts.h"
#include "zan/language.h"
#include "zan/tsmf.h"

namespace zan {
namespace {

using Handler = void (TSmf::*)();

// The handler of each kind of command, in the order of CommandKind.
// clang-format off
constexpr Handler kHandlers[kCommandKindCount] = {
    &TSmf::unknownByte,              // Unknown
    &TSmf::skipByte,                 // Ignored
    &TSmf::AccentCommand,            // Accent
    &TSmf::DirectiveCommand,         // Directive
    &TSmf::GroupCommand,             // Group
    &TSmf::LoopCommand,              // Loop
    &TSmf::CommentCommand,           // Comment
    &TSmf::OctaveShiftCommand,       // OctaveShift
    &TSmf::ProgramChangeCommand,     // ProgramChange
    &TSmf::BackslashCommand,         // Numbered
    &TSmf::UnderscoreCommand,        // Underscore
    &TSmf::NoteCommand,              // Note
    &TSmf::LengthOctaveGateCommand,  // LengthOctaveGate
    &TSmf::PitchBendCommand,         // PitchBend
    &TSmf::RestCommand,              // Rest
    &TSmf::TempoCommand,             // Tempo
    &TSmf::VelocityCommand,          // Velocity
    &TSmf::ControlChangeCommand,     // ControlChange
    &TSmf::VariableCommand,          // Variable
};
// clang-format on

// The dispatch by first byte (the language's table) resolved to handlers once.
const std::array<Handler, 256>& dispatchTable() {
  static const std::array<Handler, 256> table = [] {
    std::array<Handler, 256> t;
    for (int b = 0; b < 256; ++b) t[static_cast<size_t>(b)] = kHandlers[static_cast<int>(commandKind(static_cast<unsigned char>(b)))];
    return t;
  }();
  return table;
}

}  // namespace

TSmf::TSmf() {
  args.resize(kMaxArgs);
  Reset();
}

void TSmf::Reset() {
  sourceLines.clear();
  macros.Clear();
  // Seed from the UTC time of day in milliseconds.
  auto now = std::chrono::system_clock::now();
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count();
  randSeed = static_cast<uint32_t>(ms % (24LL * 60 * 60 * 1000));
  skipMode = false;
  selStack.clear();
  ghostMode = false;
  ifStack.clear();
  loadBuiltinMacros();
  curTrack = 0;
  timebase = 96;
  for (int t = 0; t < kTrackCount; ++t) {
    Ftr_info fresh;
    fresh.length = timebase;
    fresh.bend = track[t].bend;  // bend and onEvent survive a reset
    fresh.onEvent = std::move(track[t].onEvent);
    track[t] = std::move(fresh);
    events[t].Clear();
    acStep[t] = 8;
    transpose[t] = rndVelocity[t] = rndTiming[t] = rndBend[t] = 0;
    ptr[t] = 0;
  }
  loopStack.clear();
  loopOverflow = 0;
  chordCount = 0;
  accentMode = -1;
  rpnLastTime = rpnLastTimeAdj = rpnLastTrack = -1;
  trPending = 0;
  trTracks.clear();
  octaveReverse = 0;
  errorCount = 0;
}

void TSmf::ResetForCheck() {
  for (Tivent& e : events) e.Clear();
  loopStack.clear();
  loopOverflow = 0;
  chordCount = 0;
  accentMode = -1;
  rpnLastTime = -1;
  rpnLastTrack = -1;
  trPending = 0;
  sourceLines.clear();
}

void TSmf::CompileLines() {
  if (eventSources) eventSources->clear();
  if (tracingColumns()) {
    savedColumnMaps.clear();
    mapLine = -1;
  }
  if (commandStarts) commandStarts->clear();
  commandStartLine = -1;
  commandStartColumn = 0;
  eventSlowPathAbove = eventSources ? 0 : limits.events;
  errorsReported = 0;
  dispatchCount = 0;
  eventCount = 0;
  stopped = false;
  AddMessage("Compile Start");
  CompileAllLines();
}

void TSmf::Compile(const std::string& outputPath) {
  CompileLines();
  WriteSmf(outputPath);
}

void TSmf::Compile(const std::string& outputPath, std::vector<uint8_t>& written) {
  written.clear();
  CompileLines();
  WriteSmf(outputPath, &written);
}

std::vector<uint8_t> TSmf::CompileToBytes() {
  CompileLines();
  std::vector<uint8_t> bytes = BuildSmf();
  AddMessage("ok");
  return bytes;
}

void TSmf::CompileAllLines() {
  lineIndex = 0;
  // The line count is read anew each time: #include inserts lines, and _tr,
  // #end and the cut-off append them.
  while (lineIndex < sourceLines.size()) {
    accentMode = -1;
    ++lineGeneration;  // a new line: positions held in the last one mean nothing here
    lineText = sourceLines[lineIndex];
    if (lineStarts) lineStarts->push_back(LineStart{sourceLines.origin(lineIndex), curTrack, ptr[curTrack]});
    CompileLine();
    if (commandStarts) recordCommandStart(true);
    // Handlers may have moved to another line; the text goes back to the
    // line lineIndex names now.
    if (tracingColumns()) saveColumnMap();
    if (lineIndex >= 0 && lineIndex < sourceLines.size()) sourceLines.set(lineIndex, std::move(lineText));
    ++lineIndex;
  }
  int64_t open = static_cast<int64_t>(loopStack.size()) + loopOverflow;
  if (open > 0)
    ReportError(5, text(Text::LoopsMissingHead) + std::to_string(open) + text(Text::LoopsMissingTail));
}

void TSmf::CompileLine() {
  column = 1;
  while (column <= static_cast<int64_t>(lineText.size())) {
    commandGeneration = lineGeneration;
    commandColumn = column;
    ExpandAtCursor();
    if (column > static_cast<int64_t>(lineText.size())) break;
    if (commandStarts) recordCommandStart(false);
    DispatchCommand();
  }
}

bool TSmf::spendWork(int64_t work) {
  dispatchCount += work;
  const bool unwanted = cancelled && cancelled->load(std::memory_order_relaxed);
  if (dispatchCount <= limits.dispatches && !unwanted) return false;
  if (unwanted) {
    if (!stopped) stopCompile();
  } else {
    limitReached(Limit::Dispatches);
  }
  column = static_cast<int32_t>(lineText.size()) + 1;  // nothing more on this line
  return true;
}

void TSmf::limitReached(Limit which, const std::string& context) {
  if (stopped) return;  // one report: the compile is already ending
  struct Row {
    Text what;
    int64_t limit;
    Text tail = Text::LimitTail;  // the others put the number in parentheses
  };
  const Row rows[] = {
      {Text::LimitDispatches, limits.dispatches},
      {Text::LimitEvents, limits.events},
      {Text::LimitLineBytes, static_cast<int64_t>(limits.lineBytes)},
      {Text::LimitExpansionChain, limits.expansionChain},
      {Text::LimitMarkSubstitutions, limits.markSubstitutions},
      {Text::LimitIncludeDepth, limits.includeDepth},
      {Text::LimitIncludes, limits.includes},
      {Text::LimitSourceBytes, static_cast<int64_t>(limits.sourceBytes), Text::LimitSourceBytesTail},
  };
  const Row& r = rows[static_cast<int>(which)];
  const std::string number = std::to_string(r.limit);
  std::string detail = text(r.what) + (r.tail == Text::LimitTail ? "(" + number + ")" : number) + text(r.tail);
  if (!context.empty()) detail += ": " + context;
  ReportError(5, detail);
  stopCompile();
}

void TSmf::DispatchCommand() {
  if (spendWork(1)) return;
  int byte = cur();
  if (skipMode && kSkipModeBytes.find(static_cast<char>(byte)) == std::string_view::npos) {
    ++column;
    return;
  }
  (this->*dispatchTable()[static_cast<size_t>(byte)])();
}

void TSmf::unknownByte() {
  ReportError(2, std::string(1, static_cast<char>(cur())));
  ++column;
}

bool TSmf::editLine(int32_t from, int32_t to, std::string_view replacement) {
  const int64_t size = static_cast<int64_t>(lineText.size());
  if (lineGeneration != commandGeneration || from < 1 || from > to || to > size + 1) return false;
  // An edit moves the rest of the line: that is work too. Macros that keep
  // growing the line in front of a long tail would otherwise take time
  // quadratic in its length (moving ~256 bytes costs about one dispatch).
  if (replacement.size() != static_cast<size_t>(to - from) && spendWork((size + 1 - to) / kBytesPerWorkUnit))
    return false;
  if (tracingColumns()) mapEdit(from, to, replacement.size());
  lineText.replace(static_cast<size_t>(from - 1), static_cast<size_t>(to - from), replacement);
  return true;
}

uint32_t TSmf::Random(uint32_t n) {
  randSeed = randSeed * 134775813u + 1u;
  return static_cast<uint32_t>((static_cast<uint64_t>(randSeed) * n) >> 32);
}

void TSmf::jumpTo(int32_t index, int32_t col, bool writeBack) {
  if (writeBack && tracingColumns()) saveColumnMap();
  if (writeBack && lineIndex >= 0 && lineIndex < sourceLines.size()) sourceLines.set(lineIndex, lineText);
  // Back to the same line after writing it back, the text is unchanged and
  // positions in it stay good (a loop within one line).
  if (index != lineIndex || !writeBack) ++lineGeneration;
  lineIndex = index;
  lineText = (index >= 0 && index < sourceLines.size()) ? sourceLines[index] : std::string();
  column = col;
}

void TSmf::stopCompile() {
  stopped = true;
  // The loops still open were cut short, not left unclosed by the score.
  loopStack.clear();
  loopOverflow = 0;
  endAtNewLastLine();
}

void TSmf::endAtNewLastLine() {
  ++lineGeneration;
  lineText.assign(1, ' ');
  column = 1;
  sourceLines.append(std::string(), LineOrigin{-1, 0});
  lineIndex = sourceLines.size() - 1;
}


}  // namespace zan
