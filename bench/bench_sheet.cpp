#include "bench.h"

#include "sheet/view/f5book.h"
#include "sheet/view/sheetgrid.h"
#include "sheet/xlswriter.h"

#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QScrollBar>
#include <algorithm>
#include <vector>

namespace tovera::bench {

namespace {

// A printed-form look without the sample sheets: fills, borders, bold headings, merged
// titles, number formats, 40 rows by 12 columns.
Workbook formattedSheet(int rows) {
    Workbook b = Workbook::createDefault();
    Font bold = b.fonts[0];
    bold.weight = 700;
    b.fonts.push_back(bold);
    auto addXf = [&](uint16_t font, uint16_t numberFormat, uint8_t fill, uint8_t border) {
        CellFormat f = b.xfs[15];
        f.font = font;
        f.numberFormat = numberFormat;
        f.fillPattern = fill;
        f.fillForeground = 26;
        f.left.style = f.right.style = f.top.style = f.bottom.style = border;
        b.xfs.push_back(f);
        return uint16_t(b.xfs.size() - 1);
    };
    const uint16_t heading = addXf(4, 0, 1, 2);
    const uint16_t money = addXf(0, 4, 0, 1);
    const uint16_t text = addXf(0, 0, 0, 1);
    Sheet& s = b.sheets[0];
    s.merges.push_back({0, 0, 0, 11});
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < 12; ++c) {
            Cell cell;
            cell.column = uint16_t(c);
            if (r == 0 && c > 0) {
                cell.xf = heading;
            } else if (r < 2 || c == 0) {
                cell.type = CellType::Text;
                cell.text = QStringLiteral("評点項目 %1-%2").arg(r + 1).arg(c + 1);
                cell.xf = r < 2 ? heading : text;
            } else {
                cell.type = CellType::Number;
                cell.number = r * 1234.5 + c;
                cell.xf = money;
            }
            s.setCell(r, cell);
        }
    }
    return b;
}

// Loads `path` into a control of the size page 評点明細 gives it, at 95 %.
void prepare(TF5Book& book, const QString& path) {
    book.resize(710, 433);
    book.show();
    int16_t type = 0;
    book.LoadWorkbookFile(path, type);
    book.setShowColHeading(false);
    book.setShowRowHeading(false);
    book.setViewScale(95);
    QCoreApplication::processEvents();
}

// Median milliseconds of painting the whole grid into an image, over `runs` paints.
double medianPaintMs(TF5Book& book, int runs) {
    QWidget* viewport = book.grid()->viewport();
    QImage image(viewport->size(), QImage::Format_ARGB32_Premultiplied);
    viewport->render(&image); // warm up fonts and caches
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        viewport->render(&image);
        ms.push_back(msSince(start));
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

QString savedBook(const Workbook& book, const char* name) {
    const QString path = scratchDir() + QLatin1Char('/') + QLatin1String(name);
    saveWorkbookFile(book, path, kFileTypeExcel97);
    return path;
}

} // namespace

// sheet_paint_ms: one full paint of the control's 710 x 433 view of a formatted detail sheet
// (the sample sheet when the shared folder is here, else a generated one), target <= 16.
// sheet_paint_bottom_ms: the same view scrolled to the end of a sheet of 65 536 rows.
// sheet_scroll_page_ms: one page down and its paint, near the end of that sheet.
void benchSheet() {
    QString sample = QStringLiteral(TOVERA_SHARED "/sample-sheets/hyoten_mokuzou_2f.xls");
    if (!QFile::exists(sample)) sample = savedBook(formattedSheet(40), "sheet_formatted.xls");
    {
        TF5Book book;
        prepare(book, sample);
        report("sheet_paint_ms", medianPaintMs(book, 41), "ms");
    }
    TF5Book big;
    prepare(big, savedBook(formattedSheet(65536), "sheet_65536_rows.xls"));
    big.setTopRow(65536);
    report("sheet_paint_bottom_ms", medianPaintMs(big, 21), "ms");
    QScrollBar* bar = big.grid()->verticalScrollBar();
    QWidget* viewport = big.grid()->viewport();
    QImage image(viewport->size(), QImage::Format_ARGB32_Premultiplied);
    bar->setValue(bar->maximum() - 40 * bar->pageStep());
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 30; ++i) {
        bar->setValue(bar->value() + bar->pageStep());
        viewport->render(&image);
    }
    report("sheet_scroll_page_ms", msSince(start) / 30, "ms");
}

} // namespace tovera::bench
