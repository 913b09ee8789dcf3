// SPDX-License-Identifier: MIT
#include "window_place.h"

#include <QApplication>
#include <QScreen>
#include <QSettings>
#include <QWidget>

#include <algorithm>

#include "player_settings.h"

namespace {

const char* const kPlaced = "zanPlaced";  // property: placed or restored this session

QString geometryKey(const QWidget* window) { return "windows/" + window->objectName(); }

// The two places along one side of `main`: at its start and at its end.
QList<QRect> placesAlong(Beside side, const QSize& size, const QRect& main) {
  const int w = size.width(), h = size.height();
  switch (side) {
    case Beside::Right:
      return {QRect(main.right() + 1, main.top(), w, h), QRect(main.right() + 1, main.bottom() + 1 - h, w, h)};
    case Beside::Left:
      return {QRect(main.left() - w, main.top(), w, h), QRect(main.left() - w, main.bottom() + 1 - h, w, h)};
    case Beside::Below:
      return {QRect(main.left(), main.bottom() + 1, w, h), QRect(main.right() + 1 - w, main.bottom() + 1, w, h)};
    case Beside::Above:
      return {QRect(main.left(), main.top() - h, w, h), QRect(main.right() + 1 - w, main.top() - h, w, h)};
  }
  return {};
}

}  // namespace

QRect placeBeside(const QSize& size, const QRect& main, const QRect& screen, const QList<Beside>& order,
                  const QList<QRect>& taken) {
  for (Beside side : order)
    for (const QRect& r : placesAlong(side, size, main))
      if (screen.contains(r) && std::none_of(taken.begin(), taken.end(), [&](const QRect& t) { return t.intersects(r); }))
        return r;
  // No room: over the main window's edge on the first side, on the screen.
  QRect r(main.topLeft(), size);
  const Beside first = order.isEmpty() ? Beside::Right : order.front();
  if (first == Beside::Right) r.moveRight(main.right());
  if (first == Beside::Below) r.moveBottom(main.bottom());
  r.moveLeft(std::clamp(r.left(), screen.left(), std::max(screen.left(), screen.right() + 1 - r.width())));
  r.moveTop(std::clamp(r.top(), screen.top(), std::max(screen.top(), screen.bottom() + 1 - r.height())));
  return r;
}

void placeBesideOnce(QWidget* window, const QWidget* mainWindow, const QList<Beside>& order) {
  if (!window || !mainWindow || window->property(kPlaced).toBool()) return;
  window->setProperty(kPlaced, true);
  if (restoreWindowGeometry(window)) return;
  QScreen* screen = mainWindow->screen() ? mainWindow->screen() : QApplication::primaryScreen();
  if (!screen) return;
  // A window not shown yet has no frame: take the main window's.
  const QRect mainFrame = mainWindow->frameGeometry();
  const QRect mainInner = mainWindow->geometry();
  const QMargins frame(mainInner.left() - mainFrame.left(), mainInner.top() - mainFrame.top(),
                       mainFrame.right() - mainInner.right(), mainFrame.bottom() - mainInner.bottom());
  const QSize outer = window->size().grownBy(frame);
  // The other tool windows already placed are not to be covered.
  QList<QRect> taken;
  for (QWidget* other : QApplication::topLevelWidgets())
    if (other != window && other != mainWindow && other->isVisible() && other->property(kPlaced).toBool())
      taken.append(other->frameGeometry());
  const QRect at = placeBeside(outer, mainFrame, screen->availableGeometry(), order, taken);
  window->move(at.topLeft());
}

bool restoreWindowGeometry(QWidget* window) {
  const QByteArray stored = userSettings().value(geometryKey(window)).toByteArray();
  return !stored.isEmpty() && window->restoreGeometry(stored);
}

QRect firstWindowRect(const QRect& available) {
  const QSize least(std::min(720, available.width()), std::min(520, available.height()));
  const QSize size = QSize(available.width() * 2 / 3, available.height() * 2 / 3).expandedTo(least);
  QRect r(QPoint(0, 0), size);
  r.moveCenter(available.center());
  return r;
}

void saveWindowGeometry(QWidget* window) {
  if (window && (window->isWindow() && (window->property(kPlaced).toBool() || window->isVisible())))
    userSettings().setValue(geometryKey(window), window->saveGeometry());
}
