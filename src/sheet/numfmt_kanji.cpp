// Kanji numerals of the [DBNum1], [DBNum2] and [DBNum3] number format modifiers.
#include "sheet/numfmt_internal.h"

namespace tovera::numfmt {
namespace {

struct Style {
    const char16_t* digits; // 0-9
    const char16_t* units;  // 十 百 千
    const char16_t* groups; // 万 億 兆 京
    bool one;               // "一" written before 十 百 千
};

const Style& style(int kind) {
    static const Style kanji{u"〇一二三四五六七八九", u"十百千", u"万億兆京", false};
    static const Style formal{u"零壱弐参四伍六七八九", u"拾百阡", u"萬億兆京", true};
    static const Style wide{u"０１２３４５６７８９", u"十百千", u"万億兆京", false};
    return kind == 2 ? formal : kind == 3 ? wide : kanji;
}

QString digitWise(const QString& run, const Style& s) {
    QString out;
    for (QChar c : run) out += QChar(s.digits[c.unicode() - '0']);
    return out;
}

// A whole number with place units: 1234 -> 千二百三十四, 10000 -> 一万, 0 -> 〇. Runs longer
// than the units reach (over 20 digits) go digit by digit.
QString counted(const QString& run, const Style& s) {
    qsizetype start = 0;
    while (start + 1 < run.size() && run[start] == '0') ++start;
    const QString n = run.mid(start);
    if (n == QStringLiteral("0")) return QString(QChar(s.digits[0]));
    if (n.size() > 20) return digitWise(run, s);
    QString out;
    const int len = static_cast<int>(n.size());
    for (int group = (len - 1) / 4; group >= 0; --group) {
        QString part;
        for (int place = 3; place >= 0; --place) {
            const int at = len - 1 - (group * 4 + place);
            if (at < 0) continue;
            const int d = n[at].unicode() - '0';
            if (d == 0) continue;
            if (place == 0 || d != 1 || s.one) part += QChar(s.digits[d]);
            if (place > 0) part += QChar(s.units[place - 1]);
        }
        if (part.isEmpty()) continue;
        out += part;
        if (group > 0) out += QChar(s.groups[group - 1]);
    }
    return out;
}

} // namespace

QString kanjiNumerals(const QString& text, int kind, Numerals how) {
    const Style& s = style(kind);
    QString out;
    bool afterPoint = false; // digits after a decimal point or in an exponent
    for (qsizetype i = 0; i < text.size();) {
        const QChar c = text[i];
        if (c < '0' || c > '9') {
            if (c == '.' || c == 'E' || c == 'e')
                afterPoint = true;
            else if (c != '+' && c != '-')
                afterPoint = false;
            out += c;
            ++i;
            continue;
        }
        qsizetype end = i;
        while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
        const QString run = text.mid(i, end - i);
        bool units = how == Numerals::Counted ? !afterPoint : how == Numerals::Date;
        if (how == Numerals::Date && run.size() > 1 && run[0] == '0') units = false;
        out += units ? counted(run, s) : digitWise(run, s);
        i = end;
    }
    return out;
}

} // namespace tovera::numfmt
