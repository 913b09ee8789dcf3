// Where a tool window first appears: beside the main window, not over the
// score. After the first time the window stays where the user put it.
#pragma once

class QWidget;

void placeBesideOnce(QWidget* window, const QWidget* mainWindow);
