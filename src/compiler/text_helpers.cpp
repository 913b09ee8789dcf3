// Where the program lives, reading a whole file, and the position search
// the front end builds on.
#include "zan/text_helpers.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <vector>

namespace zan {

bool ReadFile(const std::string& path, std::string& contents, std::string& error) {
  // stdio tells a failing read (a directory, say) apart from the end.
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    error = "cannot open " + path + ": " + std::strerror(errno);
    return false;
  }
  // Read straight into a string of the file's size: growing it 64 KB at a
  // time copied a long score several times over into fresh memory.
  std::string data;
  struct stat st;
  if (fstat(fileno(f), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
    data.resize(static_cast<size_t>(st.st_size));
    data.resize(std::fread(data.data(), 1, data.size(), f));
  }
  char buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) data.append(buf, n);  // a file that grew, or a pipe
  const bool failed = std::ferror(f) != 0;
  const int err = errno;
  std::fclose(f);
  if (failed) {
    error = "cannot read " + path + ": " + std::strerror(err);
    return false;
  }
  contents = std::move(data);
  return true;
}

std::string AppDir() {
  std::vector<char> buf(PATH_MAX);
  for (;;) {
    ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size());
    if (n < 0) return "./";
    if (static_cast<size_t>(n) < buf.size()) {
      std::string path(buf.data(), static_cast<size_t>(n));
      size_t slash = path.rfind('/');
      return slash == std::string::npos ? "./" : path.substr(0, slash + 1);
    }
    buf.resize(buf.size() * 2);
  }
}

int InStr(const std::string& text, const std::string& sub, int from, bool ignoreCase) {
  if (sub.empty()) return 0;
  if (from < 1) from = 1;
  if (static_cast<size_t>(from) > text.size()) return 0;
  auto lower = [](std::string s) {
    for (char& c : s)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
  };
  size_t p = ignoreCase ? lower(text).find(lower(sub), static_cast<size_t>(from - 1))
                        : text.find(sub, static_cast<size_t>(from - 1));
  return p == std::string::npos ? 0 : static_cast<int>(p) + 1;
}

}  // namespace zan
