#include "sheet/view/sheetmodel.h"

#include "sheet/celltext.h"
#include "sheet/view/cellinput.h"

#include <algorithm>

namespace tovera {

namespace {

// True when `code` multiplies by 100: a "%" outside quoted text and escapes.
bool isPercentFormat(const QString& code) {
    bool quoted = false;
    for (qsizetype i = 0; i < code.size(); ++i) {
        const QChar c = code[i];
        if (c == QLatin1Char('"'))
            quoted = !quoted;
        else if (quoted)
            continue;
        else if (c == QLatin1Char('\\') || c == QLatin1Char('_') || c == QLatin1Char('*'))
            ++i;
        else if (c == QLatin1Char('%'))
            return true;
    }
    return false;
}

void dropValue(Cell& cell) {
    cell.type = CellType::Empty;
    cell.text.clear();
    cell.runs.clear();
    cell.number = 0;
    cell.boolValue = false;
    cell.errorCode = 0;
    cell.formula.reset();
}

} // namespace

SheetModel::SheetModel(Workbook& book, QObject* parent) : QAbstractTableModel(parent), book_(book) {
    sheetIndex_ = std::clamp(book_.activeSheet, 0, std::max(0, int(book_.sheets.size()) - 1));
    merges_ = MergeIndex(sheet().merges);
}

void SheetModel::replaceWorkbook(Workbook&& book, int sheetIndex) {
    beginResetModel();
    book_ = std::move(book);
    engine_.formulasChanged();
    cycleReported_ = false;
    batch_ = 0;
    pendingRanges_.clear();
    pendingFormulas_ = false;
    undo_.clear();
    sheetIndex_ = std::clamp(sheetIndex, 0, std::max(0, int(book_.sheets.size()) - 1));
    merges_ = MergeIndex(sheet().merges);
    endResetModel();
}

void SheetModel::setSheetIndex(int index) {
    if (index < 0 || size_t(index) >= book_.sheets.size() || index == sheetIndex_) return;
    beginResetModel();
    sheetIndex_ = index;
    merges_ = MergeIndex(sheet().merges);
    endResetModel();
}

const Sheet& SheetModel::sheet() const {
    static const Sheet empty;
    return size_t(sheetIndex_) < book_.sheets.size() ? book_.sheets[size_t(sheetIndex_)] : empty;
}

Sheet* SheetModel::mutableSheet() {
    return size_t(sheetIndex_) < book_.sheets.size() ? &book_.sheets[size_t(sheetIndex_)] : nullptr;
}

int SheetModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kRowCount;
}

int SheetModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant SheetModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    if (role == Qt::DisplayRole) return displayText(index.row(), index.column());
    if (role == Qt::EditRole) return editText(index.row(), index.column());
    return {};
}

bool SheetModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::EditRole) return false;
    enterText(index.row(), index.column(), value.toString());
    return true;
}

QVariant SheetModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Horizontal) return columnName(section);
    return QString::number(section + 1);
}

Qt::ItemFlags SheetModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}

const Cell* SheetModel::cellAt(int row, int column) const {
    return sheet().cell(row, column);
}

QString SheetModel::displayText(int row, int column) const {
    const Cell* cell = cellAt(row, column);
    return cell ? cellDisplayText(book_, *cell) : QString();
}

QString SheetModel::editText(int row, int column) const {
    const Cell* cell = cellAt(row, column);
    if (!cell) return {};
    if (cell->formula) {
        const QString text = formulaText(book_, sheetIndex_, row, column);
        if (!text.isEmpty()) return text;
    }
    switch (cell->type) {
    case CellType::Empty:
        return {};
    case CellType::Text:
        return cell->text;
    case CellType::Number:
        if (isDateCell(book_, *cell)) return cellDisplayText(book_, *cell);
        if (isPercentFormat(book_.formatCodeOfXf(cell->xf)))
            return numberEditText(cell->number * 100) + QLatin1Char('%');
        return numberEditText(cell->number);
    case CellType::Bool:
    case CellType::Error:
        return cellDisplayText(book_, *cell);
    }
    return {};
}

uint16_t SheetModel::formatIndexAt(int row, int column) const {
    const Sheet& sheet = this->sheet();
    if (const Cell* cell = sheet.cell(row, column)) return cell->xf;
    const int fallback = book_.xfs.size() > 15 ? 15 : 0;
    if (const Row* r = sheet.row(row); r && r->xf >= 0 && size_t(r->xf) < book_.xfs.size())
        return uint16_t(r->xf);
    for (const ColumnInfo& ci : sheet.columns)
        if (column >= ci.firstColumn && column <= ci.lastColumn && ci.xf < book_.xfs.size())
            return ci.xf;
    return uint16_t(fallback);
}

