// A kept text line must land on the very pixels QPainter::drawText gives, and its ink must stay
// where it says.
#include "skintextline.h"

#include <QImage>
#include <QPainter>
#include <functional>
#include <gtest/gtest.h>

namespace {

struct Case {
    const char* what;
    QString text;
    QString family;
    int pixelSize;
    bool bold = false;
    bool italic = false;
    double letterSpacing = 0;
    QRectF box;
    int align = Qt::AlignLeft | Qt::AlignVCenter;
};

QFont FontOf(const Case& c) {
    QFont font(c.family);
    font.setPixelSize(c.pixelSize);
    font.setBold(c.bold);
    font.setItalic(c.italic);
    if (c.letterSpacing != 0)
        font.setLetterSpacing(QFont::AbsoluteSpacing, c.letterSpacing);
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

// The case drawn by `draw` on a picture of `format`, as the skin paints: antialiased, over a
// background, the painter moved by a whole number of pixels as a window's child is. A window's
// painter lays text out left to right; a picture's by the text.
QImage Drawn(const Case& c, QImage::Format format, Qt::LayoutDirection direction,
             const std::function<void(QPainter&)>& draw) {
    QImage image(260, 90, format);
    image.fill(QColor(0x20, 0x30, 0x40));
    QPainter p(&image);
    p.setLayoutDirection(direction);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    p.translate(3, 5);
    p.setFont(FontOf(c));
    p.setPen(QColor(0x6e, 0xe7, 0xff));
    draw(p);
    return image;
}

std::vector<Case> Cases() {
    const QRectF label(10, 8, 168, 18), wide(4, 4, 232, 58);
    const int left = Qt::AlignLeft | Qt::AlignVCenter, right = Qt::AlignRight | Qt::AlignVCenter,
              centre = Qt::AlignCenter;
    return {
        {"the time", "00:12:34", "DejaVu Sans Mono", 46, true, false, 0, wide, left},
        {"the size, right", "123456 KB", "DejaVu Sans Mono", 13, true, false, 0, label, right},
        {"a label, centred", "Tarno MP3 Recorder", "DejaVu Sans", 12, false, false, 0, label,
         centre},
        {"letter spacing", "Tarno MP3 Recorder", "DejaVu Sans", 12, true, false, 0.4, label, left},
        {"letter spacing, right", "Recordings", "DejaVu Sans", 12, true, false, 0.4, label, right},
        {"an accented capital, right", "ÅÉÎ Ǻ gjpqy", "DejaVu Sans", 13, false, false, 0, label,
         right},
        {"cut with an ellipsis", "2026-12-09 a recording with a name far too long for it…",
         "DejaVu Sans", 13, false, false, 0, QRectF(10, 8, 120, 20), left},
        {"spilling past its box, cut to it", "Wjf overflowing", "DejaVu Serif", 30, false, true, 0,
         QRectF(60, 20, 100, 36), right},
        {"taller than its box", "Åjg", "DejaVu Sans", 30, false, false, 0, QRectF(20, 30, 80, 12),
         centre},
        {"a box on fractions of a pixel", "Play", "DejaVu Sans", 12, true, false, 0,
         QRectF(31.7, 6.25, 40.3, 23.5), left},
        {"top and bottom", "top", "DejaVu Sans", 11, false, false, 0, label,
         Qt::AlignHCenter | Qt::AlignTop},
        {"bottom", "Ωμέγα ЖЩ", "DejaVu Sans", 11, false, false, 0, label,
         Qt::AlignRight | Qt::AlignBottom},
        {"right to left letters", "שלום abc", "DejaVu Sans", 12, false, false, 0, label, left},
        {"left to drawText: a tab", "a\tb", "DejaVu Sans", 12, false, false, 0, label, left},
        {"left to drawText: trailing space", "a b ", "DejaVu Sans", 12, false, false, 0, label,
         right},
        {"left to drawText: a line feed", "a\nb", "DejaVu Sans", 12, false, false, 0, label, left},
    };
}

} // namespace

TEST(SkinTextLine, LandsOnThePixelsDrawTextGives) {
    for (const Qt::LayoutDirection direction : {Qt::LeftToRight, Qt::LayoutDirectionAuto})
        for (const QImage::Format format :
             {QImage::Format_ARGB32_Premultiplied, QImage::Format_RGB32})
            for (const Case& c : Cases()) {
                SkinTextLine line;
                line.Set(c.text, c.box, c.align);
                const auto drawn = [&](const Case& how,
                                       const std::function<void(QPainter&)>& draw) {
                    return Drawn(how, format, direction, draw);
                };
                const QImage expected = drawn(c, [&](QPainter& p) {
                    p.drawText(c.box, c.align | Qt::TextSingleLine, c.text);
                });
                EXPECT_EQ(drawn(c, [&](QPainter& p) { line.Draw(p); }), expected)
                    << c.what << ", format " << format << ", direction " << direction;
                // Drawn again from the kept layout, and after the painter's font changed and back.
                EXPECT_EQ(drawn(c, [&](QPainter& p) { line.Draw(p); }), expected) << c.what;
                Case other = c;
                other.pixelSize += 3;
                drawn(other, [&](QPainter& p) { line.Draw(p); });
                EXPECT_EQ(drawn(c, [&](QPainter& p) { line.Draw(p); }), expected) << c.what;
            }
}

TEST(SkinTextLine, InkStaysWithinItsBoundsAndIsFoundWhereItIs) {
    for (const Case& c : Cases()) {
        SkinTextLine line;
        line.Set(c.text, c.box, c.align);
        QImage image(260, 90, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        std::optional<QRectF> bounds;
        {
            QPainter p(&image);
            p.setRenderHint(QPainter::Antialiasing, true);
            p.setRenderHint(QPainter::TextAntialiasing, true);
            p.setFont(FontOf(c));
            p.setPen(Qt::white);
            bounds = line.InkBounds(p);
            line.Draw(p);
        }
        QRect inked;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (qAlpha(image.pixel(x, y)) != 0)
                    inked |= QRect(x, y, 1, 1);
        ASSERT_FALSE(inked.isEmpty()) << c.what;
        if (bounds) {
            EXPECT_TRUE(bounds->contains(QRectF(inked))) << c.what;
        }

        // The scratch look finds ink in an area exactly where the drawing left some: strips
        // across the picture and small squares around the ink's edges.
        QPainter p(&image);
        p.setFont(FontOf(c));
        const auto inkIn = [&](const QRect& area) {
            for (int y = area.top(); y <= area.bottom(); ++y)
                for (int x = area.left(); x <= area.right(); ++x)
                    if (image.rect().contains(x, y) && qAlpha(image.pixel(x, y)) != 0)
                        return true;
            return false;
        };
        std::vector<QRect> areas;
        for (int y = 0; y < image.height(); y += 3)
            areas.emplace_back(0, y, image.width(), 3);
        for (const QPoint corner :
             {inked.topLeft(), inked.topRight(), inked.bottomLeft(), inked.bottomRight()})
            for (int d = -3; d <= 3; ++d)
                areas.emplace_back(corner + QPoint(d, d) - QPoint(1, 1), QSize(2, 2));
        for (const QRect& area : areas)
            EXPECT_EQ(line.InkIn(p, area), inkIn(area))
                << c.what << " at " << area.x() << "," << area.y();
    }
}
