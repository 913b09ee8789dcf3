// The end of a compile: every track's events sorted and written as one
// format-1 Standard MIDI File, plus the number encoders handlers build
// event bytes with.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "texts.h"
#include "zan/smf_format.h"
#include "zan/tsmf.h"

namespace zan {

void TSmf::addEvent(int32_t time, const uint8_t* bytes, int32_t size) {
  if (stopped) return;
  if (++eventCount > limits.events) {
    limitReached(Limit::Events);
    return;
  }
  if (!events[curTrack].Add(time, bytes, size, lineIndex) && warningSink)
    warningSink("Tivent write error! Out Of Memory");
}

int TSmf::EncodeVarLen(uint32_t value) {
  std::vector<uint8_t> out;
  smf::putVarLen(out, value);
  std::copy(out.begin(), out.end(), dataBuf);
  return static_cast<int>(out.size());
}

int TSmf::EncodeBigEndian(uint32_t value) {
  int n = 1;
  while (n < 4 && (value >> (8 * n)) != 0) ++n;
  for (int i = 0; i < n; ++i) dataBuf[i] = static_cast<uint8_t>(value >> (8 * (n - 1 - i)));
  return n;
}

std::vector<uint8_t> TSmf::BuildSmf() {
  size_t total = smf::kHeaderSize;
  for (Tivent& e : events) {
    e.Sort();
    if (!e.empty()) total += 8 + e.data().size() + 4 * e.entries().size() + 4;
  }
  std::vector<uint8_t> out;
  out.reserve(total);
  smf::putId(out, smf::kHeaderId);
  smf::putBigEndian(out, smf::kHeaderLength, 4);
  smf::putBigEndian(out, smf::kFormat, 2);
  smf::putBigEndian(out, 0, 2);  // track count, patched below
  smf::putBigEndian(out, static_cast<uint32_t>(timebase) & 0xFFFF, 2);

  uint32_t trackCount = 0;
  for (const Tivent& list : events) {
    if (list.empty()) continue;
    ++trackCount;
    size_t chunk = out.size();
    smf::putId(out, smf::kTrackId);
    smf::putBigEndian(out, 0, 4);  // chunk length, patched below
    int32_t previous = 0;
    for (const Tivent::Entry& e : list.entries()) {
      // Events placed before tick 0 are written at tick 0.
      int32_t time = std::max(e.time, 0);
      smf::putVarLen(out, static_cast<uint32_t>(time) - static_cast<uint32_t>(previous));
      const uint8_t* b = list.bytes(e);
      out.insert(out.end(), b, b + e.size);
      previous = time;
    }
    for (uint8_t b : smf::kEndOfTrack) out.push_back(b);
    uint32_t length = static_cast<uint32_t>(out.size() - chunk - 8);
    for (int i = 0; i < 4; ++i) out[chunk + 4 + static_cast<size_t>(i)] = static_cast<uint8_t>(length >> (24 - 8 * i));
  }
  out[10] = static_cast<uint8_t>(trackCount >> 8);
  out[11] = static_cast<uint8_t>(trackCount);
  return out;
}

namespace {

// Writes `bytes` to `path` through a temporary file in the same directory and
// a rename, so that a failed write never leaves a partial file behind and an
// earlier file at `path` stays intact.
void saveAtomically(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::string tmp = path + ".XXXXXX";
  int fd = mkstemp(tmp.data());
  if (fd < 0) throw WriteError("cannot create " + path + ": " + std::strerror(errno));
  auto fail = [&](const char* what) {
    int err = errno;
    close(fd);
    unlink(tmp.c_str());
    throw WriteError(std::string("cannot ") + what + " " + path + ": " + std::strerror(err));
  };
  mode_t mask = umask(0);
  umask(mask);
  if (fchmod(fd, 0666 & ~mask) != 0) fail("set the permissions of");
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      fail("write");
    }
    done += static_cast<size_t>(n);
  }
  if (close(fd) != 0) {
    int err = errno;
    unlink(tmp.c_str());
    throw WriteError("cannot write " + path + ": " + std::strerror(err));
  }
  if (rename(tmp.c_str(), path.c_str()) != 0) {
    int err = errno;
    unlink(tmp.c_str());
    throw WriteError("cannot write " + path + ": " + std::strerror(err));
  }
}

}  // namespace

void TSmf::WriteSmf(const std::string& outputPath) {
  saveAtomically(outputPath, BuildSmf());
  AddMessage("ok");
}

}  // namespace zan
