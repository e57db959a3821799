#pragma once
// Writing workbooks as Excel 97-2003 (BIFF8) files: the record stream in a compound file,
// with the records spreadsheet programs expect (standard style formats, a shared string
// table split over CONTINUE records with its EXTSST index, DIMENSIONS, WINDOW1/2, COLINFO,
// ROW, MERGEDCELLS, page setup and print areas).
//
// Kept from the model: values, formulas with their tokens and last results, defined names,
// references to other sheets and add-in functions (renumbered to the tables written), fonts,
// cell formats, number formats, column widths, row heights, hidden rows and columns, merges
// and the date system. A formula the file could not hold (it refers to another workbook or
// to a name or sheet that is not written; Excel 5/95 formulas are converted except those
// with names, 3-D references or array constants; older versions' formulas are not) is
// written as its last result.

#include "sheet/workbook.h"

#include <QByteArray>
#include <QString>

namespace tovera {

// The only file type written: Excel 97-2003 workbook.
constexpr int kFileTypeExcel97 = 4;

// The BIFF8 record stream ("Workbook" stream) of `book`. Never fails.
QByteArray workbookStream(const Workbook& book);

// The complete .xls file (compound file holding the Workbook stream). Raises EOleException
// when the container cannot be built.
QByteArray saveWorkbookBytes(const Workbook& book);

// Writes `book` to `path` as file type `fileType`; only kFileTypeExcel97 is supported,
// another type raises EOleException. The file is written to a temporary file in the same
// folder, synced, and renamed over `path`, then the folder is synced: a failure or a power
// cut never damages an existing file, and a save that returned survives one. Failures
// raise EOleException whose Japanese text names the file and the cause.
void saveWorkbookFile(const Workbook& book, const QString& path, int fileType);

} // namespace tovera
