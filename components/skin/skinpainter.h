#pragma once

#include "skinmodel.h"
#include "skintextline.h"

#include <QFont>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QImage>
#include <QRectF>
#include <QRegion>
#include <QString>
#include <array>
#include <unordered_map>
#include <utility>
#include <vector>

class QPainter;

// What the painter works out for an element's contents and keeps between paints: the font, where
// the icon and the text go, the text as shown (cut with an ellipsis to fit) and laid out, and the
// area the element's drawing may cover. Each entry remembers what it was worked out from and is
// worked out again when the element's text, font, box, icon or picture changes, so one cache can
// serve any number of paints of one form; a font and its metrics are kept while any element
// uses it, so a new text in the same font is quick to lay out. Keep one per window that repaints
// a form often; forget it (Clear) when the window shows another form, as entries are found by the
// element's address.
class SkinTextCache {
public:
    struct Layout {
        bool laidOut = false;
        // What the layout was worked out from.
        QString text;
        SkinFont font;
        SkinRect rect;
        QString icon;
        double iconSize = 0;
        int align = 0;
        QString image;
        SkinKind kind = SkinKind::Image;
        // The layout.
        QFont qfont;
        QRectF iconBox; // empty without an icon
        QRectF textBox;
        SkinTextLine line; // the text as shown, in textBox
        QRectF boxReach;   // what the box, icon or picture may draw lies in here
        QRectF reach;      // and the text's ink too, at most a letter's size past the box
        // Areas outside the box but within reach, and whether the text's ink touches them.
        std::vector<std::pair<QRectF, bool>> near;
    };
    // The element's layout, worked out again when it no longer fits the element.
    Layout& For(const SkinElementModel& element);
    // Whether drawing an element laid out as `layout` (an entry of this cache) with `painter`
    // may touch `area`. Where only the text's ink may, its glyphs' outlines tell, and where they
    // come near, the text is drawn aside to see, once per text and area. Sets the painter's font.
    bool Touches(Layout& layout, const QRectF& area, QPainter& painter);
    void Clear() {
        layouts_.clear();
        fonts_.clear();
    }

    // A skin font made a QFont, with what drawing and cutting texts in it needs.
    struct Font {
        SkinFont skin;
        QFont font;
        QFontMetrics metrics;
        QFontMetricsF exact;
        double widest = 0; // the widest letter's advance
        // Whether the font has each printable ASCII letter: 0 not asked yet, 1 yes, -1 no.
        std::array<signed char, 0x7f - 0x20> has{};
        bool Has(QChar c);
    };

private:
    Font& FontFor(const SkinFont& font);
    Layout LayOut(const SkinElementModel& e);

    std::unordered_map<const SkinElementModel*, Layout> layouts_;
    std::vector<Font> fonts_;
};

// Which elements the mouse is over or holding, for the hover and pressed looks of buttons, and
// where to keep text layouts between paints (none: worked out for this paint only).
struct SkinPaintState {
    const SkinElementModel* hovered = nullptr;
    const SkinElementModel* pressed = nullptr;
    SkinTextCache* texts = nullptr;
};

// Paints a whole form: background, then every visible element in order. The painter's origin is
// the form's top-left corner; `images` resolves the image names the form uses.
void PaintSkinForm(QPainter& painter, const SkinModel& images, const SkinFormModel& form,
                   const SkinPaintState& state = {});

// The form painted into a new ARGB image of the form's size (transparent outside its shape).
QImage RenderSkinForm(const SkinModel& images, const SkinFormModel& form,
                      const SkinPaintState& state = {});

// The window mask for a shaped form; an empty region for a plain rectangle.
QRegion SkinFormMask(const SkinFormModel& form);
