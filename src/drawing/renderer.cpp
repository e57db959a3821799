#include "drawing/renderer.h"

#include "platform/errors.h"

#include <QPainter>

namespace tovera {

// Placeholder bodies; the renderer is being written.
void DrawingCanvas::prepareCanvas(DrawingModel& model, const QString& fileName) {
    model.clearCurrentFloor();
    backgroundBitmap = QImage(areaSize, QImage::Format_RGB32);
    backgroundBitmap.fill(Qt::white);
    backgroundFile = fileName;
    drawBuffer = backgroundBitmap;
    renderDrawing(model);
}

QString DrawingCanvas::caption() const { return QStringLiteral("Tovera : ") + backgroundFile; }

void DrawingCanvas::renderDrawing(const DrawingModel& model) {
    drawBuffer = backgroundBitmap.copy();
    QPainter p(&drawBuffer);
    drawPlan(p, model);
    p.end();
    if (present) present(drawBuffer);
}

void drawPlan(QPainter& painter, const DrawingModel& model) { drawGrid(painter, model); }

void drawGrid(QPainter&, const DrawingModel&) {}

} // namespace tovera
