#pragma once

#include "skinmodel.h"

#include <QAccessible>
#include <QString>
#include <functional>

// What a program says about one element of its forms, for tooltips and assistive technology.
// The skin engine knows elements only by name and kind; the program gives them words.
struct SkinElementInfo {
    QString name;                                 // what a screen reader calls it: "Record"
    QAccessible::Role role = QAccessible::NoRole; // NoRole: the element is not announced
    QString shortcut;                             // the key that does the same ("F7"), or ""
    QString toolTip;                              // "": no tooltip
};

// Asked at every tooltip and every accessibility query, so an answer may follow settings that
// change while the program runs (a rebound hot key). `form` is the applied form's name. It must
// not change the form.
using SkinDescriber =
    std::function<SkinElementInfo(const QString& form, const SkinElementModel& element)>;

// Makes every skin surface known to assistive technology (QAccessible::installFactory; calling
// it again does nothing). A surface's accessible children are its form's visible elements the
// describer gives a role, in painting order, each with the described name, role and shortcut and
// the tooltip as its description. Buttons offer the press action, which reports exactly the
// events a mouse click on them reports; sliders offer their range and position as a value, and
// setting it reports what dragging the thumb there and letting go reports. Both run from the
// event loop after the call returns (as Qt's own buttons click), so a click that opens a modal
// box does not hold up the assistive technology's request. Texts offer their current text as
// the value.
void InstallSkinAccessibility();
