#pragma once
// The in-memory floor-plan drawing: up to three floors of lines and coloured rectangles,
// extra lines of the ground floor, the grid, the floor areas and the view state.
// Coordinates are whole drawing units; a value v is drawn at pixel trunc(v * zoom).
// Colours are 0x00BBGGRR (red in the low byte).

#include <QByteArray>
#include <cstdint>
#include <vector>

namespace tovera {

class DrawingHost;

struct TLine {
    int32_t x1 = 0;
    int32_t y1 = 0;
    int32_t x2 = 0;
    int32_t y2 = 0;
    uint32_t color = 0;
    int32_t layer = 0; // layer-0 lines are drawn a second time above the others
    QByteArray text;   // code page 932 bytes as read; never drawn
    bool operator==(const TLine&) const = default;
};

struct TBox {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
    uint32_t color = 0;
    bool operator==(const TBox&) const = default;
};

using LineList = std::vector<TLine>;
using BoxList = std::vector<TBox>;

struct DrawingModel {
    // The seven element lists, in reading (and drawing) order.
    LineList lines1F, lines2F, lines3F, extraLines1F;
    BoxList boxes1F, boxes2F, boxes3F;

    int32_t gridOriginX = 10;
    int32_t gridOriginY = 10;
    int32_t homeOriginX = 10;
    int32_t homeOriginY = 10;
    double gridPitchX = 50.0 * 0.9;
    double gridPitchY = 50.0 * 0.9;
    double areaF1 = 0;
    double areaF2 = 0;
    double areaF3 = 0;
    double kenLength = 0;
    double zoom = 0.5;        // pixels per drawing unit
    int32_t currentFloor = 1; // 1, 2 or 3; any other value shows only the background

    // Empties all seven lists.
    void clearAll();
    // gridOrigin := homeOrigin.
    void resetGridOrigin() {
        gridOriginX = homeOriginX;
        gridOriginY = homeOriginY;
    }
    // Empties the floor set of currentFloor (floor 1: lines1F, extraLines1F, boxes1F);
    // nothing for a value other than 1, 2 or 3.
    void clearCurrentFloor();
    // Number of elements in the floor set of `floor` (0 for other values).
    size_t floorElementCount(int floor) const;
};

// One area value as the area boxes show it: " %7.2f" as C's printf formats it.
QString formatArea(double value);

// The zoom as ZoomDisp shows it after a press: " %1.2f" as C's printf formats it.
QString formatZoom(double value);

// Writes the three areas, their total and the ken length into the host's area boxes.
void showAreas(const DrawingModel& model, DrawingHost& host);

} // namespace tovera
