// SPDX-License-Identifier: MIT
// Metre: how the editor counts bars and beats (the status bar's "bar 12
// beat 3", the track view's ruler and bar lines). The compiler has no
// metre: a score names its own in a comment of its own, {metre 3/4}, which
// travels with the file, reads the same in any editor and changes nothing
// in the compiled music. Without one, 4/4.
#pragma once

#include <QString>

#include <cstdint>

struct Metre {
  int beats = 4;  // beats to a bar
  int unit = 4;   // the beat's note value: 4 = a quarter note, 8 = an eighth

  // Ticks of a beat and of a bar at `timebase` ticks to a quarter note.
  double beatTicks(int timebase) const { return 4.0 * timebase / unit; }
  double barTicks(int timebase) const { return beats * beatTicks(timebase); }

  struct Position {
    int64_t bar;  // from 1
    int beat;     // from 1
  };
  // Where `tick` (from 0) stands; a tick before 0 is bar 1, beat 1.
  Position positionOf(int64_t tick, int timebase) const;

  QString text() const { return QStringLiteral("%1/%2").arg(beats).arg(unit); }
  bool operator==(const Metre&) const = default;
};

// The metre `text` gives ("3/4", "6/8"): beats 1..64 to a bar, a beat of a
// whole note down to a 64th (a power of two). False when it is none.
bool parseMetre(const QString& text, Metre& metre);

// Where a score names its metre: the first comment that is nothing but
// "metre" (or "meter") and a metre, {metre 3/4}. `from` < 0 when none.
struct MetreComment {
  Metre metre;
  int from = -1;    // its characters [from, from + length) in the text
  int length = 0;
};
MetreComment findMetreComment(const QString& text);

class QPlainTextEdit;
class QWidget;

// Asks for the score's metre and writes it as its {metre N/D} comment: the
// one the score has is changed in place, else one goes on a line of its
// own at the top. One undo step. False when the user cancels.
bool askMetre(QWidget* parent, QPlainTextEdit* editor);
// Writes `metre` so, without asking.
void writeMetre(QPlainTextEdit* editor, Metre metre);
