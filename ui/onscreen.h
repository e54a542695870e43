#pragma once

#include <QPoint>
#include <QRect>
#include <algorithm>

// The top-left corner nearest `wanted` at which a window of `size` lies wholly inside
// `available` (the screen's free area). A window larger than the area is put at its top-left.
inline QPoint KeepOnScreen(QPoint wanted, QSize size, const QRect& available) {
    if (!available.isValid())
        return wanted;
    const int x =
        std::max(available.left(), std::min(wanted.x(), available.right() + 1 - size.width()));
    const int y =
        std::max(available.top(), std::min(wanted.y(), available.bottom() + 1 - size.height()));
    return {x, y};
}
