// Parsing number format codes into sections of tokens.
#include "sheet/numfmt_internal.h"

#include <QHash>
#include <QRegularExpression>

namespace tovera::numfmt {
namespace {

bool isDateToken(Tok k) {
    switch (k) {
    case Tok::Year:
    case Tok::Month:
    case Tok::Day:
    case Tok::JWeekday:
    case Tok::Hour:
    case Tok::Minute:
    case Tok::Second:
    case Tok::SubSecond:
    case Tok::AmPm:
    case Tok::Elapsed:
    case Tok::Era:
    case Tok::EraYear:
        return true;
    default:
        return false;
    }
}

void addLiteral(Section& s, const QString& text) {
    if (text.isEmpty()) return;
    if (!s.tokens.isEmpty() && s.tokens.last().kind == Tok::Literal) {
        s.tokens.last().text += text;
        return;
    }
    Token t;
    t.kind = Tok::Literal;
    t.text = text;
    s.tokens.append(t);
}

void add(Section& s, Tok kind, int n = 0, QChar ch = QChar(), const QString& text = {}) {
    Token t;
    t.kind = kind;
    t.n = n;
    t.ch = ch;
    t.text = text;
    s.tokens.append(t);
}

int runLength(const QString& code, int i, QChar lower) {
    int n = 0;
    while (i + n < code.size() && code[i + n].toLower() == lower) ++n;
    return n;
}

// Splits at the ';' that are not quoted, escaped or bracketed.
QStringList splitSections(const QString& code) {
    QStringList parts;
    QString current;
    bool quoted = false;
    bool bracket = false;
    for (int i = 0; i < code.size(); ++i) {
        const QChar c = code[i];
        if (quoted) {
            if (c == '"') quoted = false;
        } else if (bracket) {
            if (c == ']') bracket = false;
        } else if (c == '"') {
            quoted = true;
        } else if (c == '[') {
            bracket = true;
        } else if ((c == '\\' || c == '_' || c == '*') && i + 1 < code.size()) {
            current += c;
            current += code[++i];
            continue;
        } else if (c == ';') {
            parts.append(current);
            current.clear();
            continue;
        }
        current += c;
    }
    parts.append(current);
    return parts;
}

void parseBracket(Section& s, const QString& inner, QString& replaceWith) {
    static const QRegularExpression condition(
        QStringLiteral("^(<=|>=|<>|<|>|=)\\s*([-+]?[0-9]*\\.?[0-9]+(?:[eE][-+]?[0-9]+)?)$"));
    static const QRegularExpression elapsed(QStringLiteral("^(h+|m+|s+)$"),
                                            QRegularExpression::CaseInsensitiveOption);
    if (inner.startsWith('$')) {
        const int dash = inner.indexOf('-');
        const QString symbol = inner.mid(1, dash < 0 ? -1 : dash - 1);
        const QString locale = dash < 0 ? QString() : inner.mid(dash + 1).toUpper();
        bool ok = false;
        if ((locale.toUInt(&ok, 16) & 0xFFFF) == 0x0411 && ok) s.japaneseNames = true;
        if (locale.endsWith(QStringLiteral("F800")))
            replaceWith = QStringLiteral("yyyy\"年\"m\"月\"d\"日\"");
        else if (locale.endsWith(QStringLiteral("F400")))
            replaceWith = QStringLiteral("h:mm:ss");
        addLiteral(s, symbol);
        return;
    }
    const auto c = condition.match(inner);
    if (c.hasMatch()) {
        s.hasCondition = true;
        s.op = c.captured(1);
        s.operand = c.captured(2).toDouble();
        return;
    }
    if (elapsed.match(inner).hasMatch()) {
        add(s, Tok::Elapsed, static_cast<int>(inner.size()), inner[0].toLower());
        return;
    }
    static const QRegularExpression dbnum(QStringLiteral("^DBNum([123])$"),
                                          QRegularExpression::CaseInsensitiveOption);
    const auto d = dbnum.match(inner);
    if (d.hasMatch()) {
        s.dbnum = d.captured(1).toInt();
        return;
    }
    // Colours and other modifiers do not change the text.
}

void parseSection(const QString& code, Section& s);

void parseInto(const QString& code, Section& s) {
    const int size = static_cast<int>(code.size());
    for (int i = 0; i < size;) {
        const QChar c = code[i];
        const QChar lower = c.toLower();
        if (c == '"') {
            const int end = code.indexOf('"', i + 1);
            addLiteral(s, code.mid(i + 1, end < 0 ? -1 : end - i - 1));
            i = end < 0 ? size : end + 1;
        } else if (c == '\\' || c == '_' || c == '*') {
            if (i + 1 < size && c == '\\') addLiteral(s, QString(code[i + 1]));
            if (i + 1 < size && c == '_') addLiteral(s, QStringLiteral(" "));
            i += 2;
        } else if (c == '[') {
            const int end = code.indexOf(']', i + 1);
            QString replacement;
            parseBracket(s, code.mid(i + 1, end < 0 ? -1 : end - i - 1), replacement);
            if (!replacement.isEmpty()) {
                s.tokens.clear();
                parseInto(replacement, s);
                return;
            }
            i = end < 0 ? size : end + 1;
        } else if (code.mid(i, 7).compare(QStringLiteral("General"), Qt::CaseInsensitive) == 0) {
            add(s, Tok::General);
            i += 7;
        } else if (code.mid(i, 4) == QStringLiteral("G/標準")) {
            add(s, Tok::General);
            i += 4;
        } else if (c == '0' || c == '#' || c == '?') {
            add(s, Tok::Digit, 0, c);
            ++i;
        } else if (c == '.') {
            add(s, Tok::Point);
            ++i;
        } else if (c == ',') {
            add(s, Tok::Comma);
            ++i;
        } else if (c == '%') {
            add(s, Tok::Percent);
            ++i;
        } else if (lower == 'e' && i + 1 < size && (code[i + 1] == '+' || code[i + 1] == '-')) {
            add(s, Tok::Exp, 0, code[i + 1], QString(c));
            i += 2;
        } else if (c == '/') {
            add(s, Tok::Slash);
            ++i;
        } else if (c == '@') {
            add(s, Tok::At);
            ++i;
        } else if (lower == 'y') {
            const int n = runLength(code, i, 'y');
            add(s, Tok::Year, n <= 2 ? 2 : 4);
            i += n;
        } else if (lower == 'm') {
            const int n = runLength(code, i, 'm');
            add(s, Tok::Month, std::min(n, 5));
            i += n;
        } else if (lower == 'd') {
            const int n = runLength(code, i, 'd');
            add(s, Tok::Day, std::min(n, 4));
            i += n;
        } else if (lower == 'h') {
            const int n = runLength(code, i, 'h');
            add(s, Tok::Hour, std::min(n, 2));
            i += n;
        } else if (lower == 's') {
            const int n = runLength(code, i, 's');
            add(s, Tok::Second, std::min(n, 2));
            i += n;
        } else if (code.mid(i, 5).compare(QStringLiteral("AM/PM"), Qt::CaseInsensitive) == 0) {
            add(s, Tok::AmPm, 0, QChar(), code.mid(i, 5));
            i += 5;
        } else if (code.mid(i, 3).compare(QStringLiteral("A/P"), Qt::CaseInsensitive) == 0) {
            add(s, Tok::AmPm, 0, QChar(), code.mid(i, 3));
            i += 3;
        } else if (lower == 'a' && runLength(code, i, 'a') >= 3) {
            const int n = runLength(code, i, 'a');
            add(s, Tok::JWeekday, n == 3 ? 3 : 4);
            i += n;
        } else if (lower == 'g') {
            const int n = runLength(code, i, 'g');
            add(s, Tok::Era, std::min(n, 3));
            i += n;
        } else if (c == 'e') {
            const int n = runLength(code, i, 'e');
            add(s, Tok::EraYear, n >= 2 ? 2 : 1);
            i += n;
        } else {
            addLiteral(s, QString(c));
            ++i;
        }
    }
}

void parseSection(const QString& code, Section& s) {
    parseInto(code, s);
    for (const Token& t : s.tokens) {
        if (isDateToken(t.kind)) s.isDate = true;
        if (t.kind == Tok::At) s.hasAt = true;
        if (t.kind == Tok::General) s.hasGeneral = true;
    }
    if (!s.isDate) return;
    // m and mm mean minutes after an hour or before a second.
    for (int i = 0; i < s.tokens.size(); ++i) {
        Token& t = s.tokens[i];
        if (t.kind != Tok::Month || t.n > 2) continue;
        bool minute = false;
        for (int j = i - 1; j >= 0; --j) {
            const Token& p = s.tokens[j];
            if (!isDateToken(p.kind)) continue;
            minute = p.kind == Tok::Hour || (p.kind == Tok::Elapsed && p.ch == 'h');
            break;
        }
        for (int j = i + 1; !minute && j < s.tokens.size(); ++j) {
            const Token& p = s.tokens[j];
            if (!isDateToken(p.kind)) continue;
            minute = p.kind == Tok::Second || (p.kind == Tok::Elapsed && p.ch == 's');
            break;
        }
        if (minute) t.kind = Tok::Minute;
    }
    // A point followed by zeros gives fractions of a second.
    QList<Token> merged;
    for (int i = 0; i < s.tokens.size(); ++i) {
        const Token& t = s.tokens[i];
        if (t.kind == Tok::Point) {
            int n = 0;
            while (i + 1 + n < s.tokens.size() && s.tokens[i + 1 + n].kind == Tok::Digit &&
                   s.tokens[i + 1 + n].ch == '0')
                ++n;
            if (n > 0) {
                Token sub;
                sub.kind = Tok::SubSecond;
                sub.n = std::min(n, 3);
                merged.append(sub);
                i += n;
                continue;
            }
        }
        merged.append(t);
    }
    s.tokens = merged;
}

} // namespace

bool Section::matches(double v) const {
    if (op == QLatin1String("<")) return v < operand;
    if (op == QLatin1String("<=")) return v <= operand;
    if (op == QLatin1String(">")) return v > operand;
    if (op == QLatin1String(">=")) return v >= operand;
    if (op == QLatin1String("=")) return v == operand;
    if (op == QLatin1String("<>")) return v != operand;
    return true;
}

std::shared_ptr<const Format> parse(const QString& code) {
    thread_local QHash<QString, std::shared_ptr<const Format>> cache;
    auto it = cache.constFind(code);
    if (it != cache.constEnd()) return it.value();
    auto format = std::make_shared<Format>();
    const QStringList parts = splitSections(code);
    for (int i = 0; i < parts.size() && i < 4; ++i) {
        Section s;
        parseSection(parts[i], s);
        format->sections.append(s);
    }
    if (cache.size() > 4096) cache.clear();
    cache.insert(code, format);
    return format;
}

} // namespace tovera::numfmt
