// Worksheet functions: sums and other aggregates, arithmetic and rounding, logic. The
// table of every function id the evaluator knows is at the end.

#include "sheet/calc_internal.h"

#include <QHash>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>

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

// Functions of other files.
Value fnStdev(Context&, Args&);
Value fnStdevp(Context&, Args&);
Value fnVar(Context&, Args&);
Value fnVarp(Context&, Args&);
Value fnMedian(Context&, Args&);
Value fnLarge(Context&, Args&);
Value fnSmall(Context&, Args&);
Value fnSumIf(Context&, Args&);
Value fnCountIf(Context&, Args&);
Value fnSumProduct(Context&, Args&);
Value fnRank(Context&, Args&);

namespace {

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

Value logical(Context& ctx, Args& args, bool isAnd) {
    bool any = false, result = isAnd;
    Value failure;
    bool ok = true;
    for (const Value& a : args) {
        if (a.kind == Value::Missing) continue;
        forEachValue(ctx, a, [&](const Value& v, bool inRange) {
            if (!ok) return;
            if (v.kind == Value::Err) {
                failure = v;
                ok = false;
                return;
            }
            if (v.kind == Value::Text && inRange) return;
            if (v.kind == Value::Empty) return;
            const Value b = toBool(v);
            if (b.isError()) {
                failure = b;
                ok = false;
                return;
            }
            any = true;
            result = isAnd ? (result && b.boolean) : (result || b.boolean);
        });
        if (!ok) return failure;
    }
    if (!any) return Value::err(kValue);
    return Value::boolean_(result);
}
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

// Rounding on the decimal value: the number is taken at 15 significant digits first.
enum class Rounding { Half, Up, Down };
Value roundTo(Args& args, Rounding mode) {
    double x, d;
    Value failure;
    if (!argNumber(args, 0, x, failure) || !argNumber(args, 1, d, failure)) return failure;
    const int digits = int(std::trunc(std::clamp(d, -400.0, 400.0)));
    if (digits > 15 && mode == Rounding::Half) return Value::num(x);
    static const double pow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                   1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                   1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    const int ad = std::abs(digits);
    const double scale = ad <= 22 ? pow10[ad] : std::pow(10.0, ad);
    const double y = round15(digits >= 0 ? x * scale : x / scale);
    double r;
    switch (mode) {
    case Rounding::Half:
        r = std::round(y);
        break;
    case Rounding::Up:
        r = y < 0 ? std::floor(y) : std::ceil(y);
        break;
    default:
        r = std::trunc(y);
        break;
    }
    r = digits >= 0 ? r / scale : r * scale;
    if (!std::isfinite(r)) return Value::err(kNum);
    return Value::num(r == 0 ? 0.0 : r);
}
Value fnRound(Context&, Args& args) {
    return roundTo(args, Rounding::Half);
}
Value fnRoundUp(Context&, Args& args) {
    return roundTo(args, Rounding::Up);
}
Value fnRoundDown(Context&, Args& args) {
    return roundTo(args, Rounding::Down);
}
Value fnTrunc(Context&, Args& args) {
    if (args.size() < 2) args.push_back(Value::num(0));
    return roundTo(args, Rounding::Down);
}

// A function of one number.
template <double (*F)(double)> Value unaryMath(Context&, Args& args) {
    double x;
    Value failure;
    if (!argNumber(args, 0, x, failure)) return failure;
    const double r = F(x);
    if (!std::isfinite(r)) return Value::err(kNum);
    return Value::num(r);
}

double intOf(double x) {
    return std::floor(round15(x) == std::round(x) ? std::round(x) : x);
}
double absOf(double x) {
    return std::fabs(x);
}
double signOf(double x) {
    return x > 0 ? 1 : x < 0 ? -1 : 0;
}
double sqrtOf(double x) {
    return x < 0 ? NAN : std::sqrt(x);
}
double lnOf(double x) {
    return x <= 0 ? NAN : std::log(x);
}
double log10Of(double x) {
    return x <= 0 ? NAN : std::log10(x);
}
double expOf(double x) {
    return std::exp(x);
}
double sinOf(double x) {
    return std::sin(x);
}
double cosOf(double x) {
    return std::cos(x);
}
double tanOf(double x) {
    return std::tan(x);
}
double atanOf(double x) {
    return std::atan(x);
}
double asinOf(double x) {
    return std::asin(x);
}
double acosOf(double x) {
    return std::acos(x);
}
double radiansOf(double x) {
    return x * M_PI / 180;
}
double degreesOf(double x) {
    return x * 180 / M_PI;
}
double factOf(double x) {
    if (x < 0) return NAN;
    double r = 1;
    for (int i = 2; i <= int(std::trunc(x)); ++i) r *= i;
    return r;
}
double evenOf(double x) {
    const double a = std::ceil(std::fabs(x) / 2) * 2;
    return x < 0 ? -a : a;
}
double oddOf(double x) {
    double a = std::ceil(std::fabs(x));
    if (std::fmod(a, 2) == 0) a += 1;
    return x < 0 ? -a : a;
}

Value fnMod(Context&, Args& args) {
    double n, d;
    Value failure;
    if (!argNumber(args, 0, n, failure) || !argNumber(args, 1, d, failure)) return failure;
    if (d == 0) return Value::err(kDiv0);
    double r = n - d * std::floor(n / d);
    if (std::fabs(r - d) < std::fabs(d) * 1e-15) r = 0;
    return Value::num(r);
}

Value fnPower(Context&, Args& args) {
    double x, y;
    Value failure;
    if (!argNumber(args, 0, x, failure) || !argNumber(args, 1, y, failure)) return failure;
    if (x == 0 && y == 0) return Value::err(kNum);
    if (x == 0 && y < 0) return Value::err(kDiv0);
    const double r = std::pow(x, y);
    if (!std::isfinite(r)) return Value::err(kNum);
    return Value::num(r);
}

Value fnLog(Context&, Args& args) {
    double x, b;
    Value failure;
    if (!argNumber(args, 0, x, failure) || !argNumber(args, 1, b, failure, 10)) return failure;
    if (x <= 0 || b <= 0) return Value::err(kNum);
    if (b == 1) return Value::err(kDiv0);
    return Value::num(std::log(x) / std::log(b));
}

Value fnAtan2(Context&, Args& args) {
    double x, y;
    Value failure;
    if (!argNumber(args, 0, x, failure) || !argNumber(args, 1, y, failure)) return failure;
    if (x == 0 && y == 0) return Value::err(kDiv0);
    return Value::num(std::atan2(y, x));
}

Value fnPi(Context&, Args&) {
    return Value::num(M_PI);
}

Value fnRand(Context& ctx, Args&) {
    ctx.volatileUsed = true;
    static thread_local std::mt19937_64 engine{std::random_device{}()};
    return Value::num(std::uniform_real_distribution<double>(0, 1)(engine));
}

Value multipleOf(Args& args, bool up) {
    double x, m;
    Value failure;
    if (!argNumber(args, 0, x, failure) || !argNumber(args, 1, m, failure)) return failure;
    if (m == 0) return Value::num(0);
    if (x > 0 && m < 0) return Value::err(kNum);
    const double q = round15(x / m);
    const double r = (up ? std::ceil(q) : std::floor(q)) * m;
    return Value::num(r);
}
Value fnCeiling(Context&, Args& args) {
    return multipleOf(args, true);
}
Value fnFloor(Context&, Args& args) {
    return multipleOf(args, false);
}

Value fnCombin(Context&, Args& args) {
    double n, k;
    Value failure;
    if (!argNumber(args, 0, n, failure) || !argNumber(args, 1, k, failure)) return failure;
    n = std::trunc(n);
    k = std::trunc(k);
    if (n < 0 || k < 0 || k > n) return Value::err(kNum);
    double r = 1;
    for (int i = 1; i <= int(k); ++i) r = r * (n - k + i) / i;
    return Value::num(std::round(r));
}

} // namespace

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

