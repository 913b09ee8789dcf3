// The editor's font: a monospace family with Japanese glyphs where one is
// installed, the system's fixed font otherwise.
#pragma once

#include <QFont>

QFont editorFont(int pixelSize);
