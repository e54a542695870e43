#include "skinparser.h"

#include "skinicons.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <cmath>
#include <cstring>
#include <set>

namespace {

// Bounds that keep a hostile file from asking for absurd amounts of memory or time.
constexpr int kMaxFormSide = 4096;
constexpr int kMaxElements = 2000;
constexpr int kMaxPolygonPoints = 1000;
constexpr int kMaxGradientStops = 64;
constexpr int kMaxImageSide = 2048;
constexpr int kMaxFontSize = 400;

// Thrown inside the parser only; ParseSkin turns it into the result's message.
struct ParseFailure {
    QString message;
};

class Parser {
public:
    explicit Parser(QString fileName) : file_(std::move(fileName)) {}

    std::shared_ptr<SkinModel> Parse(const QByteArray& data);

private:
    [[noreturn]] void Fail(const QString& problem) const {
        QString where = file_;
        QStringList parts;
        if (!form_.isNull())
            parts << QStringLiteral("form \"%1\"").arg(form_);
        if (!element_.isNull())
            parts << QStringLiteral("element \"%1\"").arg(element_);
        if (!parts.isEmpty())
            where += QStringLiteral(": ") + parts.join(QStringLiteral(", "));
        throw ParseFailure{where + QStringLiteral(": ") + problem};
    }

    static QString Quoted(const QString& s) { return QStringLiteral("\"%1\"").arg(s); }

    QJsonObject Object(const QJsonValue& v, const QString& what) const {
        if (!v.isObject())
            Fail(QStringLiteral("%1 must be an object").arg(what));
        return v.toObject();
    }
    QString String(const QJsonValue& v, const QString& what) const {
        if (!v.isString())
            Fail(QStringLiteral("%1 must be a text").arg(what));
        return v.toString();
    }
    bool Bool(const QJsonValue& v, const QString& what) const {
        if (!v.isBool())
            Fail(QStringLiteral("%1 must be true or false").arg(what));
        return v.toBool();
    }
    double Number(const QJsonValue& v, const QString& what, double lo, double hi) const {
        if (!v.isDouble())
            Fail(QStringLiteral("%1 must be a number").arg(what));
        const double d = v.toDouble();
        if (!std::isfinite(d) || d < lo || d > hi)
            Fail(QStringLiteral("%1 must lie between %2 and %3").arg(what).arg(lo).arg(hi));
        return d;
    }
    int Integer(const QJsonValue& v, const QString& what, int lo, int hi) const {
        const double d = Number(v, what, lo, hi);
        if (d != std::floor(d))
            Fail(QStringLiteral("%1 must be a whole number").arg(what));
        return static_cast<int>(d);
    }

    QColor Color(const QJsonValue& v, const QString& what) const;
    SkinFill Fill(const QJsonValue& v, const QString& what) const;
    void Look(const QJsonObject& o, SkinLook& look, const QString& prefix) const;
    SkinFont Font(const QJsonValue& v) const;
    int Align(const QJsonValue& v) const;
    void Images(const QJsonValue& v);
    void Styles(const QJsonValue& v);
    SkinFormModel Form(const QJsonObject& o);
    SkinElementModel Element(const QJsonObject& o, const SkinFormModel& form);
    SkinShape Shape(const QJsonValue& v, const SkinFormModel& form) const;

