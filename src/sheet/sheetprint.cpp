// Pagination: which cells go on which page, at what scale and where.

#include "sheet/sheetprint.h"

#include "platform/errors.h"
#include "sheet/sheetgeometry.h"

#include <QPageSize>
#include <algorithm>
#include <cmath>
#include <functional>

namespace tovera {

namespace {

// A sheet can ask for an absurd layout (a print area of the whole sheet at 10 %); pages
// beyond this many are left out rather than letting the print run for hours.
constexpr int kMaxPagesPerSheet = 5000;

QPageSize::PageSizeId pageSizeId(int paper) {
    switch (paper) {
    case 1:
    case 2:
        return QPageSize::Letter;
    case 3:
        return QPageSize::Tabloid;
    case 4:
        return QPageSize::Ledger;
    case 5:
        return QPageSize::Legal;
    case 7:
        return QPageSize::Executive;
    case 8:
        return QPageSize::A3;
    case 11:
        return QPageSize::A5;
    case 12:
        return QPageSize::JisB4;
    case 13:
        return QPageSize::JisB5;
    case 14:
        return QPageSize::Folio;
    case 70:
        return QPageSize::A6;
    default:
        return QPageSize::A4; // 9, 10 and everything unknown
    }
}

double sane(double inches, double fallback) {
    if (!std::isfinite(inches) || inches < 0 || inches > 20) return fallback * 72;
    return inches * 72;
}

// One run of cells printed on a page: the bands of columns and rows it is cut into.
struct Bands {
    std::vector<std::pair<int, int>> columns, rows;
};

std::vector<std::pair<int, int>> cut(int first, int last, double available,
                                     const std::function<double(int)>& size,
                                     const std::vector<int>& breaks) {
    std::vector<std::pair<int, int>> out;
    int i = first;
    auto nextBreak = std::upper_bound(breaks.begin(), breaks.end(), first);
    while (i <= last) {
        const int start = i;
        while (nextBreak != breaks.end() && *nextBreak <= start) ++nextBreak;
        const int stop =
            nextBreak != breaks.end() ? *nextBreak : last + 1; // a page set by hand ends there
        double used = 0;
        while (i <= last && i < stop && (i == start || used + size(i) <= available + 0.01))
            used += size(i++);
        out.push_back({start, i - 1});
        if (int(out.size()) > kMaxPagesPerSheet) break;
    }
    return out;
}

} // namespace

QPageLayout sheetPageLayout(const Sheet& sheet) {
    const PageSetup& ps = sheet.pageSetup;
    const QPageSize size(ps.valid ? pageSizeId(ps.paperSize) : QPageSize::A4);
    const auto orientation =
        ps.valid && ps.landscape ? QPageLayout::Landscape : QPageLayout::Portrait;
    const QSizeF paper = size.size(QPageSize::Point);
    const double w = orientation == QPageLayout::Landscape ? paper.height() : paper.width();
    const double h = orientation == QPageLayout::Landscape ? paper.width() : paper.height();
    // Margins that leave less than a fifth of the paper are not taken.
    double l = sane(ps.leftMargin, 0.75), r = sane(ps.rightMargin, 0.75);
    double t = sane(ps.topMargin, 1.0), b = sane(ps.bottomMargin, 1.0);
    if (l + r > w * 0.8) l = r = 0.75 * 72;
    if (t + b > h * 0.8) t = b = 72;
    QPageLayout layout(size, orientation, QMarginsF(l, t, r, b), QPageLayout::Point);
    layout.setMode(QPageLayout::FullPageMode);
    return layout;
}

bool usedRange(const Workbook& book, const Sheet& sheet, CellRange& range) {
    bool any = false;
    CellRange u{kSheetRows, -1, kSheetColumns, -1};
    auto take = [&](int r0, int c0, int r1, int c1) {
        any = true;
        u.firstRow = std::min(u.firstRow, r0);
        u.lastRow = std::max(u.lastRow, r1);
        u.firstColumn = std::min(u.firstColumn, c0);
        u.lastColumn = std::max(u.lastColumn, c1);
    };
    for (const Row& row : sheet.rows) {
        if (row.index < 0 || row.index >= kSheetRows) continue;
        for (const Cell& cell : row.cells) {
            if (cell.column >= kSheetColumns) continue;
            bool counts = cell.hasValue();
            if (!counts && cell.xf < book.xfs.size()) {
                const CellFormat& f = book.xfs[cell.xf];
                counts = f.fillPattern || f.left.style || f.right.style || f.top.style ||
                         f.bottom.style || (f.diagonalLines && f.diagonal.style);
            }
            if (counts) take(row.index, cell.column, row.index, cell.column);
        }
    }
    for (const CellRange& m : sheet.merges) {
        if (m.firstRow < 0 || m.firstColumn < 0 || m.lastRow >= kSheetRows ||
            m.lastColumn >= kSheetColumns || m.firstRow > m.lastRow || m.firstColumn > m.lastColumn)
            continue;
        take(m.firstRow, m.firstColumn, m.lastRow, m.lastColumn);
    }
    // Pictures print with the cells they cover (an edge that ends at a cell's start leaves
    // that cell out).
    for (const SheetPicture& p : sheet.pictures) {
        const DrawingAnchor& a = p.anchor;
        const int lastRow =
            a.lastRowOffset > 0 || a.lastRow == a.firstRow ? a.lastRow : a.lastRow - 1;
        const int lastColumn = a.lastColumnOffset > 0 || a.lastColumn == a.firstColumn
                                   ? a.lastColumn
                                   : a.lastColumn - 1;
        const int r0 = std::clamp(a.firstRow, 0, kSheetRows - 1);
        const int r1 = std::clamp(lastRow, 0, kSheetRows - 1);
        const int c0 = std::clamp(a.firstColumn, 0, kSheetColumns - 1);
        const int c1 = std::clamp(lastColumn, 0, kSheetColumns - 1);
        take(std::min(r0, r1), std::min(c0, c1), std::max(r0, r1), std::max(c0, c1));
    }
    if (any) range = u;
    return any;
}

std::vector<PrintPage> paginate(const Workbook& book, int sheetIndex, QSizeF paperSize) {
    if (sheetIndex < 0 || size_t(sheetIndex) >= book.sheets.size())
        throw EOleException(QStringLiteral("シート %1 がありません").arg(sheetIndex + 1));
    const Sheet& sheet = book.sheets[size_t(sheetIndex)];
    const PageSetup& ps = sheet.pageSetup;
    const QPageLayout layout = sheetPageLayout(sheet);
    if (paperSize.isEmpty()) paperSize = layout.fullRectPoints().size();
    const QMarginsF margins = layout.margins(QPageLayout::Point);
    QRectF printable(margins.left(), margins.top(),
                     paperSize.width() - margins.left() - margins.right(),
                     paperSize.height() - margins.top() - margins.bottom());
    if (printable.width() < 36 || printable.height() < 36)
        printable = QRectF(QPointF(0, 0), paperSize); // margins that leave no room are dropped

    PrintPage proto;
    proto.sheet = sheetIndex;
    proto.paperSize = paperSize;
    proto.printableArea = printable;
    proto.gridlines = ps.printGridlines;
    proto.headings = ps.printHeadings;
    proto.headerY = std::min(sane(ps.headerMargin, 0.5), paperSize.height() / 4);
    proto.footerY =
        paperSize.height() - std::min(sane(ps.footerMargin, 0.5), paperSize.height() / 4);

    std::vector<CellRange> areas;
    for (const CellRange& a : ps.printArea) {
        CellRange c{std::max(0, a.firstRow), std::min(kSheetRows - 1, a.lastRow),
                    std::max(0, a.firstColumn), std::min(kSheetColumns - 1, a.lastColumn)};
        if (c.firstRow <= c.lastRow && c.firstColumn <= c.lastColumn) areas.push_back(c);
    }
    if (areas.empty()) {
        CellRange used;
        if (usedRange(book, sheet, used)) areas.push_back(used);
    }
    if (areas.empty()) {
        proto.empty = true;
        proto.cellArea = QRectF(printable.topLeft(), QSizeF(0, 0));
        return {proto};
    }

    const SheetGeometry geo(book, sheet);
    const int mdw = maxDigitWidth(book);
    const double headingPxW = proto.headings ? 5 * mdw + 6 : 0; // room for "65536"
    const double headingPxH =
        proto.headings ? std::max(12.0, std::round(sheet.defaultRowHeight / 15.0)) : 0;

    const std::vector<int> noBreaks; // fitting to pages ignores the breaks set by hand
    // Bands of every area at zoom z.
    auto layOut = [&](double z, std::vector<Bands>& out) {
        out.clear();
        const double pt = 0.75 * z;
        const double availW = printable.width() - headingPxW * pt;
        const double availH = printable.height() - headingPxH * pt;
        for (const CellRange& a : areas) {
            Bands b;
            b.columns = cut(
                a.firstColumn, a.lastColumn, availW, [&](int c) { return geo.columnWidth(c) * pt; },
                ps.fitToPage ? noBreaks : ps.columnBreaks);
            b.rows = cut(
                a.firstRow, a.lastRow, availH, [&](int r) { return geo.rowHeight(r) * pt; },
                ps.fitToPage ? noBreaks : ps.rowBreaks);
            out.push_back(std::move(b));
        }
    };
    double zoom = ps.valid ? std::clamp<int>(ps.scale, 10, 400) / 100.0 : 1.0;
    if (ps.fitToPage) {
        // The largest zoom up to 100 % at which every area keeps within the pages asked for.
        zoom = 1.0;
        for (const CellRange& a : areas) {
            const double w =
                (geo.columnX(a.lastColumn + 1) - geo.columnX(a.firstColumn) + headingPxW) * 0.75;
            const double h = (geo.rowY(a.lastRow + 1) - geo.rowY(a.firstRow) + headingPxH) * 0.75;
            if (ps.fitWidth && w > 0) zoom = std::min(zoom, printable.width() * ps.fitWidth / w);
            if (ps.fitHeight && h > 0) zoom = std::min(zoom, printable.height() * ps.fitHeight / h);
        }
        zoom = std::max(0.1, std::floor(zoom * 100) / 100);
    }
    std::vector<Bands> bands;
    layOut(zoom, bands);
    while (ps.fitToPage && zoom > 0.1) {
        bool fits = true;
        for (const Bands& b : bands)
            fits = fits && (!ps.fitWidth || int(b.columns.size()) <= ps.fitWidth) &&
                   (!ps.fitHeight || int(b.rows.size()) <= ps.fitHeight);
        if (fits) break;
        zoom = std::max(0.1, zoom - 0.01);
        layOut(zoom, bands);
    }

    std::vector<PrintPage> pages;
    const double pt = 0.75 * zoom;
    for (const Bands& b : bands) {
        for (const auto& [c0, c1] : b.columns) {
            for (const auto& [r0, r1] : b.rows) {
                PrintPage page = proto;
                page.zoom = zoom;
                page.cells = CellRange{r0, r1, c0, c1};
                page.headingWidth = headingPxW * pt;
                page.headingHeight = headingPxH * pt;
                const double w = (geo.columnX(c1 + 1) - geo.columnX(c0)) * pt;
                const double h = (geo.rowY(r1 + 1) - geo.rowY(r0)) * pt;
                QPointF at(printable.left() + page.headingWidth,
                           printable.top() + page.headingHeight);
                if (ps.centerHorizontally)
                    at.rx() += std::max(0.0, (printable.width() - page.headingWidth - w) / 2);
                if (ps.centerVertically)
                    at.ry() += std::max(0.0, (printable.height() - page.headingHeight - h) / 2);
                page.cellArea = QRectF(at, QSizeF(w, h));
                pages.push_back(page);
                if (int(pages.size()) >= kMaxPagesPerSheet) break;
            }
            if (int(pages.size()) >= kMaxPagesPerSheet) break;
        }
    }
    for (size_t i = 0; i < pages.size(); ++i) {
        pages[i].number = int(i) + 1;
        pages[i].count = int(pages.size());
    }
    return pages;
}

} // namespace tovera
