#pragma once

// Whether a row or a field leaves its text whole: the text is painted once in the height it has
// on screen and once with room to spare, and the ink of the two is counted. Header-only: the list,
// settings dialog, chooser and tag editor tests each include it.

#include <QAbstractItemView>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <cstdlib>

namespace textroom {

// Pixels of `image` (less its last column and row, where the list draws its grid) that stand
// out from `background` by at least half as much as `text` does.
inline int Ink(const QImage& image, const QColor& background, const QColor& text) {
    const int bg = qGray(background.rgb());
    const int bound = std::max(1, std::abs(qGray(text.rgb()) - bg) / 2);
    int ink = 0;
    for (int y = 0; y + 1 < image.height(); ++y)
        for (int x = 0; x + 1 < image.width(); ++x)
            if (std::abs(qGray(image.pixel(x, y)) - bg) >= bound)
                ++ink;
    return ink;
}

struct Cut {
    int whole = 0;  // ink of the text with room to spare
    int lost = 0;   // of that, what the row's own height cuts off
    int height = 0; // the row's height on screen
};

// The cell `index` of `view` painted by the view's own delegate into the rectangle the view
// gives it, against the same cell three times as tall.
inline Cut CellCut(const QAbstractItemView& view, const QModelIndex& index) {
    const QRect cell = view.visualRect(index);
    QAbstractItemDelegate* delegate = view.itemDelegateForIndex(index);
    const QColor base = view.palette().color(QPalette::Base);
    const QColor text = view.palette().color(QPalette::Text);
    auto paint = [&](int height) {
        QImage image(cell.width(), height, QImage::Format_ARGB32);
        image.fill(base);
        QStyleOptionViewItem option;
        option.initFrom(view.viewport());
        option.state &= ~(QStyle::State_HasFocus | QStyle::State_MouseOver);
        option.font = view.font();
        option.fontMetrics = QFontMetrics(view.font());
        option.displayAlignment = Qt::AlignLeft | Qt::AlignVCenter;
        option.decorationAlignment = Qt::AlignCenter;
        option.decorationSize = view.iconSize().isValid()
                                    ? view.iconSize()
                                    : QSize(view.style()->pixelMetric(QStyle::PM_SmallIconSize),
                                            view.style()->pixelMetric(QStyle::PM_SmallIconSize));
        option.widget = &view;
        option.rect = image.rect();
        QPainter p(&image);
        p.setClipRect(image.rect());
        delegate->paint(&p, option, index);
        p.end();
        return Ink(image, base, text);
    };
    const int shown = paint(cell.height());
    const int whole = paint(3 * cell.height());
    return {whole, whole - shown, cell.height()};
}

// The same for a one-line field: grabbed as it is and grabbed three times as tall (its side
// frames left out, which grow with it).
inline Cut FieldCut(QLineEdit& field) {
    const QSize size = field.size();
    const QColor base = field.palette().color(QPalette::Base);
    const QColor text = field.palette().color(QPalette::Text);
    auto grab = [&](int height) {
        field.resize(size.width(), height);
        const QImage image = field.grab().toImage();
        return Ink(image.copy(4, 0, image.width() - 8, image.height()), base, text);
    };
    const int shown = grab(size.height());
    const int whole = grab(3 * size.height());
    field.resize(size);
    return {whole, whole - shown, size.height()};
}

} // namespace textroom
