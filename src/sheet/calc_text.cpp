// The text of a stored formula as the user would type it: "=ROUND(E8*F8,0)".

#include "sheet/biff.h"
#include "sheet/calc.h"
#include "sheet/calc_internal.h"

#include <QRegularExpression>
#include <cstring>

namespace tovera {

namespace {

using calc::RefField;

uint16_t get16(const uint8_t* p) {
    return uint16_t(p[0] | (p[1] << 8));
}

QString columnLetters(int column) {
    QString name;
    if (column >= 26) name += QChar(u'A' + column / 26 - 1);
    name += QChar(u'A' + column % 26);
    return name;
}

QString cellText(const RefField& f) {
    return (f.columnRelative ? QString() : QStringLiteral("$")) + columnLetters(f.column) +
           (f.rowRelative ? QString() : QStringLiteral("$")) + QString::number(f.row + 1);
}

QString areaText(const RefField& a, const RefField& b) {
    if (a.row == 0 && b.row >= 65535 && !(a.column == 0 && b.column == 255)) {
        return (a.columnRelative ? QString() : QStringLiteral("$")) + columnLetters(a.column) +
               QLatin1Char(':') + (b.columnRelative ? QString() : QStringLiteral("$")) +
               columnLetters(b.column);
    }
    if (a.column == 0 && b.column == 255 && !(a.row == 0 && b.row >= 65535)) {
        return (a.rowRelative ? QString() : QStringLiteral("$")) + QString::number(a.row + 1) +
               QLatin1Char(':') + (b.rowRelative ? QString() : QStringLiteral("$")) +
               QString::number(b.row + 1);
    }
    return cellText(a) + QLatin1Char(':') + cellText(b);
}

QString errorName(uint8_t code) {
    return errorText(code);
}

QString quoted(const QString& s) {
    QString out = s;
    out.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + out + QLatin1Char('"');
}

class Decompiler {
public:
    Decompiler(const Workbook& book, int sheet, int row, int column, const QByteArray& extra)
        : book_(book), biff_(book.biffVersion), sheet_(sheet), row_(row), column_(column),
          extra_(extra) {}

    bool run(const QByteArray& tokens, QString& out);

private:
    bool step(const uint8_t* p);
    QString sheetPrefix(int first, int last) const;
    bool arrayConstant(QString& out);
    bool function(int id, int argc);
    QString pop() {
        QString s = stack_.back();
        stack_.pop_back();
        return s;
    }

