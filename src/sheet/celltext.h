#pragma once
// The text a cell shows: text as stored (through a text section of its format when it has
// one), numbers through the cell's number format, booleans as TRUE/FALSE, errors by name.

#include "sheet/workbook.h"

#include <QString>

namespace tovera {

// The shown text of `cell` in `book` (empty for a cell without a value).
QString cellDisplayText(const Workbook& book, const Cell& cell);

// The text of the cell at `sheet`, `row`, `column`, each counted from 1 as the spreadsheet
// control counts them; empty for an empty cell. Raises EOleException for a sheet that does
// not exist or a row or column outside the sheet (1..65536, 1..256).
QString CellText(const Workbook& book, int sheet, int row, int column);

} // namespace tovera
