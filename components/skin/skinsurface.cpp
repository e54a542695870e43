#include "skinsurface.h"

#include "skinforminstance.h"
#include "skinhittest.h"
#include "skinpainter.h"

#include <QApplication>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <QWindow>
#include <algorithm>

SkinSurface::SkinSurface(QWidget* window) : QWidget(window), window_(window) {
    setObjectName(QStringLiteral("skin_surface"));
    setMouseTracking(true);
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    setGeometry(window->rect());
    window->installEventFilter(this);
    lower();
    show();
}

void SkinSurface::SetForm(SkinFormInstance* form) {
    form_ = form;
    texts_.Clear();
    hovered_ = nullptr;
    pressed_ = nullptr;
    update();
}

void SkinSurface::ResetMouse() {
    if (hovered_ && !hovered_->visible)
        hovered_ = nullptr;
    if (pressed_ && !pressed_->visible)
        pressed_ = nullptr;
}

void SkinSurface::SetDescriber(SkinDescriber describer) {
    describer_ = std::move(describer);
}

SkinElementInfo SkinSurface::Describe(const SkinElementModel& element) const {
    if (!describer_ || !form_)
        return {};
    return describer_(form_->Name(), element);
}

bool SkinSurface::Applied(const SkinElementModel* element) const {
    return form_ && element && form_->ObjectFor(element)->Model() == element;
}

