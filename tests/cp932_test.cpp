// SPDX-License-Identifier: MIT
// CP932 conversion from tables, checked against the C library's iconv that
// the tables were made from: every character both ways, and byte strings
// with broken sequences, converted the way the compiler always converted
// them through iconv (a sequence that fails becomes one replacement and
// conversion goes on after it).
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "iconv_reference.h"
#include "zan/cp932.h"

namespace zan {
namespace {

using iconv_reference::referenceCp932;
using iconv_reference::referenceUtf8;

std::string utf8Of(uint32_t cp) {
  if (cp < 0x80) return std::string(1, static_cast<char>(cp));
  if (cp < 0x800) return {static_cast<char>(0xC0 | cp >> 6), static_cast<char>(0x80 | (cp & 0x3F))};
  if (cp < 0x10000)
    return {static_cast<char>(0xE0 | cp >> 12), static_cast<char>(0x80 | (cp >> 6 & 0x3F)),
            static_cast<char>(0x80 | (cp & 0x3F))};
  return {static_cast<char>(0xF0 | cp >> 18), static_cast<char>(0x80 | (cp >> 12 & 0x3F)),
          static_cast<char>(0x80 | (cp >> 6 & 0x3F)), static_cast<char>(0x80 | (cp & 0x3F))};
}

void expectSameCp932(const std::string& utf8) {
  int lost = -1, expectedLost = -1;
  const std::string expected = referenceCp932(utf8, expectedLost);
  ASSERT_EQ(toCp932(utf8, &lost), expected) << testing::PrintToString(utf8);
  ASSERT_EQ(lost, expectedLost) << testing::PrintToString(utf8);
}

TEST(Cp932Test, EveryCharacterConvertsAsIconvConvertsIt) {
  // Every byte and every pair of bytes, with an "a" after so that a lead
  // byte cut short and one with a bad trail are both seen.
  for (int a = 0; a < 256; ++a) {
    for (int b = 0; b < 256; ++b) {
      const std::string s{static_cast<char>(a), static_cast<char>(b), 'a'};
      ASSERT_EQ(toUtf8(s), referenceUtf8(s)) << a << " " << b;
    }
    const std::string alone(1, static_cast<char>(a));
    ASSERT_EQ(toUtf8(alone), referenceUtf8(alone)) << a;
  }
  // Every code point, surrogates and the tag characters included, and the
  // forms iconv refuses: overlong, beyond U+10FFFF, cut short.
  for (uint32_t cp = 0; cp < 0x110000; ++cp) expectSameCp932("x" + utf8Of(cp) + "y");
  for (const char* s : {"\xC0\x80", "\xC1\xBF", "\xE0\x80\x80", "\xE0\x9F\xBF", "\xF0\x80\x80\x80", "\xF4\x90\x80\x80",
                        "\xF7\xBF\xBF\xBF", "\xF8\x88\x80\x80\x80", "\xE3\x81", "\xE3\x81x", "\x80", "\xFF", "\xE3"})
    expectSameCp932(std::string("a") + s);
}

TEST(Cp932Test, RandomTextsConvertAsIconvConvertsThem) {
  std::mt19937 rng(932);
  // Bytes drawn mostly from the ranges of multibyte characters.
  const auto byte = [&] {
    const uint32_t r = rng();
    return static_cast<char>(r % 4 == 0 ? r >> 8 : (r % 4 == 1 ? 0x80 : 0x40) + (r >> 8) % 0x80);
  };
  for (int i = 0; i < 20000; ++i) {
    std::string s(1 + rng() % 12, ' ');
    for (char& c : s) c = byte();
    ASSERT_EQ(toUtf8(s), referenceUtf8(s)) << testing::PrintToString(s);
    expectSameCp932(s);
    expectSameCp932(toUtf8(s));
  }
}

}  // namespace
}  // namespace zan
