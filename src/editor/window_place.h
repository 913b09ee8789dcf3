// SPDX-License-Identifier: MIT
// Where the tool windows appear, and where every window was last time. The
// first time a tool window opens it goes beside the main window where the
// screen has room and no other tool window stands (the message view to the
// right, the comment list to the left, the checker below), overlapping the
// main window only when the screen is too small. Every window's geometry is
// kept in the user's settings file across restarts; a window found there
// opens where it was.
#pragma once

#include <QList>
#include <QMargins>
#include <QRect>

class QWidget;

enum class Beside { Right, Left, Below, Above };

// Where a window of `size` (its frame included) goes beside `main` (the
// main window's frame) inside `screen`: the first side of `order` where it
// fits without covering `taken`, at either end of that side; when none does,
// over the main window at the end of the first side, kept on the screen.
QRect placeBeside(const QSize& size, const QRect& main, const QRect& screen, const QList<Beside>& order,
                  const QList<QRect>& taken);

// Shows nothing: moves `window` where it was last time, or, the first time,
// beside `mainWindow` by `order`. Later calls leave it where the user put it.
void placeBesideOnce(QWidget* window, const QWidget* mainWindow, const QList<Beside>& order);

// The stored geometry of `window` (by its object name); false when none is.
bool restoreWindowGeometry(QWidget* window);

// Where the main window opens the first time, on a screen whose free area is
// `available`: two thirds of it each way (never smaller than the window's
// design size, 720x520, where the screen has room), centred.
QRect firstWindowRect(const QRect& available);
// Stores the geometry of `window` when it has been shown (or placed).
void saveWindowGeometry(QWidget* window);
