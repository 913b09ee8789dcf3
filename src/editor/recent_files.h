// SPDX-License-Identifier: MIT
// TRecentFiles: the File menu's list of the scores opened or saved last,
// newest first, kept in the user's settings file across restarts. Choosing
// one that no longer exists removes it from the list and says so.
#pragma once

#include <QObject>
#include <QStringList>

class QMenu;

class TRecentFiles : public QObject {
  Q_OBJECT

 public:
  static constexpr int kCount = 8;  // entries the menu offers

  // Fills `menu` (owned by the caller) and keeps it up to date.
  explicit TRecentFiles(QMenu* menu, QObject* parent = nullptr);

  // Puts `path` at the top (once) and stores the list.
  void add(const QString& path);
  QStringList files() const { return files_; }
  // What choosing entry `i` does: `chosen` for a file that exists, a
  // warning and its removal for one that does not.
  void choose(int i);

 signals:
  void chosen(const QString& path);

 private:
  void store();
  void rebuild();

  QMenu* menu_;
  QStringList files_;  // full paths, newest first
};
