// The formula evaluator: a stack machine over the stored token arrays of Excel 97 (BIFF8)
// and of the older versions (BIFF2-5) as the reader keeps them.

#include "sheet/biff.h"
#include "sheet/calc_evaluator.h"

#include <cmath>
#include <cstring>

namespace tovera::calc {

namespace {

constexpr int kMaxNameDepth = 16;

uint16_t get16(const uint8_t* p) {
    return uint16_t(p[0] | (p[1] << 8));
}

double getF64(const uint8_t* p) {
    double d;
    std::memcpy(&d, p, 8);
    return d;
}

} // namespace

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
    int rows = 0, columns = 0;
    std::vector<Value> values;
    if (!readArrayConstant(extra_, extraPos_, biff_, ctx_.book.codepage, rows, columns, values))
        return false;
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
    case 0x06: // a cached area list in the extra data; the expression follows
        return skipAreaList(extra_, extraPos_, biff_ == 8);
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

std::optional<Value> evaluateTokens(Context& ctx, const QByteArray& tokens,
                                    const QByteArray& extra) {
    // The tokens of defined names are always Excel 97 ones.
    if (ctx.depth > 0 && ctx.book.biffVersion != 8) return std::nullopt;
    Evaluator e(ctx, tokens, extra);
    return e.run();
}

} // namespace tovera::calc
