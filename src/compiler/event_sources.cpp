// Where each event came from in the score: a map from the columns of the
// line being compiled back to the columns of the score, carried through every
// edit the compile makes in the line (macro expansion, generated commands,
// inserted selections), so that an event can name the text that made it.
// None of it runs unless the host asks for event sources.
#include <algorithm>

#include "zan/tsmf.h"

namespace zan {

void TSmf::syncColumnMap() {
  if (mapLine == lineIndex && mapGeneration == lineGeneration) return;
  mapLine = lineIndex;
  mapGeneration = lineGeneration;
  columnMap.clear();
  mapOfScoreLine = false;
  if (lineIndex < 0 || lineIndex >= sourceLines.size()) return;
  const LineOrigin origin = sourceLines.origin(lineIndex);
  if (origin.file != 0) return;
  mapOfScoreLine = true;
  const size_t line = static_cast<size_t>(origin.line);
  // The saved map describes the line as it was last written back; a line
  // never edited is the score's own text.
  if (line < savedColumnMaps.size() && savedColumnMaps[line].size() == lineText.size()) {
    columnMap = savedColumnMaps[line];
    return;
  }
  columnMap.resize(lineText.size());
  for (size_t i = 0; i < columnMap.size(); ++i) columnMap[i] = {static_cast<int32_t>(i), static_cast<int32_t>(i) + 1};
}

void TSmf::mapEdit(int32_t from, int32_t to, size_t inserted) {
  syncColumnMap();
  if (!mapOfScoreLine || columnMap.size() != lineText.size()) return;
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
  columnMap.erase(columnMap.begin() + static_cast<long>(a), columnMap.begin() + static_cast<long>(b));
  columnMap.insert(columnMap.begin() + static_cast<long>(a), inserted, span);
}

void TSmf::saveColumnMap() {
  if (lineIndex < 0 || lineIndex >= sourceLines.size()) return;
  syncColumnMap();
  if (!mapOfScoreLine || columnMap.size() != lineText.size()) return;
  const size_t line = static_cast<size_t>(sourceLines.origin(lineIndex).line);
  if (savedColumnMaps.size() <= line) savedColumnMaps.resize(line + 1);
  savedColumnMaps[line] = columnMap;
}

void TSmf::storeLine() {
  if (lineIndex < 0 || lineIndex >= sourceLines.size()) return;
  if (eventSources) saveColumnMap();
  sourceLines.set(lineIndex, lineText);
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
    syncColumnMap();
    if (mapOfScoreLine && !columnMap.empty() && columnMap.size() == lineText.size()) {
      // The command's text: from where it was dispatched to where the
      // reading stands now.
      const int32_t length = static_cast<int32_t>(columnMap.size());
      const int32_t a = std::clamp((member ? member[0] : commandColumn) - 1, 0, length - 1);
      int32_t b = std::clamp((member ? member[1] : column) - 1, a + 1, length);
      // Blanks the command read past are not its text.
      while (b > a + 1 && (lineText[static_cast<size_t>(b - 1)] == ' ' || lineText[static_cast<size_t>(b - 1)] == '\t')) --b;
      ColumnSpan span = columnMap[static_cast<size_t>(a)];
      for (int32_t i = a + 1; i < b; ++i)
        span = {std::min(span.from, columnMap[static_cast<size_t>(i)].from), std::max(span.to, columnMap[static_cast<size_t>(i)].to)};
      source.column = span.from;
      source.end = span.to;
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
