// Choosing the section of a format and showing numbers and texts through it.
#include "sheet/numfmt.h"
#include "sheet/numfmt_internal.h"

#include <QHash>
#include <cmath>

namespace tovera {
namespace {

using namespace numfmt;

QString hashes() {
    return QStringLiteral("########");
}

// Fills digit placeholders right-aligned with `digits` (leftmost placeholder takes any
// extra digits); '0' pads with 0, '?' with a space, '#' with nothing. With `group`, a
// comma is put between each three digits. Returns one text per placeholder.
QStringList fillRight(const QList<QChar>& holders, const std::string& digits, bool group) {
    const int n = static_cast<int>(holders.size());
    QStringList pieces(n);
    const int len = static_cast<int>(digits.size());
    for (int k = 0; k < n; ++k) { // k-th placeholder from the right
        const int index = n - 1 - k;
        QString piece;
        if (k < len)
            piece = QChar(digits[static_cast<size_t>(len - 1 - k)]);
        else if (holders[index] == '0')
            piece = QStringLiteral("0");
        else if (holders[index] == '?')
            piece = QStringLiteral(" ");
        if (index == 0 && len > n)
            piece =
                QString::fromLatin1(digits.substr(0, static_cast<size_t>(len - n)).c_str()) + piece;
        pieces[index] = piece;
    }
    if (group) {
        int count = 0;
        for (int index = n - 1; index >= 0; --index) {
            QString out;
            const QString& piece = pieces[index];
            for (int j = static_cast<int>(piece.size()) - 1; j >= 0; --j) {
                const QChar c = piece[j];
                if (c.isDigit()) {
                    if (count > 0 && count % 3 == 0) out.prepend(QLatin1Char(','));
                    ++count;
                }
                out.prepend(c);
            }
            pieces[index] = out;
        }
    }
    return pieces;
}

// Fills decimal placeholders left to right; trailing zeros vanish under '#', become spaces
// under '?'.
QStringList fillLeft(const QList<QChar>& holders, const std::string& digits) {
    int last = -1;
    for (int i = 0; i < static_cast<int>(digits.size()); ++i)
        if (digits[static_cast<size_t>(i)] != '0') last = i;
    QStringList pieces;
    for (int i = 0; i < holders.size(); ++i) {
        const QChar d = i < static_cast<int>(digits.size()) ? QChar(digits[static_cast<size_t>(i)])
                                                            : QChar('0');
        if (i <= last || holders[i] == '0')
            pieces.append(QString(d));
        else if (holders[i] == '?')
            pieces.append(QStringLiteral(" "));
        else
            pieces.append(QString());
    }
    return pieces;
}

struct Layout {
    QList<int> intHolders, fracHolders, expHolders; // token indices
    int expIndex = -1;
    int pointIndex = -1;
    int percent = 0;
    int scale = 0; // thousands divisions
    bool group = false;
};

Layout layoutOf(const Section& s) {
    Layout l;
    const auto& t = s.tokens;
    for (int i = 0; i < t.size(); ++i) {
        if (t[i].kind == Tok::Exp && l.expIndex < 0) l.expIndex = i;
        if (t[i].kind == Tok::Point && l.pointIndex < 0 && l.expIndex < 0) l.pointIndex = i;
        if (t[i].kind == Tok::Percent) ++l.percent;
    }
    for (int i = 0; i < t.size(); ++i) {
        if (t[i].kind != Tok::Digit) continue;
        if (l.expIndex >= 0 && i > l.expIndex)
            l.expHolders.append(i);
        else if (l.pointIndex >= 0 && i > l.pointIndex)
            l.fracHolders.append(i);
        else
            l.intHolders.append(i);
    }
    const int mantissaEnd = l.expIndex >= 0 ? l.expIndex : static_cast<int>(t.size());
    for (int i = 0; i < mantissaEnd; ++i) {
        if (t[i].kind != Tok::Comma) continue;
        bool before = false, after = false;
        for (int j = 0; j < i; ++j) before |= t[j].kind == Tok::Digit;
        for (int j = i + 1; j < mantissaEnd; ++j) after |= t[j].kind == Tok::Digit;
        if (before && after && (l.pointIndex < 0 || i < l.pointIndex))
            l.group = true;
        else if (before && !after)
            ++l.scale;
    }
    return l;
}

QList<QChar> holderChars(const Section& s, const QList<int>& indices) {
    QList<QChar> chars;
    for (int i : indices) chars.append(s.tokens[i].ch);
    return chars;
}

// Renders the tokens, taking each placeholder's text from `texts` (by token index).
QString render(const Section& s, const QHash<int, QString>& texts, const QString& expText) {
    QString out;
    for (int i = 0; i < s.tokens.size(); ++i) {
        const Token& t = s.tokens[i];
        switch (t.kind) {
        case Tok::Literal:
            out += t.text;
            break;
        case Tok::Digit:
            out += texts.value(i);
            break;
        case Tok::Point:
            out += QLatin1Char('.');
            break;
        case Tok::Percent:
            out += QLatin1Char('%');
            break;
        case Tok::Exp:
            out += expText;
            break;
        case Tok::Slash:
            out += QLatin1Char('/');
            break;
        case Tok::Comma:
            break;
        default:
            break;
        }
    }
    return out;
}

QString formatFraction(const Section& s, double v, int slash) {
    const auto& t = s.tokens;
    QList<int> num, den, whole;
    int i = slash - 1;
    while (i >= 0 && t[i].kind == Tok::Digit) num.prepend(i--);
    for (int j = 0; j <= i; ++j)
        if (t[j].kind == Tok::Digit) whole.append(j);
    long long fixedDen = 0;
    int afterDen = slash + 1;
    while (afterDen < t.size() && t[afterDen].kind == Tok::Digit) den.append(afterDen++);
    if (den.isEmpty() && afterDen < t.size() && t[afterDen].kind == Tok::Literal) {
        const QString lit = t[afterDen].text;
        int k = 0;
        while (k < lit.size() && lit[k].isDigit()) ++k;
        fixedDen = lit.left(k).toLongLong();
    }
    double ip = whole.isEmpty() ? 0 : std::floor(v);
    const double f = v - ip;
    long long n = 0, d = 1;
    if (fixedDen > 0) {
        d = fixedDen;
        n = std::llround(f * static_cast<double>(d));
    } else {
        long long maxDen = 1;
        for (int k = 0; k < den.size() && maxDen < 100000; ++k) maxDen *= 10;
        maxDen = std::max<long long>(1, maxDen - 1);
        double best = 2;
        for (long long q = 1; q <= maxDen; ++q) {
            const long long p = std::llround(f * static_cast<double>(q));
            const double err = std::fabs(f - static_cast<double>(p) / static_cast<double>(q));
            if (err < best - 1e-12) {
                best = err;
                n = p;
                d = q;
            }
        }
    }
    if (!whole.isEmpty() && n == d) {
        ip += 1;
        n = 0;
    }
    QHash<int, QString> texts;
    const std::string wholeDigits =
        ip >= 1 ? integerDigits(roundDecimals(toDecimal(ip), 0)) : std::string();
    const bool noFraction = n == 0 && !whole.isEmpty();
    const QStringList w =
        fillRight(holderChars(s, whole),
                  wholeDigits.empty() && noFraction ? std::string("0") : wholeDigits, false);
    for (int k = 0; k < whole.size(); ++k) texts[whole[k]] = w[k];
    const QStringList nt = fillRight(holderChars(s, num), std::to_string(n), false);
    for (int k = 0; k < num.size(); ++k)
        texts[num[k]] = noFraction ? QString(nt[k].size(), ' ') : nt[k];
    const std::string ds = std::to_string(d);
    for (int k = 0; k < den.size(); ++k) {
        QString piece = k < static_cast<int>(ds.size()) ? QString(QChar(ds[static_cast<size_t>(k)]))
                        : t[den[k]].ch == '0'           ? QStringLiteral("0")
                                                        : QStringLiteral(" ");
        if (k == den.size() - 1 && static_cast<int>(ds.size()) > den.size())
            piece += QString::fromLatin1(ds.substr(static_cast<size_t>(den.size())).c_str());
        texts[den[k]] = noFraction ? QString(piece.size(), ' ') : piece;
    }
    QString out;
    for (int k = 0; k < t.size(); ++k) {
        const Token& tok = t[k];
        if (tok.kind == Tok::Digit)
            out += texts.value(k);
        else if (tok.kind == Tok::Slash)
            out += noFraction ? QStringLiteral(" ") : QStringLiteral("/");
        else if (tok.kind == Tok::Literal) {
            QString lit = tok.text;
            if (k == afterDen && fixedDen > 0 && noFraction) lit.fill(' ');
            out += lit;
        } else if (tok.kind == Tok::Percent)
            out += QLatin1Char('%');
        else if (tok.kind == Tok::Point)
            out += QLatin1Char('.');
    }
    return out;
}

QString formatPlain(const Section& s, double v) {
    const Layout l = layoutOf(s);
    for (int k = 0; k < l.percent; ++k) v *= 100;
    for (int k = 0; k < l.scale; ++k) v /= 1000;
    if (!std::isfinite(v)) return hashes();
    QHash<int, QString> texts;
    QString expText;
    const QList<QChar> intChars = holderChars(s, l.intHolders);
    const int nFrac = static_cast<int>(l.fracHolders.size());
    Decimal mantissa;
    if (l.expIndex >= 0) {
        const Decimal d = toDecimal(v);
        const int nInt = std::max<int>(1, static_cast<int>(l.intHolders.size()));
        bool engineering = false;
        for (QChar c : intChars) engineering |= c != '0';
        engineering = engineering && nInt > 1;
        int exponent = 0;
        if (!d.isZero()) {
            Decimal r = d;
            for (int pass = 0; pass < 2; ++pass) {
                const int e0 = r.point - 1;
                exponent = engineering ? static_cast<int>(std::floor(e0 / double(nInt))) * nInt
                                       : e0 - (nInt - 1);
                const int intDigits = e0 - exponent + 1;
                const Decimal next = roundSignificant(d, std::max(1, intDigits + nFrac));
                if (next.point == r.point) {
                    r = next;
                    break;
                }
                r = next;
            }
            mantissa = r;
            mantissa.point = r.point - exponent;
        }
        const QStringList ep =
            fillRight(holderChars(s, l.expHolders), std::to_string(std::abs(exponent)), false);
        for (int k = 0; k < l.expHolders.size(); ++k) texts[l.expHolders[k]] = ep[k];
        const QChar sign = s.tokens[l.expIndex].ch;
        expText = s.tokens[l.expIndex].text;
        if (exponent < 0)
            expText += QLatin1Char('-');
        else if (sign == '+')
            expText += QLatin1Char('+');
    } else {
        mantissa = roundDecimals(toDecimal(v), nFrac);
    }
    const QStringList ip = fillRight(intChars, integerDigits(mantissa), l.group);
    for (int k = 0; k < l.intHolders.size(); ++k) texts[l.intHolders[k]] = ip[k];
    const QStringList fp = fillLeft(holderChars(s, l.fracHolders), fractionDigits(mantissa, nFrac));
    for (int k = 0; k < l.fracHolders.size(); ++k) texts[l.fracHolders[k]] = fp[k];
    return render(s, texts, expText);
}

// The section's text for the non-negative `v` (the sign is the caller's).
QString formatSection(const Section& s, double v, bool negative, bool& showsDigits) {
    showsDigits = true;
    if (s.tokens.isEmpty()) {
        showsDigits = false;
        return {};
    }
    if (s.hasGeneral) {
        QString out;
        for (const Token& t : s.tokens) {
            if (t.kind == Tok::General)
                out += generalAbs(v, negative ? 10 : 11);
            else if (t.kind == Tok::Literal)
                out += t.text;
        }
        return out;
    }
    int slash = -1, digits = 0;
    for (int i = 0; i < s.tokens.size(); ++i) {
        if (s.tokens[i].kind == Tok::Digit) ++digits;
        if (s.tokens[i].kind == Tok::Slash && slash < 0 && i > 0 &&
            s.tokens[i - 1].kind == Tok::Digit)
            slash = i;
    }
    if (slash >= 0) return formatFraction(s, v, slash);
    if (digits == 0) {
        showsDigits = false;
        QString out;
        for (const Token& t : s.tokens)
            if (t.kind == Tok::Literal)
                out += t.text;
            else if (t.kind == Tok::Percent)
                out += QLatin1Char('%');
        return out;
    }
    return formatPlain(s, v);
}

} // namespace

QString formatNumber(double value, const QString& code, bool date1904) {
    if (std::isnan(value) || std::isinf(value)) return QStringLiteral("#NUM!");
    if (code.isEmpty()) return formatGeneral(value);
    const auto format = parse(code);
    QList<const Section*> numeric;
    for (const Section& s : format->sections)
        if (numeric.size() < 3 && !(format->sections.size() == 4 && &s == &format->sections[3]))
            numeric.append(&s);
    if (numeric.isEmpty()) return formatGeneral(value);

    const Section* chosen = nullptr;
    bool autoMinus = false;
    const bool conditional =
        numeric[0]->hasCondition || (numeric.size() > 1 && numeric[1]->hasCondition);
    if (conditional) {
        if (numeric[0]->matches(value))
            chosen = numeric[0];
        else if (numeric.size() > 1 && numeric[1]->matches(value))
            chosen = numeric[1];
        else if (numeric.size() > 2)
            chosen = numeric[2];
        else if (numeric.size() > 1 && !numeric[1]->hasCondition)
            chosen = numeric[1];
        if (!chosen) return hashes();
        // A section whose condition only admits negative numbers supplies its own sign.
        const bool negativeOnly =
            chosen->hasCondition && ((chosen->op == QLatin1String("<") && chosen->operand <= 0) ||
                                     (chosen->op == QLatin1String("<=") && chosen->operand < 0));
        autoMinus = value < 0 && !negativeOnly;
    } else if (numeric.size() == 1) {
        chosen = numeric[0];
        autoMinus = value < 0;
    } else if (value < 0) {
        chosen = numeric[1];
    } else if (value == 0 && numeric.size() > 2) {
        chosen = numeric[2];
    } else {
        chosen = numeric[0];
    }
    if (chosen->isDate) {
        // A date section shows the value itself; only the first section may take negatives.
        const double v = chosen == numeric[0] ? value : std::fabs(value);
        const QString text = formatDate(*chosen, v, date1904);
        if (!chosen->dbnum || text.startsWith(QLatin1Char('#'))) return text;
        return numfmt::kanjiNumerals(text, chosen->dbnum, numfmt::Numerals::Date);
    }
    if (chosen->hasAt && !chosen->hasGeneral) {
        bool any = false;
        for (const Token& t : chosen->tokens) any |= t.kind == Tok::Digit;
        if (!any) return formatGeneral(value); // a text format shows numbers as General
    }
    bool showsDigits = true;
    QString body = formatSection(*chosen, std::fabs(value), autoMinus, showsDigits);
    if (chosen->dbnum)
        body = numfmt::kanjiNumerals(body, chosen->dbnum,
                                     chosen->hasGeneral ? numfmt::Numerals::Counted
                                                        : numfmt::Numerals::DigitWise);
    if (autoMinus && showsDigits) return QLatin1Char('-') + body;
    return body;
}

QString formatText(const QString& text, const QString& code) {
    if (code.isEmpty()) return text;
    const auto format = parse(code);
    const Section* section = nullptr;
    if (format->sections.size() == 4) {
        section = &format->sections[3];
    } else {
        for (const Section& s : format->sections)
            if (s.hasAt) {
                section = &s;
                break;
            }
    }
    if (!section) return text;
    QString out;
    for (const Token& t : section->tokens) {
        if (t.kind == Tok::At)
            out += text;
        else if (t.kind == Tok::Literal)
            out += t.text;
    }
    return out;
}

} // namespace tovera
