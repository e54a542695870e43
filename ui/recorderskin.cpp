#include "recorderskin.h"

#include "appeventfilter.h"
#include "settingstable.h"

#include <QKeySequence>

namespace recorderskin {
namespace {

const QColor kBack(0x20, 0x22, 0x28), kPanel(0x14, 0x15, 0x19), kButton(0x34, 0x37, 0x40),
    kHover(0x44, 0x48, 0x54), kPressed(0x2a, 0x2c, 0x33), kText(0xe6, 0xe8, 0xee),
    kAccent(0x4f, 0xc3, 0xf7), kRecord(0xf0, 0x4a, 0x4a), kEdge(0x50, 0x54, 0x60);

SkinFill Solid(const QColor& c) {
    SkinFill f;
    f.kind = SkinFill::Kind::Solid;
    f.color = c;
    return f;
}

SkinElementModel Element(const char* name, SkinKind kind, int x, int y, int w, int h) {
    SkinElementModel e;
    e.name = QString::fromLatin1(name);
    e.kind = kind;
    e.rect = SkinRect{x, y, x + w, y + h};
    e.textColor = kText;
    return e;
}

SkinElementModel Button(const char* name, int x, int y, int w, int h, const char* icon,
                        const char* label = "", const QColor& fg = kText) {
    SkinElementModel e = Element(name, SkinKind::Button, x, y, w, h);
    e.normal.fill = Solid(kButton);
    e.normal.radius = 4;
    e.normal.border = kEdge;
    e.normal.foreground = fg;
    e.hover = e.normal;
    e.hover.fill = Solid(kHover);
    e.pressed = e.normal;
    e.pressed.fill = Solid(kPressed);
    e.icon = QString::fromLatin1(icon);
    e.text = QString::fromLatin1(label);
    e.align = Qt::AlignCenter;
    return e;
}

SkinElementModel Text(const char* name, int x, int y, int w, int h, const char* text, int size,
                      int align = Qt::AlignLeft | Qt::AlignVCenter) {
    SkinElementModel e = Element(name, SkinKind::Text, x, y, w, h);
    e.text = QString::fromLatin1(text);
    e.font.pixelSize = size;
    e.align = align;
    return e;
}

SkinElementModel Box(const char* name, int x, int y, int w, int h, const QColor& c) {
    SkinElementModel e = Element(name, SkinKind::Image, x, y, w, h);
    e.normal.fill = Solid(c);
    return e;
}

SkinElementModel Slider(const char* name, int x, int y, int w, int h, int max, int position) {
    SkinElementModel e = Element(name, SkinKind::Slider, x, y, w, h);
    e.minimum = 0;
    e.maximum = max;
    e.position = position;
    e.thumbSize = 10;
    e.track.fill = Solid(kButton);
    e.track.radius = 2;
    e.progress.fill = Solid(kAccent);
    e.progress.radius = 2;
    e.thumb.fill = Solid(kText);
    e.thumb.radius = 3;
    return e;
}

SkinFormModel Form(const char* name, int w, int h) {
    SkinFormModel f;
    f.name = QString::fromLatin1(name);
    f.width = w;
    f.height = h;
    f.background = Solid(kBack);
    f.border = kEdge;
    return f;
}

SkinFormModel MainForm() {
    SkinFormModel f = Form("mp3recorder", 453, 260);
    auto& el = f.elements;
    el.push_back(Text("title", 14, 0, 300, 30, "Tarno MP3 Recorder", 13));
    el.push_back(Button("min", 395, 5, 24, 20, "minus"));
    el.push_back(Button("close", 423, 5, 24, 20, "close"));
    el.push_back(Box("display", 12, 32, 429, 124, kPanel));
    SkinElementModel time = Text("s_time", 24, 40, 230, 58, "00:00:00", 40);
    time.font.family = QStringLiteral("DejaVu Sans Mono");
    time.textColor = kAccent;
    el.push_back(time);
    el.push_back(Text("s_mono", 262, 44, 168, 18, "", 12, Qt::AlignRight | Qt::AlignVCenter));
    el.push_back(Text("s_sizeson", 262, 64, 168, 18, "", 12, Qt::AlignRight | Qt::AlignVCenter));
    el.push_back(Text("s_filename", 24, 100, 406, 20, "", 12));
    el.push_back(Box("pb1", 24, 130, 320, 6, kButton));
    el.push_back(Box("pb2", 24, 130, 320, 6, kAccent));
    SkinElementModel bar = Slider("play_bar", 19, 124, 330, 18, kPlayBarMax, 0);
    bar.track = SkinLook{};
    bar.progress = SkinLook{};
    el.push_back(bar);
    SkinElementModel muted = Button("spb1", 354, 123, 22, 20, "speaker-muted");
    muted.visible = false;
    el.push_back(muted);
    el.push_back(Button("spb2", 354, 123, 22, 20, "speaker"));
    el.push_back(Slider("spb", 380, 124, 54, 18, kVolumeMax, kVolumeMax));
    el.push_back(Box("meter_l", 84, 164, 305, 3, kPanel));
    el.push_back(Box("meter_r", 84, 174, 304, 3, kPanel));
    el.push_back(Button("back", 16, 196, 36, 36, "prev"));
    el.push_back(Button("recorder", 58, 190, 48, 48, "record", "", kRecord));
    el.push_back(Button("pause", 112, 196, 36, 36, "pause"));
    el.push_back(Button("stop", 154, 196, 36, 36, "stop"));
    el.push_back(Button("play", 196, 196, 36, 36, "play"));
    el.push_back(Button("next", 238, 196, 36, 36, "next"));
    el.push_back(Button("add", 297, 192, 44, 26, "file-add"));
    el.push_back(Button("list", 345, 192, 44, 26, "list"));
    el.push_back(Button("tag", 393, 192, 44, 26, "tag"));
    el.push_back(Button("set", 297, 222, 44, 26, "gear"));
    el.push_back(Button("help", 345, 222, 44, 26, "help"));
    el.push_back(Button("web", 393, 222, 44, 26, "globe"));
    return f;
}

SkinFormModel ListForm() {
    SkinFormModel f = Form("recorderlist", 515, 194);
    auto& el = f.elements;
    el.push_back(Text("title", 16, 0, 200, 40, "Recordings", 13));
    el.push_back(Button("list_add", 380, 8, 26, 26, "plus"));
    el.push_back(Button("del", 410, 8, 26, 26, "trash"));
    el.push_back(Button("clear", 440, 8, 26, 26, "clear-list"));
    el.push_back(Button("relist", 476, 8, 26, 26, "chevron-up"));
    el.push_back(Box("frame", 23, 41, 473, 142, kPanel));
    return f;
}

SkinFormModel OptionsForm() {
    SkinFormModel f = Form("options", 428, 377);
    auto& el = f.elements;
    el.push_back(Text("title", 16, 0, 300, 30, "Settings", 13));
    el.push_back(Box("strip", 1, 337, 426, 39, kPanel));
    el.push_back(Button("default", 12, 344, 96, 26, "reset", "Defaults"));
    el.push_back(Button("ok", 228, 344, 90, 26, "check", "OK"));
    el.push_back(Button("cancel", 326, 344, 90, 26, "close", "Cancel"));
    return f;
}

const char* KindName(SkinKind kind) {
    switch (kind) {
    case SkinKind::Button:
        return "button";
    case SkinKind::Text:
        return "text";
    case SkinKind::Image:
        return "image";
    case SkinKind::Slider:
        return "slider";
    }
    return "?";
}

struct ElementWords {
    const char* name;
    const char* spoken; // the accessible name
    const char* tip;    // the tooltip before the hot key; nullptr: the spoken name
    QAccessible::Role role;
    const settings::Key* hotKey; // the key bound to the same action, if any
};

// Every element a click dispatches on, and the display's texts.
const ElementWords kWords[] = {
    {"recorder", "Record", "Record", QAccessible::Button, &settings::kHotRec},
    {"pause", "Pause", "Pause or resume", QAccessible::Button, &settings::kHotPause},
    {"recordpause", "Pause", "Pause or resume", QAccessible::Button, &settings::kHotPause},
    {"stop", "Stop", nullptr, QAccessible::Button, &settings::kHotStop},
    {"recordstop", "Stop", nullptr, QAccessible::Button, &settings::kHotStop},
    {"play", "Play", "Play the selected recording", QAccessible::Button, &settings::kHotPlay},
    {"back", "Previous", "Play the previous recording in the list", QAccessible::Button, nullptr},
    {"next", "Next", "Play the next recording in the list", QAccessible::Button, nullptr},
    {"add", "Add files", "Add files to the list", QAccessible::Button, nullptr},
    {"list", "List", "Show or hide the list of recordings", QAccessible::Button, nullptr},
    {"tag", "Tags", "Edit the tags written into recordings", QAccessible::Button, nullptr},
    {"set", "Settings", nullptr, QAccessible::Button, nullptr},
    {"help", "Help", nullptr, QAccessible::Button, nullptr},
    {"web", "Web site", "Open the web site", QAccessible::Button, nullptr},
    {"min", "Minimize", nullptr, QAccessible::Button, nullptr},
    {"close", "Close", nullptr, QAccessible::Button, nullptr},
    {"spb2", "Mute", nullptr, QAccessible::Button, nullptr},
    {"spb1", "Unmute", nullptr, QAccessible::Button, nullptr},
    {"spb", "Volume", nullptr, QAccessible::Slider, nullptr},
    {"play_bar", "Position", "Playing position", QAccessible::Slider, nullptr},
    {"list_add", "Add files", "Add files to the list", QAccessible::Button, nullptr},
    {"del", "Remove", "Remove the selected recordings from the list", QAccessible::Button, nullptr},
    {"clear", "Clear list", "Remove every recording from the list", QAccessible::Button, nullptr},
    {"relist", "Hide list", "Hide the list of recordings", QAccessible::Button, nullptr},
    {"default", "Defaults", "Restore the default settings", QAccessible::NoRole, nullptr},
    {"ok", "OK", "Save the settings and close", QAccessible::NoRole, nullptr},
    {"cancel", "Cancel", "Close without saving", QAccessible::NoRole, nullptr},
    {"s_time", "Time", nullptr, QAccessible::StaticText, nullptr},
    {"s_filename", "File name", nullptr, QAccessible::StaticText, nullptr},
    {"s_mono", "Format", nullptr, QAccessible::StaticText, nullptr},
    {"s_sizeson", "Size", nullptr, QAccessible::StaticText, nullptr},
};

} // namespace

SkinDescriber ElementDescriber(const TIniFile& store) {
    return [&store](const QString&, const SkinElementModel& element) {
        SkinElementInfo info;
        for (const ElementWords& w : kWords) {
            if (element.name != QLatin1String(w.name))
                continue;
            info.name = QString::fromUtf8(w.spoken);
            info.role = w.role;
            if (w.hotKey)
                if (const std::optional<int> key = AppEventFilter::BoundKey(store, *w.hotKey))
                    info.shortcut = QKeySequence(*key).toString(QKeySequence::NativeText);
            // Texts show what they say; only what can be clicked or dragged explains itself.
            if (element.kind == SkinKind::Button || element.kind == SkinKind::Slider) {
                info.toolTip = QString::fromUtf8(w.tip ? w.tip : w.spoken);
                if (!info.shortcut.isEmpty())
                    info.toolTip += QStringLiteral(" (%1)").arg(info.shortcut);
            }
            break;
        }
        return info;
    };
}

const std::vector<RequiredElement>& RequiredElements() {
    using K = SkinKind;
    static const std::vector<RequiredElement> list = {
        {"mp3recorder", "s_time", K::Text, false},
        {"mp3recorder", "play_bar", K::Slider, false},
        {"mp3recorder", "s_left", K::Text, true},
        {"mp3recorder", "s_right", K::Text, true},
        {"mp3recorder", "showp", K::Text, true},
        {"mp3recorder", "s_size", K::Text, true},
        {"mp3recorder", "s_sizeson", K::Text, false},
        {"mp3recorder", "s_filename", K::Text, false},
        {"mp3recorder", "s_mono", K::Text, false},
        {"mp3recorder", "pb1", K::Image, false},
        {"mp3recorder", "pb2", K::Image, false},
        {"mp3recorder", "spb1", K::Button, false},
        {"mp3recorder", "spb2", K::Button, false},
        {"mp3recorder", "spb", K::Slider, false},
        {"mp3recorder", "recorder", K::Button, false},
        {"mp3recorder", "pause", K::Button, false},
        {"mp3recorder", "stop", K::Button, false},
        {"mp3recorder", "play", K::Button, false},
        {"mp3recorder", "back", K::Button, false},
        {"mp3recorder", "next", K::Button, false},
        {"mp3recorder", "list", K::Button, false},
        {"mp3recorder", "set", K::Button, false},
        {"mp3recorder", "tag", K::Button, false},
        {"mp3recorder", "help", K::Button, false},
        {"mp3recorder", "web", K::Button, false},
        {"mp3recorder", "add", K::Button, false},
        {"mp3recorder", "min", K::Button, false},
        {"mp3recorder", "close", K::Button, false},
        {"recorderlist", "list_add", K::Button, false},
        {"recorderlist", "del", K::Button, false},
        {"recorderlist", "clear", K::Button, false},
        {"recorderlist", "relist", K::Button, false},
        {"options", "ok", K::Button, false},
        {"options", "cancel", K::Button, false},
        {"options", "default", K::Button, false},
    };
    return list;
}

QString CheckRecorderSkin(const SkinModel& model, const QString& fileName) {
    for (const char* form : {"mp3recorder", "recorderlist", "options"})
        if (!model.Form(QString::fromLatin1(form)))
            return QStringLiteral("%1: the form \"%2\" is missing").arg(fileName, form);
    for (const RequiredElement& r : RequiredElements()) {
        const SkinElementModel* e =
            model.Form(QString::fromLatin1(r.form))->Find(QString::fromLatin1(r.name));
        const QString where =
            QStringLiteral("%1: form \"%2\", element \"%3\"").arg(fileName, r.form, r.name);
        if (!e) {
            if (r.optional)
                continue;
            return where + QStringLiteral(": missing, the program needs it");
        }
        // The progress pictures may be drawn by any kind; texts, buttons and sliders may not.
        if (r.kind != SkinKind::Image && e->kind != r.kind)
            return where + QStringLiteral(": must be a %1, not a %2")
                               .arg(KindName(r.kind), KindName(e->kind));
    }
    const auto range = [&](const char* name, int max) -> QString {
        const SkinElementModel* e =
            model.Form(QStringLiteral("mp3recorder"))->Find(QString::fromLatin1(name));
        if (e->minimum != 0 || e->maximum != max)
            return QStringLiteral("%1: form \"mp3recorder\", element \"%2\": the range must be [0, "
                                  "%3], not [%4, %5]")
                .arg(fileName, name)
                .arg(max)
                .arg(e->minimum)
                .arg(e->maximum);
        return QString();
    };
    QString error = range("play_bar", kPlayBarMax);
    if (error.isEmpty())
        error = range("spb", kVolumeMax);
    return error;
}

SkinModelPtr FallbackSkin() {
    static const SkinModelPtr fallback = [] {
        auto model = std::make_shared<SkinModel>();
        model->forms = {MainForm(), ListForm(), OptionsForm()};
        return SkinModelPtr(model);
    }();
    return fallback;
}

} // namespace recorderskin
