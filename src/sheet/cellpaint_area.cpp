// Painting a rectangle of cells: grid lines, fills, merged areas, overflowing text, borders.

#include "sheet/cellpaint.h"
#include "sheet/cellpaint_internal.h"

#include <QPaintDevice>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace tovera {

using cellpaint_detail::CellPainter;

namespace {

const QColor kGridColor(0xD0, 0xD7, 0xE5);

struct Span {
    int row = 0;
    int column = 0; // the cell whose text spreads
    int first = 0;
    int last = 0;
};

} // namespace

void paintSheetArea(QPainter& painter, const CellPaintContext& ctx, const CellRange& range,
                    QPointF origin) {
    if (!ctx.book || !ctx.sheet) return;
    paintSheetArea(painter, ctx, SheetGeometry(*ctx.book, *ctx.sheet), range, origin);
}

void paintSheetArea(QPainter& painter, const CellPaintContext& ctx, const SheetGeometry& geo,
                    const CellRange& wanted, QPointF origin) {
    if (!ctx.book || !ctx.sheet || !(ctx.scale > 0) || !std::isfinite(ctx.scale) ||
        !std::isfinite(origin.x()) || !std::isfinite(origin.y()))
        return;
    if (!ctx.merges) {
        const MergeIndex merges(ctx.sheet->merges);
        CellPaintContext indexed = ctx;
        indexed.merges = &merges;
        paintSheetArea(painter, indexed, geo, wanted, origin);
        return;
    }
    CellRange range{std::max(0, wanted.firstRow), std::min(kSheetRows - 1, wanted.lastRow),
                    std::max(0, wanted.firstColumn),
                    std::min(kSheetColumns - 1, wanted.lastColumn)};
    if (range.firstRow > range.lastRow || range.firstColumn > range.lastColumn) return;
    const double s = ctx.scale;
    const int baseX = geo.columnX(range.firstColumn);
    const int baseY = geo.rowY(range.firstRow);
    auto X = [&](int c) { return int(std::lround(origin.x() + (geo.columnX(c) - baseX) * s)); };
    auto Y = [&](int r) { return int(std::lround(origin.y() + (geo.rowY(r) - baseY) * s)); };

    // Only what the device can show is worked on, however large the range asked for.
    if (const QPaintDevice* dev = painter.device()) {
        QRectF visible =
            painter.transform().inverted().mapRect(QRectF(0, 0, dev->width(), dev->height()));
        if (painter.hasClipping()) visible &= painter.clipBoundingRect();
        // Sheet pixels of the visible edges, relative to A1.
        auto sheetX = [&](double x) { return baseX + (x - origin.x()) / s; };
        auto sheetY = [&](double y) { return baseY + (y - origin.y()) / s; };
        auto whole = [](double v) { return int(std::clamp(v, -1.0, 1e9)); };
        const int c0 = geo.columnAt(whole(sheetX(visible.left())));
        const int c1 = geo.columnAt(whole(sheetX(visible.right() + 1)));
        const int r0 = geo.rowAt(whole(sheetY(visible.top())));
        const int r1 = geo.rowAt(whole(sheetY(visible.bottom() + 1)));
        range.firstColumn = std::clamp(c0, range.firstColumn, range.lastColumn);
        range.lastColumn = std::clamp(c1, range.firstColumn, range.lastColumn);
        range.firstRow = std::clamp(r0, range.firstRow, range.lastRow);
        range.lastRow = std::clamp(r1, range.firstRow, range.lastRow);
    }
    const int rows = range.lastRow - range.firstRow + 1;
    const int cols = range.lastColumn - range.firstColumn + 1;
    std::vector<int> xs(size_t(cols) + 1), ys(size_t(rows) + 1);
    for (int i = 0; i <= cols; ++i) xs[size_t(i)] = X(range.firstColumn + i);
    for (int i = 0; i <= rows; ++i) ys[size_t(i)] = Y(range.firstRow + i);
    const QRect area(xs[0], ys[0], xs.back() - xs[0], ys.back() - ys[0]);
    if (area.isEmpty()) return;
    auto cellRect = [&](int r, int c) {
        const int i = r - range.firstRow, j = c - range.firstColumn;
        return QRect(xs[size_t(j)], ys[size_t(i)], xs[size_t(j) + 1] - xs[size_t(j)],
                     ys[size_t(i) + 1] - ys[size_t(i)]);
    };
    auto anyRect = [&](int r0, int c0, int r1, int c1) {
        return QRect(QPoint(X(c0), Y(r0)), QPoint(X(c1 + 1) - 1, Y(r1 + 1) - 1));
    };

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setClipRect(area, Qt::IntersectClip);
    painter.fillRect(area, Qt::white);
    CellPainter cp(ctx);
    const Sheet& sheet = *ctx.sheet;

    // Merged areas that reach into the range, and which cells each covers.
    std::vector<CellRange> merges;
    std::vector<int> owner(size_t(rows) * size_t(cols), -1);
    for (const CellRange& m : ctx.merges->ranges()) {
        if (m.lastRow < range.firstRow || m.firstRow > range.lastRow ||
            m.lastColumn < range.firstColumn || m.firstColumn > range.lastColumn ||
            m.firstRow > m.lastRow || m.firstColumn > m.lastColumn)
            continue;
        if (m.firstRow == m.lastRow && m.firstColumn == m.lastColumn) continue;
        const int id = int(merges.size());
        merges.push_back(m);
        for (int r = std::max(m.firstRow, range.firstRow); r <= std::min(m.lastRow, range.lastRow);
             ++r)
            for (int c = std::max(m.firstColumn, range.firstColumn);
                 c <= std::min(m.lastColumn, range.lastColumn); ++c)
                owner[size_t(r - range.firstRow) * size_t(cols) + size_t(c - range.firstColumn)] =
                    id;
    }
    auto ownerAt = [&](int r, int c) {
        if (r < range.firstRow || r > range.lastRow || c < range.firstColumn ||
            c > range.lastColumn)
            return -2;
        return owner[size_t(r - range.firstRow) * size_t(cols) + size_t(c - range.firstColumn)];
    };

    std::vector<const Row*> rowOf(size_t(rows), nullptr);
    for (int i = 0; i < rows; ++i) rowOf[size_t(i)] = sheet.row(range.firstRow + i);

    // Text that spreads beyond its cell, also from cells left or right of the range.
    std::vector<Span> spans;
    std::vector<uint8_t> joined(size_t(rows) * size_t(cols), 0); // no grid line right of the cell
    for (int i = 0; i < rows; ++i) {
        const Row* row = rowOf[size_t(i)];
        if (!row || row->cells.empty()) continue;
        const int r = range.firstRow + i;
        const Cell* before = nullptr;
        const Cell* after = nullptr;
        for (const Cell& cell : row->cells) {
            if (!cell.hasValue()) continue;
            if (cell.column < range.firstColumn) {
                before = &cell;
                continue;
            }
            if (cell.column > range.lastColumn) {
                if (!after) after = &cell;
                continue;
            }
            if (cell.type != CellType::Text) continue;
            auto [first, last] = cp.spread(r, cell.column);
            if (first != last) spans.push_back({r, cell.column, first, last});
        }
        for (const Cell* edge : {before, after}) {
            if (!edge || edge->type != CellType::Text) continue;
            auto [first, last] = cp.spread(r, edge->column);
            if (last >= range.firstColumn && first <= range.lastColumn)
                spans.push_back({r, edge->column, first, last});
        }
    }
    for (const Span& sp : spans)
        for (int c = std::max(sp.first, range.firstColumn);
             c < std::min(sp.last, range.lastColumn + 1); ++c)
            if (c <= range.lastColumn)
                joined[size_t(sp.row - range.firstRow) * size_t(cols) +
                       size_t(c - range.firstColumn)] = 1;

    // Grid lines, in runs, left out inside merged areas and spreading text.
    const int g = cp.device(1);
    if (ctx.gridlines) {
        for (int j = 0; j < cols; ++j) {
            const int c = range.firstColumn + j;
            const int x = xs[size_t(j) + 1] - g;
            if (xs[size_t(j) + 1] == xs[size_t(j)]) continue;
            int runStart = -1;
            for (int i = 0; i <= rows; ++i) {
                bool draw = false;
                if (i < rows) {
                    const int o = owner[size_t(i) * size_t(cols) + size_t(j)];
                    draw = !joined[size_t(i) * size_t(cols) + size_t(j)] &&
                           (o < 0 || o != ownerAt(range.firstRow + i, c + 1));
                }
                if (draw && runStart < 0) runStart = i;
                if (!draw && runStart >= 0) {
                    painter.fillRect(
                        QRect(x, ys[size_t(runStart)], g, ys[size_t(i)] - ys[size_t(runStart)]),
                        kGridColor);
                    runStart = -1;
                }
            }
        }
        for (int i = 0; i < rows; ++i) {
            const int r = range.firstRow + i;
            const int y = ys[size_t(i) + 1] - g;
            if (ys[size_t(i) + 1] == ys[size_t(i)]) continue;
            int runStart = -1;
            for (int j = 0; j <= cols; ++j) {
                bool draw = false;
                if (j < cols) {
                    const int o = owner[size_t(i) * size_t(cols) + size_t(j)];
                    draw = o < 0 || o != ownerAt(r + 1, range.firstColumn + j);
                }
                if (draw && runStart < 0) runStart = j;
                if (!draw && runStart >= 0) {
                    painter.fillRect(
                        QRect(xs[size_t(runStart)], y, xs[size_t(j)] - xs[size_t(runStart)], g),
                        kGridColor);
                    runStart = -1;
                }
            }
        }
    }

    // Fills: single cells, then merged areas as one.
    for (int i = 0; i < rows; ++i) {
        const Row* row = rowOf[size_t(i)];
        if (ys[size_t(i) + 1] == ys[size_t(i)]) continue;
        for (int j = 0; j < cols; ++j) {
            if (owner[size_t(i) * size_t(cols) + size_t(j)] >= 0) continue;
            const int r = range.firstRow + i, c = range.firstColumn + j;
            const Cell* cell = row ? row->find(c) : nullptr;
            const CellFormat& f = cp.format(cp.xfAt(r, c, cell));
            if (f.fillPattern) cp.paintFill(painter, f, cellRect(r, c));
        }
    }
    for (const CellRange& m : merges) {
        const Row* head = sheet.row(m.firstRow);
        const Cell* cell = head ? head->find(m.firstColumn) : nullptr;
        const CellFormat& f = cp.format(cp.xfAt(m.firstRow, m.firstColumn, cell));
        const QRect rect = anyRect(m.firstRow, m.firstColumn, m.lastRow, m.lastColumn);
        if (f.fillPattern) cp.paintFill(painter, f, rect);
        if (cell && cell->hasValue()) cp.paintText(painter, *cell, f, rect, rect);
    }

    // Text of single cells, with the columns it spreads over.
    for (int i = 0; i < rows; ++i) {
        const Row* row = rowOf[size_t(i)];
        if (!row || ys[size_t(i) + 1] == ys[size_t(i)]) continue;
        const int r = range.firstRow + i;
        for (const Cell& cell : row->cells) {
            if (cell.column < range.firstColumn || cell.column > range.lastColumn) continue;
            if (!cell.hasValue() ||
                owner[size_t(i) * size_t(cols) + size_t(cell.column - range.firstColumn)] >= 0)
                continue;
            const QRect rect = cellRect(r, cell.column);
            if (rect.width() == 0) continue;
            QRect clip = rect;
            for (const Span& sp : spans)
                if (sp.row == r && sp.column == cell.column)
                    clip = anyRect(r, sp.first, r, sp.last);
            cp.paintText(painter, cell, cp.format(cell.xf), rect, clip);
        }
    }
    for (const Span& sp : spans) {
        if (sp.column >= range.firstColumn && sp.column <= range.lastColumn) continue;
        const Row* row = sheet.row(sp.row);
        const Cell* cell = row ? row->find(sp.column) : nullptr;
        if (!cell) continue;
        cp.paintText(painter, *cell, cp.format(cell->xf),
                     anyRect(sp.row, sp.column, sp.row, sp.column),
                     anyRect(sp.row, sp.first, sp.row, sp.last));
    }

    // Borders last, over their neighbours; inside a merged area only its outline.
    for (int i = 0; i < rows; ++i) {
        const Row* row = rowOf[size_t(i)];
        const int r = range.firstRow + i;
        for (int j = 0; j < cols; ++j) {
            const int c = range.firstColumn + j;
            const Cell* cell = row ? row->find(c) : nullptr;
            const CellFormat& f = cp.format(cp.xfAt(r, c, cell));
            if (!f.left.style && !f.right.style && !f.top.style && !f.bottom.style &&
                !f.diagonalLines)
                continue;
            int edges = 31;
            const int o = owner[size_t(i) * size_t(cols) + size_t(j)];
            if (o >= 0) {
                const CellRange& m = merges[size_t(o)];
                edges = (c == m.firstColumn ? 1 : 0) | (r == m.firstRow ? 2 : 0) |
                        (c == m.lastColumn ? 4 : 0) | (r == m.lastRow ? 8 : 0);
            }
            if (edges) cp.paintBorders(painter, f, f, f, f, f, cellRect(r, c), edges);
        }
    }
    painter.restore();
}

} // namespace tovera
