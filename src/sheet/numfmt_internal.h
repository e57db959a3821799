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
    int dbnum = 0;              // [DBNum1] .. [DBNum3]: kanji numerals; 0 = Arabic digits
    bool japaneseNames = false; // [$-411]: month, weekday and AM/PM names in Japanese
    bool matches(double v) const;
};

// How kanjiNumerals writes digits: place units for counted numbers (General, dates),
// digit by digit otherwise.
enum class Numerals { Counted, DigitWise, Date };

// `text` with its ASCII digits as the numerals of [DBNum`kind`] (1 kanji, 2 formal
// kanji, 3 full-width digits with kanji units). Counted: whole-number runs take place units
// (百二十三) and digits after a point or an exponent go one by one; Date: every run takes
// units except zero-padded ones; DigitWise: every digit alone. Other characters stay.
QString kanjiNumerals(const QString& text, int kind, Numerals how);

struct Format {
    QList<Section> sections;
};

// The parsed form of `code`, cached per thread.
std::shared_ptr<const Format> parse(const QString& code);

// A date or time section for `value`.
QString formatDate(const Section& section, double value, bool date1904);

} // namespace tovera::numfmt
