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

void CellPainter::paintText(QPainter& p, const Cell& cell, const CellFormat& f, const QRect& rect,
                            const QRect& clip) {
    QString text = cellDisplayText(book(), cell);
    if (text.isEmpty()) return;
    const PaintFont& pf = font(f.font);
    const QString code = book().formatCodeOfXf(cell.xf);
    QColor color = book().color(book().fontOfXf(cell.xf).colorIndex, Qt::black);
    if (auto c = formatColor(book(), code, cell)) color = *c;

    const int pad = device(2);
    const int grid = device(1);
    // The area the text is laid out in: the cell less padding and its own grid line.
    QRect inner = rect.adjusted(pad, 0, -pad - grid + 1, -grid);
    if (inner.width() <= 0 || inner.height() <= 0) inner = rect;
    HAlign align = effectiveHAlign(f, cell);
    const int indent = f.indent ? device(f.indent * (mdw_ + 3)) : 0;
    if (indent && (align == HAlign::Left || align == HAlign::General))
        inner.setLeft(std::min(inner.right(), inner.left() + indent));
    else if (indent && align == HAlign::Right)
        inner.setRight(std::max(inner.left(), inner.right() - indent));

    double width = pf.metrics.horizontalAdvance(text);
    const bool number = cell.type == CellType::Number;
    if (number && width > inner.width() + 0.5) {
        // A number never spills: it shows # across the cell.
        const double hash = pf.metrics.horizontalAdvance(u'#');
        const int n = std::max(1, int(inner.width() / std::max(1.0, hash)));
        text = QString(n, u'#');
        width = n * hash;
    }

    p.setFont(pf.font);
    p.setPen(color);
    int valign = Qt::AlignBottom;
    if (f.vAlign == VAlign::Top) valign = Qt::AlignTop;
    if (f.vAlign == VAlign::Center || f.vAlign == VAlign::Distributed ||
        f.vAlign == VAlign::Justify)
        valign = Qt::AlignVCenter;

    const bool multiLine = f.wrap || align == HAlign::Justify || text.contains(u'\n');
    if (f.rotation != 0) {
        p.save();
        p.setClipRect(rect, Qt::IntersectClip);
        if (f.rotation == 255) {
            QString stacked;
            for (int i = 0; i < text.size(); ++i) {
                if (i) stacked += u'\n';
                stacked += text[i];
            }
            p.drawText(inner, Qt::AlignHCenter | valign, stacked);
        } else {
            const int angle = f.rotation <= 90 ? f.rotation : -(f.rotation - 90);
            p.translate(QRectF(inner).center());
            p.rotate(-angle);
            const bool steep = std::abs(angle) > 45;
            const double w = steep ? inner.height() : inner.width();
            const double h = steep ? inner.width() : inner.height();
            p.drawText(QRectF(-w / 2, -h / 2, w, h), Qt::AlignCenter | Qt::TextDontClip, text);
        }
        p.restore();
        return;
    }
    if (multiLine) {
        p.save();
        p.setClipRect(rect, Qt::IntersectClip);
        int h = Qt::AlignLeft;
        if (align == HAlign::Right) h = Qt::AlignRight;
        if (align == HAlign::Center || align == HAlign::CenterAcross ||
            align == HAlign::Distributed)
            h = Qt::AlignHCenter;
        p.drawText(inner, h | valign | Qt::TextWordWrap, text);
        p.restore();
        return;
    }

    // One line: placed by hand, which is much cheaper than a laid-out rectangle.
    double x = inner.left();
    QRect spreadInner = clip.adjusted(pad, 0, -pad - grid + 1, 0);
    switch (align) {
    case HAlign::Right:
        x = inner.right() + 1 - width;
        break;
    case HAlign::Center:
        x = inner.left() + (inner.width() - width) / 2;
        break;
    case HAlign::CenterAcross:
        x = spreadInner.left() + (spreadInner.width() - width) / 2;
        break;
    case HAlign::Fill:
        if (width > 0 && width < inner.width()) {
            const int n = int(inner.width() / width);
            text = text.repeated(std::max(1, n));
            width *= std::max(1, n);
        }
        break;
    case HAlign::Distributed:
        if (text.size() > 1 && width < inner.width()) {
            // Characters spread evenly over the cell.
            double step = (inner.width() - width) / (text.size() - 1);
            double cx = inner.left();
            const double base = baseline(pf, inner, valign);
            for (QChar ch : text) {
                p.drawText(QPointF(cx, base), QString(ch));
                cx += pf.metrics.horizontalAdvance(ch) + step;
            }
            return;
        }
        x = inner.left() + (inner.width() - width) / 2;
        break;
    default:
        break;
    }
    const double y = baseline(pf, inner, valign);
    const bool fits =
        x >= rect.left() && x + width <= rect.right() + 1 && pf.metrics.height() <= rect.height();
    if (fits) {
        p.drawText(QPointF(x, y), text);
        return;
    }
    p.save();
    p.setClipRect(clip.isValid() ? clip.united(rect) : rect, Qt::IntersectClip);
    p.drawText(QPointF(x, y), text);
    p.restore();
}

double CellPainter::baseline(const PaintFont& pf, const QRect& inner, int valign) {
    const double ascent = pf.metrics.ascent();
    const double descent = pf.metrics.descent();
    if (valign == Qt::AlignTop) return inner.top() + ascent;
    if (valign == Qt::AlignVCenter)
        return inner.top() + (inner.height() - (ascent + descent)) / 2 + ascent;
    return inner.bottom() + 1 - descent;
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
