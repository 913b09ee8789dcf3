#include "window_place.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

void placeBesideOnce(QWidget* window, const QWidget* mainWindow) {
  if (!window || !mainWindow || window->property("zanPlaced").toBool()) return;
  window->setProperty("zanPlaced", true);
  QScreen* screen = mainWindow->screen() ? mainWindow->screen() : QGuiApplication::primaryScreen();
  if (!screen) return;
  QRect avail = screen->availableGeometry();
  QRect main = mainWindow->frameGeometry();
  QSize size = window->frameGeometry().size();
  QPoint at;
  if (main.right() + 1 + size.width() <= avail.right() + 1) {
    at = QPoint(main.right() + 1, main.top());  // to the right
  } else if (main.bottom() + 1 + size.height() <= avail.bottom() + 1) {
    at = QPoint(main.left(), main.bottom() + 1);  // below
  } else {
    // No room beside it: over the main window's lower right corner.
    at = QPoint(std::max(avail.left(), main.right() - size.width()),
                std::max(avail.top(), main.bottom() - size.height()));
  }
  window->move(at);
}
