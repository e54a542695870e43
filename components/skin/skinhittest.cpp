#include "skinhittest.h"

#include <algorithm>
#include <cmath>

namespace {

bool Contains(const SkinRect& r, QPoint p) {
    return p.x() >= r.left && p.x() < r.right && p.y() >= r.top && p.y() < r.bottom;
}

// Length of the slider's travel and the thumb's extent along it.
struct Travel {
    double start, length, thumb;
};

Travel SliderTravel(const SkinElementModel& s) {
    const double along = s.vertical ? s.rect.bottom - s.rect.top : s.rect.right - s.rect.left;
    const double thumb = std::clamp<double>(s.thumbSize, 0, std::max(0.0, along));
    return {s.vertical ? double(s.rect.top) : double(s.rect.left), along - thumb, thumb};
}

} // namespace

const SkinElementModel* HitTest(const SkinFormModel& form, QPoint point) {
    for (auto it = form.elements.rbegin(); it != form.elements.rend(); ++it)
        if (it->visible && Contains(it->rect, point))
            return &*it;
    return nullptr;
}

SkinElementModel* HitTest(SkinFormModel& form, QPoint point) {
    return const_cast<SkinElementModel*>(HitTest(static_cast<const SkinFormModel&>(form), point));
}

bool TakesMouse(const SkinElementModel& element) {
    return element.kind == SkinKind::Button || element.kind == SkinKind::Slider;
}

QRectF SliderThumbRect(const SkinElementModel& s) {
    const Travel t = SliderTravel(s);
    const double range = double(s.maximum) - double(s.minimum);
    const double pos = std::clamp<double>(s.position, s.minimum, s.maximum);
    const double fraction = range > 0 ? (pos - s.minimum) / range : 0;
    // Vertical sliders grow upwards, as volume controls do.
    const double offset = s.vertical ? (1 - fraction) * t.length : fraction * t.length;
    if (s.vertical)
        return QRectF(s.rect.left, t.start + offset, s.rect.right - s.rect.left, t.thumb);
    return QRectF(t.start + offset, s.rect.top, t.thumb, s.rect.bottom - s.rect.top);
}

QRect SliderSpan(const SkinElementModel& s, const QRectF& thumbA, const QRectF& thumbB) {
    // The painter centres the track across the slider; it may be thicker than the slider.
    const double half = s.trackThickness / 2.0;
    QRectF span = thumbA.united(thumbB);
    if (s.vertical) {
        const double centre = (s.rect.left + s.rect.right) / 2.0;
        span.setLeft(std::min(double(s.rect.left), centre - half));
        span.setRight(std::max(double(s.rect.right), centre + half));
    } else {
        const double centre = (s.rect.top + s.rect.bottom) / 2.0;
        span.setTop(std::min(double(s.rect.top), centre - half));
        span.setBottom(std::max(double(s.rect.bottom), centre + half));
    }
    return span.toAlignedRect();
}

int SliderPositionAt(const SkinElementModel& s, QPoint point) {
    const Travel t = SliderTravel(s);
    if (t.length <= 0)
        return s.minimum;
    const double along = (s.vertical ? point.y() : point.x()) - t.start - t.thumb / 2;
    double fraction = std::clamp(along / t.length, 0.0, 1.0);
    if (s.vertical)
        fraction = 1 - fraction;
    const double range = double(s.maximum) - double(s.minimum);
    return static_cast<int>(std::lround(s.minimum + fraction * range));
}
