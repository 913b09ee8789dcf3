// SPDX-License-Identifier: MIT
// The message catalogs built into the program from po/*.po
// (src/tools/make_catalogs.cpp writes their definition).
#pragma once

#include <cstddef>

namespace zan::catalogs {

struct Message {
  const char* original;     // the msgid, UTF-8
  const char* translation;  // the msgstr, UTF-8, never empty
};

struct Catalog {
  const char* language;     // the .po file's name without ".po": "en", "pt_BR"
  const Message* messages;  // sorted by original, byte by byte (strcmp)
  size_t count;
};

extern const Catalog kCatalogs[];
extern const size_t kCatalogCount;

}  // namespace zan::catalogs
