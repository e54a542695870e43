// The painter's cost for the areas the running program repaints most: while recording, the time
// once a second (with the size, written three times a second, drawn along) and a few columns of
// a level meter (about 20 times a second); while playing, a step of the play bar (the thumb's
// travel and the progress strip under it); and the whole window for comparison. Each area is
// painted as the window does: clipped to the area, over what was there, with the window's text
// cache. The time and size rows show a new text on every repaint, as they do in the program; the
// "same text" rows repaint an unchanged text (an expose). The rows run warm, each repaint right
// after the last; in the running program the encoder works between two repaints and leaves
// little of the painter in the processor's caches, so the "cold" rows write 8 MB of other data
// before each repaint (not counted); "a recording second" is the one repaint of each second.
// Prints microseconds per repaint.
//   bench_skin_repaint [SKIN_FILE] [ROUNDS] [ROW]
// With ROW, only the rows whose names contain it (to profile one).
#include "skinhittest.h"
#include "skinpainter.h"
#include "skinparser.h"
#include "tampbar2.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

QRect Area(const SkinElementModel& e, int margin) {
    return QRect(e.rect.left, e.rect.top, e.rect.right - e.rect.left, e.rect.bottom - e.rect.top)
        .adjusted(-margin, -margin, margin, margin);
}