    QString file_;
    QString form_;    // null outside a form
    QString element_; // null outside an element
    SkinModel* model_ = nullptr;
    std::map<QString, QJsonObject> styles_;
};

QColor Parser::Color(const QJsonValue& v, const QString& what) const {
    const QString s = String(v, what);
    QColor c = QColor::fromString(s);
    if (!c.isValid())
        Fail(QStringLiteral("%1: %2 is not a colour (use #rrggbb, #aarrggbb or a colour name)")
                 .arg(what, Quoted(s)));
    return c;
}

SkinFill Parser::Fill(const QJsonValue& v, const QString& what) const {
    SkinFill fill;
    if (v.isString()) {
        if (v.toString() == QLatin1String("none"))
            return fill;
        fill.kind = SkinFill::Kind::Solid;
        fill.color = Color(v, what);
        return fill;
    }
    const QJsonObject o = Object(v, what);
    if (o.contains(QLatin1String("gradient"))) {
        fill.kind = SkinFill::Kind::Gradient;
        const QJsonValue g = o.value(QLatin1String("gradient"));
        if (!g.isArray() || g.toArray().size() < 2 || g.toArray().size() > kMaxGradientStops)
            Fail(QStringLiteral("%1: a gradient needs 2 to %2 stops like [0, \"#rrggbb\"]")
                     .arg(what)
                     .arg(kMaxGradientStops));
        for (const QJsonValue& stop : g.toArray()) {
            const QJsonArray a = stop.toArray();
            if (!stop.isArray() || a.size() != 2)
                Fail(QStringLiteral("%1: a gradient stop must be [position, colour]").arg(what));
            fill.stops.emplace_back(Number(a[0], what + QStringLiteral(" stop position"), 0, 1),
                                    Color(a[1], what + QStringLiteral(" stop colour")));
        }
        if (o.contains(QLatin1String("direction"))) {
            const QString d = String(o.value(QLatin1String("direction")), what + " direction");
            if (d == QLatin1String("horizontal"))
                fill.vertical = false;
            else if (d != QLatin1String("vertical"))
                Fail(QStringLiteral("%1: unknown direction %2 (horizontal or vertical)")
                         .arg(what, Quoted(d)));
        }
        return fill;
    }
    if (o.contains(QLatin1String("image"))) {
        fill.kind = SkinFill::Kind::Image;
        fill.image = String(o.value(QLatin1String("image")), what + QStringLiteral(" image"));
        if (!model_->images.count(fill.image))
            Fail(QStringLiteral("%1 refers to the missing image %2").arg(what, Quoted(fill.image)));
        if (o.contains(QLatin1String("mode"))) {
            const QString m = String(o.value(QLatin1String("mode")), what + " mode");
            if (m == QLatin1String("tile"))
                fill.mode = SkinFill::ImageMode::Tile;
            else if (m == QLatin1String("center"))
                fill.mode = SkinFill::ImageMode::Center;
            else if (m != QLatin1String("stretch"))
                Fail(QStringLiteral("%1: unknown image mode %2 (stretch, tile or center)")
                         .arg(what, Quoted(m)));
        }
        return fill;
    }
    if (o.contains(QLatin1String("color"))) {
        fill.kind = SkinFill::Kind::Solid;
        fill.color = Color(o.value(QLatin1String("color")), what);
        return fill;
    }
    Fail(QStringLiteral("%1 needs a colour, a \"gradient\" or an \"image\"").arg(what));
}

// Reads the look keys of one state from `o` over what `look` already holds, so "hover" and
// "pressed" only name what differs from the normal look.
void Parser::Look(const QJsonObject& o, SkinLook& look, const QString& prefix) const {
    const auto key = [&](const char* k) { return prefix + QLatin1String(k); };
    if (o.contains(QLatin1String("fill")))
        look.fill = Fill(o.value(QLatin1String("fill")), key("fill"));
    if (o.contains(QLatin1String("border"))) {
        const QJsonValue b = o.value(QLatin1String("border"));
        look.border = b.toString() == QLatin1String("none") ? QColor() : Color(b, key("border"));
    }
    if (o.contains(QLatin1String("borderWidth")))
        look.borderWidth = Number(o.value(QLatin1String("borderWidth")), key("borderWidth"), 0, 64);
    if (o.contains(QLatin1String("radius")))
        look.radius = Number(o.value(QLatin1String("radius")), key("radius"), 0, kMaxFormSide);
    if (o.contains(QLatin1String("foreground")))
        look.foreground = Color(o.value(QLatin1String("foreground")), key("foreground"));
}

SkinFont Parser::Font(const QJsonValue& v) const {
    SkinFont font;
    const QJsonObject o = Object(v, QStringLiteral("font"));
    if (o.contains(QLatin1String("family")))
        font.family = String(o.value(QLatin1String("family")), QStringLiteral("font family"));
    if (o.contains(QLatin1String("size")))
        font.pixelSize =
            Integer(o.value(QLatin1String("size")), QStringLiteral("font size"), 1, kMaxFontSize);
    if (o.contains(QLatin1String("bold")))
        font.bold = Bool(o.value(QLatin1String("bold")), QStringLiteral("font bold"));
    if (o.contains(QLatin1String("italic")))
        font.italic = Bool(o.value(QLatin1String("italic")), QStringLiteral("font italic"));
    if (o.contains(QLatin1String("spacing")))
        font.letterSpacing =
            Number(o.value(QLatin1String("spacing")), QStringLiteral("font spacing"), -20, 100);
    return font;
}

// "left", "center", "right", optionally followed by "top", "middle" or "bottom".
int Parser::Align(const QJsonValue& v) const {
    const QString s = String(v, QStringLiteral("align"));
    int h = Qt::AlignLeft, vert = Qt::AlignVCenter;
    const QStringList words = s.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words.isEmpty() || words.size() > 2)
        Fail(QStringLiteral("align %1 must be like \"center\" or \"left top\"").arg(Quoted(s)));
    for (const QString& w : words) {
        if (w == QLatin1String("left"))
            h = Qt::AlignLeft;
        else if (w == QLatin1String("center"))
            h = Qt::AlignHCenter;
        else if (w == QLatin1String("right"))
            h = Qt::AlignRight;
        else if (w == QLatin1String("top"))
            vert = Qt::AlignTop;
        else if (w == QLatin1String("middle"))
            vert = Qt::AlignVCenter;
        else if (w == QLatin1String("bottom"))
            vert = Qt::AlignBottom;
        else
            Fail(QStringLiteral("unknown alignment %1").arg(Quoted(w)));
    }
    return h | vert;
}

