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

void FillPath(QPainter& p, const SkinModel& images, const QPainterPath& path, const QRectF& box,
              const SkinFill& fill) {
    switch (fill.kind) {
    case SkinFill::Kind::None:
        return;
    case SkinFill::Kind::Solid:
        p.fillPath(path, fill.color);
        return;
    case SkinFill::Kind::Gradient: {
        QLinearGradient g(box.topLeft(), fill.vertical ? box.bottomLeft() : box.topRight());
        for (const auto& [at, color] : fill.stops)
            g.setColorAt(at, color);
        p.fillPath(path, g);
        return;
    }
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
        QPainterPath area;
        area.addRect(dirty);
        FillPath(p, images, area, box, look.fill);
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

void PaintText(QPainter& p, const QRectF& box, const SkinElementModel& e, const QColor& color) {
    if (e.text.isEmpty() || box.isEmpty())
        return;
    const QFont font = MakeFont(e.font);
    p.setFont(font);
    p.setPen(color);
    // One line, cut with an ellipsis when it does not fit: a long file name must not spill.
    const QString shown = QFontMetrics(font).elidedText(
        e.text, Qt::ElideRight, static_cast<int>(std::ceil(box.width())) + 1);
    p.drawText(box, e.align | Qt::TextSingleLine, shown);
}

void PaintContents(QPainter& p, const SkinModel& images, const QRectF& box,
                   const SkinElementModel& e, const SkinLook& look) {
    if (!e.image.isEmpty())
        if (const QImage* image = FindImage(images, e.image)) {
            p.save();
            p.setRenderHint(QPainter::SmoothPixmapTransform);
            p.setClipPath(BoxPath(box, look.radius), Qt::IntersectClip);
            p.drawImage(box, *image);
            p.restore();
        }
    const QColor fg = look.foreground.isValid() ? look.foreground : e.textColor;
    QRectF textBox = box;
    if (!e.icon.isEmpty()) {
        const double side = std::min(box.width(), box.height()) * e.iconSize;
        QRectF iconBox(0, 0, side, side);
        if (e.text.isEmpty()) {
            iconBox.moveCenter(box.center());
        } else {
            // Icon and label side by side, the pair centred in the box.
            const double gap = side * 0.35;
            const double labelWidth = QFontMetrics(MakeFont(e.font)).horizontalAdvance(e.text);
            const double total = std::min(box.width(), side + gap + std::ceil(labelWidth) + 1);
            const double x = box.left() + (box.width() - total) / 2;
            iconBox.moveCenter(QPointF(x + side / 2, box.center().y()));
            textBox = QRectF(x + side + gap, box.top(), total - side - gap, box.height());
        }
        skinicons::Paint(p, e.icon, iconBox, fg);
    }
    PaintText(p, textBox, e, fg);
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

// How far an element's drawing may reach past its box (borders, antialiasing, tall glyphs).
constexpr double kReach = 6;

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
        QPainterPath area;
        area.addRect(dirty.toAlignedRect());
        FillPath(p, images, area, all, form.background);
    } else {
        shape = ShapePath(form);
        p.setClipPath(shape, Qt::IntersectClip);
        FillPath(p, images, shape, all, form.background);
    }

    for (const SkinElementModel& e : form.elements) {
        if (!e.visible)
            continue;
        // Text may reach a little past its box; the margin keeps its edge when a neighbour
        // is drawn again.
        if (!ToRectF(e.rect).adjusted(-kReach, -kReach, kReach, kReach).intersects(dirty))
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
        PaintContents(p, images, box, e, *look);
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
