// Worksheet functions: sums and other aggregates, SUBTOTAL, and the argument helpers and
// wildcard match the other function files share.

#include "sheet/calc_functions.h"

#include <QHash>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>

namespace tovera::calc {

bool argNumber(const Args& args, size_t i, double& out, Value& failure, double fallback) {
    if (!hasArg(args, i)) {
        out = fallback;
        return true;
    }
    const Value v = toNumber(args[i]);
    if (v.isError()) {
        failure = v;
        return false;
    }
    out = v.number;
    return true;
}

bool argText(const Args& args, size_t i, QString& out, Value& failure) {
    if (!hasArg(args, i)) {
        out.clear();
        return true;
    }
    const Value v = toText(args[i]);
    if (v.isError()) {
        failure = v;
        return false;
    }
    out = v.text;
    return true;
}

bool argBool(const Args& args, size_t i, bool& out, Value& failure, bool fallback) {
    if (!hasArg(args, i)) {
        out = fallback;
        return true;
    }
    const Value v = toBool(args[i]);
    if (v.isError()) {
        failure = v;
        return false;
    }
    out = v.boolean;
    return true;
}

Value fnSum(Context& ctx, Args& args) {
    double sum = 0;
    Value failure;
    if (!eachNumber(ctx, args, failure, [&](double x) { sum += x; })) return failure;
    return Value::num(sum);
}

Value fnProduct(Context& ctx, Args& args) {
    double p = 1;
    bool any = false;
    Value failure;
    if (!eachNumber(ctx, args, failure, [&](double x) {
            p *= x;
            any = true;
        }))
        return failure;
    return Value::num(any ? p : 0);
}

Value fnSumsq(Context& ctx, Args& args) {
    double sum = 0;
    Value failure;
    if (!eachNumber(ctx, args, failure, [&](double x) { sum += x * x; })) return failure;
    return Value::num(sum);
}

Value fnAverage(Context& ctx, Args& args) {
    double sum = 0;
    int n = 0;
    Value failure;
    if (!eachNumber(ctx, args, failure, [&](double x) {
            sum += x;
            ++n;
        }))
        return failure;
    if (n == 0) return Value::err(kDiv0);
    return Value::num(sum / n);
}

Value fnMin(Context& ctx, Args& args) {
    double m = 0;
    bool any = false;
    Value failure;
    if (!eachNumber(ctx, args, failure, [&](double x) {
            m = any ? std::min(m, x) : x;
            any = true;
        }))
        return failure;
    return Value::num(any ? m : 0);
}

Value fnMax(Context& ctx, Args& args) {
    double m = 0;
    bool any = false;
    Value failure;
    if (!eachNumber(ctx, args, failure, [&](double x) {
            m = any ? std::max(m, x) : x;
            any = true;
        }))
        return failure;
    return Value::num(any ? m : 0);
}

Value fnCount(Context& ctx, Args& args) {
    int n = 0;
    for (const Value& a : args)
        forEachValue(ctx, a, [&](const Value& v, bool inRange) {
            if (v.kind == Value::Number)
                ++n;
            else if (!inRange && (v.kind == Value::Bool ||
                                  (v.kind == Value::Text && parseNumberText(v.text, false))))
                ++n;
        });
    return Value::num(n);
}

Value fnCountA(Context& ctx, Args& args) {
    int n = 0;
    for (const Value& a : args)
        forEachValue(ctx, a, [&](const Value& v, bool) {
            if (v.kind != Value::Empty) ++n;
        });
    return Value::num(n);
}

Value fnCountBlank(Context& ctx, Args& args) {
    const Value& a = args[0];
    if (a.kind != Value::Ref || a.areas) return Value::err(kValue);
    double total =
        double(a.area.rows()) * a.area.columns() * (a.area.lastSheet - a.area.firstSheet + 1);
    forEachValue(ctx, a, [&](const Value& v, bool) {
        if (!(v.kind == Value::Text && v.text.isEmpty())) total -= 1;
    });
    return Value::num(total);
}

// Wildcard match of text: * any run, ? one character, ~ escapes (case-insensitive).
bool wildcardMatch(const QString& pattern, const QString& text) {
    QString rx;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar ch = pattern[i];
        if (ch == u'~' && i + 1 < pattern.size()) {
            rx += QRegularExpression::escape(QString(pattern[++i]));
        } else if (ch == u'*') {
            rx += QLatin1String(".*");
        } else if (ch == u'?') {
            rx += QLatin1Char('.');
        } else {
            rx += QRegularExpression::escape(QString(ch));
        }
    }
    static thread_local QHash<QString, QRegularExpression> cache;
    auto it = cache.find(rx);
    if (it == cache.end()) {
        if (cache.size() > 256) cache.clear();
        it = cache.insert(rx,
                          QRegularExpression(QRegularExpression::anchoredPattern(rx),
                                             QRegularExpression::CaseInsensitiveOption |
                                                 QRegularExpression::DotMatchesEverythingOption));
    }
    return it->match(text).hasMatch();
}

Value fnSubtotal(Context& ctx, Args& args) {
    double f;
    Value failure;
    if (!argNumber(args, 0, f, failure)) return failure;
    Args rest(args.begin() + 1, args.end());
    switch (int(f) % 100) {
    case 1:
        return fnAverage(ctx, rest);
    case 2:
        return fnCount(ctx, rest);
    case 3:
        return fnCountA(ctx, rest);
    case 4:
        return fnMax(ctx, rest);
    case 5:
        return fnMin(ctx, rest);
    case 6:
        return fnProduct(ctx, rest);
    case 7:
        return fnStdev(ctx, rest);
    case 8:
        return fnStdevp(ctx, rest);
    case 9:
        return fnSum(ctx, rest);
    case 10:
        return fnVar(ctx, rest);
    case 11:
        return fnVarp(ctx, rest);
    default:
        return Value::err(kValue);
    }
}

} // namespace tovera::calc
