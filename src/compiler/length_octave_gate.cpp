// SPDX-License-Identifier: MIT
// The per-track defaults every note reads: length (l), octave (o < >), gate
// (q) and the gate offset (Q, backslash command 23).
#include "arith.h"
#include "texts.h"
#include "zan/tsmf.h"

namespace zan {
namespace {

constexpr int32_t kMaxOctave = 10;
constexpr int32_t kMinGate = 1;
constexpr int32_t kMaxGate = 256;        // sixteenths: up to sixteen times the note length
constexpr int32_t kMaxLengthValue = 256; // l256 is the shortest note value l accepts

// Applies `value` to `slot` with the operator: '+' adds, '-' subtracts,
// anything else replaces.
int64_t apply(int op, int64_t slot, int64_t value) {
  return op == '+' ? slot + value : op == '-' ? slot - value : value;
}

}  // namespace

void TSmf::LengthOctaveGateCommand() {
  Ftr_info& tr = track[curTrack];
  const int letter = cur();
  ++column;
  bool ticks = false;
  if (cur() == '%') {
    ++column;
    if (letter != 'l') {
      ReportError(5, std::string(1, static_cast<char>(letter)) + text(Text::PercentGiven));
      return;
    }
    ticks = true;
  }
  int op = 0;
  if (cur() == '+' || cur() == '-' || cur() == '=') op = cur(), ++column;
  NumberRead n = readNumber(lineText, column);
  column += n.len;
  const std::string detail = ticks ? "%" : std::string(1, static_cast<char>(letter));
  if (n.value == -1) {
    ReportError(4, detail);
    return;
  }
  switch (letter) {
    case 'l': {
      int64_t delta = n.value;
      if (!ticks) {
        if (n.value < 1) {
          ReportError(4, "l");
          return;
        }
        delta = roundLength(timebase * 4.0 / clampTo(n.value, 1, kMaxLengthValue));
      }
      tr.length = clamp32(apply(op, tr.length, delta), 0, INT32_MAX);
      break;
    }
    case 'o':
      tr.octave = clamp32(apply(op, tr.octave, n.value), 0, kMaxOctave);
      break;
    default:  // 'q'
      tr.gate = clamp32(apply(op, tr.gate, n.value), kMinGate, kMaxGate);
      break;
  }
}

void TSmf::OctaveShiftCommand() {
  const int sign = cur();
  ++column;
  NumberRead n = readNumber(lineText, column);
  column += n.len;
  if (numberTooLong) {
    ReportError(4, std::string(1, static_cast<char>(sign)));
    return;
  }
  int64_t count = n.value == -1 ? 1 : n.value;
  const bool up = (sign == '>') != (octaveReverse != 0);
  Ftr_info& tr = track[curTrack];
  tr.octave = clamp32(up ? tr.octave + count : tr.octave - count, 0, kMaxOctave);
}

// Q=8 (sixteenths of the current length), Q%10 (ticks), Q+2, Q-2, Q(4),
// Q(%10). The sixteenths are converted with the length as it stands now,
// truncated, unlike note lengths, which round.
void TSmf::GateOffsetCommand() {
  bool ticks = false;
  int op = 0;
  NumberRead n{-1, 0};
  if (cur() == '(') {
    scanArgs(lineText, column);
    if (argCount != 1) {
      ReportError(4, "Q");
      return;
    }
    const std::string arg = args[0];
    int32_t p = 1;
    if (at(arg, p) == '%') ticks = true, ++p;
    if (at(arg, p) == '+' || at(arg, p) == '-') op = at(arg, p), ++p;
    n = readNumber(arg, p);
    if (n.value == -1) {
      ReportError(4, "Q");
      return;
    }
  } else {
    if (cur() == '=') ++column;
    if (cur() == '%') ticks = true, ++column;
    if (cur() == '+' || cur() == '-') op = cur(), ++column;
    n = readNumber(lineText, column);
    column += n.len;
    if (n.value == -1) {
      ReportError(4, text(Text::QPercentBad));
      return;
    }
  }
  Ftr_info& tr = track[curTrack];
  int64_t delta = n.value;
  if (!ticks) {
    if (n.value < 0) {
      ReportError(4, "Q");
      return;
    }
    delta = static_cast<int64_t>(tr.length) * clampTo(n.value, 0, kMaxGate) / 16;
  }
  tr.gateOffset = wrap(apply(op, tr.gateOffset, delta));
}

}  // namespace zan
