#pragma once

#include "skinmodel.h"
#include "tskin.h"

#include <QPointer>
#include <QRegion>

#include <memory>
#include <vector>

// One form applied to one window: a private copy of the form's model (the program moves and
// rewrites its elements), the element objects handed out to callers, and the surface that
// draws it while the window is skinned. TSkin keeps every instance until it is destroyed, so
// element objects never dangle.
class SkinFormInstance : public SkinForm {
public:
    SkinFormInstance(SkinModelPtr skin, const SkinFormModel& form);

    SkinObject* FindObject(const QString& name) override;

    const SkinModel& Skin() const { return *skin_; }
    const SkinModelPtr& SkinPtr() const { return skin_; }
    SkinFormModel& Form() { return form_; }
    const QString& Name() const { return form_.name; }

    // The object of an element of this form; the background's object for nullptr.
    SkinObject* ObjectFor(const SkinElementModel* element);

    void AttachSurface(SkinSurface* surface);
    SkinSurface* Surface() const { return surface_; }

    // Repaint bookkeeping: areas that changed since the last Redraw, and the repaint itself.
    void Remember(const SkinRect& oldArea);
    void Repaint(const SkinRect& area);

private:
    SkinModelPtr skin_;
    SkinFormModel form_;
    SkinElementModel background_; // stands for the form itself as an event source
    std::vector<std::unique_ptr<SkinObject>> objects_;
    std::unique_ptr<SkinObject> backgroundObject_;
    QPointer<SkinSurface> surface_;
    QRegion pending_;
};
