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
        // Notes and pictures: every note at its cell, every picture a whole image.
        for (const tovera::Sheet& sheet : book.sheets) {
            for (const tovera::CellNote& note : sheet.notes)
                if (sheet.noteAt(note.row, note.column) == nullptr) __builtin_trap();
            for (const tovera::SheetPicture& picture : sheet.pictures)
                if (picture.image.isNull() || picture.image.pixel(0, 0) == 0x12345678u)
                    (void)picture.anchor;
        }
    } catch (const tovera::EOleException&) {
    }
    return 0;
}
