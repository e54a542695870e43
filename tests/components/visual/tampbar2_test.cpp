// The level meter drawn into images: lit length in proportion to the value, ticks, the peak
// marker and its fall.
#include "tampbar2.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QImage>
#include <QPaintEvent>
#include <QPainter>
#include <QTimer>
#include <cmath>
#include <gtest/gtest.h>
#include <vector>

namespace {

QImage Draw(const TAmpBar2& bar, QSize size) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::magenta);
    QPainter p(&image);
    bar.Paint(p, QRect(QPoint(0, 0), size));
    return image;
}

// Columns (or rows from the bottom, for vertical bars) of `colour` along the middle line.
int Count(const QImage& image, const QColor& colour, bool vertical = false) {
    int n = 0;
    const int length = vertical ? image.height() : image.width();
    for (int i = 0; i < length; ++i) {
        const QRgb px =
            vertical ? image.pixel(image.width() / 2, i) : image.pixel(i, image.height() / 2);
        n += px == colour.rgb();
    }
    return n;
}

TAmpBar2* Solid(TAmpBar2& bar) {
    bar.SetStyle(TAmpBar2::BarStyle::Solid);
    bar.SetHotPercent(0);
    bar.SetPickWidthPercent(0);
    return &bar;
}

} // namespace

TEST(TAmpBar2, LitColumnsFollowTheValueAtTheMetersRealSize) {
    TAmpBar2 bar;
    Solid(bar);
    EXPECT_EQ(bar.Min(), 0);
    EXPECT_EQ(bar.Max(), 32767);
    const QSize size(305, 3);
    for (const auto& [value, lit] : std::vector<std::pair<int, int>>{
             {0, 0}, {32767, 305}, {16384, 153}, {3277, 31}, {-500, 0}, {99999, 305}}) {
        bar.SetValue(value);
        const QImage image = Draw(bar, size);
        EXPECT_EQ(Count(image, bar.TickColor()), lit) << value;
        EXPECT_EQ(Count(image, bar.TickBackColor()), 305 - lit) << value;
        // Crisp: every row identical, no blended edge pixels.
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 305; ++x)
                ASSERT_EQ(image.pixel(x, y), image.pixel(x, 1)) << x << "," << y;
    }

    // A changed range rescales.
    bar.SetMin(1000);
    bar.SetMax(2000);
    bar.SetValue(1500);
    EXPECT_EQ(Count(Draw(bar, size), bar.TickColor()), 153);

    // Vertical bars fill from the bottom.
    bar.SetOrientation(Qt::Vertical);
    const QImage v = Draw(bar, QSize(8, 100));
    EXPECT_EQ(Count(v, bar.TickColor(), true), 50);
    EXPECT_EQ(v.pixel(4, 99), bar.TickColor().rgb());
    EXPECT_EQ(v.pixel(4, 0), bar.TickBackColor().rgb());
}

TEST(TAmpBar2, TicksHotZoneBorderAndPeakMarker) {
    TAmpBar2 bar;
    bar.SetStyle(TAmpBar2::BarStyle::Ticks);
    bar.SetTickInterval(3);
    bar.SetTickWidth(2);
    bar.SetHotPercent(0);
    bar.SetPickWidthPercent(0);
    bar.SetValue(32767 / 2);
    QImage image = Draw(bar, QSize(300, 3));
    // 150 lit pixels: ticks start at 0, 3, ... 147, two pixels each, gaps in the back colour.
    EXPECT_EQ(Count(image, bar.TickColor()), 100);
    EXPECT_EQ(image.pixel(2, 1), bar.BackColor().rgb());
    EXPECT_EQ(image.pixel(150, 1), bar.TickBackColor().rgb());

    bar.SetStyle(TAmpBar2::BarStyle::Solid);
    bar.SetHotPercent(80);
    bar.SetValue(32767);
    image = Draw(bar, QSize(300, 3));
    EXPECT_EQ(Count(image, bar.TickColor()), 240);
    EXPECT_EQ(Count(image, bar.HotColor()), 60);

    // A single border takes the outer pixel ring at larger sizes.
    bar.SetBorderStyle(TAmpBar2::BarBorder::Single);
    bar.SetHotPercent(0);
    image = Draw(bar, QSize(102, 12));
    EXPECT_EQ(image.pixel(0, 6), bar.BorderColor().rgb());
    EXPECT_EQ(image.pixel(101, 6), bar.BorderColor().rgb());
    EXPECT_EQ(Count(image, bar.TickColor()), 100);

    // The peak marker sits at the peak's end: 2 % of 300 = 6 pixels.
    bar.SetBorderStyle(TAmpBar2::BarBorder::None);
    bar.SetPickWidthPercent(2);
    bar.SetValue(0);
    image = Draw(bar, QSize(300, 3));
    EXPECT_EQ(Count(image, bar.PickColor()), 6);
    EXPECT_EQ(image.pixel(299, 1), bar.PickColor().rgb());
    EXPECT_EQ(image.pixel(293, 1), bar.TickBackColor().rgb());
}

