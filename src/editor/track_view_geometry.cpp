// SPDX-License-Identifier: MIT
#include "track_view_geometry.h"

#include <algorithm>

int TrackBand::laneAtY(int y) const {
  if (folded || y < lanesTop || y >= bottom) return -1;
  return (y - lanesTop) / TrackViewGeometry::kLaneHeight;
}

void TrackViewGeometry::zoomAround(double newTicksPerPixel, double anchorX) {
  const double anchorTick = tickAtX(anchorX);
  ticksPerPixel = std::clamp(newTicksPerPixel, kMinTicksPerPixel, kMaxTicksPerPixel);
  leftTick = std::max(0.0, anchorTick - (anchorX - kKeysWidth) * ticksPerPixel);
}

std::vector<TrackBand> layoutTracks(const TrackViewModel& model, const std::set<int>& folded, int rowHeight) {
  std::vector<TrackBand> bands;
  int y = 0;
  for (size_t i = 0; i < model.tracks().size(); ++i) {
    const RollTrack& t = model.tracks()[i];
    TrackBand b;
    b.trackIndex = static_cast<int>(i);
    b.top = y;
    b.rowHeight = rowHeight;
    b.folded = folded.count(t.number) > 0;
    b.lowKey = std::max(0, t.lowKey - TrackViewGeometry::kKeyMargin);
    b.highKey = std::min(127, t.highKey + TrackViewGeometry::kKeyMargin);
    b.rollTop = y + TrackViewGeometry::kHeaderHeight;
    if (b.folded) {
      b.lanesTop = b.bottom = b.rollTop;
    } else {
      // A track without notes gets no roll, only its lanes.
      b.lanesTop = t.notes.empty() ? b.rollTop : b.rollBottom();
      if (t.notes.empty()) b.highKey = b.lowKey - 1;
      b.laneCount = static_cast<int>(t.lanes.size());
      b.bottom = b.lanesTop + b.laneCount * TrackViewGeometry::kLaneHeight;
    }
    y = b.bottom;
    bands.push_back(b);
  }
  return bands;
}

int bandAtY(const std::vector<TrackBand>& bands, int contentY) {
  auto it = std::upper_bound(bands.begin(), bands.end(), contentY, [](int y, const TrackBand& b) { return y < b.top; });
  if (it == bands.begin()) return -1;
  --it;
  return contentY < it->bottom ? static_cast<int>(it - bands.begin()) : -1;
}