void SheetModel::detachArray(Sheet& sheet, int row, int column) {
    for (auto it = sheet.arrayFormulas.begin(); it != sheet.arrayFormulas.end();) {
        if (!it->range.contains(row, column)) {
            ++it;
            continue;
        }
        const CellRange range = it->range;
        for (Row& r : sheet.rows) {
            if (r.index < range.firstRow || r.index > range.lastRow) continue;
            for (Cell& c : r.cells)
                if (c.column >= range.firstColumn && c.column <= range.lastColumn)
                    c.formula.reset();
        }
        it = sheet.arrayFormulas.erase(it);
        rowsChanged(range.firstRow, range.lastRow);
    }
}

uint16_t SheetModel::formatWithNumberFormat(uint16_t xf, uint16_t numberFormat) {
    if (xf >= book_.xfs.size()) return xf;
    CellFormat wanted = book_.xfs[xf];
    wanted.numberFormat = numberFormat;
    wanted.usedGroups |= 0x04; // the format has its own number format
    for (size_t i = 0; i < book_.xfs.size(); ++i)
        if (book_.xfs[i] == wanted) return uint16_t(i);
    if (book_.xfs.size() >= kMaxFormats) return xf; // the file holds no more formats
    book_.xfs.push_back(wanted);
    return uint16_t(book_.xfs.size() - 1);
}

bool SheetModel::enterText(int row, int column, const QString& input) {
    Sheet* sheet = mutableSheet();
    if (!sheet || row < 0 || row >= kRowCount || column < 0 || column >= kColumnCount) return false;
    if (const CellRange* merge = mergeAt(row, column)) {
        row = merge->firstRow;
        column = merge->firstColumn;
    }
    if (input == editText(row, column)) return false;
    if (refuseProtected(row, column)) return false;
    const Cell* existing = sheet->cell(row, column);
    if (!existing && input.isEmpty()) return false;
    const bool hadFormula = existing && existing->formula;
    std::optional<Formula> typed;
    if (isFormulaInput(input)) {
        QString error;
        typed = parseFormula(book_, sheetIndex_, input, error);
        if (!typed) {
            Q_EMIT entryRefused(
                QStringLiteral("数式 %1 は入力できません（%2）。").arg(input, error));
            return false;
        }
    }
    undo_.beginStep(sheetIndex_);
    const CellRange* area = mergeAt(row, column);
    undo_.save(*sheet, area ? *area : CellRange{row, row, column, column});
    detachArray(*sheet, row, column);
    Cell cell;
    if (existing) {
        cell = *existing;
    } else {
        cell.column = uint16_t(column);
        cell.xf = formatIndexAt(row, column);
    }
    dropValue(cell);
    if (typed) {
        // The result comes with the calculation that follows.
        cell.type = CellType::Number;
        cell.formula = std::make_shared<const Formula>(std::move(*typed));
    } else if (!input.isEmpty()) {
        if (const std::optional<double> number = parseNumberInput(input)) {
            cell.type = CellType::Number;
            cell.number = *number;
        } else if (const std::optional<DateInput> date =
                       parseDateInput(input, book_.dateSystem1904)) {
            cell.type = CellType::Number;
            cell.number = date->serial;
            // A date typed into a cell that does not show dates makes it show them.
            if (!isDateFormatCode(book_.formatCodeOfXf(cell.xf))) {
                const uint16_t id = !date->hasTime     ? 14
                                    : date->hasDate    ? 22
                                    : date->hasSeconds ? 21
                                                       : 20;
                cell.xf = formatWithNumberFormat(cell.xf, id);
            }
        } else {
            cell.type = CellType::Text;
            cell.text = input.left(32767); // the longest text a cell holds
        }
    }
    sheet->setCell(row, cell);
    undo_.endStep();
    rowsChanged(row, area ? area->lastRow : row);
    recalculate(sheetIndex_, {CellRange{row, row, column, column}}, hadFormula || cell.formula);
    return true;
}

