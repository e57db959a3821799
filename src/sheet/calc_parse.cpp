// Typed formulas turned into the workbook's formula tokens: "=ROUND(E8*F8,0)",
// "=SUM(J9:J30)", "=評点明細!J31", "='My sheet'!A1*$B$2", names, strings, booleans, errors.

#include "sheet/biff.h"
#include "sheet/calc.h"
#include "sheet/calc_parse_internal.h"

#include <QRegularExpression>
#include <cstring>

namespace tovera {

namespace {

using calc::Expr;
using calc::FunctionInfo;
using calc::ParseError;
using calc::Writer;

bool isWordChar(QChar c) {
    return c.isLetterOrNumber() || c == u'_' || c == u'.' || c == u'$' || c == u'\\' ||
           c.unicode() >= 0x80;
}

// Column letters "A".."IV" to 0..255, -1 when not a column.
int columnOf(const QString& s) {
    if (s.isEmpty() || s.size() > 2) return -1;
    int c = 0;
    for (QChar ch : s) {
        const char16_t u = ch.toUpper().unicode();
        if (u < u'A' || u > u'Z') return -1;
        c = c * 26 + (u - u'A' + 1);
    }
    return c - 1 <= 255 ? c - 1 : -1;
}

class Parser {
public:
    Parser(const Workbook& book, int sheet, const QString& text)
        : book_(book), sheet_(sheet), s_(text) {}

    Expr parse() {
        Expr e = comparison();
        skipSpaces();
        if (pos_ < s_.size())
            fail(QStringLiteral("「%1」の位置が正しくありません").arg(s_.mid(pos_, 1)));
        return e;
    }

private:
    [[noreturn]] void fail(const QString& message) { throw ParseError{message}; }

    void skipSpaces() {
        while (pos_ < s_.size() && (s_[pos_] == u' ' || s_[pos_] == u'\n')) ++pos_;
    }
    bool peek(const char* op) {
        skipSpaces();
        return s_.mid(pos_).startsWith(QLatin1String(op));
    }
    bool take(const char* op) {
        if (!peek(op)) return false;
        pos_ += qsizetype(std::strlen(op));
        return true;
    }

    Expr binary(uint8_t code, Expr l, Expr r) {
        Expr e;
        e.kind = Expr::Binary;
        e.code = code;
        e.children.push_back(std::move(l));
        e.children.push_back(std::move(r));
        return e;
    }

    Expr comparison() {
        Expr l = concat();
        for (;;) {
            uint8_t code;
            if (take("<>"))
                code = 0x0E;
            else if (take("<="))
                code = 0x0A;
            else if (take(">="))
                code = 0x0C;
            else if (take("<"))
                code = 0x09;
            else if (take(">"))
                code = 0x0D;
            else if (take("="))
                code = 0x0B;
            else
                return l;
            l = binary(code, std::move(l), concat());
        }
    }
    Expr concat() {
        Expr l = additive();
        while (take("&")) l = binary(0x08, std::move(l), additive());
        return l;
    }
    Expr additive() {
        Expr l = multiplicative();
        for (;;) {
            if (take("+"))
                l = binary(0x03, std::move(l), multiplicative());
            else if (take("-"))
                l = binary(0x04, std::move(l), multiplicative());
            else
                return l;
        }
    }
    Expr multiplicative() {
        Expr l = power();
        for (;;) {
            if (take("*"))
                l = binary(0x05, std::move(l), power());
            else if (take("/"))
                l = binary(0x06, std::move(l), power());
            else
                return l;
        }
    }
    Expr power() {
        Expr l = percent();
        while (take("^")) l = binary(0x07, std::move(l), percent());
        return l;
    }
    Expr percent() {
        Expr e = unary();
        while (take("%")) {
            Expr p;
            p.kind = Expr::Percent;
            p.children.push_back(std::move(e));
            e = std::move(p);
        }
        return e;
    }
    Expr unary() {
        if (depth_ > kMaxDepth) fail(QStringLiteral("かっこや関数の入れ子が深すぎます"));
        if (take("-") || (peek("+") && take("+"))) {
            ++depth_;
            const bool minus = s_[pos_ - 1] == u'-';
            Expr e;
            e.kind = Expr::Unary;
            e.code = minus ? 0x13 : 0x12;
            e.children.push_back(unary());
            --depth_;
            return e;
        }
        return primary();
    }

