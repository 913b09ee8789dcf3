// SPDX-License-Identifier: MIT
#include "track_colors.h"

#include <cmath>

QColor trackColor(int trackNumber) {
  const double hue = std::fmod(215.0 + trackNumber * 137.508, 360.0);
  return QColor::fromHsv(static_cast<int>(hue), 165, 205);
}
