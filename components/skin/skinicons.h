#pragma once

#include <QColor>
#include <QRectF>
#include <QString>
#include <QStringList>

class QPainter;

// Vector icons the painter draws by name, so a skin needs no pictures for the usual symbols and
// they stay crisp at any size.
namespace skinicons {

// Every name a skin may use, e.g. "record", "pause", "speaker-muted".
const QStringList& Names();
bool Exists(const QString& name);

// Draws the icon centred in `box` (the icon fits the smaller side) in one colour.
void Paint(QPainter& painter, const QString& name, const QRectF& box, const QColor& color);

} // namespace skinicons
