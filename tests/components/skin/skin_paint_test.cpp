// Painting and hit-testing the plain model, without a window.
#include "skinhittest.h"
#include "skinpainter.h"
#include "skinparser.h"
#include "skintestfiles.h"

#include <QBuffer>
#include <QPainter>
#include <functional>
#include <gtest/gtest.h>
#include <set>

namespace {

struct Loaded {
    std::shared_ptr<SkinModel> model;
    SkinFormModel form;
};

Loaded MainForm() {
    SkinParseResult r = LoadSkinFile(DefaultSkinPath());
    EXPECT_TRUE(r.ok()) << r.error.toStdString();
    return {r.model, *r.model->Form("mp3recorder")};
}

QRect Area(const SkinElementModel& e) {
    return QRect(e.rect.left, e.rect.top, e.rect.right - e.rect.left, e.rect.bottom - e.rect.top);
}

// Pixels in `area` close to `colour` (each channel within 40).
int CountNear(const QImage& image, const QRect& area, const QColor& colour) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - colour.red()) < 40 &&
                std::abs(c.green() - colour.green()) < 40 &&
                std::abs(c.blue() - colour.blue()) < 40)
                ++n;
        }
    return n;
}

// The largest difference of any colour channel or alpha between two images of one size.
int LargestDifference(const QImage& a, const QImage& b) {
    int most = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            most = std::max({most, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                             std::abs(qBlue(p) - qBlue(q)), std::abs(qAlpha(p) - qAlpha(q))});
        }
    return most;
}

} // namespace

TEST(SkinPainter, IdleMainFormIsDrawnAndShowsTheTimeField) {
    Loaded l = MainForm();
    const QImage image = RenderSkinForm(*l.model, l.form);
    ASSERT_EQ(image.size(), QSize(453, 260));

    std::set<QRgb> colours;
    for (int y = 0; y < image.height(); y += 3)
        for (int x = 0; x < image.width(); x += 3)
            colours.insert(image.pixel(x, y));
    EXPECT_GT(colours.size(), 50u) << "a real face, not a flat fill";

    // The time text in its colour, and nothing of that colour once the text is gone.
    const SkinElementModel& time = *l.form.Find("s_time");
    const int lit = CountNear(image, Area(time), time.textColor);
    EXPECT_GT(lit, 400);
    l.form.Find("s_time")->text.clear();
    EXPECT_LT(CountNear(RenderSkinForm(*l.model, l.form), Area(time), time.textColor), lit / 20);

    // The rounded window leaves its corners transparent, and the mask leaves them out.
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(image.pixel(226, 130)), 255);
    const QRegion mask = SkinFormMask(l.form);
    EXPECT_FALSE(mask.contains(QPoint(0, 0)));
    EXPECT_TRUE(mask.contains(QPoint(226, 130)));
    EXPECT_TRUE(mask.contains(QPoint(452, 130)));
}

TEST(SkinPainter, ProgressWidthVisibilityAndHoverChangeThePicture) {
    Loaded l = MainForm();
    SkinElementModel& pb1 = *l.form.Find("pb1");
    SkinElementModel& pb2 = *l.form.Find("pb2");
    pb1.visible = pb2.visible = true;
    const QColor fillEnd = pb2.normal.fill.stops.back().second;
    const int y = (pb2.rect.top + pb2.rect.bottom) / 2;
    const int left = pb2.rect.left;

    pb2.rect.right = left; // nothing played yet
    QImage image = RenderSkinForm(*l.model, l.form);
    EXPECT_EQ(CountNear(image, QRect(left, y, 320, 1), fillEnd), 0);

    pb2.rect.right = left + 320; // the whole file
    image = RenderSkinForm(*l.model, l.form);
    EXPECT_GT(CountNear(image, QRect(left + 300, y, 18, 1), fillEnd), 10);

    pb2.rect.right = left + 160; // half way: the right half is the track only
    image = RenderSkinForm(*l.model, l.form);
    EXPECT_EQ(CountNear(image, QRect(left + 170, y, 140, 1), fillEnd), 0);

    // Showing the muted icon instead of the speaker changes that spot.
    const QImage speaker = RenderSkinForm(*l.model, l.form).copy(Area(*l.form.Find("spb2")));
    l.form.Find("spb2")->visible = false;
    l.form.Find("spb1")->visible = true;
    EXPECT_NE(RenderSkinForm(*l.model, l.form).copy(Area(*l.form.Find("spb1"))), speaker);

    // Hover and pressed looks of a button differ from its normal look and from each other.
    const SkinElementModel* play = l.form.Find("play");
    const QImage normal = RenderSkinForm(*l.model, l.form).copy(Area(*play));
    const QImage hover = RenderSkinForm(*l.model, l.form, {play, nullptr}).copy(Area(*play));
    const QImage pressed = RenderSkinForm(*l.model, l.form, {play, play}).copy(Area(*play));
    EXPECT_NE(normal, hover);
    EXPECT_NE(hover, pressed);
    EXPECT_NE(normal, pressed);
}

