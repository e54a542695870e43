#include "skinpainter.h"

#include "skinhittest.h"
#include "skinicons.h"

#include <QFontMetrics>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygon>
#include <algorithm>
#include <cmath>

namespace {

QRectF ToRectF(const SkinRect& r) {
    return QRectF(r.left, r.top, std::max(0, r.right - r.left), std::max(0, r.bottom - r.top));
}

double CornerRadius(const QRectF& box, double radius) {
    return std::min({radius, box.width() / 2, box.height() / 2});
}

QPainterPath BoxPath(const QRectF& box, double radius) {
    QPainterPath path;
    const double r = CornerRadius(box, radius);
    if (r > 0)
        path.addRoundedRect(box, r, r);
    else
        path.addRect(box);
    return path;
}

const QImage* FindImage(const SkinModel& images, const QString& name) {
    const auto it = images.images.find(name);
    return it == images.images.end() ? nullptr : &it->second;
}

QLinearGradient GradientOf(const QRectF& box, const SkinFill& fill) {
    QLinearGradient g(box.topLeft(), fill.vertical ? box.bottomLeft() : box.topRight());
    for (const auto& [at, color] : fill.stops)
        g.setColorAt(at, color);
    return g;
}

void FillPath(QPainter& p, const SkinModel& images, const QPainterPath& path, const QRectF& box,
              const SkinFill& fill) {
    switch (fill.kind) {
    case SkinFill::Kind::None:
        return;
    case SkinFill::Kind::Solid:
        p.fillPath(path, fill.color);
        return;
    case SkinFill::Kind::Gradient:
        p.fillPath(path, GradientOf(box, fill));
        return;
    case SkinFill::Kind::Image: {
        const QImage* image = FindImage(images, fill.image);
        if (!image || image->isNull())
            return;
        p.save();
        p.setClipPath(path, Qt::IntersectClip);
        if (fill.mode == SkinFill::ImageMode::Tile) {
            const auto tile = images.tiles.find(fill.image);
            p.fillRect(box, QBrush(tile != images.tiles.end() ? tile->second : *image));
        } else if (fill.mode == SkinFill::ImageMode::Center) {
            const QRectF r(QPointF(0, 0), QSizeF(image->size()));
            p.drawImage(QRectF(box.center() - r.center(), r.size()), *image);
        } else {
            p.drawImage(box, *image);
        }
        p.restore();
        return;
    }
    }
}

// Fills `area`, a part of `box`, as FillPath fills the box there. A whole-pixel rectangle is
// filled as one (a filled path is rasterised, at several times the cost).
void FillArea(QPainter& p, const SkinModel& images, const QRectF& area, const QRectF& box,
              const SkinFill& fill) {
    if (QRectF(area.toRect()) == area) {
        switch (fill.kind) {
        case SkinFill::Kind::None:
            return;
        case SkinFill::Kind::Solid:
            p.fillRect(area, fill.color);
            return;
        case SkinFill::Kind::Gradient:
            p.fillRect(area, QBrush(GradientOf(box, fill)));
            return;
        case SkinFill::Kind::Image:
            if (fill.mode != SkinFill::ImageMode::Tile)
                break;
            const auto tile = images.tiles.find(fill.image);
            const QImage* image =
                tile != images.tiles.end() ? &tile->second : FindImage(images, fill.image);
            if (image && !image->isNull())
                p.fillRect(area & box, QBrush(*image));
            return;
        }
    }
    QPainterPath path;
    path.addRect(area);
    FillPath(p, images, path, box, fill);
}

// True when `area` lies in the straight part of a rounded box, at least `edge` from its sides:
// there the box's outline and corners touch no pixel of the area.
bool WellInside(const QRectF& area, const QRectF& box, double radius, double edge) {
    const double r = std::max(CornerRadius(box, radius), edge);
    return box.adjusted(r, edge, -r, -edge).contains(area) ||
           box.adjusted(edge, r, -edge, -r).contains(area);
}

// `dirty` is the area being repainted. Where it lies well inside the box, a plain fill of that
// area gives the same pixels as the rounded outline, at a fraction of the cost for a big box
// (the display behind the meters and the time).
void PaintBox(QPainter& p, const SkinModel& images, const QRectF& box, const SkinLook& look,
              const QRectF& dirty) {
    if (box.isEmpty())
        return;
    if (WellInside(dirty, box, look.radius, 0)) {
        FillArea(p, images, dirty, box, look.fill);
    } else {
        FillPath(p, images, BoxPath(box, look.radius), box, look.fill);
    }
    // The pen reaches a pixel past the border's band with antialiasing.
    if (look.border.isValid() && look.borderWidth > 0 &&
        !WellInside(dirty, box, look.radius, look.borderWidth + 1)) {
        const double half = look.borderWidth / 2;
        const QRectF inner = box.adjusted(half, half, -half, -half);
        if (inner.isEmpty())
            return;
        p.setPen(QPen(look.border, look.borderWidth));
        p.setBrush(Qt::NoBrush);
        p.drawPath(BoxPath(inner, std::max(0.0, look.radius - half)));
    }
}

QFont MakeFont(const SkinFont& f) {
    QFont font(f.family);
    font.setPixelSize(f.pixelSize);
    font.setBold(f.bold);
    font.setItalic(f.italic);
    if (f.letterSpacing != 0)
        font.setLetterSpacing(QFont::AbsoluteSpacing, f.letterSpacing);
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

// How far the drawing of a box, a slider or an icon may reach past the element's box.
constexpr double kReach = 6;
// Antialiased edges and glyphs placed on fractions of a pixel touch a pixel more.
constexpr double kEdge = 2;
// How many areas near an element's text are remembered as touched by its ink or not.
constexpr std::size_t kNearAreas = 8;

// True when a short plain text (the time, a size) fits `width` for certain, so that cutting it
// to fit, which lays the text out, can be skipped: every letter is the font's own and printable,
// and even the font's widest letter that many times fits.
bool SurelyFits(SkinTextCache::Font& font, double letterSpacing, const QString& text, int width) {
    const double widest = font.widest + std::max(0.0, letterSpacing);
    if (text.size() * widest > width)
        return false;
    for (const QChar c : text)
        if (!font.Has(c))
            return false;
    return true;
}

} // namespace

bool SkinTextCache::Font::Has(QChar c) {
    if (c.unicode() < 0x20 || c.unicode() > 0x7e)
        return false;
    signed char& known = has[c.unicode() - 0x20];
    if (known == 0)
        known = exact.inFont(c) ? 1 : -1;
    return known > 0;
}

SkinTextCache::Font& SkinTextCache::FontFor(const SkinFont& f) {
    for (Font& known : fonts_)
        if (known.skin == f)
            return known;
    // A form uses a handful of fonts; a program that keeps changing them starts afresh.
    if (fonts_.size() >= 32)
        fonts_.clear();
    const QFont font = MakeFont(f);
    const QFontMetricsF exact(font);
    fonts_.push_back(Font{f, font, QFontMetrics(font), exact, exact.maxWidth(), {}});
    return fonts_.back();
}

SkinTextCache::Layout SkinTextCache::LayOut(const SkinElementModel& e) {
    SkinTextCache::Layout l;
    l.laidOut = true;
    l.text = e.text;
    l.font = e.font;
    l.rect = e.rect;
    l.icon = e.icon;
    l.iconSize = e.iconSize;
    l.align = e.align;
    l.image = e.image;
    l.kind = e.kind;
    Font& font = FontFor(e.font);
    l.qfont = font.font;
    const QRectF box = ToRectF(e.rect);
    l.textBox = box;
    if (!e.icon.isEmpty()) {
        const double side = std::min(box.width(), box.height()) * e.iconSize;
        l.iconBox = QRectF(0, 0, side, side);
        if (e.text.isEmpty()) {
            l.iconBox.moveCenter(box.center());
        } else {
            // Icon and label side by side, the pair centred in the box.
            const double gap = side * 0.35;
            const double labelWidth = font.metrics.horizontalAdvance(e.text);
            const double total = std::min(box.width(), side + gap + std::ceil(labelWidth) + 1);
            const double x = box.left() + (box.width() - total) / 2;
            l.iconBox.moveCenter(QPointF(x + side / 2, box.center().y()));
            l.textBox = QRectF(x + side + gap, box.top(), total - side - gap, box.height());
        }
    }
    // A box's fill keeps inside its whole-pixel edges, antialiased or not, and so should its
    // border; a pixel is allowed for the border, and a margin for icons, pictures and sliders.
    const bool drawsMore = !e.icon.isEmpty() || !e.image.isEmpty() || e.kind == SkinKind::Slider;
    const bool bordered =
        e.normal.border.isValid() || e.hover.border.isValid() || e.pressed.border.isValid();
    const double margin = drawsMore ? kReach : bordered ? 1 : 0;
    l.boxReach = box.adjusted(-margin, -margin, margin, margin);
    l.reach = l.boxReach;
    if (!e.text.isEmpty() && !l.textBox.isEmpty()) {
        // One line, cut with an ellipsis when it does not fit: a long file name must not spill.
        const int width = static_cast<int>(std::ceil(l.textBox.width())) + 1;
        l.line.Set(SurelyFits(font, e.font.letterSpacing, e.text, width)
                       ? e.text
                       : font.metrics.elidedText(e.text, Qt::ElideRight, width),
                   l.textBox, e.align);
        // Ink past the box stays within a letter's size of it (see Touches).
        const double em = std::max(l.qfont.pixelSize(), 1) + std::abs(e.font.letterSpacing);
        l.reach |= l.textBox.adjusted(-em - kEdge, -em - kEdge, em + kEdge, em + kEdge);
    }
    return l;
}

namespace {

bool Fits(const SkinTextCache::Layout& l, const SkinElementModel& e) {
    return l.text == e.text && l.rect == e.rect && l.font == e.font && l.icon == e.icon &&
           l.iconSize == e.iconSize && l.align == e.align && l.image == e.image && l.kind == e.kind;
}

void PaintContents(QPainter& p, const SkinModel& images, const QRectF& box,
                   const SkinElementModel& e, const SkinLook& look, SkinTextCache::Layout& layout) {
    if (!e.image.isEmpty())
        if (const QImage* image = FindImage(images, e.image)) {
            p.save();
            p.setRenderHint(QPainter::SmoothPixmapTransform);
            p.setClipPath(BoxPath(box, look.radius), Qt::IntersectClip);
            p.drawImage(box, *image);
            p.restore();
        }
    const QColor fg = look.foreground.isValid() ? look.foreground : e.textColor;
    if (!e.icon.isEmpty())
        skinicons::Paint(p, e.icon, layout.iconBox, fg);
    if (layout.line.Text().isEmpty())
        return;
    p.setFont(layout.qfont);
    p.setPen(fg);
    layout.line.Draw(p);
}

void PaintSlider(QPainter& p, const SkinModel& images, const SkinElementModel& s,
                 const QRectF& dirty) {
    const QRectF box = ToRectF(s.rect);
    PaintBox(p, images, box, s.normal, dirty);
    const QRectF thumb = SliderThumbRect(s);
    const double t = s.trackThickness;
    QRectF track, done;
    if (s.vertical) {
        const double x = box.center().x() - t / 2;
        const double top = box.top() + s.thumbSize / 2.0, bottom = box.bottom() - s.thumbSize / 2.0;
        track = QRectF(x, top, t, std::max(0.0, bottom - top));
        done = QRectF(x, thumb.center().y(), t, std::max(0.0, bottom - thumb.center().y()));
    } else {
        const double y = box.center().y() - t / 2;
        const double left = box.left() + s.thumbSize / 2.0, right = box.right() - s.thumbSize / 2.0;
        track = QRectF(left, y, std::max(0.0, right - left), t);
        done = QRectF(left, y, std::max(0.0, thumb.center().x() - left), t);
    }
    PaintBox(p, images, track, s.track, dirty);
    PaintBox(p, images, done, s.progress, dirty);
    PaintBox(p, images, thumb, s.thumb, dirty);
}

QPainterPath ShapePath(const SkinFormModel& form) {
    const QRectF all(0, 0, form.width, form.height);
    QPainterPath path;
    switch (form.shape.kind) {
    case SkinShape::Kind::Rectangle:
        path.addRect(all);
        break;
    case SkinShape::Kind::RoundedRect:
        path.addRoundedRect(all, form.shape.radius, form.shape.radius);
        break;
    case SkinShape::Kind::Polygon: {
        QPolygonF poly;
        for (const auto& [x, y] : form.shape.points)
            poly << QPointF(x, y);
        path.addPolygon(poly);
        path.closeSubpath();
        break;
    }
    }
    return path;
}

} // namespace

SkinTextCache::Layout& SkinTextCache::For(const SkinElementModel& element) {
    Layout& layout = layouts_[&element];
    if (!layout.laidOut || !Fits(layout, element))
        layout = LayOut(element);
    return layout;
}

bool SkinTextCache::Touches(Layout& layout, const QRectF& area, QPainter& painter) {
    if (!layout.reach.intersects(area))
        return false;
    if (layout.boxReach.intersects(area))
        return true;
    // Only the text may reach the area. A screen that draws text for its sub-pixels spreads each
    // glyph a pixel more than the picture the ink is looked at in.
    const QRect canvas =
        (area & layout.reach).adjusted(-kEdge, -kEdge, kEdge, kEdge).toAlignedRect();
    painter.setFont(layout.qfont);
    const std::optional<QRectF> ink = layout.line.InkBounds(painter);
    if (ink && !ink->intersects(canvas))
        return false;
    // Near the glyphs: look, once per text and area (the window repaints the same few areas
    // over and over).
    for (const auto& [seen, touches] : layout.near)
        if (seen == area)
            return touches;
    const bool touches = layout.line.InkIn(painter, canvas);
    if (layout.near.size() >= kNearAreas)
        layout.near.erase(layout.near.begin());
    layout.near.emplace_back(area, touches);
    return touches;
}

void PaintSkinForm(QPainter& p, const SkinModel& images, const SkinFormModel& form,
                   const SkinPaintState& state) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    const QRectF all(0, 0, form.width, form.height);
    // A repaint of a small area (a meter, the time) draws only what lies there. Well inside the
    // shape it needs neither the shape's clip nor its outline, which cost more than the area.
    const QRectF dirty = p.hasClipping() ? p.clipBoundingRect() & all : all;
    const QRectF reach = dirty.adjusted(-2, -2, 2, 2);
    bool inside = false;
    if (dirty != all) {
        switch (form.shape.kind) {
        case SkinShape::Kind::Rectangle:
            inside = all.contains(reach);
            break;
        case SkinShape::Kind::RoundedRect:
            inside = WellInside(reach, all, form.shape.radius, 0);
            break;
        case SkinShape::Kind::Polygon:
            inside = ShapePath(form).contains(reach);
            break;
        }
    }
    QPainterPath shape;
    if (inside) {
        FillArea(p, images, dirty.toAlignedRect(), all, form.background);
    } else {
        shape = ShapePath(form);
        p.setClipPath(shape, Qt::IntersectClip);
        FillPath(p, images, shape, all, form.background);
    }

