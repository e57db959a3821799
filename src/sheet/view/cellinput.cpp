#include "sheet/view/cellinput.h"

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