TEST(SkinPainter, RepaintingOnlyTheChangedAreaGivesTheWholePicture) {
    // The window repaints just the areas that changed, over what it showed before. Every such
    // partial repaint must leave exactly the picture a full repaint gives: near the rounded
    // corners, over neighbours, and where elements overlap.
    Loaded l = MainForm();
    const auto paintOver = [&](QImage& image, const QRegion& area) {
        QPainter p(&image);
        p.setClipRegion(area);
        // As the window does, the area is cleared first.
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.fillRect(image.rect(), Qt::transparent);
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
        PaintSkinForm(p, *l.model, l.form);
    };
    const auto around = [](const SkinElementModel& e) { return Area(e).adjusted(-2, -2, 2, 2); };
    QImage shown = RenderSkinForm(*l.model, l.form);

    SkinElementModel& time = *l.form.Find("s_time");
    SkinElementModel& size = *l.form.Find("s_sizeson");
    SkinElementModel& name = *l.form.Find("s_filename");
    SkinElementModel& bar = *l.form.Find("play_bar");
    SkinElementModel& pb2 = *l.form.Find("pb2");
    l.form.Find("pb1")->visible = pb2.visible = bar.visible = true;
    paintOver(shown, QRegion(0, 0, l.form.width, l.form.height));
    struct Change {
        std::function<void()> apply;
        QRegion area;
    };
    const std::vector<Change> changes = {
        {[&] { time.text = "01:02:03"; }, around(time)},
        {[&] { size.text = "123456 KB"; }, around(size)},
        {[&] { name.text = QString(300, QChar(0xDC)); }, around(name)},
        {[&] { bar.position = 4000; }, around(bar)},
        {[&] { pb2.rect.right = pb2.rect.left + 100; }, around(pb2)},
        // Two areas far apart at once, the rounded corners of the window, and just inside
        // its outline.
        {[&] { time.text = "11:22:33", bar.position = 9000; }, QRegion(around(time)) + around(bar)},
        {[] {}, QRegion(0, 0, 8, 8) + QRegion(l.form.width - 8, l.form.height - 8, 8, 8)},
        // Just inside the window's outline, and slivers over the edge of every element.
        {[] {}, QRegion(3, 4, 3, 3)},
        {[] {}, QRegion(4, 5, 3, 3)},
        {[] {}, QRegion(5, 5, 3, 3)},
    };
    for (std::size_t i = 0; i < changes.size(); ++i) {
        changes[i].apply();
        paintOver(shown, changes[i].area);
        EXPECT_EQ(shown, RenderSkinForm(*l.model, l.form)) << "change " << i;
    }
    // Slivers over the edges of each element, as a neighbour's repaint may touch them.
    shown = RenderSkinForm(*l.model, l.form);
    for (const SkinElementModel& e : l.form.elements) {
        paintOver(shown, QRegion(e.rect.left - 2, e.rect.top, 3, 2));
        paintOver(shown, QRegion(e.rect.right - 1, e.rect.bottom - 1, 3, 2));
        EXPECT_EQ(shown, RenderSkinForm(*l.model, l.form)) << e.name.toStdString();
    }
    // Small areas at each step inward from the middle of every side, where a box's outline and
    // rounded corners give way to its plain inside. Antialiased icons cut by a small clip may
    // come out up to two levels apart; an outline or corner drawn wrong is far more. (A
    // scaled picture cut by a small clip is sampled a little differently; the logo is left out.)
    shown = RenderSkinForm(*l.model, l.form);
    for (const SkinElementModel& e : l.form.elements) {
        if (!e.image.isEmpty())
            continue;
        const int midX = (e.rect.left + e.rect.right) / 2, midY = (e.rect.top + e.rect.bottom) / 2;
        for (int in = 0; in <= 12; ++in) {
            paintOver(shown, QRegion(midX - 3, e.rect.top + in, 6, 1));
            paintOver(shown, QRegion(midX - 3, e.rect.bottom - 1 - in, 6, 1));
            paintOver(shown, QRegion(e.rect.left + in, midY - 1, 1, 3));
            paintOver(shown, QRegion(e.rect.right - 1 - in, midY - 1, 1, 3));
            paintOver(shown, QRegion(e.rect.left + in, e.rect.top + in, 2, 2));
        }
        EXPECT_LE(LargestDifference(shown, RenderSkinForm(*l.model, l.form)), 2)
            << e.name.toStdString();
    }
}

