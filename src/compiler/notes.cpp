// SPDX-License-Identifier: MIT
// Notes, rests, chords and /-groups: the commands that sound and move the
// current track's time pointer.
#include "arith.h"
#include "texts.h"
#include "zan/tsmf.h"

namespace zan {
namespace {

bool isNoteStart(int c) { return (c >= 'a' && c <= 'g') || c == 'n'; }

// A signed draw in -range .. range-1 (0 when range is 0), one step of the
// shared generator whatever the range.
int32_t jitter(TSmf& smf, int32_t range) {
  uint32_t r = static_cast<uint32_t>(range);
  return static_cast<int32_t>(smf.Random(r * 2u) - r);
}

// Takes the first entry of a non-empty one-shot queue into `slot`: an entry
// with a sign adjusts it, a plain one replaces it, one that does not read
// leaves it alone. The entry is used up either way.
void takeQueued(TSmf& smf, std::list<std::string>& queue, int32_t& slot) {
  std::string entry = std::move(queue.front());
  queue.pop_front();
  int32_t cursor = 1;
  TermRead t = smf.readTerm(entry, cursor);
  if (!t.ok) return;
  if (entry[0] == '+' || entry[0] == '-')
    slot = wrapAdd(slot, t.value);
  else
    slot = t.value;
}

// One value of the comma suffix: "+n"/"-n" adjusts `current`, a plain number
// of 1 or more replaces it, an empty or zero one keeps it. Returns false for
// a sign without a number.
bool suffixValue(TSmf& smf, const std::string& arg, int32_t current, bool atLeastOne, int32_t& result) {
  result = current;
  if (!arg.empty() && (arg[0] == '+' || arg[0] == '-')) {
    NumberRead n = smf.readNumber(arg, 2);
    if (n.value == -1) return false;
    result = arg[0] == '+' ? wrapAdd(current, n.value) : wrapSub(current, n.value);
    if (atLeastOne && result < 1) result = 1;
    return true;
  }
  NumberRead n = smf.readNumber(arg, 1);
  if (n.value >= 1) result = n.value;
  return true;
}

}  // namespace

bool TSmf::readNoteOptions(const std::string& text, int32_t& cursor) {
  Ftr_info& tr = track[curTrack];
  appliedVelocityStep = 0;
  if (at(text, cursor) != ',') {
    int64_t sum = static_cast<int64_t>(tr.velocity) + tr.velocityStep;
    appliedVelocityStep = tr.velocityStep;
    tr.velocity = wrap(sum);
    if ((sum < 0 || sum > 127) && tr.velocityBounce == 1) tr.velocityStep = wrapSub(0, tr.velocityStep);
    return true;
  }
  ++cursor;
  readArgList(text, cursor);
  // The gate is evaluated first; nothing is stored unless both values read.
  int32_t gate = tr.gate, velocity = tr.velocity;
  if (argCount >= 2 && !suffixValue(*this, args[1], tr.gate, true, gate)) return false;
  if (argCount >= 1 && !suffixValue(*this, args[0], tr.velocity, false, velocity)) return false;
  tr.gate = gate;
  tr.velocity = velocity;
  return true;
}

void TSmf::NoteCommand() {
  Ftr_info& tr = track[curTrack];
  const std::string letter(1, static_cast<char>(cur()));
  int32_t note = readNoteValue(lineText, column);
  if (note == -1) {
    ReportError(5, text(Text::NoteNumber));
    return;
  }
  note = clamp32(static_cast<int64_t>(note) + transpose[curTrack], 0, 127);

  int32_t length = readLength(lineText, column, letter);
  if (length == -1) return;
  if (length == 0) {
    // A chord member waits for the next note that has a length. The last
    // slot is kept for that sounding note.
    if (chordCount >= kMaxChordNotes - 1) {
      ReportError(4, letter);
      return;
    }
    if (eventSources) noteChordSource();
    chordNotes[chordCount++] = note;
    return;
  }

  const int32_t savedVelocity = tr.velocity;
  const int32_t savedGate = tr.gate;
  int32_t queuedOffset = 0;
  if (!tr.rnList.empty()) takeQueued(*this, tr.rnList, queuedOffset);
  if (!tr.rvList.empty()) takeQueued(*this, tr.rvList, tr.velocity);
  if (!tr.rqList.empty()) takeQueued(*this, tr.rqList, tr.gate);

  if (!readNoteOptions(lineText, column)) {
    // What the queues set stays in the track; the note is not played.
    ReportError(4, letter);
    return;
  }
  int32_t velocity = wrapAdd(tr.velocity, jitter(*this, rndVelocity[curTrack]));
  int32_t gate = tr.gate;
  if (accentMode != -1) {
    velocity = accentMode == 0 ? accentValue : wrapAdd(velocity, accentValue);
    accentMode = -1;
  }
  velocity = clampTo(velocity, 0, 127);

  while (cur() == ' ') ++column;
  if (cur() == '&') {
    ++column;
    gate = 16;  // sounds for the whole length
  }
  // Ties may follow after spaces and bar lines: "c4 | ^8".
  for (;;) {
    int32_t p = column;
    while (at(lineText, p) == ' ' || at(lineText, p) == '|') ++p;
    if (at(lineText, p) != '^') break;
    column = p + 1;
    // A tie that fails (already reported) reads as -1 and is added as such.
    length = wrapAdd(length, readLength(lineText, column, letter));
  }
  const int32_t timing = jitter(*this, rndTiming[curTrack]);

  // The draws above and the bend draws below are made in this order for every
  // note, ranges of 0 included, so that a seeded score gives the same file.
  chordNotes[chordCount] = note;
  if (!ghostMode) {
    const int32_t start = wrapAdd(ptr[curTrack], timing);
    const int32_t sounding = soundingTicks(length, gate, tr.gateOffset);
    int32_t offset = 0;
    for (int i = 0; i <= chordCount; ++i) {
      int32_t b = jitter(*this, rndBend[curTrack]);
      if (b != 0) {
        int32_t w = clamp32(static_cast<int64_t>(b) + tr.bend, 0, 128) * 127;
        emitChannel(wrapSub(start, 2), 0xE0, static_cast<uint8_t>(w % 128), static_cast<uint8_t>(w / 128));
      }
      const int32_t on = wrapAdd(wrapAdd(start, offset), queuedOffset);
      // The note-off falls one tick before the end of the sounding length,
      // but never at or before its own note-on: sorted by time, such an off
      // would come first and leave the note sounding to the end of the file.
      int32_t off = wrapAdd(on, noteOffDelay(sounding));
      // A note placed before tick 0 is written from tick 0 (the on keeps its
      // time in the list, and so its place among the events before 0): its
      // off is kept at tick 1 or later, or the two would land together.
      if (on < 0 && off < 1) off = 1;
      // A note of velocity 0 is silent and writes nothing: a note-on of
      // velocity 0 reads as a note-off and would end a note of the same key
      // already sounding.
      if (velocity != 0) {
        const auto key = static_cast<uint8_t>(chordNotes[i]);
        const auto vel = static_cast<uint8_t>(velocity);
        emitChannel(on, 0x90, key, vel);
        emitChannel(off, 0x80, key, vel);
      }
      offset = wrapAdd(offset, tr.chordDelay);
    }
  }
  chordCount = 0;
  ptr[curTrack] = wrapAdd(ptr[curTrack], length);
  tr.gate = savedGate;
  // A velocity step carries over: the notes of "v60,4" rise by 4 each until
  // the limits, where a bounce turns them round.
  tr.velocity = appliedVelocityStep != 0
                    ? clamp32(static_cast<int64_t>(savedVelocity) + appliedVelocityStep, 0, 127)
                    : savedVelocity;
}

void TSmf::RestCommand() {
  ++column;
  int32_t length = readLength(lineText, column, "r");
  if (length == 0) {
    ReportError(5, "r");
    return;
  }
  if (length != -1) ptr[curTrack] = wrapAdd(ptr[curTrack], length);
}

// "/ceg/2": the notes between the slashes start together (each a chord delay
// after the one before), notes without a length of their own take the group
// length, and the group advances the time pointer by the group length.
void TSmf::GroupCommand() {
  Ftr_info& tr = track[curTrack];
  ++column;
  const int32_t savedLength = tr.length;
  const int32_t chordDelay = tr.chordDelay;
  const size_t close = lineText.find('/', static_cast<size_t>(column - 1));
  if (close == std::string::npos) {
    ReportError(5, text(Text::SlashNotFound));
    return;
  }
  const int32_t closeColumn = static_cast<int32_t>(close) + 1;
  int32_t after = closeColumn + 1;
  // A length that fails (reported) is used as it reads, -1: notes without a
  // length of their own then fail too, and the pointer ends one tick back.
  const int32_t groupLength = readLength(lineText, after, "/");
  tr.length = groupLength;
  const int32_t start = ptr[curTrack];
  int32_t offset = 0;
  // The body runs at least once: an empty group "//4" meets its closing
  // slash as content and is refused.
  do {
    int c = cur();
    if (isNoteStart(c)) {
      NoteCommand();
      offset = wrapAdd(offset, chordDelay);
      ptr[curTrack] = wrapAdd(start, offset);
    } else if (c == '<' || c == '>') {
      OctaveShiftCommand();
    } else {
      // The track's length stays the group length, as the error leaves it.
      ReportError(4, text(Text::SlashContent));
      return;
    }
  } while (column != closeColumn);
  column = after;
  tr.length = savedLength;
  ptr[curTrack] = wrapAdd(start, groupLength);
}

}  // namespace zan
