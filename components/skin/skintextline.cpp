#include "skintextline.h"

#include <QGlyphRun>
#include <QImage>
#include <QPainter>
#include <QRawFont>
#include <QTextLayout>

namespace {

// The alignments a kept layout places as drawText does; drawText gives the rest meaning of
// its own (justified lines, the baseline).
constexpr int kPlainAlignments = Qt::AlignLeft | Qt::AlignRight | Qt::AlignHCenter |
                                 Qt::AlignAbsolute | Qt::AlignTop | Qt::AlignBottom |
                                 Qt::AlignVCenter;

// drawText turns carriage returns and line feeds into spaces, expands tabs, breaks lines at
// separators and treats U+009C as a list of variants; white space at the ends makes its width
// differ from the line's. Such texts are drawn by drawText itself.
bool PlainText(const QString& text) {
    if (text.isEmpty() || text.front().isSpace() || text.back().isSpace())
        return false;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x20 || (u >= 0x7f && u <= 0x9f) || u == 0x2028 || u == 0x2029)
            return false;
    }
    return true;
}

} // namespace

SkinTextLine::SkinTextLine() = default;
SkinTextLine::~SkinTextLine() = default;
SkinTextLine::SkinTextLine(SkinTextLine&&) noexcept = default;
SkinTextLine& SkinTextLine::operator=(SkinTextLine&&) noexcept = default;

void SkinTextLine::Set(const QString& text, const QRectF& box, int align) {
    if (layout_ && text == text_ && box == box_ && align == align_)
        return;
    text_ = text;
    box_ = box;
    align_ = align;
    plain_ = PlainText(text) && (align & ~kPlainAlignments) == 0 &&
             (align & Qt::AlignHorizontal_Mask & ~Qt::AlignAbsolute) != Qt::AlignJustify;
    layout_.reset();
    inkKnown_ = false;
}

bool SkinTextLine::Prepare(const QPainter& p) {
    // A window lays text out left to right, a picture as the text's first letters ask.
    const Qt::LayoutDirection direction = p.layoutDirection();
    if (!plain_ || direction == Qt::RightToLeft ||
        (direction == Qt::LayoutDirectionAuto && text_.isRightToLeft()))
        return false;
    const QFont& font = p.font();
    if (layout_ && font == font_ && direction == direction_)
        return true;
    font_ = font;
    direction_ = direction;
    inkKnown_ = false;
    layout_ = std::make_unique<QTextLayout>(text_, font_);
    QTextOption option;
    option.setTextDirection(direction);
    option.setAlignment(Qt::AlignLeft);
    layout_->setTextOption(option);
    layout_->setCacheEnabled(true);
    layout_->beginLayout();
    QTextLine line = layout_->createLine();
    if (line.isValid()) {
        // As wide as drawText lets an unwrapped line be.
        line.setLineWidth(0x01000000);
        line.setPosition(QPointF(0, 0));
    }
    const bool one =
        line.isValid() && line.textLength() == text_.size() && !layout_->createLine().isValid();
    layout_->endLayout();
    if (!one) {
        plain_ = false;
        layout_.reset();
        return false;
    }
    // Placed in the box as drawText places its lines: the line's ink-free extent (ascent and
    // descent, its natural width) aligned, and the line cut to the box when that extent spills.
    const double height = line.ascent() + line.descent();
    const double width = line.naturalTextWidth();
    const double advance = line.horizontalAdvance();
    double y = 0;
    if (align_ & Qt::AlignBottom)
        y = box_.height() - height;
    else if (align_ & Qt::AlignVCenter)
        y = (box_.height() - height) / 2;
    double x = 0, boundsX = 0;
    if (align_ & Qt::AlignRight) {
        boundsX = box_.width() - width;
        x = box_.width() - advance;
    } else if (align_ & Qt::AlignHCenter) {
        boundsX = (box_.width() - width) / 2;
        x = (box_.width() - advance) / 2;
    }
    clip_ = !box_.contains(QRectF(box_.x() + boundsX, box_.y() + y, width, height));
    origin_ = QPointF(box_.x() + x, box_.y() + y);
    return true;
}

void SkinTextLine::DrawLaidOut(QPainter& p) const {
    if (clip_) {
        p.save();
        p.setClipRect(box_, Qt::IntersectClip);
    }
    layout_->lineAt(0).draw(&p, origin_);
    if (clip_)
        p.restore();
}

void SkinTextLine::Draw(QPainter& p) {
    if (text_.isEmpty())
        return;
    if (Prepare(p))
        DrawLaidOut(p);
    else
        p.drawText(box_, align_ | Qt::TextSingleLine, text_);
}

std::optional<QRectF> SkinTextLine::InkBounds(QPainter& p) {
    if (text_.isEmpty())
        return QRectF();
    if (!Prepare(p))
        return std::nullopt;
    if (inkKnown_)
        return ink_;
    inkKnown_ = true;
    ink_ = QRectF();
    for (const QGlyphRun& run : layout_->lineAt(0).glyphRuns()) {
        const QRawFont font = run.rawFont();
        if (!font.isValid()) {
            ink_ = std::nullopt;
            return ink_;
        }
        const QList<quint32> glyphs = run.glyphIndexes();
        const QList<QPointF> at = run.positions();
        for (qsizetype i = 0; i < glyphs.size() && i < at.size(); ++i) {
            const QRectF outline = font.boundingRect(glyphs[i]);
            if (!outline.isEmpty())
                *ink_ |= outline.translated(at[i]);
        }
    }
    if (ink_->isEmpty())
        return ink_;
    *ink_ = ink_->translated(origin_).adjusted(-1, -1, 1, 1);
    if (clip_)
        *ink_ &= QRectF(box_.toAlignedRect());
    return ink_;
}

bool SkinTextLine::InkIn(QPainter& p, const QRect& area) {
    if (text_.isEmpty() || area.isEmpty())
        return false;
    const bool laidOut = Prepare(p);
    QImage scratch(area.size(), QImage::Format_ARGB32_Premultiplied);
    scratch.fill(Qt::transparent);
    {
        QPainter s(&scratch);
        s.setRenderHint(QPainter::Antialiasing, true);
        s.setRenderHint(QPainter::TextAntialiasing, true);
        s.translate(-area.topLeft());
        s.setPen(Qt::white);
        if (laidOut) {
            DrawLaidOut(s);
        } else {
            s.setFont(p.font());
            s.drawText(box_, align_ | Qt::TextSingleLine, text_);
        }
    }
    for (int y = 0; y < scratch.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(scratch.constScanLine(y));
        for (int x = 0; x < scratch.width(); ++x)
            if (qAlpha(row[x]) != 0)
                return true;
    }
    return false;
}
