#include "textrowdelegate.h"

#include <QFontMetrics>
#include <algorithm>

namespace {

// Capitals with marks above (the stacked Vietnamese ones reach highest) and letters with hooks,
// tails and cedillas below.
const QString kTallest = QStringLiteral("ÀÁÂÃÄÅÇÉÊÎÏÑÔÖÚÛÜÝŚŹŻĞİǺẤỖ");
const QString kDeepest = QStringLiteral("gjpqyÇĄĘŞŢçąęşţ");

} // namespace

int TextRowHeight(const QFontMetrics& metrics) {
    const int above = -metrics.tightBoundingRect(kTallest).top();
    const QRect deep = metrics.tightBoundingRect(kDeepest);
    const int below = deep.top() + deep.height();
    const int overshoot = std::max({0, above - metrics.ascent(), below - metrics.descent()});
    return metrics.height() + 2 * overshoot;
}

QSize TextRowDelegate::sizeHint(const QStyleOptionViewItem& option,
                                const QModelIndex& index) const {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    QStyleOptionViewItem item = option;
    initStyleOption(&item, index);
    if (measuredHeight_ < 0 || item.font != measuredFont_) {
        measuredFont_ = item.font;
        measuredHeight_ = TextRowHeight(QFontMetrics(item.font));
    }
    size.setHeight(std::max(size.height(), measuredHeight_));
    return size;
}
