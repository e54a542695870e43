#pragma once

#include "skinmodel.h"

#include <QString>

#include <vector>

// What the recorder needs of a skin: its three forms and the elements its windows look up or
// dispatch on by name. A skin without them would leave a window with nothing to click.
namespace skinfallback {

struct RequiredElement {
    const char* form;
    const char* name;
    SkinKind kind;
    bool optional; // looked up by the program but never used afterwards
};

const std::vector<RequiredElement>& RequiredElements();

// Empty when `model` has every required form and element with the right kind (and the sliders
// the right range); otherwise a message naming the first missing or wrong one.
QString CheckRecorderSkin(const SkinModel& model, const QString& fileName);

// A plain built-in skin with the three forms and every element above, used until a skin file
// loads so the program stays usable without one.
SkinModelPtr FallbackSkin();

} // namespace skinfallback