namespace {

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

} // namespace

Value fnLookup(Context&, Args&);
Value fnVLookup(Context&, Args&);
Value fnHLookup(Context&, Args&);
Value fnMatch(Context&, Args&);
Value fnIndex(Context&, Args&);
Value fnRow(Context&, Args&);
Value fnColumn(Context&, Args&);
Value fnRows(Context&, Args&);
Value fnColumns(Context&, Args&);
Value fnIsNa(Context&, Args&);
Value fnIsError(Context&, Args&);
Value fnIsErr(Context&, Args&);
Value fnIsBlank(Context&, Args&);
Value fnIsNumber(Context&, Args&);
Value fnIsText(Context&, Args&);
Value fnIsNonText(Context&, Args&);
Value fnIsLogical(Context&, Args&);
Value fnIsRef(Context&, Args&);
Value fnN(Context&, Args&);
Value fnT(Context&, Args&);
Value fnNa(Context&, Args&);
Value fnErrorType(Context&, Args&);
Value fnType(Context&, Args&);
Value fnIfError(Context&, Args&);
Value fnLen(Context&, Args&);
Value fnLenB(Context&, Args&);
Value fnLeft(Context&, Args&);
Value fnRight(Context&, Args&);
Value fnMid(Context&, Args&);
Value fnConcatenate(Context&, Args&);
Value fnText(Context&, Args&);
Value fnValue(Context&, Args&);
Value fnTrim(Context&, Args&);
Value fnUpper(Context&, Args&);
Value fnLower(Context&, Args&);
Value fnProper(Context&, Args&);
Value fnRept(Context&, Args&);
Value fnExact(Context&, Args&);
Value fnSubstitute(Context&, Args&);
Value fnFind(Context&, Args&);
Value fnSearch(Context&, Args&);
Value fnReplace(Context&, Args&);
Value fnChar(Context&, Args&);
Value fnCode(Context&, Args&);
Value fnFixed(Context&, Args&);
Value fnClean(Context&, Args&);
Value fnDate(Context&, Args&);
Value fnTime(Context&, Args&);
Value fnYear(Context&, Args&);
Value fnMonth(Context&, Args&);
Value fnDay(Context&, Args&);
Value fnHour(Context&, Args&);
Value fnMinute(Context&, Args&);
Value fnSecond(Context&, Args&);
Value fnWeekday(Context&, Args&);
Value fnToday(Context&, Args&);
Value fnNow(Context&, Args&);
Value fnDatedif(Context&, Args&);
Value fnDateValue(Context&, Args&);
Value fnEdate(Context&, Args&);
Value fnEomonth(Context&, Args&);

