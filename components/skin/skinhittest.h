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
// What a slider's drawing covers between two of its thumb rectangles: both thumbs and the
// progress between them, across the slider's whole breadth (a thick track included). Moving the
// thumb from one to the other changes no pixel outside it.
QRect SliderSpan(const SkinElementModel& slider, const QRectF& thumbA, const QRectF& thumbB);
// The slider position whose thumb centre is nearest to `point`, clamped to the range.
int SliderPositionAt(const SkinElementModel& slider, QPoint point);
