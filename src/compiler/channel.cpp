// SPDX-License-Identifier: MIT
// Channel commands: tempo, velocity, control change, program change with
// bank, pitch bend and the one-shot accent. Their events go a few ticks
// before the time pointer so that, once sorted, they precede the notes that
// start there: tempo at ptr-3, bank select at ptr-2, the others at ptr-1.
#include "arith.h"
#include "texts.h"
#include "zan/tsmf.h"

namespace zan {
namespace {

constexpr int32_t kMinTempo = 20;
constexpr int32_t kMaxTempo = 999;
constexpr int32_t kMaxStep = 127;          // largest velocity step either way
constexpr int32_t kBendCentre = 8192;
constexpr int32_t kMaxDataByte = 127;

bool startsWithSign(const std::string& s) { return !s.empty() && (s[0] == '+' || s[0] == '-'); }

}  // namespace

void TSmf::TempoCommand() {
  ++column;
  NumberRead n = readNumber(lineText, column);
  column += n.len;
  if (n.value < kMinTempo || n.value > kMaxTempo) {
    ReportError(4, "t");
    return;
  }
  const uint32_t usPerQuarter = 60000000u / static_cast<uint32_t>(n.value);
  const uint8_t bytes[6] = {0xFF, 0x51, 0x03, static_cast<uint8_t>(usPerQuarter >> 16),
                            static_cast<uint8_t>(usPerQuarter >> 8), static_cast<uint8_t>(usPerQuarter)};
  addEvent(wrapSub(ptr[curTrack], 3), bytes, 6);
}

// v vel[,step[,bounce]]: each part is stored as soon as it reads, so an error
// in a later part keeps the earlier ones.
void TSmf::VelocityCommand() {
  Ftr_info& tr = track[curTrack];
  ++column;
  readArgList(lineText, column);
  if (argCount == 0) {
    ReportError(4, "v");
    return;
  }
  const int parts = argCount;
  const std::string first = args[0];
  int32_t p = 1;
  TermRead t = readTerm(first, p);
  if (!t.ok) {
    ReportError(4, "v");
    return;
  }
  tr.velocity = clamp32(startsWithSign(first) ? static_cast<int64_t>(tr.velocity) + t.value : t.value, 0, 127);
  if (parts < 2) return;
  const std::string second = args[1];
  p = 1;
  t = readTerm(second, p);
  if (!t.ok || t.value > kMaxStep || t.value < -kMaxStep) {
    ReportError(4, "v");
    return;
  }
  tr.velocityStep = t.value;
  if (parts < 3) return;
  NumberRead bounce = readNumber(args[2], 1);
  if (bounce.value == -1) {
    ReportError(4, "v");
    return;
  }
  tr.velocityBounce = bounce.value;
}

// y controller,value. A controller number outside 0..127 is refused: it
// would not fit a MIDI data byte.
void TSmf::ControlChangeCommand() {
  ++column;
  readArgList(lineText, column);
  if (argCount != 2) {
    ReportError(4, "y");
    return;
  }
  NumberRead controller = readNumber(args[0], 1);
  if (controller.value < 0 || controller.value > kMaxDataByte) {
    ReportError(4, "y");
    return;
  }
  NumberRead value = readNumber(args[1], 1);
  emitChannel(wrapSub(ptr[curTrack], 1), 0xB0, static_cast<uint8_t>(controller.value),
       static_cast<uint8_t>(clampTo(value.value, 0, kMaxDataByte)));
}

// @program[,msb[,lsb]]. Numbers outside 0..127 are refused, like controllers.
void TSmf::ProgramChangeCommand() {
  ++column;
  readArgList(lineText, column);
  if (argCount < 1 || argCount > 3) {
    ReportError(4, "@");
    return;
  }
  int32_t values[3] = {0, 0, 0};
  for (int i = 0; i < argCount; ++i) {
    values[i] = readNumber(args[static_cast<size_t>(i)], 1).value;
    if (values[i] < 0 || values[i] > kMaxDataByte) {
      ReportError(4, "@");
      return;
    }
  }
  const int32_t at = ptr[curTrack];
  if (argCount >= 2) emitChannel(wrapSub(at, 2), 0xB0, 0x00, static_cast<uint8_t>(values[1]));
  if (argCount == 3) emitChannel(wrapSub(at, 2), 0xB0, 0x20, static_cast<uint8_t>(values[2]));
  const uint8_t program[2] = {static_cast<uint8_t>(0xC0 | track[curTrack].channel), static_cast<uint8_t>(values[0])};
  addEvent(wrapSub(at, 1), program, 2);
}

void TSmf::PitchBendCommand() {
  ++column;
  bool negative = false;
  if (cur() == '-') negative = true, ++column;
  NumberRead n = readNumber(lineText, column);
  column += n.len;
  if (n.value == -1) {
    ReportError(4, "p");
    return;
  }
  const int64_t value = (negative ? -static_cast<int64_t>(n.value) : n.value) + kBendCentre;
  if (value < 0 || value > 16383) {
    ReportError(4, text(Text::PitchBendRange));
    return;
  }
  emitChannel(wrapSub(ptr[curTrack], 1), 0xE0, static_cast<uint8_t>(value % 128), static_cast<uint8_t>(value / 128));
}

// ! sets the velocity of the next sounding note on this line: !n (or !=n)
// replaces it, !+n and !-n adjust it, a bare ! makes it half as loud again.
void TSmf::AccentCommand() {
  accentMode = -1;
  ++column;
  if (cur() == '+' || cur() == '-') {
    accentMode = 1;
    TermRead t = readTerm(lineText, column);
    accentValue = t.ok ? t.value : 0;
    if (!t.ok) ReportError(4, text(Text::AccentRelativeBad));
    return;
  }
  if (cur() == '=') ++column;
  accentMode = 0;
  TermRead t = readTerm(lineText, column);
  accentValue = t.ok ? t.value : roundHalfEven(1.5 * track[curTrack].velocity);
}

}  // namespace zan
