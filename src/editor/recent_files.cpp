// SPDX-License-Identifier: MIT
#include "recent_files.h"

#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QSettings>

#include "player_settings.h"
#include "text_boxes.h"

namespace {

const QString kKey = QStringLiteral("recent/files");

}  // namespace

TRecentFiles::TRecentFiles(QMenu* menu, QObject* parent) : QObject(parent), menu_(menu) {
  files_ = userSettings().value(kKey).toStringList().mid(0, kCount);
  files_.removeAll(QString());
  rebuild();
}

void TRecentFiles::add(const QString& path) {
  const QString full = QFileInfo(path).absoluteFilePath();
  files_.removeAll(full);
  files_.prepend(full);
  while (files_.size() > kCount) files_.removeLast();
  store();
  rebuild();
}

void TRecentFiles::choose(int i) {
  if (i < 0 || i >= files_.size()) return;
  const QString path = files_.at(i);
  if (QFileInfo(path).isFile()) {
    emit chosen(path);
    return;
  }
  files_.removeAt(i);
  store();
  rebuild();
  WarnBox(UiText("%1 no longer exists; it has been taken off the recent files.").arg(QDir::toNativeSeparators(path)));
}

void TRecentFiles::store() { userSettings().setValue(kKey, files_); }

void TRecentFiles::rebuild() {
  menu_->clear();
  for (int i = 0; i < files_.size(); ++i) {
    // "&1" ... "&8": the access letter is the entry's number.
    const QString caption = QString("&%1 %2").arg(i + 1).arg(QDir::toNativeSeparators(files_.at(i)));
    connect(menu_->addAction(caption), &QAction::triggered, this, [this, i] { choose(i); });
  }
  menu_->setEnabled(!files_.isEmpty());
}
