#pragma once
// Pixel geometry shared by the renderer's two ways of drawing (QPainter and the direct
// scanline writer): trunc(v * zoom) made safe for any zoom, and the clipping of far-away
// segments so that no coordinate handed on is beyond a sane range.

#include <cmath>
#include <cstdint>

namespace tovera::render {

// Pixel coordinates beyond this magnitude are never handed to a painter: a segment that
// reaches further is cut (along itself, so its slope is kept) at this range.
constexpr double kFarPixel = 16384;

// The pixel of drawing coordinate v: trunc(v * zoom), toward zero. Finite for a finite
// zoom (an int32 times a finite double stays finite unless the zoom is enormous, in which
// case the product saturates to +-infinity and is clipped by the callers).
inline double pixelOf(int32_t v, double zoom) {
    return std::trunc(static_cast<double>(v) * zoom);
}

// Converts a pixel coordinate already inside [-kFarPixel, kFarPixel] to int.
inline int toInt(double v) {
    if (!(v >= -kFarPixel)) return -static_cast<int>(kFarPixel);
    if (!(v <= kFarPixel)) return static_cast<int>(kFarPixel);
    return static_cast<int>(v);
}

// Clamps a value to [-kFarPixel, kFarPixel]; NaN becomes 0.
inline double clampFar(double v) {
    if (std::isnan(v)) return 0;
    if (v < -kFarPixel) return -kFarPixel;
    if (v > kFarPixel) return kFarPixel;
    return v;
}

// Cuts the segment (x1, y1)-(x2, y2) to the square [-kFarPixel, kFarPixel]^2 along
// itself. Returns false when nothing of it lies inside (or a coordinate is NaN). Points
// already inside are left exactly as they are.
bool clipFar(double& x1, double& y1, double& x2, double& y2);

} // namespace tovera::render
