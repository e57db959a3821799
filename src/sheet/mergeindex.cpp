#include "sheet/mergeindex.h"

namespace tovera {

namespace {

constexpr int kRows = 65536;
constexpr int kColumns = 256;

bool overlaps(const CellRange& a, const CellRange& b) {
    return a.firstRow <= b.lastRow && b.firstRow <= a.lastRow && a.firstColumn <= b.lastColumn &&
           b.firstColumn <= a.lastColumn;
}

} // namespace

MergeIndex::MergeIndex(const std::vector<CellRange>& merges) {
    for (const CellRange& m : merges) {
        if (m.firstRow < 0 || m.firstColumn < 0 || m.lastRow >= kRows || m.lastColumn >= kColumns ||
            m.lastRow < m.firstRow || m.lastColumn < m.firstColumn)
            continue;
        if (m.firstRow == m.lastRow && m.firstColumn == m.lastColumn) continue;
        if (overlapsKept(m)) continue;
        const int id = int(kept_.size());
        kept_.push_back(m);
        const size_t lastBlock = size_t(m.lastRow / kBlockRows);
        if (blocks_.size() <= lastBlock) blocks_.resize(lastBlock + 1);
        for (size_t b = size_t(m.firstRow / kBlockRows); b <= lastBlock; ++b)
            blocks_[b].push_back(id);
    }
}

bool MergeIndex::overlapsKept(const CellRange& range) const {
    const size_t first = size_t(range.firstRow / kBlockRows);
    const size_t last = std::min(size_t(range.lastRow / kBlockRows) + 1, blocks_.size());
    for (size_t b = first; b < last; ++b)
        for (int id : blocks_[b])
            if (overlaps(kept_[size_t(id)], range)) return true;
    return false;
}

const CellRange* MergeIndex::find(int row, int column) const {
    if (row < 0 || column < 0) return nullptr;
    const size_t b = size_t(row / kBlockRows);
    if (b >= blocks_.size()) return nullptr;
    for (int id : blocks_[b]) {
        const CellRange& m = kept_[size_t(id)];
        if (m.contains(row, column)) return &m;
    }
    return nullptr;
}

} // namespace tovera
