#include "drawing/render_cover.h"

#include "drawing/render_pixels.h"
#include "drawing/render_plan.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <vector>

namespace tovera::render {

namespace {

bool isWhole(double v) {
    return v == std::trunc(v);
}

// Which pixels of the image are already written: one bit per pixel, rows of 64-bit
// words, and one flag per tile of 64 x 8 pixels set once the whole tile is written.
// Bits past the right edge and tiles past the bottom count as written.
class Coverage {
public:
    Coverage(int width, int height)
        : width_(width), height_(height), words_((width + 63) / 64), tileRows_((height + 7) / 8),
          bits_(size_t(height) * size_t(words_), 0), tiles_(size_t(tileRows_) * size_t(words_), 0),
          tilesLeft_(tileRows_ * words_) {
        if (width % 64 != 0)
            for (int y = 0; y < height; ++y)
                bits_[size_t(y) * words_ + words_ - 1] = ~0ull << (width % 64);
    }

    bool full() const { return tilesLeft_ == 0; }

    // True when every pixel of columns x0..x1 (inside the image) in the tile row `tileRow`
    // is written.
    bool tilesFull(int tileRow, int x0, int x1) const {
        const uint8_t* t = tiles_.data() + size_t(tileRow) * words_;
        for (int w = x0 >> 6; w <= (x1 >> 6); ++w)
            if (!t[w]) return false;
        return true;
    }

    // Marks x0..x1 (inside the image) of row y written and calls paint(from, count) for
    // each run of pixels that was not written before.
    template <class Paint> void claim(int y, int x0, int x1, Paint&& paint) {
        uint64_t* row = bits_.data() + size_t(y) * words_;
        const int w0 = x0 >> 6, w1 = x1 >> 6;
        for (int w = w0; w <= w1; ++w) {
            const int lo = w == w0 ? (x0 & 63) : 0;
            const int hi = w == w1 ? (x1 & 63) : 63;
            const uint64_t mask = (~0ull >> (63 - hi)) & (~0ull << lo);
            uint64_t fresh = mask & ~row[w];
            if (!fresh) continue;
            row[w] |= fresh;
            const int base = w * 64;
            if (fresh == mask) {
                paint(base + lo, hi - lo + 1);
            } else {
                while (fresh) {
                    const int s = std::countr_zero(fresh);
                    const uint64_t rest = ~(fresh >> s);
                    const int run = rest ? std::countr_zero(rest) : 64 - s;
                    paint(base + s, run);
                    fresh &= run + s >= 64 ? 0 : ~0ull << (s + run);
                }
            }
            if (row[w] == ~0ull) wordFilled(y, w);
        }
    }

    // As claim for the rows y0..y1 of columns x0..x1 that lie within one word, with
    // paint(y, from, count).
    template <class Paint> void claimColumn(int y0, int y1, int x0, int x1, Paint&& paint) {
        const int w = x0 >> 6, lo = x0 & 63, hi = x1 & 63;
        const uint64_t mask = (~0ull >> (63 - hi)) & (~0ull << lo);
        uint64_t* word = bits_.data() + size_t(y0) * words_ + w;
        for (int y = y0; y <= y1; ++y, word += words_) {
            uint64_t fresh = mask & ~*word;
            if (!fresh) continue;
            *word |= fresh;
            const int base = w * 64;
            if (fresh == mask) {
                paint(y, base + lo, hi - lo + 1);
            } else {
                while (fresh) {
                    const int s = std::countr_zero(fresh);
                    const uint64_t rest = ~(fresh >> s);
                    const int run = rest ? std::countr_zero(rest) : 64 - s;
                    paint(y, base + s, run);
                    fresh &= run + s >= 64 ? 0 : ~0ull << (s + run);
                }
            }
            if (*word == ~0ull) wordFilled(y, w);
        }
    }

private:
    void wordFilled(int y, int w) {
        const int tileRow = y >> 3;
        const int y0 = tileRow * 8, y1 = std::min(y0 + 8, height_);
        for (int r = y0; r < y1; ++r)
            if (bits_[size_t(r) * words_ + w] != ~0ull) return;
        uint8_t& tile = tiles_[size_t(tileRow) * words_ + w];
        if (!tile) {
            tile = 1;
            --tilesLeft_;
        }
    }

    int width_, height_, words_, tileRows_;
    std::vector<uint64_t> bits_;
    std::vector<uint8_t> tiles_;
    int tilesLeft_;
};

// Receives the parts of a frame from the last to the first and writes each pixel once.
class CoveringSink : public Sink {
public:
    explicit CoveringSink(QImage& image)
        : bits_(reinterpret_cast<uint32_t*>(image.bits())), stride_(image.bytesPerLine() / 4),
          width_(image.width()), height_(image.height()), cover_(width_, height_) {}

