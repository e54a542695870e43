#include "skinobject.h"

#include "skinhittest.h"

#include <algorithm>

QString SkinObject::GetName() const {
    return e_->name;
}

SkinRect SkinObject::GetRect() const {
    return e_->rect;
}

void SkinObject::SetRect(const SkinRect& rect) {
    if (form_)
        form_->Remember(e_->rect);
    e_->rect = rect;
    whole_ = true;
}

bool SkinObject::IsVisible() const {
    return e_->visible;
}

void SkinObject::SetVisible(bool visible) {
    if (e_->visible == visible)
        return;
    e_->visible = visible;
    if (form_)
        form_->Repaint(e_->rect);
}

void SkinObject::Redraw() {
    if (form_) {
        if (whole_ || moved_.isEmpty())
            form_->Repaint(e_->rect);
        else
            form_->RepaintExactly(moved_);
    }
    moved_ = QRect();
    whole_ = false;
}

QString SkinObject::GetText() const {
    return e_->text;
}

bool SkinObject::SetText(const QString& text) {
    if (e_->text == text)
        return false;
    e_->text = text;
    whole_ = true;
    return true;
}

int SkinObject::GetPosition() const {
    return e_->kind == SkinKind::Slider ? e_->position : 0;
}

bool SkinObject::SetPosition(int position) {
    if (e_->kind != SkinKind::Slider)
        return false;
    const QRectF before = SliderThumbRect(*e_);
    e_->position = std::clamp(position, e_->minimum, e_->maximum);
    const QRectF after = SliderThumbRect(*e_);
    if (after.toAlignedRect() == before.toAlignedRect())
        return false;
    moved_ |= SliderSpan(*e_, before, after);
    return true;
}
