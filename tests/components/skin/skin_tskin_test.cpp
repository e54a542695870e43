// TSkin on real (offscreen) windows: mouse input becomes element events, element changes reach
// the screen, and the window's own widgets stay usable on top of the skin.
#include "skintestfiles.h"
#include "tskin.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPointer>
#include <QPushButton>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

struct Event {
    QString kind, name;
    bool operator==(const Event&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Event& e) {
    return os << e.kind.toStdString() << ":" << e.name.toStdString();
}

class SkinnedWindow : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(skin.LoadSkin(DefaultSkinPath())) << skin.LastError().toStdString();
        skin.ApplySkin(&window);
        skin.ApplySkinForm(&window, "mp3recorder");
        form = skin.GetSkinForm(&window);
        ASSERT_NE(form, nullptr);
        window.show();
        QApplication::processEvents();
        QObject::connect(&skin, &TSkin::OnClick, [this](SkinObject* s) {
            events.push_back({"click", s->GetName()});
        });
        QObject::connect(&skin, &TSkin::OnMouseDown, [this](SkinObject* s, int, int, int) {
            events.push_back({"down", s->GetName()});
        });
        QObject::connect(&skin, &TSkin::OnMouseUp, [this](SkinObject* s, int, int, int) {
            events.push_back({"up", s->GetName()});
        });
        QObject::connect(&skin, &TSkin::OnMouseMove,
                         [this](SkinObject* s, int, int) { moves.push_back(s->GetName()); });
    }

    // Mouse input as the window system delivers it: to the widget under the point.
    // While a button is held, the widget that took the press gets everything (the implicit grab).
    void Mouse(QEvent::Type type, QPoint at, Qt::MouseButtons held = Qt::LeftButton) {
        QWidget* target = grabber ? grabber.data() : window.childAt(at);
        if (!target)
            target = &window;
        if (type == QEvent::MouseButtonPress)
            grabber = target;
        if (type == QEvent::MouseButtonRelease)
            grabber = nullptr;
        const QPoint local = target->mapFrom(&window, at);
        QMouseEvent e(type, local, target->mapToGlobal(local),
                      type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, held,
                      Qt::NoModifier);
        QApplication::sendEvent(target, &e);
    }
    void Press(QPoint at) { Mouse(QEvent::MouseButtonPress, at); }
    void Move(QPoint at) { Mouse(QEvent::MouseMove, at); }
    void Release(QPoint at) { Mouse(QEvent::MouseButtonRelease, at, Qt::NoButton); }
    void Click(QPoint at) {
        Press(at);
        Release(at);
    }
    QPoint Centre(const char* name) {
        const SkinRect r = form->FindObject(name)->GetRect();
        return QPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    }
    QImage Screen() { return window.grab().toImage(); }

    TSkin skin{nullptr};
    QWidget window;
    QPointer<QWidget> grabber;
    SkinForm* form = nullptr;
    std::vector<Event> events;
    QStringList moves;
};

} // namespace

TEST_F(SkinnedWindow, ButtonClicksOnReleaseInsideOnly) {
    EXPECT_EQ(window.size(), QSize(453, 260));
    EXPECT_TRUE(window.windowFlags() & Qt::FramelessWindowHint);

    Click(Centre("play"));
    EXPECT_EQ(events, (std::vector<Event>{{"down", "play"}, {"up", "play"}, {"click", "play"}}));

    // Pressed on "stop", slid off and released on "play": down and up, but no click at all.
    events.clear();
    Press(Centre("stop"));
    const QImage pressedLook = Screen();
    Move(Centre("play"));
    EXPECT_NE(Screen(), pressedLook) << "the pressed look goes when the mouse leaves";
    Release(Centre("play"));
    EXPECT_EQ(events, (std::vector<Event>{{"down", "stop"}, {"up", "stop"}}));
    EXPECT_EQ(moves.last(), "stop") << "moves report the held element";

    // Texts, images and the background raise no element events.
    events.clear();
    Click(Centre("s_time"));
    Click(QPoint(5, 100));
    EXPECT_TRUE(events.empty());

    // Hidden buttons are not clickable; the one shown in their place is.
    events.clear();
    Click(Centre("spb2"));
    form->FindObject("spb2")->SetVisible(false);
    form->FindObject("spb1")->SetVisible(true);
    Click(Centre("spb2"));
    EXPECT_EQ(events, (std::vector<Event>{{"down", "spb2"},
                                          {"up", "spb2"},
                                          {"click", "spb2"},
                                          {"down", "spb1"},
                                          {"up", "spb1"},
                                          {"click", "spb1"}}));
}

