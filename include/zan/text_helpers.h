// Small text helpers shared by the compiler and its hosts.
#pragma once

#include <string>

namespace zan {

// The directory of the running program, with a trailing '/', so that a file
// name can be appended directly ("zan.mid").
std::string AppDir();

// Reads the whole file at `path` into `contents`. On failure returns false
// with `error` saying why ("cannot open X: ..." or "cannot read X: ...");
// a directory, which opens like a file, fails to read.
bool ReadFile(const std::string& path, std::string& contents, std::string& error);

// The 1-based position of the first occurrence of `sub` in `text` that starts
// at or after position `from`, or 0 when there is none or `sub` is empty.
// Positions count bytes; with `ignoreCase` only A-Z and a-z are folded.
// A `from` below 1 counts as 1.
int InStr(const std::string& text, const std::string& sub, int from, bool ignoreCase);

}  // namespace zan
