// SPDX-License-Identifier: MIT
// Small text helpers shared by the compiler and its hosts.
#pragma once

#include <string>

namespace zan {

// The directory of the running program, with a trailing '/', so that a file
// name can be appended directly ("zan.mid").
std::string AppDir();

// What a read of a whole file came to.
enum class ReadStatus {
  Ok,        // `contents` holds every byte
  Failed,    // it could not be opened or read: `error` says why ("cannot
             //   open X: ..." or "cannot read X: ...")
  TooLarge,  // it holds more than the bound, or never ends: `error` says
             //   "X holds more than N bytes"; at most one byte past the
             //   bound was read
  NotScore,  // read as a score, its first chunk shows a MIDI or binary file:
             //   `error` is what it is, in nonScoreKind's words ("a binary
             //   file"); nothing more was read
};

// What the bytes are read as: any bytes, or a score, which is refused as
// soon as its first chunk shows it is none.
enum class ReadAs { Bytes, Score };

// Reads everything `fd` holds, at most `maxBytes`, a chunk at a time, so that
// an endless source (a character device, a pipe that never closes) ends at
// the bound with memory bounded too. `name` names the source in `error`.
// `contents` is left alone unless the read is Ok. The fd is not closed.
ReadStatus ReadFd(int fd, const std::string& name, size_t maxBytes, ReadAs as, std::string& contents,
                  std::string& error);

// Reads the whole file at `path` as ReadFd does. A directory, which opens
// like a file, fails to read; a regular file larger than `maxBytes` is
// refused without reading it all.
ReadStatus ReadFile(const std::string& path, size_t maxBytes, ReadAs as, std::string& contents, std::string& error);

// Where an #include names `name` (UTF-8), included from the file at
// `includingFile` ("" for standard input or an unsaved document): an
// absolute name as it stands; otherwise the current directory when it holds
// such a file (scores have always relied on that), else the folder of
// `includingFile`. For a nested include, `includingFile` is the included
// file that holds the #include line. When neither holds it, the name as it
// stands, so that reading it fails.
std::string resolveInclude(const std::string& name, const std::string& includingFile);

// The 1-based position of the first occurrence of `sub` in `text` that starts
// at or after position `from`, or 0 when there is none or `sub` is empty.
// Positions count bytes; with `ignoreCase` only A-Z and a-z are folded.
// A `from` below 1 counts as 1.
int InStr(const std::string& text, const std::string& sub, int from, bool ignoreCase);

}  // namespace zan