    Expr primary() {
        // Excel keeps formulas far shallower; a deeper one is a mistake, not a stack to burn.
        if (++depth_ > kMaxDepth) fail(QStringLiteral("かっこや関数の入れ子が深すぎます"));
        struct Leave {
            int& d;
            ~Leave() { --d; }
        } leave{depth_};
        skipSpaces();
        if (pos_ >= s_.size()) fail(QStringLiteral("式が途中で終わっています"));
        const QChar c = s_[pos_];
        if (c == u'(') {
            ++pos_;
            Expr inner = comparison();
            if (!take(")")) fail(QStringLiteral("閉じかっこがありません"));
            Expr e;
            e.kind = Expr::Paren;
            e.children.push_back(std::move(inner));
            return e;
        }
        if (c == u'"') return stringLiteral();
        if (c == u'#') return errorLiteral();
        if (c == u'\'') return quotedSheetReference();
        if (c.isDigit() || c == u'.') {
            if (auto r = rowRange()) return *r;
            return numberLiteral();
        }
        if (isWordChar(c)) return word();
        fail(QStringLiteral("「%1」の位置が正しくありません").arg(QString(c)));
    }

    Expr stringLiteral() {
        ++pos_;
        QString text;
        for (;;) {
            if (pos_ >= s_.size()) fail(QStringLiteral("文字列の終わりの \" がありません"));
            const QChar c = s_[pos_++];
            if (c == u'"') {
                if (pos_ < s_.size() && s_[pos_] == u'"') {
                    text += u'"';
                    ++pos_;
                    continue;
                }
                break;
            }
            text += c;
        }
        if (text.size() > 255) fail(QStringLiteral("文字列が 255 文字を超えています"));
        Expr e;
        e.kind = Expr::Text;
        e.text = text;
        return e;
    }

    Expr errorLiteral() {
        static const std::pair<const char*, uint8_t> errors[] = {
            {"#NULL!", 0x00}, {"#DIV/0!", 0x07}, {"#VALUE!", 0x0F}, {"#REF!", 0x17},
            {"#NAME?", 0x1D}, {"#NUM!", 0x24},   {"#N/A", 0x2A}};
        for (const auto& [text, code] : errors)
            if (s_.mid(pos_).startsWith(QLatin1String(text), Qt::CaseInsensitive)) {
                pos_ += qsizetype(std::strlen(text));
                Expr e;
                e.kind = Expr::Error;
                e.code = code;
                return e;
            }
        fail(QStringLiteral("エラー値が正しくありません"));
    }

    Expr numberLiteral() {
        static const QRegularExpression re(
            QStringLiteral("^(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?"));
        const auto m = re.match(s_.mid(pos_));
        if (!m.hasMatch()) fail(QStringLiteral("数値が正しくありません"));
        pos_ += m.capturedLength();
        Expr e;
        e.kind = Expr::Number;
        e.number = m.captured(0).toDouble();
        if (!std::isfinite(e.number)) fail(QStringLiteral("数値が大きすぎます"));
        return e;
    }

    // "3:5" and "$3:$5": whole rows.
    std::optional<Expr> rowRange() {
        static const QRegularExpression re(QStringLiteral("^(\\$?)(\\d+):(\\$?)(\\d+)(?![\\w.])"));
        const auto m = re.match(s_.mid(pos_));
        if (!m.hasMatch()) return std::nullopt;
        const int r1 = m.captured(2).toInt() - 1, r2 = m.captured(4).toInt() - 1;
        if (r1 < 0 || r2 < 0 || r1 > 65535 || r2 > 65535) return std::nullopt;
        pos_ += m.capturedLength();
        Expr e;
        e.kind = Expr::Ref;
        e.area = true;
        e.a = {r1, 0, m.captured(1).isEmpty(), false};
        e.b = {r2, 255, m.captured(3).isEmpty(), false};
        return e;
    }

    int sheetIndex(const QString& name) {
        for (size_t i = 0; i < book_.sheets.size(); ++i)
            if (book_.sheets[i].name.compare(name, Qt::CaseInsensitive) == 0) return int(i);
        fail(QStringLiteral("シート「%1」はありません").arg(name));
    }

