#include "commands.h"

#include "platform/errors.h"
#include "sheet/celltext.h"
#include "sheet/xlsreader.h"
#include "sheet/xlsxreader.h"
#include "sheet/xlsreader_cells.h"
#include "sheet/xlswriter.h"

#include <cstdio>

namespace tovera::cli {

// sheet text FILE: the shown text of every cell of sheet 1 that holds a value,
// ROW<TAB>COL<TAB>TEXT (row and column from 1), text escaped as by `sheet cells`.
int runSheetText(const QStringList& args) {
    if (args.size() != 1) return fail(2, QStringLiteral("usage: tovera-cli sheet text FILE"));
    QByteArray out;
    try {
        const Workbook book = loadAnyWorkbookFile(args[0]);
        if (!book.sheets.empty()) {
            for (const Row& row : book.sheets.front().rows)
                for (const Cell& cell : row.cells) {
                    if (!cell.hasValue()) continue;
                    out += QStringLiteral("%1\t%2\t%3\n")
                               .arg(row.index + 1)
                               .arg(cell.column + 1)
                               .arg(escapeCellText(cellDisplayText(book, cell)))
                               .toUtf8();
                }
        }
    } catch (const Exception& e) {
        return fail(1, e.message());
    }
    std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
    return 0;
}

// sheet convert IN OUT: reads IN and writes it as an Excel 97-2003 workbook to OUT.
int runSheetConvert(const QStringList& args) {
    if (args.size() != 2) return fail(2, QStringLiteral("usage: tovera-cli sheet convert IN OUT"));
    try {
        const Workbook book = loadAnyWorkbookFile(args[0]);
        saveWorkbookFile(book, args[1], kFileTypeExcel97);
        for (const QString& note : keptPartsDropped(book)) fail(0, note);
    } catch (const Exception& e) {
        return fail(1, e.message());
    }
    return 0;
}

} // namespace tovera::cli
