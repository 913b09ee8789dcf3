// SPDX-License-Identifier: MIT
// The editor's side of the one column map: a line of the editor counts in
// UTF-16 code units (QString positions), the compiler in the CP932 bytes the
// line becomes (a character CP932 has not becomes one '?').
#pragma once

#include <QString>

#include "zan/line_columns.h"

inline zan::LineColumns columnsOf(const QString& line) { return zan::LineColumns::ofUtf8(line.toStdString()); }

// Characters [from, to) of `columns`' line that CP932 bytes [from, to) come from.
inline std::pair<int, int> charactersOf(const zan::LineColumns& columns, int from, int to) {
  return {columns.convert(from, zan::LineColumns::Cp932, zan::LineColumns::Utf16),
          columns.convert(to, zan::LineColumns::Cp932, zan::LineColumns::Utf16, true)};
}
