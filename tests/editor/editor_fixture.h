// SPDX-License-Identifier: MIT
// The editor's four windows built as the program builds them, over a
// private data directory, with scripted message boxes.
#pragma once

#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QSettings>
#include <QStringList>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include "app_paths.h"
#include "comment_list.h"
#include "ext_memo.h"
#include "frm_chk_unit.h"
#include "frm_msg_unit.h"
#include "text_boxes.h"
#include "zanpad_unit.h"

// The data directory is chosen once per process: every test program sets it
// before the first window exists.
inline QString testDataDir() {
  static QTemporaryDir dir;
  static bool set = [] {
    qputenv("ZANPAD_DATA_DIR", dir.path().toUtf8());
    // The tests make no sound: the silent driver, as a user may choose it.
    QSettings(dataDir() + "user_settings.ini", QSettings::IniFormat).setValue("player/audiodriver", "silent");
    return true;
  }();
  (void)set;
  return dataDir();
}

struct Windows {
  std::unique_ptr<TfrmMain> main;
  std::unique_ptr<TfrmMsg> msg;
  std::unique_ptr<TfrmList> list;
  std::unique_ptr<TfrmChecker> checker;
  QStringList warnings;

  Windows() {
    testDataDir();
    messageBoxHooks().warn = [this](const QString& m) { warnings << m; };
    messageBoxHooks().confirm = [](const QString&) { return true; };
    messageBoxHooks().closePrompt = [] { return int(QMessageBox::No); };
    main = std::make_unique<TfrmMain>();
    msg = std::make_unique<TfrmMsg>(main->messageHost());
    list = std::make_unique<TfrmList>(main->reMain);
    checker = std::make_unique<TfrmChecker>(main.get());
    main->attachWindows(msg.get(), list.get(), checker.get());
  }
  ~Windows() {
    messageBoxHooks().closePrompt = [] { return int(QMessageBox::No); };
    main->close();
    messageBoxHooks() = MessageBoxHooks{};
  }

  void setText(const QString& text) { main->reMain->setPlainText(text); }
  QString text() const { return main->reMain->toPlainText(); }
  QStringList messages() const { return msg->messageLines(); }
};
