#pragma once

#include "skinaccessible.h"
#include "skinpainter.h"

#include <QPoint>
#include <QPointer>
#include <QWidget>

class SkinFormInstance;
class SkinObject;
struct SkinElementModel;

// The widget behind a skinned window's other children: it paints the applied form and turns
// the mouse into the skin's events. Buttons get hover and pressed looks and click on a release
// inside; sliders follow the mouse while held; the background (and texts and images) drags the
// window. "min" and "close" minimise and close the window after their click is reported.
// The signals mean what TSkin's signals of the same names mean; TSkin forwards them.
class SkinSurface : public QWidget {
    Q_OBJECT
public:
    explicit SkinSurface(QWidget* window);

    void SetForm(SkinFormInstance* form);
    SkinFormInstance* Form() const { return form_; }
    // Forget hover and press state, e.g. when the element under them is hidden.
    void ResetMouse();

    // The words for tooltips and assistive technology; without a describer elements have neither.
    void SetDescriber(SkinDescriber describer);
    SkinElementInfo Describe(const SkinElementModel& element) const;
    // What a mouse click on `button` does, for assistive technology: the down, up and click
    // events, then minimising or closing for "min" and "close". Nothing while the mouse holds an
    // element, or for an element that is hidden or not a button of the applied form.
    void Press(SkinElementModel* button);
    // What dragging `slider`'s thumb to `position` (clamped to its range) and letting go does.
    void Slide(SkinElementModel* slider, int position);

signals:
    void OnClick(SkinObject* Source);
    void OnMouseDown(SkinObject* Source, int Button, int x, int y);
    void OnMouseUp(SkinObject* Source, int Button, int x, int y);
    void OnMouseMove(SkinObject* Source, int x, int y);

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void SetHovered(SkinElementModel* element);
    void UpdateElement(const SkinElementModel* element);
    void MoveSlider(SkinElementModel* slider, QPoint at);
    bool Applied(const SkinElementModel* element) const;
    // The click of a released button, reported after its up event.
    void Clicked(SkinObject* object, const QPointer<QWidget>& window);
    void StartMove(QPoint global);

    QPointer<QWidget> window_;
    SkinFormInstance* form_ = nullptr;
    SkinElementModel* hovered_ = nullptr;
    SkinElementModel* pressed_ = nullptr;
    // Dragging the window by hand where the platform cannot move it for us.
    bool movingByHand_ = false;
    bool movingBySystem_ = false;
    // The background is held but the pointer has not yet travelled far enough for a drag. A
    // click must never start a move: a window manager that takes over after the button is
    // already up keeps the window stuck to the pointer.
    bool moveArmed_ = false;
    QPoint pressedAt_;
    QPoint grabOffset_;
    SkinDescriber describer_;
    // Text layouts of the applied form, kept between repaints (the time and the size change a
    // few times a second; their neighbours do not).
    SkinTextCache texts_;
};
