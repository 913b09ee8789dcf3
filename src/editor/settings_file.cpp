// SPDX-License-Identifier: MIT
#include "settings_file.h"

#include <QDataStream>
#include <QFile>

#include "document_io.h"

namespace {

// The font record: name, pixel height, colour, style bits and character
// set. The character set is always Shift-JIS (128); it is kept so that the
// record holds what a font choice means for a score's text.
constexpr quint8 kShiftJisCharset = 128;
constexpr quint8 kBold = 1, kItalic = 2, kUnderline = 4, kStrikeOut = 8;
constexpr int kMinPixelSize = 4, kMaxPixelSize = 400;
constexpr int kMaxFamilyLength = 256;
constexpr QDataStream::Version kStreamVersion = QDataStream::Qt_6_0;

// Colours are stored as 0xAARRGGBB with alpha 0xFF. (QColor's own stream
// operator would trust a damaged file's colour-spec byte as an enum value.)
constexpr quint32 kOpaque = 0xFF000000u;
quint32 packColour(const QColor& c) { return quint32(c.rgb()) | kOpaque; }
bool unpackColour(quint32 v, QColor& c) {
  if ((v & kOpaque) != kOpaque) return false;
  c = QColor::fromRgb(QRgb(v));
  return true;
}

}  // namespace

bool readSettingsFile(const QString& path, EditorSettings& settings) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return false;
  QDataStream in(&file);
  in.setVersion(kStreamVersion);

  QString family;
  qint32 pixelSize = 0;
  quint32 fontRgb = 0, backgroundRgb = 0, markRgb = 0;
  quint8 style = 0, charset = 0;
  in >> family >> pixelSize >> fontRgb >> style >> charset;
  in >> backgroundRgb;
  in >> markRgb;
  quint8 flags[4] = {};
  for (quint8& f : flags) in >> f;

  // A damaged or foreign file shows up as a failed read, a value out of its
  // range, or bytes left over.
  if (in.status() != QDataStream::Ok || !file.atEnd()) return false;
  if (family.isEmpty() || family.size() > kMaxFamilyLength) return false;
  if (pixelSize < kMinPixelSize || pixelSize > kMaxPixelSize) return false;
  if ((style & ~(kBold | kItalic | kUnderline | kStrikeOut)) != 0 || charset != kShiftJisCharset) return false;
  QColor fontColour, background, markColour;
  if (!unpackColour(fontRgb, fontColour) || !unpackColour(backgroundRgb, background) ||
      !unpackColour(markRgb, markColour))
    return false;
  for (quint8 f : flags)
    if (f > 1) return false;

  QFont font(family);
  font.setPixelSize(pixelSize);
  font.setBold(style & kBold);
  font.setItalic(style & kItalic);
  font.setUnderline(style & kUnderline);
  font.setStrikeOut(style & kStrikeOut);
  settings.font = font;
  settings.fontColour = fontColour;
  settings.background = background;
  settings.markColour = markColour;
  settings.editMark = flags[0];
  settings.toolBar = flags[1];
  settings.messageView = flags[2];
  settings.errorBeep = flags[3];
  return true;
}

bool writeSettingsFile(const QString& path, const EditorSettings& settings) {
  QByteArray bytes;
  QDataStream out(&bytes, QIODevice::WriteOnly);
  out.setVersion(kStreamVersion);
  const QFont& f = settings.font;
  int pixelSize = f.pixelSize() > 0 ? f.pixelSize() : qRound(f.pointSizeF() * 96.0 / 72.0);
  quint8 style = (f.bold() ? kBold : 0) | (f.italic() ? kItalic : 0) | (f.underline() ? kUnderline : 0) |
                 (f.strikeOut() ? kStrikeOut : 0);
  out << f.family() << qint32(pixelSize) << packColour(settings.fontColour) << style << kShiftJisCharset;
  out << packColour(settings.background);
  out << packColour(settings.markColour);
  out << quint8(settings.editMark) << quint8(settings.toolBar) << quint8(settings.messageView)
      << quint8(settings.errorBeep);
  QString error;
  return out.status() == QDataStream::Ok && saveBytes(path, bytes, error);
}
