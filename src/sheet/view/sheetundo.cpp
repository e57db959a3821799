#include "sheet/view/sheetundo.h"

#include "sheet/sheetgeometry.h"

#include <algorithm>

namespace tovera {

void SheetUndo::beginStep(int sheetIndex) {
    if (depth_++ > 0) return;
    Step step;
    step.sheet = sheetIndex;
    steps_.push_back(std::move(step));
    if (steps_.size() > kMaxSteps) steps_.erase(steps_.begin());
}

void SheetUndo::endStep(bool changed) {
    if (depth_ == 0 || steps_.empty()) return;
    Step& step = steps_.back();
    step.changed = step.changed || changed;
    if (--depth_ > 0) return;
    if (step.tooBig) {
        steps_.clear();
    } else if (!step.changed) {
        steps_.pop_back();
    }
}

void SheetUndo::save(const Sheet& sheet, const CellRange& area) {
    if (depth_ == 0 || steps_.empty()) return;
    Step& step = steps_.back();
    if (!step.arraysSaved) {
        step.arrays = sheet.arrayFormulas;
        step.arraysSaved = true;
    }
    saveArea(sheet, area);
    // Changing part of an array formula turns the whole array into values.
    for (const ArrayFormula& a : sheet.arrayFormulas) {
        const CellRange& r = a.range;
        if (r.firstRow <= area.lastRow && r.lastRow >= area.firstRow &&
            r.firstColumn <= area.lastColumn && r.lastColumn >= area.firstColumn)
            saveArea(sheet, r);
    }
}

void SheetUndo::saveArea(const Sheet& sheet, const CellRange& area) {
    Step& step = steps_.back();
    if (step.tooBig) return;
    Saved saved;
    saved.area = area;
    auto row = std::lower_bound(sheet.rows.begin(), sheet.rows.end(), area.firstRow,
                                [](const Row& r, int index) { return r.index < index; });
    for (; row != sheet.rows.end() && row->index <= area.lastRow; ++row)
        for (const Cell& c : row->cells)
            if (c.column >= area.firstColumn && c.column <= area.lastColumn)
                saved.cells.emplace_back(row->index, c);
    step.cellCount += saved.cells.size();
    if (step.cellCount > kMaxCells) {
        step.tooBig = true;
        step.saved.clear();
        return;
    }
    step.saved.push_back(std::move(saved));
}

bool SheetUndo::undo(Workbook& book, int& sheetIndex, CellRange& touched) {
    if (!canUndo()) return false;
    Step step = std::move(steps_.back());
    steps_.pop_back();
    if (step.sheet < 0 || size_t(step.sheet) >= book.sheets.size()) return false;
    Sheet& sheet = book.sheets[size_t(step.sheet)];
    touched = {kSheetRows, -1, kSheetColumns, -1};
    // Latest first, so what the earliest save saw is what stays.
    for (auto it = step.saved.rbegin(); it != step.saved.rend(); ++it) {
        const CellRange& area = it->area;
        for (Row& r : sheet.rows) {
            if (r.index < area.firstRow || r.index > area.lastRow) continue;
            std::erase_if(r.cells, [&](const Cell& c) {
                return c.column >= area.firstColumn && c.column <= area.lastColumn;
            });
        }
        for (const auto& [row, cell] : it->cells) sheet.setCell(row, cell);
        touched.firstRow = std::min(touched.firstRow, area.firstRow);
        touched.lastRow = std::max(touched.lastRow, area.lastRow);
        touched.firstColumn = std::min(touched.firstColumn, area.firstColumn);
        touched.lastColumn = std::max(touched.lastColumn, area.lastColumn);
    }
    if (step.arraysSaved) sheet.arrayFormulas = std::move(step.arrays);
    sheetIndex = step.sheet;
    return true;
}

void SheetUndo::clear() {
    steps_.clear();
    depth_ = 0;
}

} // namespace tovera
