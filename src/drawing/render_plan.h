#pragma once
// What a frame is made of, independent of how it is drawn: the grid's lines and the
// lines and boxes of the floor shown, in drawing order, in pixel coordinates. A Sink
// receives them; the QPainter sink serves every device (view, command, printer), the
// scanline sink writes straight into a 32-bit QImage for speed with the same pixels.

#include "drawing/model.h"

#include <QLineF>
#include <cstdint>
#include <vector>

class QPainter;

namespace tovera::render {

constexpr uint32_t kGridGreen = 0x00FF00;  // 0x00BBGGRR
constexpr uint32_t kGridYellow = 0x00FFFF; // red and green at full

// The fixed pixel bounds of the grid loops: a family stops after its first green line
// beyond its bound.
constexpr double kGridBoundY = 800;
constexpr double kGridBoundX = 1020;
constexpr double kGridLineEnd = 1200; // horizontal lines run to x = 1200, verticals to y = 800
// A family whose loop would not end within this many steps (a pitch that is zero,
// negative, not a number or too small for the zoom) is not drawn at all.
constexpr int kMaxGridSteps = 4096;

// Receives the parts of a frame in drawing order. Coordinates are whole pixels within
// [-kFarPixel, kFarPixel] except where a far segment was cut along itself.
class Sink {
public:
    virtual ~Sink() = default;
    // A grid line, pen width 1; always horizontal or vertical.
    virtual void gridLine(double x1, double y1, double x2, double y2, uint32_t color) = 0;
    // A line of the drawing, pen width 2, square ends.
    virtual void line(double x1, double y1, double x2, double y2, uint32_t color) = 0;
    // A box: corners in any order; outline width 2 in `color`, inside filled white.
    virtual void box(double left, double top, double right, double bottom, uint32_t color) = 0;
    // Called once after the last part.
    virtual void finish() {}
    // True when no further part can change anything (the reversed emitter stops then).
    virtual bool saturated() const { return false; }
};

// Sends the grid of `model` to `sink`: horizontal family first (green then yellow for
// each k), then the vertical family.
void emitGrid(Sink& sink, const DrawingModel& model);

// Sends the floor set of model.currentFloor to `sink` in drawing order: the lines, again
// the layer-0 lines, floor 1's extra lines, then the boxes. Nothing for other floors, and
// nothing when the zoom is not a finite number.
void emitFloor(Sink& sink, const DrawingModel& model);

// Sends the same parts as emitFloor, from the last to the first, until the sink is
// saturated.
void emitFloorReversed(Sink& sink, const DrawingModel& model);

// Draws through a QPainter (antialiasing off). Consecutive lines of one colour are handed
// over together.
class PainterSink : public Sink {
public:
    explicit PainterSink(QPainter& painter);
    void gridLine(double x1, double y1, double x2, double y2, uint32_t color) override;
    void line(double x1, double y1, double x2, double y2, uint32_t color) override;
    void box(double left, double top, double right, double bottom, uint32_t color) override;
    void finish() override;

private:
    void flush();
    QPainter& painter_;
    std::vector<QLineF> pending_;
    uint32_t pendingColor_ = 0;
};

} // namespace tovera::render
