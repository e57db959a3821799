// Dependencies between formulas and the order of their calculation: which cells each
// formula reads, which formulas read a cell, and the strongly connected groups of formulas
// (a group of more than one, or a formula reading itself, is a circular reference).

#include "sheet/calc.h"
#include "sheet/calc_graph.h"
#include "sheet/calc_internal.h"

#include <QDateTime>
#include <cmath>

namespace tovera::calc {

namespace {

constexpr int kBucketRows = 256;
constexpr int kMaxNameDepth = 16;

uint16_t get16(const uint8_t* p) {
    return uint16_t(p[0] | (p[1] << 8));
}

bool isVolatileFunction(int id) {
    return id == 63 || id == 74 || id == 78 || id == 125 || id == 148 || id == 221 || id == 244;
}

} // namespace

uint64_t Graph::key(int sheet, int row, int column) {
    return (uint64_t(uint32_t(sheet)) << 24) | (uint64_t(row) << 8) | uint64_t(column);
}

void Graph::collect(const Workbook& book, const QByteArray& tokens, Node& node, int depth) {
    const int biff = depth > 0 ? 8 : book.biffVersion;
    const auto* p = reinterpret_cast<const uint8_t*>(tokens.constData());
    const uint8_t* end = p + tokens.size();
    while (p < end) {
        const long size = tokenPayloadSize(p, end, biff);
        if (size < 0) return;
        const uint8_t id = p[0];
        const uint8_t* q = p + 1;
        if (id == 0x19 && (q[0] & 0x01)) node.isVolatile = true;
        if (id >= 0x20) {
            const int base = id & 0x1F;
            switch (base) {
            case 0x01:
                if (isVolatileFunction(biff >= 4 ? get16(q) : q[0])) node.isVolatile = true;
                break;
            case 0x02:
                if (isVolatileFunction(biff >= 4 ? (get16(q + 1) & 0x7FFF) : q[1]))
                    node.isVolatile = true;
                break;
            case 0x04:
            case 0x05:
            case 0x0C:
            case 0x0D:
            case 0x1A:
            case 0x1B: {
                Area a;
                if (decodeReference(book, base, q, node.sheet, node.row, node.column, a) ==
                    RefKind::Area)
                    areaList.push_back(a);
                break;
            }
            case 0x03:
            case 0x19: {
                if (biff != 8 || depth >= kMaxNameDepth) break;
                int index = -1;
                if (base == 0x03) {
                    index = get16(q) - 1;
                } else {
                    const uint16_t ixti = get16(q);
                    if (ixti < book.externSheets.size() &&
                        book.externSheets[ixti].firstSheet == kWholeWorkbook &&
                        !book.externSheets[ixti].addIn)
                        index = get16(q + 2) - 1;
                }
                if (index >= 0 && size_t(index) < book.definedNames.size()) {
                    const DefinedName& n = book.definedNames[size_t(index)];
                    if (!(n.flags & 0x0002)) collect(book, n.tokens, node, depth + 1);
                }
                break;
            }
            default:
                break;
            }
        }
        p += 1 + size;
    }
}

void Graph::build(const Workbook& book) {
    nodes.clear();
    areaList.clear();
    precList.clear();
    depList.clear();
    nodeAt.clear();
    cellUsers.clear();
    areaUses.clear();
    buckets.assign(book.sheets.size(), {});
    size_t formulas = 0;
    for (const Sheet& sheet : book.sheets)
        for (const Row& row : sheet.rows)
            for (const Cell& cell : row.cells) formulas += cell.formula ? 1 : 0;
    nodes.reserve(formulas);
    nodeAt.reserve(formulas);
    for (size_t s = 0; s < book.sheets.size(); ++s) {
        const Sheet& sheet = book.sheets[s];
        for (size_t a = 0; a < sheet.arrayFormulas.size(); ++a) {
            const ArrayFormula& af = sheet.arrayFormulas[a];
            Node n;
            n.sheet = int(s);
            n.row = af.range.firstRow;
            n.column = af.range.firstColumn;
            n.array = int(a);
            n.areaBegin = uint32_t(areaList.size());
            collect(book, af.formula.tokens, n, 0);
            n.areaEnd = uint32_t(areaList.size());
            const int id = int(nodes.size());
            nodes.push_back(std::move(n));
            for (int r = af.range.firstRow; r <= af.range.lastRow; ++r)
                for (int c = af.range.firstColumn; c <= af.range.lastColumn; ++c)
                    nodeAt.emplace_back(key(int(s), r, c), id);
        }
        for (const Row& row : sheet.rows)
            for (const Cell& cell : row.cells) {
                if (!cell.formula) continue;
                const uint64_t k = key(int(s), row.index, cell.column);
                bool inArray = false; // a cell of an array formula
                for (const ArrayFormula& af : sheet.arrayFormulas)
                    inArray = inArray || af.range.contains(row.index, cell.column);
                if (inArray) continue;
                Node n;
                n.sheet = int(s);
                n.row = row.index;
                n.column = cell.column;
                n.areaBegin = uint32_t(areaList.size());
                collect(book, cell.formula->tokens, n, 0);
                n.areaEnd = uint32_t(areaList.size());
                nodeAt.emplace_back(k, int(nodes.size()));
                nodes.push_back(std::move(n));
            }
    }
    std::sort(nodeAt.begin(), nodeAt.end());
    // Who reads what: single cells by address, areas by blocks of rows.
    for (size_t i = 0; i < nodes.size(); ++i)
        for (const Area& a : areasOf(nodes[i]))
            for (int s = a.firstSheet; s <= a.lastSheet; ++s) {
                if (a.range.firstRow == a.range.lastRow &&
                    a.range.firstColumn == a.range.lastColumn) {
                    cellUsers.emplace_back(key(s, a.range.firstRow, a.range.firstColumn), int(i));
                    continue;
                }
                const int use = int(areaUses.size());
                areaUses.push_back(AreaUse{s, a.range, int(i)});
                auto& sheetBuckets = buckets[size_t(s)];
                const int last = a.range.lastRow / kBucketRows;
                if (int(sheetBuckets.size()) <= last) sheetBuckets.resize(size_t(last) + 1);
                for (int b = a.range.firstRow / kBucketRows; b <= last; ++b)
                    sheetBuckets[size_t(b)].push_back(use);
            }
    std::sort(cellUsers.begin(), cellUsers.end());
    // The formulas each formula reads, and the reverse.
    for (size_t i = 0; i < nodes.size(); ++i) {
        Node& n = nodes[i];
        n.precBegin = uint32_t(precList.size());
        for (const Area& a : areasOf(n))
            for (int s = a.firstSheet; s <= a.lastSheet; ++s) {
                if (a.range.firstRow == a.range.lastRow &&
                    a.range.firstColumn == a.range.lastColumn) {
                    const int p = nodeOf(key(s, a.range.firstRow, a.range.firstColumn));
                    if (p >= 0) precList.push_back(p);
                    continue;
                }
                forEachCell(book.sheets[size_t(s)], a.range, [&](int row, const Cell& c) {
                    if (!c.formula) return;
                    const int p = nodeOf(key(s, row, c.column));
                    if (p >= 0) precList.push_back(p);
                });
            }
        auto from = precList.begin() + n.precBegin;
        std::sort(from, precList.end());
        precList.erase(std::unique(from, precList.end()), precList.end());
        n.precEnd = uint32_t(precList.size());
    }
    for (size_t i = 0; i < nodes.size(); ++i)
        for (int p : precedentsOf(nodes[i])) ++nodes[size_t(p)].depEnd;
    uint32_t at = 0;
    for (Node& n : nodes) {
        n.depBegin = at;
        at += n.depEnd;
        n.depEnd = n.depBegin;
    }
    depList.resize(at);
    for (size_t i = 0; i < nodes.size(); ++i)
        for (int p : precedentsOf(nodes[i])) depList[nodes[size_t(p)].depEnd++] = int(i);
}

int Graph::nodeOf(uint64_t k) const {
    auto it = std::lower_bound(nodeAt.begin(), nodeAt.end(), std::pair<uint64_t, int>(k, -1));
    return it != nodeAt.end() && it->first == k ? it->second : -1;
}

void Graph::usersOf(int sheet, const CellRange& r, std::vector<int>& out) const {
    const bool small =
        size_t(r.lastRow - r.firstRow + 1) * size_t(r.lastColumn - r.firstColumn + 1) <= 4096;
    if (small) {
        for (int row = r.firstRow; row <= r.lastRow; ++row)
            for (int c = r.firstColumn; c <= r.lastColumn; ++c) {
                const uint64_t k = key(sheet, row, c);
                auto it = std::lower_bound(cellUsers.begin(), cellUsers.end(),
                                           std::pair<uint64_t, int>(k, -1));
                for (; it != cellUsers.end() && it->first == k; ++it) out.push_back(it->second);
            }
    } else {
        for (const auto& [k, user] : cellUsers) {
            const int s = int(k >> 24), row = int((k >> 8) & 0xFFFF), c = int(k & 0xFF);
            if (s == sheet && r.contains(row, c)) out.push_back(user);
        }
    }
    if (sheet < 0 || size_t(sheet) >= buckets.size()) return;
    const auto& sheetBuckets = buckets[size_t(sheet)];
    const int last = std::min(r.lastRow / kBucketRows, int(sheetBuckets.size()) - 1);
    for (int b = r.firstRow / kBucketRows; b <= last; ++b)
        for (int use : sheetBuckets[size_t(b)]) {
            const AreaUse& u = areaUses[size_t(use)];
            const CellRange& a = u.range;
            if (a.firstRow <= r.lastRow && a.lastRow >= r.firstRow &&
                a.firstColumn <= r.lastColumn && a.lastColumn >= r.firstColumn)
                out.push_back(u.node);
        }
}

std::vector<int> Graph::order(const std::vector<int>& subset, std::vector<char>& cyclic) const {
    const size_t n = nodes.size();
    std::vector<char> inSubset(n, 0);
    for (int v : subset) inSubset[size_t(v)] = 1;
    std::vector<int> index(n, -1), low(n, 0);
    std::vector<char> onStack(n, 0);
    std::vector<int> stack, out;
    out.reserve(subset.size());
    cyclic.assign(n, 0);
    int counter = 0;
    struct Frame {
        int v;
        size_t edge;
    };
    std::vector<Frame> calls;
    for (int start : subset) {
        if (index[size_t(start)] >= 0) continue;
        calls.push_back({start, 0});
        index[size_t(start)] = low[size_t(start)] = counter++;
        stack.push_back(start);
        onStack[size_t(start)] = 1;
        while (!calls.empty()) {
            Frame& f = calls.back();
            const Node& node = nodes[size_t(f.v)];
            const std::span<const int> prec = precedentsOf(node);
            if (f.edge < prec.size()) {
                const int w = prec[f.edge++];
                if (!inSubset[size_t(w)]) continue;
                if (index[size_t(w)] < 0) {
                    index[size_t(w)] = low[size_t(w)] = counter++;
                    stack.push_back(w);
                    onStack[size_t(w)] = 1;
                    calls.push_back({w, 0});
                } else if (onStack[size_t(w)]) {
                    low[size_t(f.v)] = std::min(low[size_t(f.v)], index[size_t(w)]);
                }
                continue;
            }
            const int v = f.v;
            calls.pop_back();
            if (!calls.empty())
                low[size_t(calls.back().v)] = std::min(low[size_t(calls.back().v)], low[size_t(v)]);
            if (low[size_t(v)] != index[size_t(v)]) continue;
            // v is the root of a group: everything above it on the stack.
            const auto from = std::find(stack.rbegin(), stack.rend(), v).base() - 1;
            const bool selfLoop =
                std::binary_search(precedentsOf(node).begin(), precedentsOf(node).end(), v);
            const bool cycle = (stack.end() - from) > 1 || selfLoop;
            for (auto it = from; it != stack.end(); ++it) {
                onStack[size_t(*it)] = 0;
                if (cycle)
                    cyclic[size_t(*it)] = 1;
                else
                    out.push_back(*it);
            }
            stack.erase(from, stack.end());
        }
    }
    return out;
}

namespace {

Cell* mutableCell(Sheet& sheet, int row, int column) {
    auto r = std::lower_bound(sheet.rows.begin(), sheet.rows.end(), row,
                              [](const Row& x, int index) { return x.index < index; });
    if (r == sheet.rows.end() || r->index != row) return nullptr;
    auto c = std::lower_bound(r->cells.begin(), r->cells.end(), column,
                              [](const Cell& x, int col) { return x.column < col; });
    return c != r->cells.end() && c->column == column ? &*c : nullptr;
}

// Puts a result into a cell; true when its value changed.
bool store(Cell& cell, const Value& v) {
    CellType type = CellType::Number;
    double number = 0;
    bool b = false;
    uint8_t error = 0;
    QString text;
    switch (v.kind) {
    case Value::Number:
        number = v.number == 0 ? 0.0 : v.number;
        break;
    case Value::Text:
        type = CellType::Text;
        text = v.text;
        break;
    case Value::Bool:
        type = CellType::Bool;
        b = v.boolean;
        break;
    case Value::Err:
        type = CellType::Error;
        error = v.error;
        break;
    case Value::FuncName:
        type = CellType::Error;
        error = kName;
        break;
    default: // an empty cell read by a formula gives 0
        break;
    }
    const bool same =
        cell.type == type && (type == CellType::Number  ? cell.number == number
                              : type == CellType::Text  ? cell.text == text && cell.runs.isEmpty()
                              : type == CellType::Bool  ? cell.boolValue == b
                              : type == CellType::Error ? cell.errorCode == error
                                                        : true);
    if (same) return false;
    cell.type = type;
    cell.number = number;
    cell.text = text;
    cell.runs.clear();
    cell.boolValue = b;
    cell.errorCode = error;
    return true;
}

} // namespace

bool evaluateNode(Workbook& book, const Node& node, Context& ctx,
                  std::vector<CellAddress>* changed) {
    Sheet& sheet = book.sheets[size_t(node.sheet)];
    ctx.sheet = node.sheet;
    ctx.row = node.row;
    ctx.column = node.column;
    if (node.array < 0) {
        Cell* cell = mutableCell(sheet, node.row, node.column);
        if (!cell || !cell->formula) return false;
        const std::shared_ptr<const Formula> f = cell->formula;
        ctx.arrayMode = false;
        std::optional<Value> v = evaluateTokens(ctx, f->tokens, f->extra);
        if (!v) return false;
        // Evaluation only reads the workbook: the cell is where it was.
        const Value result = toScalar(ctx, *v);
        if (store(*cell, result) && changed)
            changed->push_back({node.sheet, node.row, node.column});
        return true;
    }
    if (size_t(node.array) >= sheet.arrayFormulas.size()) return false;
    const ArrayFormula af = sheet.arrayFormulas[size_t(node.array)];
    ctx.arrayMode = true;
    ctx.arrayRange = af.range;
    std::optional<Value> v = evaluateTokens(ctx, af.formula.tokens, af.formula.extra);
    ctx.arrayMode = false;
    if (!v) return false;
    const bool whole =
        (v->kind == Value::Ref && !v->areas && v->area.firstSheet == v->area.lastSheet) ||
        v->kind == Value::Array;
    std::optional<Table> t = whole ? toTable(ctx, *v) : toTable(ctx, toScalar(ctx, *v));
    if (!t) return false;
    for (int r = af.range.firstRow; r <= af.range.lastRow; ++r)
        for (int c = af.range.firstColumn; c <= af.range.lastColumn; ++c) {
            Cell* cell = mutableCell(sheet, r, c);
            if (!cell) continue;
            const int rr = t->rows == 1 ? 0 : r - af.range.firstRow;
            const int cc = t->columns == 1 ? 0 : c - af.range.firstColumn;
            const Value x = rr < t->rows && cc < t->columns ? t->at(rr, cc) : Value::err(kNA);
            if (store(*cell, x) && changed) changed->push_back({node.sheet, r, c});
        }
    return true;
}

void clockNow(double& today, double& now, bool date1904) {
    const QDateTime t = QDateTime::currentDateTime();
    const QDate d = t.date();
    today = dateSerial(d.year(), d.month(), d.day(), date1904);
    now = today + t.time().msecsSinceStartOfDay() / 86400000.0;
}

} // namespace tovera::calc

