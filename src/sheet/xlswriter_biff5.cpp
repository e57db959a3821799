// Formulas of Excel 5/95 workbooks turned into Excel 97 tokens, so that an older workbook
// saved again keeps its formulas: references widen to the 16-bit column field, strings are
// decoded from the workbook's code page, and the jumps of IF and CHOOSE and the lengths of
// reference sub-expressions are measured again over the new token sizes.
#include "sheet/xlswriter_internal.h"

namespace tovera::xlswrite {
namespace {

uint16_t get16(const uint8_t* p) {
    return uint16_t(p[0] | (p[1] << 8));
}

void put16(QByteArray& out, qsizetype at, unsigned v) {
    out[at] = char(v & 0xFF);
    out[at + 1] = char((v >> 8) & 0xFF);
}

// A BIFF5 row field (bits 14/15 relative flags) and column byte as a BIFF8 pair.
void reference(Body& b, uint16_t rowField, uint8_t column) {
    b.u16(rowField & 0x3FFF).u16(column | (rowField & 0xC000));
}

// A jump or length to fix once every token has its new position.
struct Fix {
    qsizetype field;  // where the new value goes in the output
    size_t target;    // old position the distance reaches
    qsizetype newEnd; // new position the distance counts from
    int adjust;       // subtracted after measuring (tAttrSkip stores distance - 1)
};

} // namespace

bool convertBiff5Tokens(const QByteArray& tokens, const QByteArray& extra,
                        const biff::CodepageDecoder& decoder,
                        const std::function<int(int, int)>& sheetXti, QByteArray& out) {
    out.clear();
    if (tokens.isEmpty() || !extra.isEmpty()) return false; // constants and caches differ
    const auto* p = reinterpret_cast<const uint8_t*>(tokens.constData());
    const size_t n = size_t(tokens.size());
    std::map<size_t, qsizetype> newPos; // old token start -> new token start
    std::vector<Fix> fixes;
    Body b;
    for (size_t i = 0; i < n;) {
        newPos[i] = b.size();
        const uint8_t id = p[i];
        const size_t left = n - i - 1;
        const uint8_t* q = p + i + 1; // payload
        auto need = [&](size_t k) { return k <= left; };
        if (id >= 0x03 && id <= 0x16) {
            b.u8(id);
            i += 1;
            continue;
        }
        switch (id) {
        case 0x17: { // ptgStr: byte string in the code page
            if (!need(1) || !need(1 + size_t(q[0]))) return false;
            const QString s =
                decoder.decode(QByteArray(reinterpret_cast<const char*>(q + 1), q[0]));
            if (s.size() > 255) return false;
            b.u8(id).u8(unsigned(s.size())).u8(isCompressible(s) ? 0 : 1);
            for (QChar c : s) {
                b.u8(c.unicode() & 0xFF);
                if (!isCompressible(s)) b.u8(c.unicode() >> 8);
            }
            i += 2 + q[0];
            continue;
        }
        case 0x19: { // ptgAttr: same layout, jumps measured again
            if (!need(3)) return false;
            const uint8_t grbit = q[0];
            const uint16_t data = get16(q + 1);
            size_t size = 3;
            if (grbit & 0x04) {
                size += 2 * (size_t(data) + 1);
                if (!need(size)) return false;
            }
            const qsizetype at = b.size();
            b.u8(id).raw(QByteArray(reinterpret_cast<const char*>(q), qsizetype(size)));
            const size_t end = i + 4;
            if (grbit & 0x04) {
                for (size_t k = 0; k <= data; ++k)
                    fixes.push_back(
                        {at + 4 + qsizetype(2 * k), end + get16(q + 3 + 2 * k), at + 4, 0});
            } else if (grbit & 0x02) {
                fixes.push_back({at + 2, end + data, at + 4, 0});
            } else if (grbit & 0x08) {
                fixes.push_back({at + 2, end + data + 1, at + 4, 1});
            }
            i += 1 + size;
            continue;
        }
        case 0x1C:
        case 0x1D:
            if (!need(1)) return false;
            b.u8(id).u8(q[0]);
            i += 2;
            continue;
        case 0x1E:
            if (!need(2)) return false;
            b.u8(id).u16(get16(q));
            i += 3;
            continue;
        case 0x1F:
            if (!need(8)) return false;
            b.u8(id).raw(QByteArray(reinterpret_cast<const char*>(q), 8));
            i += 9;
            continue;
        default:
            break;
        }
        if (id < 0x20 || id > 0x7F) return false;
        switch (id & 0x1F) {
        case 0x01: // ptgFunc
            if (!need(2)) return false;
            b.u8(id).u16(get16(q));
            i += 3;
            break;
        case 0x02: // ptgFuncVar
            if (!need(3)) return false;
            b.u8(id).u8(q[0]).u16(get16(q + 1));
            i += 4;
            break;
        case 0x04: // ptgRef
            if (!need(3)) return false;
            b.u8(id);
            reference(b, get16(q), q[2]);
            i += 4;
            break;
        case 0x05: // ptgArea
            if (!need(6)) return false;
            b.u8(id);
            b.u16(get16(q) & 0x3FFF).u16(get16(q + 2) & 0x3FFF);
            b.u16(q[4] | (get16(q) & 0xC000)).u16(q[5] | (get16(q + 2) & 0xC000));
            i += 7;
            break;
        case 0x08: { // ptgMemNoMem: a sub-expression of cce bytes follows
            if (!need(6)) return false;
            const qsizetype at = b.size();
            b.u8(id).raw(QByteArray(reinterpret_cast<const char*>(q), 6));
            fixes.push_back({at + 5, i + 7 + get16(q + 4), at + 7, 0});
            i += 7;
            break;
        }
        case 0x09: { // ptgMemFunc
            if (!need(2)) return false;
            const qsizetype at = b.size();
            b.u8(id).u16(get16(q));
            fixes.push_back({at + 1, i + 3 + get16(q), at + 3, 0});
            i += 3;
            break;
        }
        case 0x0A: // ptgRefErr
            if (!need(3)) return false;
            b.u8(id).u32(0);
            i += 4;
            break;
        case 0x0B: // ptgAreaErr
            if (!need(6)) return false;
            b.u8(id).u32(0).u32(0);
            i += 7;
            break;
        case 0x1A: // 3-D references: sheets already numbered as the model's
        case 0x1B:
        case 0x1C:
        case 0x1D: {
            const size_t size = (id & 0x1F) % 2 == 0 ? 17 : 20;
            if (!need(size) || int16_t(get16(q)) >= 0 || !sheetXti) return false;
            const int xti = sheetXti(get16(q + 10), get16(q + 12));
            if (xti < 0 || xti > 0xFFFF) return false;
            b.u8(id).u16(unsigned(xti));
            const uint8_t* r = q + 14;
            if ((id & 0x1F) == 0x1A) {
                reference(b, get16(r), r[2]);
            } else if ((id & 0x1F) == 0x1B) {
                b.u16(get16(r) & 0x3FFF).u16(get16(r + 2) & 0x3FFF);
                b.u16(r[4] | (get16(r) & 0xC000)).u16(r[5] | (get16(r + 2) & 0xC000));
            } else {
                b.u32(0);
                if ((id & 0x1F) == 0x1D) b.u32(0);
            }
            i += 1 + size;
            break;
        }
        default: // names, arrays, cached areas, shared-formula references
            return false;
        }
    }
    newPos[n] = b.size();
    out = b.bytes();
    for (const Fix& f : fixes) {
        const auto it = newPos.find(f.target);
        if (it == newPos.end()) return false; // a jump into the middle of a token
        const qsizetype distance = it->second - f.newEnd - f.adjust;
        if (distance < 0 || distance > 0xFFFF) return false;
        put16(out, f.field, unsigned(distance));
    }
    return out.size() <= 0xFFFF;
}

} // namespace tovera::xlswrite
