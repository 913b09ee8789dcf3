// SPDX-License-Identifier: MIT
#include "language_setting.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QLibraryInfo>
#include <QMenu>
#include <QTranslator>

#include <vector>

#include "player_settings.h"
#include "text_boxes.h"
#include "zan/translate.h"

namespace {

constexpr const char* kKey = "ui/language";

void apply(const QString& choice) {
  const std::string name = choice.toStdString();
  if (choice.isEmpty() || !zan::setLanguage(name)) zan::setLanguage(zan::languageFromEnvironment());
  // Qt's own texts (the buttons of a message box) from its translations,
  // where installed; English is its own.
  static QTranslator* qt = nullptr;
  if (qt) {
    QApplication::removeTranslator(qt);
    delete qt;
    qt = nullptr;
  }
  const QString language = QString::fromUtf8(zan::language().data(), qsizetype(zan::language().size()));
  if (language == "en" || !QCoreApplication::instance()) return;
  auto* translator = new QTranslator;
  if (translator->load("qtbase_" + language, QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QApplication::installTranslator(translator);
    qt = translator;
  } else {
    delete translator;
  }
}

}  // namespace

LanguageSetting::LanguageSetting(QObject* parent) : QObject(parent), group_(new QActionGroup(this)) {}

void LanguageSetting::addMenuTo(QMenu* menu) {
  QMenu* sub = menu->addMenu(UiText("&Language"));
  const QString current = saved();
  // One entry a catalog, the originals last: a language added as a file is
  // offered too, by its name.
  std::vector<std::pair<QString, QString>> choices{{"", UiText("&Automatic (from the locale)")}};
  for (std::string_view language : zan::languages()) {
    const QString name = QString::fromUtf8(language.data(), qsizetype(language.size()));
    if (language != zan::kOriginalLanguage) choices.emplace_back(name, name == "en" ? UiText("&English") : name);
  }
  choices.emplace_back("ja", UiText("日本語"));
  for (const auto& [choice, caption] : choices) {
    QAction* a = sub->addAction(caption);
    a->setObjectName("Language_" + (choice.isEmpty() ? QString("auto") : choice));
    a->setCheckable(true);
    a->setChecked(choice == current);
    group_->addAction(a);
    connect(a, &QAction::triggered, this, [choice] { choose(choice); });
  }
}

QString LanguageSetting::saved() {
  const QString value = userSettings().value(kKey).toString();
  for (std::string_view language : zan::languages())
    if (value == QString::fromUtf8(language.data(), qsizetype(language.size()))) return value;
  return QString();
}

void LanguageSetting::applySaved() { apply(saved()); }

void LanguageSetting::choose(const QString& choice) {
  QSettings q = userSettings();
  q.setValue(kKey, choice);
  apply(choice);
}
