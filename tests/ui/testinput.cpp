#include "testinput.h"

#include <QTest>

namespace testinput {
void KeyClick(QWidget* widget, Qt::Key key) {
    QTest::keyClick(widget, key);
}
void KeyClick(QWindow* window, Qt::Key key) {
    QTest::keyClick(window, key);
}
void MouseClick(QWidget* widget) {
    QTest::mouseClick(widget, Qt::LeftButton);
}
void Wait(int ms) {
    QTest::qWait(ms);
}
} // namespace testinput