QString Clock(int seconds) {
    return QString::asprintf("%02d:%02d:%02d", seconds / 3600, seconds / 60 % 60, seconds % 60);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QString path = argc > 1 ? QString::fromLocal8Bit(argv[1]) : TARNO_DEFAULT_SKIN;
    const int rounds = argc > 2 ? std::max(1, atoi(argv[2])) : 2000;
    const QString only = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QString();
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
    // The window while a file plays: the progress strip and the bar shown, a file name too long
    // for its field, the size and the time.
    for (const char* name : {"pb1", "pb2", "play_bar"})
        if (SkinElementModel* e = form.Find(name))
            e->visible = true;
    if (SkinElementModel* e = form.Find("s_filename"))
        e->text = "2026-12-08 21-30-00 a recording of the weekly meeting with a long name.mp3";
    if (SkinElementModel* e = form.Find("s_sizeson"))
        e->text = "12345 KB";
    if (SkinElementModel* e = form.Find("s_time"))
        e->text = "00:12:34";

    SkinTextCache texts;
    QImage window = RenderSkinForm(*r.model, form);
    struct Row {
        const char* what;
        QRegion area;
        std::function<void(int)> change; // before repaint i; none: the same picture again
        std::function<void(QPainter&)> paint;
        bool cold = false; // other data through the caches before each repaint
        std::function<QRegion(int)> areaAt = {}; // the area of repaint i, when it varies
    };
    const auto skin = [&](QPainter& p) {
        PaintSkinForm(p, *r.model, form, {nullptr, nullptr, &texts});
    };
    std::vector<unsigned char> other(8 << 20);
    const auto cost = [&](const Row& row, int repaints) {
        qint64 spent = 0;
        QElapsedTimer clock;
        for (int i = 0; i < repaints; ++i) {
            if (row.cold)
                for (std::size_t at = 0; at < other.size(); at += 64)
                    other[at] = static_cast<unsigned char>(other[at] + i);
            clock.start();
            if (row.change)
                row.change(i);
            QPainter p(&window);
            p.setClipRegion(row.areaAt ? row.areaAt(i) : row.area);
            row.paint(p);
            p.end();
            spent += clock.nsecsElapsed();
        }
        return spent / 1000.0 / repaints;
    };
    std::vector<Row> rows;
    if (SkinElementModel* e = form.Find("s_time")) {
        rows.push_back({"time text, a new second", Area(*e, 2),
                        [e](int i) { e->text = Clock(754 + i); }, skin});
        rows.push_back({"time text, same text", Area(*e, 2), {}, skin});
    }
    if (SkinElementModel* e = form.Find("s_sizeson")) {
        rows.push_back({"size text, a new size", Area(*e, 2),
                        [e](int i) { e->text = QString::number(12345 + 24 * i) + " KB"; }, skin});
        rows.push_back({"size text, same text", Area(*e, 2), {}, skin});
    }
    SkinElementModel* time = form.Find("s_time");
    SkinElementModel* size = form.Find("s_sizeson");
    if (time && size) {
        rows.push_back({"size text, a new size, cold", Area(*size, 2),
                        [size](int i) { size->text = QString::number(12345 + 24 * i) + " KB"; },
                        skin, true});
        // A second of recording: the time and the size change, and are repainted together.
        rows.push_back({"a recording second, cold", QRegion(Area(*time, 2)) + Area(*size, 2),
                        [time, size](int i) {
                            time->text = Clock(754 + i);
                            size->text = QString::number(12345 + 16 * i) + " KB";
                        },
                        skin, true});
    }
    if (const SkinElementModel* bar = form.Find("play_bar"); bar && bar->kind == SkinKind::Slider) {
        SkinElementModel moved = *bar;
        moved.position = bar->minimum + (bar->maximum - bar->minimum) / 3;
        const QRectF from = SliderThumbRect(moved);
        moved.position +=
            (bar->maximum - bar->minimum) / std::max(1, bar->rect.right - bar->rect.left);
        QRegion step = SliderSpan(moved, from, SliderThumbRect(moved));
        if (const SkinElementModel* strip = form.Find("pb2"))
            step += Area(*strip, 2);
        rows.push_back({"play bar, one pixel's step", step, {}, skin});
    }
    // The bar moving on, a pixel at each repaint, with the strip under it: the areas differ
    // every time, so what lies near them (the file name above) is looked at anew.
    if (SkinElementModel* bar = form.Find("play_bar"); bar && bar->kind == SkinKind::Slider) {
        const int span = std::max(1, bar->rect.right - bar->rect.left);
        const auto positionAt = [bar, span](int i) {
            return bar->minimum + (bar->maximum - bar->minimum) * (i % span) / span;
        };
        rows.push_back({"play bar, moving", QRegion(Area(*bar, 2)),
                        [bar, positionAt](int i) { bar->position = positionAt(i); }, skin, false,
                        [bar, positionAt](int i) {
                            SkinElementModel before = *bar;
                            before.position = positionAt(i - 1);
                            SkinElementModel after = *bar;
                            after.position = positionAt(i);
                            return SliderSpan(after, SliderThumbRect(before),
                                              SliderThumbRect(after));
                        }});
    }
    // A level meter as the main window places it, its value moving a few columns each time (the
    // columns between the old and the new lit end, as the meter asks to repaint).
    TAmpBar2 meter;
    meter.setGeometry(84, 164, 305, 3);
    meter.SetValue(16000);
    const QRect meterArea(84, 164, 305, 3);
    rows.push_back({"level meter, a few columns", QRect(84 + 150, 164, 9, 3),
                    [&](int i) { meter.SetValue(16000 + (i % 2) * 900); },
                    [&](QPainter& p) {
                        p.translate(meterArea.topLeft());
                        meter.Paint(p, QRect(QPoint(0, 0), meterArea.size()), QRect(150, 0, 9, 3));
                    }});
    rows.push_back({"whole window", QRect(0, 0, form.width, form.height), {}, skin});

    cost(rows.back(), 20); // warm the caches
    std::printf("%-32s %12s %10s\n", "area repainted", "pixels", "us each");
    for (const Row& row : rows) {
        if (!QString::fromUtf8(row.what).contains(only))
            continue;
        // Pixels per repaint; where the area varies, on average over six.
        long long pixels = 0;
        for (int i = 0; i < 6; ++i)
            for (const QRect& rect : row.areaAt ? row.areaAt(i) : row.area)
                pixels += static_cast<long long>(rect.width()) * rect.height();
        pixels /= 6;
        std::printf("%-32s %12lld %10.1f\n", row.what, pixels, cost(row, rounds));
    }
    return 0;
}
