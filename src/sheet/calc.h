#pragma once
// Recalculation of a workbook's formulas. Formulas are evaluated from the token arrays the
// workbook keeps (Formula::tokens, in the layout of its BIFF version); a formula that
// cannot be evaluated (a function, name or reference the engine does not know) keeps its
// stored result. Formulas that refer to themselves through others (a circular reference)
// keep their values too, and the calculation still ends.

#include "sheet/workbook.h"

#include <QString>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace tovera {

// A cell of a workbook: sheet index, row and column, 0-based.
struct CellAddress {
    int sheet = 0;
    int row = 0;
    int column = 0;
    bool operator==(const CellAddress&) const = default;
};

// What one recalculation did.
struct RecalcResult {
    int evaluated = 0;     // formulas calculated (unsupported ones not counted)
    bool circular = false; // some formulas form a cycle; they kept their values
    // Cells whose value changed, in the order they were calculated.
    std::vector<CellAddress> changed;
};

namespace calc {
class Graph;
}

// Keeps the formulas of one workbook up to date. It holds the workbook by reference (it
// must outlive the engine) and the dependencies between its formulas, built on first use.
class FormulaEngine {
public:
    explicit FormulaEngine(Workbook& book);
    ~FormulaEngine();
    FormulaEngine(const FormulaEngine&) = delete;
    FormulaEngine& operator=(const FormulaEngine&) = delete;

    // Calculates every formula of the workbook anew, in dependency order (F9).
    RecalcResult recalculateAll();
    // After the values of the cells in `ranges` of sheet `sheet` changed: calculates the
    // formulas that depend on them, directly or through others, each once and after the
    // formulas it depends on. Formulas inside the ranges themselves are calculated too
    // (a typed formula).
    RecalcResult cellsChanged(int sheet, const std::vector<CellRange>& ranges);
    // A formula was added, removed or replaced (or the workbook replaced): the
    // dependencies are read again at the next calculation.
    void formulasChanged();

    // Today's date and the time used by TODAY and NOW, as serial numbers; by default the
    // clock's at each calculation.
    void setClock(double today, double now);

private:
    RecalcResult run(const std::vector<int>& nodes, bool all);
    calc::Graph& graph();

    Workbook& book_;
    std::unique_ptr<calc::Graph> graph_;
    bool fixedClock_ = false;
    double today_ = 0;
    double now_ = 0;
};

// One formula whose recalculated result differs from the stored one.
struct RecalcDifference {
    CellAddress cell;
    QString stored;   // the stored result as text ("12.5", "abc", TRUE, #N/A)
    QString computed; // the recalculated result
};

// The outcome of recalculating a workbook from scratch and comparing with what it stores.
struct RecalcCheck {
    int checked = 0;     // formula cells
    int equal = 0;       // recalculated to the stored result
    int differ = 0;      // recalculated to another result (listed in `differences`)
    int unsupported = 0; // not recalculated or not comparable (see `reasons`)
    std::vector<RecalcDifference> differences;
    // Why cells were not compared: a function name, "name ...", "circular", "volatile", ...
    // with the number of cells.
    std::map<QString, int> reasons;
};

// Recalculates a copy of `book` from scratch and compares each formula's result with the
// stored one. Numbers count as equal when they agree to 15 significant digits. Results
// that depend on the clock (TODAY, NOW, RAND) are counted as not comparable.
RecalcCheck checkRecalculation(const Workbook& book);

// The formula of the cell (sheet, row, column) as it is typed, "=ROUND(E8*F8,0)"; an
// array formula in braces, "{=A1:A3*2}". Empty when the cell has no formula or its
// tokens cannot be shown.
QString formulaText(const Workbook& book, int sheet, int row, int column);

// True when a typed entry is a formula: it starts with "=" or the full-width "＝" and has
// more after it.
bool isFormulaInput(const QString& input);

// The formula a typed entry stands for, in the tokens of `book`'s BIFF version, for a cell
// of sheet `sheet`: A1 references with $, areas, whole columns and rows, Sheet!A1 and
// 'シート名'!A1, defined names, the functions the engine calculates, strings, numbers,
// booleans and error values. Full-width letters, digits and signs count as their ASCII
// forms. A reference to another sheet may add an entry to book.externSheets. On a mistake:
// nothing, `error` says what is wrong (Japanese) and `book` is unchanged.
std::optional<Formula> parseFormula(Workbook& book, int sheet, const QString& input,
                                    QString& error);

// A sheet name as a formula writes it: quoted ('My sheet') when it holds anything but
// letters, digits, "_" and "." or reads like a cell reference.
QString sheetNameInFormula(const QString& name);

// The text of a formula result for reports: numbers in the fewest digits that read back
// as the same double, text in double quotes, TRUE/FALSE, the error name.
QString resultText(const Cell& cell);

} // namespace tovera
