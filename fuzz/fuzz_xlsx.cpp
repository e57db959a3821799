// libFuzzer target for the .xlsx reader: any bytes either read as a workbook or fail with
// EOleException; nothing else may happen (no crash, hang or runaway memory).

#include "platform/errors.h"
#include "sheet/xlsreader_cells.h"
#include "sheet/xlsxreader.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    try {
        const tovera::Workbook book = tovera::loadXlsxBytes(bytes, QStringLiteral("fuzz.xlsx"));
        (void)tovera::cellLines(book);
    } catch (const tovera::EOleException&) {
    }
    return 0;
}
