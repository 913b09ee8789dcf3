// The look the text panes share: a monospace font with Japanese glyphs
// where one is installed (the system's fixed font otherwise), and a
// selection that stays visible when the pane loses the focus.
#pragma once

#include <QFont>

class QWidget;

QFont editorFont(int pixelSize);

// The selection keeps its colours when the focus moves to another window
// (find, the message list), so the user still sees what was found.
void keepSelectionVisible(QWidget* pane);
