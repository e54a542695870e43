#pragma once

#include <QIcon>
#include <QList>

// The sizes the program's icon is drawn at; the desktop's icon theme gets the same set.
inline const QList<int> kIconSizes = {16, 22, 24, 32, 48, 64, 128, 256};

// The program's icon, every size of it, built into the executable: the window icon of every
// window (set once on the application), whether or not the icon theme is installed.
QIcon ApplicationIcon();
