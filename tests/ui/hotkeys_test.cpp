#include "appeventfilter.h"
#include "dialogrig.h"
#include "testinput.h"

#include <QEventLoop>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

// Counts the key presses that reach a widget, to show the filter lets them through.
struct PressCounter : QObject {
    int presses = 0;
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::KeyPress)
            ++presses;
        return false;
    }
};

struct HotKeyRig : DialogRig {
    FakeActions actions{state};
    AppEventFilter filter{state, ini, actions, *fm_set};
    QWidget window;
    QLineEdit* edit = new QLineEdit(&window);
    PressCounter counter;

    HotKeyRig() {
        auto* layout = new QVBoxLayout(&window);
        layout->addWidget(edit);
        edit->installEventFilter(&counter);
        window.show();
        window.activateWindow();
        edit->setFocus();
        qApp->installEventFilter(&filter);
    }
    ~HotKeyRig() { qApp->removeEventFilter(&filter); }

    // One press of `key` (sent to the focused widget, as QTest does), then the event loop turns.
    QStringList Press(Qt::Key key) {
        actions.calls.clear();
        testinput::KeyClick(edit, key);
        QCoreApplication::processEvents();
        return actions.calls;
    }
};

} // namespace

TEST(HotKeys, DefaultKeysF7ToF10) {
    HotKeyRig rig;
    EXPECT_EQ(rig.Press(Qt::Key_F7), QStringList({"StartRecording"}));
    EXPECT_EQ(rig.Press(Qt::Key_F9), QStringList({"ToggleRecordPause"})) << "once per press";
    EXPECT_TRUE(rig.state.record_paused);
    EXPECT_EQ(rig.Press(Qt::Key_F10), QStringList({"StopRecording", "StopPlaying"}));
    EXPECT_EQ(rig.Press(Qt::Key_F8), QStringList({"PlaySelected"}));
    EXPECT_EQ(rig.Press(Qt::Key_F9), QStringList({"TogglePlayPause"}));
    // Idle, stop still calls both; other keys do nothing.
    EXPECT_EQ(rig.Press(Qt::Key_F10), QStringList({"StopRecording", "StopPlaying"}));
    EXPECT_EQ(rig.Press(Qt::Key_F6), QStringList());
    EXPECT_EQ(rig.Press(Qt::Key_A), QStringList());
    EXPECT_EQ(rig.counter.presses, 8) << "every key still reaches the focused widget";
}

TEST(HotKeys, OnePressThroughTheWindowActsOnce) {
    HotKeyRig rig;
    rig.state.recording = true;
    // Delivered by the platform: the window sees it, then the focused widget and its parents.
    testinput::KeyClick(rig.window.windowHandle(), Qt::Key_F9);
    QCoreApplication::processEvents();
    EXPECT_EQ(rig.actions.calls, QStringList({"ToggleRecordPause"}));
    EXPECT_TRUE(rig.state.record_paused);
    EXPECT_EQ(rig.counter.presses, 1);
}

// An action that shows a dialog ("Please stop recording first.", the overwrite question, "Save
// As"): the dialog's event loop turns while the press is still on its way to the focused widget.
TEST(HotKeys, APressWhoseActionShowsADialogActsOnce) {
    struct DialogActions : FakeActions {
        using FakeActions::FakeActions;
        int dialogs = 0;
        void PlaySelected() override {
            FakeActions::PlaySelected();
            ++dialogs;
            QEventLoop dialog;
            QTimer::singleShot(20, &dialog, &QEventLoop::quit);
            dialog.exec();
        }
    };
    HotKeyRig rig;
    DialogActions actions(rig.state);
    AppEventFilter filter(rig.state, rig.ini, actions, *rig.fm_set);
    qApp->removeEventFilter(&rig.filter);
    qApp->installEventFilter(&filter);
    rig.state.recording = true;
    for (int press = 1; press <= 3; ++press) {
        testinput::KeyClick(rig.window.windowHandle(), Qt::Key_F8);
        QCoreApplication::processEvents();
        EXPECT_EQ(actions.dialogs, press) << "one dialog per press";
    }
    EXPECT_EQ(rig.counter.presses, 3) << "the key still reaches the focused widget";
    qApp->removeEventFilter(&filter);
}

TEST(HotKeys, AHeldKeyRepeatsItsAction) {
    HotKeyRig rig;
    rig.state.recording = true;
    for (int i = 0; i < 3; ++i) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_F9, Qt::NoModifier, QString(), i > 0);
        press.setTimestamp(1000 + 30 * i);
        QCoreApplication::sendEvent(rig.edit, &press);
    }
    EXPECT_EQ(rig.actions.calls, QStringList(3, "ToggleRecordPause"));
    EXPECT_TRUE(rig.state.record_paused);
}

TEST(HotKeys, BindingsAreReadAtEveryPress) {
    HotKeyRig rig;
    rig.ini.WriteInteger("hot", "rec", 0);
    EXPECT_EQ(rig.Press(Qt::Key_F1), QStringList({"StartRecording"}));
    EXPECT_EQ(rig.Press(Qt::Key_F7), QStringList());

    // Through the dialog's box: stored at once, in force at the next press.
    rig.fm_set->show();
    rig.Controls().ComboBox2->setCurrentIndex(11);
    emit rig.Controls().ComboBox2->activated(11);
    rig.fm_set->close();
    rig.edit->activateWindow();
    rig.edit->setFocus();
    EXPECT_EQ(rig.Press(Qt::Key_F12), QStringList({"PlaySelected"}));

    // One key bound to two actions triggers both, in the fixed order.
    rig.ini.WriteInteger("hot", "stop", 0);
    EXPECT_EQ(rig.Press(Qt::Key_F1),
              QStringList({"StartRecording", "StopRecording", "StopPlaying"}));

    // An index outside F1..F12 binds nothing, not even the key beyond F12.
    rig.ini.WriteInteger("hot", "rec", 12);
    rig.ini.WriteInteger("hot", "stop", -1);
    EXPECT_EQ(rig.Press(Qt::Key_F1), QStringList());
    EXPECT_EQ(rig.Press(Qt::Key_F13), QStringList());
}
