#pragma once

#include "skinmodel.h"

#include <QPoint>
#include <QRectF>

// The topmost visible element under `point` (form coordinates), or nullptr for the background.
// Elements later in the form lie on top of earlier ones.
const SkinElementModel* HitTest(const SkinFormModel& form, QPoint point);
SkinElementModel* HitTest(SkinFormModel& form, QPoint point);

// Buttons and sliders take the mouse; texts and images are part of the background, so dragging
// them moves the window.
bool TakesMouse(const SkinElementModel& element);

// Slider geometry shared by the painter and the mouse handling.
QRectF SliderThumbRect(const SkinElementModel& slider);
// The slider position whose thumb centre is nearest to `point`, clamped to the range.
int SliderPositionAt(const SkinElementModel& slider, QPoint point);
