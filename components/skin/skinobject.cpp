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
    if (form_)
        form_->Repaint(e_->rect);
}

QString SkinObject::GetText() const {
    return e_->text;
}

bool SkinObject::SetText(const QString& text) {
    if (e_->text == text)
        return false;
    e_->text = text;
    return true;
}

int SkinObject::GetPosition() const {
    return e_->kind == SkinKind::Slider ? e_->position : 0;
}

bool SkinObject::SetPosition(int position) {
    if (e_->kind != SkinKind::Slider)
        return false;
    const QRect before = SliderThumbRect(*e_).toAlignedRect();
    e_->position = std::clamp(position, e_->minimum, e_->maximum);
    return SliderThumbRect(*e_).toAlignedRect() != before;
}
