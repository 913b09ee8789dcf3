// SPDX-License-Identifier: MIT
// How zan writes a user's file, the same for the compiled MIDI file, the
// rendered WAV file and the editor's saves:
// - a regular file (or a new one) is written whole beside its target and
//   only then put in its place, so that the path always names a complete
//   file and a failed or interrupted write leaves the earlier one intact;
//   where the file system allows, the file being written has no name at all
//   until it is complete, so that nothing is left behind even by SIGKILL;
// - a replaced file keeps its permission bits, and its owner and group where
//   the process may set them; a new one gets 0666 under the umask;
// - a symbolic link is followed: the file it names is written (replaced in
//   that file's own folder) and the link stays;
// - anything else that exists (a device such as /dev/null, a FIFO, a
//   terminal) is opened and written in place, never replaced.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace zan {

class OutputFile {
 public:
  OutputFile() = default;
  ~OutputFile();  // an uncommitted file is abandoned: the target stays as it was
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Each returns false with error() set ("cannot create PATH: reason",
  // "cannot write PATH: reason"); after a failure the file is abandoned.
  bool open(const std::string& path);
  bool write(const void* data, size_t size);
  // REQUIRES: seekable().
  bool writeAt(uint64_t offset, const void* data, size_t size);
  // Puts the complete file in its place; `sync` first makes its contents
  // durable.
  bool commit(bool sync = false);

  // False for a device, FIFO or other node written in place.
  bool seekable() const { return mode_ != Mode::InPlace; }
  const std::string& error() const { return error_; }
  const std::string& reason() const { return reason_; }  // the error's reason alone ("No space left on device")

 private:
  enum class Mode { Closed, Unnamed, Named, InPlace };
  bool fail(const char* what, int err);
  void abandon();
  bool link();

  Mode mode_ = Mode::Closed;
  int fd_ = -1;
  std::string path_;    // as the caller named it, for messages
  std::string target_;  // the file written: path_ with its links followed
  std::string temp_;    // Mode::Named: the temporary file's name
  int slot_ = -1;       // its place among the names a signal handler removes
  bool existed_ = false;
  uint32_t mode_bits_ = 0, uid_ = 0, gid_ = 0;  // of the file replaced
  std::string error_;
  std::string reason_;
};

// Writes all of `size` bytes to the descriptor `fd` (again after an
// interruption or a short write); false with errno set.
bool WriteAll(int fd, const void* data, size_t size);

// Writes `size` bytes to `path` as OutputFile does; false with `error`.
bool WriteWholeFile(const std::string& path, const void* data, size_t size, std::string& error);

// Removes the named temporary files of writes under way. Safe in a signal
// handler: a program that ends on SIGINT, SIGTERM or SIGHUP calls it so that
// no half-written file is left where the file system could not keep it
// unnamed.
void RemovePendingTemporaryFiles() noexcept;

// `path` with its symbolic links followed, as far as they lead (a link to a
// file not yet there gives that file's name).
std::string FollowLinks(const std::string& path);

// True when `a` and `b` are the same file, or would be once written: the
// same device and inode where both exist, else the same folder and name
// after links are followed.
bool SameFile(const std::string& a, const std::string& b);

}  // namespace zan
