#pragma once
// The renderer's covering writer: the parts of a frame are taken from the last to the
// first, and each pixel is written once, by the last part that covers it, which is the
// picture drawing them in order would leave. Parts hidden under later ones (a plan's
// boxes hide what lies inside them) cost only a look at the coverage.

#include "drawing/model.h"

#include <QImage>

namespace tovera::render {

// Draws the grid and the floor shown into `image` (32 bits per pixel, pixel (0, 0) at the
// drawing's point (0, 0)) over what it holds. Returns false when a part of the frame needs
// QPainter (a line cut far away to non-whole pixels); the image is then partly drawn, and
// the caller draws the whole frame in order over it, which leaves the same picture as on
// the untouched image (every pixel written here is written again by a later part).
bool drawPlanCovering(QImage& image, const DrawingModel& model);

} // namespace tovera::render
