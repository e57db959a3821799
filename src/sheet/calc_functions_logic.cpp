// Worksheet functions of logic: AND, OR, NOT, TRUE, FALSE, IF and CHOOSE.

#include "sheet/calc_functions.h"

#include <cmath>

namespace tovera::calc {

namespace {

Value logical(Context& ctx, Args& args, bool isAnd) {
    bool any = false, result = isAnd;
    Value failure;
    const bool ok = eachValue(ctx, args, failure, [&](const Value& v, bool inRange, Value& error) {
        if ((v.kind == Value::Text && inRange) || v.kind == Value::Empty) return true;
        const Value b = toBool(v);
        if (b.isError()) {
            error = b;
            return false;
        }
        any = true;
        result = isAnd ? (result && b.boolean) : (result || b.boolean);
        return true;
    });
    if (!ok) return failure;
    if (!any) return Value::err(kValue);
    return Value::boolean_(result);
}
} // namespace

Value fnAnd(Context& ctx, Args& args) {
    return logical(ctx, args, true);
}
Value fnOr(Context& ctx, Args& args) {
    return logical(ctx, args, false);
}

Value fnNot(Context&, Args& args) {
    const Value b = toBool(args[0]);
    return b.isError() ? b : Value::boolean_(!b.boolean);
}

Value fnTrue(Context&, Args&) {
    return Value::boolean_(true);
}
Value fnFalse(Context&, Args&) {
    return Value::boolean_(false);
}

Value fnIf(Context& ctx, Args& args) {
    const Value c = toBool(toScalar(ctx, args[0]));
    if (c.isError()) return c;
    if (c.boolean) {
        if (!hasArg(args, 1)) return args.size() > 1 ? Value::num(0) : Value::boolean_(true);
        return args[1];
    }
    if (args.size() < 3) return Value::boolean_(false);
    if (!hasArg(args, 2)) return Value::num(0);
    return args[2];
}

Value fnChoose(Context& ctx, Args& args) {
    const Value i = toNumber(toScalar(ctx, args[0]));
    if (i.isError()) return i;
    const double k = std::trunc(i.number);
    if (k < 1 || k >= double(args.size())) return Value::err(kValue);
    const Value& v = args[size_t(k)];
    return v.kind == Value::Missing ? Value::num(0) : v;
}

} // namespace tovera::calc