    // True once a part needed QPainter: the frame must be drawn in order instead.
    bool refused = false;

    bool saturated() const override { return refused || cover_.full(); }

    void gridLine(double x1, double y1, double x2, double y2, uint32_t color) override {
        if (!isWhole(x1) || !isWhole(y1) || !isWhole(x2) || !isWhole(y2)) {
            refused = true;
            return;
        }
        rect(std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2), color);
    }

    void line(double x1, double y1, double x2, double y2, uint32_t color) override {
        if (x1 != x2 && y1 != y2) {
            band(x1, y1, x2, y2, color);
            return;
        }
        if (!isWhole(x1) || !isWhole(y1) || !isWhole(x2) || !isWhole(y2)) {
            refused = true;
            return;
        }
        rect(std::min(x1, x2) - 1, std::min(y1, y2) - 1, std::max(x1, x2), std::max(y1, y2), color);
    }

    // Drawn in order a box is its outline rectangle, then the white inside over it; taken
    // backwards the inside comes first.
    void box(double left, double top, double right, double bottom, uint32_t color) override {
        const double l = std::min(left, right), r = std::max(left, right);
        const double t = std::min(top, bottom), b = std::max(top, bottom);
        rect(l + 1, t + 1, r - 2, b - 2, 0xFFFFFF);
        rect(l - 1, t - 1, r, b, color);
    }

private:
    void rect(double x0, double y0, double x1, double y1, uint32_t color) {
        const double cx0 = std::max(x0, 0.0), cy0 = std::max(y0, 0.0);
        const double cx1 = std::min(x1, double(width_ - 1));
        const double cy1 = std::min(y1, double(height_ - 1));
        if (cx0 > cx1 || cy0 > cy1) return;
        const int ix0 = int(cx0), ix1 = int(cx1), iy0 = int(cy0), iy1 = int(cy1);
        const uint32_t argb = toArgb(color);
        for (int tileRow = iy0 >> 3; tileRow <= (iy1 >> 3); ++tileRow) {
            if (cover_.tilesFull(tileRow, ix0, ix1)) continue;
            const int ya = std::max(iy0, tileRow * 8), yb = std::min(iy1, tileRow * 8 + 7);
            if ((ix0 >> 6) == (ix1 >> 6)) {
                cover_.claimColumn(ya, yb, ix0, ix1, [&](int y, int from, int count) {
                    uint32_t* row = bits_ + qsizetype(y) * stride_ + from;
                    for (int k = 0; k < count; ++k) row[k] = argb;
                });
                continue;
            }
            for (int y = ya; y <= yb; ++y) claim(y, ix0, ix1, argb);
        }
    }

    void band(double x1, double y1, double x2, double y2, uint32_t color) {
        SlantedBand band;
        if (!band.start(x1, y1, x2, y2, width_, height_)) return;
        const uint32_t argb = toArgb(color);
        for (int tileRow = band.firstRow >> 3; tileRow <= (band.lastRow >> 3); ++tileRow) {
            const int ya = std::max(band.firstRow, tileRow * 8);
            const int yb = std::min(band.lastRow, tileRow * 8 + 7);
            int c0, c1;
            if (!band.columns(ya, yb, c0, c1) || cover_.tilesFull(tileRow, c0, c1)) continue;
            for (int y = ya; y <= yb; ++y) {
                int from, to;
                if (band.row(y, from, to)) claim(y, from, to, argb);
            }
        }
    }

    void claim(int y, int x0, int x1, uint32_t argb) {
        uint32_t* row = bits_ + qsizetype(y) * stride_;
        cover_.claim(y, x0, x1, [&](int from, int count) { std::fill_n(row + from, count, argb); });
    }

    uint32_t* bits_;
    qsizetype stride_;
    int width_;
    int height_;
    Coverage cover_;
};

// Keeps the parts it receives, to hand them on in reverse.
class KeepingSink : public Sink {
public:
    struct Part {
        double a, b, c, d;
        uint32_t color;
    };
    std::vector<Part> parts;
    void gridLine(double x1, double y1, double x2, double y2, uint32_t color) override {
        parts.push_back({x1, y1, x2, y2, color});
    }
    void line(double, double, double, double, uint32_t) override {}
    void box(double, double, double, double, uint32_t) override {}
};

} // namespace

bool drawPlanCovering(QImage& image, const DrawingModel& model) {
    if (image.isNull()) return true;
    CoveringSink sink(image);
    emitFloorReversed(sink, model);
    if (!sink.saturated()) {
        KeepingSink grid;
        emitGrid(grid, model);
        for (auto p = grid.parts.rbegin(); p != grid.parts.rend() && !sink.saturated(); ++p)
            sink.gridLine(p->a, p->b, p->c, p->d, p->color);
    }
    return !sink.refused;
}

} // namespace tovera::render
