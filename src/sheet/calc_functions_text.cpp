// Worksheet functions of text and of dates.

#include "sheet/calc_internal.h"
#include "sheet/numfmt.h"

#include <QDate>
#include <QDateTime>
#include <QRegularExpression>
#include <cmath>

namespace tovera::calc {

namespace {

// Bytes of a text in code page 932: characters outside ASCII and half-width katakana
// take two.
int byteLength(const QString& s) {
    int n = 0;
    for (QChar ch : s)
        n += (ch.unicode() < 0x80 || (ch.unicode() >= 0xFF61 && ch.unicode() <= 0xFF9F)) ? 1 : 2;
    return n;
}

bool countArg(const Args& args, size_t i, int& out, Value& failure, double fallback) {
    double x;
    if (!argNumber(args, i, x, failure, fallback)) return false;
    if (x < 0) {
        failure = Value::err(kValue);
        return false;
    }
    out = int(std::min(std::trunc(x), 32767.0));
    return true;
}

// True when a number format shows era years (e, g): Japanese settings show the year of
// the era there, others the year.
bool usesEra(const QString& code) {
    bool quoted = false;
    for (qsizetype i = 0; i < code.size(); ++i) {
        const QChar ch = code[i];
        if (ch == u'"') {
            quoted = !quoted;
        } else if (quoted) {
            continue;
        } else if (ch == u'\\' || ch == u'_' || ch == u'*') {
            ++i;
        } else if (ch == u'[') {
            while (i < code.size() && code[i] != u']') ++i;
        } else if (code.mid(i, 7).compare(QLatin1String("General"), Qt::CaseInsensitive) == 0) {
            i += 6;
        } else if ((ch == u'e' || ch == u'E') && i + 1 < code.size() &&
                   (code[i + 1] == u'+' || code[i + 1] == u'-')) {
            ++i;
        } else if (ch == u'e' || ch == u'E' || ch == u'g' || ch == u'G') {
            return true;
        }
    }
    return false;
}

} // namespace

Value fnLen(Context&, Args& args) {
    QString s;
    Value failure;
    if (!argText(args, 0, s, failure)) return failure;
    return Value::num(double(s.size()));
}

Value fnLenB(Context&, Args& args) {
    QString s;
    Value failure;
    if (!argText(args, 0, s, failure)) return failure;
    return Value::num(byteLength(s));
}

Value fnLeft(Context&, Args& args) {
    QString s;
    int n;
    Value failure;
    if (!argText(args, 0, s, failure) || !countArg(args, 1, n, failure, 1)) return failure;
    return Value::str(s.left(n));
}

Value fnRight(Context&, Args& args) {
    QString s;
    int n;
    Value failure;
    if (!argText(args, 0, s, failure) || !countArg(args, 1, n, failure, 1)) return failure;
    return Value::str(s.right(n));
}

Value fnMid(Context&, Args& args) {
    QString s;
    double start;
    int n;
    Value failure;
    if (!argText(args, 0, s, failure) || !argNumber(args, 1, start, failure) ||
        !countArg(args, 2, n, failure, 0))
        return failure;
    if (start < 1) return Value::err(kValue);
    if (start > s.size()) return Value::str(QString());
    return Value::str(s.mid(qsizetype(start) - 1, n));
}

Value fnConcatenate(Context&, Args& args) {
    QString out;
    for (size_t i = 0; i < args.size(); ++i) {
        QString s;
        Value failure;
        if (!argText(args, i, s, failure)) return failure;
        out += s;
    }
    if (out.size() > 32767) return Value::err(kValue);
    return Value::str(out);
}

Value fnText(Context& ctx, Args& args) {
    QString code;
    Value failure;
    if (!argText(args, 1, code, failure)) return failure;
    Value v = args[0];
    if (v.kind == Value::Err) return v;
    if (v.kind == Value::Text) {
        if (const auto n = parseNumberText(v.text, ctx.book.dateSystem1904))
            v = Value::num(*n);
        else
            return Value::str(formatText(v.text, code));
    }
    if (v.kind == Value::Bool) return toText(v);
    if (usesEra(code)) ctx.localeDependent = true;
    const Value n = toNumber(v);
    if (n.isError()) return n;
    return Value::str(formatNumber(n.number, code, ctx.book.dateSystem1904));
}

Value fnValue(Context& ctx, Args& args) {
    const Value& v = args[0];
    if (v.kind == Value::Number || v.kind == Value::Err) return v;
    if (v.kind == Value::Empty || v.kind == Value::Missing) return Value::num(0);
    if (v.kind != Value::Text) return Value::err(kValue);
    if (const auto n = parseNumberText(v.text, ctx.book.dateSystem1904)) return Value::num(*n);
    return Value::err(kValue);
}

Value fnTrim(Context&, Args& args) {
    QString s;
    Value failure;
    if (!argText(args, 0, s, failure)) return failure;
    // Spaces at both ends go, runs of spaces inside become one.
    QString out;
    out.reserve(s.size());
    bool space = false;
    for (QChar ch : s) {
        if (ch == u' ') {
            space = true;
            continue;
        }
        if (space && !out.isEmpty()) out += u' ';
        space = false;
        out += ch;
    }
    return Value::str(out);
}

Value fnUpper(Context&, Args& args) {
    QString s;
    Value failure;
    if (!argText(args, 0, s, failure)) return failure;
    return Value::str(s.toUpper());
}

Value fnLower(Context&, Args& args) {
    QString s;
    Value failure;
    if (!argText(args, 0, s, failure)) return failure;
    return Value::str(s.toLower());
}

Value fnProper(Context&, Args& args) {
    QString s;
    Value failure;
    if (!argText(args, 0, s, failure)) return failure;
    bool start = true;
    for (QChar& ch : s) {
        ch = start ? ch.toUpper() : ch.toLower();
        start = !ch.isLetter();
    }
    return Value::str(s);
}

Value fnRept(Context&, Args& args) {
    QString s;
    int n;
    Value failure;
    if (!argText(args, 0, s, failure) || !countArg(args, 1, n, failure, 0)) return failure;
    if (qint64(s.size()) * n > 32767) return Value::err(kValue);
    return Value::str(s.repeated(n));
}

Value fnExact(Context&, Args& args) {
    QString a, b;
    Value failure;
    if (!argText(args, 0, a, failure) || !argText(args, 1, b, failure)) return failure;
    return Value::boolean_(a == b);
}

Value fnSubstitute(Context&, Args& args) {
    QString s, from, to;
    double which;
    Value failure;
    if (!argText(args, 0, s, failure) || !argText(args, 1, from, failure) ||
        !argText(args, 2, to, failure) || !argNumber(args, 3, which, failure, 0))
        return failure;
    if (from.isEmpty()) return Value::str(s);
    if (!hasArg(args, 3)) return Value::str(QString(s).replace(from, to));
    if (which < 1) return Value::err(kValue);
    qsizetype at = -1;
    for (int i = 0; i < int(which); ++i) {
        at = s.indexOf(from, at + 1);
        if (at < 0) return Value::str(s);
    }
    return Value::str(s.left(at) + to + s.mid(at + from.size()));
}

namespace {
Value findText(Args& args, bool caseSensitive) {
    QString what, in;
    double start;
    Value failure;
    if (!argText(args, 0, what, failure) || !argText(args, 1, in, failure) ||
        !argNumber(args, 2, start, failure, 1))
        return failure;
    if (start < 1 || start > in.size() + 1) return Value::err(kValue);
    qsizetype at;
    if (caseSensitive) {
        at = in.indexOf(what, qsizetype(start) - 1, Qt::CaseSensitive);
    } else {
        at = -1;
        for (qsizetype i = qsizetype(start) - 1; i <= in.size(); ++i) {
            // SEARCH takes wildcards: the first position where the pattern matches a prefix.
            for (qsizetype len = 0; i + len <= in.size(); ++len)
                if (wildcardMatch(what, in.mid(i, len))) {
                    at = i;
                    break;
                }
            if (at >= 0) break;
        }
    }
    if (at < 0) return Value::err(kValue);
    return Value::num(double(at + 1));
}
} // namespace

Value fnFind(Context&, Args& args) {
    return findText(args, true);
}
Value fnSearch(Context&, Args& args) {
    return findText(args, false);
}

Value fnReplace(Context&, Args& args) {
    QString s, with;
    double start, count;
    Value failure;
    if (!argText(args, 0, s, failure) || !argNumber(args, 1, start, failure) ||
        !argNumber(args, 2, count, failure) || !argText(args, 3, with, failure))
        return failure;
    if (start < 1 || count < 0) return Value::err(kValue);
    const qsizetype at = std::min(qsizetype(start) - 1, s.size());
    return Value::str(s.left(at) + with + s.mid(at + qsizetype(count)));
}

// Codes above 127 are those of the computer's code page; here the Japanese one (932),
// whose single-byte characters above 127 are the half-width katakana A1-DF.
Value fnChar(Context& ctx, Args& args) {
    double x;
    Value failure;
    if (!argNumber(args, 0, x, failure)) return failure;
    const int c = int(x);
    if (c < 1 || c > 255) return Value::err(kValue);
    if (c < 128) return Value::str(QString(QChar(c)));
    ctx.localeDependent = true;
    if (c >= 0xA1 && c <= 0xDF) return Value::str(QString(QChar(0xFF61 + (c - 0xA1))));
    return Value::str(QString());
}

Value fnCode(Context& ctx, Args& args) {
    QString s;
    Value failure;
    if (!argText(args, 0, s, failure)) return failure;
    if (s.isEmpty()) return Value::err(kValue);
    const char16_t u = s[0].unicode();
    if (u < 128) return Value::num(u);
    ctx.localeDependent = true;
    if (u >= 0xFF61 && u <= 0xFF9F) return Value::num(0xA1 + (u - 0xFF61));
    return Value::num(u);
}

Value fnClean(Context&, Args& args) {
    QString s;
    Value failure;
    if (!argText(args, 0, s, failure)) return failure;
    QString out;
    for (QChar ch : s)
        if (ch.unicode() >= 32) out += ch;
    return Value::str(out);
}

Value fnFixed(Context&, Args& args) {
    double x, d;
    bool noCommas;
    Value failure;
    if (!argNumber(args, 0, x, failure) || !argNumber(args, 1, d, failure, 2) ||
        !argBool(args, 2, noCommas, failure))
        return failure;
    const int decimals = int(std::clamp(std::trunc(d), -127.0, 127.0));
    QString code = noCommas ? QStringLiteral("0") : QStringLiteral("#,##0");
    if (decimals > 0) code += QLatin1Char('.') + QString(decimals, QLatin1Char('0'));
    if (decimals < 0) {
        const double scale = std::pow(10.0, -decimals);
        x = std::round(x / scale) * scale;
    }
    return Value::str(formatNumber(x, code));
}

// --- dates -------------------------------------------------------------------------------

Value fnDate(Context& ctx, Args& args) {
    double y, m, d;
    Value failure;
    if (!argNumber(args, 0, y, failure) || !argNumber(args, 1, m, failure) ||
        !argNumber(args, 2, d, failure))
        return failure;
    int year = int(std::trunc(y));
    if (year < 0 || year >= 10000) return Value::err(kNum);
    if (year < 1900) year += 1900;
    const double serial =
        dateSerial(year, int(std::trunc(m)), int(std::trunc(d)), ctx.book.dateSystem1904);
    if (serial < 0 || serial >= 2958466) return Value::err(kNum);
    return Value::num(serial);
}

Value fnTime(Context&, Args& args) {
    double h, m, s;
    Value failure;
    if (!argNumber(args, 0, h, failure) || !argNumber(args, 1, m, failure) ||
        !argNumber(args, 2, s, failure))
        return failure;
    const double seconds = std::trunc(h) * 3600 + std::trunc(m) * 60 + std::trunc(s);
    if (seconds < 0) return Value::err(kNum);
    return Value::num(std::fmod(seconds, 86400) / 86400);
}

namespace {
enum class Part { Year, Month, Day };
Value datePart(Context& ctx, Args& args, Part part) {
    double x;
    Value failure;
    if (!argNumber(args, 0, x, failure)) return failure;
    int y, m, d;
    if (!serialToDate(x, ctx.book.dateSystem1904, y, m, d)) return Value::err(kNum);
    return Value::num(part == Part::Year ? y : part == Part::Month ? m : d);
}

Value timePart(Args& args, int which) {
    double x;
    Value failure;
    if (!argNumber(args, 0, x, failure)) return failure;
    if (x < 0) return Value::err(kNum);
    const double frac = x - std::floor(x);
    const long seconds = long(std::round(frac * 86400)) % 86400;
    return Value::num(which == 0   ? seconds / 3600
                      : which == 1 ? (seconds / 60) % 60
                                   : seconds % 60);
}
} // namespace

Value fnYear(Context& ctx, Args& args) {
    return datePart(ctx, args, Part::Year);
}
Value fnMonth(Context& ctx, Args& args) {
    return datePart(ctx, args, Part::Month);
}
Value fnDay(Context& ctx, Args& args) {
    return datePart(ctx, args, Part::Day);
}
Value fnHour(Context&, Args& args) {
    return timePart(args, 0);
}
Value fnMinute(Context&, Args& args) {
    return timePart(args, 1);
}
Value fnSecond(Context&, Args& args) {
    return timePart(args, 2);
}

Value fnWeekday(Context& ctx, Args& args) {
    double x, type;
    Value failure;
    if (!argNumber(args, 0, x, failure) || !argNumber(args, 1, type, failure, 1)) return failure;
    if (x < 0) return Value::err(kNum);
    const long serial = long(std::floor(x)) + (ctx.book.dateSystem1904 ? 1462 : 0);
    const int sunday1 = int(((serial - 1) % 7 + 7) % 7) + 1; // serial 1 was a Sunday
    switch (int(type)) {
    case 1:
        return Value::num(sunday1);
    case 2:
        return Value::num((sunday1 + 5) % 7 + 1);
    case 3:
        return Value::num((sunday1 + 5) % 7);
    default:
        return Value::err(kNum);
    }
}

Value fnToday(Context& ctx, Args&) {
    ctx.volatileUsed = true;
    return Value::num(ctx.today);
}

Value fnNow(Context& ctx, Args&) {
    ctx.volatileUsed = true;
    return Value::num(ctx.now);
}

Value fnDatedif(Context& ctx, Args& args) {
    double a, b;
    QString unit;
    Value failure;
    if (!argNumber(args, 0, a, failure) || !argNumber(args, 1, b, failure) ||
        !argText(args, 2, unit, failure))
        return failure;
    a = std::floor(a);
    b = std::floor(b);
    if (a > b) return Value::err(kNum);
    int y1, m1, d1, y2, m2, d2;
    const bool d1904 = ctx.book.dateSystem1904;
    if (!serialToDate(a, d1904, y1, m1, d1) || !serialToDate(b, d1904, y2, m2, d2))
        return Value::err(kNum);
    unit = unit.toUpper();
    int months = (y2 - y1) * 12 + (m2 - m1);
    if (d2 < d1) --months;
    if (unit == QLatin1String("D")) return Value::num(b - a);
    if (unit == QLatin1String("M")) return Value::num(months);
    if (unit == QLatin1String("Y")) return Value::num(months / 12);
    if (unit == QLatin1String("YM")) return Value::num(months % 12);
    if (unit == QLatin1String("MD")) {
        if (d2 >= d1) return Value::num(d2 - d1);
        // Days from the same day of the month before the end date.
        const int pm = m2 == 1 ? 12 : m2 - 1, py = m2 == 1 ? y2 - 1 : y2;
        return Value::num(b - dateSerial(py, pm, d1, d1904));
    }
    if (unit == QLatin1String("YD")) {
        double start = dateSerial(y2, m1, d1, d1904);
        if (start > b) start = dateSerial(y2 - 1, m1, d1, d1904);
        return Value::num(b - start);
    }
    return Value::err(kNum);
}

Value fnDateValue(Context& ctx, Args& args) {
    QString s;
    Value failure;
    if (!argText(args, 0, s, failure)) return failure;
    s = s.trimmed();
    const bool d1904 = ctx.book.dateSystem1904;
    // "2024/1/15", "2024-1-15"
    if (s.contains(QLatin1Char('/')) || s.contains(QLatin1Char('-'))) {
        if (const auto n = parseNumberText(s, d1904)) return Value::num(std::floor(*n));
    }
    static const QStringList months = {
        QStringLiteral("jan"), QStringLiteral("feb"), QStringLiteral("mar"), QStringLiteral("apr"),
        QStringLiteral("may"), QStringLiteral("jun"), QStringLiteral("jul"), QStringLiteral("aug"),
        QStringLiteral("sep"), QStringLiteral("oct"), QStringLiteral("nov"), QStringLiteral("dec")};
    auto monthOf = [&](const QString& name) {
        return name.size() >= 3 ? int(months.indexOf(name.left(3).toLower())) + 1 : 0;
    };
    auto result = [&](int y, int m, int d) {
        if (m < 1 || !QDate::isValid(y, m, d) || y < (d1904 ? 1904 : 1900))
            return Value::err(kValue);
        return Value::num(dateSerial(y, m, d, d1904));
    };
    static const QRegularExpression kanji(QStringLiteral("^(\\d{4})年(\\d{1,2})月(\\d{1,2})日$"));
    static const QRegularExpression monthFirst(
        QStringLiteral("^([A-Za-z]+)\\.?\\s+(\\d{1,2}),?\\s+(\\d{4})$"));
    static const QRegularExpression dayFirst(
        QStringLiteral("^(\\d{1,2})[-\\s]([A-Za-z]+)[-\\s](\\d{4})$"));
    if (auto m = kanji.match(s); m.hasMatch())
        return result(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    if (auto m = monthFirst.match(s); m.hasMatch())
        return result(m.captured(3).toInt(), monthOf(m.captured(1)), m.captured(2).toInt());
    if (auto m = dayFirst.match(s); m.hasMatch())
        return result(m.captured(3).toInt(), monthOf(m.captured(2)), m.captured(1).toInt());
    return Value::err(kValue);
}

namespace {
Value monthsLater(Context& ctx, Args& args, bool endOfMonth) {
    double x, n;
    Value failure;
    if (!argNumber(args, 0, x, failure) || !argNumber(args, 1, n, failure)) return failure;
    int y, m, d;
    const bool d1904 = ctx.book.dateSystem1904;
    if (!serialToDate(x, d1904, y, m, d)) return Value::err(kNum);
    const int total = y * 12 + (m - 1) + int(std::trunc(n));
    const int ny = total / 12, nm = total % 12 + 1;
    const int last = QDate(ny, nm, 1).daysInMonth();
    const double r = dateSerial(ny, nm, endOfMonth ? last : std::min(d, last), d1904);
    if (r < 0) return Value::err(kNum);
    return Value::num(r);
}
} // namespace

Value fnEdate(Context& ctx, Args& args) {
    return monthsLater(ctx, args, false);
}
Value fnEomonth(Context& ctx, Args& args) {
    return monthsLater(ctx, args, true);
}

} // namespace tovera::calc
