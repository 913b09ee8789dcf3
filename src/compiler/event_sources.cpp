// SPDX-License-Identifier: MIT
// The source map: where each byte of the line being compiled was written. A
// map from the columns of the line in hand back to the columns of its file,
// carried through every edit the compile makes in the line (macro expansion,
// generated commands, inserted selections), so that an event can name the
// text that made it and a diagnostic the text it concerns. None of it runs
// unless the host asks for event sources or columns.
#include <algorithm>

#include "zan/tsmf.h"

namespace zan {
namespace {

using ColumnSpan = TSmf::ColumnSpan;

// What bytes [from, to) of a line of `length` bytes were written as, by
// `map` (null: the line is as written).
ColumnSpan spanOf(const std::vector<ColumnSpan>* map, size_t length, int32_t from, int32_t to) {
  if (length == 0) return {0, 0};
  const auto size = static_cast<int32_t>(length);
  if (from >= size) {
    const int32_t end = map ? (*map)[length - 1].to : size;
    return {end, end};
  }
  from = std::max(from, 0);
  if (to <= from) return map ? (*map)[static_cast<size_t>(from)] : ColumnSpan{from, from + 1};
  to = std::min(to, size);
  if (!map) return {from, to};
  ColumnSpan span = (*map)[static_cast<size_t>(from)];
  for (int32_t i = from + 1; i < to; ++i) {
    const ColumnSpan& s = (*map)[static_cast<size_t>(i)];
    span = {std::min(span.from, s.from), std::max(span.to, s.to)};
  }
  return span;
}

}  // namespace

using SavedColumnMap = TSmf::SavedColumnMap;

// The map saved for line `origin`, or null.
static SavedColumnMap* savedMap(std::vector<std::vector<SavedColumnMap>>& saved, LineOrigin origin) {
  if (origin.file < 0 || static_cast<size_t>(origin.file) >= saved.size()) return nullptr;
  std::vector<SavedColumnMap>& file = saved[static_cast<size_t>(origin.file)];
  return origin.line >= 0 && static_cast<size_t>(origin.line) < file.size() ? &file[static_cast<size_t>(origin.line)] : nullptr;
}

// A map kept as its runs: a line with a few expansions keeps a few runs,
// where byte by byte it would keep eight bytes for every byte of the line.
static void compress(const std::vector<ColumnSpan>& map, SavedColumnMap& saved) {
  saved.length = map.size();
  saved.runs.clear();
  for (size_t i = 0; i < map.size(); ++i) {
    const ColumnSpan s = map[i];
    if (!saved.runs.empty()) {
      TSmf::ColumnRun& run = saved.runs.back();
      const auto k = static_cast<int32_t>(i) - run.at;
      const bool same = s.from == run.span.from && s.to == run.span.to;
      const bool next = s.from == run.span.from + k && s.to == run.span.to + k;
      if (k == 1 && (same || next)) run.step = next && !same;
      if ((run.step && next) || (!run.step && same)) continue;
    }
    saved.runs.push_back({static_cast<int32_t>(i), s, false});
  }
}

static void expand(const SavedColumnMap& saved, std::vector<ColumnSpan>& map) {
  map.resize(saved.length);
  for (size_t r = 0; r < saved.runs.size(); ++r) {
    const TSmf::ColumnRun& run = saved.runs[r];
    const size_t end = r + 1 < saved.runs.size() ? static_cast<size_t>(saved.runs[r + 1].at) : saved.length;
    for (size_t i = static_cast<size_t>(run.at); i < end; ++i) {
      const int32_t k = run.step ? static_cast<int32_t>(i) - run.at : 0;
      map[i] = {run.span.from + k, run.span.to + k};
    }
  }
}

void TSmf::syncColumnMap() {
  if (mapLine == lineIndex && mapGeneration == lineGeneration) return;
  mapLine = lineIndex;
  mapGeneration = lineGeneration;
  columnMap.clear();
  mapIsIdentity = true;
  mapOfWrittenLine = false;
  if (lineIndex < 0 || lineIndex >= sourceLines.size()) return;
  const LineOrigin origin = sourceLines.origin(lineIndex);
  if (origin.file < 0) return;
  mapOfWrittenLine = true;
  // The saved map describes the line as it was last written back; a line
  // never edited is its file's own text, and its map is only made when an
  // edit needs it.
  if (const SavedColumnMap* saved = savedMap(savedColumnMaps, origin); saved && saved->length > 0 && saved->length == lineText.size()) {
    expand(*saved, columnMap);
    mapIsIdentity = false;
  }
}

void TSmf::mapEdit(int32_t from, int32_t to, size_t inserted) {
  syncColumnMap();
  if (!mapOfWrittenLine) return;
  if (mapIsIdentity) {
    columnMap.resize(lineText.size());
    for (size_t i = 0; i < columnMap.size(); ++i) columnMap[i] = {static_cast<int32_t>(i), static_cast<int32_t>(i) + 1};
    mapIsIdentity = false;
  }
  if (columnMap.size() != lineText.size()) return;
  const size_t a = static_cast<size_t>(from - 1), b = static_cast<size_t>(to - 1);
  // What replaces a text stands for all of it (a macro's body for its call);
  // what is inserted between two bytes stands for the byte after it.
  ColumnSpan span{0, 0};
  if (a < b) {
    span = columnMap[a];
    for (size_t i = a + 1; i < b; ++i) span = {std::min(span.from, columnMap[i].from), std::max(span.to, columnMap[i].to)};
  } else if (a < columnMap.size()) {
    span = columnMap[a];
  } else if (!columnMap.empty()) {
    span = columnMap.back();
  }
  // One move of the tail, as lineText's own replace makes.
  const size_t removed = b - a;
  const auto at = columnMap.begin() + static_cast<long>(a);
  if (inserted > removed) {
    columnMap.insert(at, inserted - removed, span);
  } else if (inserted < removed) {
    columnMap.erase(at, at + static_cast<long>(removed - inserted));
  }
  std::fill_n(columnMap.begin() + static_cast<long>(a), inserted, span);
}

void TSmf::saveColumnMap() {
  if (lineIndex < 0 || lineIndex >= sourceLines.size()) return;
  syncColumnMap();
  if (!mapOfWrittenLine) return;
  const LineOrigin origin = sourceLines.origin(lineIndex);
  SavedColumnMap* saved = savedMap(savedColumnMaps, origin);
  if (mapIsIdentity) {
    if (saved) *saved = SavedColumnMap{};  // as written again
    return;
  }
  if (columnMap.size() != lineText.size()) return;
  if (!saved) {
    const size_t file = static_cast<size_t>(origin.file), line = static_cast<size_t>(origin.line);
    if (savedColumnMaps.size() <= file) savedColumnMaps.resize(file + 1);
    if (savedColumnMaps[file].size() <= line) savedColumnMaps[file].resize(line + 1);
    saved = &savedColumnMaps[file][line];
  }
  compress(columnMap, *saved);
}

TSmf::ColumnSpan TSmf::writtenSpan(int32_t index, int32_t from, int32_t to) {
  if (!tracingColumns() || index < 0 || index >= sourceLines.size()) return {-1, -1};
  const LineOrigin origin = sourceLines.origin(index);
  if (origin.file < 0) return {-1, -1};
  if (index == lineIndex) {
    syncColumnMap();
    if (!mapIsIdentity && columnMap.size() != lineText.size()) return {-1, -1};  // lost track of the line
    return spanOf(mapIsIdentity ? nullptr : &columnMap, lineText.size(), from, to);
  }
  // Another line (a repeat's start): as it was stored back.
  const size_t length = sourceLines[index].size();
  const SavedColumnMap* saved = savedMap(savedColumnMaps, origin);
  if (!saved || saved->length == 0 || saved->length != length) return spanOf(nullptr, length, from, to);
  std::vector<ColumnSpan> map;
  expand(*saved, map);
  return spanOf(&map, length, from, to);
}

void TSmf::storeLine() {
  if (lineIndex < 0 || lineIndex >= sourceLines.size()) return;
  if (tracingColumns()) saveColumnMap();
  sourceLines.set(lineIndex, lineText);
}

void TSmf::recordCommandStart(bool lineEnd) {
  if (lineIndex < 0 || lineIndex >= sourceLines.size()) return;
  // Blanks start nothing: a caret on one finds the command after it.
  if (!lineEnd && column >= 1 && column <= static_cast<int64_t>(lineText.size())) {
    const char byte = lineText[static_cast<size_t>(column - 1)];
    if (byte == ' ' || byte == '\t') return;
  }
  const int32_t at = lineEnd ? INT32_MAX : column;
  // A first pass moves forward through the lines and along each; a loop's
  // jump back goes over ground already recorded.
  if (lineIndex < commandStartLine || (lineIndex == commandStartLine && at <= commandStartColumn)) return;
  commandStartLine = lineIndex;
  commandStartColumn = at;
  const LineOrigin origin = sourceLines.origin(lineIndex);
  if (origin.file != 0) return;  // text read by #include
  CommandStart start{sourceLines.scoreLine(origin), CommandStart::kLineEnd, curTrack, ptr[curTrack]};
  if (!lineEnd) {
    const ColumnSpan span = writtenSpan(lineIndex, column - 1, column - 1);
    if (span.from < 0) return;
    start.column = span.from;
  }
  // What a macro's body compiles to stands at its call: the first command holds.
  if (!commandStarts->empty()) {
    const CommandStart& last = commandStarts->back();
    if (last.line == start.line && last.column == start.column) return;
  }
  commandStarts->push_back(start);
}

void TSmf::noteChordSource() {
  if (chordCount == 0) {
    chordSources.clear();
    chordSourceNext = 0;
  }
  chordSources.push_back({commandColumn, column});
}

int32_t TSmf::recordSource(const uint8_t* bytes, int32_t size) {
  if (!eventSources) return lineIndex;  // (an event added outside a compile)
  // The notes of a chord go out together with the last: each member's on
  // and off name the member's own text (they come in the order gathered).
  const int kind = size == 3 ? bytes[0] & 0xF0 : 0;
  if (kind == 0x90 && bytes[2] != 0)
    chordSourceCurrent = chordCount > 0 && chordSourceNext < chordSources.size() ? static_cast<int32_t>(chordSourceNext++) : -1;
  const int32_t* member = (kind == 0x90 || kind == 0x80) && chordSourceCurrent >= 0
                              ? chordSources[static_cast<size_t>(chordSourceCurrent)].data()
                              : nullptr;
  EventSource source;
  if (lineIndex >= 0 && lineIndex < sourceLines.size()) {
    const LineOrigin origin = sourceLines.origin(lineIndex);
    source.line = sourceLines.scoreLine(origin);
    // Text read by #include is named by its #include line as a whole.
    if (origin.file == 0 && !lineText.empty()) {
      // The command's text: from where it was dispatched to where the
      // reading stands now.
      const auto length = static_cast<int32_t>(lineText.size());
      const int32_t a = std::clamp((member ? member[0] : commandColumn) - 1, 0, length - 1);
      int32_t b = std::clamp((member ? member[1] : column) - 1, a + 1, length);
      // Blanks the command read past are not its text.
      while (b > a + 1 && (lineText[static_cast<size_t>(b - 1)] == ' ' || lineText[static_cast<size_t>(b - 1)] == '\t')) --b;
      const ColumnSpan span = writtenSpan(lineIndex, a, b);
      source.column = span.from;
      source.end = span.from < 0 ? -1 : span.to;
    }
  }
  eventSources->push_back(source);
  return static_cast<int32_t>(eventSources->size() - 1);
}

const EventSource* TSmf::eventSource(const std::vector<EventSource>& recorded, int32_t trackNumber, int i) const {
  if (trackNumber < 0 || trackNumber >= kTrackCount || i < 0 || i >= events[trackNumber].Count()) return nullptr;
  const int32_t index = events[trackNumber].entry(i).line;
  return index >= 0 && static_cast<size_t>(index) < recorded.size() ? &recorded[static_cast<size_t>(index)] : nullptr;
}

}  // namespace zan
