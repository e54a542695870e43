#pragma once

#include <QFont>
#include <QRectF>
#include <QString>
#include <memory>
#include <optional>

class QPainter;
class QTextLayout;

// One line of text in a box, drawn on the pixels QPainter::drawText(box, align |
// Qt::TextSingleLine, text) gives, but shaped once: drawText lays the text out again at every
// call, which costs far more than drawing its glyphs. The layout is kept until the text, box or
// alignment changes, or the painter's font (as the painter resolves it) differs from the one it
// was made for.
//
// What drawText treats specially is left to drawText itself, at its cost: control characters,
// tabs, line and paragraph separators, white space at either end, justified or baseline
// alignment, and lines laid out right to left.
class SkinTextLine {
public:
    SkinTextLine();
    ~SkinTextLine();
    SkinTextLine(SkinTextLine&&) noexcept;
    SkinTextLine& operator=(SkinTextLine&&) noexcept;

    void Set(const QString& text, const QRectF& box, int align);
    const QString& Text() const { return text_; }

    // Draws the line with the painter's font and pen.
    void Draw(QPainter& p);

    // Where drawing the line with `p` may leave ink: its glyphs' outlines and a pixel around
    // them for antialiasing, within the box where drawText cuts the line to it; empty for no
    // ink. Nothing when that cannot be told from the outlines, as for a text drawText draws
    // itself: then the ink may lie anywhere near the box.
    std::optional<QRectF> InkBounds(QPainter& p);

    // Whether drawing the line with `p` leaves ink in any pixel of `area`: the line is drawn
    // the same way, at the same fraction of a pixel, into a scratch picture of the area, and
    // looked at. `p` is not drawn on.
    bool InkIn(QPainter& p, const QRect& area);

private:
    // Lays the line out for the painter; false when drawText must draw it.
    bool Prepare(const QPainter& p);
    void DrawLaidOut(QPainter& p) const;

    QString text_;
    QRectF box_;
    int align_ = 0;
    bool plain_ = false; // the text and alignment allow a kept layout

    std::unique_ptr<QTextLayout> layout_; // null: not laid out yet
    QFont font_;                          // the font and direction the layout was made for
    Qt::LayoutDirection direction_ = Qt::LeftToRight;
    QPointF origin_;    // where the line is drawn from
    bool clip_ = false; // the line overflows its box and is cut to it
    bool inkKnown_ = false;
    std::optional<QRectF> ink_;
};
