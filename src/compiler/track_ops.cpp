// SPDX-License-Identifier: MIT
// Track and time-pointer operations. Most of them write MML: they replace
// their own command text with generated text (track switches and pieces,
// variable assignments, PTR commands, notes) that the dispatch compiles next,
// so a line compiled again by a loop compiles the generated text again and
// the command does not run twice.
#include <algorithm>

#include "arith.h"
#include "texts.h"
#include "zan/tsmf.h"

namespace zan {
namespace {

// The value a relative form moves by: "+5" and "-5" read as 5 and -5; a sign
// before a variable is not part of its term, so "-~1" moves back by ~1.
int32_t relativeAmount(std::string_view written, int32_t term) {
  const bool negatesVariable = written.size() > 1 && written[0] == '-' && written[1] == '~';
  return negatesVariable ? wrapSub(0, term) : term;
}

// The track-writing family: what goes before, around and after each piece.
struct WriteVariant {
  const char* detail;
  const char* prefix;
  const char* item;    // followed by the track, ")", the piece and "|"
  const char* suffix;
  bool startTrack;     // the first argument is the track of the first piece
};

// clang-format off
constexpr WriteVariant kTR   = {"TR",   "",      "_tr(",       "",       false};  // \7
constexpr WriteVariant kTRL  = {"TRL",  "{-->}", "{TRL}_tr(",  "|\\8|",  false};  // \9
constexpr WriteVariant kTRN  = {"TRN",  "{-->}", "{TRN}_tr(",  "|",      true};   // \35
constexpr WriteVariant kTRNL = {"TRNL", "{-->}", "{TRNL}_tr(", "|\\8|",  true};   // \36
// clang-format on

}  // namespace

void TSmf::replaceCommand(const std::string& generated) {
  if (editLine(backslashColumn, column, generated)) column = backslashColumn;
}

// PTR=480 sets the pointer, PTR+96 and PTR-96 (also PTR=-96) move it.
void TSmf::PointerCommand() {
  scanArgs(lineText, column);
  int32_t p = 1;
  const TermRead t = readTerm(args[0], p);  // read whatever the count
  if (!t.ok || argCount != 1) {
    ReportError(4, "PTR");
    return;
  }
  const std::string& a = args[0];
  int32_t& pointer = ptr[curTrack];
  pointer = a[0] == '+' || a[0] == '-' ? wrapAdd(pointer, relativeAmount(a, t.value)) : t.value;
}

void TSmf::WriteTracksCommand() {
  const WriteVariant& v = backslashNumber == 7 ? kTR : backslashNumber == 9 ? kTRL : backslashNumber == 35 ? kTRN : kTRNL;
  scanArgs(lineText, column);
  if (argCount < 1 || argCount > kTrackCount) {
    ReportError(4, v.detail);
    return;
  }
  int32_t track0 = 0;
  int first = 0;
  if (v.startTrack) {
    track0 = readNumber(args[0], 1).value;
    if (track0 == -1) {
      ReportError(5, text(backslashNumber == 35 ? Text::TrnFirstBad : Text::TrnlFirstBad));
      return;
    }
    first = 1;
  }
  std::string generated = v.prefix;
  for (int i = first; i < argCount; ++i) {
    const std::string_view piece = unquote(args[static_cast<size_t>(i)]);
    if (piece.empty()) continue;  // its track is left alone
    // A track beyond 127 is reported by the _tr it generates.
    generated += v.item;
    generated += std::to_string(static_cast<int64_t>(track0) + (i - first));
    generated += ")";
    generated += piece;
    generated += "|";
  }
  generated += v.suffix;
  replaceCommand(generated);
}

void TSmf::LastPointerCommand() {
  scanArgs(lineText, column);
  if (argCount > 1) {
    ReportError(4, "LAST_PTR");
    return;
  }
  const int32_t latest = std::max(0, *std::max_element(std::begin(ptr), std::end(ptr)));
  std::fill(std::begin(ptr), std::end(ptr), latest);
}

// DLY=5 sets, DLY+5 and DLY-5 adjust: here the character after the command
// number decides, so DLY=-5 sets -5 (where PTR=-96 moves back).
void TSmf::ChordDelayCommand() {
  const int mode = cur();
  const int32_t termStart = column + (mode == '=' || mode == '(' ? 1 : 0);
  column = termStart;
  const TermRead t = readTerm(lineText, column);
  if (mode == '(' && cur() == ')') ++column;
  if (!t.ok) {
    ReportError(4, text(Text::CdDelayBad));
    return;
  }
  int32_t& delay = track[curTrack].chordDelay;
  if (mode == '+' || mode == '-') {
    const std::string written = lineText.substr(static_cast<size_t>(termStart - 1), 2);
    delay = wrapAdd(delay, relativeAmount(written, t.value));
  } else {
    delay = t.value;
  }
}

// DIV(4,c,d,e) shares a quarter among three items: l%32c l%32d l%32e, then the
// default length comes back. Ties after the list lengthen the total.
void TSmf::DivideCommand() {
  scanArgs(lineText, column);
  if (argCount < 2) {
    ReportError(4, "DIV");
    return;
  }
  const int32_t afterList = column;
  int32_t p = column;
  while (at(lineText, p) == ' ') ++p;
  int32_t extra = 0;
  bool tied = false;
  while (at(lineText, p) == '^') {
    ++p;
    extra = wrapAdd(extra, readLength(lineText, p, "DIV"));
    tied = true;
  }
  column = tied ? p : afterList;
  int32_t lp = 1;
  const int32_t total = wrapAdd(readLength(std::string(args[0]), lp, "DIV"), extra);
  if (total < 1) {
    ReportError(4, "DIV");
    return;
  }
  const int32_t items = argCount - 1;
  const int32_t share = total / items;
  const int32_t longer = total % items;  // the first items take one tick more
  std::string generated;
  for (int32_t i = 0; i < items; ++i) {
    generated += "l%" + std::to_string(share + (i < longer ? 1 : 0));
    generated += unquote(args[static_cast<size_t>(i + 1)]);
  }
  generated += "l%" + std::to_string(track[curTrack].length);
  replaceCommand(generated);
}

// CD_(2,c,e,g): each item starts a chord delay after the one before and lasts
// the length; the pointer ends one length after the first start.
void TSmf::StrumCommand() {
  scanArgs(lineText, column);
  if (argCount < 2) {
    ReportError(4, "CD_");
    return;
  }
  int32_t p = 1;
  const int32_t length = readLength(std::string(args[0]), p, "CD_");
  if (length < 1) {
    ReportError(4, "CD_");
    return;
  }
  const std::string len = std::to_string(length);
  std::string generated = "|~511=ptr~510=dly~509=~511 l%" + len;
  for (int i = 1; i < argCount; ++i) {
    generated += "PTR=~511";
    generated += unquote(args[static_cast<size_t>(i)]);
    generated += " ~511+~510 ";
  }
  generated += " l%" + std::to_string(track[curTrack].length) + "~509+" + len + "PTR=~509|";
  replaceCommand(generated);
}

void TSmf::GhostCommand() { ghostMode = backslashNumber == 37; }

// PRT(length, from, to[, delay]): plays `from` for the length while a pitch
// bend glides to `to`, with the bend range set to their distance.
void TSmf::PortamentoCommand() {
  scanArgs(lineText, column);
  if (argCount < 3) {
    ReportError(4, "PRT");
    return;
  }
  const std::string& length = args[0];
  std::string generated = "~502=o~505=nno(" + args[1] + ")~504=nno(" + args[2] + ")";
  generated += "~503=~504-~505IF(~503<0,~503*-1)IF(~503>24,~503=24)BR(~503)IF(~505>~504,~503=0,~503=127)";
  generated += "ACB(64,~503," + length + "," + (argCount == 3 ? std::string("0") : args[3]) + ",1,0)";
  generated += "n~505," + length + "B=64o=~502";
  replaceCommand(generated);
}

}  // namespace zan
