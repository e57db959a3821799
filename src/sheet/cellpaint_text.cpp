// The text of one cell: as shown through its number format, in its font and colour,
// aligned, indented, wrapped, rotated or stacked, shrunk to fit, or # for a number that
// does not fit; rich-text runs in their own fonts.

#include "sheet/cellpaint_internal.h"
#include "sheet/celltext.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

namespace tovera::cellpaint_detail {

namespace {

int verticalFlag(VAlign v) {
    switch (v) {
    case VAlign::Top:
        return Qt::AlignTop;
    case VAlign::Center:
    case VAlign::Justify:
    case VAlign::Distributed:
        return Qt::AlignVCenter;
    default:
        return Qt::AlignBottom;
    }
}

// One piece of a rich text: characters [start, end) in workbook font `font`.
struct Piece {
    int start = 0;
    int end = 0;
    int font = 0;
};

std::vector<Piece> piecesOf(const Cell& cell, int cellFont) {
    std::vector<Piece> out;
    const int n = int(cell.text.size());
    int at = 0, font = cellFont;
    for (const TextRun& run : cell.runs) {
        const int start = std::min<int>(run.start, n);
        if (start > at) out.push_back({at, start, font});
        at = std::max(at, start);
        font = run.font;
    }
    if (at < n) out.push_back({at, n, font});
    return out;
}

} // namespace

void CellPainter::paintText(QPainter& p, const Cell& cell, const CellFormat& f, const QRect& rect,
                            const QRect& clip) {
    QString text = cellDisplayText(book(), cell);
    if (text.isEmpty()) return;
    const QString code = book().formatCodeOfXf(cell.xf);
    QColor color = book().color(book().fontOfXf(cell.xf).colorIndex, Qt::black);
    if (auto c = formatColor(book(), code, cell)) color = *c;

    const int pad = device(2);
    const int grid = device(1);
    // The area the text is laid out in: the cell less padding and its own grid line.
    QRect inner = rect.adjusted(pad, 0, -pad - grid + 1, -grid);
    if (inner.width() <= 0 || inner.height() <= 0) inner = rect;
    const HAlign align = effectiveHAlign(f, cell);
    const int indent = f.indent ? device(std::min<int>(f.indent, 15) * (mdw_ + 3)) : 0;
    if (indent && align == HAlign::Left)
        inner.setLeft(std::min(inner.right(), inner.left() + indent));
    else if (indent && align == HAlign::Right)
        inner.setRight(std::max(inner.left(), inner.right() - indent));

    const PaintFont* pf = &font(f.font);
    const double avail = inner.width() + 0.5;
    double width = pf->metrics.horizontalAdvance(text);
    const bool number = cell.type == CellType::Number;
    if (number && width > avail && isGeneralCode(code)) {
        // General shows fewer decimals, then a shorter exponent, before it gives up.
        const QString shorter = generalFitting(cell.number, [&](const QString& t) {
            return pf->metrics.horizontalAdvance(t) <= avail;
        });
        if (!shorter.isEmpty()) {
            text = shorter;
            width = pf->metrics.horizontalAdvance(text);
        }
    }
    PaintFont shrunk;
    if (f.shrinkToFit && !f.wrap && f.rotation == 0 && width > avail && width > 0) {
        shrunk.font = pf->font;
        shrunk.font.setPixelSize(std::max(1, int(pf->font.pixelSize() * inner.width() / width)));
        shrunk.metrics = QFontMetricsF(shrunk.font);
        pf = &shrunk;
        width = pf->metrics.horizontalAdvance(text);
    }
    if (number && width > avail) {
        // A number never spills: it shows # across the cell.
        const double hash = pf->metrics.horizontalAdvance(u'#');
        const int n = std::clamp(int(inner.width() / std::max(1.0, hash)), 1, 1000);
        text = QString(n, u'#');
        width = n * hash;
    }

    p.setFont(pf->font);
    p.setPen(color);
    const int valign = verticalFlag(f.vAlign);
    const bool multiLine = f.wrap || align == HAlign::Justify || text.contains(u'\n');

    if (f.rotation != 0) {
        p.save();
        p.setClipRect(rect, Qt::IntersectClip);
        if (f.rotation == 255) {
            // Stacked: one character a line.
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

    // Rich text keeps its runs when the text is shown as stored.
    std::vector<Piece> pieces;
    if (!cell.runs.isEmpty() && cell.type == CellType::Text && text == cell.text && pf != &shrunk) {
        pieces = piecesOf(cell, f.font);
        width = 0;
        for (const Piece& piece : pieces)
            width += font(piece.font)
                         .metrics.horizontalAdvance(text.mid(piece.start, piece.end - piece.start));
    }

    // One line: placed by hand, which is much cheaper than a laid-out rectangle.
    double x = inner.left();
    const QRect spreadInner = clip.adjusted(pad, 0, -pad - grid + 1, 0);
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
        if (width > 0 && width < inner.width() && pieces.empty()) {
            const int n = std::clamp(int(inner.width() / width), 1, 1000);
            text = text.repeated(n);
            width *= n;
        }
        break;
    case HAlign::Distributed:
        if (text.size() > 1 && width < inner.width() && pieces.empty()) {
            // Characters spread evenly over the cell.
            const double step = (inner.width() - width) / double(text.size() - 1);
            double cx = inner.left();
            const double base = baseline(*pf, inner, valign);
            for (QChar ch : text) {
                p.drawText(QPointF(cx, base), QString(ch));
                cx += pf->metrics.horizontalAdvance(ch) + step;
            }
            return;
        }
        x = inner.left() + (inner.width() - width) / 2;
        break;
    default:
        break;
    }
    const double y = baseline(*pf, inner, valign);
    const bool fits =
        x >= rect.left() && x + width <= rect.right() + 1 && pf->metrics.height() <= rect.height();
    if (!fits) {
        p.save();
        p.setClipRect(clip.isValid() ? clip.united(rect) : rect, Qt::IntersectClip);
    }
    if (pieces.empty()) {
        p.drawText(QPointF(x, y), text);
    } else {
        for (const Piece& piece : pieces) {
            const PaintFont& runFont = font(piece.font);
            const QString part = text.mid(piece.start, piece.end - piece.start);
            const size_t fi = size_t(piece.font);
            const Font& wf = fi < book().fonts.size() ? book().fonts[fi] : book().fontOfXf(cell.xf);
            p.setFont(runFont.font);
            p.setPen(book().color(wf.colorIndex, Qt::black));
            p.drawText(QPointF(x, y), part);
            x += runFont.metrics.horizontalAdvance(part);
        }
    }
    if (!fits) p.restore();
}

double CellPainter::baseline(const PaintFont& pf, const QRect& inner, int valign) {
    const double ascent = pf.metrics.ascent();
    const double descent = pf.metrics.descent();
    if (valign == Qt::AlignTop) return inner.top() + ascent;
    if (valign == Qt::AlignVCenter)
        return inner.top() + (inner.height() - (ascent + descent)) / 2 + ascent;
    return inner.bottom() + 1 - descent;
}

} // namespace tovera::cellpaint_detail
