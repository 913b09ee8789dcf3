// SPDX-License-Identifier: MIT
// zanpad: the desktop editor. Creates its four windows in their fixed
// order (main window, message view, comment list, MML checker) and runs.
#include <QApplication>
#include <QIcon>
#include <QStringList>

#include <cstdio>
#include <cstring>

#include "comment_list.h"
#include "frm_chk_unit.h"
#include "frm_msg_unit.h"
#include "language_setting.h"
#include "zan/translate.h"
#include "zanpad_unit.h"

#ifndef ZAN_VERSION
#define ZAN_VERSION "dev"
#endif

namespace {

constexpr const char* kUsage = zan::N_(
    "Usage: zanpad [Qt options] [SCORE]\n"
    "The MML score editor: F9 compiles the score and plays it.\n"
    "\n"
    "  --help      show this help and exit\n"
    "  --version   show the version and exit\n"
    "\n"
    "The options every Qt program takes, such as -platform NAME and\n"
    "-style STYLE, are accepted too. See zanpad(1).\n");

}  // namespace

int main(int argc, char** argv) {
  // Answered before Qt is started: they need no display.
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(zan::tr(kUsage), stdout);
      return 0;
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("zanpad %s\n", ZAN_VERSION);
      return 0;
    }
  }
  QApplication app(argc, argv);
  QApplication::setApplicationName("zanpad");
  QApplication::setOrganizationName("zan");
  // The installed desktop entry and icon: the desktop shows them with the windows.
  QApplication::setDesktopFileName("zanpad");
  QApplication::setWindowIcon(QIcon::fromTheme("zanpad"));
  // Closing the main window ends the program, whatever else is open.
  QApplication::setQuitOnLastWindowClosed(false);
  LanguageSetting::applySaved();

  TfrmMain frmMain;
  TfrmMsg frmMsg(frmMain.messageHost());
  TfrmList frmList(frmMain.reMain);
  TfrmChecker frmChecker(&frmMain);
  frmMain.attachWindows(&frmMsg, &frmList, &frmChecker);
  QObject::connect(&frmMain, &TfrmMain::closed, &app, &QApplication::quit);

  QStringList args = QApplication::arguments();
  if (args.size() > 1) frmMain.openFromCommandLine(args.at(1));
  frmMain.show();
  frmMain.offerRecovery();
  return QApplication::exec();
}
