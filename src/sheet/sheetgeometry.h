#pragma once
// Pixel geometry of a sheet at 96 DPI and zoom 100 %: column widths from the stored
// 1/256-character units and the maximum digit width of font 0, row heights from twips, and
// the cumulative offsets of a whole sheet (65 536 rows × 256 columns) for hit testing and
// layout. Callers scale the pixels for other zooms and devices.

#include "sheet/workbook.h"

#include <vector>

namespace tovera {

inline constexpr int kSheetRows = 65536;
inline constexpr int kSheetColumns = 256;

// Maximum digit width in pixels of font 0 of `book`: 7 for Arial 10 (and Calibri or Aptos 11), 8
// for ＭＳ Ｐゴシック 11. Other sizes scale the width of their family (Japanese faces from 8 px at
// 11 pt, others from 7 px at 10 pt) with the font height, rounded, at least 1. A workbook
// without fonts counts as Arial 10.
int maxDigitWidth(const Workbook& book);

// Width in pixels of `column` (0..255) of `sheet`; 0 when the column is hidden, has width 0
// or lies outside 0..255. A column without its own width uses the sheet's standard width,
// else the default width in characters plus padding, rounded up to a multiple of 8 pixels.
int columnPixels(const Workbook& book, const Sheet& sheet, int column);

// Height in pixels of row `row` (0..65535): twips / 15 rounded; 0 when the row is hidden or
// lies outside 0..65535.
int rowPixels(const Sheet& sheet, int row);

// The offsets of every column and row of one sheet, built once. Rows without a record of
// their own cost nothing: only rows whose height differs from the default are stored, and
// lookups are binary searches. Coordinates are pixels at 96 DPI from the top-left corner
// of cell A1. Keeps no reference to the sheet: rebuild it after the sheet changes.
class SheetGeometry {
public:
    SheetGeometry() = default; // an empty geometry: every column and row 0 pixels
    SheetGeometry(const Workbook& book, const Sheet& sheet);

    int columnCount() const { return kSheetColumns; }
    int rowCount() const { return kSheetRows; }

    // Left edge of `column`; columnX(256) is the total width. Clamped to 0..256.
    int columnX(int column) const;
    // Top edge of `row`; rowY(65536) is the total height. Clamped to 0..65536.
    int rowY(int row) const;
    int columnWidth(int column) const { return columnX(column + 1) - columnX(column); }
    int rowHeight(int row) const { return rowY(row + 1) - rowY(row); }

    // The visible column whose span [columnX(c), columnX(c + 1)) holds `x`; -1 for x < 0,
    // columnCount() for x at or beyond the total width. Hidden columns are never returned.
    int columnAt(int x) const;
    // The visible row whose span holds `y`; -1 for y < 0, rowCount() at or beyond the end.
    int rowAt(int y) const;

    int totalWidth() const { return columnX(kSheetColumns); }
    int totalHeight() const { return rowY(kSheetRows); }

private:
    struct RowException {
        int row = 0;    // index of a row whose height differs from the default
        int height = 0; // its pixels
        int before = 0; // sum of (height − default) of the exceptions before it
    };
    std::vector<int> columnOffsets_ = std::vector<int>(kSheetColumns + 1, 0);
    int defaultRowPixels_ = 0;
    std::vector<RowException> rowExceptions_;
};

} // namespace tovera
