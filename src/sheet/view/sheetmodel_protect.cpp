// Protected sheets: locked cells keep their values.

#include "sheet/view/sheetmodel.h"

namespace tovera {

QString SheetModel::protectedCellMessage() {
    return QStringLiteral("このセルは保護されたシートにあるため変更できません。"
                          "変更するにはシートの保護を解除してください。");
}

bool SheetModel::cellProtected(int row, int column) const {
    const Sheet& s = sheet();
    if (!s.protection.on) return false;
    if (const CellRange* merge = mergeAt(row, column)) {
        row = merge->firstRow;
        column = merge->firstColumn;
    }
    const uint16_t xf = formatIndexAt(row, column);
    const Workbook& b = workbook();
    return xf >= b.xfs.size() || b.xfs[xf].locked;
}

bool SheetModel::rangesProtected(const std::vector<CellRange>& ranges) const {
    const Sheet& s = sheet();
    if (!s.protection.on) return false;
    for (const CellRange& range : ranges)
        for (const Row& row : s.rows) {
            if (row.index < range.firstRow || row.index > range.lastRow) continue;
            for (const Cell& c : row.cells)
                if (c.hasValue() && range.contains(row.index, c.column) &&
                    cellProtected(row.index, c.column))
                    return true;
        }
    return false;
}

bool SheetModel::refuseProtected(int row, int column) {
    if (!cellProtected(row, column)) return false;
    if (!protectedReported_) emit entryRefused(protectedCellMessage());
    protectedReported_ = batch_ > 0;
    return true;
}

} // namespace tovera
