// SPDX-License-Identifier: MIT
// inotify behind FolderWatch: events on a folder's entries, filtered by the
// names of the watched files in it.
#include "folder_watch.h"

#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>

namespace zan::cli {

namespace {

// A file's folder and its name in it ("." for a bare name).
std::pair<std::string, std::string> split(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return {".", path};
  return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
}

// What a save can do to a file's entry: written and closed, written (by a
// program that keeps it open), moved in or out, made or removed.
constexpr uint32_t kEvents = IN_CLOSE_WRITE | IN_MODIFY | IN_MOVED_TO | IN_MOVED_FROM | IN_CREATE | IN_DELETE;

}  // namespace

FolderWatch::FolderWatch() : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {}

FolderWatch::~FolderWatch() {
  if (fd_ >= 0) ::close(fd_);
}

bool FolderWatch::add(const std::string& path) {
  if (fd_ < 0) return false;
  if (std::find(files_.begin(), files_.end(), path) != files_.end()) return true;
  const std::string folder = split(path).first;
  if (!watchOf_.count(folder)) {
    const int wd = ::inotify_add_watch(fd_, folder.c_str(), kEvents);
    if (wd < 0) return false;
    watchOf_[folder] = wd;
    folders_[wd] = folder;
  }
  files_.push_back(path);
  return true;
}

std::vector<std::string> FolderWatch::wait(std::chrono::milliseconds timeout) {
  using Clock = std::chrono::steady_clock;
  if (fd_ < 0) return {};
  if (!changed_.empty()) {
    // Settling: wait no longer than the quiet time left.
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(lastEvent_ + kSettle - Clock::now());
    timeout = std::clamp(left, std::chrono::milliseconds(0), timeout);
  }
  pollfd p{fd_, POLLIN, 0};
  const int ready = ::poll(&p, 1, static_cast<int>(timeout.count()));
  if (ready > 0) {
    // Big enough for many events at once; each is its header and a name.
    alignas(inotify_event) char buffer[16 * (sizeof(inotify_event) + NAME_MAX + 1)];
    for (;;) {
      const ssize_t n = ::read(fd_, buffer, sizeof buffer);
      if (n <= 0) break;  // EAGAIN: all read
      for (ssize_t at = 0; at < n;) {
        const auto* e = reinterpret_cast<const inotify_event*>(buffer + at);
        at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
        const auto folder = folders_.find(e->wd);
        if (folder == folders_.end() || e->len == 0) continue;
        const std::string name = e->name;
        for (const std::string& file : files_) {
          const auto [dir, base] = split(file);
          if (dir == folder->second && base == name) {
            changed_.insert(file);
            lastEvent_ = Clock::now();
          }
        }
      }
    }
  }
  if (changed_.empty() || Clock::now() - lastEvent_ < kSettle) return {};
  std::vector<std::string> out;
  for (const std::string& file : files_)
    if (changed_.count(file)) out.push_back(file);
  changed_.clear();
  return out;
}

}  // namespace zan::cli
