#pragma once
// Printing a workbook: every visible sheet, in order, laid out on pages from its own page
// setup (paper, orientation, margins, scale or fit to pages, print area, centring, grid
// lines, headings, header and footer), split at column and row boundaries, down then over.
//
// Units: page sizes, margins and rectangles of a PrintPage are in points (1/72 inch) from
// the top-left corner of the paper; sheet geometry is in 96-DPI pixels (sheetgeometry.h).

#include "sheet/workbook.h"

#include <QPageLayout>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <vector>

class QPagedPaintDevice;
class QPainter;

namespace tovera {

struct PrintPage {
    int sheet = 0;            // index into Workbook::sheets
    bool empty = false;       // a sheet with nothing to print gives one empty page
    CellRange cells;          // the cells on the page (meaningless when empty)
    QSizeF paperSize;         // points, orientation applied
    QRectF cellArea;          // where the cells go (after centring), points
    QRectF printableArea;     // the paper less the margins, points
    double zoom = 1.0;        // the sheet's scale: 1.0 = 100 %
    bool gridlines = false;   // print grid lines
    bool headings = false;    // print row numbers and column letters
    double headingWidth = 0;  // points taken by the row numbers on the left (when headings)
    double headingHeight = 0; // points taken by the column letters on top (when headings)
    double headerY = 0;       // top of the header text, points from the top of the paper
    double footerY = 0;       // bottom of the footer text, points from the top of the paper
    int number = 1;           // page number (&P), 1-based, counted over the whole print
    int count = 1;            // number of pages (&N) of the whole print
};

// The page layout a sheet asks for: its paper (9 A4, 8 A3, 12 B4 JIS, 13 B5 JIS, 1 Letter,
// 5 Legal, 11 A5 ...; unknown ids and a setup the file marked unset give A4 portrait) and
// orientation, with its margins in points.
QPageLayout sheetPageLayout(const Sheet& sheet);

// The cells a sheet prints when it has no print area: the smallest range holding every
// cell with a value or with a visible border or fill, every merged area and the cells under
// every picture. Returns false (and leaves `range` alone) when the sheet has none.
bool usedRange(const Workbook& book, const Sheet& sheet, CellRange& range);

// The pages of sheet `sheet` on paper of `paperSizePoints` (the paper as the device has it,
// orientation applied; an empty size takes the paper of the sheet's page setup). Pages are
// numbered from 1 within the sheet. Raises EOleException for a sheet that does not exist.
std::vector<PrintPage> paginate(const Workbook& book, int sheet, QSizeF paperSizePoints = {});

// Paints one page on `painter`, whose device has `dotsPerInch` resolution and whose
// origin is the top-left corner of the paper. `fileName` is what &F prints.
void paintPage(QPainter& painter, double dotsPerInch, const Workbook& book, const PrintPage& page,
               const QString& fileName = {});

// Prints the workbook on `device` (a printer or a PDF writer), every visible sheet from a
// new page; a workbook with nothing to print gives one empty page. Raises EOleException
// naming the cause when the device cannot be painted on or refuses a page.
void printWorkbook(QPagedPaintDevice& device, const Workbook& book, const QString& fileName = {});

} // namespace tovera