    Expr quotedSheetReference() {
        ++pos_;
        QString name;
        for (;;) {
            if (pos_ >= s_.size()) fail(QStringLiteral("シート名の終わりの ' がありません"));
            const QChar c = s_[pos_++];
            if (c == u'\'') {
                if (pos_ < s_.size() && s_[pos_] == u'\'') {
                    name += u'\'';
                    ++pos_;
                    continue;
                }
                break;
            }
            name += c;
        }
        if (pos_ >= s_.size() || s_[pos_] != u'!')
            fail(QStringLiteral("シート名の後に ! がありません"));
        ++pos_;
        QString first = name, last = name;
        if (const qsizetype colon = name.indexOf(u':'); colon > 0) {
            first = name.left(colon);
            last = name.mid(colon + 1);
        }
        return referenceOn(sheetIndex(first), sheetIndex(last));
    }

    QString readWord() {
        const qsizetype start = pos_;
        while (pos_ < s_.size() && isWordChar(s_[pos_])) ++pos_;
        return s_.mid(start, pos_ - start);
    }

    // A cell "A1", "$A$1" (false when `w` is none).
    static bool cellOf(const QString& w, calc::RefField& f) {
        static const QRegularExpression re(
            QStringLiteral("^(\\$?)([A-Za-z]{1,2})(\\$?)(\\d{1,5})$"));
        const auto m = re.match(w);
        if (!m.hasMatch()) return false;
        const int col = columnOf(m.captured(2));
        const int row = m.captured(4).toInt() - 1;
        if (col < 0 || row < 0 || row > 65535) return false;
        f = {row, col, m.captured(3).isEmpty(), m.captured(1).isEmpty()};
        return true;
    }

    // A reference after "Sheet!" (or on the own sheet): a cell, an area, whole columns or rows.
    Expr referenceOn(int firstSheet, int lastSheet) {
        Expr e;
        e.kind = Expr::Ref;
        e.firstSheet = firstSheet;
        e.lastSheet = lastSheet;
        if (pos_ < s_.size() && s_[pos_].isDigit()) {
            auto r = rowRange();
            if (!r) fail(QStringLiteral("参照が正しくありません"));
            r->firstSheet = firstSheet;
            r->lastSheet = lastSheet;
            return *r;
        }
        const QString w = readWord();
        if (!cellOrArea(w, e)) fail(QStringLiteral("参照「%1」が正しくありません").arg(w));
        return e;
    }

    // `w` as a cell, followed by ":cell" for an area; or "A:B" whole columns.
    bool cellOrArea(const QString& w, Expr& e) {
        static const QRegularExpression colOnly(QStringLiteral("^(\\$?)([A-Za-z]{1,2})$"));
        if (cellOf(w, e.a)) {
            if (pos_ < s_.size() && s_[pos_] == u':') {
                const qsizetype save = pos_++;
                const QString w2 = readWord();
                if (cellOf(w2, e.b)) {
                    e.area = true;
                    return true;
                }
                pos_ = save;
            }
            return true;
        }
        const auto m = colOnly.match(w);
        if (m.hasMatch() && pos_ < s_.size() && s_[pos_] == u':') {
            const qsizetype save = pos_++;
            const auto m2 = colOnly.match(readWord());
            const int c1 = columnOf(m.captured(2));
            if (m2.hasMatch() && c1 >= 0 && columnOf(m2.captured(2)) >= 0) {
                e.area = true;
                e.a = {0, c1, false, m.captured(1).isEmpty()};
                e.b = {65535, columnOf(m2.captured(2)), false, m2.captured(1).isEmpty()};
                return true;
            }
            pos_ = save;
        }
        return false;
    }

    Expr word() {
        const qsizetype start = pos_;
        QString w = readWord();
        // Sheet!ref and Sheet1:Sheet3!ref
        if (pos_ < s_.size() && s_[pos_] == u'!') {
            ++pos_;
            const int sheet = sheetIndex(w);
            return referenceOn(sheet, sheet);
        }
        if (pos_ < s_.size() && s_[pos_] == u':') {
            const qsizetype save = pos_++;
            const QString w2 = readWord();
            if (pos_ < s_.size() && s_[pos_] == u'!') {
                ++pos_;
                return referenceOn(sheetIndex(w), sheetIndex(w2));
            }
            pos_ = save;
        }
        skipSpaces();
        if (pos_ < s_.size() && s_[pos_] == u'(') return call(w);
        Expr e;
        e.kind = Expr::Ref;
        if (cellOrArea(w, e)) return e;
        if (w.compare(QLatin1String("TRUE"), Qt::CaseInsensitive) == 0 ||
            w.compare(QLatin1String("FALSE"), Qt::CaseInsensitive) == 0) {
            Expr b;
            b.kind = Expr::Bool;
            b.number = w.compare(QLatin1String("TRUE"), Qt::CaseInsensitive) == 0;
            return b;
        }
        const int name = nameIndex(w);
        if (name < 0) {
            pos_ = start;
            fail(QStringLiteral("名前「%1」はありません").arg(w));
        }
        Expr n;
        n.kind = Expr::Name;
        n.name = name;
        return n;
    }

