// SPDX-License-Identifier: MIT
// Writing a user's file without ever leaving it half written, replaced by
// something else, or stripped of its permissions (zan/output_file.h).
#include "zan/output_file.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "zan/translate.h"

namespace zan {
namespace {

// Links followed before a chain is taken for a loop, as the kernel counts.
constexpr int kMaxLinkHops = 40;

// The names of temporary files under way, for a signal handler to remove.
// A slot is Free, being Filled by the thread that claimed it, or Ready.
struct PendingName {
  std::atomic<int> state{0};
  char path[PATH_MAX];
};
enum : int { kFree = 0, kFilling = 1, kReady = 2 };
constexpr int kPendingSlots = 8;  // writes under way at once in one process
PendingName pending[kPendingSlots];

// Registers `name`; -1 when it cannot be (too long, or every slot taken):
// the file is then only removed by a failure the program sees.
int claimSlot(const std::string& name) {
  if (name.size() >= PATH_MAX) return -1;
  for (int i = 0; i < kPendingSlots; ++i) {
    int expected = kFree;
    if (!pending[i].state.compare_exchange_strong(expected, kFilling)) continue;
    std::memcpy(pending[i].path, name.c_str(), name.size() + 1);
    pending[i].state.store(kReady);
    return i;
  }
  return -1;
}

void releaseSlot(int& slot) {
  if (slot >= 0) pending[slot].state.store(kFree);
  slot = -1;
}

std::string folderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// A name beside `path` made of it and six random characters.
std::string nameBeside(const std::string& path) {
  static constexpr char kDigits[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  static std::atomic<uint64_t> counter{0};
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  uint64_t bits = (static_cast<uint64_t>(now.tv_nsec) ^ (static_cast<uint64_t>(now.tv_sec) << 30) ^
                   (static_cast<uint64_t>(getpid()) << 40)) +
                  0x9E3779B97F4A7C15u * ++counter;
  std::string name = path + ".";
  for (int i = 0; i < 6; ++i, bits /= 62) name += kDigits[bits % 62];
  return name;
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

}  // namespace

std::string FollowLinks(const std::string& path) {
  std::string p = path;
  for (int hop = 0; hop < kMaxLinkHops; ++hop) {
    struct stat st;
    if (lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return p;
    char target[PATH_MAX];
    const ssize_t n = readlink(p.c_str(), target, sizeof target);
    if (n <= 0 || static_cast<size_t>(n) >= sizeof target) return p;
    const std::string next(target, static_cast<size_t>(n));
    const size_t slash = p.rfind('/');
    p = next[0] == '/' || slash == std::string::npos ? next : p.substr(0, slash + 1) + next;
  }
  return p;  // still a link: a loop, which open() refuses
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa {}, sb {};
  if (stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0) return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
  auto canonical = [](const std::string& path) {
    const std::string followed = FollowLinks(path);
    const size_t slash = followed.rfind('/');
    const std::string name = slash == std::string::npos ? followed : followed.substr(slash + 1);
    char* folder = realpath(folderOf(followed).c_str(), nullptr);
    std::string result = folder ? std::string(folder) + "/" + name : followed;
    std::free(folder);
    return result;
  };
  return canonical(a) == canonical(b);
}

void RemovePendingTemporaryFiles() noexcept {
  for (PendingName& slot : pending)
    if (slot.state.load() == kReady) unlink(slot.path);
}

OutputFile::~OutputFile() { abandon(); }

void OutputFile::abandon() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
  if (!temp_.empty()) unlink(temp_.c_str());
  temp_.clear();
  releaseSlot(slot_);
  mode_ = Mode::Closed;
}

bool OutputFile::fail(const char* what, int err) {
  abandon();
  reason_ = std::strerror(err);
  error_ = std::string(tr(what)) + " " + path_ + ": " + reason_;
  return false;
}

bool OutputFile::open(const std::string& path) {
  abandon();
  path_ = path;
  existed_ = false;
  struct stat st;
  // A device, FIFO or socket is the user's way of saying where the bytes
  // go: they go there (a FIFO waits for its reader). So is a descriptor
  // named through /proc or /dev/fd (a shell's process substitution, or
  // /dev/stdout), even one that holds a regular file: a file put in its
  // place would not be the one the descriptor's owner reads. Asked of the
  // path as given, so that the kernel follows those links into /proc.
  const bool descriptor = path.rfind("/proc/", 0) == 0 || path.rfind("/dev/fd/", 0) == 0 ||
                          path == "/dev/stdout" || path == "/dev/stderr";
  if (stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode) && (!S_ISREG(st.st_mode) || descriptor)) {
    fd_ = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | (S_ISREG(st.st_mode) ? O_TRUNC : 0));
    if (fd_ < 0) return fail(N_("cannot write"), errno);
    mode_ = Mode::InPlace;
    return true;
  }
  target_ = FollowLinks(path);
  if (lstat(target_.c_str(), &st) == 0) {
    if (S_ISLNK(st.st_mode)) return fail(N_("cannot create"), ELOOP);
    if (S_ISDIR(st.st_mode)) return fail(N_("cannot write"), EISDIR);
    if (S_ISREG(st.st_mode)) {
      existed_ = true;
      mode_bits_ = st.st_mode & 07777;
      uid_ = st.st_uid;
      gid_ = st.st_gid;
    }
  }
  // Unnamed until complete, where the file system can; else under a name
  // of its own beside the target.
  fd_ = ::open(folderOf(target_).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
  if (fd_ >= 0) {
    mode_ = Mode::Unnamed;
    return true;
  }
  for (int attempt = 0; attempt < 100; ++attempt) {
    temp_ = nameBeside(target_);
    fd_ = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd_ >= 0) {
      slot_ = claimSlot(temp_);
      mode_ = Mode::Named;
      return true;
    }
    if (errno != EEXIST) break;
  }
  const int err = errno;
  temp_.clear();
  return fail(N_("cannot create"), err);
}

bool WriteAll(int fd, const void* data, size_t size) {
  const auto* p = static_cast<const uint8_t*>(data);
  while (size > 0) {
    const ssize_t n = ::write(fd, p, size);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) {
      errno = EIO;
      return false;
    }
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool OutputFile::write(const void* data, size_t size) {
  return WriteAll(fd_, data, size) || fail(N_("cannot write"), errno);
}

bool OutputFile::writeAt(uint64_t offset, const void* data, size_t size) {
  const auto* p = static_cast<const uint8_t*>(data);
  while (size > 0) {
    const ssize_t n = ::pwrite(fd_, p, size, static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return fail(N_("cannot write"), n < 0 ? errno : EIO);
    p += n;
    size -= static_cast<size_t>(n);
    offset += static_cast<uint64_t>(n);
  }
  return true;
}

// Gives the unnamed file its name: the target's own where there was none,
// else a temporary one that then trades places with the earlier file.
bool OutputFile::link() {
  char self[64];
  std::snprintf(self, sizeof self, "/proc/self/fd/%d", fd_);
  auto linkTo = [&](const std::string& name) {
    if (linkat(AT_FDCWD, self, AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) return true;
    // Without /proc only the privileged form is left.
    return errno == ENOENT && linkat(fd_, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0;
  };
  if (!existed_) {
    if (linkTo(target_)) return true;
    if (errno != EEXIST) return false;  // else made meanwhile: replaced below
  }
  for (int attempt = 0; attempt < 100; ++attempt) {
    temp_ = nameBeside(target_);
    if (linkTo(temp_)) {
      slot_ = claimSlot(temp_);
      return replaceWith(temp_, target_);
    }
    if (errno != EEXIST) break;
  }
  temp_.clear();
  return false;
}

bool OutputFile::commit(bool sync) {
  if (mode_ == Mode::Closed) return false;
  if (mode_ == Mode::InPlace) {
    const int fd = fd_;
    fd_ = -1;
    mode_ = Mode::Closed;
    if (close(fd) != 0) return fail(N_("cannot write"), errno);
    return true;
  }
  if (sync && fsync(fd_) != 0) return fail(N_("cannot write"), errno);
  if (existed_) {
    // The owner first: a change of owner clears the set-user-ID bits.
    if (fchown(fd_, uid_, gid_) != 0) (void)fchown(fd_, static_cast<uid_t>(-1), gid_);
    if (fchmod(fd_, mode_bits_) != 0) return fail(N_("cannot write"), errno);
  }
  if (mode_ == Mode::Unnamed) {
    if (!link()) return fail(N_("cannot write"), errno);
    temp_.clear();  // now the earlier file's name, or the target's
  } else {
    const int fd = fd_;
    fd_ = -1;
    if (close(fd) != 0 || !replaceWith(temp_, target_)) return fail(N_("cannot write"), errno);
    temp_.clear();
  }
  if (fd_ >= 0 && close(fd_) != 0) {
    fd_ = -1;
    return fail(N_("cannot write"), errno);
  }
  fd_ = -1;
  releaseSlot(slot_);
  mode_ = Mode::Closed;
  return true;
}

bool WriteWholeFile(const std::string& path, const void* data, size_t size, std::string& error) {
  OutputFile file;
  if (file.open(path) && file.write(data, size) && file.commit()) return true;
  error = file.error();
  return false;
}

}  // namespace zan
