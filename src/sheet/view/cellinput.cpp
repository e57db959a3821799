#include "sheet/view/cellinput.h"

#include <QDate>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>

namespace tovera {

std::optional<double> parseNumberInput(const QString& input) {
    // Full-width digits, signs, point, comma and percent sign read as their ASCII forms.
    QString s = input.normalized(QString::NormalizationForm_KC).trimmed();
    if (s.isEmpty() || s.size() > 400) return std::nullopt;
    static const QRegularExpression pattern(QStringLiteral(
        "^([+-]?)((?:\\d{1,3}(?:,\\d{3})+)|\\d*)(?:\\.(\\d*))?(?:[eE]([+-]?\\d{1,5}))?(%?)$"));
    const QRegularExpressionMatch m = pattern.match(s);
    if (!m.hasMatch()) return std::nullopt;
    const QString whole = m.captured(2);
    const QString fraction = m.captured(3);
    if (whole.isEmpty() && fraction.isEmpty()) return std::nullopt; // no digit at all
    QString plain = m.captured(1) + QString(whole).remove(QLatin1Char(','));
    if (plain.isEmpty() || plain == QLatin1String("+") || plain == QLatin1String("-"))
        plain += QLatin1Char('0');
    if (!fraction.isEmpty()) plain += QLatin1Char('.') + fraction;
    if (m.capturedLength(4) > 0) plain += QLatin1Char('e') + m.captured(4);
    bool ok = false;
    double value = plain.toDouble(&ok);
    if (!ok || !std::isfinite(value)) return std::nullopt;
    if (!m.captured(5).isEmpty()) value /= 100.0;
    if (value == 0) value = 0; // no negative zero in cells
    return value;
}

namespace {

// The serial day of a date written "2024/1/15", "2024-01-15" or "2024年1月15日".
std::optional<double> dateSerial(const QString& text, bool date1904) {
    static const QRegularExpression pattern(
        QStringLiteral("^(\\d{4})(?:([/-])(\\d{1,2})\\2(\\d{1,2})|年(\\d{1,2})月(\\d{1,2})日)$"));
    const QRegularExpressionMatch m = pattern.match(text);
    if (!m.hasMatch()) return std::nullopt;
    const int year = m.captured(1).toInt();
    const bool slashed = m.capturedLength(3) > 0;
    const int month = (slashed ? m.captured(3) : m.captured(5)).toInt();
    const int day = (slashed ? m.captured(4) : m.captured(6)).toInt();
    const QDate date(year, month, day);
    if (!date.isValid() || year < (date1904 ? 1904 : 1900)) return std::nullopt;
    if (date1904) return double(QDate(1904, 1, 1).daysTo(date));
    // Day 1 is 1900-01-01 and the system counts a 29 February 1900, so from March 1900 on
    // the days run from 1899-12-30.
    const qint64 days = QDate(1899, 12, 30).daysTo(date);
    return double(date < QDate(1900, 3, 1) ? days - 1 : days);
}

// The fraction of a day of a time written "13:05" or "13:05:30".
std::optional<double> timeFraction(const QString& text, bool& seconds) {
    static const QRegularExpression pattern(QStringLiteral("^(\\d{1,2}):(\\d{2})(?::(\\d{2}))?$"));
    const QRegularExpressionMatch m = pattern.match(text);
    if (!m.hasMatch()) return std::nullopt;
    const int h = m.captured(1).toInt(), min = m.captured(2).toInt();
    seconds = m.capturedLength(3) > 0;
    const int sec = seconds ? m.captured(3).toInt() : 0;
    if (h > 23 || min > 59 || sec > 59) return std::nullopt;
    return (h * 3600 + min * 60 + sec) / 86400.0;
}

} // namespace

std::optional<DateInput> parseDateInput(const QString& input, bool date1904) {
    const QString s = input.normalized(QString::NormalizationForm_KC).trimmed();
    if (s.isEmpty() || s.size() > 40) return std::nullopt;
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    const QStringList parts = s.split(blanks);
    DateInput out;
    if (parts.size() > 2) return std::nullopt;
    if (const std::optional<double> day = dateSerial(parts[0], date1904)) {
        out.hasDate = true;
        out.serial = *day;
    } else if (parts.size() == 2) {
        return std::nullopt;
    }
    if (parts.size() == 2 || !out.hasDate) {
        const std::optional<double> time = timeFraction(parts.back(), out.hasSeconds);
        if (!time) return std::nullopt;
        out.hasTime = true;
        out.serial += *time;
    }
    return out;
}

QString numberEditText(double value) {
    if (value == 0 || !std::isfinite(value)) return QStringLiteral("0");
    const double magnitude = std::fabs(value);
    if (magnitude >= 1e15 || magnitude < 1e-5) return QString::number(value, 'g', 15);
    // Fixed notation with 15 significant digits, trailing zeros removed.
    const int intDigits = int(std::floor(std::log10(magnitude))) + 1;
    const int decimals = std::clamp(15 - intDigits, 0, 20);
    QString text = QString::number(value, 'f', decimals);
    if (text.contains(QLatin1Char('.'))) {
        while (text.endsWith(QLatin1Char('0'))) text.chop(1);
        if (text.endsWith(QLatin1Char('.'))) text.chop(1);
    }
    if (text == QLatin1String("-0")) text = QStringLiteral("0");
    return text;
}

} // namespace tovera