// `image` (32 bits a pixel) side by side and row under row, to at least 64 px each way.
QImage RepeatedForTiling(const QImage& image) {
    constexpr int kSide = 64;
    const int w = image.width(), h = image.height();
    if (w >= kSide && h >= kSide)
        return image;
    const int width = w >= kSide ? w : (kSide + w - 1) / w * w;
    const int height = h >= kSide ? h : (kSide + h - 1) / h * h;
    QImage out(width, height, image.format());
    const std::size_t rowBytes = static_cast<std::size_t>(w) * 4;
    for (int y = 0; y < height; ++y) {
        const uchar* from = image.constScanLine(y % h);
        uchar* to = out.scanLine(y);
        for (int x = 0; x < width; x += w)
            std::memcpy(to + static_cast<std::size_t>(x) * 4, from, rowBytes);
    }
    return out;
}

void Parser::Images(const QJsonValue& v) {
    const QJsonObject o = Object(v, QStringLiteral("\"images\""));
    for (auto it = o.begin(); it != o.end(); ++it) {
        const QString name = it.key();
        QString data = String(it.value(), QStringLiteral("image %1").arg(Quoted(name)));
        // Accept a data URL as well as bare base64.
        const qsizetype comma = data.indexOf(QLatin1Char(','));
        if (data.startsWith(QLatin1String("data:")) && comma > 0)
            data = data.mid(comma + 1);
        const auto decoded = QByteArray::fromBase64Encoding(
            data.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
        if (!decoded)
            Fail(QStringLiteral("image %1 is not valid base64").arg(Quoted(name)));
        QByteArray bytes = *decoded;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer);
        reader.setAllocationLimit(64);
        const QSize size = reader.size();
        if (!size.isValid() || size.width() > kMaxImageSide || size.height() > kMaxImageSide)
            Fail(QStringLiteral("image %1 is not a picture of at most %2x%2 pixels")
                     .arg(Quoted(name))
                     .arg(kMaxImageSide));
        QImage image = reader.read();
        if (image.isNull())
            Fail(QStringLiteral("image %1 cannot be decoded: %2")
                     .arg(Quoted(name), reader.errorString()));
        image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        model_->tiles[name] = RepeatedForTiling(image);
        model_->images[name] = image;
    }
}

// Named bundles of element keys; an element with "style" starts from them.
void Parser::Styles(const QJsonValue& v) {
    const QJsonObject o = Object(v, QStringLiteral("\"styles\""));
    for (auto it = o.begin(); it != o.end(); ++it)
        styles_[it.key()] = Object(it.value(), QStringLiteral("style %1").arg(Quoted(it.key())));
}

