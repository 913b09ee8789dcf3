// SPDX-License-Identifier: MIT
#include "document_io.h"

#include <algorithm>

#include <QFile>

#include "zan/cp932.h"
#include "zan/output_file.h"
#include "zan/text_helpers.h"
#include "zan/translate.h"
#include "zan/tsmf.h"

namespace {

QStringList splitLines(const QString& text) {
  QString t = text;
  t.replace("\r\n", "\n");
  t.replace('\r', '\n');
  QStringList lines = t.split('\n');
  // A final line break ends the last line; it does not start another.
  if (lines.size() > 1 && lines.back().isEmpty()) lines.removeLast();
  return lines;
}

}  // namespace

QString fromCp932(const std::string& bytes) { return QString::fromStdString(zan::toUtf8(bytes)); }

bool loadDocument(const QString& path, LoadedDocument& doc, QString& error) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    error = file.errorString();
    return false;
  }
  // Within the bound of a score, as zan reads it: a character device or an
  // endless pipe is refused at its first chunk of NUL bytes, or at the bound.
  std::string raw, why;
  const zan::ReadStatus read =
      zan::ReadFd(file.handle(), path.toStdString(), zan::Limits{}.sourceBytes, zan::ReadAs::Score, raw, why);
  if (read == zan::ReadStatus::TooLarge) why += zan::tr(", the most a score may hold");
  if (read == zan::ReadStatus::Failed || read == zan::ReadStatus::TooLarge) {
    error = QString::fromStdString(why);
    return false;
  }
  if (std::string_view kind = read == zan::ReadStatus::NotScore ? std::string_view(why) : zan::nonScoreKind(raw);
      !kind.empty()) {
    doc = LoadedDocument{};
    doc.notScore = QString::fromLatin1(kind.data(), static_cast<qsizetype>(kind.size()));
    return true;
  }
  bool bom = raw.size() >= 3 && raw.compare(0, 3, "\xEF\xBB\xBF") == 0;
  bool ascii = std::all_of(raw.begin(), raw.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  LoadedDocument result;
  if (bom || (!ascii && zan::isValidUtf8(raw))) {
    result.encoding = TextEncoding::Utf8;
    result.lines = splitLines(QString::fromUtf8(raw.data() + (bom ? 3 : 0), static_cast<qsizetype>(raw.size()) - (bom ? 3 : 0)));
  } else {
    result.encoding = TextEncoding::Cp932;
    result.lines = splitLines(fromCp932(raw));
  }
  // U+FFFD cannot come from CP932 text, and valid UTF-8 holds it only where
  // the file itself did: count what the decoding had to replace.
  if (result.encoding == TextEncoding::Cp932)
    for (const QString& line : result.lines) result.undecodable += static_cast<int>(line.count(QChar(0xFFFD)));
  doc = std::move(result);
  return true;
}

bool saveBytes(const QString& path, const QByteArray& bytes, QString& error) {
  zan::OutputFile file;
  if (file.open(QFile::encodeName(path).toStdString()) && file.write(bytes.constData(), static_cast<size_t>(bytes.size())) &&
      file.commit())
    return true;
  error = QString::fromStdString(file.reason());
  return false;
}

bool saveDocument(const QString& path, const QStringList& lines, TextEncoding encoding, QString& error) {
  QString text = lines.join("\r\n");
  if (!lines.isEmpty()) text += "\r\n";
  QByteArray bytes;
  if (encoding == TextEncoding::Utf8) {
    bytes = text.toUtf8();
  } else {
    std::string cp = zan::toCp932(text.toStdString());
    bytes = QByteArray(cp.data(), static_cast<qsizetype>(cp.size()));
  }
  return saveBytes(path, bytes, error);
}

QString firstUnencodable(const QString& text) {
  int lost = 0;
  zan::toCp932(text.toStdString(), &lost);
  if (lost == 0) return {};
  // Find the character itself, one code point at a time.
  for (int i = 0; i < text.size(); ++i) {
    int len = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
    QString ch = text.mid(i, len);
    int l = 0;
    zan::toCp932(ch.toStdString(), &l);
    if (l > 0) return ch;
    i += len - 1;
  }
  return {};
}

CompilerLines toCompilerLines(const QStringList& lines) {
  CompilerLines out;
  out.lines.reserve(static_cast<size_t>(lines.size()));
  out.unencodable.reserve(static_cast<size_t>(lines.size()));
  for (const QString& line : lines) {
    int lost = 0;
    out.lines.push_back(zan::toCp932(line.toStdString(), &lost));
    out.unencodable.push_back(lost ? firstUnencodable(line) : QString());
  }
  return out;
}
