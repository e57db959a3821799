#include "sheet/celltext.h"

#include "platform/errors.h"
#include "sheet/numfmt.h"

namespace tovera {

QString cellDisplayText(const Workbook& book, const Cell& cell) {
    switch (cell.type) {
    case CellType::Empty:
        return {};
    case CellType::Text:
        return formatText(cell.text, book.formatCodeOfXf(cell.xf));
    case CellType::Number:
        return formatNumber(cell.number, book.formatCodeOfXf(cell.xf), book.dateSystem1904);
    case CellType::Bool:
        return cell.boolValue ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    case CellType::Error:
        return errorText(cell.errorCode);
    }
    return {};
}

QString CellText(const Workbook& book, int sheet, int row, int column) {
    if (sheet < 1 || static_cast<size_t>(sheet) > book.sheets.size())
        throw EOleException(QStringLiteral("シート番号 %1 が正しくありません").arg(sheet));
    if (row < 1 || row > 65536 || column < 1 || column > 256)
        throw EOleException(
            QStringLiteral("セルの位置 (%1 行, %2 列) が正しくありません").arg(row).arg(column));
    const Cell* cell = book.sheets[static_cast<size_t>(sheet - 1)].cell(row - 1, column - 1);
    return cell ? cellDisplayText(book, *cell) : QString();
}

} // namespace tovera