SkinShape Parser::Shape(const QJsonValue& v, const SkinFormModel& form) const {
    SkinShape shape;
    const QJsonObject o = Object(v, QStringLiteral("shape"));
    const QString type = String(o.value(QLatin1String("type")), QStringLiteral("shape type"));
    if (type == QLatin1String("rectangle"))
        return shape;
    if (type == QLatin1String("rounded")) {
        shape.kind = SkinShape::Kind::RoundedRect;
        shape.radius = Number(o.value(QLatin1String("radius")), QStringLiteral("shape radius"), 0,
                              std::min(form.width, form.height) / 2.0);
        return shape;
    }
    if (type == QLatin1String("polygon")) {
        shape.kind = SkinShape::Kind::Polygon;
        const QJsonValue pts = o.value(QLatin1String("points"));
        if (!pts.isArray() || pts.toArray().size() < 3 || pts.toArray().size() > kMaxPolygonPoints)
            Fail(QStringLiteral("a polygon shape needs 3 to %1 points like [x, y]")
                     .arg(kMaxPolygonPoints));
        for (const QJsonValue& p : pts.toArray()) {
            const QJsonArray a = p.toArray();
            if (!p.isArray() || a.size() != 2)
                Fail(QStringLiteral("a polygon point must be [x, y]"));
            shape.points.emplace_back(Integer(a[0], QStringLiteral("polygon x"), 0, form.width),
                                      Integer(a[1], QStringLiteral("polygon y"), 0, form.height));
        }
        return shape;
    }
    Fail(QStringLiteral("unknown shape type %1 (rectangle, rounded or polygon)").arg(Quoted(type)));
}

