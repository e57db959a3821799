#include "drawing/render_plan.h"

#include "drawing/render_geom.h"

#include <QColor>
#include <QPainter>
#include <QPen>
#include <algorithm>

namespace tovera::render {

namespace {

QColor qcolor(uint32_t bgr) {
    return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}

// One family of the grid: k = 0, 1, ... until the first green position beyond `bound`.
// Returns the number of steps, or 0 when the loop would not end within kMaxGridSteps.
int gridSteps(double origin, double pitch, double zoom, double bound) {
    for (int k = 0; k < kMaxGridSteps; ++k)
        if (std::trunc((k * pitch + origin) * zoom) > bound) return k + 1;
    return 0;
}

void emitLine(Sink& sink, const TLine& l, double zoom) {
    double x1 = pixelOf(l.x1, zoom), y1 = pixelOf(l.y1, zoom);
    double x2 = pixelOf(l.x2, zoom), y2 = pixelOf(l.y2, zoom);
    if (clipFar(x1, y1, x2, y2)) sink.line(x1, y1, x2, y2, l.color);
}

void emitLines(Sink& sink, const LineList& lines, double zoom, bool layer0Only) {
    for (const TLine& l : lines)
        if (!layer0Only || l.layer == 0) emitLine(sink, l, zoom);
}

void emitBoxes(Sink& sink, const BoxList& boxes, double zoom) {
    for (const TBox& b : boxes)
        sink.box(clampFar(pixelOf(b.left, zoom)), clampFar(pixelOf(b.top, zoom)),
                 clampFar(pixelOf(b.right, zoom)), clampFar(pixelOf(b.bottom, zoom)), b.color);
}

void emitLinesReversed(Sink& sink, const LineList& lines, double zoom, bool layer0Only) {
    for (auto l = lines.rbegin(); l != lines.rend() && !sink.saturated(); ++l)
        if (!layer0Only || l->layer == 0) emitLine(sink, *l, zoom);
}

void emitBoxesReversed(Sink& sink, const BoxList& boxes, double zoom) {
    for (auto b = boxes.rbegin(); b != boxes.rend() && !sink.saturated(); ++b)
        sink.box(clampFar(pixelOf(b->left, zoom)), clampFar(pixelOf(b->top, zoom)),
                 clampFar(pixelOf(b->right, zoom)), clampFar(pixelOf(b->bottom, zoom)), b->color);
}

} // namespace

void emitGrid(Sink& sink, const DrawingModel& model) {
    const double z = model.zoom;
    if (!std::isfinite(z)) return;
    const double ox = model.gridOriginX, oy = model.gridOriginY;
    const double px = model.gridPitchX, py = model.gridPitchY;
    const double left = clampFar(std::trunc(ox * z));
    const double top = clampFar(std::trunc(oy * z));
    // A position that is not a number (an infinite pitch times k = 0) has no line.
    const auto row = [&](double y, uint32_t color) {
        if (!std::isnan(y)) sink.gridLine(left, clampFar(y), kGridLineEnd, clampFar(y), color);
    };
    const auto column = [&](double x, uint32_t color) {
        if (!std::isnan(x)) sink.gridLine(clampFar(x), top, clampFar(x), kGridBoundY, color);
    };

    const int rows = gridSteps(oy, py, z, kGridBoundY);
    for (int k = 0; k < rows; ++k) {
        row(std::trunc((k * py + oy) * z), kGridGreen);
        row(std::trunc((k * py + oy + py / 2) * z), kGridYellow);
    }
    const int columns = gridSteps(ox, px, z, kGridBoundX);
    for (int k = 0; k < columns; ++k) {
        column(std::trunc((k * px + ox) * z), kGridGreen);
        column(std::trunc((k * px + ox + px / 2) * z), kGridYellow);
    }
}

void emitFloor(Sink& sink, const DrawingModel& model) {
    const double z = model.zoom;
    if (!std::isfinite(z)) return;
    switch (model.currentFloor) {
    case 1:
        emitLines(sink, model.lines1F, z, false);
        emitLines(sink, model.lines1F, z, true);
        emitLines(sink, model.extraLines1F, z, false);
        emitBoxes(sink, model.boxes1F, z);
        break;
    case 2:
        emitLines(sink, model.lines2F, z, false);
        emitLines(sink, model.lines2F, z, true);
        emitBoxes(sink, model.boxes2F, z);
        break;
    case 3:
        emitLines(sink, model.lines3F, z, false);
        emitLines(sink, model.lines3F, z, true);
        emitBoxes(sink, model.boxes3F, z);
        break;
    default:
        break;
    }
}

void emitFloorReversed(Sink& sink, const DrawingModel& model) {
    const double z = model.zoom;
    if (!std::isfinite(z)) return;
    const LineList* lines = nullptr;
    const BoxList* boxes = nullptr;
    switch (model.currentFloor) {
    case 1:
        lines = &model.lines1F;
        boxes = &model.boxes1F;
        break;
    case 2:
        lines = &model.lines2F;
        boxes = &model.boxes2F;
        break;
    case 3:
        lines = &model.lines3F;
        boxes = &model.boxes3F;
        break;
    default:
        return;
    }
    emitBoxesReversed(sink, *boxes, z);
    if (model.currentFloor == 1) emitLinesReversed(sink, model.extraLines1F, z, false);
    emitLinesReversed(sink, *lines, z, true);
    emitLinesReversed(sink, *lines, z, false);
}

PainterSink::PainterSink(QPainter& painter) : painter_(painter) {}

void PainterSink::gridLine(double x1, double y1, double x2, double y2, uint32_t color) {
    flush();
    QPen pen(qcolor(color), 1, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin);
    painter_.setPen(pen);
    painter_.drawLine(QLineF(x1, y1, x2, y2));
}

void PainterSink::line(double x1, double y1, double x2, double y2, uint32_t color) {
    if (!pending_.empty() && color != pendingColor_) flush();
    pendingColor_ = color;
    pending_.emplace_back(x1, y1, x2, y2);
    if (pending_.size() >= 4096) flush();
}

void PainterSink::box(double left, double top, double right, double bottom, uint32_t color) {
    flush();
    // The outline is the ring the 2-pixel pen covers around the corners' pixels (one pixel
    // outside and one inside the edge), the inside is white. Drawn as two filled
    // rectangles so that empty and one-pixel boxes come out the same on every device.
    const double l = std::min(left, right), r = std::max(left, right);
    const double t = std::min(top, bottom), b = std::max(top, bottom);
    painter_.fillRect(QRectF(QPointF(l - 1, t - 1), QPointF(r + 1, b + 1)), qcolor(color));
    if (r - l >= 3 && b - t >= 3)
        painter_.fillRect(QRectF(QPointF(l + 1, t + 1), QPointF(r - 1, b - 1)), Qt::white);
}

void PainterSink::finish() {
    flush();
}

void PainterSink::flush() {
    if (pending_.empty()) return;
    painter_.setPen(QPen(qcolor(pendingColor_), 2, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    painter_.drawLines(pending_.data(), int(pending_.size()));
    pending_.clear();
}

} // namespace tovera::render
