#pragma once
// The pieces of the number formatter shared by its source files: a decimal form of doubles
// with decimal rounding, and the parsed form of a format code.

#include <QList>
#include <QString>
#include <memory>
#include <string>

namespace tovera::numfmt {

// A non-negative decimal number 0.d1d2d3... × 10^point. `digits` holds no leading or
// trailing zeros; empty digits is zero.
struct Decimal {
    std::string digits;
    int point = 0;
    bool isZero() const { return digits.empty(); }
};

// The value (finite, made non-negative) rounded to 15 significant digits.
Decimal toDecimal(double value);
// Rounded half away from zero to `decimals` places after the point.
Decimal roundDecimals(const Decimal& d, int decimals);
// Rounded half away from zero to `count` significant digits (count >= 1).
Decimal roundSignificant(const Decimal& d, int count);
// The digits before the point ("" below 1) and exactly `decimals` digits after it.
std::string integerDigits(const Decimal& d);
std::string fractionDigits(const Decimal& d, int decimals);

// General of a non-negative value in at most `width` characters.
QString generalAbs(double value, int width);

enum class Tok {
    Literal, // text
    Digit,   // ch: '0', '#' or '?'
    Point,
    Comma,
    Percent,
    Exp, // ch: '+' or '-'
    Slash,
    At,
    General,
    Year,      // n: 2 or 4
    Month,     // n: 1, 2 (may become Minute), 3 abbreviation, 4 name, 5 first letter
    Day,       // n: 1, 2, 3 abbreviation, 4 name
    JWeekday,  // n: 3 日, 4 日曜日
    Hour,      // n: 1 or 2
    Minute,    // n: 1 or 2
    Second,    // n: 1 or 2
    SubSecond, // n: digits
    AmPm,      // text: the marker as written ("AM/PM", "am/pm", "A/P", "a/p")
    Elapsed,   // ch: 'h', 'm' or 's'; n: width
    Era,       // n: 1, 2, 3
    EraYear,   // n: 1 or 2
};

struct Token {
    Tok kind = Tok::Literal;
    QString text;
    QChar ch;
    int n = 0;
};

struct Section {
    QList<Token> tokens;
    bool hasCondition = false;
    QString op; // "<", "<=", ">", ">=", "=", "<>"
    double operand = 0;
    bool isDate = false;
    bool hasAt = false;
    bool hasGeneral = false;
    bool matches(double v) const;
};

struct Format {
    QList<Section> sections;
};

// The parsed form of `code`, cached per thread.
std::shared_ptr<const Format> parse(const QString& code);

// A date or time section for `value`.
QString formatDate(const Section& section, double value, bool date1904);

} // namespace tovera::numfmt
