// SPDX-License-Identifier: MIT
// Where the editor keeps its files: the compile result "zan.mid" and the
// settings file "zanpad_reg.ini" live in the program's directory, or in the
// per-user data directory when the program is installed (its desktop entry is
// in ../share/applications) or its directory is not writable.
// ZANPAD_DATA_DIR overrides both (tests, portable use).
#pragma once

#include <QString>

QString dataDir();       // ends with '/'
// The per-user data directory (ZANPAD_DATA_DIR when set), whatever dataDir()
// chose; ends with '/'.
QString userDataDir();
QString midPath();       // dataDir() + "zan.mid"
QString settingsPath();  // dataDir() + "zanpad_reg.ini"
