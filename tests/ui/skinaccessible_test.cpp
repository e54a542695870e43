// The main window as a screen reader and the mouse pointer meet it: the painted skin's elements
// in the accessible tree with their names, roles and press actions, and their tooltips with the
// hot keys as bound in the settings dialog.
#include "mainrig.h"

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QHelpEvent>
#include <QToolTip>
#include <gtest/gtest.h>
#include <map>

namespace {

// Every descendant of `root` with a name, by name (the first one found for a repeated name).
void Collect(QAccessibleInterface* root, std::map<QString, QAccessibleInterface*>& named) {
    for (int i = 0; i < root->childCount(); ++i) {
        QAccessibleInterface* child = root->child(i);
        if (!child)
            continue;
        const QString name = child->text(QAccessible::Name);
        if (!name.isEmpty() && !named.count(name))
            named[name] = child;
        Collect(child, named);
    }
}

std::map<QString, QAccessibleInterface*> Named(QWidget* window) {
    std::map<QString, QAccessibleInterface*> named;
    Collect(QAccessible::queryAccessibleInterface(window), named);
    return named;
}

QWidget* Surface(QWidget* window) {
    return window->findChild<QWidget*>(QStringLiteral("skin_surface"), Qt::FindDirectChildrenOnly);
}

// The tooltip the surface shows for a pause of the mouse at `at`; "" when the event found none.
QString ToolTipAt(QWidget* window, QPoint at) {
    QWidget* surface = Surface(window);
    QHelpEvent help(QEvent::ToolTip, at, surface->mapToGlobal(at));
    QApplication::sendEvent(surface, &help);
    return help.isAccepted() ? QToolTip::text() : QString();
}

// A press through the action interface, and the event loop's turn that runs it.
void Press(QAccessibleInterface* element) {
    element->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QCoreApplication::processEvents();
}

void SetValue(QAccessibleInterface* slider, int value) {
    slider->valueInterface()->setCurrentValue(value);
    QCoreApplication::processEvents();
}

QString ToolTipOf(Tfm_main& m, const char* name) {
    const SkinRect r = m.Skin1.GetSkinForm(&m)->FindObject(name)->GetRect();
    return ToolTipAt(&m, QPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2));
}

} // namespace

TEST(MainAccessibility, TheSkinButtonsAreAnnouncedAndPressingRecordRecords) {
    MainRig rig;
    rig.Start();
    Tfm_main& m = *rig.fm_main;
    // The frameless skinned window is still announced as a window, by its title.
    QAccessibleInterface* window = QAccessible::queryAccessibleInterface(&m);
    EXPECT_EQ(window->role(), QAccessible::Window);
    EXPECT_EQ(window->text(QAccessible::Name), "Tarno MP3 Recorder");
    auto named = Named(&m);

    // The twelve icon-only buttons, the window's own two and the volume.
    for (const char* name :
         {"Record", "Pause", "Stop", "Play", "Previous", "Next", "Add files", "List", "Tags",
          "Settings", "Help", "Web site", "Minimize", "Close", "Mute"}) {
        ASSERT_TRUE(named.count(name)) << name;
        EXPECT_EQ(named[name]->role(), QAccessible::Button) << name;
        EXPECT_FALSE(named[name]->text(QAccessible::Description).isEmpty()) << name;
        ASSERT_NE(named[name]->actionInterface(), nullptr) << name;
        EXPECT_EQ(named[name]->actionInterface()->actionNames(),
                  QStringList{QAccessibleActionInterface::pressAction()});
    }
    ASSERT_TRUE(named.count("Volume"));
    EXPECT_EQ(named["Volume"]->role(), QAccessible::Slider);
    // The display is hidden while idle, and so are its texts.
    EXPECT_FALSE(named.count("Time"));

    // The element's place on the screen is where a click would land.
    QAccessibleInterface* record = named["Record"];
    const SkinRect r = m.Skin1.GetSkinForm(&m)->FindObject("recorder")->GetRect();
    EXPECT_EQ(record->rect(), QRect(m.mapToGlobal(QPoint(r.left, r.top)),
                                    QSize(r.right - r.left, r.bottom - r.top)));
    EXPECT_EQ(record->text(QAccessible::Accelerator), "F7");
    EXPECT_EQ(
        record->actionInterface()->keyBindingsForAction(QAccessibleActionInterface::pressAction()),
        QStringList{"F7"});

    // Pressing through the action does what a click does: the recording starts, and the
    // display's time is read out as it counts.
    Press(record);
    ASSERT_TRUE(rig.state().recording);
    rig.backend->Advance(1200);
    named = Named(&m);
    ASSERT_TRUE(named.count("Time"));
    EXPECT_EQ(named["Time"]->role(), QAccessible::StaticText);
    EXPECT_EQ(named["Time"]->text(QAccessible::Value), "00:00:01");
    QAccessibleTextInterface* time = named["Time"]->textInterface();
    ASSERT_NE(time, nullptr);
    EXPECT_EQ(time->text(0, time->characterCount()), "00:00:01");
    Press(named["Stop"]);
    EXPECT_FALSE(rig.state().recording);
    // An unknown action does nothing.
    record->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    QCoreApplication::processEvents();
    EXPECT_FALSE(rig.state().recording);

    // The volume slider set through its value sets the player's volume, as a drag would.
    QAccessibleValueInterface* volume = named["Volume"]->valueInterface();
    ASSERT_NE(volume, nullptr);
    EXPECT_EQ(volume->maximumValue().toInt(), TAudioPlayer2::kMaxVolume);
    SetValue(named["Volume"], 1000);
    EXPECT_EQ(m.AudioPlayer21.GetVolume(), 1000);
    EXPECT_EQ(volume->currentValue().toInt(), 1000);
    SetValue(named["Volume"], TAudioPlayer2::kMaxVolume + 50);
    EXPECT_EQ(m.AudioPlayer21.GetVolume(), TAudioPlayer2::kMaxVolume);
}

