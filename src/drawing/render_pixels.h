#pragma once
// Pixel sets shared by the renderer's scanline writers: the colour as a 32-bit pixel, and
// the rows of a slanted line drawn with a 2-pixel pen. Internal to src/drawing.

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace tovera::render {

// 0x00BBGGRR as an opaque 0xAARRGGBB pixel.
inline uint32_t toArgb(uint32_t color) {
    return 0xFF000000u | ((color & 0xFFu) << 16) | (color & 0xFF00u) | ((color >> 16) & 0xFFu);
}

// A slanted line with a 2-pixel pen and square ends: the band of half-width 1 around the
// segment, extended by 1 beyond each end. A pixel is set when its centre lies in the band
// (edges included). Rows are handed out one at a time, clipped to the image.
class SlantedBand {
public:
    // False when the band sets no pixel of a `width` x `height` image.
    bool start(double x1, double y1, double x2, double y2, int width, int height) {
        const double dx = x2 - x1, dy = y2 - y1;
        const double length = std::hypot(dx, dy);
        if (!(length > 0) || !std::isfinite(length)) return false;
        const double ux = dx / length, uy = dy / length; // along the line
        const double nx = -uy, ny = ux;                  // across it
        my_ = (y1 + y2) / 2;
        const double mx = (x1 + x2) / 2;
        const double halfLength = length / 2 + 1;
        const double halfWidth = 1;
        const double reach = std::abs(uy) * halfLength + std::abs(ny) * halfWidth;
        firstRow = int(std::max(0.0, std::floor(my_ - reach - 1)));
        lastRow = int(std::min(double(height - 1), std::ceil(my_ + reach + 1)));
        if (firstRow > lastRow || std::min(x1, x2) - 2 > width || std::max(x1, x2) + 2 < 0)
            return false;
        // For the row whose centre is yc above the middle, the band spans the x (relative
        // to the middle) where |nx x + ny yc| <= halfWidth and |ux x + uy yc| <= halfLength:
        // two intervals centred on lines of yc, of fixed half-widths.
        const double inx = 1 / nx, iux = 1 / ux;
        acrossSlope_ = -ny * inx;
        acrossHalf_ = halfWidth * std::abs(inx);
        alongSlope_ = -uy * iux;
        alongHalf_ = halfLength * std::abs(iux);
        shift_ = mx - 0.5; // pixel x is set when x + 0.5 lies in the span
        right_ = width - 1;
        minX_ = std::min(x1, x2) - 2;
        maxX_ = std::max(x1, x2) + 2;
        return true;
    }

    // The pixels from..to (inclusive) of row y, firstRow <= y <= lastRow; false when the
    // row has none.
    bool row(int y, int& from, int& to) const {
        const double yc = y + 0.5 - my_;
        const double across = acrossSlope_ * yc, along = alongSlope_ * yc;
        const double lo = std::max(across - acrossHalf_, along - alongHalf_) + shift_;
        const double hi = std::min(across + acrossHalf_, along + alongHalf_) + shift_;
        const double f = std::max(std::ceil(lo), 0.0);
        const double t = std::min(std::floor(hi), right_);
        if (f > t) return false;
        from = int(f);
        to = int(t);
        return true;
    }

    // Columns that hold every pixel of rows ya..yb (a superset, clipped to the image);
    // false when there are none.
    bool columns(int ya, int yb, int& from, int& to) const {
        const double ca = acrossSlope_ * (ya + 0.5 - my_), cb = acrossSlope_ * (yb + 0.5 - my_);
        const double lo = std::max(std::min(ca, cb) - acrossHalf_ + shift_ - 1, minX_);
        const double hi = std::min(std::max(ca, cb) + acrossHalf_ + shift_ + 1, maxX_);
        const double f = std::max(std::floor(lo), 0.0);
        const double t = std::min(std::ceil(hi), right_);
        if (std::isnan(f) || std::isnan(t)) {
            from = 0;
            to = int(right_);
            return true;
        }
        if (f > t) return false;
        from = int(f);
        to = int(t);
        return true;
    }

    int firstRow = 0;
    int lastRow = -1;

private:
    double my_ = 0;
    double acrossSlope_ = 0, acrossHalf_ = 0, alongSlope_ = 0, alongHalf_ = 0;
    double shift_ = 0, right_ = 0, minX_ = 0, maxX_ = 0;
};

} // namespace tovera::render
