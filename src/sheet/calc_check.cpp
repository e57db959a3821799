// Checking a workbook's stored formula results against a recalculation from scratch.

#include "sheet/calc.h"
#include "sheet/calc_graph.h"

#include <QLocale>
#include <cmath>

namespace tovera {

QString resultText(const Cell& cell) {
    switch (cell.type) {
    case CellType::Empty:
        return QStringLiteral("(empty)");
    case CellType::Number:
        return QString::number(cell.number, 'g', QLocale::FloatingPointShortest);
    case CellType::Text:
        return QLatin1Char('"') + cell.text + QLatin1Char('"');
    case CellType::Bool:
        return cell.boolValue ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    case CellType::Error:
        return errorText(cell.errorCode);
    }
    return {};
}

namespace {

bool sameResult(const Cell& stored, const Cell& computed) {
    if (stored.type == CellType::Number && computed.type == CellType::Number) {
        const double a = stored.number, b = computed.number;
        return a == b || calc::round15(a) == calc::round15(b);
    }
    // Writers without a boolean type store TRUE and FALSE as 1 and 0.
    if (stored.type == CellType::Number && computed.type == CellType::Bool)
        return stored.number == (computed.boolValue ? 1 : 0);
    if (stored.type != computed.type) return false;
    switch (stored.type) {
    case CellType::Text:
        return stored.text == computed.text;
    case CellType::Bool:
        return stored.boolValue == computed.boolValue;
    case CellType::Error:
        return stored.errorCode == computed.errorCode;
    default:
        return true;
    }
}

} // namespace

RecalcCheck checkRecalculation(const Workbook& original) {
    RecalcCheck check;
    Workbook book = original;
    calc::Graph graph;
    graph.build(book);
    std::vector<int> all(graph.nodes.size());
    for (size_t i = 0; i < all.size(); ++i) all[i] = int(i);
    std::vector<char> cyclic;
    const std::vector<int> order = graph.order(all, cyclic);
    calc::Context ctx(book);
    calc::clockNow(ctx.today, ctx.now, book.dateSystem1904);
    // Why each formula is not compared ("" when it is).
    std::vector<QString> skipped(graph.nodes.size());
    for (size_t i = 0; i < graph.nodes.size(); ++i)
        if (cyclic[i]) skipped[i] = QStringLiteral("circular");
    for (int v : order) {
        const calc::Node& node = graph.nodes[size_t(v)];
        ctx.unsupported = false;
        ctx.volatileUsed = false;
        ctx.localeDependent = false;
        ctx.depth = 0;
        ctx.reason.clear();
        if (!calc::evaluateNode(book, node, ctx, nullptr)) {
            skipped[size_t(v)] =
                ctx.reason.isEmpty() ? QStringLiteral("not evaluated") : ctx.reason;
            continue;
        }
        if (ctx.localeDependent) {
            skipped[size_t(v)] = QStringLiteral("depends on the language settings");
            continue;
        }
        if (node.isVolatile || ctx.volatileUsed) {
            skipped[size_t(v)] = QStringLiteral("volatile");
            continue;
        }
        // A result calculated from one that could not be compared is not compared either.
        for (int p : graph.precedentsOf(node))
            if (skipped[size_t(p)] == QLatin1String("volatile") ||
                skipped[size_t(p)].startsWith(QLatin1String("after "))) {
                skipped[size_t(v)] = QStringLiteral("after volatile");
                break;
            }
    }
    for (size_t i = 0; i < graph.nodes.size(); ++i) {
        const calc::Node& node = graph.nodes[i];
        const Sheet& before = original.sheets[size_t(node.sheet)];
        const Sheet& after = book.sheets[size_t(node.sheet)];
        CellRange range{node.row, node.row, node.column, node.column};
        if (node.array >= 0) range = before.arrayFormulas[size_t(node.array)].range;
        for (int r = range.firstRow; r <= range.lastRow; ++r)
            for (int c = range.firstColumn; c <= range.lastColumn; ++c) {
                const Cell* stored = before.cell(r, c);
                const Cell* computed = after.cell(r, c);
                if (!stored || !computed) continue;
                ++check.checked;
                if (!skipped[i].isEmpty()) {
                    ++check.unsupported;
                    ++check.reasons[skipped[i]];
                } else if (sameResult(*stored, *computed)) {
                    ++check.equal;
                } else {
                    ++check.differ;
                    check.differences.push_back(
                        {{node.sheet, r, c}, resultText(*stored), resultText(*computed)});
                }
            }
    }
    return check;
}

} // namespace tovera