TEST(MainAccessibility, DecorationsAndHiddenElementsStayOutOfTheTree) {
    MainRig rig;
    rig.Start();
    Tfm_main& m = *rig.fm_main;
    QAccessibleInterface* surface = QAccessible::queryAccessibleInterface(Surface(&m));
    ASSERT_NE(surface, nullptr);
    // Every child has a role and a name; the display's pictures, the meters' labels, the title
    // and the hidden play bar and "unmute" button are not among them.
    for (int i = 0; i < surface->childCount(); ++i) {
        QAccessibleInterface* child = surface->child(i);
        ASSERT_NE(child, nullptr);
        EXPECT_NE(child->role(), QAccessible::NoRole) << i;
        EXPECT_FALSE(child->text(QAccessible::Name).isEmpty()) << i;
        EXPECT_EQ(surface->indexOfChild(child), i);
        EXPECT_EQ(child->parent(), surface);
    }
    auto named = Named(&m);
    EXPECT_FALSE(named.count("Unmute"));
    EXPECT_FALSE(named.count("Position"));

    // Muting swaps the speakers: the tree follows what is shown.
    QAccessibleInterface* mute = named["Mute"];
    Press(mute);
    named = Named(&m);
    EXPECT_TRUE(named.count("Unmute"));
    EXPECT_FALSE(named.count("Mute"));
    EXPECT_TRUE(mute->state().invisible);
    // A hidden element cannot be pressed: it does not unmute again.
    Press(mute);
    EXPECT_TRUE(m.AudioPlayer21.GetMute());

    // Asking at a point finds the announced element there, and nothing over a decoration.
    const SkinRect rec = m.Skin1.GetSkinForm(&m)->FindObject("recorder")->GetRect();
    const QPoint centre = m.mapToGlobal(QPoint((rec.left + rec.right) / 2, rec.top + 2));
    QAccessibleInterface* at = surface->childAt(centre.x(), centre.y());
    ASSERT_NE(at, nullptr);
    EXPECT_EQ(at->text(QAccessible::Name), "Record");
    const SkinRect display = m.Skin1.GetSkinForm(&m)->FindObject("display")->GetRect();
    const QPoint corner = m.mapToGlobal(QPoint(display.left + 1, display.bottom - 2));
    EXPECT_EQ(surface->childAt(corner.x(), corner.y()), nullptr);
}

TEST(MainAccessibility, ToolTipsNameTheActionAndTheHotKeyAsBound) {
    MainRig rig;
    rig.Start();
    Tfm_main& m = *rig.fm_main;
    EXPECT_EQ(ToolTipOf(m, "recorder"), "Record (F7)");
    EXPECT_EQ(ToolTipOf(m, "play"), "Play the selected recording (F8)");
    EXPECT_EQ(ToolTipOf(m, "stop"), "Stop (F10)");
    EXPECT_EQ(ToolTipOf(m, "list"), "Show or hide the list of recordings");
    EXPECT_EQ(ToolTipOf(m, "add"), "Add files to the list");
    EXPECT_EQ(ToolTipOf(m, "tag"), "Edit the tags written into recordings");
    // Texts and the background explain nothing; the window's own tooltip (none) is asked.
    EXPECT_EQ(ToolTipOf(m, "s_time"), "");
    EXPECT_EQ(ToolTipAt(&m, QPoint(2, 100)), "");

    // The settings form's buttons explain themselves too; the dialog's keyboard buttons over
    // them are what a screen reader finds, so the form announces none of them a second time.
    m.ShowSettings(true);
    QWidget* options = Surface(rig.fm_set);
    ASSERT_NE(options, nullptr);
    const SkinRect ok = rig.fm_main->Skin1.GetSkinForm(rig.fm_set)->FindObject("ok")->GetRect();
    EXPECT_EQ(ToolTipAt(rig.fm_set, QPoint(ok.left + 4, ok.top + 4)),
              "Save the settings and close");
    EXPECT_EQ(QAccessible::queryAccessibleInterface(options)->childCount(), 0);
    EXPECT_EQ(Named(rig.fm_set)["OK"]->role(), QAccessible::Button);

    // The user binds F12 to recording in the settings dialog and saves.
    auto* rec = rig.fm_set->findChild<QComboBox*>(QStringLiteral("ComboBox1"));
    ASSERT_NE(rec, nullptr);
    rec->setCurrentIndex(11);
    emit rec->activated(11);
    m.SaveSettings();
    ASSERT_EQ(rig.store->ReadInteger("hot", "rec", -1), 11);
    EXPECT_EQ(ToolTipOf(m, "recorder"), "Record (F12)");
    EXPECT_EQ(Named(&m)["Record"]->text(QAccessible::Accelerator), "F12");

    // A stored binding that names no key leaves the plain words.
    rig.store->WriteInteger("hot", "rec", 40);
    EXPECT_EQ(ToolTipOf(m, "recorder"), "Record");
}

TEST(MainAccessibility, TheListWindowsButtonsAreAnnouncedAndPressable) {
    MainRig rig;
    rig.Start();
    Tfm_main& m = *rig.fm_main;
    m.ShowList(true);
    QCoreApplication::processEvents();
    ASSERT_TRUE(rig.state().list_shown);
    auto named = Named(rig.fm_list);
    for (const char* name : {"Add files", "Remove", "Clear list", "Hide list"}) {
        ASSERT_TRUE(named.count(name)) << name;
        EXPECT_EQ(named[name]->role(), QAccessible::Button) << name;
    }
    Press(named["Hide list"]);
    EXPECT_FALSE(rig.state().list_shown);
}