    const Workbook& book_;
    int biff_;
    int sheet_, row_, column_;
    const QByteArray& extra_;
    qsizetype extraPos_ = 0;
    std::vector<QString> stack_;
};

QString Decompiler::sheetPrefix(int first, int last) const {
    auto name = [&](int s) {
        return s >= 0 && size_t(s) < book_.sheets.size() ? book_.sheets[size_t(s)].name
                                                         : QStringLiteral("#REF");
    };
    QString n = name(first);
    if (last != first) n += QLatin1Char(':') + name(last);
    return sheetNameInFormula(n) + QLatin1Char('!');
}

bool Decompiler::arrayConstant(QString& out) {
    int rows = 0, columns = 0;
    std::vector<calc::Value> values;
    if (!calc::readArrayConstant(extra_, extraPos_, biff_, book_.codepage, rows, columns, values))
        return false;
    out = QStringLiteral("{");
    for (int r = 0; r < rows; ++r) {
        if (r) out += QLatin1Char(';');
        for (int c = 0; c < columns; ++c) {
            if (c) out += QLatin1Char(',');
            const calc::Value& v = values[size_t(r) * size_t(columns) + size_t(c)];
            switch (v.kind) {
            case calc::Value::Text:
                out += quoted(v.text);
                break;
            case calc::Value::Number:
                out += calc::numberText(v.number);
                break;
            case calc::Value::Bool:
                out += v.boolean ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
                break;
            case calc::Value::Err:
                out += errorName(v.error);
                break;
            default:
                break;
            }
        }
    }
    out += QLatin1Char('}');
    return true;
}

bool Decompiler::function(int id, int argc) {
    if (int(stack_.size()) < argc) return false;
    QStringList args;
    for (int i = 0; i < argc; ++i) args.prepend(pop());
    QString name;
    if (id == 255) {
        if (args.isEmpty()) return false;
        name = args.takeFirst();
        if (name.startsWith(QLatin1String("_xlfn."), Qt::CaseInsensitive)) name = name.mid(6);
    } else {
        const calc::FunctionInfo* f = calc::functionById(id);
        name = f ? QString::fromLatin1(f->name) : QStringLiteral("FUNCTION%1").arg(id);
    }
    stack_.push_back(name + QLatin1Char('(') + args.join(QLatin1Char(',')) + QLatin1Char(')'));
    return true;
}

bool Decompiler::step(const uint8_t* p) {
    const uint8_t id = p[0];
    const uint8_t* q = p + 1;
    static const char* const binaryOps[] = {
        "+", "-", "*", "/", "^", "&", "<", "<=", "=", ">=", ">", "<>", " ", ",", ":"};
    if (id >= 0x03 && id <= 0x11) {
        if (stack_.size() < 2) return false;
        const QString b = pop(), a = pop();
        stack_.push_back(a + QLatin1String(binaryOps[id - 0x03]) + b);
        return true;
    }
    switch (id) {
    case 0x01:
    case 0x02:
        return false;
    case 0x12:
    case 0x13:
        if (stack_.empty()) return false;
        stack_.back().prepend(id == 0x12 ? QLatin1Char('+') : QLatin1Char('-'));
        return true;
    case 0x14:
        if (stack_.empty()) return false;
        stack_.back().append(QLatin1Char('%'));
        return true;
    case 0x15:
        if (stack_.empty()) return false;
        stack_.back() = QLatin1Char('(') + stack_.back() + QLatin1Char(')');
        return true;
    case 0x16:
        stack_.push_back(QString());
        return true;
    case 0x17: {
        QString s;
        if (biff_ == 8) {
            const int cch = q[0];
            s = (q[1] & 1) ? QString::fromUtf16(reinterpret_cast<const char16_t*>(q + 2), cch)
                           : QString::fromLatin1(reinterpret_cast<const char*>(q + 2), cch);
        } else {
            const biff::CodepageDecoder decoder(book_.codepage);
            s = decoder.decode(QByteArray(reinterpret_cast<const char*>(q + 1), q[0]));
        }
        stack_.push_back(quoted(s));
        return true;
    }
    case 0x19:
        if (q[0] & 0x10) return function(4, 1);
        return true;
    case 0x1C:
        stack_.push_back(errorName(q[0]));
        return true;
    case 0x1D:
        stack_.push_back(q[0] ? QStringLiteral("TRUE") : QStringLiteral("FALSE"));
        return true;
    case 0x1E:
        stack_.push_back(QString::number(get16(q)));
        return true;
    case 0x1F: {
        double d;
        std::memcpy(&d, q, 8);
        stack_.push_back(calc::numberText(d));
        return true;
    }
    default:
        break;
    }
    if (id < 0x20) return false;
    const int base = id & 0x1F;
    const bool b8 = biff_ == 8;
    switch (base) {
    case 0x00: {
        QString s;
        if (!arrayConstant(s)) return false;
        stack_.push_back(s);
        return true;
    }
    case 0x01: {
        const int fid = biff_ >= 4 ? get16(q) : q[0];
        const calc::FunctionInfo* f = calc::functionById(fid);
        if (!f || f->fixedArgs < 0) return false;
        return function(fid, f->fixedArgs);
    }
    case 0x02:
        return function(biff_ >= 4 ? (get16(q + 1) & 0x7FFF) : q[1], q[0] & 0x7F);
    case 0x03: {
        if (!b8) return false;
        const int index = get16(q) - 1;
        if (index < 0 || size_t(index) >= book_.definedNames.size()) return false;
        stack_.push_back(book_.definedNames[size_t(index)].name);
        return true;
    }
    case 0x19: {
        if (!b8) return false;
        const uint16_t ixti = get16(q), ilbl = get16(q + 2);
        if (ixti >= book_.externSheets.size()) return false;
        const ExternSheet& x = book_.externSheets[ixti];
        if (x.addIn && ilbl >= 1 && ilbl <= book_.addInFunctions.size()) {
            stack_.push_back(book_.addInFunctions[ilbl - 1]);
            return true;
        }
        if (x.firstSheet == kWholeWorkbook && ilbl >= 1 && ilbl <= book_.definedNames.size()) {
            stack_.push_back(book_.definedNames[ilbl - 1].name);
            return true;
        }
        return false;
    }
    case 0x06:
        return calc::skipAreaList(extra_, extraPos_, b8);
    case 0x07:
    case 0x08:
    case 0x09:
    case 0x0E:
    case 0x0F:
        return true;
    default:
        break;
    }
    // References.
    QString prefix;
    int kind = base;
    if (base >= 0x1A && base <= 0x1D) {
        if (b8) {
            const uint16_t ixti = get16(q);
            if (ixti >= book_.externSheets.size()) return false;
            const ExternSheet& x = book_.externSheets[ixti];
            if (x.external || x.addIn) return false;
            prefix = sheetPrefix(x.firstSheet, x.lastSheet);
            q += 2;
        } else {
            if (int16_t(get16(q)) == 0) return false;
            const int first = get16(q + 10), last = get16(q + 12);
            prefix = sheetPrefix(first == 0xFFFF ? -1 : first, last == 0xFFFF ? -1 : last);
            q += 14;
        }
        kind = base == 0x1A ? 0x04 : base == 0x1B ? 0x05 : base == 0x1C ? 0x0A : 0x0B;
    }
    switch (kind) {
    case 0x0A:
    case 0x0B:
        stack_.push_back(prefix + QStringLiteral("#REF!"));
        return true;
    case 0x04:
    case 0x0C: {
        RefField f = calc::readRef(q, biff_);
        if (kind == 0x0C) calc::resolveRelative(f, biff_, row_, column_);
        stack_.push_back(prefix + cellText(f));
        return true;
    }
    case 0x05:
    case 0x0D: {
        RefField a, b;
        if (b8) {
            const uint8_t first[4] = {q[0], q[1], q[4], q[5]};
            const uint8_t last[4] = {q[2], q[3], q[6], q[7]};
            a = calc::readRef(first, 8);
            b = calc::readRef(last, 8);
        } else {
            const uint8_t first[3] = {q[0], q[1], q[4]};
            const uint8_t last[3] = {q[2], q[3], q[5]};
            a = calc::readRef(first, biff_);
            b = calc::readRef(last, biff_);
        }
        if (kind == 0x0D) {
            calc::resolveRelative(a, biff_, row_, column_);
            calc::resolveRelative(b, biff_, row_, column_);
        }
        stack_.push_back(prefix + areaText(a, b));
        return true;
    }
    default:
        return false;
    }
}

bool Decompiler::run(const QByteArray& tokens, QString& out) {
    const auto* p = reinterpret_cast<const uint8_t*>(tokens.constData());
    const uint8_t* end = p + tokens.size();
    while (p < end) {
        const long size = calc::tokenPayloadSize(p, end, biff_);
        if (size < 0 || !step(p)) return false;
        p += 1 + size;
    }
    if (stack_.size() != 1) return false;
    out = QLatin1Char('=') + stack_.back();
    return true;
}

} // namespace

QString sheetNameInFormula(const QString& name) {
    bool plain = !name.isEmpty() && !name[0].isDigit();
    for (QChar ch : name)
        if (!(ch.isLetterOrNumber() || ch == u'_' || ch == u'.')) plain = false;
    // A name that reads like a cell reference (AB12) needs quotes too.
    static const QRegularExpression cellLike(QStringLiteral("^[A-Za-z]{1,3}[0-9]+$"));
    if (plain && !cellLike.match(name).hasMatch()) return name;
    QString q = name;
    q.replace(QLatin1String("'"), QLatin1String("''"));
    return QLatin1Char('\'') + q + QLatin1Char('\'');
}

QString formulaText(const Workbook& book, int sheet, int row, int column) {
    if (sheet < 0 || size_t(sheet) >= book.sheets.size()) return {};
    const Sheet& s = book.sheets[size_t(sheet)];
    const Cell* cell = s.cell(row, column);
    if (!cell || !cell->formula) return {};
    const Formula& f = *cell->formula;
    for (const ArrayFormula& a : s.arrayFormulas)
        if (a.range.contains(row, column) && f.tokens.size() >= 1 && f.tokens[0] == 0x01) {
            QString text;
            Decompiler d(book, sheet, a.range.firstRow, a.range.firstColumn, a.formula.extra);
            if (!d.run(a.formula.tokens, text)) return {};
            return QLatin1Char('{') + text + QLatin1Char('}');
        }
    QString text;
    Decompiler d(book, sheet, row, column, f.extra);
    if (!d.run(f.tokens, text)) return {};
    return text;
}

} // namespace tovera
