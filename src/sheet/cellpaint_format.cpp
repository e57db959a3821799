// Colours of number format sections ([Red], [Color10]) for the painted text.

#include "sheet/cellpaint_internal.h"

#include <QStringList>
#include <cmath>

namespace tovera::cellpaint_detail {

namespace {

// The sections of a format code, split at ';' outside quotes, brackets and escapes.
QStringList splitSections(const QString& code) {
    QStringList out;
    QString cur;
    bool quoted = false;
    int bracket = 0;
    for (int i = 0; i < code.size(); ++i) {
        const QChar ch = code[i];
        if (quoted) {
            if (ch == u'"') quoted = false;
        } else if (ch == u'"') {
            quoted = true;
        } else if (ch == u'\\' || ch == u'_' || ch == u'*') {
            cur += ch;
            if (i + 1 < code.size()) cur += code[++i];
            continue;
        } else if (ch == u'[') {
            ++bracket;
        } else if (ch == u']') {
            if (bracket > 0) --bracket;
        } else if (ch == u';' && bracket == 0) {
            out << cur;
            cur.clear();
            continue;
        }
        cur += ch;
    }
    out << cur;
    return out;
}

// The bracketed parts at the start of a section: "[Red][>100]0" gives Red and >100.
QStringList leadingBrackets(const QString& section) {
    QStringList out;
    int i = 0;
    while (i < section.size() && section[i] == u'[') {
        const int end = section.indexOf(u']', i);
        if (end < 0) break;
        out << section.mid(i + 1, end - i - 1);
        i = end + 1;
    }
    return out;
}

struct Condition {
    bool present = false;
    QString op;
    double value = 0;
    bool test(double v) const {
        if (op == u"<") return v < value;
        if (op == u"<=") return v <= value;
        if (op == u">") return v > value;
        if (op == u">=") return v >= value;
        if (op == u"=") return v == value;
        if (op == u"<>") return v != value;
        return false;
    }
};

Condition conditionOf(const QStringList& brackets) {
    Condition c;
    for (const QString& b : brackets) {
        if (b.isEmpty() || (b[0] != u'<' && b[0] != u'>' && b[0] != u'=')) continue;
        int n = 1;
        if (b.size() > 1 && (b[1] == u'=' || b[1] == u'>')) n = 2;
        bool ok = false;
        const double v = b.mid(n).trimmed().toDouble(&ok);
        if (!ok) continue;
        c.present = true;
        c.op = b.left(n);
        c.value = v;
    }
    return c;
}

std::optional<QColor> colorOf(const Workbook& book, const QStringList& brackets) {
    static const struct {
        const char* name;
        QRgb rgb;
    } names[] = {{"black", 0x000000}, {"blue", 0x0000FF},    {"cyan", 0x00FFFF},
                 {"green", 0x00FF00}, {"magenta", 0xFF00FF}, {"red", 0xFF0000},
                 {"white", 0xFFFFFF}, {"yellow", 0xFFFF00}};
    for (const QString& b : brackets) {
        const QString low = b.trimmed().toLower();
        for (const auto& n : names)
            if (low == QLatin1String(n.name)) return QColor(n.rgb);
        if (low.startsWith(QLatin1String("color"))) {
            bool ok = false;
            const int k = low.mid(5).toInt(&ok);
            if (ok && k >= 1 && k <= 56) return book.color(k + 7);
        }
    }
    return std::nullopt;
}

} // namespace

std::optional<QColor> formatColor(const Workbook& book, const QString& code, const Cell& cell) {
    if (!code.contains(u'[')) return std::nullopt;
    const QStringList sections = splitSections(code);
    if (cell.type == CellType::Text) {
        if (sections.size() >= 4) return colorOf(book, leadingBrackets(sections[3]));
        for (const QString& s : sections)
            if (s.contains(u'@')) return colorOf(book, leadingBrackets(s));
        return std::nullopt;
    }
    if (cell.type != CellType::Number) return std::nullopt;
    const double v = cell.number;
    const int numberSections = std::min<int>(int(sections.size()), 3);
    const Condition c1 = conditionOf(leadingBrackets(sections[0]));
    const Condition c2 =
        numberSections > 1 ? conditionOf(leadingBrackets(sections[1])) : Condition{};
    int pick = 0;
    if (c1.present || c2.present) {
        if (c1.present && c1.test(v))
            pick = 0;
        else if (c2.present && c2.test(v) && numberSections > 1)
            pick = 1;
        else if (!c2.present && numberSections > 1 && !c1.present)
            pick = 1;
        else
            pick = numberSections - 1;
    } else if (numberSections == 2) {
        pick = v < 0 ? 1 : 0;
    } else if (numberSections >= 3) {
        pick = v > 0 ? 0 : (v < 0 ? 1 : 2);
    }
    return colorOf(book, leadingBrackets(sections[pick]));
}

} // namespace tovera::cellpaint_detail

namespace tovera::cellpaint_detail {

bool isGeneralCode(const QString& code) {
    const QString c = code.trimmed();
    return c.isEmpty() || c.compare(QLatin1String("General"), Qt::CaseInsensitive) == 0 ||
           c == QStringLiteral("G/標準");
}

QString generalFitting(double value, const std::function<bool(const QString&)>& fits) {
    if (!std::isfinite(value)) return {};
    const double a = std::abs(value);
    if (a >= 1e-4 && a < 1e11) {
        for (int decimals = 9; decimals >= 0; --decimals) {
            QString t = QString::number(value, 'f', decimals);
            if (t.contains(u'.')) {
                while (t.endsWith(u'0')) t.chop(1);
                if (t.endsWith(u'.')) t.chop(1);
            }
            if (t == QLatin1String("-0")) t = QStringLiteral("0");
            if (fits(t)) return t;
        }
    }
    for (int digits = 5; digits >= 0; --digits) {
        // 1.23457E+11: trailing zeros of the mantissa left out, exponent of two digits.
        QString t = QString::number(value, 'E', digits);
        const int e = int(t.indexOf(u'E'));
        QString mantissa = t.left(e);
        if (mantissa.contains(u'.')) {
            while (mantissa.endsWith(u'0')) mantissa.chop(1);
            if (mantissa.endsWith(u'.')) mantissa.chop(1);
        }
        t = mantissa + t.mid(e);
        if (fits(t)) return t;
    }
    return {};
}

} // namespace tovera::cellpaint_detail
