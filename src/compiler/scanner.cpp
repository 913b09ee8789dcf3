// SPDX-License-Identifier: MIT
// The argument scanner: numbers, `$` hexadecimal and `~` references, signed
// terms, the two argument-list forms, note lengths and note values. The
// readers report only `~` and `%` faults; every other failure is returned,
// and the caller reports it with its own detail.
#include "arith.h"
#include "texts.h"
#include "zan/tsmf.h"

namespace zan {
namespace {

bool isDigit(int c) { return c >= '0' && c <= '9'; }
bool isHexDigit(int c) { return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
int hexValue(int c) { return isDigit(c) ? c - '0' : (c | 0x20) - 'a' + 10; }

// An unsigned decimal run, or `$` and a hexadecimal run, at `pos`.
struct Digits {
  bool found;     // a number stands there
  bool tooLong;   // it does not fit: decimal above 2147483647, hexadecimal above $FFFFFFFF
  int32_t value;  // hexadecimal takes all 32 bits: $FFFFFFFF is -1
  int32_t len;    // characters covered, the `$` included
};

// Inlined: returned through memory, the small result stalled every number read.
[[gnu::always_inline]] inline Digits scanDigits(const std::string& text, int32_t pos) {
  Digits d{false, false, 0, 0};
  uint64_t v = 0;
  if (TSmf::at(text, pos) == '$') {
    int32_t n = 0;
    while (isHexDigit(TSmf::at(text, pos + 1 + n))) {
      v = v * 16 + static_cast<uint64_t>(hexValue(TSmf::at(text, pos + 1 + n)));
      if (v > 0xFFFFFFFFull) d.tooLong = true, v = 0xFFFFFFFFull;
      ++n;
    }
    if (n == 0) return d;
    d.found = true;
    d.len = n + 1;
    d.value = static_cast<int32_t>(static_cast<uint32_t>(v));
  } else {
    int32_t n = 0;
    while (isDigit(TSmf::at(text, pos + n))) {
      v = v * 10 + static_cast<uint64_t>(TSmf::at(text, pos + n) - '0');
      if (v > 0x7FFFFFFFull) d.tooLong = true, v = 0x7FFFFFFFull;
      ++n;
    }
    if (n == 0) return d;
    d.found = true;
    d.len = n;
    d.value = static_cast<int32_t>(v);
  }
  if (d.tooLong) d.value = -1;
  return d;
}

}  // namespace

int32_t TSmf::roundLength(double ticks) const { return roundHalfEven(ticks); }

void TSmf::setArg(int i, std::string value) {
  if (static_cast<size_t>(i) >= args.size()) args.resize(static_cast<size_t>(i) + 1);
  args[static_cast<size_t>(i)] = std::move(value);
}

// A run of `~` makes a chain of references, read from the inside out: `~~3`
// is the variable whose index is the value of `~3`. Each reference with an
// index outside 0..511 reports "~" and reads as -1, which the next one out
// then reports too.
NumberRead TSmf::readNumber(const std::string& text, int32_t pos) {
  int32_t tildes = 0;
  while (at(text, pos + tildes) == '~') ++tildes;
  Digits d = scanDigits(text, pos + tildes);
  numberTooLong = d.tooLong;
  int32_t value = d.found ? d.value : -1;
  for (int32_t i = 0; i < tildes; ++i) {
    if (value < 0 || value >= kVarCount) {
      ReportError(4, "~");
      value = -1;
    } else {
      value = vars[value];
    }
  }
  return NumberRead{value, d.len + tildes};
}

TermRead TSmf::readTerm(const std::string& text, int32_t& cursor) {
  int32_t sign = 1;
  if (at(text, cursor) == '-') {
    sign = -1;
    ++cursor;
  } else if (at(text, cursor) == '+') {
    ++cursor;
  }
  if (at(text, cursor) == '~') {
    // A sign before a reference is read but has no effect: -~1 is ~1.
    ++cursor;
    NumberRead index = readNumber(text, cursor);
    cursor += index.len;
    if (index.value < 0 || index.value >= kVarCount) {
      ReportError(4, "~");
      return TermRead{0, false};
    }
    return TermRead{vars[index.value], true};
  }
  Digits d = scanDigits(text, cursor);
  numberTooLong = d.tooLong;
  if (!d.found) return TermRead{0, false};
  cursor += d.len;  // a number too long is consumed, and fails
  if (d.tooLong) return TermRead{0, false};
  return TermRead{wrapMul(d.value, sign), true};
}

void TSmf::readArgList(const std::string& text, int32_t& cursor) {
  if (at(text, cursor) == '=') ++cursor;
  while (at(text, cursor) == ' ') ++cursor;
  argCount = 0;
  int first = at(text, cursor);
  int32_t start = cursor;
  TermRead t = readTerm(text, cursor);
  // A list may begin with an empty argument (",8"); an empty one later ends it.
  if (!t.ok && first != ',') return;
  setArg(0, text.substr(static_cast<size_t>(start - 1), static_cast<size_t>(cursor - start)));
  argCount = 1;
  while (at(text, cursor) == ' ') ++cursor;
  while (at(text, cursor) == ',') {
    ++cursor;
    start = cursor;
    t = readTerm(text, cursor);  // no spaces between a comma and its term
    if (!t.ok) return;
    setArg(argCount++, text.substr(static_cast<size_t>(start - 1), static_cast<size_t>(cursor - start)));
    while (at(text, cursor) == ' ') ++cursor;
  }
}

void TSmf::scanArgs(const std::string& text, int32_t& cursor) {
  argCount = 0;
  setArg(0, std::string());
  int c = at(text, cursor);
  if (c == '=' || c == '+' || c == '-') {
    readArgList(text, cursor);
    return;
  }
  if (c != '(') return;
  ++cursor;
  while (at(text, cursor) == ' ') ++cursor;
  int depth = 1;
  bool inQuotes = false;
  std::string current;
  for (;;) {
    c = at(text, cursor);
    if (c < 0) {
      ReportError(4, zan::text(Text::ParenMissing));
      return;
    }
    ++cursor;
    if (c == '"') {
      inQuotes = !inQuotes;
      current += '"';
    } else if (c == '(') {
      ++depth;
      current += '(';
    } else if (c == ')') {
      --depth;
      if (depth == 0 && !inQuotes) {
        setArg(argCount++, std::move(current));
        return;
      }
      current += ')';
    } else if (c == ',') {
      // A comma outside quotes splits arguments at any parenthesis depth.
      if (inQuotes) {
        current += ',';
      } else {
        setArg(argCount++, std::move(current));
        current.clear();
      }
      while (at(text, cursor) == ' ') ++cursor;
    } else {
      current += static_cast<char>(c);
    }
  }
}

// A length is a sum of segments joined by `^` ties (bar lines `|` may stand
// between them); each segment is `%`ticks, a note value N (timebase*4/N), or
// nothing (the track's default), followed by dots that each add half of the
// segment so far. A segment of 0, or one that fails (-1, reported), takes no
// dots; as the first segment it is the whole result (0 is the zero length of
// a chord note), as a tie it is added like any other.
int32_t TSmf::readLength(const std::string& text, int32_t& cursor, const std::string& detail) {
  int32_t total = 0;
  for (bool first = true;; first = false) {
    int32_t segment;
    bool atOnce = false;  // no dots follow
    if (at(text, cursor) == '%') {
      ++cursor;
      NumberRead n = readNumber(text, cursor);
      cursor += n.len;
      if (n.value <= 0) {
        ReportError(4, "%");
        segment = -1;
        atOnce = true;
      } else {
        segment = n.value;
      }
    } else {
      NumberRead n = readNumber(text, cursor);
      cursor += n.len;
      if (numberTooLong) {
        ReportError(4, detail);
        segment = -1;
        atOnce = true;
      } else if (n.len > 0 && n.value == 0) {
        segment = 0;
        atOnce = true;
      } else if (n.value == -1) {
        segment = track[curTrack].length;
      } else {
        segment = roundLength(timebase * 4.0 / n.value);
      }
    }
    if (atOnce && first) return segment;
    if (!atOnce) {
      while (at(text, cursor) == '.') {
        ++cursor;
        segment = wrapAdd(segment, roundLength(segment / 2.0));
      }
    }
    total = wrapAdd(total, segment);
    for (;;) {
      int c = at(text, cursor);
      if (c == '|') {
        ++cursor;
        continue;
      }
      if (c != '^') return total;
      ++cursor;
      break;
    }
  }
}

int32_t TSmf::readNoteValue(const std::string& text, int32_t& cursor) {
  int64_t value;
  if (at(text, cursor) == 'n') {
    ++cursor;
    NumberRead n = readNumber(text, cursor);
    cursor += n.len;
    if (at(text, cursor) == ',') ++cursor;
    value = n.value;
  } else {
    static constexpr int kSemitone[7] = {9, 11, 0, 2, 4, 5, 7};  // a b c d e f g
    int letter = at(text, cursor);
    if (letter < 'a' || letter > 'g') return -1;
    value = kSemitone[letter - 'a'] + 12 * static_cast<int64_t>(track[curTrack].octave);
    ++cursor;
  }
  for (;;) {
    int c = at(text, cursor);
    if (c == '+') ++value;
    else if (c == '-') --value;
    else break;
    ++cursor;
  }
  return wrap(value);
}

}  // namespace zan
