// SPDX-License-Identifier: MIT
// Underscore commands: _print, one-letter macros on and off, skip mode, the
// meta texts, the step of active controllers, _tr track switches and groups,
// and _m definitions.
#include "arith.h"
#include "texts.h"
#include "zan/language.h"
#include "zan/tsmf.h"

namespace zan {
namespace {

// Meta texts are cut to what one length byte below 128 can say.
constexpr size_t kMaxMetaText = 127;

// The command of each keyword, in the order of UnderscoreWord.
// clang-format off
constexpr void (TSmf::*kCommands[])() = {
    &TSmf::PrintCommand,           // Print
    &TSmf::SmallMacrosOnCommand,   // SmallMacrosOn
    &TSmf::SmallMacrosOffCommand,  // SmallMacrosOff
    &TSmf::SkipOnCommand,          // SkipOn
    &TSmf::SkipOffCommand,         // SkipOff
    &TSmf::InstrumentNameCommand,  // InstrumentName
    &TSmf::CopyrightCommand,       // Copyright
    &TSmf::TitleCommand,           // Title
    &TSmf::ActiveStepCommand,      // ActiveStep
    &TSmf::TrackCommand,           // Track
    &TSmf::DefineMacro,            // Macro
};
// clang-format on

}  // namespace

void TSmf::UnderscoreCommand() {
  ++column;
  for (const UnderscoreKeyword& k : underscoreFirstGroup()) {
    if (!keywordAt(k.word)) continue;
    column += static_cast<int32_t>(k.word.size());
    (this->*kCommands[static_cast<int>(k.id)])();
    break;
  }
  for (const UnderscoreKeyword& k : underscoreSecondGroup()) {
    if (!keywordAt(k.word)) continue;
    (this->*kCommands[static_cast<int>(k.id)])();
    break;
  }
}

void TSmf::PrintCommand() {
  scanArgs(lineText, column);
  if (argCount == 0) {
    ReportError(4, "_print");
    return;
  }
  std::string line;
  for (int i = 0; i < argCount; ++i) {
    const std::string& a = args[static_cast<size_t>(i)];
    // A variable reference prints its value; anything after it is ignored.
    line += !a.empty() && a[0] == '~' ? std::to_string(readNumber(a, 1).value) : a;
  }
  AddMessage(line);
}

void TSmf::SmallMacrosOnCommand() { track[curTrack].smallMacros = true; }
void TSmf::SmallMacrosOffCommand() { track[curTrack].smallMacros = false; }
void TSmf::SkipOnCommand() { skipMode = true; }
void TSmf::SkipOffCommand() { skipMode = false; }

void TSmf::metaText(uint8_t type) {
  scanArgs(lineText, column);
  if (argCount != 1) {
    ReportError(4, "_");
    return;
  }
  // The text as the scanner delivered it: quotes around it are part of it.
  const std::string& t = args[0];
  const size_t n = std::min(t.size(), kMaxMetaText);
  std::vector<uint8_t> bytes{0xFF, type, static_cast<uint8_t>(n)};
  bytes.insert(bytes.end(), t.begin(), t.begin() + static_cast<long>(n));
  addEvent(wrapSub(ptr[curTrack], 1), bytes.data(), static_cast<int32_t>(bytes.size()));
}

void TSmf::InstrumentNameCommand() { metaText(0x04); }
void TSmf::CopyrightCommand() {
  column += 9;
  metaText(0x02);
}
void TSmf::TitleCommand() {
  column += 5;
  metaText(0x03);
}

void TSmf::ActiveStepCommand() {
  column += 2;
  scanArgs(lineText, column);
  if (argCount != 1) {
    ReportError(4, "_ac");
    return;
  }
  const std::string arg = args[0];
  int32_t p = 1;
  const int32_t length = readLength(arg, p, "_ac");
  if (length == -1) {
    ReportError(4, "_ac");
    return;
  }
  acStep[curTrack] = clamp32(length, 1, 2 * static_cast<int64_t>(timebase));
}

// _tr(n) switches to track n. _tr(a,b,...) with several tracks repeats the
// text up to the next _tr on each of them, in the order written (a range
// "a-b" from its highest track down); the next _tr of any kind closes each
// pass and, after the last, is read as a command of its own.
void TSmf::TrackCommand() {
  if (trPending > 0) {
    --trPending;
    curTrack = trTracks[static_cast<size_t>(trPending)];
    if (trReturnLine == lineIndex) {
      // The group opened on this very line: its column belongs to the line as
      // it stands now, expansions included, so the line is not reloaded.
      column = trReturnColumn;
    } else {
      jumpTo(trReturnLine, trReturnColumn, false);
    }
    return;
  }
  column += 2;
  scanArgs(lineText, column);
  if (argCount == 0) {
    ReportError(4, "_tr");
    return;
  }
  auto fail = [&] {
    trPending = 0;
    ReportError(4, "_tr");
  };
  // One track, the common case, needs no list.
  if (argCount == 1 && args[0].find('-') == std::string::npos) {
    const int32_t t = readNumber(args[0], 1).value;
    if (t < 0 || t >= kTrackCount) return fail();
    curTrack = t;
    trPending = 0;
    return;
  }
  std::vector<int32_t> tracks;
  for (int i = argCount - 1; i >= 0; --i) {
    const std::string& a = args[static_cast<size_t>(i)];
    if (a.find('-') == std::string::npos) {
      const int32_t t = readNumber(a, 1).value;
      if (t < 0 || t >= kTrackCount) return fail();
      tracks.push_back(t);
    } else {
      NumberRead from = readNumber(a, 1);
      if (at(a, 1 + from.len) != '-') return fail();
      NumberRead to = readNumber(a, 2 + from.len);
      if (from.value < 0 || to.value < 0 || to.value < from.value || to.value >= kTrackCount) return fail();
      for (int32_t t = from.value; t <= to.value; ++t) tracks.push_back(t);
    }
    if (static_cast<int>(tracks.size()) > kTrackCount) return fail();
  }
  if (tracks.size() == 1) {
    curTrack = tracks[0];
    trPending = 0;
    return;
  }
  // The group closes at the next _tr; without one, at an "_tr(0)" added at
  // the end, which leaves track 0 current.
  bool closed = lineText.find("_tr", static_cast<size_t>(column - 1)) != std::string::npos;
  for (int32_t i = lineIndex + 1; !closed && i < sourceLines.size(); ++i)
    closed = sourceLines[i].find("_tr") != std::string::npos;
  if (!closed) sourceLines.append("_tr(0)", LineOrigin{-1, 0});
  trTracks = std::move(tracks);
  trReturnColumn = column;
  trReturnLine = lineIndex;
  trPending = static_cast<int32_t>(trTracks.size()) - 1;
  curTrack = trTracks[static_cast<size_t>(trPending)];
}

}  // namespace zan