TEST(TAmpBar2, PeakHoldsThenFallsToTheValueAtItsSpeed) {
    TAmpBar2 bar;
    bar.SetSpeed(50); // half the range per second
    bar.SetValue(30000);
    bar.SetValue(10000);
    EXPECT_EQ(bar.Peak(), 30000);
    bar.AdvanceTime(TAmpBar2::kPeakHoldMs);
    EXPECT_EQ(bar.Peak(), 30000) << "held";
    bar.AdvanceTime(200); // 0.2 s of fall: 10 % of 32767
    EXPECT_NEAR(bar.Peak(), 30000 - 3277, 2);
    bar.AdvanceTime(5000);
    EXPECT_EQ(bar.Peak(), 10000) << "never below the value";

    // A higher value lifts the peak at once and restarts the hold.
    bar.SetValue(20000);
    EXPECT_EQ(bar.Peak(), 20000);
    bar.SetValue(0);
    bar.AdvanceTime(TAmpBar2::kPeakHoldMs - 1);
    EXPECT_EQ(bar.Peak(), 20000);

    // Speed 0 keeps the peak.
    bar.SetSpeed(0);
    bar.AdvanceTime(60000);
    EXPECT_EQ(bar.Peak(), 20000);

    // The meter's own timer lets it fall in real time too.
    TAmpBar2 live;
    live.SetSpeed(100);
    live.SetValue(32767);
    live.SetValue(0);
    QElapsedTimer clock;
    clock.start();
    while (live.Peak() > 0 && clock.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    EXPECT_EQ(live.Peak(), 0);
    EXPECT_GE(clock.elapsed(), TAmpBar2::kPeakHoldMs + 500);
}

namespace {

// Collects the areas a widget is asked to paint.
class PaintSpy : public QObject {
public:
    explicit PaintSpy(QWidget* widget) { widget->installEventFilter(this); }
    QRegion painted;
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            painted += static_cast<QPaintEvent*>(event)->region();
            ++paints;
        }
        return false;
    }
};

void Settle() {
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
}

} // namespace

TEST(TAmpBar2, ANewValueRepaintsExactlyTheColumnsThatChange) {
    for (const auto style : {TAmpBar2::BarStyle::Ticks, TAmpBar2::BarStyle::Solid}) {
        for (const auto border : {TAmpBar2::BarBorder::None, TAmpBar2::BarBorder::Single}) {
            TAmpBar2 bar;
            bar.SetStyle(style);
            bar.SetBorderStyle(border);
            bar.SetPickWidthPercent(2);
            bar.SetSpeed(0); // the peak stays where the values put it
            bar.resize(305, 5);
            bar.show();
            Settle();
            PaintSpy spy(&bar);
            // Rising and falling values, steps of a pixel or a tick's edge, and the peak marker
            // left behind by a fall.
            for (const int value : {9000, 9100, 9107, 20000, 19990, 3000, 3000, 32767, 0}) {
                const QImage before = Draw(bar, bar.size());
                spy.painted = QRegion();
                spy.paints = 0;
                bar.SetValue(value);
                Settle();
                const QImage after = Draw(bar, bar.size());
                int differing = 0;
                for (int y = 0; y < after.height(); ++y)
                    for (int x = 0; x < after.width(); ++x)
                        if (before.pixel(x, y) != after.pixel(x, y)) {
                            ++differing;
                            EXPECT_TRUE(spy.painted.contains(QPoint(x, y)))
                                << "value " << value << ": pixel " << x << "," << y
                                << " changed but was not repainted";
                        }
                if (differing == 0) {
                    EXPECT_EQ(spy.paints, 0) << "value " << value << " changed nothing";
                }
                // A small step repaints a few columns, not the whole meter.
                if (value == 9107 || value == 19990) {
                    EXPECT_LT(spy.painted.boundingRect().width(), 40) << "value " << value;
                }
            }
        }
    }
}

