#pragma once

// Simulated input through QtTest. Kept apart because <QTest> declares the X11 type `Display`,
// which clashes with the program's own MainDisplay port in files that include ports.h.

#include <Qt>

class QWidget;
class QWindow;

namespace testinput {
// A press and release sent to the widget, as QTest does (no window involved).
void KeyClick(QWidget* widget, Qt::Key key);
// A press and release delivered by the platform to the window, which passes it on to its
// focused widget.
void KeyClick(QWindow* window, Qt::Key key);
void MouseClick(QWidget* widget);
// Runs the event loop for `ms` milliseconds.
void Wait(int ms);
} // namespace testinput
