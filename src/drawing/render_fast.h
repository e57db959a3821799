#pragma once
// The renderer's direct way of drawing: when the painter's device is a 32-bit QImage with
// no transform, no clip and plain source-over drawing, the frame is written straight into
// the image's scanlines, with the same pixels the painter would set.

#include "drawing/model.h"

class QPainter;

namespace tovera::render {

// Draws the grid and the floor shown into the painter's image when the painter allows it
// and returns true; returns false (drawing nothing) otherwise.
// Parts hidden under later ones are passed over (see render_cover.h).
bool drawPlanFast(QPainter& painter, const DrawingModel& model);

// As drawPlanFast, but every part is drawn in order, each over the ones before it.
bool drawPlanInOrder(QPainter& painter, const DrawingModel& model);

} // namespace tovera::render
