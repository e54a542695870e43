#pragma once

#include "skinmodel.h"

#include <QImage>
#include <QRegion>

class QPainter;

// Which elements the mouse is over or holding, for the hover and pressed looks of buttons.
struct SkinPaintState {
    const SkinElementModel* hovered = nullptr;
    const SkinElementModel* pressed = nullptr;
};

// Paints a whole form: background, then every visible element in order. The painter's origin is
// the form's top-left corner; `images` resolves the image names the form uses.
void PaintSkinForm(QPainter& painter, const SkinModel& images, const SkinFormModel& form,
                   const SkinPaintState& state = {});

// The form painted into a new ARGB image of the form's size (transparent outside its shape).
QImage RenderSkinForm(const SkinModel& images, const SkinFormModel& form,
                      const SkinPaintState& state = {});

// The window mask for a shaped form; an empty region for a plain rectangle.
QRegion SkinFormMask(const SkinFormModel& form);
