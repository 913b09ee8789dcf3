// The end of a compile: every track's events sorted and written as one
// format-1 Standard MIDI File, plus the number encoders handlers build
// event bytes with.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <functional>

#include "texts.h"
#include "zan/smf_format.h"
#include "zan/tsmf.h"

namespace zan {

void TSmf::addEvent(int32_t time, const uint8_t* bytes, int32_t size) {
  if (stopped) return;
  int32_t line = lineIndex;
  // One compare serves both the event budget and the recording of sources
  // (its bound is 0 while they are recorded), so that a compile that records
  // nothing pays nothing for it.
  if (++eventCount > eventSlowPathAbove) {
    if (eventCount > limits.events) {
      limitReached(Limit::Events);
      return;
    }
    line = recordSource(bytes, size);
  }
  if (!events[curTrack].Add(time, bytes, size, line) && warningSink)
    warningSink("Tivent write error! Out Of Memory");
}

int32_t TSmf::chunkOfTrack(int32_t number) const {
  if (number < 0 || number >= kTrackCount || events[number].empty()) return -1;
  int32_t chunk = 0;
  for (int32_t t = 0; t < number; ++t) chunk += events[t].empty() ? 0 : 1;
  return chunk;
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

void TSmf::emitSmf(const std::function<void(const std::vector<uint8_t>&)>& put) {
  uint32_t trackCount = 0;
  for (Tivent& e : events) {
    e.Sort();
    if (!e.empty()) ++trackCount;
  }
  std::vector<uint8_t>& out = chunkBuffer;  // kept from compile to compile
  out.clear();
  smf::putId(out, smf::kHeaderId);
  smf::putBigEndian(out, smf::kHeaderLength, 4);
  smf::putBigEndian(out, smf::kFormat, 2);
  smf::putBigEndian(out, trackCount, 2);
  smf::putBigEndian(out, static_cast<uint32_t>(timebase) & 0xFFFF, 2);
  put(out);

  // One chunk at a time: its length is patched in once its events are in.
  // The chunk is written through a pointer into room for its largest form
  // (a delta takes at most 5 bytes, a channel message 3), then cut to size.
  for (const Tivent& list : events) {
    if (list.empty()) continue;
    out.resize(8 + list.data().size() + 8 * static_cast<size_t>(list.Count()) + sizeof smf::kEndOfTrack);
    uint8_t* p = out.data();
    std::memcpy(p, smf::kTrackId, 4);
    p += 8;
    int32_t previous = 0;
    for (const Tivent::Entry& e : list.entries()) {
      // Events placed before tick 0 are written at tick 0.
      const int32_t time = std::max(e.time, 0);
      p = smf::writeVarLen(p, static_cast<uint32_t>(time) - static_cast<uint32_t>(previous));
      if (e.payload[0] != Tivent::kLong) {
        // A channel message: its payload word is copied whole (the room has
        // 8 bytes an event), the pointer moves by its size.
        std::memcpy(p, e.payload, sizeof e.payload);
        p += Tivent::channelMessageSize(e.payload[0]);
      } else {
        const int32_t size = list.size(e);
        std::memcpy(p, list.bytes(e), static_cast<size_t>(size));
        p += size;
      }
      previous = time;
    }
    std::memcpy(p, smf::kEndOfTrack, sizeof smf::kEndOfTrack);
    p += sizeof smf::kEndOfTrack;
    out.resize(static_cast<size_t>(p - out.data()));
    const uint32_t length = static_cast<uint32_t>(out.size() - 8);
    for (size_t i = 0; i < 4; ++i) out[4 + i] = static_cast<uint8_t>(length >> (24 - 8 * i));
    put(out);
  }
}

std::vector<uint8_t> TSmf::BuildSmf() {
  // Room for the largest file the events can make (a delta takes at most 5
  // bytes, a channel message 3), so that the file is never copied as it grows.
  size_t room = smf::kHeaderSize;
  for (const Tivent& e : events)
    if (!e.empty()) room += 12 + e.data().size() + 8 * static_cast<size_t>(e.Count());
  std::vector<uint8_t> file;
  file.reserve(room);
  emitSmf([&](const std::vector<uint8_t>& piece) { file.insert(file.end(), piece.begin(), piece.end()); });
  return file;
}

namespace {

// A new file beside `path`, named after it and six random characters, that
// no one else has: created with 0666 so that the umask alone decides its
// permissions.
int createBeside(const std::string& path, std::string& name) {
  static constexpr char kDigits[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  static std::atomic<uint64_t> counter{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    uint64_t bits = (static_cast<uint64_t>(now.tv_nsec) ^ (static_cast<uint64_t>(now.tv_sec) << 30) ^
                     (static_cast<uint64_t>(getpid()) << 40)) +
                    0x9E3779B97F4A7C15u * ++counter;
    name = path + ".";
    for (int i = 0; i < 6; ++i, bits /= 62) name += kDigits[bits % 62];
    const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return -1;
}

// Puts the complete file `tmp` in the place of `path`. An earlier file
// trades names with the new one in one step, so that `path` always names a
// whole file, and is then removed. Renaming straight over it made ext4 write
// the new file out at once (its guard against empty files after a power
// cut), which took longer than the whole compile of a long score.
bool replaceWith(const std::string& tmp, const std::string& path) {
  struct stat st;
  if (lstat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode)) {  // a folder is left to the rename to refuse
    if (renameat2(AT_FDCWD, tmp.c_str(), AT_FDCWD, path.c_str(), RENAME_EXCHANGE) == 0) {
      unlink(tmp.c_str());  // now the earlier file
      return true;
    }
    // Gone meanwhile, or a file system that cannot trade names: the rename
    // below does it. Any other failure is the write's.
    if (errno != ENOENT && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) return false;
  }
  return rename(tmp.c_str(), path.c_str()) == 0;
}

// Writes what `produce` hands to its sink into `path`, through a temporary
// file in the same directory, so that a failed write never leaves a partial
// file behind and an earlier file at `path` stays intact.
void saveAtomically(const std::string& path,
                    const std::function<void(const std::function<void(const std::vector<uint8_t>&)>&)>& produce) {
  std::string tmp;
  const int fd = createBeside(path, tmp);
  if (fd < 0) throw WriteError("cannot create " + path + ": " + std::strerror(errno));
  bool open = true;
  auto fail = [&](const char* what, int err) {
    if (open) close(fd);
    unlink(tmp.c_str());
    throw WriteError(std::string("cannot ") + what + " " + path + ": " + std::strerror(err));
  };
  try {
    produce([&](const std::vector<uint8_t>& bytes) {
      size_t done = 0;
      while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
          if (errno == EINTR) continue;
          fail("write", errno);
        }
        done += static_cast<size_t>(n);
      }
    });
  } catch (const WriteError&) {
    throw;
  } catch (const std::exception&) {
    fail("write", ENOMEM);
  }
  open = false;
  if (close(fd) != 0) fail("write", errno);
  if (!replaceWith(tmp, path)) fail("write", errno);
}

}  // namespace

void TSmf::WriteSmf(const std::string& outputPath) {
  saveAtomically(outputPath, [this](const auto& put) { emitSmf(put); });
  AddMessage("ok");
}

}  // namespace zan
