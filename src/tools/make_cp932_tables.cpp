// SPDX-License-Identifier: MIT
// Writes the CP932 tables of the compiler (zan/cp932.h) as C++ source, from
// the C library's own CP932 converter: the program then converts exactly as
// that converter does, without loading it (or, in a static program, a second
// C library with it) at run time.
//
//   make_cp932_tables OUT.cpp
#include <iconv.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

// Converts `in` whole; false when iconv stops short of its end.
bool convert(iconv_t cd, const std::string& in, std::string& out) {
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  char* src = const_cast<char*>(in.data());
  size_t srcLeft = in.size();
  char buf[16];
  char* dst = buf;
  size_t dstLeft = sizeof buf;
  if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) == static_cast<size_t>(-1) || srcLeft != 0) return false;
  out.assign(buf, static_cast<size_t>(dst - buf));
  return true;
}

std::string utf8(uint32_t cp) {
  std::string s;
  if (cp < 0x80) {
    s += static_cast<char>(cp);
  } else if (cp < 0x800) {
    s += static_cast<char>(0xC0 | cp >> 6);
    s += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    s += static_cast<char>(0xE0 | cp >> 12);
    s += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
    s += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    s += static_cast<char>(0xF0 | cp >> 18);
    s += static_cast<char>(0x80 | (cp >> 12 & 0x3F));
    s += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
    s += static_cast<char>(0x80 | (cp & 0x3F));
  }
  return s;
}

// The code point of a UTF-8 string holding exactly one.
bool decodeOne(const std::string& s, uint32_t& cp) {
  const auto b = [&](size_t i) { return static_cast<uint8_t>(s[i]); };
  if (s.size() == 1 && b(0) < 0x80) cp = b(0);
  else if (s.size() == 2) cp = (b(0) & 0x1Fu) << 6 | (b(1) & 0x3Fu);
  else if (s.size() == 3) cp = (b(0) & 0x0Fu) << 12 | (b(1) & 0x3Fu) << 6 | (b(2) & 0x3Fu);
  else return false;
  return true;
}

void table(std::FILE* f, const char* decl, const std::vector<uint16_t>& v) {
  std::fprintf(f, "%s[%zu] = {", decl, v.size());
  for (size_t i = 0; i < v.size(); ++i) std::fprintf(f, "%s0x%X,", i % 16 ? "" : "\n", v[i]);
  std::fprintf(f, "\n};\n");
}

// One direction of iconv, closed when done with.
struct Converter {
  iconv_t cd;
  Converter(const char* to, const char* from) : cd(iconv_open(to, from)) {}
  ~Converter() {
    if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return std::fprintf(stderr, "usage: make_cp932_tables OUT.cpp\n"), 2;
  const Converter toUnicodeConverter("UTF-8", "CP932"), fromUnicodeConverter("CP932", "UTF-8");
  iconv_t toUnicode = toUnicodeConverter.cd;
  iconv_t fromUnicode = fromUnicodeConverter.cd;
  if (toUnicode == reinterpret_cast<iconv_t>(-1) || fromUnicode == reinterpret_cast<iconv_t>(-1))
    return std::fprintf(stderr, "make_cp932_tables: the C library cannot convert CP932\n"), 1;

  // CP932 to Unicode. A byte that converts alone is a character; one that
  // needs more (EINVAL) leads a pair, whose 256 trails are tried in turn.
  // 0xFFFF marks what does not convert (it is no CP932 character).
  std::vector<uint16_t> single(256, 0xFFFF), leadIndex(256, 0), pairs;
  for (int b = 0; b < 256; ++b) {
    std::string out;
    uint32_t cp;
    if (convert(toUnicode, std::string(1, static_cast<char>(b)), out)) {
      if (!decodeOne(out, cp)) return std::fprintf(stderr, "make_cp932_tables: byte %02X\n", b), 1;
      single[static_cast<size_t>(b)] = static_cast<uint16_t>(cp);
      continue;
    }
    if (errno != EINVAL) continue;
    leadIndex[static_cast<size_t>(b)] = static_cast<uint16_t>(pairs.size() / 256 + 1);
    for (int t = 0; t < 256; ++t) {
      const std::string pair{static_cast<char>(b), static_cast<char>(t)};
      pairs.push_back(convert(toUnicode, pair, out) && decodeOne(out, cp) && cp != 0xFFFF ? static_cast<uint16_t>(cp)
                                                                                            : 0xFFFF);
    }
  }

  // Unicode to CP932, in pages of 256 code points; page 0 of the list is
  // all unmapped and stands for every page with nothing. An entry is the
  // CP932 bytes (one below 0x100, else lead and trail); 0 is unmapped but
  // for U+0000 itself.
  std::vector<uint16_t> pageIndex(256, 0), pages(256, 0);
  for (uint32_t page = 0; page < 256; ++page) {
    std::vector<uint16_t> entries(256, 0);
    bool any = false;
    for (uint32_t low = 0; low < 256; ++low) {
      const uint32_t cp = page << 8 | low;
      if (cp >= 0xD800 && cp < 0xE000) continue;
      std::string out;
      if (!convert(fromUnicode, utf8(cp), out)) continue;
      if (out.empty() || out.size() > 2)
        return std::fprintf(stderr, "make_cp932_tables: U+%X converts to %zu bytes\n", cp, out.size()), 1;
      entries[low] = out.size() == 1 ? static_cast<uint8_t>(out[0])
                                     : static_cast<uint16_t>(static_cast<uint8_t>(out[0]) << 8 | static_cast<uint8_t>(out[1]));
      any = any || entries[low] != 0;
    }
    if (!any) continue;
    pageIndex[page] = static_cast<uint16_t>(pages.size() / 256);
    pages.insert(pages.end(), entries.begin(), entries.end());
  }
  // Nothing beyond the first plane has a CP932 form, but the converter drops
  // the tag characters (U+E0000..U+E007F) without a trace; the program
  // relies on both, so they are checked here.
  for (uint32_t cp = 0x10000; cp < 0x110000; ++cp) {
    std::string out;
    const bool converts = convert(fromUnicode, utf8(cp), out);
    const bool tag = cp >= 0xE0000 && cp <= 0xE007F;
    if (converts != tag || !out.empty())
      return std::fprintf(stderr, "make_cp932_tables: U+%X converts unlike the rest of its plane\n", cp), 1;
  }

  // ASCII converts to itself both ways: texts that are ASCII skip the tables.
  for (uint32_t c = 0; c < 0x80; ++c)
    if (single[c] != c || pages[pageIndex[0] * 256 + c] != c)
      return std::fprintf(stderr, "make_cp932_tables: ASCII %02X does not convert to itself\n", c), 1;

  std::FILE* f = std::fopen(argv[1], "w");
  if (!f) return std::perror(argv[1]), 1;
  std::fprintf(f, "// Generated by make_cp932_tables from the C library's CP932 converter.\n");
  std::fprintf(f, "#include <cstdint>\n\nnamespace zan::cp932_tables {\n\n");
  table(f, "extern const uint16_t kSingle", single);
  table(f, "extern const uint16_t kLeadIndex", leadIndex);
  table(f, "extern const uint16_t kPairs", pairs);
  table(f, "extern const uint16_t kPageIndex", pageIndex);
  table(f, "extern const uint16_t kPages", pages);
  std::fprintf(f, "\n}  // namespace zan::cp932_tables\n");
  if (std::fclose(f) != 0) return std::perror(argv[1]), 1;
  return 0;
}