    SkinTextCache once;
    SkinTextCache& texts = state.texts ? *state.texts : once;
    for (const SkinElementModel& e : form.elements) {
        if (!e.visible)
            continue;
        // Text and outlines may reach a little past the box: an element is drawn again wherever
        // its drawing may touch the area, so a neighbour's repaint keeps its edge.
        SkinTextCache::Layout& layout = texts.For(e);
        if (!texts.Touches(layout, dirty, p))
            continue;
        if (e.kind == SkinKind::Slider) {
            PaintSlider(p, images, e, dirty);
            continue;
        }
        const SkinLook* look = &e.normal;
        if (e.kind == SkinKind::Button) {
            if (state.pressed == &e && state.hovered == &e)
                look = &e.pressed;
            else if (state.hovered == &e && state.pressed == nullptr)
                look = &e.hover;
        }
        const QRectF box = ToRectF(e.rect);
        PaintBox(p, images, box, *look, dirty);
        PaintContents(p, images, box, e, *look, layout);
    }

    if (form.border.isValid() && !inside) {
        // Half the pen falls outside the clip, so a 2 px pen gives a crisp 1 px outline.
        p.setPen(QPen(form.border, 2));
        p.setBrush(Qt::NoBrush);
        p.drawPath(shape);
    }
    p.restore();
}

QImage RenderSkinForm(const SkinModel& images, const SkinFormModel& form,
                      const SkinPaintState& state) {
    QImage image(std::max(1, form.width), std::max(1, form.height),
                 QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    PaintSkinForm(p, images, form, state);
    p.end();
    return image;
}

QRegion SkinFormMask(const SkinFormModel& form) {
    if (form.shape.kind == SkinShape::Kind::Rectangle)
        return QRegion();
    // Rasterise the outline without antialiasing and collect each row's runs; this needs no
    // pixmap, so it works before a window system is up.
    QImage bits(std::max(1, form.width), std::max(1, form.height), QImage::Format_ARGB32);
    bits.fill(Qt::transparent);
    QPainter p(&bits);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    p.drawPath(ShapePath(form));
    p.end();
    QRegion region;
    for (int y = 0; y < bits.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(bits.constScanLine(y));
        int x = 0;
        while (x < bits.width()) {
            while (x < bits.width() && qAlpha(row[x]) == 0)
                ++x;
            const int start = x;
            while (x < bits.width() && qAlpha(row[x]) != 0)
                ++x;
            if (x > start)
                region += QRect(start, y, x - start, 1);
        }
    }
    return region;
}