TEST(SkinPainter, TextSpillingPastItsBoxIsDrawnAgainWhereverANeighbourIsRepainted) {
    // A line of text is cut to its box, but the ink of a line that fits may still reach past
    // it: a slanted letter past the line's end or start, an accent above a capital. A repaint
    // of an area around the box must draw that text again, or the part in the area is lost.
    // The repaints keep their text layouts in a cache, as the window does, and the texts change
    // between them.
    const QByteArray skin = R"({"format": "tarno-skin 1", "name": "t",
        "forms": [{"name": "f", "size": [240, 170], "background": "#203040",
          "elements": [
            {"name": "right", "kind": "text", "rect": [60, 20, 160, 36], "text": "Wjf",
             "color": "#ffffff", "align": "right middle",
             "font": {"family": "DejaVu Serif", "size": 30, "italic": true}},
            {"name": "left", "kind": "text", "rect": [20, 90, 200, 36], "text": "jǺÅ",
             "color": "#ffcc00", "align": "left middle",
             "font": {"family": "DejaVu Sans", "size": 30, "italic": true}},
            {"name": "next", "kind": "text", "rect": [20, 60, 40, 12], "text": "x",
             "font": {"size": 9}}]}]})";
    const SkinParseResult r = ParseSkin(skin, "t.skn");
    ASSERT_TRUE(r.ok()) << r.error.toStdString();
    SkinFormModel form = *r.model->Form("f");
    SkinTextCache texts;
    QImage shown(form.width, form.height, QImage::Format_ARGB32_Premultiplied);
    const auto paintOver = [&](const QRegion& area) {
        QPainter p(&shown);
        p.setClipRegion(area);
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.fillRect(shown.rect(), Qt::transparent);
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
        PaintSkinForm(p, *r.model, form, {nullptr, nullptr, &texts});
    };
    for (const QString& text : {QStringLiteral("Wjf"), QStringLiteral("jǺÅf"), QString()}) {
        form.Find("right")->text = text;
        form.Find("left")->text = text.isEmpty() ? QStringLiteral("jǺÅ") : text;
        paintOver(QRect(0, 0, form.width, form.height));
        ASSERT_EQ(shown, RenderSkinForm(*r.model, form));
        // Small areas in rings around each box, from touching it to well clear of it.
        for (const SkinElementModel& e : form.elements) {
            const QRect box = Area(e);
            for (int d = 1; d <= 24; d += 2) {
                const QRect ring = box.adjusted(-d, -d, d, d);
                for (int x = ring.left(); x <= ring.right(); x += 4) {
                    paintOver(QRegion(x, ring.top(), 2, 2));
                    paintOver(QRegion(x, ring.bottom() - 1, 2, 2));
                }
                for (int y = ring.top(); y <= ring.bottom(); y += 4) {
                    paintOver(QRegion(ring.left(), y, 2, 2));
                    paintOver(QRegion(ring.right() - 1, y, 2, 2));
                }
            }
            EXPECT_EQ(shown, RenderSkinForm(*r.model, form))
                << e.name.toStdString() << " with " << text.toStdString();
        }
    }
}

TEST(SkinPainter, ATiledImageRepeatsFromTheFormOriginWhateverItsSize) {
    // A 3x5 pattern with no two pixels alike, tiled over a box that starts off the pattern's
    // grid: each pixel must show the pattern at its position in the form.
    QImage pattern(3, 5, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 3; ++x)
            pattern.setPixel(x, y, qRgb(40 * x + 20, 30 * y + 10, 200));
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    pattern.save(&buffer, "PNG");
    const QByteArray skin = R"({"format": "tarno-skin 1", "name": "t",
        "images": {"p": ")" +
                            png.toBase64() + R"("},
        "forms": [{"name": "f", "size": [200, 150], "background": "#000000",
          "elements": [{"name": "lines", "kind": "image", "rect": [7, 11, 180, 130],
                        "fill": {"image": "p", "mode": "tile"}}]}]})";
    const SkinParseResult r = ParseSkin(skin, "t.skn");
    ASSERT_TRUE(r.ok()) << r.error.toStdString();
    const QImage image = RenderSkinForm(*r.model, *r.model->Form("f"));
    int wrong = 0;
    for (int y = 11; y < 141; ++y)
        for (int x = 7; x < 187; ++x)
            wrong += image.pixel(x, y) != pattern.pixel(x % 3, y % 5);
    EXPECT_EQ(wrong, 0);
}

