// The skin parser over arbitrary bytes, and the painter and hit-test over whatever it accepts:
// a broken skin file must end in a message, never a crash or an out-of-bounds access.
#include "skinhittest.h"
#include "skinpainter.h"
#include "skinparser.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // Text drawing needs the font database of a GUI application.
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const SkinParseResult result = ParseSkin(bytes, QStringLiteral("fuzz.skn"));
    if (result.ok() == !result.error.isEmpty())
        __builtin_trap(); // exactly one of a model and a message
    if (!result.ok())
        return 0;
    for (const SkinFormModel& form : result.model->forms) {
        // Keep each run quick: big forms are legal but slow to paint many times over.
        if (std::int64_t(form.width) * form.height > 600 * 600)
            continue;
        QImage image(form.width, form.height, QImage::Format_ARGB32_Premultiplied);
        QPainter painter(&image);
        const SkinElementModel* first = form.elements.empty() ? nullptr : &form.elements.front();
        PaintSkinForm(painter, *result.model, form, {first, first});
        painter.end();
        SkinFormMask(form);
        for (int y = -1; y <= form.height; y += std::max(1, form.height / 7))
            for (int x = -1; x <= form.width; x += std::max(1, form.width / 7))
                if (const SkinElementModel* e = HitTest(form, QPoint(x, y));
                    e && e->kind == SkinKind::Slider) {
                    const int p = SliderPositionAt(*e, QPoint(x, y));
                    if (p < e->minimum || p > e->maximum)
                        __builtin_trap();
                }
    }
    return 0;
}
