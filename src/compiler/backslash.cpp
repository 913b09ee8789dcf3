// SPDX-License-Identifier: MIT
// The numbered commands \0..\40: the dispatcher, and the commands that emit
// MIDI messages directly (system exclusive, parameter numbers, the remembered
// controllers, pitch bend in 7-bit steps) or set track state (transpose,
// channel). Users reach them through the names of the built-in library.
#include <vector>

#include "arith.h"
#include "texts.h"
#include "zan/tsmf.h"

namespace zan {
namespace {

using Handler = void (TSmf::*)();

// clang-format off
constexpr Handler kBackslash[] = {
    &TSmf::SystemExclusiveCommand,   //  0 EX
    &TSmf::ParameterNumberCommand,   //  1 NRPN
    &TSmf::ParameterNumberCommand,   //  2 RPN
    &TSmf::TransposeCommand,         //  3 T
    &TSmf::ChannelCommand,           //  4 CH
    &TSmf::SystemExclusiveCommand,   //  5 EX2 (with checksum)
    &TSmf::PointerCommand,           //  6 PTR
    &TSmf::WriteTracksCommand,       //  7 TR
    &TSmf::LastPointerCommand,       //  8 LAST_PTR
    &TSmf::WriteTracksCommand,       //  9 TRL, PLAY
    &TSmf::ActiveControllerCommand,  // 10 ACTIVE_CC
    &TSmf::ActivePitchBendCommand,   // 11 ACTIVE_PB, ACB
    &TSmf::BendCommand,              // 12 B
    &TSmf::RandomRangeCommand,       // 13 RNDV
    &TSmf::RandomRangeCommand,       // 14 RNDN
    &TSmf::ControllerCommand,        // 15 REV
    &TSmf::ControllerCommand,        // 16 CHO
    &TSmf::ControllerCommand,        // 17 M
    &TSmf::ControllerCommand,        // 18 P
    &TSmf::ControllerCommand,        // 19 E
    &TSmf::ControllerCommand,        // 20 V
    &TSmf::ControllerCommand,        // 21 D
    &TSmf::RandomRangeCommand,       // 22 RNDB
    &TSmf::GateOffsetCommand,        // 23 Q
    &TSmf::ChordDelayCommand,        // 24 CD_DELAY, DLY
    &TSmf::DivideCommand,            // 25 DIV
    &TSmf::StrumCommand,             // 26 CD_
    &TSmf::SelectCommand,            // 27 SEL, SWITCH
    &TSmf::QueueCommand,             // 28 RV
    &TSmf::QueueCommand,             // 29 RQ
    &TSmf::QueueCommand,             // 30 RN
    &TSmf::IfCommand,                // 31 IF
    &TSmf::QueueClearCommand,        // 32 RV_CLEAR
    &TSmf::QueueClearCommand,        // 33 RQ_CLEAR
    &TSmf::QueueClearCommand,        // 34 RN_CLEAR
    &TSmf::WriteTracksCommand,       // 35 TRN
    &TSmf::WriteTracksCommand,       // 36 TRNL
    &TSmf::GhostCommand,             // 37 GHOST_ON
    &TSmf::GhostCommand,             // 38 GHOST_OFF
    &TSmf::PortamentoCommand,        // 39 PRT
    &TSmf::OnEventCommand,           // 40 (kept, no effect)
};

// The remembered controllers \15..\21: controller number, the track slot
// that keeps its value, and the name errors are reported with.
struct RememberedController {
  uint8_t controller;
  int32_t Ftr_info::*slot;
  const char* name;
};
constexpr RememberedController kControllers[] = {
    {91, &Ftr_info::reverb,     "REV"},  // 15
    {93, &Ftr_info::chorus,     "CHO"},  // 16
    { 1, &Ftr_info::modulation, "M"},    // 17
    {10, &Ftr_info::pan,        "P"},    // 18
    {11, &Ftr_info::expression, "E"},    // 19
    { 7, &Ftr_info::velocity,   "V"},    // 20
    { 6, &Ftr_info::dataEntry,  "D"},    // 21
};
// clang-format on

static_assert(std::size(kBackslash) == kBackslashCount, "one handler for every command number");

constexpr int kSysExStatus = 0xF0;
constexpr int kSysExEscape = 0xF7;
// The checksum of \5 covers the address and data bytes before it: four for
// the one-byte data-set messages it is meant for.
constexpr int kChecksumBytes = 4;

}  // namespace

void TSmf::BackslashCommand() {
  backslashColumn = column;
  ++column;
  const NumberRead n = readNumber(lineText, column);
  column += n.len;
  if (n.value == -1) {
    ReportError(4, "\\");
    return;
  }
  if (n.value < 0 || n.value >= kBackslashCount) {
    ReportError(5, text(Text::BackslashUndefined));
    return;
  }
  backslashNumber = n.value;
  (this->*kBackslash[n.value])();
}

// \0 sends the message as written; \5 puts a checksum in place of its last
// argument and adds the closing F7.
void TSmf::SystemExclusiveCommand() {
  const bool checksum = backslashNumber == 5;
  readArgList(lineText, column);
  if (argCount < 3) {
    ReportError(3, "EX");
    return;
  }
  const int32_t status = readNumber(args[0], 1).value;
  // Each argument is one byte of the message, which must fit the event limit.
  if ((status != kSysExStatus && status != kSysExEscape) || argCount > kMaxArgs) {
    ReportError(4, "EX");
    return;
  }
  std::vector<uint8_t> bytes{static_cast<uint8_t>(status)};
  const int lengthBytes = EncodeVarLen(static_cast<uint32_t>(checksum ? argCount : argCount - 1));
  bytes.insert(bytes.end(), dataBuf, dataBuf + lengthBytes);
  for (int i = 1; i < argCount; ++i)
    bytes.push_back(static_cast<uint8_t>(readNumber(args[static_cast<size_t>(i)], 1).value));
  if (checksum) {
    // The placeholder is the last byte; with fewer than four data bytes
    // before it, the sum covers those there are (never the status byte).
    const size_t placeholder = bytes.size() - 1;
    const size_t firstData = 1 + static_cast<size_t>(lengthBytes);
    int sum = 0;
    for (size_t i = placeholder; i > firstData && placeholder - i < kChecksumBytes;) sum += bytes[--i];
    bytes[placeholder] = static_cast<uint8_t>((128 - sum % 128) % 128);
    bytes.push_back(kSysExEscape);
  }
  addEvent(ptr[curTrack], bytes.data(), static_cast<int32_t>(bytes.size()));
}

// \1 (non-registered, controllers 99/98) and \2 (registered, 101/100). Several
// at one time on one track are chained two ticks apart, each before the one
// written earlier, so that their data entries cannot interleave.
void TSmf::ParameterNumberCommand() {
  const bool registered = backslashNumber == 2;
  readArgList(lineText, column);
  if (argCount < 2 || argCount > 4) {
    ReportError(4, text(Text::RpnArgumentsBad));
    return;
  }
  const int32_t p1 = readNumber(args[0], 1).value;
  const int32_t p2 = readNumber(args[1], 1).value;
  const int32_t d1 = argCount >= 3 ? clampTo(readNumber(args[2], 1).value, 0, 127) : 0;
  const int32_t d2 = argCount >= 4 ? clampTo(readNumber(args[3], 1).value, 0, 127) : 0;
  if (p1 == -1 || p2 == -1) {
    ReportError(4, text(Text::RpnNumbersBad));
    return;
  }
  int32_t t = ptr[curTrack];
  if (t == rpnLastTime && curTrack == rpnLastTrack) {
    rpnLastTimeAdj = wrapSub(rpnLastTimeAdj, 2);
    t = rpnLastTimeAdj;
  } else {
    rpnLastTime = rpnLastTimeAdj = t;
  }
  rpnLastTrack = curTrack;
  emitChannel(wrapSub(t, 2), 0xB0, registered ? 101 : 99, static_cast<uint8_t>(p1));
  emitChannel(wrapSub(t, 2), 0xB0, registered ? 100 : 98, static_cast<uint8_t>(p2));
  if (argCount >= 3) emitChannel(wrapSub(t, 1), 0xB0, 6, static_cast<uint8_t>(d1));
  if (argCount >= 4) emitChannel(wrapSub(t, 1), 0xB0, 38, static_cast<uint8_t>(d2));
}

void TSmf::TransposeCommand() {
  scanArgs(lineText, column);
  int32_t p = 1;
  // The first argument is read whatever the count (a bad reference in it is
  // reported), then the count decides.
  const TermRead t = readTerm(args[0], p);
  if (!t.ok || argCount != 1) {
    ReportError(4, "T=-127~127");
    return;
  }
  transpose[curTrack] = clampTo(t.value, -127, 127);
}

void TSmf::ChannelCommand() {
  scanArgs(lineText, column);
  const int32_t channel = readNumber(args[0], 1).value;
  if (channel < 1 || channel > 16 || argCount != 1) {
    ReportError(4, "CH=1~16");
    return;
  }
  track[curTrack].channel = channel - 1;
}

// \15..\21: REV=100 sets, REV+10 and REV-10 adjust. The slot keeps the value
// as computed, unclamped, so REV=100 REV+50 REV-30 sends 100, 127, 120.
void TSmf::ControllerCommand() {
  const RememberedController& c = kControllers[backslashNumber - 15];
  scanArgs(lineText, column);
  if (argCount != 1) {
    ReportError(4, c.name);
    return;
  }
  const std::string& a = args[0];
  int32_t& slot = track[curTrack].*c.slot;
  if (!a.empty() && (a[0] == '+' || a[0] == '-')) {
    const int32_t n = readNumber(a, 2).value;
    slot = wrapAdd(slot, a[0] == '-' ? wrapSub(0, n) : n);
  } else {
    slot = readNumber(a, 1).value;
  }
  emitChannel(wrapSub(ptr[curTrack], 1), 0xB0, c.controller, static_cast<uint8_t>(clampTo(slot, 0, 127)));
}

// B=64 is the centre; B+n and B-n (and B=-n) move from the current value.
void TSmf::BendCommand() {
  scanArgs(lineText, column);
  int32_t p = 1;
  const TermRead t = readTerm(args[0], p);  // read whatever the count, as T does
  if (!t.ok || argCount != 1) {
    ReportError(4, "B=0~127");
    return;
  }
  Ftr_info& tr = track[curTrack];
  const char first = args[0][0];
  tr.bend = first == '+' || first == '-' ? wrapAdd(tr.bend, t.value) : t.value;
  emitChannel(wrapSub(ptr[curTrack], 1), 0xE0, 0, static_cast<uint8_t>(clampTo(tr.bend, 0, 127)));
}

void TSmf::OnEventCommand() {
  scanArgs(lineText, column);
  if (argCount != 1) {
    ReportError(4, "ON_IVENT");
    return;
  }
  track[curTrack].onEvent = args[0];
}

}  // namespace zan
