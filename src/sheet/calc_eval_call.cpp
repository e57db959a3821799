// Function calls of the formula evaluator: arguments taken as references or values, array
// arguments spread over the cells of an array formula, functions called by name.

#include "sheet/calc_evaluator.h"

namespace tovera::calc {

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

} // namespace tovera::calc