namespace {

// Where the peak went while events ran for `ms` of real time: each change, with when it came
// (ms from the start).
struct PeakStep {
    qint64 at;
    int peak;
};

std::vector<PeakStep> WatchPeak(const TAmpBar2& bar, int ms) {
    std::vector<PeakStep> steps;
    QElapsedTimer clock;
    clock.start();
    int last = bar.Peak();
    while (clock.elapsed() < ms) {
        QEventLoop loop;
        QTimer::singleShot(2, Qt::PreciseTimer, &loop, &QEventLoop::quit);
        loop.exec();
        if (bar.Peak() != last) {
            last = bar.Peak();
            steps.push_back({clock.elapsed(), last});
        }
    }
    return steps;
}

// How far the peak falls in `ms` at `speed` percent of the full range per second.
int Drop(int speed, int ms) {
    return static_cast<int>(std::lround(32767.0 * speed / 100.0 * ms / 1000.0));
}

} // namespace

// While values come, each one moves a falling peak on and the meter's timer waits kQuietMs for
// them. When the caller says they stop, the fall must go on at once in the timer's small steps:
// no stall of kQuietMs and no catch-up jump after it. Real time, with generous margins for a
// loaded machine; the bounds lie below what waiting for kQuietMs would give.
TEST(TAmpBar2, WhenValuesStopAFallingPeakGoesOnFallingWithoutStallOrJump) {
    const int speed = 40;
    const int slowest = TAmpBar2::kQuietMs - TAmpBar2::kFallTickMs / 2;
    TAmpBar2 bar;
    bar.SetSpeed(speed);
    bar.SetValue(32767);
    bar.SetValue(0);
    bar.AdvanceTime(TAmpBar2::kPeakHoldMs + 200); // well into the fall
    bar.SetValue(0);                              // the last value
    const int atStop = bar.Peak();
    ASSERT_LT(atStop, 32767);
    bar.ValuesStopped();
    const std::vector<PeakStep> steps = WatchPeak(bar, 500);
    ASSERT_GE(steps.size(), 3u);
    int before = atStop;
    qint64 then = 0;
    for (const PeakStep& s : steps) {
        EXPECT_LT(s.at - then, slowest) << "stood still until " << s.at << " ms";
        EXPECT_LE(before - s.peak, Drop(speed, slowest)) << "jumped at " << s.at << " ms";
        before = s.peak;
        then = s.at;
    }
    // The same speed as while values came: the fall so far matches the time, give or take a tick.
    const PeakStep& last = steps.back();
    EXPECT_NEAR(atStop - last.peak, Drop(speed, static_cast<int>(last.at)),
                Drop(speed, TAmpBar2::kFallTickMs) + 2);

    // A new value goes back to moving the peak with the values: the timer waits for the next
    // one again, and that one lets the whole time since pass.
    bar.SetValue(0);
    const int resumed = bar.Peak();
    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(WatchPeak(bar, TAmpBar2::kFallTickMs * 2).empty()) << "the timer went on";
    bar.SetValue(0);
    EXPECT_NEAR(resumed - bar.Peak(), Drop(speed, static_cast<int>(clock.elapsed())),
                Drop(speed, 20));
}

// A peak still held when values stop holds for the rest of its time, then falls by the timer.
TEST(TAmpBar2, WhenValuesStopAHeldPeakHoldsItsTimeThenFalls) {
    TAmpBar2 bar;
    bar.SetSpeed(40);
    bar.SetValue(32767);
    bar.SetValue(0);
    bar.ValuesStopped();
    const std::vector<PeakStep> steps = WatchPeak(bar, TAmpBar2::kPeakHoldMs + 200);
    ASSERT_FALSE(steps.empty()) << "the peak never fell";
    EXPECT_GE(steps.front().at, TAmpBar2::kPeakHoldMs - 5) << "the hold was cut short";
    EXPECT_LT(steps.front().at, TAmpBar2::kPeakHoldMs + TAmpBar2::kQuietMs)
        << "the fall began late";
}
