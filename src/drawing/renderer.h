#pragma once
// The renderer: composes a full frame of the drawing view (background, grid, the lines
// and rectangles of the floor shown) off-screen and hands it to the view in one copy.
//
// Pixels. A drawing coordinate v lies on pixel trunc(v * zoom), toward zero. Grid lines
// are 1 pixel wide and cover both end pixels. Lines of the drawing use a 2-pixel pen with
// square ends: a horizontal line from x1 to x2 on row y covers columns min-1 .. max of
// rows y-1 and y (vertical lines likewise, transposed); a slanted line covers the pixels
// whose centres lie within 1 of the segment extended by 1 at each end. A box with corners
// (l, t) and (r, b), in any order, has its outline on the ring l-1 .. r by t-1 .. b, two
// pixels thick, and is white inside (l+1 .. r-2 by t+1 .. b-2), hiding what was drawn
// before it. These are the pixels Qt's non-antialiased 2-pixel pen sets, except that Qt's
// fixed-point edges may take or leave single pixels whose centres lie within a few
// hundredths of a pixel of a slanted line's band.

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
    QImage drawBuffer;       // the off-screen frame (32-bit RGB), the size of backgroundBitmap
    QString backgroundFile;  // path of the background picture; empty when none
    QSize areaSize{AreaWidth, AreaHeight};

    // Called with the finished frame at the end of every renderDrawing (the copy to the
    // drawing area). May be empty (the command and benchmarks). The frame is a view of the
    // canvas's own buffer, drawBuffer, holding no reference to it: it shows each later frame
    // too, and stays valid until the buffer is made anew (prepareCanvas, a change of size,
    // each followed by a new call) or the canvas goes. Copy it to keep a frame.
    std::function<void(const QImage&)> present;

    // Empties the model's current floor, then sets up both pictures from `fileName` (a
    // Windows bitmap of any depth when the name is an existing file; otherwise a white
    // 974 x 718 picture), cut or extended with white to areaSize, and composes the first
    // frame. Raises EInvalidGraphic ("ビットマップイメージが不正です") for a file that is not
    // a bitmap, EInOutError for one that cannot be opened; the pictures and backgroundFile
    // then keep their earlier (empty) state and nothing is shown.
    void prepareCanvas(DrawingModel& model, const QString& fileName);

    // The window caption after prepareCanvas: "Tovera : " followed by backgroundFile.
    QString caption() const;

    // Composes one full frame of `model` into drawBuffer (made once, reused for every frame
    // of the same size) and calls `present`. Never fails: empty lists draw nothing, coordinates
    // outside the buffer are clipped.
    void renderDrawing(const DrawingModel& model);

    // The last frame as a 24-bit picture (red, green, blue bytes; no alpha).
    QImage frameRgb888() const;
};

// Draws the grid and the floor set of model.currentFloor onto `painter` (a surface whose
// pixel (0, 0) is the drawing's point (0, 0)); the one drawing routine shared by the view,
// the command and printing. Antialiasing off. On a 32-bit QImage with no transform or
// clip it writes the scanlines directly, taking the parts from the last to the first so
// that each pixel is written once, by the part that shows; on any other device it draws
// through QPainter.
// A zoom that is not a finite number draws nothing (the background alone shows).
void drawPlan(QPainter& painter, const DrawingModel& model);

// Draws only the grid (green lines and yellow half lines) from the grid origin and pitch.
// A family (rows or columns) whose loop would not pass its bound within a few thousand
// lines (a pitch or zoom that is zero, negative, not a number or too small) is skipped.
void drawGrid(QPainter& painter, const DrawingModel& model);

} // namespace tovera
