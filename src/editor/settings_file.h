// SPDX-License-Identifier: MIT
// The settings file "zanpad_reg.ini": despite its name a binary stream of,
// in this order, the font record, the background record, the mark-colour
// record and four flag bytes (Edit Mark, Tool Bar, Message View, Error
// Beep). The records are QDataStream encodings; a colour is its 32-bit
// 0xAARRGGBB value.
#pragma once

#include <QColor>
#include <QFont>
#include <QString>

struct EditorSettings {
  QFont font;                          // the editor's font
  QColor fontColour = Qt::black;       // the colour of the text
  QColor background = Qt::white;       // the editor's background
  QColor markColour = QColor(0, 255, 255);  // the edit marks' colour, aqua
  bool editMark = true;
  bool toolBar = true;
  bool messageView = false;
  bool errorBeep = true;
};

// Reads the file into `settings`. False, with `settings` untouched, when the
// file is missing, truncated, damaged or not ours.
bool readSettingsFile(const QString& path, EditorSettings& settings);

// Writes the file atomically: a failed write leaves the old file as it was
// and no partial file behind. False on failure.
bool writeSettingsFile(const QString& path, const EditorSettings& settings);
