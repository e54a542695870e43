// The skin surface as assistive technology sees it, with words a test gives: the press action
// reports what a mouse click reports, and interfaces handed out stay safe when the form changes
// or the skin goes.
#include "skintestfiles.h"
#include "tskin.h"

#include <QAccessible>
#include <QApplication>
#include <QHelpEvent>
#include <QPointer>
#include <QToolTip>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

// Buttons are announced by name, "s_time" as a text; everything else is left out.
SkinElementInfo Words(const QString&, const SkinElementModel& e) {
    SkinElementInfo info;
    if (e.kind == SkinKind::Button) {
        info.name = e.name;
        info.role = QAccessible::Button;
        info.toolTip = QStringLiteral("tip ") + e.name;
    } else if (e.name == QLatin1String("s_time")) {
        info.name = e.name;
        info.role = QAccessible::StaticText;
    }
    return info;
}

QAccessibleInterface* SurfaceOf(QWidget& window) {
    return QAccessible::queryAccessibleInterface(
        window.findChild<QWidget*>(QStringLiteral("skin_surface")));
}

QAccessibleInterface* ChildNamed(QAccessibleInterface* surface, const QString& name) {
    for (int i = 0; i < surface->childCount(); ++i)
        if (surface->child(i)->text(QAccessible::Name) == name)
            return surface->child(i);
    return nullptr;
}

class AccessibleSkin : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(skin.LoadSkin(DefaultSkinPath())) << skin.LastError().toStdString();
        skin.ApplySkin(window);
        skin.ApplySkinForm(window, "mp3recorder");
        window->show();
        QApplication::processEvents();
        const auto log = [this](const char* kind) {
            return [this, kind](SkinObject* s) { events << kind + (":" + s->GetName()); };
        };
        QObject::connect(&skin, &TSkin::OnClick, log("click"));
        QObject::connect(&skin, &TSkin::OnMouseDown,
                         [f = log("down")](SkinObject* s, int, int, int) { f(s); });
        QObject::connect(&skin, &TSkin::OnMouseUp,
                         [f = log("up")](SkinObject* s, int, int, int) { f(s); });
    }
    void TearDown() override { delete window.data(); }

    TSkin skin{nullptr};
    QPointer<QWidget> window = new QWidget;
    QStringList events;
};

} // namespace

TEST_F(AccessibleSkin, NothingIsAnnouncedOrTippedUntilTheProgramGivesWords) {
    QAccessibleInterface* surface = SurfaceOf(*window);
    ASSERT_NE(surface, nullptr);
    EXPECT_EQ(surface->childCount(), 0);
    QWidget* surfaceWidget = window->findChild<QWidget*>(QStringLiteral("skin_surface"));
    const SkinRect r = skin.GetSkinForm(window)->FindObject("stop")->GetRect();
    const QPoint at(r.left + 2, r.top + 2);
    QHelpEvent help(QEvent::ToolTip, at, surfaceWidget->mapToGlobal(at));
    QApplication::sendEvent(surfaceWidget, &help);
    EXPECT_FALSE(help.isAccepted());

    skin.SetDescriber(Words);
    int buttons = 0;
    for (int i = 0; i < surface->childCount(); ++i)
        buttons += surface->child(i)->role() == QAccessible::Button;
    EXPECT_GE(buttons, 12);
    EXPECT_NE(ChildNamed(surface, "s_time"), nullptr);
    EXPECT_EQ(ChildNamed(surface, "display"), nullptr);
}

TEST_F(AccessibleSkin, PressReportsAClickAndCloseStillCloses) {
    skin.SetDescriber(Words);
    QAccessibleInterface* surface = SurfaceOf(*window);
    QAccessibleInterface* stop = ChildNamed(surface, "stop");
    ASSERT_NE(stop, nullptr);
    // The click comes from the event loop, after the request has been answered.
    stop->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_TRUE(events.isEmpty());
    QCoreApplication::processEvents();
    EXPECT_EQ(events, (QStringList{"down:stop", "up:stop", "click:stop"}));

    // A press whose form is replaced before its turn comes does nothing.
    events.clear();
    stop->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    skin.ApplySkinForm(window, "recorderlist");
    QCoreApplication::processEvents();
    EXPECT_TRUE(events.isEmpty());
    skin.ApplySkinForm(window, "mp3recorder");

    // Texts have no action.
    EXPECT_EQ(ChildNamed(surface, "s_time")->actionInterface(), nullptr);

    // The engine's own buttons act after the click is reported, as with the mouse.
    events.clear();
    ChildNamed(surface, "close")
        ->actionInterface()
        ->doAction(QAccessibleActionInterface::pressAction());
    QCoreApplication::processEvents();
    EXPECT_EQ(events, (QStringList{"down:close", "up:close", "click:close"}));
    EXPECT_FALSE(window->isVisible());
}

TEST_F(AccessibleSkin, InterfacesOfAnEarlierFormOrARemovedSkinGoInvalid) {
    skin.SetDescriber(Words);
    QAccessibleInterface* surface = SurfaceOf(*window);
    QAccessibleInterface* record = ChildNamed(surface, "recorder");
    ASSERT_NE(record, nullptr);
    const QAccessible::Id id = QAccessible::uniqueId(record);

    // Another form on the same window: the old element is gone, the new form's are there.
    skin.ApplySkinForm(window, "recorderlist");
    EXPECT_FALSE(record->isValid());
    EXPECT_EQ(ChildNamed(surface, "recorder"), nullptr);
    EXPECT_EQ(QAccessible::accessibleInterface(id), nullptr);
    QAccessibleInterface* clear = ChildNamed(surface, "clear");
    ASSERT_NE(clear, nullptr);

    // The tooltip of the new form's element, and none over its background.
    QWidget* surfaceWidget = window->findChild<QWidget*>(QStringLiteral("skin_surface"));
    const QRect r = clear->rect();
    const QPoint at = surfaceWidget->mapFromGlobal(r.center());
    QHelpEvent help(QEvent::ToolTip, at, r.center());
    QApplication::sendEvent(surfaceWidget, &help);
    EXPECT_TRUE(help.isAccepted());
    EXPECT_EQ(QToolTip::text(), "tip clear");

    // Unskinned: the surface goes with its interface and its children's.
    const QAccessible::Id clearId = QAccessible::uniqueId(clear);
    skin.RemoveSkin(window);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(window->findChild<QWidget*>(QStringLiteral("skin_surface")), nullptr);
    EXPECT_EQ(QAccessible::accessibleInterface(clearId), nullptr);
}