void SkinSurface::Press(SkinElementModel* button) {
    if (!Applied(button) || !button->visible || button->kind != SkinKind::Button || pressed_)
        return;
    const SkinRect& r = button->rect;
    const QPoint at((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    QPointer<QWidget> window = window_;
    SkinObject* object = form_->ObjectFor(button);
    emit OnMouseDown(object, int(Qt::LeftButton), at.x(), at.y());
    emit OnMouseUp(object, int(Qt::LeftButton), at.x(), at.y());
    Clicked(object, window);
}

void SkinSurface::Slide(SkinElementModel* slider, int position) {
    if (!Applied(slider) || !slider->visible || slider->kind != SkinKind::Slider || pressed_)
        return;
    SkinObject* object = form_->ObjectFor(slider);
    const QPoint from = SliderThumbRect(*slider).center().toPoint();
    emit OnMouseDown(object, int(Qt::LeftButton), from.x(), from.y());
    const int clamped = std::clamp(position, slider->minimum, slider->maximum);
    if (clamped != slider->position) {
        slider->position = clamped;
        UpdateElement(slider);
    }
    const QPoint to = SliderThumbRect(*slider).center().toPoint();
    emit OnMouseUp(object, int(Qt::LeftButton), to.x(), to.y());
}

bool SkinSurface::event(QEvent* event) {
    if (event->type() != QEvent::ToolTip)
        return QWidget::event(event);
    const auto* help = static_cast<QHelpEvent*>(event);
    const SkinElementModel* hit = form_ ? HitTest(form_->Form(), help->pos()) : nullptr;
    const QString tip = hit ? Describe(*hit).toolTip : QString();
    if (tip.isEmpty()) {
        QToolTip::hideText();
        event->ignore();
        return true;
    }
    const SkinRect& r = hit->rect;
    QToolTip::showText(help->globalPos(), tip, this,
                       QRect(r.left, r.top, r.right - r.left, r.bottom - r.top));
    return true;
}

bool SkinSurface::eventFilter(QObject* watched, QEvent* event) {
    if (watched == window_) {
        switch (event->type()) {
        case QEvent::Resize:
            setGeometry(window_->rect());
            break;
        case QEvent::Move:
            // While the window manager drags the window no mouse events reach us; report the
            // move so listeners can keep attached windows in step.
            if (movingBySystem_ && form_) {
                const QPoint at = mapFromGlobal(QCursor::pos());
                emit OnMouseMove(form_->ObjectFor(nullptr), at.x(), at.y());
            }
            break;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void SkinSurface::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    p.setClipRegion(event->region());
    if (!form_) {
        p.fillRect(rect(), palette().window());
        return;
    }
    PaintSkinForm(p, form_->Skin(), form_->Form(), SkinPaintState{hovered_, pressed_, &texts_});
}

void SkinSurface::UpdateElement(const SkinElementModel* element) {
    if (!element)
        return;
    const SkinRect& r = element->rect;
    update(QRect(r.left, r.top, r.right - r.left, r.bottom - r.top).adjusted(-2, -2, 2, 2));
}

void SkinSurface::SetHovered(SkinElementModel* element) {
    if (element == hovered_)
        return;
    UpdateElement(hovered_);
    hovered_ = element;
    UpdateElement(hovered_);
}

void SkinSurface::MoveSlider(SkinElementModel* slider, QPoint at) {
    const int position = SliderPositionAt(*slider, at);
    if (position != slider->position) {
        slider->position = position;
        UpdateElement(slider);
    }
}

void SkinSurface::mousePressEvent(QMouseEvent* event) {
    movingBySystem_ = false;
    if (event->button() != Qt::LeftButton || !form_ || pressed_) {
        event->accept();
        return;
    }
    const QPoint at = event->position().toPoint();
    SkinElementModel* hit = HitTest(form_->Form(), at);
    if (hit && TakesMouse(*hit)) {
        pressed_ = hit;
        hovered_ = hit;
        if (hit->kind == SkinKind::Slider)
            MoveSlider(hit, at);
        UpdateElement(hit);
        emit OnMouseDown(form_->ObjectFor(hit), int(Qt::LeftButton), at.x(), at.y());
        event->accept();
        return;
    }
    // The background: a drag moves the window once the pointer has travelled (see moveArmed_).
    if (window_) {
        moveArmed_ = true;
        pressedAt_ = event->globalPosition().toPoint();
        grabOffset_ = pressedAt_ - window_->frameGeometry().topLeft();
    }
    event->accept();
}

void SkinSurface::StartMove(QPoint global) {
    moveArmed_ = false;
    // Let the window manager move the window (it takes the pointer from here on, so the window
    // trails it by the few pixels of the threshold), or move it ourselves.
    QWindow* handle = window_ ? window_->windowHandle() : nullptr;
    if (handle && handle->startSystemMove()) {
        movingBySystem_ = true;
    } else if (window_) {
        movingByHand_ = true;
        window_->move(global - grabOffset_);
    }
}

void SkinSurface::mouseMoveEvent(QMouseEvent* event) {
    if (!form_)
        return;
    const QPoint at = event->position().toPoint();
    if (moveArmed_ && (event->buttons() & Qt::LeftButton)) {
        const QPoint global = event->globalPosition().toPoint();
        if ((global - pressedAt_).manhattanLength() < QApplication::startDragDistance())
            return;
        StartMove(global);
        // Listeners keep attached windows in step with the move so far.
        emit OnMouseMove(form_->ObjectFor(nullptr), at.x(), at.y());
        return;
    }
    moveArmed_ = false;
    if (movingByHand_ && window_) {
        window_->move(event->globalPosition().toPoint() - grabOffset_);
        emit OnMouseMove(form_->ObjectFor(nullptr), at.x(), at.y());
        return;
    }
    movingBySystem_ = false;
    if (pressed_) {
        SkinElementModel* held = pressed_;
        if (held->kind == SkinKind::Slider)
            MoveSlider(held, at);
        else
            SetHovered(HitTest(form_->Form(), at) == held ? held : nullptr);
        emit OnMouseMove(form_->ObjectFor(held), at.x(), at.y());
        return;
    }
    SkinElementModel* hit = HitTest(form_->Form(), at);
    SetHovered(hit && hit->kind == SkinKind::Button ? hit : nullptr);
    emit OnMouseMove(form_->ObjectFor(hit && TakesMouse(*hit) ? hit : nullptr), at.x(), at.y());
}

void SkinSurface::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    if (event->button() != Qt::LeftButton)
        return;
    movingByHand_ = false;
    movingBySystem_ = false;
    moveArmed_ = false;
    if (!form_ || !pressed_)
        return;
    const QPoint at = event->position().toPoint();
    SkinElementModel* released = pressed_;
    SkinFormInstance* form = form_;
    pressed_ = nullptr;
    if (released->kind == SkinKind::Slider)
        MoveSlider(released, at);
    const bool inside = HitTest(form->Form(), at) == released;
    SetHovered(inside && released->kind == SkinKind::Button ? released : nullptr);
    UpdateElement(released);

    // Listeners may hide, close or unskin this window, or open a modal dialog; after the
    // signals only locals are used (the form instance outlives every window).
    QPointer<QWidget> window = window_;
    SkinObject* object = form->ObjectFor(released);
    emit OnMouseUp(object, int(Qt::LeftButton), at.x(), at.y());
    if (inside && released->kind == SkinKind::Button)
        Clicked(object, window);
}

void SkinSurface::Clicked(SkinObject* object, const QPointer<QWidget>& window) {
    const QString name = object->GetName();
    emit OnClick(object);
    if (!window)
        return;
    if (name == QLatin1String("min"))
        window->showMinimized();
    else if (name == QLatin1String("close"))
        window->close();
}

void SkinSurface::leaveEvent(QEvent* event) {
    if (!pressed_)
        SetHovered(nullptr);
    QWidget::leaveEvent(event);
}
