// CP932 conversion from tables, checked against the C library's iconv that
// the tables were made from: every character both ways, and byte strings
// with broken sequences, converted the way the compiler always converted
// them through iconv (a sequence that fails becomes one replacement and
// conversion goes on after it).
#include <gtest/gtest.h>
#include <iconv.h>

#include <cerrno>
#include <map>
#include <random>
#include <string>

#include "zan/cp932.h"

namespace zan {
namespace {

size_t sequenceLength(std::string_view s) {
  auto b = [&](size_t i) { return static_cast<unsigned char>(s[i]); };
  const unsigned char c = b(0);
  const size_t n = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
  if (n == 0 || n > s.size()) return 1;
  for (size_t i = 1; i < n; ++i)
    if ((b(i) & 0xC0) != 0x80) return 1;
  return n;
}

// The conversion as iconv does it, replacing what fails and skipping
// `skip(rest)` bytes.
template <typename Skip>
std::string viaIconv(const char* to, const char* from, std::string_view in, std::string_view replacement, Skip skip,
                     int* failures = nullptr) {
  struct Descriptor {
    iconv_t cd = reinterpret_cast<iconv_t>(-1);
    ~Descriptor() {
      if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
    }
  };
  static std::map<std::string, Descriptor> open;
  iconv_t& cd = open[std::string(to) + from].cd;
  if (cd == reinterpret_cast<iconv_t>(-1)) cd = iconv_open(to, from);
  std::string out;
  char* src = const_cast<char*>(in.data());
  size_t left = in.size();
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  while (left > 0) {
    char buf[256];
    char* dst = buf;
    size_t room = sizeof buf;
    const size_t r = iconv(cd, &src, &left, &dst, &room);
    out.append(buf, static_cast<size_t>(dst - buf));
    if (r != static_cast<size_t>(-1) || errno == E2BIG) continue;
    out.append(replacement);
    if (failures) ++*failures;
    const size_t n = skip(std::string_view(src, left));
    src += n;
    left -= n;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  return out;
}

std::string referenceUtf8(std::string_view cp932) {
  return viaIconv("UTF-8", "CP932", cp932, "\xEF\xBF\xBD", [](std::string_view) { return size_t{1}; });
}

std::string referenceCp932(std::string_view utf8, int& lost) {
  lost = 0;
  return viaIconv("CP932", "UTF-8", utf8, "?", sequenceLength, &lost);
}

std::string utf8Of(uint32_t cp) {
  std::string s;
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
