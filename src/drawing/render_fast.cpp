#include "drawing/render_fast.h"

#include "drawing/render_cover.h"
#include "drawing/render_pixels.h"
#include "drawing/render_plan.h"

#include <QImage>
#include <QPaintEngine>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace tovera::render {

namespace {

bool isWhole(double v) {
    return v == std::trunc(v);
}

// Writes the parts of a frame straight into a 32-bit image. Grid lines, horizontal and
// vertical lines and boxes are spans; other lines go through the painter (which draws on
// the same image at once, so the drawing order is kept).
class ImageSink : public Sink {
public:
    ImageSink(QPainter& painter, QImage& image)
        : painter_(painter), bits_(reinterpret_cast<uint32_t*>(image.bits())),
          stride_(image.bytesPerLine() / 4), width_(image.width()), height_(image.height()) {}

    void gridLine(double x1, double y1, double x2, double y2, uint32_t color) override {
        if (!isWhole(x1) || !isWhole(y1) || !isWhole(x2) || !isWhole(y2)) {
            painterSink_.gridLine(x1, y1, x2, y2, color);
            return;
        }
        painterSink_.finish();
        // A 1-pixel line covers both its end pixels.
        fill(std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2), color);
    }

    void line(double x1, double y1, double x2, double y2, uint32_t color) override {
        painterSink_.finish();
        if (x1 != x2 && y1 != y2) {
            band(x1, y1, x2, y2, color);
            return;
        }
        if (!isWhole(x1) || !isWhole(y1) || !isWhole(x2) || !isWhole(y2)) {
            painterSink_.line(x1, y1, x2, y2, color);
            return;
        }
        // A 2-pixel pen with square ends: one pixel beyond each end, and the row (column)
        // above (left of) the line together with the line's own.
        fill(std::min(x1, x2) - 1, std::min(y1, y2) - 1, std::max(x1, x2), std::max(y1, y2), color);
    }

    void box(double left, double top, double right, double bottom, uint32_t color) override {
        painterSink_.finish();
        const double l = std::min(left, right), r = std::max(left, right);
        const double t = std::min(top, bottom), b = std::max(top, bottom);
        fill(l - 1, t - 1, r, b, color);
        fill(l + 1, t + 1, r - 2, b - 2, 0xFFFFFF);
    }

    void finish() override { painterSink_.finish(); }

private:
    // A slanted line with a 2-pixel pen and square ends (see SlantedBand).
    void band(double x1, double y1, double x2, double y2, uint32_t color) {
        SlantedBand band;
        if (!band.start(x1, y1, x2, y2, width_, height_)) return;
        const uint32_t argb = toArgb(color);
        for (int y = band.firstRow; y <= band.lastRow; ++y) {
            int from, to;
            if (!band.row(y, from, to)) continue;
            uint32_t* row = bits_ + qsizetype(y) * stride_;
            std::fill(row + from, row + to + 1, argb);
        }
    }

    // Fills the pixels x0..x1, y0..y1 (inclusive, already whole numbers) with `color`
    // (0x00BBGGRR), clipped to the image.
    void fill(double x0, double y0, double x1, double y1, uint32_t color) {
        const double cx0 = std::max(x0, 0.0), cy0 = std::max(y0, 0.0);
        const double cx1 = std::min(x1, double(width_ - 1));
        const double cy1 = std::min(y1, double(height_ - 1));
        if (cx0 > cx1 || cy0 > cy1) return;
        const uint32_t argb = toArgb(color);
        const int ix0 = int(cx0), ix1 = int(cx1), iy0 = int(cy0), iy1 = int(cy1);
        for (int y = iy0; y <= iy1; ++y) {
            uint32_t* row = bits_ + qsizetype(y) * stride_;
            std::fill(row + ix0, row + ix1 + 1, argb);
        }
    }

    QPainter& painter_;
    PainterSink painterSink_{painter_};
    uint32_t* bits_;
    qsizetype stride_;
    int width_;
    int height_;
};

bool eligible(QPainter& painter) {
    QPaintDevice* device = painter.device();
    if (!device || device->devType() != QInternal::Image) return false;
    if (!painter.paintEngine() || painter.paintEngine()->type() != QPaintEngine::Raster)
        return false;
    const QImage* image = static_cast<const QImage*>(device);
    const QImage::Format format = image->format();
    if (format != QImage::Format_RGB32 && format != QImage::Format_ARGB32 &&
        format != QImage::Format_ARGB32_Premultiplied)
        return false;
    return painter.transform().type() == QTransform::TxNone && !painter.hasClipping() &&
           painter.compositionMode() == QPainter::CompositionMode_SourceOver &&
           painter.opacity() == 1.0 && image->devicePixelRatio() == 1.0;
}

} // namespace

bool drawPlanFast(QPainter& painter, const DrawingModel& model) {
    if (!eligible(painter)) return false;
    if (drawPlanCovering(*static_cast<QImage*>(painter.device()), model)) return true;
    return drawPlanInOrder(painter, model);
}

bool drawPlanInOrder(QPainter& painter, const DrawingModel& model) {
    if (!eligible(painter)) return false;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    ImageSink sink(painter, *static_cast<QImage*>(painter.device()));
    emitGrid(sink, model);
    emitFloor(sink, model);
    sink.finish();
    painter.restore();
    return true;
}

} // namespace tovera::render
