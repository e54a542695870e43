#include "tampbar2.h"

#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

TAmpBar2::TAmpBar2(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &TAmpBar2::Tick);
}

void TAmpBar2::SetValue(int value) {
    value = std::clamp(value, min_, max_);
    const Shown before = Showing();
    // While values keep coming, each one lets the time since the last pass for the held peak,
    // so the meter needs no timer of its own; the timer only takes over when they stop.
    if (clock_.isValid())
        StepPeak(static_cast<int>(clock_.restart()));
    value_ = value;
    if (value_ >= peak_) {
        peak_ = value_;
        heldMs_ = 0;
    }
    if (peak_ > value_ && speed_ > 0) {
        if (!clock_.isValid())
            clock_.start();
        timer_.start(kQuietMs);
    } else {
        clock_.invalidate();
        timer_.stop();
    }
    UpdateChanged(before);
}

void TAmpBar2::SetMin(int min) {
    min_ = min;
    max_ = std::max(max_, min_ + 1);
    value_ = std::clamp(value_, min_, max_);
    peak_ = std::clamp(peak_, min_, max_);
    update();
}

void TAmpBar2::SetMax(int max) {
    max_ = max;
    min_ = std::min(min_, max_ - 1);
    value_ = std::clamp(value_, min_, max_);
    peak_ = std::clamp(peak_, min_, max_);
    update();
}

void TAmpBar2::SetStyle(BarStyle style) {
    style_ = style;
    update();
}
void TAmpBar2::SetOrientation(Qt::Orientation orientation) {
    orientation_ = orientation;
    update();
}
void TAmpBar2::SetBorderStyle(BarBorder border) {
    border_ = border;
    update();
}
void TAmpBar2::SetTickInterval(int pixels) {
    tickInterval_ = std::max(1, pixels);
    update();
}
void TAmpBar2::SetTickWidth(int pixels) {
    tickWidth_ = std::max(1, pixels);
    update();
}
void TAmpBar2::SetPickWidthPercent(int percent) {
    pickWidthPercent_ = std::clamp(percent, 0, 100);
    update();
}
void TAmpBar2::SetSpeed(int percentPerSecond) {
    speed_ = std::max(0, percentPerSecond);
}
void TAmpBar2::SetTickColor(const QColor& c) {
    tickColor_ = c;
    update();
}
void TAmpBar2::SetPickColor(const QColor& c) {
    pickColor_ = c;
    update();
}
void TAmpBar2::SetTickBackColor(const QColor& c) {
    tickBackColor_ = c;
    update();
}
void TAmpBar2::SetBackColor(const QColor& c) {
    backColor_ = c;
    update();
}
void TAmpBar2::SetBorderColor(const QColor& c) {
    borderColor_ = c;
    update();
}
void TAmpBar2::SetHotColor(const QColor& c) {
    hotColor_ = c;
    update();
}
void TAmpBar2::SetHotPercent(int percent) {
    hotPercent_ = std::clamp(percent, 0, 100);
    update();
}

void TAmpBar2::AdvanceTime(int ms) {
    const Shown before = Showing();
    StepPeak(ms);
    if (peak_ <= value_) {
        clock_.invalidate();
        timer_.stop();
    }
    UpdateChanged(before);
}

void TAmpBar2::StepPeak(int ms) {
    if (ms <= 0)
        return;
    if (peak_ <= value_) {
        peak_ = value_;
        heldMs_ = 0;
        return;
    }
    const int before = heldMs_;
    heldMs_ =
        static_cast<int>(std::min<long long>(1LL << 30, static_cast<long long>(heldMs_) + ms));
    const int falling = heldMs_ - std::max(before, kPeakHoldMs);
    if (falling <= 0 || speed_ == 0)
        return;
    const double range = double(max_) - double(min_);
    const auto drop =
        static_cast<long long>(std::llround(range * speed_ / 100.0 * falling / 1000.0));
    peak_ = static_cast<int>(
        std::max<long long>(value_, static_cast<long long>(peak_) - std::max(1LL, drop)));
}

void TAmpBar2::ValuesStopped() {
    if (peak_ <= value_ || speed_ == 0)
        return;
    if (!clock_.isValid())
        clock_.start();
    timer_.start(NextTickMs(clock_.elapsed()));
}

int TAmpBar2::NextTickMs(qint64 since) const {
    const qint64 due = kFallTickMs + std::max<qint64>(0, kPeakHoldMs - heldMs_);
    return static_cast<int>(std::clamp<qint64>(due - since, 0, kPeakHoldMs + kFallTickMs));
}

