#include "tampbar2.h"

#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

TAmpBar2::TAmpBar2(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    timer_.setInterval(40);
    connect(&timer_, &QTimer::timeout, this, &TAmpBar2::Tick);
}

void TAmpBar2::SetValue(int value) {
    value = std::clamp(value, min_, max_);
    if (value == value_ && value < peak_)
        return;
    value_ = value;
    if (value_ >= peak_) {
        peak_ = value_;
        heldMs_ = 0;
    } else if (speed_ > 0 && !timer_.isActive()) {
        clock_.start();
        timer_.start();
    }
    update();
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
    if (ms <= 0)
        return;
    if (peak_ <= value_) {
        peak_ = value_;
        heldMs_ = 0;
        timer_.stop();
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
    if (peak_ <= value_)
        timer_.stop();
    update();
}

void TAmpBar2::Tick() {
    AdvanceTime(static_cast<int>(clock_.restart()));
}

int TAmpBar2::Lit(int v, int length) const {
    const double range = double(max_) - double(min_);
    const double f = range > 0 ? (double(v) - min_) / range : 0;
    return std::clamp(static_cast<int>(std::lround(f * length)), 0, length);
}

void TAmpBar2::Paint(QPainter& p, const QRect& area) const {
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    p.fillRect(area, backColor_);
    QRect inner = area;
    if (border_ == BarBorder::Single && area.width() > 2 && area.height() > 2) {
        p.setPen(borderColor_);
        p.setBrush(Qt::NoBrush);
        p.drawRect(area.adjusted(0, 0, -1, -1));
        inner = area.adjusted(1, 1, -1, -1);
    }
    const bool horizontal = orientation_ == Qt::Horizontal;
    const int length = horizontal ? inner.width() : inner.height();
    // A span along the bar, from `from` for `size` pixels, as a rectangle; vertical bars fill
    // upwards.
    const auto span = [&](int from, int size) {
        return horizontal
                   ? QRect(inner.left() + from, inner.top(), size, inner.height())
                   : QRect(inner.left(), inner.bottom() + 1 - from - size, inner.width(), size);
    };
    const int lit = Lit(value_, length);
    const int hot =
        hotPercent_ > 0 ? static_cast<int>(std::lround(length * hotPercent_ / 100.0)) : length;
    if (style_ == BarStyle::Solid) {
        p.fillRect(span(0, length), tickBackColor_);
        p.fillRect(span(0, std::min(lit, hot)), tickColor_);
        if (lit > hot)
            p.fillRect(span(hot, lit - hot), hotColor_);
    } else {
        for (int at = 0; at < length; at += tickInterval_) {
            const int size = std::min(tickWidth_, length - at);
            const QColor& c = at >= lit ? tickBackColor_ : (at >= hot ? hotColor_ : tickColor_);
            p.fillRect(span(at, size), c);
        }
    }
    if (pickWidthPercent_ > 0 && peak_ > min_) {
        const int width =
            std::max(1, static_cast<int>(std::lround(length * pickWidthPercent_ / 100.0)));
        const int end = std::max(width, Lit(peak_, length));
        p.fillRect(span(end - width, width), pickColor_);
    }
    p.restore();
}

void TAmpBar2::paintEvent(QPaintEvent*) {
    QPainter p(this);
    Paint(p, rect());
}

QSize TAmpBar2::sizeHint() const {
    return orientation_ == Qt::Horizontal ? QSize(305, 3) : QSize(3, 305);
}
