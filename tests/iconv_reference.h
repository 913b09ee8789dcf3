// SPDX-License-Identifier: MIT
// CP932 conversion as the C library's iconv does it, the way the compiler
// converted before it had tables: a sequence that fails becomes one
// replacement and conversion goes on after it. The oracle the tables are
// checked against (tests/cp932_test.cpp, fuzz/encoding_fuzzer.cpp).
#pragma once

#include <iconv.h>

#include <cerrno>
#include <map>
#include <string>
#include <string_view>

namespace zan::iconv_reference {

inline size_t sequenceLength(std::string_view s) {
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

inline std::string referenceUtf8(std::string_view cp932) {
  return viaIconv("UTF-8", "CP932", cp932, "\xEF\xBF\xBD", [](std::string_view) { return size_t{1}; });
}

inline std::string referenceCp932(std::string_view utf8, int& lost) {
  lost = 0;
  return viaIconv("CP932", "UTF-8", utf8, "?", sequenceLength, &lost);
}

}  // namespace zan::iconv_reference
