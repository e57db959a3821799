#include "drawing/renderer.h"

#include "drawing/bitmapfile.h"
#include "drawing/render_fast.h"
#include "drawing/render_plan.h"
#include "platform/errors.h"

#include <QFileInfo>
#include <QPainter>
#include <cstring>

namespace tovera {

namespace {

constexpr int kWhiteWidth = 974; // the white picture made when there is no background file
constexpr int kWhiteHeight = 718;

// Cuts or extends `image` to `size`, keeping its top-left content; added area is white.
QImage fitToArea(const QImage& image, const QSize& size) {
    if (image.size() == size) return image;
    QImage fitted(size, QImage::Format_RGB32);
    fitted.fill(Qt::white);
    const int w = std::min(size.width(), image.width());
    const int h = std::min(size.height(), image.height());
    for (int y = 0; y < h; ++y)
        std::memcpy(fitted.scanLine(y), image.constScanLine(y), size_t(w) * 4);
    return fitted;
}

} // namespace

void DrawingCanvas::prepareCanvas(DrawingModel& model, const QString& fileName) {
    model.clearCurrentFloor();
    QImage background;
    QString file;
    if (!fileName.isEmpty() && QFileInfo(fileName).isFile()) {
        background = readBitmapTopLeft(fileName, areaSize); // raises before either picture changes
        file = fileName;
    } else {
        background = QImage(kWhiteWidth, kWhiteHeight, QImage::Format_RGB32);
        background.fill(Qt::white);
    }
    backgroundBitmap = fitToArea(background, areaSize);
    backgroundFile = file;
    drawBuffer = QImage(backgroundBitmap.size(), QImage::Format_RGB32);
    renderDrawing(model);
}

QString DrawingCanvas::caption() const {
    return QStringLiteral("Tovera : ") + backgroundFile;
}

void DrawingCanvas::renderDrawing(const DrawingModel& model) {
    if (drawBuffer.size() != backgroundBitmap.size() || drawBuffer.format() != QImage::Format_RGB32)
        drawBuffer = QImage(backgroundBitmap.size(), QImage::Format_RGB32);
    if (!drawBuffer.isNull()) {
        // The background, pixel for pixel, into the buffer kept from frame to frame.
        const qsizetype bytes = backgroundBitmap.sizeInBytes();
        if (backgroundBitmap.format() == QImage::Format_RGB32 &&
            drawBuffer.bytesPerLine() == backgroundBitmap.bytesPerLine())
            std::memcpy(drawBuffer.bits(), backgroundBitmap.constBits(), size_t(bytes));
        else
            drawBuffer = backgroundBitmap.convertToFormat(QImage::Format_RGB32);
        QPainter painter(&drawBuffer);
        drawPlan(painter, model);
    }
    // The frame is handed over as a view of the buffer, not as a second reference to it: a
    // reference kept by the view would make the next frame copy the whole buffer before
    // drawing into it.
    if (present)
        present(QImage(drawBuffer.constBits(), drawBuffer.width(), drawBuffer.height(),
                       drawBuffer.bytesPerLine(), drawBuffer.format()));
}

QImage DrawingCanvas::frameRgb888() const {
    return drawBuffer.convertToFormat(QImage::Format_RGB888);
}

void drawPlan(QPainter& painter, const DrawingModel& model) {
    if (render::drawPlanFast(painter, model)) return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    render::PainterSink sink(painter);
    render::emitGrid(sink, model);
    render::emitFloor(sink, model);
    sink.finish();
    painter.restore();
}

void drawGrid(QPainter& painter, const DrawingModel& model) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    render::PainterSink sink(painter);
    render::emitGrid(sink, model);
    sink.finish();
    painter.restore();
}

} // namespace tovera
