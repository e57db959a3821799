// Worksheet functions that look values up in tables, and the functions that tell what a
// value is.

#include "sheet/calc_internal.h"

#include <cmath>

namespace tovera::calc {

namespace {

// Rows of a table read from a sheet stop at the sheet's last row: the rest are empty.
int usedRows(Context& ctx, const Table& t) {
    if (!t.book) return t.rows;
    const auto& sheets = ctx.book.sheets;
    if (t.area.firstSheet < 0 || size_t(t.area.firstSheet) >= sheets.size()) return 0;
    const auto& rows = sheets[size_t(t.area.firstSheet)].rows;
    const int last = rows.empty() ? -1 : rows.back().index;
    return std::clamp(last - t.area.range.firstRow + 1, 0, t.rows);
}

bool sameKind(const Value& a, const Value& b) {
    return a.kind == b.kind;
}

bool equalForLookup(const Value& wanted, const Value& v) {
    if (wanted.kind == Value::Text && v.kind == Value::Text) {
        if (wanted.text.contains(QLatin1Char('*')) || wanted.text.contains(QLatin1Char('?')) ||
            wanted.text.contains(QLatin1Char('~')))
            return wildcardMatch(wanted.text, v.text);
        return wanted.text.compare(v.text, Qt::CaseInsensitive) == 0;
    }
    return sameKind(wanted, v) && compareValues(wanted, v) == 0;
}

// The position of `wanted` among `count` values `at(i)`: exact (type 0), the last not
// above it in ascending data (type 1) or the last not below it in descending data (-1).
// -1 when none.
template <typename At> int findIn(const Value& wanted, int count, int type, At&& at) {
    if (type == 0) {
        for (int i = 0; i < count; ++i)
            if (equalForLookup(wanted, at(i))) return i;
        return -1;
    }
    if (type < 0) {
        int found = -1;
        for (int i = 0; i < count; ++i) {
            const Value v = at(i);
            if (!sameKind(wanted, v)) continue;
            if (compareValues(v, wanted) < 0) break;
            found = i;
        }
        return found;
    }
    // Ascending data is searched by halves, as spreadsheet programs do: on data that is not
    // sorted the answer is theirs, not the first match. Values of another kind are passed
    // over towards the start.
    int lo = 0, hi = count - 1, found = -1;
    while (lo <= hi) {
        const int mid = lo + (hi - lo) / 2;
        int m = mid;
        while (m >= lo && !sameKind(wanted, at(m))) --m;
        if (m < lo) {
            lo = mid + 1;
            continue;
        }
        if (compareValues(at(m), wanted) <= 0) {
            found = m;
            lo = mid + 1;
        } else {
            hi = m - 1;
        }
    }
    return found;
}

Value tableLookup(Context& ctx, Args& args, bool vertical) {
    const Value wanted = toScalar(ctx, args[0]);
    if (wanted.isError()) return wanted;
    auto table = toTable(ctx, args[1]);
    if (!table) return Value::err(kValue);
    double index;
    bool approximate;
    Value failure;
    if (!argNumber(args, 2, index, failure) || !argBool(args, 3, approximate, failure, true))
        return failure;
    const int k = int(std::trunc(index)) - 1;
    const int along = vertical ? usedRows(ctx, *table) : table->columns;
    const int across = vertical ? table->columns : table->rows;
    if (k < 0) return Value::err(kValue);
    if (k >= across) return Value::err(kRef);
    const int i = findIn(wanted, along, approximate ? 1 : 0,
                         [&](int n) { return vertical ? table->at(n, 0) : table->at(0, n); });
    if (i < 0) return Value::err(kNA);
    const Value v = vertical ? table->at(i, k) : table->at(k, i);
    return v;
}

} // namespace

Value fnVLookup(Context& ctx, Args& args) {
    return tableLookup(ctx, args, true);
}

Value fnHLookup(Context& ctx, Args& args) {
    return tableLookup(ctx, args, false);
}

Value fnLookup(Context& ctx, Args& args) {
    const Value wanted = toScalar(ctx, args[0]);
    if (wanted.isError()) return wanted;
    auto in = toTable(ctx, args[1]);
    if (!in) return Value::err(kValue);
    const int rows = usedRows(ctx, *in);
    if (args.size() < 3) {
        // The array form: search the first row or column, give the last one's value.
        const bool across = in->columns > in->rows;
        const int count = across ? in->columns : rows;
        const int i =
            findIn(wanted, count, 1, [&](int n) { return across ? in->at(0, n) : in->at(n, 0); });
        if (i < 0) return Value::err(kNA);
        return across ? in->at(in->rows - 1, i) : in->at(i, in->columns - 1);
    }
    auto out = toTable(ctx, args[2]);
    if (!out) return Value::err(kValue);
    const bool across = in->rows == 1;
    const int count = across ? in->columns : rows;
    const int i =
        findIn(wanted, count, 1, [&](int n) { return across ? in->at(0, n) : in->at(n, 0); });
    if (i < 0) return Value::err(kNA);
    if (out->rows == 1) return i < out->columns ? out->at(0, i) : Value::err(kNA);
    return i < out->rows ? out->at(i, 0) : Value::err(kNA);
}

Value fnMatch(Context& ctx, Args& args) {
    const Value wanted = toScalar(ctx, args[0]);
    if (wanted.isError()) return wanted;
    auto in = toTable(ctx, args[1]);
    if (!in) return Value::err(kNA);
    double type;
    Value failure;
    if (!argNumber(args, 2, type, failure, 1)) return failure;
    if (in->rows > 1 && in->columns > 1) return Value::err(kNA);
    const bool across = in->rows == 1 && in->columns > 1;
    const int count = across ? in->columns : usedRows(ctx, *in);
    const int t = type > 0 ? 1 : type < 0 ? -1 : 0;
    const int i =
        findIn(wanted, count, t, [&](int n) { return across ? in->at(0, n) : in->at(n, 0); });
    if (i < 0) return Value::err(kNA);
    return Value::num(i + 1);
}

Value fnIndex(Context&, Args& args) {
    double r, c, areaNo;
    Value failure;
    if (!argNumber(args, 1, r, failure) || !argNumber(args, 2, c, failure) ||
        !argNumber(args, 3, areaNo, failure, 1))
        return failure;
    Value source = args[0];
    if (source.kind == Value::Err) return source;
    if (source.kind == Value::Ref && source.areas) {
        const int k = int(areaNo) - 1;
        if (k < 0 || size_t(k) >= source.areas->size()) return Value::err(kRef);
        source = Value::ref((*source.areas)[size_t(k)]);
    }
    int rows, columns;
    if (source.kind == Value::Ref) {
        rows = source.area.rows();
        columns = source.area.columns();
    } else if (source.kind == Value::Array) {
        rows = source.matrix->rows;
        columns = source.matrix->columns;
    } else {
        rows = columns = 1;
    }
    int row = int(std::trunc(r)), column = int(std::trunc(c));
    if (row < 0 || column < 0) return Value::err(kValue);
    // One index into a single row or column counts along it.
    if (!hasArg(args, 2) && rows == 1 && columns > 1) {
        column = row;
        row = 1;
    }
    if (row > rows || column > columns) return Value::err(kRef);
    if (source.kind == Value::Ref) {
        Area a = source.area;
        if (row > 0) a.range.firstRow = a.range.lastRow = source.area.range.firstRow + row - 1;
        if (column > 0)
            a.range.firstColumn = a.range.lastColumn = source.area.range.firstColumn + column - 1;
        return Value::ref(a);
    }
    if (source.kind == Value::Array) {
        if (row == 0 || column == 0) {
            if (rows == 1 && row == 0 && column > 0) return source.matrix->at(0, column - 1);
            if (columns == 1 && column == 0 && row > 0) return source.matrix->at(row - 1, 0);
            return Value::err(kValue);
        }
        return source.matrix->at(row - 1, column - 1);
    }
    return source;
}

namespace {
// ROW and COLUMN: of the formula's own cell or of a reference; in an array formula the
// rows (columns) of the whole range.
Value position(Context& ctx, Args& args, bool row) {
    CellRange r;
    if (!hasArg(args, 0)) {
        r = ctx.arrayMode ? ctx.arrayRange : CellRange{ctx.row, ctx.row, ctx.column, ctx.column};
    } else {
        if (args[0].kind != Value::Ref || args[0].areas) return Value::err(kValue);
        r = args[0].area.range;
    }
    const int first = row ? r.firstRow : r.firstColumn;
    const int count = row ? r.lastRow - r.firstRow + 1 : r.lastColumn - r.firstColumn + 1;
    if (!ctx.arrayMode || count == 1) return Value::num(first + 1);
    std::vector<Value> values;
    for (int i = 0; i < count; ++i) values.push_back(Value::num(first + i + 1));
    return row ? makeArray(count, 1, std::move(values)) : makeArray(1, count, std::move(values));
}
} // namespace

Value fnRow(Context& ctx, Args& args) {
    return position(ctx, args, true);
}

Value fnColumn(Context& ctx, Args& args) {
    return position(ctx, args, false);
}

Value fnRows(Context&, Args& args) {
    const Value& v = args[0];
    if (v.kind == Value::Ref && !v.areas) return Value::num(v.area.rows());
    if (v.kind == Value::Array) return Value::num(v.matrix->rows);
    if (v.kind == Value::Err) return v;
    return v.kind == Value::Ref ? Value::err(kRef) : Value::num(1);
}

Value fnColumns(Context&, Args& args) {
    const Value& v = args[0];
    if (v.kind == Value::Ref && !v.areas) return Value::num(v.area.columns());
    if (v.kind == Value::Array) return Value::num(v.matrix->columns);
    if (v.kind == Value::Err) return v;
    return v.kind == Value::Ref ? Value::err(kRef) : Value::num(1);
}

// --- what a value is ---------------------------------------------------------------------

Value fnIsNa(Context&, Args& args) {
    return Value::boolean_(args[0].kind == Value::Err && args[0].error == kNA);
}
Value fnIsError(Context&, Args& args) {
    return Value::boolean_(args[0].kind == Value::Err);
}
Value fnIsErr(Context&, Args& args) {
    return Value::boolean_(args[0].kind == Value::Err && args[0].error != kNA);
}
Value fnIsBlank(Context&, Args& args) {
    return Value::boolean_(args[0].kind == Value::Empty);
}
Value fnIsNumber(Context&, Args& args) {
    return Value::boolean_(args[0].kind == Value::Number);
}
Value fnIsText(Context&, Args& args) {
    return Value::boolean_(args[0].kind == Value::Text);
}
Value fnIsNonText(Context&, Args& args) {
    return Value::boolean_(args[0].kind != Value::Text);
}
Value fnIsLogical(Context&, Args& args) {
    return Value::boolean_(args[0].kind == Value::Bool);
}
Value fnIsRef(Context&, Args& args) {
    return Value::boolean_(args[0].kind == Value::Ref);
}

Value fnN(Context& ctx, Args& args) {
    const Value& a = args[0];
    const Value v = a.kind == Value::Ref
                        ? cellValue(ctx.book, a.area.firstSheet, a.area.range.firstRow,
                                    a.area.range.firstColumn)
                        : toScalar(ctx, a);
    switch (v.kind) {
    case Value::Number:
    case Value::Err:
        return v;
    case Value::Bool:
        return Value::num(v.boolean ? 1 : 0);
    default:
        return Value::num(0);
    }
}

Value fnT(Context&, Args& args) {
    const Value& v = args[0];
    if (v.kind == Value::Text || v.kind == Value::Err) return v;
    return Value::str(QString());
}

Value fnNa(Context&, Args&) {
    return Value::err(kNA);
}

Value fnErrorType(Context&, Args& args) {
    if (args[0].kind != Value::Err) return Value::err(kNA);
    switch (args[0].error) {
    case kNull:
        return Value::num(1);
    case kDiv0:
        return Value::num(2);
    case kValue:
        return Value::num(3);
    case kRef:
        return Value::num(4);
    case kName:
        return Value::num(5);
    case kNum:
        return Value::num(6);
    default:
        return Value::num(7);
    }
}

Value fnType(Context& ctx, Args& args) {
    const Value v = args[0].kind == Value::Ref ? toScalar(ctx, args[0]) : args[0];
    switch (v.kind) {
    case Value::Text:
        return Value::num(2);
    case Value::Bool:
        return Value::num(4);
    case Value::Err:
        return Value::num(16);
    case Value::Array:
        return Value::num(64);
    default:
        return Value::num(1);
    }
}

Value fnIfError(Context&, Args& args) {
    if (args.size() != 2) return Value::err(kValue);
    if (args[0].kind == Value::Err) return args[1].kind == Value::Missing ? Value::num(0) : args[1];
    return args[0].kind == Value::Missing ? Value::num(0) : args[0];
}

} // namespace tovera::calc
