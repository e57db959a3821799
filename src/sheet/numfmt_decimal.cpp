// Decimal rounding and the General format.
#include "sheet/numfmt.h"
#include "sheet/numfmt_internal.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace tovera::numfmt {
namespace {

void trim(Decimal& d) {
    while (!d.digits.empty() && d.digits.back() == '0') d.digits.pop_back();
    size_t lead = 0;
    while (lead < d.digits.size() && d.digits[lead] == '0') ++lead;
    if (lead) {
        d.digits.erase(0, lead);
        d.point -= static_cast<int>(lead);
    }
    if (d.digits.empty()) d.point = 0;
}

// Keeps the first `keep` digits, rounding half away from zero on the next one.
Decimal keepDigits(const Decimal& d, int keep) {
    if (d.isZero() || keep >= static_cast<int>(d.digits.size())) return d;
    if (keep < 0) return {};
    Decimal r;
    r.point = d.point;
    r.digits = d.digits.substr(0, static_cast<size_t>(keep));
    if (d.digits[static_cast<size_t>(keep)] >= '5') {
        int i = keep - 1;
        while (i >= 0 && r.digits[static_cast<size_t>(i)] == '9') {
            r.digits[static_cast<size_t>(i)] = '0';
            --i;
        }
        if (i >= 0) {
            ++r.digits[static_cast<size_t>(i)];
        } else {
            r.digits.insert(r.digits.begin(), '1');
            ++r.point;
        }
    }
    trim(r);
    return r;
}

} // namespace

Decimal toDecimal(double value) {
    Decimal d;
    value = std::fabs(value);
    if (!(value > 0) || !std::isfinite(value)) return d;
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.14e", value);
    // d.dddddddddddddde±XX
    d.digits.push_back(buf[0]);
    const char* p = buf + 2;
    while (*p && *p != 'e') d.digits.push_back(*p++);
    d.point = (*p == 'e' ? std::atoi(p + 1) : 0) + 1;
    trim(d);
    return d;
}

Decimal roundDecimals(const Decimal& d, int decimals) {
    return keepDigits(d, d.point + decimals);
}

Decimal roundSignificant(const Decimal& d, int count) {
    return keepDigits(d, count);
}

std::string integerDigits(const Decimal& d) {
    if (d.isZero() || d.point <= 0) return {};
    std::string s = d.digits.substr(0, std::min(d.digits.size(), static_cast<size_t>(d.point)));
    s.append(static_cast<size_t>(d.point) - s.size(), '0');
    return s;
}

std::string fractionDigits(const Decimal& d, int decimals) {
    std::string s;
    for (int i = 0; i < decimals; ++i) {
        const int index = d.point + i; // position in digits of the (i+1)-th decimal
        s.push_back(index >= 0 && index < static_cast<int>(d.digits.size())
                        ? d.digits[static_cast<size_t>(index)]
                        : '0');
    }
    return s;
}

namespace {

QString fixed(const Decimal& d) {
    const std::string ip = integerDigits(d);
    QString s = ip.empty() ? QStringLiteral("0") : QString::fromLatin1(ip.c_str());
    const int decimals = std::max(0, static_cast<int>(d.digits.size()) - d.point);
    if (decimals > 0) {
        s += QLatin1Char('.');
        s += QString::fromLatin1(fractionDigits(d, decimals).c_str());
    }
    return s;
}

QString scientific(const Decimal& d, int width) {
    Decimal r = d;
    int exponent = d.point - 1;
    for (int pass = 0; pass < 2; ++pass) {
        const int expDigits = std::abs(exponent) >= 100 ? 3 : 2;
        const int decimals = std::max(0, width - 2 - 2 - expDigits);
        r = roundSignificant(d, 1 + decimals);
        if (r.point - 1 == exponent) break;
        exponent = r.point - 1;
    }
    QString s(QChar(r.digits.empty() ? '0' : r.digits[0]));
    if (r.digits.size() > 1) s += '.' + QString::fromLatin1(r.digits.substr(1).c_str());
    s += exponent < 0 ? QStringLiteral("E-") : QStringLiteral("E+");
    s += QStringLiteral("%1").arg(std::abs(exponent), 2, 10, QChar('0'));
    return s;
}

} // namespace

QString generalAbs(double value, int width) {
    const Decimal d = toDecimal(value);
    if (d.isZero()) return QStringLiteral("0");
    if (d.point > 0) {
        if (d.point > width) return scientific(d, width);
        const Decimal r = roundDecimals(d, std::max(0, width - d.point - 1));
        if (r.point > width) return scientific(d, width);
        return fixed(r);
    }
    if (d.point >= -3) { // 0.0001 <= value < 1
        const Decimal r = roundDecimals(d, width - 2);
        return r.isZero() ? QStringLiteral("0") : fixed(r);
    }
    if (2 - d.point + static_cast<int>(d.digits.size()) <= width) return fixed(d);
    return scientific(d, width);
}

} // namespace tovera::numfmt

namespace tovera {

QString formatGeneral(double value) {
    if (std::isnan(value)) return QStringLiteral("#NUM!");
    if (std::isinf(value)) return QStringLiteral("#NUM!");
    if (value < 0 && !numfmt::toDecimal(value).isZero())
        return QLatin1Char('-') + numfmt::generalAbs(-value, 10);
    return numfmt::generalAbs(value, 11);
}

} // namespace tovera
