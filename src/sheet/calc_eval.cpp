// The formula evaluator: a stack machine over the stored token arrays of Excel 97 (BIFF8)
// and of the older versions (BIFF2-5) as the reader keeps them.

#include "sheet/biff.h"
#include "sheet/calc_internal.h"

#include <cmath>
#include <cstring>

namespace tovera::calc {

namespace {

constexpr size_t kMaxArrayCells = 1'000'000;
constexpr int kMaxNameDepth = 16;

uint16_t get16(const uint8_t* p) {
    return uint16_t(p[0] | (p[1] << 8));
}

double getF64(const uint8_t* p) {
    double d;
    std::memcpy(&d, p, 8);
    return d;
}

class Evaluator {
public:
    Evaluator(Context& ctx, const QByteArray& tokens, const QByteArray& extra)
        : ctx_(ctx), biff_(ctx.book.biffVersion), tokens_(tokens), extra_(extra),
          stack_(ctx.stacks[size_t(std::min(ctx.depth, 17))]),
          args_(ctx.argBuffers[size_t(std::min(ctx.depth, 17))]) {
        stack_.clear();
    }

    std::optional<Value> run();

private:
    bool step(const uint8_t* p, long size);
    bool pushRef(const uint8_t* payload, int base, bool arrayClass);
    bool callFunction(int id, int argc);
    bool callByName(Args& args);
    bool pushName(int index);
    bool arrayConstant();
    Value pop() {
        Value v = std::move(stack_.back());
        stack_.pop_back();
        return v;
    }
    Value binary(uint8_t op, const Value& a, const Value& b);
    Value unary(uint8_t op, const Value& a);

