// zanpad: the desktop editor. Creates its four windows in their fixed
// order (main window, message view, comment list, MML checker) and runs.
#include <QApplication>
#include <QIcon>
#include <QStringList>

#include "comment_list.h"
#include "frm_chk_unit.h"
#include "frm_msg_unit.h"
#include "zanpad_unit.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("zanpad");
  QApplication::setOrganizationName("zan");
  // The installed desktop entry and icon: the desktop shows them with the windows.
  QApplication::setDesktopFileName("zanpad");
  QApplication::setWindowIcon(QIcon::fromTheme("zanpad"));
  // Closing the main window ends the program, whatever else is open.
  QApplication::setQuitOnLastWindowClosed(false);

  TfrmMain frmMain;
  TfrmMsg frmMsg(frmMain.messageHost());
  TfrmList frmList(frmMain.reMain);
  TfrmChecker frmChecker(&frmMain);
  frmMain.attachWindows(&frmMsg, &frmList, &frmChecker);

  QStringList args = QApplication::arguments();
  if (args.size() > 1) frmMain.openFromCommandLine(args.at(1));
  frmMain.show();
  frmMain.offerRecovery();
  return QApplication::exec();
}
