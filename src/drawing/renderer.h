#pragma once
// The renderer: composes a full frame of the drawing view (background, grid, the lines
// and rectangles of the floor shown) off-screen and hands it to the view in one copy.

#include "drawing/model.h"

#include <QImage>
#include <QSize>
#include <QString>
#include <functional>

class QPainter;

namespace tovera {

class DrawingCanvas {
public:
    // Size of the drawing area PaintBox1, in pixels.
    static constexpr int AreaWidth = 590;
    static constexpr int AreaHeight = 410;

    QImage backgroundBitmap; // background of every frame, cut or extended to the area
    QImage drawBuffer;       // the off-screen frame, the size of backgroundBitmap
    QString backgroundFile;  // path of the background picture; empty when none
    QSize areaSize{AreaWidth, AreaHeight};

    // Called with the finished frame at the end of every renderDrawing (the copy to the
    // drawing area). May be empty (the command and benchmarks).
    std::function<void(const QImage&)> present;

    // Sets up both pictures from `fileName` (a Windows bitmap of any depth; an empty or
    // missing name gives a white 974 x 718 picture), cut or extended to areaSize, then
    // empties the model's current floor first and composes the first frame.
    // Raises EInvalidGraphic ("ビットマップイメージが不正です") for a file that is not a
    // bitmap; the pictures then keep their earlier (empty) size and nothing is shown.
    void prepareCanvas(DrawingModel& model, const QString& fileName);

    // The window caption after prepareCanvas: "Tovera : " followed by backgroundFile.
    QString caption() const;

    // Composes one full frame of `model` into drawBuffer and calls `present`.
    void renderDrawing(const DrawingModel& model);

    // The last frame as a 24-bit picture (red, green, blue bytes; no alpha).
    QImage frameRgb888() const;
};

// Draws the grid and the floor set of model.currentFloor onto `painter` (a surface whose
// pixel (0, 0) is the drawing's point (0, 0)); the one drawing routine shared by the view,
// the command and printing. Antialiasing off.
void drawPlan(QPainter& painter, const DrawingModel& model);

// Draws only the grid (green lines and yellow half lines) from the grid origin and pitch.
// A pitch that is not a finite number large enough to pass the bounds skips the grid.
void drawGrid(QPainter& painter, const DrawingModel& model);

} // namespace tovera
