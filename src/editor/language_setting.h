// SPDX-License-Identifier: MIT
// Tool > Language: the language of the texts the program shows (prompts,
// warnings, the compiler's messages, the checker's sentence). Automatic
// follows the locale as zan does; each language the program speaks (one per
// catalog) overrides it. Kept in the user's settings and applied at once:
// every text shown from then on is in the language chosen; the menus,
// captions and tool tips made when a window opens take it at the next
// start (in English and Japanese alike they are the English originals), and
// Qt's own buttons follow its installed translations.
#pragma once

#include <QObject>
#include <QString>

class QActionGroup;
class QMenu;

class LanguageSetting : public QObject {
  Q_OBJECT
 public:
  explicit LanguageSetting(QObject* parent);

  // The Language submenu, at the end of `menu`.
  void addMenuTo(QMenu* menu);

  // The choice kept: "" for Automatic, else a language spoken ("en", "ja").
  static QString saved();
  // Applies the choice kept; the program calls it once at start-up.
  static void applySaved();
  // Applies and keeps `choice` ("" for Automatic).
  static void choose(const QString& choice);

 private:
  QActionGroup* group_;
};
