#include "skinicons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <cmath>
#include <functional>
#include <map>

// Every icon is drawn on a 24 by 24 grid and scaled into its box. Strokes are 2 units wide with
// round caps, which keeps them legible from 12 px up.
namespace skinicons {
namespace {

using Draw = std::function<void(QPainter&, const QColor&)>;

QPen Stroke(const QColor& c, double width = 2.0) {
    QPen pen(c, width);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    return pen;
}

void Filled(QPainter& p, const QColor& c) {
    p.setPen(Qt::NoPen);
    p.setBrush(c);
}

void Outlined(QPainter& p, const QColor& c, double width = 2.0) {
    p.setPen(Stroke(c, width));
    p.setBrush(Qt::NoBrush);
}

// A triangle with softly rounded corners, pointing right when `right` is true.
void Triangle(QPainter& p, const QColor& c, QPointF a, QPointF b, QPointF tip) {
    p.setPen(Stroke(c, 1.5));
    p.setBrush(c);
    p.drawPolygon(QPolygonF({a, b, tip}));
}

void Speaker(QPainter& p, const QColor& c) {
    Filled(p, c);
    QPainterPath body;
    body.moveTo(3, 9);
    body.lineTo(7, 9);
    body.lineTo(12, 4.5);
    body.lineTo(12, 19.5);
    body.lineTo(7, 15);
    body.lineTo(3, 15);
    body.closeSubpath();
    p.setPen(Stroke(c, 1.2));
    p.drawPath(body);
}

const std::map<QString, Draw>& Table() {
    static const std::map<QString, Draw> table = {
        {"record",
         [](QPainter& p, const QColor& c) {
             Filled(p, c);
             p.drawEllipse(QPointF(12, 12), 7.5, 7.5);
         }},
        {"pause",
         [](QPainter& p, const QColor& c) {
             Filled(p, c);
             p.drawRoundedRect(QRectF(6, 5, 4, 14), 1.2, 1.2);
             p.drawRoundedRect(QRectF(14, 5, 4, 14), 1.2, 1.2);
         }},
        {"stop",
         [](QPainter& p, const QColor& c) {
             Filled(p, c);
             p.drawRoundedRect(QRectF(6, 6, 12, 12), 2, 2);
         }},
        {"play",
         [](QPainter& p, const QColor& c) {
             Triangle(p, c, {8, 5.5}, {8, 18.5}, {19, 12});
         }},
        {"prev",
         [](QPainter& p, const QColor& c) {
             Filled(p, c);
             p.drawRoundedRect(QRectF(4, 6, 2.5, 12), 1, 1);
             Triangle(p, c, {13, 6.5}, {13, 17.5}, {7.5, 12});
             Triangle(p, c, {19.5, 6.5}, {19.5, 17.5}, {14, 12});
         }},
        {"next",
         [](QPainter& p, const QColor& c) {
             Filled(p, c);
             p.drawRoundedRect(QRectF(17.5, 6, 2.5, 12), 1, 1);
             Triangle(p, c, {11, 6.5}, {11, 17.5}, {16.5, 12});
             Triangle(p, c, {4.5, 6.5}, {4.5, 17.5}, {10, 12});
         }},
        {"speaker",
         [](QPainter& p, const QColor& c) {
             Speaker(p, c);
             Outlined(p, c, 1.8);
             p.drawArc(QRectF(9, 8, 8, 8), -50 * 16, 100 * 16);
             p.drawArc(QRectF(7, 4.5, 15, 15), -50 * 16, 100 * 16);
         }},
        {"speaker-muted",
         [](QPainter& p, const QColor& c) {
             Speaker(p, c);
             Outlined(p, c, 2);
             p.drawLine(QPointF(15.5, 9), QPointF(21, 15));
             p.drawLine(QPointF(21, 9), QPointF(15.5, 15));
         }},
        {"list",
         [](QPainter& p, const QColor& c) {
             Outlined(p, c);
             for (double y : {6.5, 12.0, 17.5})
                 p.drawLine(QPointF(9, y), QPointF(20, y));
             Filled(p, c);
             for (double y : {6.5, 12.0, 17.5})
                 p.drawEllipse(QPointF(4.5, y), 1.4, 1.4);
         }},
        {"gear",
         [](QPainter& p, const QColor& c) {
             QPainterPath gear;
             gear.setFillRule(Qt::OddEvenFill);
             const int teeth = 8;
             for (int i = 0; i < teeth * 2; ++i) {
                 // Alternate outer and inner radius in small arcs to make square-ish teeth.
                 const double r = (i % 2 == 0) ? 10.0 : 7.6;
                 const double a0 = (i - 0.5) * M_PI / teeth, a1 = (i + 0.5) * M_PI / teeth;
                 const QPointF p0(12 + r * std::cos(a0), 12 + r * std::sin(a0));
                 const QPointF p1(12 + r * std::cos(a1), 12 + r * std::sin(a1));
                 if (i == 0)
                     gear.moveTo(p0);
                 else
                     gear.lineTo(p0);
                 gear.lineTo(p1);
             }
             gear.closeSubpath();
             gear.addEllipse(QPointF(12, 12), 3.2, 3.2);
             p.setPen(Stroke(c, 1));
             p.setBrush(c);
             p.drawPath(gear);
         }},
        {"tag",
         [](QPainter& p, const QColor& c) {
             QPainterPath tag;
             tag.setFillRule(Qt::OddEvenFill);
             tag.moveTo(3.5, 4.5);
             tag.lineTo(11.5, 4.5);
             tag.lineTo(20.5, 13.5);
             tag.lineTo(13.5, 20.5);
             tag.lineTo(3.5, 10.5);
             tag.closeSubpath();
             tag.addEllipse(QPointF(8, 9), 1.8, 1.8);
             p.setPen(Stroke(c, 1.4));
             p.setBrush(c);
             p.drawPath(tag);
         }},
        {"help",
         [](QPainter& p, const QColor& c) {
             Outlined(p, c, 1.8);
             p.drawEllipse(QPointF(12, 12), 9.5, 9.5);
             QPainterPath q;
             q.moveTo(9, 9.5);
             q.cubicTo(9, 6.2, 15, 6.2, 15, 9.5);
             q.cubicTo(15, 11.5, 12, 11.8, 12, 14.2);
             p.setPen(Stroke(c, 2.1));
             p.drawPath(q);
             Filled(p, c);
             p.drawEllipse(QPointF(12, 17.4), 1.35, 1.35);
         }},
        {"globe",
         [](QPainter& p, const QColor& c) {
             Outlined(p, c, 1.7);
             p.drawEllipse(QPointF(12, 12), 9.5, 9.5);
             p.drawEllipse(QPointF(12, 12), 4.2, 9.5);
             p.drawLine(QPointF(2.5, 12), QPointF(21.5, 12));
             p.drawLine(QPointF(12, 2.5), QPointF(12, 21.5));
             p.setPen(Stroke(c, 1.3));
             p.drawLine(QPointF(4.5, 7), QPointF(19.5, 7));
             p.drawLine(QPointF(4.5, 17), QPointF(19.5, 17));
         }},
        {"plus",
         [](QPainter& p, const QColor& c) {
             Outlined(p, c, 2.4);
             p.drawLine(QPointF(12, 5), QPointF(12, 19));
             p.drawLine(QPointF(5, 12), QPointF(19, 12));
         }},
        {"file-add",
         [](QPainter& p, const QColor& c) {
             Outlined(p, c, 1.7);
             QPainterPath doc;
             doc.moveTo(14, 3.5);
             doc.lineTo(6, 3.5);
             doc.lineTo(6, 20.5);
             doc.lineTo(12, 20.5);
             doc.moveTo(14, 3.5);
             doc.lineTo(18.5, 8);
             doc.lineTo(18.5, 12);
             doc.moveTo(14, 3.5);
             doc.lineTo(14, 8);
             doc.lineTo(18.5, 8);
             p.drawPath(doc);
             p.setPen(Stroke(c, 2));
             p.drawLine(QPointF(18, 14.5), QPointF(18, 21.5));
             p.drawLine(QPointF(14.5, 18), QPointF(21.5, 18));
         }},
        {"minus",
         [](QPainter& p, const QColor& c) {
             Outlined(p, c, 2);
             p.drawLine(QPointF(6, 16), QPointF(18, 16));
         }},
        {"close",
         [](QPainter& p, const QColor& c) {
             Outlined(p, c, 2);
             p.drawLine(QPointF(6.5, 6.5), QPointF(17.5, 17.5));
             p.drawLine(QPointF(17.5, 6.5), QPointF(6.5, 17.5));
         }},
        {"trash",
         [](QPainter& p, const QColor& c) {
             Outlined(p, c, 1.8);
             p.drawLine(QPointF(4, 6.5), QPointF(20, 6.5));
             p.drawLine(QPointF(9.5, 6.5), QPointF(9.5, 3.8));
             p.drawLine(QPointF(9.5, 3.8), QPointF(14.5, 3.8));
             p.drawLine(QPointF(14.5, 3.8), QPointF(14.5, 6.5));
             QPainterPath bin;
             bin.moveTo(6, 6.5);
             bin.lineTo(7.2, 20.5);
             bin.lineTo(16.8, 20.5);
             bin.lineTo(18, 6.5);
             p.drawPath(bin);
             p.setPen(Stroke(c, 1.4));
             p.drawLine(QPointF(10.2, 10), QPointF(10.4, 17));
             p.drawLine(QPointF(13.8, 10), QPointF(13.6, 17));
         }},
        {"clear-list",
         [](QPainter& p, const QColor& c) {
             Outlined(p, c);
             p.drawLine(QPointF(3.5, 6.5), QPointF(16, 6.5));
             p.drawLine(QPointF(3.5, 12), QPointF(12, 12));
             p.drawLine(QPointF(3.5, 17.5), QPointF(10, 17.5));
             p.drawLine(QPointF(14.5, 13.5), QPointF(20.5, 19.5));
             p.drawLine(QPointF(20.5, 13.5), QPointF(14.5, 19.5));
         }},
        {"check",
         [](QPainter& p, const QColor& c) {
             Outlined(p, c, 2.4);
             QPainterPath tick;
             tick.moveTo(5, 12.5);
             tick.lineTo(10, 17.5);
             tick.lineTo(19.5, 7);
             p.drawPath(tick);
         }},
        {"reset",
         [](QPainter& p, const QColor& c) {
             Outlined(p, c, 2);
             p.drawArc(QRectF(4.5, 4.5, 15, 15), 100 * 16, 280 * 16);
             Filled(p, c);
             p.drawPolygon(QPolygonF({QPointF(10.5, 1.8), QPointF(10.5, 8.8), QPointF(15, 5.3)}));
         }},
        {"chevron-up",
         [](QPainter& p, const QColor& c) {
             Outlined(p, c, 2.2);
             QPainterPath v;
             v.moveTo(6, 15);
             v.lineTo(12, 9);
             v.lineTo(18, 15);
             p.drawPath(v);
         }},
        {"chevron-down",
         [](QPainter& p, const QColor& c) {
             Outlined(p, c, 2.2);
             QPainterPath v;
             v.moveTo(6, 9);
             v.lineTo(12, 15);
             v.lineTo(18, 9);
             p.drawPath(v);
         }},
        {"mic",
         [](QPainter& p, const QColor& c) {
             Filled(p, c);
             p.drawRoundedRect(QRectF(8.5, 2.5, 7, 12), 3.5, 3.5);
             Outlined(p, c, 1.8);
             p.drawArc(QRectF(5, 5.5, 14, 12), 180 * 16, 180 * 16);
             p.drawLine(QPointF(12, 17.5), QPointF(12, 21));
             p.drawLine(QPointF(8.5, 21), QPointF(15.5, 21));
         }},
    };
    return table;
}

} // namespace

const QStringList& Names() {
    static const QStringList names = [] {
        QStringList n;
        for (const auto& [name, draw] : Table())
            n << name;
        return n;
    }();
    return names;
}

bool Exists(const QString& name) {
    return Table().count(name) != 0;
}

void Paint(QPainter& painter, const QString& name, const QRectF& box, const QColor& color) {
    const auto it = Table().find(name);
    if (it == Table().end() || box.width() <= 0 || box.height() <= 0)
        return;
    const double side = std::min(box.width(), box.height());
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.translate(box.center());
    painter.scale(side / 24.0, side / 24.0);
    painter.translate(-12, -12);
    it->second(painter, color);
    painter.restore();
}

} // namespace skinicons
