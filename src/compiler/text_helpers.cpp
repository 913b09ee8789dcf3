// SPDX-License-Identifier: MIT
// Where the program lives, reading a whole file within a bound, where an
// #include finds its file, and the position search the front end builds on.
#include "zan/text_helpers.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "zan/cp932.h"
#include "zan/translate.h"

namespace zan {

namespace {

// Bytes asked of one read(): a pipe hands over at most 64 KB at a time.
constexpr size_t kChunkBytes = 64u << 10;

std::string tooLarge(const std::string& name, size_t maxBytes) {
  return name + zan::tr(" holds more than ") + std::to_string(maxBytes) + zan::tr(" bytes");
}

}  // namespace

ReadStatus ReadFd(int fd, const std::string& name, size_t maxBytes, ReadAs as, std::string& contents,
                  std::string& error) {
  std::string data;
  struct stat st;
  const bool regular = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0;
  const bool oversized = regular && static_cast<uint64_t>(st.st_size) > maxBytes;
  // Read straight into a string of the file's size: growing it a chunk at a
  // time copied a long score several times over into fresh memory.
  if (regular && !oversized) data.reserve(static_cast<size_t>(st.st_size) + 1);
  for (;;) {
    // One byte past the bound tells a file of exactly maxBytes from a longer one.
    const size_t room = maxBytes + 1 - data.size();
    const size_t want = std::min(room, regular ? std::max(data.capacity() - data.size(), kChunkBytes) : kChunkBytes);
    const size_t before = data.size();
    data.resize(before + want);
    const ssize_t n = ::read(fd, data.data() + before, want);
    if (n < 0 && errno == EINTR) {
      data.resize(before);
      continue;
    }
    if (n < 0) {
      error = zan::tr("cannot read ") + name + ": " + std::strerror(errno);
      return ReadStatus::Failed;
    }
    data.resize(before + static_cast<size_t>(n));
    // The first chunk decides whether it can be a score: an endless stream
    // of NUL bytes is refused here rather than at the bound.
    const size_t head = std::min(data.size(), kChunkBytes);
    if (as == ReadAs::Score && before < head) {
      const std::string_view first(data.data(), head);
      // Until "MThd" could be seen whole, look at all of it; then at the new bytes.
      if (before < 4 ? !nonScoreKind(first).empty() : first.find('\0', before) != std::string_view::npos) {
        error = std::string(nonScoreKind(first));
        return ReadStatus::NotScore;
      }
    }
    // A regular file says its size: past the first chunk, no need to read on.
    if (data.size() > maxBytes || oversized) {
      error = tooLarge(name, maxBytes);
      return ReadStatus::TooLarge;
    }
    if (n == 0) break;
  }
  contents = std::move(data);
  return ReadStatus::Ok;
}

ReadStatus ReadFile(const std::string& path, size_t maxBytes, ReadAs as, std::string& contents, std::string& error) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    error = zan::tr("cannot open ") + path + ": " + std::strerror(errno);
    return ReadStatus::Failed;
  }
  const ReadStatus status = ReadFd(fd, path, maxBytes, as, contents, error);
  ::close(fd);
  return status;
}

std::string resolveInclude(const std::string& name, const std::string& includingFile) {
  if (name.empty() || name[0] == '/') return name;
  struct stat st;
  if (::stat(name.c_str(), &st) == 0 && !S_ISDIR(st.st_mode)) return name;
  const size_t slash = includingFile.rfind('/');
  if (slash == std::string::npos) return name;  // beside it is the current directory
  return includingFile.substr(0, slash + 1) + name;
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
