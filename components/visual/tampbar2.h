#pragma once

#include <QColor>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

class QPainter;

// A level meter: a bar lit in proportion to Value within Min..Max, solid or in ticks, with a
// peak marker that holds the highest recent value and then falls at Speed. Integer geometry
// throughout, so a 305 by 3 meter stays crisp.
class TAmpBar2 : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int Value READ Value WRITE SetValue)
    Q_PROPERTY(int Min READ Min WRITE SetMin)
    Q_PROPERTY(int Max READ Max WRITE SetMax)
    Q_PROPERTY(int Speed READ Speed WRITE SetSpeed)
    Q_PROPERTY(int TickInterval READ TickInterval WRITE SetTickInterval)
    Q_PROPERTY(int TickWidth READ TickWidth WRITE SetTickWidth)
    Q_PROPERTY(int PickWidthPercent READ PickWidthPercent WRITE SetPickWidthPercent)
    Q_PROPERTY(QColor TickColor READ TickColor WRITE SetTickColor)
    Q_PROPERTY(QColor PickColor READ PickColor WRITE SetPickColor)
    Q_PROPERTY(QColor TickBackColor READ TickBackColor WRITE SetTickBackColor)
    Q_PROPERTY(QColor BackColor READ BackColor WRITE SetBackColor)
    Q_PROPERTY(QColor BorderColor READ BorderColor WRITE SetBorderColor)
    Q_PROPERTY(QColor HotColor READ HotColor WRITE SetHotColor)
    Q_PROPERTY(int HotPercent READ HotPercent WRITE SetHotPercent)

public:
    enum class BarStyle { Solid, Ticks };
    enum class BarBorder { None, Single };

    explicit TAmpBar2(QWidget* parent = nullptr);

    // Clamped to Min..Max. A value above the held peak raises the peak at once.
    int Value() const { return value_; }
    void SetValue(int value);
    int Min() const { return min_; }
    void SetMin(int min);
    int Max() const { return max_; }
    void SetMax(int max);

    BarStyle Style() const { return style_; }
    void SetStyle(BarStyle style);
    Qt::Orientation Orientation() const { return orientation_; }
    void SetOrientation(Qt::Orientation orientation);
    BarBorder BorderStyle() const { return border_; }
    void SetBorderStyle(BarBorder border);

    // Ticks: one tick every TickInterval pixels, TickWidth of them lit (the rest is the gap).
    int TickInterval() const { return tickInterval_; }
    void SetTickInterval(int pixels);
    int TickWidth() const { return tickWidth_; }
    void SetTickWidth(int pixels);
    // The peak marker's length as a percentage of the bar (at least one pixel); 0 hides it.
    int PickWidthPercent() const { return pickWidthPercent_; }
    void SetPickWidthPercent(int percent);
    // How fast the peak falls after its hold time: percent of the range per second; 0 keeps it.
    int Speed() const { return speed_; }
    void SetSpeed(int percentPerSecond);

    QColor TickColor() const { return tickColor_; }
    void SetTickColor(const QColor& c);
    QColor PickColor() const { return pickColor_; }
    void SetPickColor(const QColor& c);
    QColor TickBackColor() const { return tickBackColor_; }
    void SetTickBackColor(const QColor& c);
    QColor BackColor() const { return backColor_; }
    void SetBackColor(const QColor& c);
    QColor BorderColor() const { return borderColor_; }
    void SetBorderColor(const QColor& c);
    // The lit part beyond HotPercent of the range is drawn in HotColor (0: never).
    QColor HotColor() const { return hotColor_; }
    void SetHotColor(const QColor& c);
    int HotPercent() const { return hotPercent_; }
    void SetHotPercent(int percent);

    // The held peak, in value units.
    int Peak() const { return peak_; }
    // Lets `ms` of time pass for the peak: hold, then fall. Each new value lets the time since
    // the previous one pass; the meter's own timer does it only once values stop coming. Tests
    // call it to step time exactly.
    void AdvanceTime(int ms);
    // Says that values stop coming for now (the sound paused or ended). From here the meter's
    // own timer moves a peak above the value on every kFallTickMs, counting the time since the
    // last value, so a falling peak goes on without a stall or a jump; a held peak first holds
    // for the rest of its time. Nothing happens when the peak is at the value or Speed is 0.
    // The next SetValue moves the peak with the values again.
    void ValuesStopped();

    // Draws the meter into `area` of any paint device. With `only` given, what lies outside it
    // may be left out (the painter is clipped to it: a repaint of the columns that changed).
    void Paint(QPainter& painter, const QRect& area, const QRect& only = QRect()) const;

    QSize sizeHint() const override;

    static constexpr int kPeakHoldMs = 600;
    // Without a new value for this long, or at once after ValuesStopped, the meter's own timer
    // moves the falling peak on, every kFallTickMs. Values come every 50 ms or so while audio
    // flows.
    static constexpr int kQuietMs = 120;
    static constexpr int kFallTickMs = 40;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // Pixels of `length` lit for `v`, rounded to the nearest pixel.
    int Lit(int v, int length) const;
    void Tick();
    // How long the timer waits, `since` ms after the time the peak has counted so far, to move
    // the peak on: one fall tick, after the rest of the hold while it is held.
    int NextTickMs(qint64 since) const;
    void StepPeak(int ms);
    // The bar inside its border, and a span along it from `from` for `size` pixels (vertical
    // bars fill upwards).
    QRect Inner(const QRect& area) const;
    QRect Span(const QRect& inner, int from, int size) const;
    int PeakWidth(int length) const;
    // The pixels shown lit and where the peak marker ends (-1: none), so that a change repaints
    // only the columns that differ.
    struct Shown {
        int lit;
        int peakEnd;
    };
    Shown Showing() const;
    void UpdateChanged(const Shown& before);

    int value_ = 0, min_ = 0, max_ = 32767;
    int peak_ = 0;
    int heldMs_ = 0;
    BarStyle style_ = BarStyle::Ticks;
    Qt::Orientation orientation_ = Qt::Horizontal;
    BarBorder border_ = BarBorder::None;
    int tickInterval_ = 3, tickWidth_ = 2, pickWidthPercent_ = 1, speed_ = 40;
    QColor tickColor_{0x3d, 0xdc, 0x97}, pickColor_{0xf4, 0xf7, 0xfb},
        tickBackColor_{0x1c, 0x24, 0x30}, backColor_{0x11, 0x16, 0x1e},
        borderColor_{0x2b, 0x34, 0x43}, hotColor_{0xff, 0x4d, 0x57};
    int hotPercent_ = 85;
    QTimer timer_;
    QElapsedTimer clock_;
};
