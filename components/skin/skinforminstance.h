#pragma once

#include "skinmodel.h"
#include "skinobject.h"

#include <QRegion>
#include <functional>
#include <memory>
#include <vector>

// One form applied to one window: a private copy of the form's model (the program moves and
// rewrites its elements), the element objects handed out to callers, and the view that shows it
// while the window is skinned. TSkin keeps every instance until it is destroyed, so element
// objects never dangle.
class SkinFormInstance : public SkinForm, public SkinRepaintTarget {
public:
    // Repaints a region of the window showing the form; it must not call back into the form.
    using View = std::function<void(const QRegion& region)>;

    SkinFormInstance(SkinModelPtr skin, const SkinFormModel& form);

    SkinObject* FindObject(const QString& name) override;

    const SkinModel& Skin() const { return *skin_; }
    const SkinModelPtr& SkinPtr() const { return skin_; }
    SkinFormModel& Form() { return form_; }
    const QString& Name() const { return form_.name; }

    // The object of an element of this form; the background's object for nullptr.
    SkinObject* ObjectFor(const SkinElementModel* element);

    // Where the form shows from now on (an empty view while no window shows it). Areas
    // remembered for the previous view are dropped.
    void ShowOn(View view);

    // Repaint bookkeeping: areas that changed since the last Redraw, and the repaint itself.
    void Remember(const SkinRect& oldArea) override;
    void Repaint(const SkinRect& area) override;
    void RepaintExactly(const QRect& area) override;

private:
    SkinModelPtr skin_;
    SkinFormModel form_;
    SkinElementModel background_; // stands for the form itself as an event source
    std::vector<std::unique_ptr<SkinObject>> objects_;
    std::unique_ptr<SkinObject> backgroundObject_;
    View view_;
    QRegion pending_;
};
