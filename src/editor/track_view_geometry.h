// SPDX-License-Identifier: MIT
// Where things stand on the track view's canvas: time runs left to right
// from the key column on, the ruler is at the top, and below it the tracks
// are stacked, each a header, a piano roll (high keys at the top) and one
// lane per controller it uses. Pure arithmetic, so that the mapping between
// the screen and time and pitch can be checked without a window.
#pragma once

#include <cstdint>
#include <set>
#include <vector>

#include "track_view_model.h"

// The vertical place of one track, in content pixels (0 = just below the
// ruler, before scrolling).
struct TrackBand {
  int trackIndex = 0;   // into TrackViewModel::tracks()
  int top = 0;          // the header's top
  bool folded = false;  // only the header shows
  int rollTop = 0;      // the top of the highest key's row
  int lowKey = 0, highKey = 0;  // the rows shown
  int lanesTop = 0;     // the first lane's top
  int laneCount = 0;
  int bottom = 0;       // just below the last lane

  int rollBottom() const { return rollTop + (highKey - lowKey + 1) * rowHeight; }
  int rowHeight = 6;
  // The top of `key`'s row; the key at content y (or -1 outside the roll).
  int yOfKey(int key) const { return rollTop + (highKey - key) * rowHeight; }
  int keyAtY(int y) const {
    if (folded || y < rollTop || y >= rollBottom()) return -1;
    return highKey - (y - rollTop) / rowHeight;
  }
  // The lane at content y, or -1.
  int laneAtY(int y) const;
};

struct TrackViewGeometry {
  static constexpr int kRulerHeight = 34;  // beats above, seconds below
  static constexpr int kKeysWidth = 64;    // note names and lane names
  static constexpr int kHeaderHeight = 18;
  static constexpr int kLaneHeight = 40;
  static constexpr int kKeyMargin = 2;     // rows shown above and below a track's highest and lowest note
  static constexpr int kMinRowHeight = 2, kMaxRowHeight = 24;
  static constexpr double kMinTicksPerPixel = 1.0 / 64, kMaxTicksPerPixel = 1 << 20;

  double ticksPerPixel = 2;  // the horizontal zoom
  double leftTick = 0;       // the tick at the key column's right edge
  int scrollY = 0;           // content pixels scrolled off above
  int rowHeight = 6;         // pixels a key

  double xOfTick(double tick) const { return kKeysWidth + (tick - leftTick) / ticksPerPixel; }
  double tickAtX(double x) const { return leftTick + (x - kKeysWidth) * ticksPerPixel; }
  int screenY(int contentY) const { return kRulerHeight + contentY - scrollY; }
  int contentY(int screenY) const { return screenY - kRulerHeight + scrollY; }

  // Zooms to `ticksPerPixel` (kept in range) keeping the tick at screen x
  // `anchorX` where it is.
  void zoomAround(double newTicksPerPixel, double anchorX);
};

// Lays the tracks out one under the other; tracks whose number is in
// `folded` show their header only.
std::vector<TrackBand> layoutTracks(const TrackViewModel& model, const std::set<int>& folded, int rowHeight);
// The band holding content y, or -1.
int bandAtY(const std::vector<TrackBand>& bands, int contentY);
