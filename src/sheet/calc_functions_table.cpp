// The table of every worksheet function id the evaluator knows: its name, its fixed
// argument count and its implementation.

#include "sheet/calc_functions.h"

#include <QHash>

namespace tovera::calc {

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