SkinElementModel Parser::Element(const QJsonObject& raw, const SkinFormModel& form) {
    SkinElementModel e;
    element_ = QString();
    if (!raw.value(QLatin1String("name")).isString() ||
        raw.value(QLatin1String("name")).toString().isEmpty())
        Fail(QStringLiteral("element %1 has no name").arg(form.elements.size() + 1));
    e.name = raw.value(QLatin1String("name")).toString();
    element_ = e.name;

    QJsonObject o = raw;
    if (raw.contains(QLatin1String("style"))) {
        const QString style = String(raw.value(QLatin1String("style")), QStringLiteral("style"));
        const auto it = styles_.find(style);
        if (it == styles_.end())
            Fail(QStringLiteral("unknown style %1").arg(Quoted(style)));
        o = it->second;
        for (auto k = raw.begin(); k != raw.end(); ++k)
            o.insert(k.key(), k.value());
    }

    const QString kind = String(o.value(QLatin1String("kind")), QStringLiteral("kind"));
    if (kind == QLatin1String("button"))
        e.kind = SkinKind::Button;
    else if (kind == QLatin1String("text"))
        e.kind = SkinKind::Text;
    else if (kind == QLatin1String("image"))
        e.kind = SkinKind::Image;
    else if (kind == QLatin1String("slider"))
        e.kind = SkinKind::Slider;
    else
        Fail(QStringLiteral("unknown kind %1").arg(Quoted(kind)));

    const QJsonValue r = o.value(QLatin1String("rect"));
    const QJsonArray ra = r.toArray();
    if (!r.isArray() || ra.size() != 4)
        Fail(QStringLiteral("rect must be [left, top, width, height]"));
    const int left = Integer(ra[0], QStringLiteral("rect left"), 0, form.width);
    const int top = Integer(ra[1], QStringLiteral("rect top"), 0, form.height);
    const int width = Integer(ra[2], QStringLiteral("rect width"), 0, kMaxFormSide);
    const int height = Integer(ra[3], QStringLiteral("rect height"), 0, kMaxFormSide);
    if (left + width > form.width || top + height > form.height)
        Fail(QStringLiteral("rect [%1, %2, %3, %4] reaches beyond the %5x%6 form")
                 .arg(left)
                 .arg(top)
                 .arg(width)
                 .arg(height)
                 .arg(form.width)
                 .arg(form.height));
    e.rect = SkinRect{left, top, left + width, top + height};

    if (o.contains(QLatin1String("visible")))
        e.visible = Bool(o.value(QLatin1String("visible")), QStringLiteral("visible"));

    Look(o, e.normal, QString());
    e.hover = e.normal;
    if (o.contains(QLatin1String("hover")))
        Look(Object(o.value(QLatin1String("hover")), QStringLiteral("hover")), e.hover,
             QStringLiteral("hover "));
    e.pressed = e.hover;
    if (o.contains(QLatin1String("pressed")))
        Look(Object(o.value(QLatin1String("pressed")), QStringLiteral("pressed")), e.pressed,
             QStringLiteral("pressed "));

    if (o.contains(QLatin1String("text")))
        e.text = String(o.value(QLatin1String("text")), QStringLiteral("text"));
    if (o.contains(QLatin1String("font")))
        e.font = Font(o.value(QLatin1String("font")));
    if (o.contains(QLatin1String("color")))
        e.textColor = Color(o.value(QLatin1String("color")), QStringLiteral("color"));
    e.align = e.kind == SkinKind::Button ? int(Qt::AlignCenter) : e.align;
    if (o.contains(QLatin1String("align")))
        e.align = Align(o.value(QLatin1String("align")));
    if (o.contains(QLatin1String("icon"))) {
        e.icon = String(o.value(QLatin1String("icon")), QStringLiteral("icon"));
        if (!skinicons::Exists(e.icon))
            Fail(QStringLiteral("unknown icon %1").arg(Quoted(e.icon)));
    }
    if (o.contains(QLatin1String("iconSize")))
        e.iconSize =
            Number(o.value(QLatin1String("iconSize")), QStringLiteral("iconSize"), 0.05, 1);
    if (o.contains(QLatin1String("image"))) {
        e.image = String(o.value(QLatin1String("image")), QStringLiteral("image"));
        if (!model_->images.count(e.image))
            Fail(QStringLiteral("refers to the missing image %1").arg(Quoted(e.image)));
    }

    if (e.kind == SkinKind::Slider) {
        if (o.contains(QLatin1String("range"))) {
            const QJsonArray a = o.value(QLatin1String("range")).toArray();
            if (a.size() != 2)
                Fail(QStringLiteral("range must be [minimum, maximum]"));
            e.minimum = Integer(a[0], QStringLiteral("range minimum"), -1000000000, 1000000000);
            e.maximum = Integer(a[1], QStringLiteral("range maximum"), -1000000000, 1000000000);
            if (e.maximum <= e.minimum)
                Fail(QStringLiteral("range [%1, %2] is empty").arg(e.minimum).arg(e.maximum));
        }
        e.position = e.minimum;
        if (o.contains(QLatin1String("position")))
            e.position = Integer(o.value(QLatin1String("position")), QStringLiteral("position"),
                                 e.minimum, e.maximum);
        if (o.contains(QLatin1String("orientation"))) {
            const QString d =
                String(o.value(QLatin1String("orientation")), QStringLiteral("orientation"));
            if (d == QLatin1String("vertical"))
                e.vertical = true;
            else if (d != QLatin1String("horizontal"))
                Fail(QStringLiteral("unknown orientation %1 (horizontal or vertical)")
                         .arg(Quoted(d)));
        }
        const auto part = [&](const char* name, SkinLook& look) {
            if (o.contains(QLatin1String(name)))
                Look(Object(o.value(QLatin1String(name)), QLatin1String(name)), look,
                     QLatin1String(name) + QLatin1Char(' '));
        };
        part("track", e.track);
        part("progress", e.progress);
        part("thumb", e.thumb);
        if (o.contains(QLatin1String("thumbSize")))
            e.thumbSize = Integer(o.value(QLatin1String("thumbSize")), QStringLiteral("thumbSize"),
                                  0, kMaxFormSide);
        if (o.contains(QLatin1String("trackThickness")))
            e.trackThickness = Number(o.value(QLatin1String("trackThickness")),
                                      QStringLiteral("trackThickness"), 0, kMaxFormSide);
    }
    return e;
}

