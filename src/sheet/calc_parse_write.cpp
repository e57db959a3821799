// The token writer of typed formulas: a parsed expression written as the formula tokens
// of the workbook's BIFF version (BIFF8 or BIFF5).

#include "sheet/biff.h"
#include "sheet/calc_parse_internal.h"

#include <cstring>
#include <iconv.h>

namespace tovera::calc {

namespace {

QByteArray encodeCodepage(const QString& s, int codepage) {
    const char* name = codepage == 932 ? "CP932" : codepage == 1252 ? "CP1252" : nullptr;
    QByteArray out;
    if (!name) {
        for (QChar c : s) {
            if (c.unicode() >= 0x80)
                throw ParseError{
                    QStringLiteral("この形式のブックでは文字列に使えない文字があります")};
            out.append(char(c.unicode()));
        }
        return out;
    }
    iconv_t cd = iconv_open(name, "UTF-8");
    if (cd == iconv_t(-1)) throw ParseError{QStringLiteral("文字列を変換できません")};
    QByteArray in = s.toUtf8();
    out.resize(in.size() * 2 + 4);
    char* ip = in.data();
    size_t il = size_t(in.size());
    char* op = out.data();
    size_t ol = size_t(out.size());
    const size_t r = iconv(cd, &ip, &il, &op, &ol);
    iconv_close(cd);
    if (r == size_t(-1))
        throw ParseError{QStringLiteral("この形式のブックでは文字列に使えない文字があります")};
    out.resize(out.size() - qsizetype(ol));
    return out;
}

} // namespace

void Writer::refFields(const calc::RefField& f) {
    if (b8_) {
        u16(unsigned(f.row));
        u16(unsigned(f.column) | (f.columnRelative ? 0x4000 : 0) | (f.rowRelative ? 0x8000 : 0));
    } else {
        u16(unsigned(f.row) | (f.columnRelative ? 0x4000 : 0) | (f.rowRelative ? 0x8000 : 0));
        u8(unsigned(f.column));
    }
}

void Writer::areaFields(const calc::RefField& a, const calc::RefField& b) {
    if (b8_) {
        u16(unsigned(a.row));
        u16(unsigned(b.row));
        u16(unsigned(a.column) | (a.columnRelative ? 0x4000 : 0) | (a.rowRelative ? 0x8000 : 0));
        u16(unsigned(b.column) | (b.columnRelative ? 0x4000 : 0) | (b.rowRelative ? 0x8000 : 0));
    } else {
        u16(unsigned(a.row) | (a.columnRelative ? 0x4000 : 0) | (a.rowRelative ? 0x8000 : 0));
        u16(unsigned(b.row) | (b.columnRelative ? 0x4000 : 0) | (b.rowRelative ? 0x8000 : 0));
        u8(unsigned(a.column));
        u8(unsigned(b.column));
    }
}

void Writer::string(const QString& s) {
    u8(0x17);
    if (b8_) {
        const bool wide =
            std::any_of(s.begin(), s.end(), [](QChar c) { return c.unicode() > 0xFF; });
        u8(unsigned(s.size()));
        u8(wide ? 1 : 0);
        for (QChar c : s) wide ? u16(c.unicode()) : u8(c.unicode());
    } else {
        const QByteArray bytes = encodeCodepage(s, book_.codepage == 1200 ? 932 : book_.codepage);
        if (bytes.size() > 255) throw ParseError{QStringLiteral("文字列が長すぎます")};
        u8(unsigned(bytes.size()));
        tokens.append(bytes);
    }
}

int Writer::externSheet(int first, int last) {
    auto& list = book_.externSheets;
    for (size_t i = 0; i < list.size(); ++i)
        if (list[i].firstSheet == first && list[i].lastSheet == last && !list[i].external &&
            !list[i].addIn)
            return int(i);
    ExternSheet x;
    x.firstSheet = first;
    x.lastSheet = last;
    list.push_back(x);
    return int(list.size() - 1);
}

void Writer::write(const Expr& e, int cls) {
    switch (e.kind) {
    case Expr::Number:
        if (e.number >= 0 && e.number <= 65535 && e.number == std::floor(e.number)) {
            u8(0x1E);
            u16(unsigned(e.number));
        } else {
            u8(0x1F);
            char raw[8];
            std::memcpy(raw, &e.number, 8);
            tokens.append(raw, 8);
        }
        return;
    case Expr::Text:
        string(e.text);
        return;
    case Expr::Bool:
        u8(0x1D);
        u8(e.number != 0 ? 1 : 0);
        return;
    case Expr::Error:
        u8(0x1C);
        u8(e.code);
        return;
    case Expr::Missing:
        u8(0x16);
        return;
    case Expr::Name:
        if (!b8_) throw ParseError{QStringLiteral("この形式のブックでは名前を使えません")};
        u8(0x03 | unsigned(cls));
        u16(unsigned(e.name + 1));
        u16(0);
        return;
    case Expr::Ref: {
        if (!b8_ && (e.a.row > 16383 || (e.area && e.b.row > 16383))) {
            if (!(e.area && e.a.row == 0 && e.b.row == 65535))
                throw ParseError{
                    QStringLiteral("この形式のブックでは 16384 行目より後を参照できません")};
        }
        calc::RefField a = e.a, b = e.b;
        if (!b8_ && e.area && b.row == 65535) b.row = 16383;
        const bool threeD = e.firstSheet >= 0 && !(e.firstSheet == sheet_ && e.lastSheet == sheet_);
        const unsigned base = (e.area ? 0x05 : 0x04) + (threeD ? 0x16 : 0);
        u8(base | unsigned(cls));
        if (threeD) {
            if (b8_) {
                u16(unsigned(externSheet(e.firstSheet, e.lastSheet)));
            } else {
                u16(0xFFFF); // through the workbook's own sheet list
                for (int i = 0; i < 8; ++i) u8(0);
                u16(unsigned(e.firstSheet));
                u16(unsigned(e.lastSheet));
            }
        }
        if (e.area)
            areaFields(a, b);
        else
            refFields(a);
        return;
    }
    case Expr::Unary:
        write(e.children[0], 0x40);
        u8(e.code);
        return;
    case Expr::Percent:
        write(e.children[0], 0x40);
        u8(0x14);
        return;
    case Expr::Paren:
        write(e.children[0], cls);
        u8(0x15);
        return;
    case Expr::Binary:
        write(e.children[0], cls == 0x60 ? 0x60 : 0x40);
        write(e.children[1], cls == 0x60 ? 0x60 : 0x40);
        u8(e.code);
        return;
    case Expr::Call: {
        const FunctionInfo* f = calc::functionById(e.function);
        if (e.function == 63 || e.function == 74 || e.function == 221) isVolatile = true;
        for (size_t i = 0; i < e.children.size(); ++i) {
            int argClass = ((f->refArgs >> std::min<size_t>(i, 31)) & 1u) ? 0x20 : 0x40;
            if (e.function == 228) argClass = 0x60; // SUMPRODUCT takes arrays
            if (cls == 0x60 && argClass == 0x40) argClass = 0x60;
            write(e.children[i], argClass);
        }
        if (f->fixedArgs >= 0) {
            u8(0x41);
            u16(unsigned(e.function));
        } else {
            u8(0x42);
            u8(unsigned(e.children.size()));
            u16(unsigned(e.function));
        }
        return;
    }
    }
}

} // namespace tovera::calc
