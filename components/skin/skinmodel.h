#pragma once

#include <QColor>
#include <QImage>
#include <QString>
#include <map>
#include <memory>
#include <utility>
#include <vector>

// The plain data a skin file turns into. Nothing here knows about widgets: the painter draws it
// onto any paint device and the hit-test reads it, so both can be tested on a QImage.

// A rectangle as the skin speaks of it: left, top, right, bottom in the form's pixels, right and
// bottom exclusive (so width = right - left).
struct SkinRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    bool operator==(const SkinRect&) const = default;
};

// How an area is filled: nothing, one colour, a linear gradient or an image of the skin.
struct SkinFill {
    enum class Kind { None, Solid, Gradient, Image };
    enum class ImageMode { Stretch, Tile, Center };
    Kind kind = Kind::None;
    QColor color;
    bool vertical = true;                         // gradient runs top to bottom, else left to right
    std::vector<std::pair<double, QColor>> stops; // gradient stops, positions 0..1
    QString image;                                // name in SkinModel::images
    ImageMode mode = ImageMode::Stretch;
    bool IsNone() const { return kind == Kind::None; }
};

// The look of a box in one state: fill, border, corner radius and what is drawn inside.
struct SkinLook {
    SkinFill fill;
    QColor border; // invalid: no border
    double borderWidth = 1;
    double radius = 0; // corner radius; half the height or more makes a pill or a circle
    QColor foreground; // text and icon colour; invalid: the element's text colour
};

struct SkinFont {
    QString family = QStringLiteral("DejaVu Sans");
    int pixelSize = 12;
    bool bold = false;
    bool italic = false;
    double letterSpacing = 0; // extra pixels between letters
    bool operator==(const SkinFont&) const = default;
};

enum class SkinKind { Button, Text, Image, Slider };

struct SkinElementModel {
    QString name;
    SkinKind kind = SkinKind::Image;
    SkinRect rect;
    bool visible = true;

    // Boxes: buttons use all three states, the other kinds only `normal`.
    SkinLook normal, hover, pressed;

    // Contents: a text and/or a vector icon (see SkinIcons) or an image of the skin.
    QString text;
    SkinFont font;
    QColor textColor = Qt::white;
    int align = 0x0001 | 0x0080; // Qt::AlignLeft | Qt::AlignVCenter
    QString icon;
    double iconSize = 0.6; // the icon's share of the smaller side of the box
    QString image;         // drawn over the fill, scaled into the box

    // Sliders: range, orientation, current position and the three parts' looks.
    int minimum = 0, maximum = 100, position = 0;
    bool vertical = false;
    double trackThickness = 4;
    SkinLook track, progress, thumb;
    int thumbSize = 12; // along the slider's direction
};

// The window's outline when it is not a plain rectangle.
struct SkinShape {
    enum class Kind { Rectangle, RoundedRect, Polygon };
    Kind kind = Kind::Rectangle;
    double radius = 0;
    std::vector<std::pair<int, int>> points;
};

struct SkinFormModel {
    QString name;
    int width = 0, height = 0;
    SkinFill background;
    QColor border; // outline drawn along the shape, invalid for none
    SkinShape shape;
    std::vector<SkinElementModel> elements; // painted in order: later ones lie on top

    const SkinElementModel* Find(const QString& elementName) const;
    SkinElementModel* Find(const QString& elementName);
};

struct SkinModel {
    std::map<QString, QImage> images;
    // Each image repeated to at least 64 px each way, the same pattern from the same origin:
    // a tiled fill draws a narrow image (a 1x3 scan-line pattern) a pixel at a time.
    std::map<QString, QImage> tiles;
    std::vector<SkinFormModel> forms;

    const SkinFormModel* Form(const QString& formName) const;
};

// Shared read-only skins: an applied window keeps the skin it came from alive.
using SkinModelPtr = std::shared_ptr<const SkinModel>;