SkinFormModel Parser::Form(const QJsonObject& o) {
    SkinFormModel form;
    form_ = QString();
    element_ = QString();
    if (!o.value(QLatin1String("name")).isString() ||
        o.value(QLatin1String("name")).toString().isEmpty())
        Fail(QStringLiteral("form %1 has no name").arg(model_->forms.size() + 1));
    form.name = o.value(QLatin1String("name")).toString();
    form_ = form.name;
    if (model_->Form(form.name))
        Fail(QStringLiteral("the form name is used twice"));

    const QJsonArray size = o.value(QLatin1String("size")).toArray();
    if (size.size() != 2)
        Fail(QStringLiteral("size must be [width, height]"));
    form.width = Integer(size[0], QStringLiteral("width"), 1, kMaxFormSide);
    form.height = Integer(size[1], QStringLiteral("height"), 1, kMaxFormSide);
    if (o.contains(QLatin1String("background")))
        form.background = Fill(o.value(QLatin1String("background")), QStringLiteral("background"));
    if (o.contains(QLatin1String("border")))
        form.border = Color(o.value(QLatin1String("border")), QStringLiteral("border"));
    if (o.contains(QLatin1String("shape")))
        form.shape = Shape(o.value(QLatin1String("shape")), form);

    const QJsonValue elements = o.value(QLatin1String("elements"));
    if (!elements.isArray())
        Fail(QStringLiteral("\"elements\" must be a list"));
    if (elements.toArray().size() > kMaxElements)
        Fail(QStringLiteral("more than %1 elements").arg(kMaxElements));
    std::set<QString> names;
    for (const QJsonValue& v : elements.toArray()) {
        element_ = QString();
        const QJsonObject eo =
            Object(v, QStringLiteral("element %1").arg(form.elements.size() + 1));
        SkinElementModel e = Element(eo, form);
        if (!names.insert(e.name).second)
            Fail(QStringLiteral("the name is used twice in this form"));
        form.elements.push_back(std::move(e));
    }
    element_ = QString();
    return form;
}

std::shared_ptr<SkinModel> Parser::Parse(const QByteArray& data) {
    auto model = std::make_shared<SkinModel>();
    model_ = model.get();
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError) {
        const QByteArray head = data.left(error.offset);
        const int line = static_cast<int>(head.count('\n')) + 1;
        const int column = static_cast<int>(error.offset - (head.lastIndexOf('\n') + 1)) + 1;
        Fail(QStringLiteral("malformed JSON at line %1, column %2: %3")
                 .arg(line)
                 .arg(column)
                 .arg(error.errorString()));
    }
    if (!doc.isObject())
        Fail(QStringLiteral("the file must hold one JSON object"));
    const QJsonObject root = doc.object();
    if (root.contains(QLatin1String("images")))
        Images(root.value(QLatin1String("images")));
    if (root.contains(QLatin1String("styles")))
        Styles(root.value(QLatin1String("styles")));
    const QJsonValue forms = root.value(QLatin1String("forms"));
    if (!forms.isArray())
        Fail(QStringLiteral("\"forms\" must be a list of forms"));
    for (const QJsonValue& f : forms.toArray()) {
        form_ = QString();
        element_ = QString();
        model->forms.push_back(Form(Object(f, QStringLiteral("each form"))));
    }
    return model;
}

} // namespace

SkinParseResult ParseSkin(const QByteArray& data, const QString& fileName) {
    try {
        Parser parser(fileName);
        return {parser.Parse(data), QString()};
    } catch (const ParseFailure& failure) {
        return {nullptr, failure.message};
    }
}

SkinParseResult LoadSkinFile(const QString& path) {
    const QString name = QFileInfo(path).fileName();
    QFile file(path);
    if (!file.exists())
        return {nullptr, QStringLiteral("%1: the skin file does not exist (%2)").arg(name, path)};
    if (!file.open(QIODevice::ReadOnly))
        return {nullptr,
                QStringLiteral("%1: cannot read the skin file: %2").arg(name, file.errorString())};
    // A skin is a few hundred kilobytes at most; refuse anything absurd before reading it.
    if (file.size() > 32 * 1024 * 1024)
        return {nullptr, QStringLiteral("%1: the skin file is larger than 32 MB").arg(name)};
    return ParseSkin(file.readAll(), name);
}

const SkinElementModel* SkinFormModel::Find(const QString& elementName) const {
    for (const SkinElementModel& e : elements)
        if (e.name == elementName)
            return &e;
    return nullptr;
}

SkinElementModel* SkinFormModel::Find(const QString& elementName) {
    for (SkinElementModel& e : elements)
        if (e.name == elementName)
            return &e;
    return nullptr;
}

const SkinFormModel* SkinModel::Form(const QString& formName) const {
    for (const SkinFormModel& f : forms)
        if (f.name == formName)
            return &f;
    return nullptr;
}
