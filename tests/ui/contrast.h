#pragma once

// Walks a shown window's text widgets and measures each text colour against what it is drawn on
// (WCAG relative luminance contrast). Header-only: the settings dialog, tag editor and list tests
// each include it.

#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTextEdit>
#include <QToolButton>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <algorithm>
#include <cmath>
#include <map>
#include <optional>

namespace contrast {

inline double Luminance(const QColor& c) {
    auto channel = [](double v) {
        return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

inline double Ratio(const QColor& a, const QColor& b) {
    const double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The lowest contrast found and where, with every text below the bound listed.
struct Report {
    double lowest = 100.0;
    int texts = 0; // how many texts were measured
    QStringList failures;
};

class Walker {
public:
    // `panel` is what a skinned window paints behind widgets that do not fill their background;
    // an unskinned window uses its own Window colour.
    Walker(QWidget* window, std::optional<QColor> panel, double bound = 4.5)
        : window_(window), panel_(panel), bound_(bound) {}

    // Colours drawn under a named widget instead of its parent's background (a picture).
    void DrawnOver(const QString& objectName, QList<QColor> under) {
        over_[objectName] = std::move(under);
    }

    Report Walk() {
        report_ = {};
        for (QWidget* w : window_->findChildren<QWidget*>())
            if (w->isVisible())
                Measure(w);
        return report_;
    }

private:
    QWidget* window_;
    std::optional<QColor> panel_;
    double bound_;
    std::map<QString, QList<QColor>> over_;
    Report report_;

    static QList<QPalette::ColorGroup> Groups(const QWidget* w) {
        if (!w->isEnabled())
            return {QPalette::Disabled};
        return {QPalette::Active, QPalette::Inactive};
    }

    // What shows through behind a widget that does not fill its background.
    QColor Behind(const QWidget* w, QPalette::ColorGroup g) const {
        for (const QWidget* p = w; p != nullptr; p = p->parentWidget()) {
            if (p->isWindow())
                return panel_ ? *panel_ : p->palette().color(g, p->backgroundRole());
            if (p != w && p->autoFillBackground())
                return p->palette().color(g, p->backgroundRole());
        }
        return Qt::magenta;
    }

    void Check(const QWidget* w, const QString& what, const QColor& fg, const QColor& bg) {
        const double r = Ratio(fg, bg);
        ++report_.texts;
        report_.lowest = std::min(report_.lowest, r);
        if (r < bound_)
            report_.failures << QStringLiteral("%1 '%2': %3 on %4 = %5")
                                    .arg(w->objectName().isEmpty()
                                             ? QString::fromLatin1(w->metaObject()->className())
                                             : w->objectName(),
                                         what, fg.name(), bg.name())
                                    .arg(r, 0, 'f', 2);
    }

    void OnBackground(const QWidget* w, const QString& text, QPalette::ColorRole role) {
        if (text.trimmed().isEmpty())
            return;
        for (QPalette::ColorGroup g : Groups(w)) {
            const QColor fg = w->palette().color(g, role);
            const auto over = over_.find(w->objectName());
            if (over != over_.end()) {
                for (const QColor& bg : over->second)
                    Check(w, text, fg, bg);
                continue;
            }
            Check(w, text, fg,
                  w->autoFillBackground() ? w->palette().color(g, w->backgroundRole())
                                          : Behind(w, g));
        }
    }

    void OnRole(const QWidget* w, const QString& text, QPalette::ColorRole fgRole,
                QPalette::ColorRole bgRole) {
        for (QPalette::ColorGroup g : Groups(w))
            Check(w, text, w->palette().color(g, fgRole), w->palette().color(g, bgRole));
    }

    void Measure(QWidget* w) {
        if (auto* label = qobject_cast<QLabel*>(w)) {
            OnBackground(w, label->text(), QPalette::WindowText);
        } else if (auto* check = qobject_cast<QCheckBox*>(w)) {
            OnBackground(w, check->text(), QPalette::WindowText);
        } else if (auto* radio = qobject_cast<QRadioButton*>(w)) {
            OnBackground(w, radio->text(), QPalette::WindowText);
        } else if (auto* push = qobject_cast<QPushButton*>(w)) {
            OnRole(w, push->text(), QPalette::ButtonText, QPalette::Button);
        } else if (auto* tool = qobject_cast<QToolButton*>(w)) {
            OnRole(w, tool->text(), QPalette::ButtonText, QPalette::Button);
        } else if (auto* group = qobject_cast<QGroupBox*>(w)) {
            OnBackground(w, group->title(), QPalette::WindowText);
        } else if (auto* line = qobject_cast<QLineEdit*>(w)) {
            // A spin box's or an editable list box's own line is measured with its owner.
            if (qobject_cast<QAbstractSpinBox*>(w->parentWidget()) == nullptr &&
                qobject_cast<QComboBox*>(w->parentWidget()) == nullptr)
                OnRole(w, QStringLiteral("line ") + line->text(), QPalette::Text, QPalette::Base);
        } else if (auto* spin = qobject_cast<QAbstractSpinBox*>(w)) {
            OnRole(w, spin->text(), QPalette::Text, QPalette::Base);
        } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
            // The closed box is drawn as a button, the open list on Base.
            OnRole(w, combo->currentText(), QPalette::Text, QPalette::Base);
            if (!combo->isEditable())
                OnRole(w, combo->currentText(), QPalette::Text, QPalette::Button);
        } else if (qobject_cast<QTextEdit*>(w) != nullptr ||
                   qobject_cast<QPlainTextEdit*>(w) != nullptr) {
            OnRole(w, QStringLiteral("text"), QPalette::Text, QPalette::Base);
        } else if (auto* tree = qobject_cast<QTreeWidget*>(w)) {
            for (QTreeWidgetItemIterator it(tree); *it != nullptr; ++it)
                MeasureItem(tree, *it);
        } else if (qobject_cast<QHeaderView*>(w) != nullptr) {
            OnRole(w, QStringLiteral("heading"), QPalette::ButtonText, QPalette::Button);
        } else if (qobject_cast<QAbstractItemView*>(w) != nullptr) {
            // Any other list or tree: its rows in the palette's colours.
            OnRole(w, QStringLiteral("row"), QPalette::Text, QPalette::Base);
            OnRole(w, QStringLiteral("selected row"), QPalette::HighlightedText,
                   QPalette::Highlight);
        }
    }

    void MeasureItem(const QTreeWidget* tree, const QTreeWidgetItem* item) {
        for (int c = 0; c < item->columnCount(); ++c) {
            const QString text = item->text(c);
            if (text.isEmpty())
                continue;
            for (QPalette::ColorGroup g : Groups(tree)) {
                const QPalette& pal = tree->palette();
                const QBrush fg = item->foreground(c);
                const QBrush bg = item->background(c);
                Check(tree, text,
                      fg.style() != Qt::NoBrush ? fg.color() : pal.color(g, QPalette::Text),
                      bg.style() != Qt::NoBrush ? bg.color() : pal.color(g, QPalette::Base));
                Check(tree, text + QStringLiteral(" (selected)"),
                      pal.color(g, QPalette::HighlightedText), pal.color(g, QPalette::Highlight));
            }
        }
    }
};

} // namespace contrast
