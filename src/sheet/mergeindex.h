#pragma once
// Finding the merged range that covers a cell without walking every merge of the sheet: a
// sheet may hold tens of thousands of merged ranges, and the grid asks once per cell painted.

#include "sheet/workbook.h"

#include <vector>

namespace tovera {

class MergeIndex {
public:
    MergeIndex() = default;
    // Indexes `merges` (a sheet's merged ranges, in file order). Ranges that reach outside
    // the sheet (65 536 rows by 256 columns), are turned inside out, cover a single cell, or
    // overlap a range kept before them are left out: the first range counts, so every cell
    // belongs to at most one kept range. Time and memory grow with the number of ranges
    // and the rows they span, never with the sheet's size.
    explicit MergeIndex(const std::vector<CellRange>& merges);

    // The kept range that covers (row, column), 0-based, or null.
    const CellRange* find(int row, int column) const;
    // The kept ranges, in file order.
    const std::vector<CellRange>& ranges() const { return kept_; }

private:
    static constexpr int kBlockRows = 32;
    bool overlapsKept(const CellRange& range) const;

    std::vector<CellRange> kept_;
    std::vector<std::vector<int>> blocks_; // per 32 rows: the kept ranges reaching into them
};

} // namespace tovera
