#pragma once

#include "player.h"
#include "skinaccessible.h"
#include "skinmodel.h"
#include "taudioplayer2.h"

#include <QString>
#include <vector>

class TIniFile;

// What the recorder needs of a skin: its three forms and the elements its windows look up or
// dispatch on by name, with the ranges of its two sliders. A skin without them would leave a
// window with nothing to click. TSkin::LoadSkin takes CheckRecorderSkin as its validator.
namespace recorderskin {

// The play bar "play_bar" runs over the player's bar units, the volume slider "spb" over the
// player device's volume.
inline constexpr int kPlayBarMax = Player::kBarRange;
inline constexpr int kVolumeMax = TAudioPlayer2::kMaxVolume;

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

// The words for the recorder's elements, found by name in any form as the click dispatch finds
// them: a name and role for assistive technology, and a tooltip naming what a click does with
// the hot key bound to the same action ("Record (F7)"). The hot keys are read from `store` as
// the key-press watch reads them, at every call, so a rebound key shows at once. Decorations,
// titles and unknown names get nothing. The settings form's buttons get a tooltip but no role:
// the dialog's keyboard buttons over them are what assistive technology finds. `store` must
// outlive the describer.
SkinDescriber ElementDescriber(const TIniFile& store);

// A plain built-in skin with the three forms and every element above, used until a skin file
// loads so the program stays usable without one.
SkinModelPtr FallbackSkin();

} // namespace recorderskin
