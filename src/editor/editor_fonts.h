// SPDX-License-Identifier: MIT
// The look the text panes share: a monospace font with Japanese glyphs
// where one is installed (the system's fixed font otherwise), and a
// selection that stays visible when the pane loses the focus.
#pragma once

#include <QFont>

class QPlainTextEdit;
class QWidget;

QFont editorFont(int pixelSize);

// Gives every line of `pane` room for every glyph of its font. A line box
// is only the font's ascent plus descent, and many fonts draw beyond that:
// at 12 pixels IPA Gothic puts the underscore on the last row of the box,
// where it reads as a line over the next line's text. Each line grows by the
// pixels the font's glyph bounds reach beyond the box, and the text moves
// down by those above it. Call before the pane is filled: it gives the pane
// a new, empty document.
void giveGlyphsRoom(QPlainTextEdit* pane);

// The selection keeps its colours when the focus moves to another window
// (find, the message list), so the user still sees what was found.
void keepSelectionVisible(QWidget* pane);
