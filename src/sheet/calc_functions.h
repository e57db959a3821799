#pragma once
// The worksheet functions the evaluator calls, by family; the table of function ids points
// at them. Each takes its arguments as values or references as the table says and returns
// its result or an error value. Internal to the engine.

#include "sheet/calc_internal.h"

#include <cmath>

namespace tovera::calc {

// Sums and other aggregates.
Value fnSum(Context&, Args&);
Value fnProduct(Context&, Args&);
Value fnSumsq(Context&, Args&);
Value fnAverage(Context&, Args&);
Value fnMin(Context&, Args&);
Value fnMax(Context&, Args&);
Value fnCount(Context&, Args&);
Value fnCountA(Context&, Args&);
Value fnCountBlank(Context&, Args&);
Value fnSubtotal(Context&, Args&);

// Statistics and conditions.
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

// Logic.
Value fnAnd(Context&, Args&);
Value fnOr(Context&, Args&);
Value fnNot(Context&, Args&);
Value fnTrue(Context&, Args&);
Value fnFalse(Context&, Args&);
Value fnIf(Context&, Args&);
Value fnChoose(Context&, Args&);

// Arithmetic and rounding.
Value fnRound(Context&, Args&);
Value fnRoundUp(Context&, Args&);
Value fnRoundDown(Context&, Args&);
Value fnTrunc(Context&, Args&);
Value fnMod(Context&, Args&);
Value fnPower(Context&, Args&);
Value fnLog(Context&, Args&);
Value fnAtan2(Context&, Args&);
Value fnPi(Context&, Args&);
Value fnRand(Context&, Args&);
Value fnCeiling(Context&, Args&);
Value fnFloor(Context&, Args&);
Value fnCombin(Context&, Args&);

// A function of one number.
template <double (*F)(double)> Value unaryMath(Context&, Args& args) {
    double x;
    Value failure;
    if (!argNumber(args, 0, x, failure)) return failure;
    const double r = F(x);
    if (!std::isfinite(r)) return Value::err(kNum);
    return Value::num(r);
}

// The numbers functions of one number compute (through `unaryMath`).
double intOf(double x);
double absOf(double x);
double signOf(double x);
double sqrtOf(double x);
double lnOf(double x);
double log10Of(double x);
double expOf(double x);
double sinOf(double x);
double cosOf(double x);
double tanOf(double x);
double atanOf(double x);
double asinOf(double x);
double acosOf(double x);
double radiansOf(double x);
double degreesOf(double x);
double factOf(double x);
double evenOf(double x);
double oddOf(double x);

// Lookup, information, text and dates.
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

} // namespace tovera::calc