void TAmpBar2::Tick() {
    AdvanceTime(static_cast<int>(clock_.restart()));
    if (peak_ > value_)
        timer_.start(NextTickMs(0));
}

QRect TAmpBar2::Inner(const QRect& area) const {
    if (border_ == BarBorder::Single && area.width() > 2 && area.height() > 2)
        return area.adjusted(1, 1, -1, -1);
    return area;
}

QRect TAmpBar2::Span(const QRect& inner, int from, int size) const {
    return orientation_ == Qt::Horizontal
               ? QRect(inner.left() + from, inner.top(), size, inner.height())
               : QRect(inner.left(), inner.bottom() + 1 - from - size, inner.width(), size);
}

int TAmpBar2::PeakWidth(int length) const {
    return std::max(1, static_cast<int>(std::lround(length * pickWidthPercent_ / 100.0)));
}

TAmpBar2::Shown TAmpBar2::Showing() const {
    const QRect inner = Inner(rect());
    const int length = orientation_ == Qt::Horizontal ? inner.width() : inner.height();
    Shown shown{Lit(value_, length), -1};
    if (pickWidthPercent_ > 0 && peak_ > min_)
        shown.peakEnd = std::max(PeakWidth(length), Lit(peak_, length));
    return shown;
}

void TAmpBar2::UpdateChanged(const Shown& before) {
    const Shown now = Showing();
    if (now.lit == before.lit && now.peakEnd == before.peakEnd)
        return;
    // Only the columns between the old and the new ends are drawn again.
    const QRect inner = Inner(rect());
    const int length = orientation_ == Qt::Horizontal ? inner.width() : inner.height();
    QRegion changed;
    if (now.lit != before.lit) {
        const int from = std::min(now.lit, before.lit);
        int to = std::max(now.lit, before.lit);
        // A tick is lit as a whole when it starts below the lit end: the last tick changed
        // reaches past that end.
        if (style_ == BarStyle::Ticks)
            to += tickWidth_;
        changed += Span(inner, from, to - from);
    }
    const int width = PeakWidth(length);
    for (const int end : {before.peakEnd, now.peakEnd})
        if (end >= 0 && before.peakEnd != now.peakEnd)
            changed += Span(inner, end - width, width);
    update(changed);
}

int TAmpBar2::Lit(int v, int length) const {
    const double range = double(max_) - double(min_);
    const double f = range > 0 ? (double(v) - min_) / range : 0;
    return std::clamp(static_cast<int>(std::lround(f * length)), 0, length);
}

void TAmpBar2::Paint(QPainter& p, const QRect& area, const QRect& only) const {
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    p.fillRect(area, backColor_);
    const QRect inner = Inner(area);
    if (inner != area) {
        p.setPen(borderColor_);
        p.setBrush(Qt::NoBrush);
        p.drawRect(area.adjusted(0, 0, -1, -1));
    }
    const int length = orientation_ == Qt::Horizontal ? inner.width() : inner.height();
    const auto span = [&](int from, int size) { return Span(inner, from, size); };
    const int lit = Lit(value_, length);
    const int hot =
        hotPercent_ > 0 ? static_cast<int>(std::lround(length * hotPercent_ / 100.0)) : length;
    if (style_ == BarStyle::Solid) {
        p.fillRect(span(0, length), tickBackColor_);
        p.fillRect(span(0, std::min(lit, hot)), tickColor_);
        if (lit > hot)
            p.fillRect(span(hot, lit - hot), hotColor_);
    } else {
        // A value's change repaints a few columns; the hundred ticks elsewhere are skipped.
        for (int at = 0; at < length; at += tickInterval_) {
            const int size = std::min(tickWidth_, length - at);
            const QRect tick = span(at, size);
            if (!only.isNull() && !only.intersects(tick))
                continue;
            const QColor& c = at >= lit ? tickBackColor_ : (at >= hot ? hotColor_ : tickColor_);
            p.fillRect(tick, c);
        }
    }
    if (pickWidthPercent_ > 0 && peak_ > min_) {
        const int width = PeakWidth(length);
        const int end = std::max(width, Lit(peak_, length));
        p.fillRect(span(end - width, width), pickColor_);
    }
    p.restore();
}

void TAmpBar2::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    Paint(p, rect(), event->rect());
}

QSize TAmpBar2::sizeHint() const {
    return orientation_ == Qt::Horizontal ? QSize(305, 3) : QSize(3, 305);
}