void SheetModel::clearValues(const std::vector<CellRange>& ranges) {
    Sheet* sheet = mutableSheet();
    if (!sheet) return;
    if (rangesProtected(ranges)) {
        if (!protectedReported_) emit entryRefused(protectedCellMessage());
        protectedReported_ = batch_ > 0;
        return;
    }
    undo_.beginStep(sheetIndex_);
    bool anyChange = false;
    for (const CellRange& range : ranges) undo_.save(*sheet, range);
    for (const CellRange& range : ranges) {
        for (const ArrayFormula& a : std::vector<ArrayFormula>(sheet->arrayFormulas)) {
            const bool overlaps =
                a.range.firstRow <= range.lastRow && a.range.lastRow >= range.firstRow &&
                a.range.firstColumn <= range.lastColumn && a.range.lastColumn >= range.firstColumn;
            if (overlaps) {
                detachArray(*sheet, a.range.firstRow, a.range.firstColumn);
                anyChange = true;
            }
        }
        bool changed = false;
        for (Row& r : sheet->rows) {
            if (r.index < range.firstRow || r.index > range.lastRow) continue;
            for (Cell& c : r.cells) {
                if (c.column < range.firstColumn || c.column > range.lastColumn) continue;
                if (c.hasValue() || c.formula) changed = true;
                dropValue(c);
            }
        }
        if (changed) rowsChanged(range.firstRow, range.lastRow);
        anyChange = anyChange || changed;
    }
    undo_.endStep(anyChange);
    if (anyChange) recalculate(sheetIndex_, ranges, true);
}

bool SheetModel::undo() {
    int sheetIndex = 0;
    CellRange touched;
    if (!undo_.undo(book_, sheetIndex, touched)) return false;
    if (sheetIndex == sheetIndex_ && touched.firstRow <= touched.lastRow)
        rowsChanged(touched.firstRow, touched.lastRow);
    if (touched.firstRow <= touched.lastRow) recalculate(sheetIndex, {touched}, true);
    return true;
}

void SheetModel::recalculateAll() {
    const RecalcResult result = engine_.recalculateAll();
    if (!result.circular) cycleReported_ = false;
    showResults(result);
}

void SheetModel::beginChanges() {
    if (batch_ == 0) protectedReported_ = false;
    undo_.beginStep(sheetIndex_);
    ++batch_;
}

void SheetModel::endChanges() {
    undo_.endStep(false);
    if (batch_ > 0 && --batch_ == 0 && !pendingRanges_.empty()) {
        const std::vector<CellRange> ranges = std::move(pendingRanges_);
        pendingRanges_.clear();
        const bool formulas = pendingFormulas_;
        pendingFormulas_ = false;
        recalculate(sheetIndex_, ranges, formulas);
    }
}

void SheetModel::recalculate(int sheetIndex, const std::vector<CellRange>& ranges, bool formulas) {
    if (batch_ > 0 && sheetIndex == sheetIndex_) {
        pendingRanges_.insert(pendingRanges_.end(), ranges.begin(), ranges.end());
        pendingFormulas_ = pendingFormulas_ || formulas;
        return;
    }
    if (formulas) engine_.formulasChanged();
    showResults(engine_.cellsChanged(sheetIndex, ranges));
}

void SheetModel::showResults(const RecalcResult& result) {
    int first = kRowCount, last = -1;
    for (const CellAddress& c : result.changed)
        if (c.sheet == sheetIndex_) {
            first = std::min(first, c.row);
            last = std::max(last, c.row);
        }
    if (last >= 0) rowsChanged(first, last);
    if (result.circular && !cycleReported_) {
        cycleReported_ = true;
        Q_EMIT circularReference();
    }
}

const CellRange* SheetModel::mergeAt(int row, int column) const {
    return merges_.find(row, column);
}

QModelIndex SheetModel::anchorIndex(int row, int column) const {
    if (const CellRange* m = mergeAt(row, column)) return index(m->firstRow, m->firstColumn);
    return index(row, column);
}

int SheetModel::lastUsedRow() const {
    const Sheet& s = sheet();
    for (auto it = s.rows.rbegin(); it != s.rows.rend(); ++it)
        if (!it->cells.empty()) return it->index;
    return -1;
}

int SheetModel::lastUsedColumn() const {
    int last = -1;
    for (const Row& r : sheet().rows)
        if (!r.cells.empty()) last = std::max(last, int(r.cells.back().column));
    return last;
}

QString SheetModel::columnName(int column) {
    column = std::clamp(column, 0, kColumnCount - 1);
    QString name;
    if (column >= 26) name += QChar(u'A' + column / 26 - 1);
    name += QChar(u'A' + column % 26);
    return name;
}

QString SheetModel::cellReference(int row, int column) {
    return columnName(column) + QString::number(row + 1);
}

QString SheetModel::rangeReference(const CellRange& range) {
    const QString first = cellReference(range.firstRow, range.firstColumn);
    if (range.firstRow == range.lastRow && range.firstColumn == range.lastColumn) return first;
    return first + QLatin1Char(':') + cellReference(range.lastRow, range.lastColumn);
}

void SheetModel::rowsChanged(int firstRow, int lastRow) {
    // Whole rows: a changed text may spread over (or stop spreading over) its neighbours.
    Q_EMIT dataChanged(index(firstRow, 0), index(lastRow, kColumnCount - 1),
                       {Qt::DisplayRole, Qt::EditRole});
}

} // namespace tovera
