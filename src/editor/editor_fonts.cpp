#include "editor_fonts.h"

#include <QFontDatabase>
#include <QStringList>

QFont editorFont(int pixelSize) {
  static const QString family = [] {
    const QStringList preferred = {"IPAGothic", "IPA Gothic", "Noto Sans Mono CJK JP", "Noto Sans CJK JP",
                                   "VL Gothic", "TakaoGothic"};
    const QStringList installed = QFontDatabase::families();
    for (const QString& f : preferred)
      if (installed.contains(f)) return f;
    return QFontDatabase::systemFont(QFontDatabase::FixedFont).family();
  }();
  QFont font(family);
  font.setStyleHint(QFont::TypeWriter);
  font.setPixelSize(pixelSize);
  return font;
}
