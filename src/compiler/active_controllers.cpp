// SPDX-License-Identifier: MIT
// Active controllers: a controller (\10, ACTIVE_CC) or pitch-bend (\11,
// ACTIVE_PB) curve of one of seven shapes, written as events every acStep
// ticks from the pointer on. The pointer does not move.
#include <cmath>
#include <optional>

#include "arith.h"
#include "texts.h"
#include "zan/tsmf.h"

namespace zan {
namespace {

// Not quite pi: the curves have always been computed with this constant, and
// files depend on the values it gives.
constexpr double kHalfTurn = 3.141519;
constexpr int32_t kMaxBend = 16383;

// Truncates toward zero; no value when the result is not a number (a
// division by zero on the way).
std::optional<int64_t> truncated(double v) {
  if (!std::isfinite(v) || std::fabs(v) > 9.0e18) return std::nullopt;
  return static_cast<int64_t>(v);
}

// A real division that fails on a zero divisor, as the arithmetic of the
// curves has always done.
std::optional<double> divide(double a, double b) {
  if (b == 0.0) return std::nullopt;
  return a / b;
}

// Which slot remembers the last value of a controller curve.
int32_t Ftr_info::*rememberedSlot(int cc) {
  switch (cc) {
    case 91: return &Ftr_info::reverb;
    case 93: return &Ftr_info::chorus;
    case 1:  return &Ftr_info::modulation;
    case 6:  return &Ftr_info::dataEntry;
    case 11: return &Ftr_info::expression;
    case 7:  return &Ftr_info::velocity;
    case 10: return &Ftr_info::pan;
    default: return nullptr;
  }
}

}  // namespace

void TSmf::ActiveControllerCommand() {
  scanArgs(lineText, column);
  if (argCount != 7 && argCount != 8) {
    ReportError(4, "ACTIVE_CC");
    return;
  }
  const int32_t cc = readNumber(args[0], 1).value;
  if (cc < 0 || cc > 127) {
    ReportError(4, text(Text::ActiveCcNumberBad));
    return;
  }
  Curve c;
  c.pitchBend = false;
  c.controller = cc;
  readCurveArguments(c, 1, 256);
  runCurve(c);
}

void TSmf::ActivePitchBendCommand() {
  scanArgs(lineText, column);
  if (argCount != 6 && argCount != 7) {
    ReportError(4, "Active B");
    return;
  }
  Curve c;
  c.pitchBend = true;
  readCurveArguments(c, 0, 127);
  runCurve(c);
}

// from, to, end, start, repeat, shape [, trace], from argument `first` on.
void TSmf::readCurveArguments(Curve& c, int first, int32_t maxRepeat) {
  // Copies: reading lengths and numbers may not disturb the argument texts.
  std::vector<std::string> a(args.begin() + first, args.begin() + argCount);
  c.from = clampTo(readNumber(a[0], 1).value, 0, 127);
  c.to = clampTo(readNumber(a[1], 1).value, 0, 127);
  int32_t p = 1;
  c.end = readLength(a[2], p, "ACTIVE");
  p = 1;
  c.start = readLength(a[3], p, "ACTIVE");
  c.repeat = clampTo(readNumber(a[4], 1).value, 1, maxRepeat);
  c.shape = readNumber(a[5], 1).value;
  c.trace = a.size() > 6 && readNumber(a[6], 1).value == 1;
}

void TSmf::runCurve(const Curve& c) {
  if (c.trace) AddMessage(c.pitchBend ? "--ACTIVE_PB--" : "--ACTIVE_CC = " + std::to_string(c.controller) + "--");
  if (c.shape < 0 || c.shape > 6) {
    ReportError(4, text(c.pitchBend ? Text::ActivePbModeBad : Text::ActiveCcModeBad));
    return;
  }
  const bool pb = c.pitchBend;
  const int64_t a = pb ? c.from * 128 : c.from;
  const int64_t b = pb ? c.to * 128 : c.to;
  int64_t range = b - a;
  const int32_t t0 = wrapAdd(ptr[curTrack], c.start);
  const int32_t step = std::max(acStep[curTrack], 1);
  const int64_t span = static_cast<int64_t>(c.end) - c.start;

  // Steps: integer division for controllers, real for pitch bend.
  const double steps = span == 0 ? 1.0 : pb ? static_cast<double>(span) / step : static_cast<double>(span / step);
  const int64_t n = static_cast<int64_t>(steps);
  const double half = range == 0 ? 1.0 : pb ? static_cast<double>(range / 2) : range / 2.0;
  const double repeat = c.repeat;

  double k = 0;
  int64_t base = 0;
  switch (c.shape) {
    case 0: {
      if (b < a) range = a - b;
      const auto perRamp = divide(static_cast<double>(span) / repeat, step);
      const auto slope = perRamp ? divide(static_cast<double>(range), *perRamp) : std::nullopt;
      k = slope ? (b < a ? -*slope : *slope) : 1.0;
      break;
    }
    case 1:
    case 2:
    case 3: {
      const auto f = divide(kHalfTurn, pb ? static_cast<double>(n) : steps);
      k = f ? *f * (repeat / 2.0) : 1.0;
      break;
    }
    case 4:
      range = range < 0 ? -range : range;
      base = std::min(a, b);
      break;
    case 5: {
      const auto f = divide(static_cast<double>(range), steps);
      k = f ? *f * repeat : 1.0;
      break;
    }
    default:
      break;
  }

  if (n >= 0 && spendWork(n + 1)) return;
  double x = static_cast<double>(a);  // shape 5's accumulator
  const double lo = static_cast<double>(std::min(a, b)), hi = static_cast<double>(std::max(a, b));
  const double fallback = pb ? half : std::trunc(half);
  int64_t last = 0;
  for (int64_t i = 0; i <= n; ++i) {
    const double di = static_cast<double>(i);
    std::optional<int64_t> v;
    switch (c.shape) {
      case 0:
        if (i == n) {
          v = b;
        } else if (range == 0) {
          v = a;  // from equal to to: a constant curve
        } else if (auto ramp = truncated(k * di)) {
          v = a + *ramp % range;
        }
        break;
      case 1:
        if (auto d = truncated(std::sin(k * di) * (pb ? half : static_cast<double>(range)))) v = a + *d;
        break;
      case 2:
        if (auto g = divide(pb ? half : static_cast<double>(range), static_cast<double>(n)))
          v = truncated(std::sin(k * di) * (*g * di + (pb ? half / 3.0 : range / 6.0)) + static_cast<double>(a));
        break;
      case 3:
        if (auto g = divide(half, static_cast<double>(n)))
          v = truncated(std::sin(k * di) * (((pb ? half : static_cast<double>(range)) - *g * di) +
                                            (pb ? half / 6.0 : range / 6.0)) +
                        static_cast<double>(a));
        break;
      case 4:
        v = base + static_cast<int64_t>(Random(static_cast<uint32_t>(2 * range))) - range;
        break;
      case 5:
        v = truncated(x);
        if (x > hi || x < lo) {
          k = -k;
          x += k;
        }
        x += k;
        break;
      default:  // 6
        v = i % 2 == 0 ? a : b;
        break;
    }
    int64_t value = v ? *v : static_cast<int64_t>(fallback);
    if (pb) {
      value = std::min<int64_t>(value < 0 ? -value : value, kMaxBend);
    } else {
      value = clampTo<int64_t>(value, 0, 127);
    }
    if (i == 0 || value != last) {
      const int32_t t = wrapSub(wrap(t0 + i * step), 2);
      if (pb)
        emitChannel(t, 0xE0, static_cast<uint8_t>(value & 127), static_cast<uint8_t>((value >> 7) & 127));
      else
        emitChannel(t, 0xB0, static_cast<uint8_t>(c.controller), static_cast<uint8_t>(value));
      if (c.trace) AddMessage(std::to_string(value));
    }
    last = value;
  }
  const int64_t final = n >= 0 ? last : 0;
  Ftr_info& tr = track[curTrack];
  if (pb) {
    tr.bend = static_cast<int32_t>(final / 127);
  } else if (auto slot = rememberedSlot(c.controller)) {
    tr.*slot = static_cast<int32_t>(final);
  }
}

}  // namespace zan