TEST(SkinPainter, OddGeometryFromTheProgramIsDrawnWithoutHarm) {
    Loaded l = MainForm();
    SkinElementModel& pb2 = *l.form.Find("pb2");
    pb2.visible = true;
    pb2.rect.right = pb2.rect.left - 50; // a right edge left of the left one
    l.form.Find("s_time")->rect = SkinRect{-100, -100, 10000, 10000};
    l.form.Find("spb")->position = 70000; // beyond the range
    l.form.Find("s_filename")->text = QString(5000, QChar('W'));
    const QImage image = RenderSkinForm(*l.model, l.form);
    EXPECT_EQ(image.size(), QSize(453, 260));
}

TEST(SkinHitTest, TopmostVisibleElementAndTheBackground) {
    Loaded l = MainForm();
    const auto nameAt = [&](int x, int y) {
        const SkinElementModel* e = HitTest(l.form, QPoint(x, y));
        return e ? e->name : QStringLiteral("<background>");
    };
    const SkinElementModel& stop = *l.form.Find("stop");
    EXPECT_EQ(nameAt(stop.rect.left, stop.rect.top), "stop");
    EXPECT_EQ(nameAt(stop.rect.right - 1, stop.rect.bottom - 1), "stop");
    EXPECT_NE(nameAt(stop.rect.right, stop.rect.top + 5), "stop") << "right edge is exclusive";
    EXPECT_EQ(nameAt(5, 100), "<background>");

    // spb1 and spb2 share a place: the visible one answers, whichever lies on top.
    const SkinElementModel& spb2 = *l.form.Find("spb2");
    const int x = spb2.rect.left + 5, y = spb2.rect.top + 5;
    EXPECT_EQ(nameAt(x, y), "spb2");
    l.form.Find("spb2")->visible = false;
    EXPECT_EQ(nameAt(x, y), "display_lines") << "hidden elements are not hit";
    l.form.Find("spb1")->visible = true;
    EXPECT_EQ(nameAt(x, y), "spb1");

    // The play bar lies over pb1 and pb2 and is hit only while shown.
    const SkinElementModel& bar = *l.form.Find("play_bar");
    const QPoint mid((bar.rect.left + bar.rect.right) / 2, (bar.rect.top + bar.rect.bottom) / 2);
    EXPECT_FALSE(TakesMouse(*HitTest(l.form, mid)));
    l.form.Find("pb1")->visible = l.form.Find("pb2")->visible = l.form.Find("play_bar")->visible =
        true;
    EXPECT_EQ(nameAt(mid.x(), mid.y()), "play_bar");
}

TEST(SkinHitTest, SliderPositionFollowsThePointAndStaysInRange) {
    SkinElementModel s;
    s.kind = SkinKind::Slider;
    s.rect = SkinRect{18, 127, 350, 139};
    s.minimum = 0;
    s.maximum = 9820;
    s.thumbSize = 12;
    EXPECT_EQ(SliderPositionAt(s, QPoint(0, 130)), 0);
    EXPECT_EQ(SliderPositionAt(s, QPoint(24, 130)), 0);
    EXPECT_EQ(SliderPositionAt(s, QPoint(344, 130)), 9820);
    EXPECT_EQ(SliderPositionAt(s, QPoint(1000, 130)), 9820);
    EXPECT_NEAR(SliderPositionAt(s, QPoint(184, 130)), 4910, 20);
    // The thumb's centre sits where the progress image's right edge is: left + pos * 320 / 9820.
    s.position = 4910;
    EXPECT_NEAR(SliderThumbRect(s).center().x(), 24 + 160, 0.6);

    // Vertical sliders grow upwards.
    s.vertical = true;
    s.rect = SkinRect{0, 0, 10, 112};
    s.maximum = 100;
    EXPECT_EQ(SliderPositionAt(s, QPoint(5, 0)), 100);
    EXPECT_EQ(SliderPositionAt(s, QPoint(5, 111)), 0);

    // A slider no longer than its thumb has nowhere to go.
    s.vertical = false;
    s.rect = SkinRect{0, 0, 8, 8};
    EXPECT_EQ(SliderPositionAt(s, QPoint(4, 4)), 0);
}
