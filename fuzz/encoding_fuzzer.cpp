// SPDX-License-Identifier: MIT
// The text conversions at the edges of the compiler: a score file's encoding
// detection, CP932 to UTF-8 and back, and the refusal of files that are no
// score. Whatever the bytes, the conversions end, what they promise holds,
// and they convert as the C library's iconv does.
#include <cstddef>
#include <cstdint>
#include <string>

#include "iconv_reference.h"
#include "zan/cp932.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  // Messages go out as UTF-8: valid whatever the CP932 bytes were.
  const std::string utf8 = zan::toUtf8(bytes);
  if (!zan::isValidUtf8(utf8)) __builtin_trap();
  if (utf8 != zan::iconv_reference::referenceUtf8(bytes)) __builtin_trap();
  int lost = -1;
  const std::string back = zan::toCp932(utf8, &lost);
  if (lost < 0) __builtin_trap();
  for (const std::string* text : {&bytes, &utf8}) {
    int lostHere = -1, lostThere = -1;
    if (zan::toCp932(*text, &lostHere) != zan::iconv_reference::referenceCp932(*text, lostThere) ||
        lostHere != lostThere)
      __builtin_trap();
  }
  // Valid UTF-8 input: a character CP932 lacks becomes one '?', no more.
  if (zan::isValidUtf8(bytes)) {
    int lostHere = -1;
    const std::string cp932 = zan::toCp932(bytes, &lostHere);
    if (lostHere < 0 || cp932.size() > bytes.size() + static_cast<size_t>(lostHere)) __builtin_trap();
  }
  const zan::DecodedScore score = zan::decodeScore(bytes);
  if (score.lost < 0 || (score.lost > 0) != (score.firstLostLine > 0) || (score.lost > 0 && !score.wasUtf8))
    __builtin_trap();
  (void)zan::nonScoreKind(bytes);
  return 0;
}
