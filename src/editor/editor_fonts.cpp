#include "editor_fonts.h"

#include <QFontDatabase>
#include <QPalette>
#include <QStringList>
#include <QWidget>

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

void keepSelectionVisible(QWidget* pane) {
  QPalette p = pane->palette();
  p.setColor(QPalette::Inactive, QPalette::Highlight, p.color(QPalette::Active, QPalette::Highlight));
  p.setColor(QPalette::Inactive, QPalette::HighlightedText, p.color(QPalette::Active, QPalette::HighlightedText));
  pane->setPalette(p);
}