TEST_F(SkinnedWindow, HoverLookFollowsTheMouse) {
    const QImage before = Screen();
    Move(Centre("recorder"));
    const QImage hovered = Screen();
    EXPECT_NE(hovered, before);
    Move(QPoint(5, 100));
    EXPECT_EQ(Screen(), before);
}

TEST_F(SkinnedWindow, SliderFollowsTheDragAndReportsDownAndUp) {
    SkinObject* volume = form->FindObject("spb");
    volume->SetPosition(0);
    volume->Redraw();
    const SkinRect r = volume->GetRect();
    const int y = (r.top + r.bottom) / 2;
    Press(QPoint(r.left + 1, y));
    EXPECT_EQ(volume->GetPosition(), 0);
    Move(QPoint((r.left + r.right) / 2, y));
    EXPECT_NEAR(volume->GetPosition(), 65534 / 2, 700);
    Move(QPoint(r.right + 40, y)); // past the end while held
    EXPECT_EQ(volume->GetPosition(), 65534);
    Release(QPoint(r.right + 40, y));
    EXPECT_EQ(events, (std::vector<Event>{{"down", "spb"}, {"up", "spb"}}));
    EXPECT_GE(moves.count("spb"), 2);

    // The program's own positions are kept in range.
    volume->SetPosition(70000);
    EXPECT_EQ(volume->GetPosition(), 65534);
    EXPECT_EQ(form->FindObject("play")->GetPosition(), 0) << "buttons have no position";
}

TEST_F(SkinnedWindow, ElementChangesReachTheScreen) {
    SkinObject* time = form->FindObject("s_time");
    const QImage start = Screen();
    time->SetText("01:02:03");
    time->Redraw();
    EXPECT_EQ(time->GetText(), "01:02:03");
    const QImage changed = Screen();
    EXPECT_NE(changed, start);

    time->SetVisible(false);
    const QImage hidden = Screen();
    EXPECT_NE(hidden, changed);
    EXPECT_FALSE(time->IsVisible());

    SkinObject* pb1 = form->FindObject("pb1");
    SkinObject* pb2 = form->FindObject("pb2");
    pb1->SetVisible(true);
    pb2->SetVisible(true);
    SkinRect full = pb2->GetRect();
    const QImage fullBar = Screen();
    SkinRect none = full;
    none.right = none.left;
    pb2->SetRect(none);
    pb2->Redraw();
    EXPECT_EQ(pb2->GetRect(), none);
    EXPECT_NE(Screen(), fullBar);
    pb2->SetRect(full);
    pb2->Redraw();
    EXPECT_EQ(Screen(), fullBar);
}

// Records the areas the window's widgets repaint.
class PaintRecorder : public QObject {
public:
    explicit PaintRecorder(QWidget& window) {
        for (QWidget* w : window.findChildren<QWidget*>())
            w->installEventFilter(this);
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            painted += static_cast<QPaintEvent*>(event)->region().translated(
                static_cast<QWidget*>(watched)->pos());
        return false;
    }
    QRegion painted;
};

TEST_F(SkinnedWindow, AMovedThumbRepaintsTheStretchItTravelledAndNothingElse) {
    // The play bar moves a pixel at a time for as long as a file plays: each step repaints the
    // old and the new thumb and the progress between, not the whole bar and its neighbours.
    SkinObject* bar = form->FindObject("play_bar");
    bar->SetVisible(true);
    form->FindObject("s_filename")->SetText("a recording with a name.mp3");
    form->FindObject("s_filename")->Redraw();
    const SkinRect r = bar->GetRect();
    const int step = (bar->Model()->maximum - bar->Model()->minimum) / (r.right - r.left);
    PaintRecorder recorder(window);
    for (const auto& [from, to] : std::vector<std::pair<int, int>>{
             {1000, 1000 + 2 * step}, {5000, 5000 - 2 * step}, {0, bar->Model()->maximum}}) {
        bar->SetPosition(from);
        bar->Redraw();
        QApplication::processEvents();
        const QImage before = Screen();
        recorder.painted = QRegion();
        ASSERT_TRUE(bar->SetPosition(to));
        bar->Redraw();
        QApplication::processEvents();
        const QRegion painted = recorder.painted; // before the grab paints everything
        const QImage after = Screen();
        int outside = 0, changed = 0;
        for (int y = 0; y < after.height(); ++y)
            for (int x = 0; x < after.width(); ++x)
                if (before.pixel(x, y) != after.pixel(x, y)) {
                    ++changed;
                    outside += !painted.contains(QPoint(x, y));
                }
        EXPECT_GT(changed, 0) << from << " to " << to;
        EXPECT_EQ(outside, 0) << from << " to " << to << ": changed pixels left unpainted";
        const QRect area = painted.boundingRect();
        EXPECT_GE(area.top(), r.top) << "the file name above is not drawn again";
        EXPECT_LE(area.bottom(), r.bottom);
        if (to - from < 3 * step) {
            EXPECT_LT(area.width(), 3 * bar->Model()->thumbSize) << from << " to " << to;
        }
    }
    // A change of the rectangle still repaints the whole element.
    recorder.painted = QRegion();
    SkinRect moved = r;
    moved.top += 1;
    moved.bottom += 1;
    bar->SetRect(moved);
    bar->SetPosition(2000);
    bar->Redraw();
    QApplication::processEvents();
    EXPECT_TRUE(
        recorder.painted.contains(QRect(r.left, r.top, r.right - r.left, r.bottom - r.top)));
}

