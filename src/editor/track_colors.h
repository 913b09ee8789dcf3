// SPDX-License-Identifier: MIT
// The colour of a track wherever the editor shows tracks, so that a track
// looks the same in every view of it.
#pragma once

#include <QColor>

// Hues a golden angle apart: neighbouring track numbers differ clearly, and
// the colours stay apart across all 128 tracks.
QColor trackColor(int trackNumber);