    Context& ctx_;
    int biff_;
    const QByteArray& tokens_;
    const QByteArray& extra_;
    qsizetype extraPos_ = 0;
    std::vector<Value>& stack_;
    Args& args_;
};

} // namespace

namespace {

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

bool Evaluator::pushRef(const uint8_t* q, int base, bool arrayClass) {
    Area area;
    switch (decodeReference(ctx_.book, base, q, ctx_.sheet, ctx_.row, ctx_.column, area)) {
    case RefKind::Unsupported:
        ctx_.reason = QStringLiteral("external reference");
        return false;
    case RefKind::Error:
        stack_.push_back(Value::err(kRef));
        return true;
    case RefKind::Area:
        break;
    }
    Value v = Value::ref(area);
    v.arrayForm = arrayClass;
    stack_.push_back(std::move(v));
    return true;
}

bool Evaluator::arrayConstant() {
    const auto* e = reinterpret_cast<const uint8_t*>(extra_.constData());
    const qsizetype n = extra_.size();
    qsizetype& i = extraPos_;
    if (i + 3 > n) return false;
    const int columns = e[i] + 1;
    const int rows = get16(e + i + 1) + 1;
    i += 3;
    std::vector<Value> values;
    values.reserve(size_t(rows) * size_t(columns));
    for (int k = 0; k < rows * columns; ++k) {
        if (i + 1 > n) return false;
        const uint8_t type = e[i++];
        switch (type) {
        case 0x00:
            if (i + 8 > n) return false;
            values.emplace_back();
            i += 8;
            break;
        case 0x01:
            if (i + 8 > n) return false;
            values.push_back(Value::num(getF64(e + i)));
            i += 8;
            break;
        case 0x02: {
            if (biff_ == 8) {
                if (i + 3 > n) return false;
                const int cch = get16(e + i);
                const bool wide = e[i + 2] & 1;
                i += 3;
                const qsizetype bytes = wide ? 2 * cch : cch;
                if (i + bytes > n) return false;
                QString s;
                if (wide)
                    s = QString::fromUtf16(reinterpret_cast<const char16_t*>(e + i), cch);
                else
                    s = QString::fromLatin1(reinterpret_cast<const char*>(e + i), cch);
                values.push_back(Value::str(s));
                i += bytes;
            } else {
                if (i + 1 > n) return false;
                const int cch = e[i++];
                if (i + cch > n) return false;
                const biff::CodepageDecoder decoder(ctx_.book.codepage);
                values.push_back(Value::str(
                    decoder.decode(QByteArray(reinterpret_cast<const char*>(e + i), cch))));
                i += cch;
            }
            break;
        }
        case 0x04:
            if (i + 8 > n) return false;
            values.push_back(Value::boolean_(e[i] != 0));
            i += 8;
            break;
        case 0x10:
            if (i + 8 > n) return false;
            values.push_back(Value::err(e[i]));
            i += 8;
            break;
        default:
            return false;
        }
    }
    stack_.push_back(makeArray(rows, columns, std::move(values)));
    return true;
}

bool Evaluator::pushName(int index) {
    const auto& names = ctx_.book.definedNames;
    if (index < 0 || size_t(index) >= names.size()) return false;
    const DefinedName& name = names[size_t(index)];
    if (name.flags & 0x0002) { // a function name (the newer functions, macros)
        Value v;
        v.kind = Value::FuncName;
        v.text = name.name;
        stack_.push_back(std::move(v));
        return true;
    }
    if (name.sheet < -1 || name.tokens.isEmpty() || ctx_.depth >= kMaxNameDepth) {
        ctx_.reason = QStringLiteral("name ") + name.name;
        return false;
    }
    ++ctx_.depth;
    std::optional<Value> v = evaluateTokens(ctx_, name.tokens, name.extra);
    --ctx_.depth;
    if (!v) {
        if (ctx_.reason.isEmpty()) ctx_.reason = QStringLiteral("name ") + name.name;
        return false;
    }
    stack_.push_back(std::move(*v));
    return true;
}

std::optional<Value> Evaluator::run() {
    const auto* p = reinterpret_cast<const uint8_t*>(tokens_.constData());
    const uint8_t* end = p + tokens_.size();
    if (p == end) return std::nullopt;
    // A name's tokens are Excel 97 ones whatever the cell's.
    while (p < end) {
        const long size = tokenPayloadSize(p, end, biff_);
        if (size < 0) {
            ctx_.reason = QStringLiteral("token 0x%1").arg(p[0], 2, 16, QLatin1Char('0'));
            return std::nullopt;
        }
        if (!step(p, size)) return std::nullopt;
        if (stack_.size() > 4096) return std::nullopt;
        p += 1 + size;
    }
    if (stack_.size() != 1) return std::nullopt;
    return pop();
}

bool Evaluator::step(const uint8_t* p, long size) {
    const uint8_t id = p[0];
    const uint8_t* q = p + 1;
    if (id < 0x20) {
        switch (id) {
        case 0x01:
        case 0x02:
            ctx_.reason =
                id == 0x01 ? QStringLiteral("array reference") : QStringLiteral("data table");
            return false; // array and table references are evaluated by their owners
        case 0x03:
        case 0x04:
        case 0x05:
        case 0x06:
        case 0x07:
        case 0x08:
        case 0x09:
        case 0x0A:
        case 0x0B:
        case 0x0C:
        case 0x0D:
        case 0x0E: {
            if (stack_.size() < 2) return false;
            Value b = pop();
            Value a = pop();
            stack_.push_back(binary(id, a, b));
            return true;
        }
        case 0x0F:
        case 0x10:
        case 0x11: {
            if (stack_.size() < 2) return false;
            Value b = pop();
            Value a = pop();
            if (a.isError()) {
                stack_.push_back(a);
                return true;
            }
            if (b.isError()) {
                stack_.push_back(b);
                return true;
            }
            if (a.kind != Value::Ref || b.kind != Value::Ref) {
                stack_.push_back(Value::err(kValue));
                return true;
            }
            if (id == 0x10) { // union
                auto all = std::make_shared<std::vector<Area>>(a.allAreas());
                for (const Area& x : b.allAreas()) all->push_back(x);
                Value v = Value::ref(all->front());
                v.areas = std::move(all);
                stack_.push_back(std::move(v));
                return true;
            }
            if (a.areas || b.areas || a.area.firstSheet != b.area.firstSheet ||
                a.area.lastSheet != b.area.lastSheet) {
                stack_.push_back(Value::err(id == 0x0F ? kNull : kValue));
                return true;
            }
            const CellRange& x = a.area.range;
            const CellRange& y = b.area.range;
            CellRange r;
            if (id == 0x11) {
                r = {std::min(x.firstRow, y.firstRow), std::max(x.lastRow, y.lastRow),
                     std::min(x.firstColumn, y.firstColumn), std::max(x.lastColumn, y.lastColumn)};
            } else {
                r = {std::max(x.firstRow, y.firstRow), std::min(x.lastRow, y.lastRow),
                     std::max(x.firstColumn, y.firstColumn), std::min(x.lastColumn, y.lastColumn)};
                if (r.firstRow > r.lastRow || r.firstColumn > r.lastColumn) {
                    stack_.push_back(Value::err(kNull));
                    return true;
                }
            }
            Value v = Value::ref(Area{a.area.firstSheet, a.area.lastSheet, r});
            v.arrayForm = a.arrayForm || b.arrayForm;
            stack_.push_back(std::move(v));
            return true;
        }
        case 0x12:
        case 0x13:
        case 0x14: {
            if (stack_.empty()) return false;
            Value a = pop();
            stack_.push_back(unary(id, a));
            return true;
        }
        case 0x15: // parentheses: shown only
            return true;
        case 0x16: {
            Value v;
            v.kind = Value::Missing;
            stack_.push_back(v);
            return true;
        }
        case 0x17: {
            QString s;
            if (biff_ == 8) {
                const int cch = q[0];
                if (q[1] & 1)
                    s = QString::fromUtf16(reinterpret_cast<const char16_t*>(q + 2), cch);
                else
                    s = QString::fromLatin1(reinterpret_cast<const char*>(q + 2), cch);
            } else {
                const biff::CodepageDecoder decoder(ctx_.book.codepage);
                s = decoder.decode(QByteArray(reinterpret_cast<const char*>(q + 1), q[0]));
            }
            stack_.push_back(Value::str(std::move(s)));
            return true;
        }
        case 0x19: {
            const uint8_t grbit = q[0];
            if (grbit & 0x01) ctx_.volatileUsed = true;
            if (grbit & 0x10) { // SUM of one argument
                if (stack_.empty()) return false;
                return callFunction(4, 1);
            }
            return true; // jumps, spaces: every argument is evaluated in order
        }
        case 0x1C:
            stack_.push_back(Value::err(q[0]));
            return true;
        case 0x1D:
            stack_.push_back(Value::boolean_(q[0] != 0));
            return true;
        case 0x1E:
            stack_.push_back(Value::num(get16(q)));
            return true;
        case 0x1F:
            stack_.push_back(Value::num(getF64(q)));
            return true;
        default:
            return false;
        }
    }
    const int base = id & 0x1F;
    const bool arrayClass = (id & 0x60) == 0x60;
    Q_UNUSED(size);
    switch (base) {
    case 0x00:
        return arrayConstant();
    case 0x01: {
        const int fid = biff_ >= 4 ? get16(q) : q[0];
        const FunctionInfo* f = functionById(fid);
        if (!f || f->fixedArgs < 0) {
            ctx_.reason = QStringLiteral("function #%1").arg(fid);
            return false;
        }
        return callFunction(fid, f->fixedArgs);
    }
    case 0x02: {
        const int argc = q[0] & 0x7F;
        const int fid = biff_ >= 4 ? (get16(q + 1) & 0x7FFF) : q[1];
        return callFunction(fid, argc);
    }
    case 0x03:
        if (biff_ != 8) { // names of the older versions are not kept
            ctx_.reason = QStringLiteral("name (Excel 5/95)");
            return false;
        }
        return pushName(int(get16(q)) - 1);
    case 0x04:
    case 0x05:
    case 0x0A:
    case 0x0B:
    case 0x0C:
    case 0x0D:
    case 0x1A:
    case 0x1B:
    case 0x1C:
    case 0x1D:
        return pushRef(q, base, arrayClass);
    case 0x06: { // a cached area list in the extra data; the expression follows
        const auto* e = reinterpret_cast<const uint8_t*>(extra_.constData());
        if (extraPos_ + 2 > extra_.size()) return false;
        extraPos_ += 2 + qsizetype(get16(e + extraPos_)) * (biff_ == 8 ? 8 : 6);
        return true;
    }
    case 0x07:
    case 0x08:
    case 0x09:
    case 0x0E:
    case 0x0F:
        return true;
    case 0x19: {
        if (biff_ != 8) return false;
        const uint16_t ixti = get16(q), ilbl = get16(q + 2);
        if (ixti >= ctx_.book.externSheets.size()) return false;
        const ExternSheet& x = ctx_.book.externSheets[ixti];
        if (x.addIn) {
            if (ilbl < 1 || ilbl > ctx_.book.addInFunctions.size()) return false;
            Value v;
            v.kind = Value::FuncName;
            v.text = ctx_.book.addInFunctions[ilbl - 1];
            stack_.push_back(std::move(v));
            return true;
        }
        if (x.firstSheet == kWholeWorkbook) return pushName(int(ilbl) - 1);
        ctx_.reason = QStringLiteral("external name");
        return false;
    }
    default:
        return false;
    }
}

namespace {

// True when the function takes argument `i` as a reference.
bool takesReference(const FunctionInfo& f, int i) {
    return (f.refArgs >> std::min(i, 31)) & 1u;
}

} // namespace

bool Evaluator::callFunction(int id, int argc) {
    if (int(stack_.size()) < argc) return false;
    Args& args = args_;
    args.resize(static_cast<size_t>(argc));
    for (int i = argc - 1; i >= 0; --i) args[size_t(i)] = pop();
    if (id == 255) return callByName(args);
    const FunctionInfo* f = functionById(id);
    if (!f || !f->impl) {
        ctx_.reason = f ? QString::fromLatin1(f->name) : QStringLiteral("function #%1").arg(id);
        return false;
    }
    if (f->isVolatile) ctx_.volatileUsed = true;
    bool lift = false;
    for (int i = 0; i < argc; ++i) {
        Value& a = args[size_t(i)];
        if (takesReference(*f, i)) continue;
        if (a.kind == Value::Ref) {
            if (ctx_.arrayMode || a.arrayForm) {
                a = refToArray(ctx_, a);
            } else {
                a = toScalar(ctx_, a);
                continue;
            }
        }
        if (a.kind == Value::Array) lift = true;
    }
    if (!lift) {
        Value r = f->impl(ctx_, args);
        if (ctx_.unsupported) return false;
        stack_.push_back(std::move(r));
        return true;
    }
    // A function of single values given arrays: called for each element.
    int rows = 1, columns = 1;
    for (int i = 0; i < argc; ++i)
        if (!takesReference(*f, i) && args[size_t(i)].kind == Value::Array) {
            rows = std::max(rows, args[size_t(i)].matrix->rows);
            columns = std::max(columns, args[size_t(i)].matrix->columns);
        }
    std::vector<Value> out;
    out.reserve(size_t(rows) * size_t(columns));
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c) {
            Args one = args;
            bool ok = true;
            for (int i = 0; i < argc; ++i) {
                Value& a = one[size_t(i)];
                if (takesReference(*f, i) || a.kind != Value::Array) continue;
                const Matrix& m = *a.matrix;
                const int rr = m.rows == 1 ? 0 : r, cc = m.columns == 1 ? 0 : c;
                if (rr >= m.rows || cc >= m.columns) {
                    ok = false;
                    break;
                }
                a = m.at(rr, cc);
            }
            out.push_back(ok ? f->impl(ctx_, one) : Value::err(kNA));
            if (ctx_.unsupported) return false;
        }
    stack_.push_back(makeArray(rows, columns, std::move(out)));
    return true;
}

bool Evaluator::callByName(Args& args) {
    if (args.empty() || args.front().kind != Value::FuncName) return false;
    QString name = args.front().text;
    if (name.startsWith(QLatin1String("_xlfn."), Qt::CaseInsensitive)) name = name.mid(6);
    const FunctionImpl impl = functionByName(name);
    if (!impl) {
        ctx_.reason = name;
        return false;
    }
    args.erase(args.begin());
    for (Value& a : args)
        if (a.kind == Value::Ref && !ctx_.arrayMode) a = toScalar(ctx_, a);
    Value r = impl(ctx_, args);
    if (ctx_.unsupported) return false;
    stack_.push_back(std::move(r));
    return true;
}

std::optional<Value> evaluateTokens(Context& ctx, const QByteArray& tokens,
                                    const QByteArray& extra) {
    // The tokens of defined names are always Excel 97 ones.
    if (ctx.depth > 0 && ctx.book.biffVersion != 8) return std::nullopt;
    Evaluator e(ctx, tokens, extra);
    return e.run();
}

} // namespace tovera::calc
