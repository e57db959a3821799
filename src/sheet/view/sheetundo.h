#pragma once
// Taking back edits of the control's workbook. Before a change the model saves what the
// areas it is about to change hold (only the cells that exist: a sheet is sparse) and the
// sheet's array formulas; taking the change back puts them again.

#include "sheet/workbook.h"

#include <vector>

namespace tovera {

class SheetUndo {
public:
    static constexpr size_t kMaxSteps = 100;
    // A step that would save more cells than this is not kept, and neither is anything
    // before it: taking back must never skip a change.
    static constexpr size_t kMaxCells = 2'000'000;

    // Opens a step for sheet `sheetIndex`; calls inside an open step join it.
    void beginStep(int sheetIndex);
    // Closes the step opened last; a step in which nothing changed (`changed` false at the
    // outermost close) is forgotten.
    void endStep(bool changed = true);
    // Saves what `area` of `sheet` holds now (and the whole of any array formula reaching
    // into it); call inside an open step, before the change.
    void save(const Sheet& sheet, const CellRange& area);

    bool canUndo() const { return !steps_.empty() && depth_ == 0; }
    // Puts the last step back into `book`. Gives the step's sheet and the rectangle of cells
    // it touched; false when there is nothing to take back.
    bool undo(Workbook& book, int& sheetIndex, CellRange& touched);
    // Forgets every step (a new workbook is shown).
    void clear();

private:
    struct Saved {
        CellRange area;
        std::vector<std::pair<int, Cell>> cells; // row, cell
    };
    struct Step {
        int sheet = 0;
        std::vector<Saved> saved;
        std::vector<ArrayFormula> arrays;
        bool arraysSaved = false;
        bool changed = false;
        size_t cellCount = 0;
        bool tooBig = false;
    };
    void saveArea(const Sheet& sheet, const CellRange& area);

    std::vector<Step> steps_;
    int depth_ = 0;
};

} // namespace tovera
