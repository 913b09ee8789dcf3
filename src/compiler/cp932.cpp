// The one module that converts between CP932 and UTF-8, through iconv.
#include "zan/cp932.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <stdexcept>

namespace zan {
namespace {

// A conversion descriptor for one direction. iconv_t keeps shift state, so
// each call resets it; descriptors are per thread because iconv() is not
// safe to share between threads.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
    if (cd_ == reinterpret_cast<iconv_t>(-1))
      throw std::runtime_error(std::string("iconv cannot convert ") + from + " to " + to);
  }
  ~Converter() { iconv_close(cd_); }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Converts `in`; on a byte sequence that does not convert, appends
  // `replacement` and skips `skipOnError(in_left)` bytes.
  template <typename Skip>
  std::string run(std::string_view in, std::string_view replacement, Skip skipOnError) {
    std::string out;
    out.reserve(in.size() * 2 + 8);
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    char buf[1024];
    while (srcLeft > 0) {
      char* dst = buf;
      size_t dstLeft = sizeof buf;
      size_t r = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
      out.append(buf, static_cast<size_t>(dst - buf));
      if (r == static_cast<size_t>(-1)) {
        if (errno == E2BIG) continue;
        // EILSEQ or EINVAL (a sequence cut short at the end): replace and skip.
        out.append(replacement);
        size_t skip = skipOnError(std::string_view(src, srcLeft));
        src += skip;
        srcLeft -= skip;
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
      }
    }
    return out;
  }

 private:
  iconv_t cd_;
};

bool isAscii(std::string_view s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Length of the UTF-8 sequence that starts `s` if it is well formed, else 1.
size_t utf8SequenceLength(std::string_view s) {
  auto b = [&](size_t i) { return static_cast<unsigned char>(s[i]); };
  unsigned char c = b(0);
  size_t n = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
  if (n == 0 || n > s.size()) return 1;
  for (size_t i = 1; i < n; ++i)
    if ((b(i) & 0xC0) != 0x80) return 1;
  return n;
}

}  // namespace

std::string toCp932(std::string_view utf8, int* lost) {
  // ASCII is the same in both: most texts never need iconv (nor the load of
  // its conversion module, a good part of a small compile's start-up).
  if (isAscii(utf8)) {
    if (lost) *lost = 0;
    return std::string(utf8);
  }
  thread_local Converter conv("CP932", "UTF-8");
  int count = 0;
  std::string out = conv.run(utf8, "?", [&](std::string_view rest) {
    ++count;
    return utf8SequenceLength(rest);
  });
  if (lost) *lost = count;
  return out;
}

std::string toUtf8(std::string_view cp932) {
  if (isAscii(cp932)) return std::string(cp932);
  thread_local Converter conv("UTF-8", "CP932");
  // One byte at a time: a lead byte whose trail does not fit is replaced on
  // its own and the next byte is tried as the start of a character.
  return conv.run(cp932, "\xEF\xBF\xBD", [](std::string_view) { return size_t{1}; });
}

bool isValidUtf8(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    size_t n = utf8SequenceLength(text.substr(i));
    if (n == 1 && static_cast<unsigned char>(text[i]) >= 0x80) return false;
    i += n;
  }
  return true;
}

DecodedScore decodeScore(std::string file) {
  DecodedScore d;
  std::string_view bytes = file;
  constexpr std::string_view kBom = "\xEF\xBB\xBF";
  bool bom = bytes.substr(0, 3) == kBom;
  if (!bom && (isAscii(bytes) || !isValidUtf8(bytes))) {
    d.cp932 = std::move(file);
    return d;
  }
  if (bom) bytes.remove_prefix(3);
  d.wasUtf8 = true;
  // Line by line, so that the first character lost can be named by its line.
  size_t start = 0;
  int line = 1;
  while (start <= bytes.size()) {
    size_t end = bytes.find('\n', start);
    if (end == std::string_view::npos) end = bytes.size();
    int lost = 0;
    d.cp932 += toCp932(bytes.substr(start, end - start), &lost);
    if (lost > 0 && d.lost == 0) d.firstLostLine = line;
    d.lost += lost;
    if (end == bytes.size()) break;
    d.cp932 += '\n';
    start = end + 1;
    ++line;
  }
  return d;
}

std::string_view nonScoreKind(std::string_view bytes) {
  if (bytes.substr(0, 4) == "MThd") return "a MIDI file";
  if (bytes.find('\0') != std::string_view::npos) return "a binary file";
  return {};
}

}  // namespace zan
