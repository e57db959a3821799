// Dates and times through a format section.
#include "sheet/numfmt_internal.h"

#include <QDate>
#include <cmath>

namespace tovera::numfmt {
namespace {

const char* const kMonths[] = {"January",   "February", "March",    "April",
                               "May",       "June",     "July",     "August",
                               "September", "October",  "November", "December"};
// Indexed by the serial's weekday: 0 Saturday, 1 Sunday ... 6 Friday.
const char* const kDays[] = {"Saturday",  "Sunday",   "Monday", "Tuesday",
                             "Wednesday", "Thursday", "Friday"};
const char16_t* const kJDays[] = {u"土", u"日", u"月", u"火", u"水", u"木", u"金"};

struct Era {
    int year, month, day;
    const char* letter;
    const char16_t* shortName;
    const char16_t* name;
};
const Era kEras[] = {
    {2019, 5, 1, "R", u"令", u"令和"},   {1989, 1, 8, "H", u"平", u"平成"},
    {1926, 12, 25, "S", u"昭", u"昭和"}, {1912, 7, 30, "T", u"大", u"大正"},
    {1868, 1, 1, "M", u"明", u"明治"},
};

constexpr double kLastSerial1900 = 2958465; // 9999-12-31

QString pad(long long v, int width) {
    return QStringLiteral("%1").arg(v, width, 10, QLatin1Char('0'));
}

} // namespace

QString formatDate(const Section& section, double value, bool date1904) {
    const QString hashes = QStringLiteral("########");
    const double last = date1904 ? kLastSerial1900 - 1462 : kLastSerial1900;
    if (!(value >= 0) || value >= last + 1) return hashes;

    int subDigits = 0;
    bool hasAmPm = false;
    for (const Token& t : section.tokens) {
        if (t.kind == Tok::SubSecond) subDigits = std::max(subDigits, t.n);
        if (t.kind == Tok::AmPm) hasAmPm = true;
    }
    long long unit = 1;
    for (int k = 0; k < subDigits; ++k) unit *= 10;
    const long long perDay = 86400LL * unit;
    const long long total = std::llround(value * static_cast<double>(perDay));
    const long long days = total / perDay;
    const long long inDay = total % perDay;
    const long long fraction = inDay % unit;
    const long long seconds = inDay / unit;
    const long long totalSeconds = total / unit;

    int year = 1900, month = 1, day = 0, weekday = 0;
    if (date1904) {
        const QDate d = QDate(1904, 1, 1).addDays(days);
        year = d.year(), month = d.month(), day = d.day();
        weekday = static_cast<int>((days + 6) % 7);
    } else {
        if (days == 60) {
            month = 2, day = 29;
        } else if (days > 0) {
            const QDate d = (days < 60 ? QDate(1899, 12, 31) : QDate(1899, 12, 30)).addDays(days);
            year = d.year(), month = d.month(), day = d.day();
        }
        weekday = static_cast<int>(days % 7);
    }
    if (year > 9999) return hashes;
    const int hour = static_cast<int>(seconds / 3600);
    const int minute = static_cast<int>(seconds / 60 % 60);
    const int second = static_cast<int>(seconds % 60);

    const Era* era = &kEras[4];
    for (const Era& e : kEras) {
        if (year > e.year ||
            (year == e.year && (month > e.month || (month == e.month && day >= e.day)))) {
            era = &e;
            break;
        }
    }
    const int eraYear = year - era->year + 1;

    QString out;
    for (const Token& t : section.tokens) {
        switch (t.kind) {
        case Tok::Literal:
            out += t.text;
            break;
        case Tok::Year:
            out += t.n == 2 ? pad(year % 100, 2) : pad(year, 4);
            break;
        case Tok::Month:
            if (t.n <= 2)
                out += pad(month, t.n);
            else if (section.japaneseNames && t.n <= 4)
                out += QString::number(month) + QStringLiteral("月");
            else if (section.japaneseNames)
                out += QString::number(month).left(1);
            else if (t.n == 3)
                out += QString::fromLatin1(kMonths[month - 1]).left(3);
            else if (t.n == 4)
                out += QString::fromLatin1(kMonths[month - 1]);
            else
                out += QLatin1Char(kMonths[month - 1][0]);
            break;
        case Tok::Day:
            if (t.n <= 2)
                out += pad(day, t.n);
            else if (section.japaneseNames)
                out += QString::fromUtf16(kJDays[weekday]) +
                       (t.n == 4 ? QStringLiteral("曜日") : QString());
            else if (t.n == 3)
                out += QString::fromLatin1(kDays[weekday]).left(3);
            else
                out += QString::fromLatin1(kDays[weekday]);
            break;
        case Tok::JWeekday:
            out += QString::fromUtf16(kJDays[weekday]);
            if (t.n == 4) out += QStringLiteral("曜日");
            break;
        case Tok::Hour: {
            int h = hour;
            if (hasAmPm) h = h % 12 == 0 ? 12 : h % 12;
            out += pad(h, t.n);
            break;
        }
        case Tok::Minute:
            out += pad(minute, t.n);
            break;
        case Tok::Second:
            out += pad(second, t.n);
            break;
        case Tok::SubSecond: {
            long long f = fraction;
            for (int k = t.n; k < subDigits; ++k) f /= 10;
            out += QLatin1Char('.') + pad(f, t.n);
            break;
        }
        case Tok::AmPm: {
            const bool pm = hour >= 12;
            const QString& w = t.text;
            if (w.size() == 3)
                out += pm ? w[2] : w[0]; // A/P in the case written
            else if (section.japaneseNames)
                out += pm ? QStringLiteral("午後") : QStringLiteral("午前");
            else
                out += pm ? w.mid(3, 2) : w.left(2);
            break;
        }
        case Tok::Elapsed:
            if (t.ch == 'h')
                out += pad(totalSeconds / 3600, t.n);
            else if (t.ch == 'm')
                out += pad(totalSeconds / 60, t.n);
            else
                out += pad(totalSeconds, t.n);
            break;
        case Tok::Era:
            if (t.n == 1)
                out += QLatin1String(era->letter);
            else if (t.n == 2)
                out += QString::fromUtf16(era->shortName);
            else
                out += QString::fromUtf16(era->name);
            break;
        case Tok::EraYear:
            out += pad(eraYear, t.n);
            break;
        case Tok::Digit:
            out += t.ch;
            break;
        case Tok::Point:
            out += QLatin1Char('.');
            break;
        case Tok::Comma:
            out += QLatin1Char(',');
            break;
        case Tok::Percent:
            out += QLatin1Char('%');
            break;
        case Tok::Slash:
            out += QLatin1Char('/');
            break;
        default:
            break;
        }
    }
    return out;
}

} // namespace tovera::numfmt
