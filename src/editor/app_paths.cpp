#include "app_paths.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "zan/text_helpers.h"

namespace {

QString chooseDataDir() {
  QString overridden = qEnvironmentVariable("ZANPAD_DATA_DIR");
  if (!overridden.isEmpty()) {
    QDir().mkpath(overridden);
    return QDir(overridden).absolutePath() + '/';
  }
  QString appDir = QString::fromStdString(zan::AppDir());
  QFileInfo info(appDir);
  if (!appDir.isEmpty() && info.isDir() && info.isWritable()) return appDir;
  QString user = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
  if (user.isEmpty()) user = QDir::homePath() + "/.local/share/zanpad";
  QDir().mkpath(user);
  return QDir(user).absolutePath() + '/';
}

}  // namespace

QString dataDir() {
  static const QString dir = chooseDataDir();
  return dir;
}

QString midPath() { return dataDir() + "zan.mid"; }

QString settingsPath() { return dataDir() + "zanpad_reg.ini"; }
