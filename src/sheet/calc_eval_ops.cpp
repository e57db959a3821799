// The operators of the formula evaluator: arithmetic, comparison, concatenation, ranges
// and percent on scalars, and element by element on arrays.

#include "sheet/biff.h"
#include "sheet/calc_evaluator.h"

#include <cmath>

namespace tovera::calc {

namespace {

constexpr size_t kMaxArrayCells = 1'000'000;

} // namespace

Value refToArray(Context& ctx, const Value& v) {
    if (v.kind != Value::Ref) return v;
    if (v.areas || v.area.firstSheet != v.area.lastSheet) return Value::err(kValue);
    const Area& a = v.area;
    const size_t n = size_t(a.rows()) * size_t(a.columns());
    if (n > kMaxArrayCells) return Value::err(kValue);
    std::vector<Value> values(n);
    for (int r = 0; r < a.rows(); ++r)
        for (int c = 0; c < a.columns(); ++c) {
            Value x =
                cellValue(ctx.book, a.firstSheet, a.range.firstRow + r, a.range.firstColumn + c);
            values[size_t(r) * size_t(a.columns()) + size_t(c)] = std::move(x);
        }
    return makeArray(a.rows(), a.columns(), std::move(values));
}

namespace {

// Calls `op` on the elements of two arrays (a scalar or a one-row or one-column array
// stretches); positions outside both shapes give #N/A.
template <typename Op> Value elementwise(const Value& a, const Value& b, Op&& op) {
    auto dims = [](const Value& v, int& r, int& c) {
        if (v.kind == Value::Array) {
            r = v.matrix->rows;
            c = v.matrix->columns;
        } else {
            r = c = 1;
        }
    };
    int ar, ac, br, bc;
    dims(a, ar, ac);
    dims(b, br, bc);
    const int rows = std::max(ar, br), columns = std::max(ac, bc);
    auto elem = [](const Value& v, int vr, int vc, int r, int c, bool& ok) -> Value {
        if (v.kind != Value::Array) return v;
        const int rr = vr == 1 ? 0 : r, cc = vc == 1 ? 0 : c;
        if (rr >= vr || cc >= vc) {
            ok = false;
            return {};
        }
        return v.matrix->at(rr, cc);
    };
    std::vector<Value> out;
    out.reserve(size_t(rows) * size_t(columns));
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c) {
            bool ok = true;
            Value x = elem(a, ar, ac, r, c, ok);
            Value y = elem(b, br, bc, r, c, ok);
            out.push_back(ok ? op(x, y) : Value::err(kNA));
        }
    return makeArray(rows, columns, std::move(out));
}

Value scalarBinary(uint8_t op, const Value& a, const Value& b) {
    if (op == 0x08) { // &
        const Value x = toText(a);
        if (x.isError()) return x;
        const Value y = toText(b);
        if (y.isError()) return y;
        if (x.text.size() + y.text.size() > 32767) return Value::err(kValue);
        return Value::str(x.text + y.text);
    }
    if (op >= 0x09 && op <= 0x0E) { // comparisons
        if (a.isError()) return a;
        if (b.isError()) return b;
        const int c = compareValues(a, b);
        switch (op) {
        case 0x09:
            return Value::boolean_(c < 0);
        case 0x0A:
            return Value::boolean_(c <= 0);
        case 0x0B:
            return Value::boolean_(c == 0);
        case 0x0C:
            return Value::boolean_(c >= 0);
        case 0x0D:
            return Value::boolean_(c > 0);
        default:
            return Value::boolean_(c != 0);
        }
    }
    const Value x = toNumber(a);
    if (x.isError()) return x;
    const Value y = toNumber(b);
    if (y.isError()) return y;
    double r = 0;
    switch (op) {
    case 0x03:
        r = x.number + y.number;
        break;
    case 0x04:
        r = x.number - y.number;
        break;
    case 0x05:
        r = x.number * y.number;
        break;
    case 0x06:
        if (y.number == 0) return Value::err(kDiv0);
        r = x.number / y.number;
        break;
    case 0x07:
        if (x.number == 0 && y.number == 0) return Value::err(kNum);
        if (x.number == 0 && y.number < 0) return Value::err(kDiv0);
        r = std::pow(x.number, y.number);
        break;
    default:
        return Value::err(kValue);
    }
    if (!std::isfinite(r)) return Value::err(kNum);
    return Value::num(r);
}

} // namespace

Value Evaluator::binary(uint8_t op, const Value& a, const Value& b) {
    const bool arrays = ctx_.arrayMode || a.kind == Value::Array || b.kind == Value::Array ||
                        (a.kind == Value::Ref && a.arrayForm) ||
                        (b.kind == Value::Ref && b.arrayForm);
    if (!arrays) return scalarBinary(op, toScalar(ctx_, a), toScalar(ctx_, b));
    const Value x = refToArray(ctx_, a), y = refToArray(ctx_, b);
    if (x.kind != Value::Array && y.kind != Value::Array)
        return scalarBinary(op, toScalar(ctx_, x), toScalar(ctx_, y));
    return elementwise(x, y,
                       [op](const Value& p, const Value& q) { return scalarBinary(op, p, q); });
}

Value Evaluator::unary(uint8_t op, const Value& a) {
    auto one = [op](const Value& v) -> Value {
        if (op == 0x12) return v; // unary plus leaves the value as it is
        const Value n = toNumber(v);
        if (n.isError()) return n;
        return Value::num(op == 0x13 ? -n.number : n.number / 100);
    };
    const bool arrays =
        ctx_.arrayMode || a.kind == Value::Array || (a.kind == Value::Ref && a.arrayForm);
    if (!arrays) return one(toScalar(ctx_, a));
    const Value x = refToArray(ctx_, a);
    if (x.kind != Value::Array) return one(toScalar(ctx_, x));
    return elementwise(x, Value(), [&one](const Value& p, const Value&) { return one(p); });
}

} // namespace tovera::calc
