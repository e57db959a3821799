#include "drawing/model.h"

#include "drawing/host.h"

#include <QString>
#include <algorithm>
#include <charconv>

namespace tovera {

void DrawingModel::clearAll() {
    lines1F.clear();
    lines2F.clear();
    lines3F.clear();
    extraLines1F.clear();
    boxes1F.clear();
    boxes2F.clear();
    boxes3F.clear();
    // Release the memory too: a huge drawing should not keep its capacity.
    LineList().swap(lines1F);
    LineList().swap(lines2F);
    LineList().swap(lines3F);
    LineList().swap(extraLines1F);
    BoxList().swap(boxes1F);
    BoxList().swap(boxes2F);
    BoxList().swap(boxes3F);
}

void DrawingModel::clearCurrentFloor() {
    switch (currentFloor) {
    case 1:
        LineList().swap(lines1F);
        LineList().swap(extraLines1F);
        BoxList().swap(boxes1F);
        break;
    case 2:
        LineList().swap(lines2F);
        BoxList().swap(boxes2F);
        break;
    case 3:
        LineList().swap(lines3F);
        BoxList().swap(boxes3F);
        break;
    default:
        break;
    }
}

size_t DrawingModel::floorElementCount(int floor) const {
    switch (floor) {
    case 1:
        return lines1F.size() + extraLines1F.size() + boxes1F.size();
    case 2:
        return lines2F.size() + boxes2F.size();
    case 3:
        return lines3F.size() + boxes3F.size();
    default:
        return 0;
    }
}

namespace {

// " %<width>.2f" as C's printf writes it in the "C" locale: "." whatever the user's
// locale (the C library's own printf would take the decimal comma of a German one).
QString formatFixed2(double value, int width) {
    char digits[400]; // the longest double has 309 digits before the point
    const auto result =
        std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, 2);
    const int length = int(result.ptr - digits);
    QString text(1 + std::max(width, length) - length, QLatin1Char(' '));
    text += QLatin1String(digits, length);
    return text;
}

} // namespace

QString formatArea(double value) {
    return formatFixed2(value, 7);
}

QString formatZoom(double value) {
    return formatFixed2(value, 1);
}

void showAreas(const DrawingModel& model, DrawingHost& host) {
    host.setAreaBox(AreaBox::F1, formatArea(model.areaF1));
    host.setAreaBox(AreaBox::F2, formatArea(model.areaF2));
    host.setAreaBox(AreaBox::F3, formatArea(model.areaF3));
    host.setAreaBox(AreaBox::Ken, formatArea(model.kenLength));
    host.setAreaBox(AreaBox::Total, formatArea(model.areaF1 + model.areaF2 + model.areaF3));
}

} // namespace tovera
