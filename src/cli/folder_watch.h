// SPDX-License-Identifier: MIT
// Files watched through inotify for zan --watch: one watch per folder, so
// that an editor that saves by writing another file and renaming it over
// the old one (or by moving the old one away first) is seen as well as one
// that writes in place.
#pragma once

#include <chrono>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace zan::cli {

class FolderWatch {
 public:
  FolderWatch();
  ~FolderWatch();
  FolderWatch(const FolderWatch&) = delete;
  FolderWatch& operator=(const FolderWatch&) = delete;

  bool ok() const { return fd_ >= 0; }
  // Watches `path` (its folder, from now on); false when the folder cannot
  // be watched.
  bool add(const std::string& path);
  // Waits up to `timeout` for changes and returns the watched files that
  // changed, in the order added, once no event has come for the settling
  // time: a save is often several events (a truncation and a write, a
  // removal and a rename) and makes one reload. Empty when nothing changed
  // or the changes have not settled yet; an interrupting signal returns
  // at once.
  std::vector<std::string> wait(std::chrono::milliseconds timeout);

  // Quiet after the last event before the changes count as one save.
  static constexpr std::chrono::milliseconds kSettle{60};

 private:
  int fd_ = -1;
  std::map<int, std::string> folders_;             // watch descriptor -> folder
  std::map<std::string, int> watchOf_;             // folder -> watch descriptor
  std::vector<std::string> files_;                 // watched files, as added
  std::set<std::string> changed_;                  // changed since the last report
  std::chrono::steady_clock::time_point lastEvent_;
};

}  // namespace zan::cli