    int nameIndex(const QString& w) const {
        if (book_.biffVersion != 8) return -1;
        int global = -1;
        for (size_t i = 0; i < book_.definedNames.size(); ++i) {
            const DefinedName& n = book_.definedNames[i];
            if (n.builtin() || (n.flags & 0x0002) || n.name.compare(w, Qt::CaseInsensitive) != 0)
                continue;
            if (n.sheet == sheet_) return int(i);
            if (n.sheet == -1) global = int(i);
        }
        return global;
    }

    Expr call(const QString& name) {
        ++pos_; // (
        const int id = calc::functionIdByName(name);
        const FunctionInfo* f = id >= 0 ? calc::functionById(id) : nullptr;
        if (!f) fail(QStringLiteral("関数「%1」はありません").arg(name));
        if (!f->impl)
            fail(QStringLiteral("関数「%1」はこのプログラムでは計算できません").arg(name));
        Expr e;
        e.kind = Expr::Call;
        e.function = id;
        skipSpaces();
        if (!take(")")) {
            for (;;) {
                skipSpaces();
                if (peek(",") || peek(")")) {
                    Expr m;
                    m.kind = Expr::Missing;
                    e.children.push_back(m);
                } else {
                    e.children.push_back(comparison());
                }
                if (take(",")) continue;
                if (take(")")) break;
                fail(QStringLiteral("関数「%1」の閉じかっこがありません").arg(name));
            }
        }
        if (e.children.size() > 30) fail(QStringLiteral("関数「%1」の引数が多すぎます").arg(name));
        if (f->fixedArgs >= 0 && int(e.children.size()) != f->fixedArgs)
            fail(QStringLiteral("関数「%1」の引数は %2 個です").arg(name).arg(f->fixedArgs));
        return e;
    }

    static constexpr int kMaxDepth = 64;
    const Workbook& book_;
    int sheet_;
    QString s_;
    qsizetype pos_ = 0;
    int depth_ = 0;
};

// Full-width ASCII (！ to ～) outside strings and quoted sheet names becomes ASCII, so
// "＝Ｊ６＋Ｋ６" typed with the Japanese input method reads as "=J6+K6".
QString narrowed(const QString& text) {
    QString out;
    out.reserve(text.size());
    QChar quote;
    for (QChar c : text) {
        if (quote.isNull() && c.unicode() >= 0xFF01 && c.unicode() <= 0xFF5E)
            c = QChar(c.unicode() - 0xFEE0);
        else if (quote.isNull() && c.unicode() == 0x3000)
            c = QLatin1Char(' ');
        if (c == u'"' || c == u'\'') {
            if (quote.isNull())
                quote = c;
            else if (quote == c)
                quote = QChar();
        }
        out += c;
    }
    return out;
}

} // namespace

bool isFormulaInput(const QString& input) {
    return input.size() > 1 && (input[0] == u'=' || input[0] == QChar(0xFF1D));
}

std::optional<Formula> parseFormula(Workbook& book, int sheet, const QString& input,
                                    QString& error) {
    if (!isFormulaInput(input)) {
        error = QStringLiteral("数式は = で始めてください");
        return std::nullopt;
    }
    if (book.biffVersion != 8 && book.biffVersion != 5) {
        error = QStringLiteral("この形式のブックには数式を入力できません");
        return std::nullopt;
    }
    const std::vector<ExternSheet> before = book.externSheets;
    try {
        Parser parser(book, sheet, narrowed(input.mid(1)));
        const Expr e = parser.parse();
        Writer w(book, sheet);
        w.write(e, 0x40);
        Formula f;
        if (w.isVolatile) {
            f.tokens = QByteArray("\x19\x01\x00\x00", 4);
            f.flags = 0x0001;
        }
        f.tokens += w.tokens;
        return f;
    } catch (const ParseError& e) {
        book.externSheets = before;
        error = e.message;
        return std::nullopt;
    }
}

} // namespace tovera
