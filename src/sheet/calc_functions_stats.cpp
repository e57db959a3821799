// Worksheet functions of statistics and of conditions: STDEV, VAR, MEDIAN, LARGE, SMALL,
// RANK, SUMIF, COUNTIF and SUMPRODUCT.

#include "sheet/calc_internal.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace tovera::calc {

// The numbers of the arguments, for the statistics functions.
static bool collectNumbers(Context& ctx, const Args& args, std::vector<double>& out,
                           Value& failure) {
    return eachNumber(ctx, args, failure, [&](double x) { out.push_back(x); });
}

static Value variance(Context& ctx, Args& args, bool sample, bool root) {
    std::vector<double> xs;
    Value failure;
    if (!collectNumbers(ctx, args, xs, failure)) return failure;
    const size_t n = xs.size();
    if (n < (sample ? 2u : 1u)) return Value::err(kDiv0);
    double mean = 0;
    for (double x : xs) mean += x;
    mean /= double(n);
    double ss = 0;
    for (double x : xs) ss += (x - mean) * (x - mean);
    const double v = ss / double(sample ? n - 1 : n);
    return Value::num(root ? std::sqrt(v) : v);
}

Value fnStdev(Context& ctx, Args& args) {
    return variance(ctx, args, true, true);
}
Value fnStdevp(Context& ctx, Args& args) {
    return variance(ctx, args, false, true);
}
Value fnVar(Context& ctx, Args& args) {
    return variance(ctx, args, true, false);
}
Value fnVarp(Context& ctx, Args& args) {
    return variance(ctx, args, false, false);
}

Value fnMedian(Context& ctx, Args& args) {
    std::vector<double> xs;
    Value failure;
    if (!collectNumbers(ctx, args, xs, failure)) return failure;
    if (xs.empty()) return Value::err(kNum);
    std::sort(xs.begin(), xs.end());
    const size_t n = xs.size();
    return Value::num(n % 2 ? xs[n / 2] : (xs[n / 2 - 1] + xs[n / 2]) / 2);
}

static Value kth(Context& ctx, Args& args, bool largest) {
    std::vector<double> xs;
    Value failure;
    Args first{args[0]};
    if (!collectNumbers(ctx, first, xs, failure)) return failure;
    double k;
    if (!argNumber(args, 1, k, failure)) return failure;
    const double kk = std::ceil(k);
    if (xs.empty() || kk < 1 || kk > double(xs.size())) return Value::err(kNum);
    std::sort(xs.begin(), xs.end());
    const size_t i = size_t(kk) - 1;
    return Value::num(largest ? xs[xs.size() - 1 - i] : xs[i]);
}
Value fnLarge(Context& ctx, Args& args) {
    return kth(ctx, args, true);
}
Value fnSmall(Context& ctx, Args& args) {
    return kth(ctx, args, false);
}

// Criteria of SUMIF and COUNTIF: "<=5", "<>a", "ab*", 7, TRUE.
namespace {
struct Criterion {
    int op = 0; // 0 =, 1 <>, 2 <, 3 <=, 4 >, 5 >=
    Value value;
    bool wildcard = false;
};
} // namespace

static Criterion makeCriterion(const Value& c) {
    Criterion k;
    if (c.kind != Value::Text) {
        k.value = c.kind == Value::Missing ? Value::num(0) : c;
        return k;
    }
    QString s = c.text;
    static const std::pair<const char*, int> ops[] = {{"<=", 3}, {">=", 5}, {"<>", 1},
                                                      {"<", 2},  {">", 4},  {"=", 0}};
    for (const auto& [text, op] : ops)
        if (s.startsWith(QLatin1String(text))) {
            k.op = op;
            s = s.mid(qsizetype(std::strlen(text)));
            break;
        }
    if (const auto n = parseNumberText(s, false)) {
        k.value = Value::num(*n);
    } else if (s.compare(QLatin1String("TRUE"), Qt::CaseInsensitive) == 0) {
        k.value = Value::boolean_(true);
    } else if (s.compare(QLatin1String("FALSE"), Qt::CaseInsensitive) == 0) {
        k.value = Value::boolean_(false);
    } else if (s.isEmpty()) {
        k.value = Value(); // empty cells
    } else {
        k.value = Value::str(s);
        k.wildcard = s.contains(QLatin1Char('*')) || s.contains(QLatin1Char('?'));
    }
    return k;
}

