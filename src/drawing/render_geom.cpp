#include "drawing/render_geom.h"

namespace tovera::render {

namespace {

bool inside(double x, double y) {
    return x >= -kFarPixel && x <= kFarPixel && y >= -kFarPixel && y <= kFarPixel;
}

} // namespace

bool clipFar(double& x1, double& y1, double& x2, double& y2) {
    if (std::isnan(x1) || std::isnan(y1) || std::isnan(x2) || std::isnan(y2)) return false;
    if (inside(x1, y1) && inside(x2, y2)) return true;
    // Infinite ends (an enormous zoom) have no direction to clip along.
    if (!std::isfinite(x1) || !std::isfinite(y1) || !std::isfinite(x2) || !std::isfinite(y2))
        return false;
    // Liang-Barsky against the far square.
    const double dx = x2 - x1;
    const double dy = y2 - y1;
    double t0 = 0;
    double t1 = 1;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {x1 + kFarPixel, kFarPixel - x1, y1 + kFarPixel, kFarPixel - y1};
    for (int k = 0; k < 4; ++k) {
        if (p[k] == 0) {
            if (q[k] < 0) return false;
            continue;
        }
        const double t = q[k] / p[k];
        if (p[k] < 0) {
            if (t > t1) return false;
            if (t > t0) t0 = t;
        } else {
            if (t < t0) return false;
            if (t < t1) t1 = t;
        }
    }
    const double ax = x1 + t0 * dx, ay = y1 + t0 * dy;
    const double bx = x1 + t1 * dx, by = y1 + t1 * dy;
    if (t0 > 0) {
        x1 = clampFar(ax);
        y1 = clampFar(ay);
    }
    if (t1 < 1) {
        x2 = clampFar(bx);
        y2 = clampFar(by);
    }
    return true;
}

} // namespace tovera::render
