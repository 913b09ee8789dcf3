// SPDX-License-Identifier: MIT
// Reading and writing score files. A file with a UTF-8 byte-order mark, or
// one that is valid UTF-8 and not plain ASCII, is UTF-8; anything else is
// CP932. Files are written in the encoding they were read in, with CR LF.
#pragma once

#include <QString>
#include <QStringList>

enum class TextEncoding { Cp932, Utf8 };

struct LoadedDocument {
  QStringList lines;
  TextEncoding encoding = TextEncoding::Cp932;
  int undecodable = 0;  // byte sequences that were no text in the encoding, shown as U+FFFD
  QString notScore;     // "a MIDI file" or "a binary file" when the bytes cannot be a score; lines are then empty
};

// False with `error` set when the file cannot be read.
bool loadDocument(const QString& path, LoadedDocument& doc, QString& error);

// Writes atomically (a failed write leaves the old file whole). False with
// `error` set on failure. In CP932, characters it cannot hold would become
// '?': callers check with firstUnencodable() first.
bool saveDocument(const QString& path, const QStringList& lines, TextEncoding encoding, QString& error);

// Writes `bytes` to `path` as zan writes every file (zan/output_file.h): a
// failed write leaves the old file whole, a link stays a link, a replaced
// file keeps its permissions, a device is written in place. Every file the
// editor saves goes through it. False with `error` set to the reason.
bool saveBytes(const QString& path, const QByteArray& bytes, QString& error);

// The first character of `text` that CP932 cannot hold, or an empty string.
QString firstUnencodable(const QString& text);

// The lines as the compiler reads them (CP932), and for each line the first
// character CP932 cannot hold ("" when every character converts).
struct CompilerLines {
  std::vector<std::string> lines;
  std::vector<QString> unencodable;
};
CompilerLines toCompilerLines(const QStringList& lines);

// A CP932 message or compiled line for display.
QString fromCp932(const std::string& bytes);
