#pragma once
// The dependencies between the formulas of a workbook. Internal to the engine.

#include "sheet/calc.h"
#include "sheet/calc_internal.h"

#include <span>
#include <vector>

namespace tovera::calc {

// One formula: a cell's own, or an array formula (its top-left cell stands for it).
struct Node {
    int sheet = 0;
    int row = 0;
    int column = 0;
    int array = -1; // index into Sheet::arrayFormulas, -1 for a cell's formula
    bool isVolatile = false;
    // Ranges of the graph's lists: what the formula reads (names followed), the formulas
    // inside those areas (sorted) and the formulas that read this one.
    uint32_t areaBegin = 0, areaEnd = 0;
    uint32_t precBegin = 0, precEnd = 0;
    uint32_t depBegin = 0, depEnd = 0;
};

class Graph {
public:
    static uint64_t key(int sheet, int row, int column);

    // Reads every formula of `book`.
    void build(const Workbook& book);
    // Appends the formulas that read any cell of `r` on `sheet` (with repeats).
    void usersOf(int sheet, const CellRange& r, std::vector<int>& out) const;
    // The formulas of `subset` in calculation order (each after the formulas of the subset
    // it reads); those on a cycle are left out and marked in `cyclic`.
    std::vector<int> order(const std::vector<int>& subset, std::vector<char>& cyclic) const;

    // The node of the formula cell with `key`, -1 when it holds none.
    int nodeOf(uint64_t key) const;

    std::span<const Area> areasOf(const Node& n) const {
        return {areaList.data() + n.areaBegin, n.areaEnd - n.areaBegin};
    }
    std::span<const int> precedentsOf(const Node& n) const {
        return {precList.data() + n.precBegin, n.precEnd - n.precBegin};
    }
    std::span<const int> dependentsOf(const Node& n) const {
        return {depList.data() + n.depBegin, n.depEnd - n.depBegin};
    }

    std::vector<Node> nodes;

private:
    struct AreaUse {
        int sheet;
        CellRange range;
        int node;
    };
    void collect(const Workbook& book, const QByteArray& tokens, Node& node, int depth);

    std::vector<std::pair<uint64_t, int>> nodeAt;    // every formula cell -> its node, sorted
    std::vector<std::pair<uint64_t, int>> cellUsers; // single cells read -> reader, sorted
    std::vector<AreaUse> areaUses;
    std::vector<Area> areaList;
    std::vector<int> precList;
    std::vector<int> depList;
    std::vector<std::vector<std::vector<int>>> buckets; // per sheet, per block of rows
};

// Calculates one formula and stores its result (its cells, for an array formula), noting
// the cells whose value changed in `changed`; false when it cannot be evaluated.
bool evaluateNode(Workbook& book, const Node& node, Context& ctx,
                  std::vector<CellAddress>* changed);

// Today's serial date and the present moment in the date system given.
void clockNow(double& today, double& now, bool date1904);

} // namespace tovera::calc