namespace tovera {

using calc::Graph;

FormulaEngine::FormulaEngine(Workbook& book) : book_(book) {}
FormulaEngine::~FormulaEngine() = default;

calc::Graph& FormulaEngine::graph() {
    if (!graph_) {
        graph_ = std::make_unique<Graph>();
        graph_->build(book_);
    }
    return *graph_;
}

void FormulaEngine::formulasChanged() {
    graph_.reset();
}

void FormulaEngine::setClock(double today, double now) {
    fixedClock_ = true;
    today_ = today;
    now_ = now;
}

RecalcResult FormulaEngine::run(const std::vector<int>& nodes, bool) {
    Graph& g = graph();
    RecalcResult result;
    std::vector<char> cyclic;
    const std::vector<int> order = g.order(nodes, cyclic);
    result.circular = order.size() < nodes.size();
    calc::Context ctx(book_);
    if (fixedClock_) {
        ctx.today = today_;
        ctx.now = now_;
    } else {
        calc::clockNow(ctx.today, ctx.now, book_.dateSystem1904);
    }
    for (int v : order) {
        ctx.unsupported = false;
        ctx.depth = 0;
        if (calc::evaluateNode(book_, g.nodes[size_t(v)], ctx, &result.changed)) ++result.evaluated;
    }
    return result;
}

RecalcResult FormulaEngine::recalculateAll() {
    Graph& g = graph();
    std::vector<int> all(g.nodes.size());
    for (size_t i = 0; i < all.size(); ++i) all[i] = int(i);
    return run(all, true);
}

RecalcResult FormulaEngine::cellsChanged(int sheet, const std::vector<CellRange>& ranges) {
    Graph& g = graph();
    std::vector<int> start;
    for (const CellRange& r : ranges) {
        g.usersOf(sheet, r, start);
        if (size_t(r.lastRow - r.firstRow + 1) * size_t(r.lastColumn - r.firstColumn + 1) <= 4096) {
            for (int row = r.firstRow; row <= r.lastRow; ++row)
                for (int c = r.firstColumn; c <= r.lastColumn; ++c) {
                    const int node = g.nodeOf(Graph::key(sheet, row, c));
                    if (node >= 0) start.push_back(node);
                }
        } else {
            for (size_t i = 0; i < g.nodes.size(); ++i)
                if (g.nodes[i].sheet == sheet && r.contains(g.nodes[i].row, g.nodes[i].column))
                    start.push_back(int(i));
        }
    }
    // Everything that reads them, directly or through other formulas.
    std::vector<char> seen(g.nodes.size(), 0);
    std::vector<int> dirty;
    for (int v : start)
        if (!seen[size_t(v)]) {
            seen[size_t(v)] = 1;
            dirty.push_back(v);
        }
    for (size_t i = 0; i < dirty.size(); ++i)
        for (int d : g.dependentsOf(g.nodes[size_t(dirty[i])]))
            if (!seen[size_t(d)]) {
                seen[size_t(d)] = 1;
                dirty.push_back(d);
            }
    if (dirty.empty()) return {};
    return run(dirty, false);
}

} // namespace tovera