TEST_F(SkinnedWindow, EngineMinimisesAndClosesAndTheBackgroundDragsTheWindow) {
    const QPoint before = window.pos();
    Press(QPoint(5, 100));
    Move(QPoint(45, 130));
    Release(QPoint(45, 130));
    EXPECT_EQ(window.pos(), before + QPoint(40, 30));

    // A click on the background that wobbles by a pixel is a click, not a drag: the window
    // stays, and the pointer moving afterwards does not carry it along.
    const QPoint placed = window.pos();
    Press(QPoint(5, 100));
    Move(QPoint(6, 101));
    EXPECT_EQ(window.pos(), placed);
    Release(QPoint(6, 101));
    Mouse(QEvent::MouseMove, QPoint(60, 140), Qt::NoButton);
    EXPECT_EQ(window.pos(), placed);

    Click(Centre("min"));
    EXPECT_TRUE(window.isMinimized());
    window.showNormal();
    QApplication::processEvents();

    Click(Centre("close"));
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(events.back(), (Event{"click", "close"}))
        << "the click is reported before the engine acts";
}

TEST_F(SkinnedWindow, ChildWidgetsStayOnTopAndUsable) {
    QWidget list;
    auto* early = new QPushButton("early", &list); // made before the skin
    early->setGeometry(25, 43, 100, 30);
    skin.ApplySkin(&list);
    skin.ApplySkinForm(&list, "recorderlist");
    auto* late = new QPushButton("late", &list);
    late->setGeometry(200, 43, 100, 30);
    list.show();
    QApplication::processEvents();
    EXPECT_EQ(list.size(), QSize(515, 194));
    EXPECT_EQ(list.childAt(30, 50), early);
    EXPECT_EQ(list.childAt(210, 50), late);
    int clicked = 0;
    QObject::connect(early, &QPushButton::clicked, [&] { ++clicked; });
    early->click();
    EXPECT_EQ(clicked, 1);

    // A skin element outside the widgets still answers.
    const SkinRect r = skin.GetSkinForm(&list)->FindObject("del")->GetRect();
    QWidget* surface = list.childAt(r.left + 3, r.top + 3);
    ASSERT_NE(surface, nullptr);
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(r.left + 3, r.top + 3),
                      surface->mapToGlobal(QPoint(r.left + 3, r.top + 3)), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(r.left + 3, r.top + 3),
                        surface->mapToGlobal(QPoint(r.left + 3, r.top + 3)), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(surface, &press);
    QApplication::sendEvent(surface, &release);
    EXPECT_EQ(events.back(), (Event{"click", "del"}));
}