static bool meets(const Criterion& k, const Value& v) {
    if (v.kind == Value::Err)
        return k.value.kind == Value::Err && k.op == 0 && v.error == k.value.error;
    if (k.value.kind == Value::Empty) {
        const bool empty = v.kind == Value::Empty;
        return k.op == 1   ? !empty
               : k.op == 0 ? empty || (v.kind == Value::Text && v.text.isEmpty())
                           : false;
    }
    if (k.value.kind == Value::Text && (k.op == 0 || k.op == 1)) {
        bool eq;
        if (v.kind != Value::Text)
            eq = false;
        else if (k.wildcard)
            eq = wildcardMatch(k.value.text, v.text);
        else
            eq = v.text.compare(k.value.text, Qt::CaseInsensitive) == 0;
        return k.op == 0 ? eq : !eq;
    }
    Value x = v;
    if (k.value.kind == Value::Number && v.kind == Value::Text && k.op == 0) {
        if (const auto n = parseNumberText(v.text, false)) x = Value::num(*n);
    }
    if (k.op == 1) return x.kind != k.value.kind || compareValues(x, k.value) != 0;
    if (x.kind != k.value.kind) return false;
    const int c = compareValues(x, k.value);
    switch (k.op) {
    case 0:
        return c == 0;
    case 2:
        return c < 0;
    case 3:
        return c <= 0;
    case 4:
        return c > 0;
    default:
        return c >= 0;
    }
}

// The last row that holds anything in `sheet`, -1 for none.
static int lastRowOf(const Workbook& book, int sheet) {
    if (sheet < 0 || size_t(sheet) >= book.sheets.size()) return -1;
    const auto& rows = book.sheets[size_t(sheet)].rows;
    return rows.empty() ? -1 : rows.back().index;
}

static Value conditional(Context& ctx, Args& args, bool sum) {
    const Value& range = args[0];
    auto table = toTable(ctx, range);
    if (!table) return Value::err(kValue);
    const Criterion k = makeCriterion(toScalar(ctx, args[1]));
    std::optional<Table> values;
    if (sum && hasArg(args, 2)) {
        Value s = args[2];
        if (s.kind == Value::Ref) {
            s.area.range.lastRow = s.area.range.firstRow + table->rows - 1;
            s.area.range.lastColumn = s.area.range.firstColumn + table->columns - 1;
            if (s.area.range.lastRow > 65535 || s.area.range.lastColumn > 255)
                return Value::err(kValue);
        }
        values = toTable(ctx, s);
        if (!values) return Value::err(kValue);
    }
    int rows = table->rows;
    double skipped = 0;
    if (table->book) {
        const int last =
            lastRowOf(ctx.book, table->area.firstSheet) - table->area.range.firstRow + 1;
        if (last < rows) {
            skipped = double(rows - std::max(last, 0)) * table->columns;
            rows = std::max(last, 0);
        }
    }
    double total = 0;
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < table->columns; ++c) {
            if (!meets(k, table->at(r, c))) continue;
            if (!sum) {
                total += 1;
                continue;
            }
            const Value v =
                values ? (r < values->rows && c < values->columns ? values->at(r, c) : Value())
                       : table->at(r, c);
            if (v.kind == Value::Number)
                total += v.number;
            else if (v.kind == Value::Err)
                return v;
        }
    if (!sum && skipped > 0 && meets(k, Value())) total += skipped;
    return Value::num(total);
}
Value fnSumIf(Context& ctx, Args& args) {
    return conditional(ctx, args, true);
}
Value fnCountIf(Context& ctx, Args& args) {
    return conditional(ctx, args, false);
}

Value fnSumProduct(Context& ctx, Args& args) {
    std::vector<Table> tables;
    for (const Value& a : args) {
        if (a.kind == Value::Err) return a;
        auto t = toTable(ctx, a.kind == Value::Missing ? Value::err(kValue) : a);
        if (!t) return Value::err(kValue);
        if (!tables.empty() && (t->rows != tables[0].rows || t->columns != tables[0].columns))
            return Value::err(kValue);
        tables.push_back(std::move(*t));
    }
    if (tables.empty()) return Value::err(kValue);
    double sum = 0;
    for (int r = 0; r < tables[0].rows; ++r)
        for (int c = 0; c < tables[0].columns; ++c) {
            double p = 1;
            for (const Table& t : tables) {
                const Value v = t.at(r, c);
                if (v.kind == Value::Err) return v;
                p *= v.kind == Value::Number ? v.number : 0;
            }
            sum += p;
        }
    return Value::num(sum);
}

Value fnRank(Context& ctx, Args& args) {
    double x, order;
    Value failure;
    if (!argNumber(args, 0, x, failure) || !argNumber(args, 2, order, failure)) return failure;
    std::vector<double> xs;
    Args second{args[1]};
    if (!collectNumbers(ctx, second, xs, failure)) return failure;
    int rank = 1;
    bool found = false;
    for (double y : xs) {
        if (y == x) found = true;
        if (order == 0 ? y > x : y < x) ++rank;
    }
    return found ? Value::num(rank) : Value::err(kNA);
}

} // namespace tovera::calc
