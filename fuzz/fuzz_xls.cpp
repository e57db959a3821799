// libFuzzer target for the workbook reader: any bytes either read as a workbook or fail
// with EOleException; nothing else may happen (no crash, hang or runaway memory).

#include "platform/errors.h"
#include "sheet/xlsreader.h"
#include "sheet/xlsreader_cells.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    try {
        const tovera::Workbook book = tovera::loadWorkbookBytes(bytes, QStringLiteral("fuzz.xls"));
        (void)tovera::cellLines(book);
        for (const tovera::Sheet& sheet : book.sheets)
            for (const tovera::Row& row : sheet.rows)
                for (const tovera::Cell& cell : row.cells) (void)book.formatCodeOfXf(cell.xf);
    } catch (const tovera::EOleException&) {
    }
    return 0;
}