TEST_F(SkinnedWindow, ReapplyRemoveAndUnknownFormsKeepObjectsValid) {
    SkinObject* play = form->FindObject("play");
    skin.ApplySkin(&window);
    skin.ApplySkinForm(&window, "mp3recorder");
    EXPECT_EQ(skin.GetSkinForm(&window)->FindObject("play"), play)
        << "the same form applied again keeps its objects";

    skin.ApplySkinForm(&window, "no such form");
    EXPECT_EQ(skin.LastError(), "the skin has no form \"no such form\"");

    // A listener that unskins the window from inside the click it is handling.
    QWidget dialog;
    skin.ApplySkinForm(&dialog, "options");
    dialog.show();
    QObject::connect(&skin, &TSkin::OnClick, [&](SkinObject* s) {
        if (s->GetName() == "cancel") {
            dialog.close();
            skin.RemoveSkin(&dialog);
        }
    });
    SkinObject* cancel = skin.GetSkinForm(&dialog)->FindObject("cancel");
    const SkinRect r = cancel->GetRect();
    QWidget* surface = dialog.childAt(r.left + 5, r.top + 5);
    ASSERT_NE(surface, nullptr);
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(r.left + 5, r.top + 5), QPointF(),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(r.left + 5, r.top + 5), QPointF(),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(surface, &press);
    QApplication::sendEvent(surface, &release);
    QApplication::processEvents();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(skin.GetSkinForm(&dialog), nullptr);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.childAt(r.left + 5, r.top + 5), nullptr) << "the skin's surface is gone";
    EXPECT_FALSE(dialog.windowFlags() & Qt::FramelessWindowHint) << "the frame is back";
    // Objects of an unskinned window still answer.
    cancel->SetText("x");
    cancel->Redraw();
    EXPECT_EQ(cancel->GetText(), "x");

    // Skinned again, it gets the same form back.
    skin.ApplySkin(&dialog);
    skin.ApplySkinForm(&dialog, "options");
    EXPECT_EQ(skin.GetSkinForm(&dialog)->FindObject("cancel"), cancel);
}

namespace {

// A window that skins itself the first time it is shown, as the main window does.
class SelfSkinning : public QWidget {
public:
    explicit SelfSkinning(TSkin& skin) : skin_(skin) {}
    int shows = 0;

protected:
    void showEvent(QShowEvent* event) override {
        QWidget::showEvent(event);
        if (shows++ == 0) {
            skin_.ApplySkin(this);
            skin_.ApplySkinForm(this, "mp3recorder");
        }
    }

private:
    TSkin& skin_;
};

} // namespace

TEST(SkinnedFromShowEvent, WindowEndsShownFramelessAndSkinned) {
    TSkin skin{nullptr};
    ASSERT_TRUE(skin.LoadSkin(DefaultSkinPath()));
    SelfSkinning window(skin);
    window.show();
    QApplication::processEvents();
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(window.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(window.size(), QSize(453, 260));
    ASSERT_NE(skin.GetSkinForm(&window), nullptr);
    EXPECT_NE(window.childAt(226, 130), nullptr) << "the surface covers the window";
}

// Where windows cannot be cut to a shape (Wayland; the offscreen platform here), a rounded form
// leaves its corners see-through instead of filling them with the window's grey; where they
// can (X11), the mask does it and the window stays opaque.
TEST_F(SkinnedWindow, RoundedCornersAreSeeThroughWhereMasksAreMissing) {
    EXPECT_TRUE(TSkin::PlatformHasWindowMasks("xcb"));
    EXPECT_FALSE(TSkin::PlatformHasWindowMasks("wayland"));
    EXPECT_FALSE(TSkin::PlatformHasWindowMasks("wayland-egl"));
    EXPECT_FALSE(TSkin::PlatformHasWindowMasks("offscreen"));

    ASSERT_FALSE(TSkin::PlatformHasWindowMasks(QGuiApplication::platformName()));
    EXPECT_TRUE(window.testAttribute(Qt::WA_TranslucentBackground));
    EXPECT_TRUE(window.mask().isEmpty());
    const QImage shown = Screen();
    const int w = shown.width(), h = shown.height();
    for (const QPoint corner :
         {QPoint(0, 0), QPoint(w - 1, 0), QPoint(0, h - 1), QPoint(w - 1, h - 1)})
        EXPECT_EQ(qAlpha(shown.pixel(corner)), 0) << corner.x() << "," << corner.y();
    EXPECT_EQ(qAlpha(shown.pixel(w / 2, 2)), 255) << "the edge inside the shape is painted";
    EXPECT_EQ(qAlpha(shown.pixel(w / 2, h / 2)), 255);

    // Applying the form again changes nothing; unskinned, the window is opaque again.
    skin.ApplySkinForm(&window, "mp3recorder");
    EXPECT_TRUE(window.testAttribute(Qt::WA_TranslucentBackground));
    skin.RemoveSkin(&window);
    EXPECT_FALSE(window.testAttribute(Qt::WA_TranslucentBackground));
    EXPECT_FALSE(window.testAttribute(Qt::WA_NoSystemBackground));
    EXPECT_EQ(qAlpha(Screen().pixel(0, 0)), 255);
}