namespace {

constexpr uint32_t kAll = 0xFFFFFFFFu;

struct Entry {
    int id;
    FunctionInfo info;
};

// Every function id with its name and fixed argument count; `impl` null for the functions
// that are known but not evaluated (their cells keep their stored results).
const Entry kFunctions[] = {
    {0, {"COUNT", -1, fnCount, false, kAll}},
    {1, {"IF", -1, fnIf, false, 0b110}},
    {2, {"ISNA", 1, fnIsNa}},
    {3, {"ISERROR", 1, fnIsError}},
    {4, {"SUM", -1, fnSum, false, kAll}},
    {5, {"AVERAGE", -1, fnAverage, false, kAll}},
    {6, {"MIN", -1, fnMin, false, kAll}},
    {7, {"MAX", -1, fnMax, false, kAll}},
    {8, {"ROW", -1, fnRow, false, kAll}},
    {9, {"COLUMN", -1, fnColumn, false, kAll}},
    {10, {"NA", 0, fnNa}},
    {11, {"NPV", -1}},
    {12, {"STDEV", -1, fnStdev, false, kAll}},
    {13, {"DOLLAR", -1}},
    {14, {"FIXED", -1, fnFixed}},
    {15, {"SIN", 1, unaryMath<sinOf>}},
    {16, {"COS", 1, unaryMath<cosOf>}},
    {17, {"TAN", 1, unaryMath<tanOf>}},
    {18, {"ATAN", 1, unaryMath<atanOf>}},
    {19, {"PI", 0, fnPi}},
    {20, {"SQRT", 1, unaryMath<sqrtOf>}},
    {21, {"EXP", 1, unaryMath<expOf>}},
    {22, {"LN", 1, unaryMath<lnOf>}},
    {23, {"LOG10", 1, unaryMath<log10Of>}},
    {24, {"ABS", 1, unaryMath<absOf>}},
    {25, {"INT", 1, unaryMath<intOf>}},
    {26, {"SIGN", 1, unaryMath<signOf>}},
    {27, {"ROUND", 2, fnRound}},
    {28, {"LOOKUP", -1, fnLookup, false, 0b110}},
    {29, {"INDEX", -1, fnIndex, false, 0b1}},
    {30, {"REPT", 2, fnRept}},
    {31, {"MID", 3, fnMid}},
    {32, {"LEN", 1, fnLen}},
    {33, {"VALUE", 1, fnValue}},
    {34, {"TRUE", 0, fnTrue}},
    {35, {"FALSE", 0, fnFalse}},
    {36, {"AND", -1, fnAnd, false, kAll}},
    {37, {"OR", -1, fnOr, false, kAll}},
    {38, {"NOT", 1, fnNot}},
    {39, {"MOD", 2, fnMod}},
    {40, {"DCOUNT", 3}},
    {41, {"DSUM", 3}},
    {42, {"DAVERAGE", 3}},
    {43, {"DMIN", 3}},
    {44, {"DMAX", 3}},
    {45, {"DSTDEV", 3}},
    {46, {"VAR", -1, fnVar, false, kAll}},
    {47, {"DVAR", 3}},
    {49, {"LINEST", -1}},
    {50, {"TREND", -1}},
    {51, {"LOGEST", -1}},
    {52, {"GROWTH", -1}},
    {48, {"TEXT", 2, fnText}},
    {56, {"PV", -1}},
    {57, {"FV", -1}},
    {58, {"NPER", -1}},
    {59, {"PMT", -1}},
    {60, {"RATE", -1}},
    {61, {"MIRR", 3}},
    {62, {"IRR", -1}},
    {63, {"RAND", 0, fnRand, true}},
    {64, {"MATCH", -1, fnMatch, false, 0b10}},
    {65, {"DATE", 3, fnDate}},
    {66, {"TIME", 3, fnTime}},
    {67, {"DAY", 1, fnDay}},
    {68, {"MONTH", 1, fnMonth}},
    {69, {"YEAR", 1, fnYear}},
    {70, {"WEEKDAY", -1, fnWeekday}},
    {71, {"HOUR", 1, fnHour}},
    {72, {"MINUTE", 1, fnMinute}},
    {73, {"SECOND", 1, fnSecond}},
    {74, {"NOW", 0, fnNow, true}},
    {75, {"AREAS", 1}},
    {76, {"ROWS", 1, fnRows, false, kAll}},
    {77, {"COLUMNS", 1, fnColumns, false, kAll}},
    {78, {"OFFSET", -1}},
    {82, {"SEARCH", -1, fnSearch}},
    {83, {"TRANSPOSE", 1}},
    {86, {"TYPE", 1, fnType, false, kAll}},
    {97, {"ATAN2", 2, fnAtan2}},
    {98, {"ASIN", 1, unaryMath<asinOf>}},
    {99, {"ACOS", 1, unaryMath<acosOf>}},
    {100, {"CHOOSE", -1, fnChoose, false, ~1u}},
    {101, {"HLOOKUP", -1, fnHLookup, false, 0b10}},
    {102, {"VLOOKUP", -1, fnVLookup, false, 0b10}},
    {105, {"ISREF", 1, fnIsRef, false, kAll}},
    {109, {"LOG", -1, fnLog}},
    {111, {"CHAR", 1, fnChar}},
    {112, {"LOWER", 1, fnLower}},
    {113, {"UPPER", 1, fnUpper}},
    {114, {"PROPER", 1, fnProper}},
    {115, {"LEFT", -1, fnLeft}},
    {116, {"RIGHT", -1, fnRight}},
    {117, {"EXACT", 2, fnExact}},
    {118, {"TRIM", 1, fnTrim}},
    {119, {"REPLACE", 4, fnReplace}},
    {120, {"SUBSTITUTE", -1, fnSubstitute}},
    {121, {"CODE", 1, fnCode}},
    {124, {"FIND", -1, fnFind}},
    {125, {"CELL", -1}},
    {126, {"ISERR", 1, fnIsErr}},
    {127, {"ISTEXT", 1, fnIsText}},
    {128, {"ISNUMBER", 1, fnIsNumber}},
    {129, {"ISBLANK", 1, fnIsBlank}},
    {130, {"T", 1, fnT}},
    {131, {"N", 1, fnN, false, kAll}},
    {140, {"DATEVALUE", 1, fnDateValue}},
    {141, {"TIMEVALUE", 1}},
    {142, {"SLN", 3}},
    {143, {"SYD", 4}},
    {144, {"DDB", -1}},
    {148, {"INDIRECT", -1}},
    {162, {"CLEAN", 1, fnClean}},
    {163, {"MDETERM", 1}},
    {164, {"MINVERSE", 1}},
    {165, {"MMULT", 2}},
    {167, {"IPMT", -1}},
    {168, {"PPMT", -1}},
    {169, {"COUNTA", -1, fnCountA, false, kAll}},
    {183, {"PRODUCT", -1, fnProduct, false, kAll}},
    {184, {"FACT", 1, unaryMath<factOf>}},
    {189, {"DPRODUCT", 3}},
    {190, {"ISNONTEXT", 1, fnIsNonText}},
    {193, {"STDEVP", -1, fnStdevp, false, kAll}},
    {194, {"VARP", -1, fnVarp, false, kAll}},
    {195, {"DSTDEVP", 3}},
    {196, {"DVARP", 3}},
    {197, {"TRUNC", -1, fnTrunc}},
    {198, {"ISLOGICAL", 1, fnIsLogical}},
    {199, {"DCOUNTA", 3}},
    {204, {"YEN", -1}},
    {205, {"FINDB", -1}},
    {206, {"SEARCHB", -1}},
    {207, {"REPLACEB", 4}},
    {208, {"LEFTB", -1}},
    {209, {"RIGHTB", -1}},
    {210, {"MIDB", 3}},
    {211, {"LENB", 1, fnLenB}},
    {212, {"ROUNDUP", 2, fnRoundUp}},
    {213, {"ROUNDDOWN", 2, fnRoundDown}},
    {214, {"ASC", 1}},
    {215, {"JIS", 1}},
    {216, {"RANK", -1, fnRank, false, 0b10}},
    {219, {"ADDRESS", -1}},
    {220, {"DAYS360", -1}},
    {221, {"TODAY", 0, fnToday, true}},
    {227, {"MEDIAN", -1, fnMedian, false, kAll}},
    {228, {"SUMPRODUCT", -1, fnSumProduct, false, kAll}},
    {229, {"SINH", 1}},
    {230, {"COSH", 1}},
    {231, {"TANH", 1}},
    {232, {"ASINH", 1}},
    {233, {"ACOSH", 1}},
    {234, {"ATANH", 1}},
    {244, {"INFO", 1}},
    {247, {"DB", -1}},
    {252, {"FREQUENCY", 2}},
    {261, {"ERROR.TYPE", 1, fnErrorType}},
    {276, {"COMBIN", 2, fnCombin}},
    {279, {"EVEN", 1, unaryMath<evenOf>}},
    {285, {"FLOOR", 2, fnFloor}},
    {288, {"CEILING", 2, fnCeiling}},
    {298, {"ODD", 1, unaryMath<oddOf>}},
    {299, {"PERMUT", 2}},
    {321, {"SUMSQ", -1, fnSumsq, false, kAll}},
    {325, {"LARGE", 2, fnLarge, false, 0b1}},
    {326, {"SMALL", 2, fnSmall, false, 0b1}},
    {327, {"QUARTILE", 2}},
    {328, {"PERCENTILE", 2}},
    {330, {"MODE", -1}},
    {336, {"CONCATENATE", -1, fnConcatenate}},
    {337, {"POWER", 2, fnPower}},
    {342, {"RADIANS", 1, unaryMath<radiansOf>}},
    {343, {"DEGREES", 1, unaryMath<degreesOf>}},
    {344, {"SUBTOTAL", -1, fnSubtotal, false, ~1u}},
    {345, {"SUMIF", -1, fnSumIf, false, 0b101}},
    {346, {"COUNTIF", 2, fnCountIf, false, 0b1}},
    {347, {"COUNTBLANK", 1, fnCountBlank, false, kAll}},
    {350, {"ISPMT", 4}},
    {351, {"DATEDIF", 3, fnDatedif}},
    {352, {"DATESTRING", 1}},
    {353, {"NUMBERSTRING", 2}},
    {354, {"ROMAN", -1}},
    {358, {"GETPIVOTDATA", -1}},
    {359, {"HYPERLINK", -1}},
    {360, {"PHONETIC", 1}},
    {361, {"AVERAGEA", -1}},
    {362, {"MAXA", -1}},
    {363, {"MINA", -1}},
};

} // namespace

const FunctionInfo* functionById(int id) {
    static const std::vector<const FunctionInfo*> table = [] {
        std::vector<const FunctionInfo*> t(512, nullptr);
        for (const Entry& e : kFunctions) t[size_t(e.id)] = &e.info;
        return t;
    }();
    return id >= 0 && size_t(id) < table.size() ? table[size_t(id)] : nullptr;
}

int functionIdByName(const QString& name) {
    static const QHash<QString, int> table = [] {
        QHash<QString, int> t;
        for (const Entry& e : kFunctions) t.insert(QString::fromLatin1(e.info.name), e.id);
        return t;
    }();
    return table.value(name.toUpper(), -1);
}

FunctionImpl functionByName(const QString& name) {
    const QString n = name.toUpper();
    if (n == QLatin1String("IFERROR")) return fnIfError;
    if (n == QLatin1String("EDATE")) return fnEdate;
    if (n == QLatin1String("EOMONTH")) return fnEomonth;
    return nullptr;
}

} // namespace tovera::calc
