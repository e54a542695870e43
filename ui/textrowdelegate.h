#pragma once

#include <QFont>
#include <QStyledItemDelegate>

class QFontMetrics;

// The height a row of text needs in `metrics`' font so that nothing of it is cut off when it is
// centred in the row: the font's line height, grown evenly by however far accented capitals
// ("Ü", "Å") reach above its ascent or hooks and cedillas below its descent. Many fonts draw
// those marks outside the ascent they report, and a row only as tall as the line clips them.
int TextRowHeight(const QFontMetrics& metrics);

// An item delegate whose rows are never shorter than TextRowHeight of the item's font; it paints
// as QStyledItemDelegate does. For every list and tree that shows names the user typed.
class TextRowDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    // Measuring the marks is dear next to a row's other work; views ask once per row.
    mutable QFont measuredFont_;
    mutable int measuredHeight_ = -1;
};
