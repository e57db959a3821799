// Drawing the parts of one cell: fill, text and borders.

#include "sheet/cellpaint_internal.h"
#include "sheet/celltext.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

namespace tovera::cellpaint_detail {

namespace {

// Qt's nearest brush for a fill pattern (2-18); 1 is solid.
Qt::BrushStyle brushFor(int pattern) {
    switch (pattern) {
    case 1:
        return Qt::SolidPattern;
    case 2:
        return Qt::Dense4Pattern; // 50 % grey
    case 3:
        return Qt::Dense2Pattern; // 75 % grey
    case 4:
        return Qt::Dense6Pattern; // 25 % grey
    case 5:
    case 11:
        return Qt::HorPattern;
    case 6:
    case 12:
        return Qt::VerPattern;
    case 7:
    case 13:
        return Qt::BDiagPattern;
    case 8:
    case 14:
        return Qt::FDiagPattern;
    case 9:
    case 10:
    case 16:
        return Qt::DiagCrossPattern;
    case 15:
        return Qt::CrossPattern;
    case 17:
        return Qt::Dense6Pattern;
    default:
        return Qt::Dense7Pattern; // 6.25 % grey and anything unknown
    }
}

// Width in 96-DPI pixels and dash pattern of a border style.
struct BorderLook {
    int width = 1;
    Qt::PenStyle style = Qt::SolidLine;
    bool isDouble = false;
};

BorderLook lookOf(int style) {
    switch (style) {
    case 2:
        return {2, Qt::SolidLine};
    case 3:
        return {1, Qt::DashLine};
    case 4:
        return {1, Qt::DotLine};
    case 5:
        return {3, Qt::SolidLine};
    case 6:
        return {1, Qt::SolidLine, true};
    case 7:
        return {1, Qt::DotLine};
    case 8:
        return {2, Qt::DashLine};
    case 9:
        return {1, Qt::DashDotLine};
    case 10:
    case 13:
        return {2, Qt::DashDotLine};
    case 11:
        return {1, Qt::DashDotDotLine};
    case 12:
        return {2, Qt::DashDotDotLine};
    default:
        return {1, Qt::SolidLine};
    }
}

} // namespace

void CellPainter::paintFill(QPainter& p, const CellFormat& f, const QRect& rect) const {
    if (f.fillPattern == 0) return;
    const QColor fg = book().color(f.fillForeground, Qt::black);
    if (f.fillPattern == 1) {
        p.fillRect(rect, fg);
        return;
    }
    p.fillRect(rect, book().color(f.fillBackground, Qt::white));
    p.fillRect(rect, QBrush(fg, brushFor(f.fillPattern)));
}

void CellPainter::paintHBorder(QPainter& p, const Border& b, int x0, int x1, int y) const {
    if (b.style == 0) return;
    const BorderLook look = lookOf(b.style);
    const QColor color = book().color(b.colorIndex, Qt::black);
    const int w = device(look.width);
    if (look.isDouble) {
        const int t = device(1);
        const int gap = device(1);
        p.fillRect(QRect(x0, y - gap - t + 1, x1 - x0 + 1, t), color);
        p.fillRect(QRect(x0, y + gap, x1 - x0 + 1, t), color);
        return;
    }
    const int top = y - (w - 1) / 2;
    if (look.style == Qt::SolidLine) {
        p.fillRect(QRect(x0, top, x1 - x0 + 1, w), color);
        return;
    }
    QPen pen(color, w, look.style, Qt::FlatCap);
    p.setPen(pen);
    const double cy = top + w / 2.0;
    p.drawLine(QPointF(x0, cy), QPointF(x1 + 1, cy));
}

void CellPainter::paintVBorder(QPainter& p, const Border& b, int x, int y0, int y1) const {
    if (b.style == 0) return;
    const BorderLook look = lookOf(b.style);
    const QColor color = book().color(b.colorIndex, Qt::black);
    const int w = device(look.width);
    if (look.isDouble) {
        const int t = device(1);
        const int gap = device(1);
        p.fillRect(QRect(x - gap - t + 1, y0, t, y1 - y0 + 1), color);
        p.fillRect(QRect(x + gap, y0, t, y1 - y0 + 1), color);
        return;
    }
    const int left = x - (w - 1) / 2;
    if (look.style == Qt::SolidLine) {
        p.fillRect(QRect(left, y0, w, y1 - y0 + 1), color);
        return;
    }
    QPen pen(color, w, look.style, Qt::FlatCap);
    p.setPen(pen);
    const double cx = left + w / 2.0;
    p.drawLine(QPointF(cx, y0), QPointF(cx, y1 + 1));
}

void CellPainter::paintBorders(QPainter& p, const CellFormat& left, const CellFormat& top,
                               const CellFormat& right, const CellFormat& bottom,
                               const CellFormat& diagonal, const QRect& rect, int edges) const {
    const int g = device(1);
    // Grid lines: the cell's own right and bottom pixels, the neighbours' for left and top.
    const int xl = rect.left() - g + (g - 1) / 2 + 0;
    const int xr = rect.right() - (g - 1) / 2;
    const int yt = rect.top() - g + (g - 1) / 2;
    const int yb = rect.bottom() - (g - 1) / 2;
    if (edges & 2) paintHBorder(p, top.top, xl, xr, yt);
    if (edges & 8) paintHBorder(p, bottom.bottom, xl, xr, yb);
    if (edges & 1) paintVBorder(p, left.left, xl, yt, yb);
    if (edges & 4) paintVBorder(p, right.right, xr, yt, yb);
    if ((edges & 16) && diagonal.diagonalLines && diagonal.diagonal.style) {
        const BorderLook look = lookOf(diagonal.diagonal.style);
        p.save();
        p.setClipRect(rect, Qt::IntersectClip);
        p.setPen(QPen(book().color(diagonal.diagonal.colorIndex, Qt::black), device(look.width),
                      look.style, Qt::FlatCap));
        if (diagonal.diagonalLines & 1) p.drawLine(rect.topLeft(), rect.bottomRight());
        if (diagonal.diagonalLines & 2) p.drawLine(rect.bottomLeft(), rect.topRight());
        p.restore();
    }
}

} // namespace tovera::cellpaint_detail
