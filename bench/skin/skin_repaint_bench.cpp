// The skin painter's cost for the areas the running program repaints most: a step of the play
// bar (the thumb's travel and the progress strip under it), the time, the size, and the whole
// window for comparison. (The level meters are widgets of their own over the skin.) Each area is
// painted as the window does: clipped to the area, over what was there. Prints microseconds per
// repaint.
//   bench_skin_repaint [SKIN_FILE] [ROUNDS]
#include "skinhittest.h"
#include "skinpainter.h"
#include "skinparser.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPainter>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

QRect Area(const SkinElementModel& e, int margin) {
    return QRect(e.rect.left, e.rect.top, e.rect.right - e.rect.left, e.rect.bottom - e.rect.top)
        .adjusted(-margin, -margin, margin, margin);
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const QString path = argc > 1 ? QString::fromLocal8Bit(argv[1]) : TARNO_DEFAULT_SKIN;
    const int rounds = argc > 2 ? std::max(1, atoi(argv[2])) : 2000;
    const SkinParseResult r = LoadSkinFile(path);
    if (!r.ok()) {
        std::fprintf(stderr, "%s\n", qPrintable(r.error));
        return 1;
    }
    const SkinFormModel* found = r.model->Form("mp3recorder");
    if (found == nullptr) {
        std::fprintf(stderr, "%s: no form \"mp3recorder\"\n", qPrintable(path));
        return 1;
    }
    SkinFormModel form = *found;
    // The window while a file plays: the progress strip and the bar shown, a file name.
    for (const char* name : {"pb1", "pb2", "play_bar"})
        if (SkinElementModel* e = form.Find(name))
            e->visible = true;
    if (SkinElementModel* e = form.Find("s_filename"))
        e->text = "2026-12-08 21-30-00 a recording with a long name.mp3";
    if (SkinElementModel* e = form.Find("s_sizeson"))
        e->text = "12345 KB";

    QImage window = RenderSkinForm(*r.model, form);
    const auto cost = [&](const QRegion& area) {
        QElapsedTimer clock;
        clock.start();
        for (int i = 0; i < rounds; ++i) {
            QPainter p(&window);
            p.setClipRegion(area);
            PaintSkinForm(p, *r.model, form);
        }
        return clock.nsecsElapsed() / 1000.0 / rounds;
    };
    struct Row {
        const char* what;
        QRegion area;
    };
    std::vector<Row> rows;
    if (const SkinElementModel* bar = form.Find("play_bar"); bar && bar->kind == SkinKind::Slider) {
        SkinElementModel moved = *bar;
        moved.position = bar->minimum + (bar->maximum - bar->minimum) / 3;
        const QRectF from = SliderThumbRect(moved);
        moved.position +=
            (bar->maximum - bar->minimum) / std::max(1, bar->rect.right - bar->rect.left);
        QRegion step = SliderSpan(moved, from, SliderThumbRect(moved));
        if (const SkinElementModel* strip = form.Find("pb2"))
            step += Area(*strip, 2);
        rows.push_back({"play bar, one pixel's step", step});
    }
    for (const auto& [what, name] : {std::pair{"time text", "s_time"}, {"size text", "s_sizeson"}})
        if (const SkinElementModel* e = form.Find(name))
            rows.push_back({what, Area(*e, 2)});
    rows.push_back({"whole window", QRect(0, 0, form.width, form.height)});

    cost(rows.back().area); // warm the caches
    std::printf("%-32s %12s %10s\n", "area repainted", "pixels", "us each");
    for (const Row& row : rows) {
        long long pixels = 0;
        for (const QRect& rect : row.area)
            pixels += static_cast<long long>(rect.width()) * rect.height();
        std::printf("%-32s %12lld %10.1f\n", row.what, pixels, cost(row.area));
    }
    return 0;
}
