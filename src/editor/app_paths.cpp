// SPDX-License-Identifier: MIT
#include "app_paths.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "zan/text_helpers.h"

namespace {

// An installed program has its desktop entry beside its bin folder; its
// folder may still be writable (a per-user prefix, or run as root), but it
// is no place for a user's files.
bool isInstalled(const QString& appDir) {
  return QFileInfo::exists(appDir + "../share/applications/zanpad.desktop");
}

QString chooseDataDir() {
  QString overridden = qEnvironmentVariable("ZANPAD_DATA_DIR");
  if (!overridden.isEmpty()) {
    QDir().mkpath(overridden);
    return QDir(overridden).absolutePath() + '/';
  }
  QString appDir = QString::fromStdString(zan::AppDir());
  QFileInfo info(appDir);
  if (!appDir.isEmpty() && info.isDir() && info.isWritable() && !isInstalled(appDir)) return appDir;
  return userDataDir();
}

}  // namespace

QString userDataDir() {
  QString user = qEnvironmentVariable("ZANPAD_DATA_DIR");
  if (user.isEmpty()) user = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
  if (user.isEmpty()) user = QDir::homePath() + "/.local/share/zanpad";
  QDir().mkpath(user);
  return QDir(user).absolutePath() + '/';
}

QString dataDir() {
  static const QString dir = chooseDataDir();
  return dir;
}

QString midPath() { return dataDir() + "zan.mid"; }

QString settingsPath() { return dataDir() + "zanpad_reg.ini"; }
