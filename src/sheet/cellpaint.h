#pragma once
// Painting of sheet cells: the one routine that draws a cell as the spreadsheet shows it
// (fill, text through its number format, alignment, font, borders), shared by the grid
// widget, printing and the benchmark. Only QtGui.
//
// Coordinates: rectangles are in device pixels of the painter; `scale` converts the 96-DPI
// pixels of the sheet geometry (sheetgeometry.h) into device pixels (1.0 on screen at
// 100 %, 0.95 at zoom 95 %, 300/96 for a 300-DPI printer at 100 %). A cell's rectangle is
// its full span including its own right and bottom grid line (the last pixel column and
// row); a border is drawn centred on the grid line it belongs to, so a left or top border
// reaches one pixel outside the rectangle, onto the neighbour's grid line.

#include "sheet/mergeindex.h"
#include "sheet/sheetgeometry.h"
#include "sheet/workbook.h"

#include <QFont>
#include <QPointF>
#include <QRect>
#include <utility>

class QPainter;

namespace tovera {

struct CellPaintContext {
    const Workbook* book = nullptr;
    const Sheet* sheet = nullptr;
    double scale = 1.0; // device px per 96-DPI px
    bool gridlines = true;
    // The sheet's merged ranges indexed, when the caller keeps one (the grid does); without
    // it the merges are searched one by one. Not owned; must be built from `sheet`.
    const MergeIndex* merges = nullptr;
};

// Paints cell (row, column) into `rect` (device coordinates; the whole merged area when the
// cell heads a merge): its fill, its text as shown, aligned, in its font scaled by
// ctx.scale, wrapped or clipped, and its borders. Paints no background where the cell has
// no fill and no grid lines. `textClip` is where its text may spread (wider than rect for
// text overflowing into empty neighbours, see textSpread); pass rect when it may not.
// Cells outside the sheet or without a value paint only their fill and borders. Never
// throws; the painter's state is restored on return.
void paintCell(QPainter& painter, const CellPaintContext& ctx, int row, int column,
               const QRect& rect, const QRect& textClip);

// Columns [first, last] that the text of (row, column) spreads over when it is wider than
// the cell and its neighbours are empty (left/right/centre by alignment; numbers never
// spread, they show ####). A centred-across cell spreads over the empty centred-across
// cells to its right. {column, column} when the text stays in its cell.
std::pair<int, int> textSpread(const CellPaintContext& ctx, int row, int column);

// The font to paint a workbook font with at `scale` (pixel size = height in twips / 15 ×
// scale, at least 1), mapping Japanese face names (ＭＳ Ｐゴシック, ＭＳ ゴシック, MS PGothic,
// ＭＳ 明朝 ...) to the installed IPA fonts. Bold, italic, underline and strike-out as the
// font says.
QFont paintFont(const Font& font, double scale);

// Paints the cells of `range` of the sheet with the top-left cell's corner at `origin`
// (device coordinates): a white background, grid lines (when ctx.gridlines), fills, merged
// areas as one cell, text overflow, borders over neighbours. Merges and overflowing text
// that start outside the range are painted clipped to it. Only the rows and columns the
// device (and the painter's clip) shows are worked on, however large the range. Used by
// printing and benchmarks.
void paintSheetArea(QPainter& painter, const CellPaintContext& ctx, const CellRange& range,
                    QPointF origin);
// The same with the sheet's geometry built by the caller (it must belong to ctx.sheet).
void paintSheetArea(QPainter& painter, const CellPaintContext& ctx, const SheetGeometry& geometry,
                    const CellRange& range, QPointF origin);

} // namespace tovera
