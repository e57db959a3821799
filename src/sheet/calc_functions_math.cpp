// Worksheet functions of arithmetic and rounding: ROUND and its kin, CEILING, FLOOR, MOD,
// POWER, LOG, the functions of one number, PI, RAND and COMBIN.

#include "sheet/calc_functions.h"

#include <algorithm>
#include <cmath>
#include <random>

namespace tovera::calc {

namespace {

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
} // namespace

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

} // namespace tovera::calc
