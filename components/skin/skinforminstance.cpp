#include "skinforminstance.h"

#include <QRect>

SkinFormInstance::SkinFormInstance(SkinModelPtr skin, const SkinFormModel& form)
    : skin_(std::move(skin)), form_(form) {
    background_.name = QString();
    background_.rect = SkinRect{0, 0, form_.width, form_.height};
    // The elements vector is never resized after this, so the pointers stay valid.
    objects_.reserve(form_.elements.size());
    for (SkinElementModel& e : form_.elements)
        objects_.push_back(std::make_unique<SkinObject>(this, &e));
    backgroundObject_ = std::make_unique<SkinObject>(this, &background_);
}

SkinObject* SkinFormInstance::FindObject(const QString& name) {
    for (auto& object : objects_)
        if (object->Model()->name == name)
            return object.get();
    return nullptr;
}

SkinObject* SkinFormInstance::ObjectFor(const SkinElementModel* element) {
    if (!element)
        return backgroundObject_.get();
    const auto index = element - form_.elements.data();
    if (index >= 0 && std::size_t(index) < objects_.size())
        return objects_[std::size_t(index)].get();
    return backgroundObject_.get();
}

void SkinFormInstance::ShowOn(View view) {
    view_ = std::move(view);
    pending_ = QRegion();
}

void SkinFormInstance::Remember(const SkinRect& oldArea) {
    pending_ += QRect(oldArea.left, oldArea.top, oldArea.right - oldArea.left,
                      oldArea.bottom - oldArea.top);
}

void SkinFormInstance::Repaint(const SkinRect& area) {
    // A slider thumb or a border may reach a pixel or two past the element's box.
    RepaintExactly(QRect(area.left, area.top, area.right - area.left, area.bottom - area.top)
                       .adjusted(-2, -2, 2, 2));
}

void SkinFormInstance::RepaintExactly(const QRect& area) {
    QRegion region = pending_;
    pending_ = QRegion();
    region += area;
    if (view_)
        view_(region);
}
