// Reading stored token arrays: the size of each token in the layout of each BIFF version,
// and the cells a reference token names.

#include "sheet/biff.h"
#include "sheet/calc_internal.h"

#include <cstring>

namespace tovera::calc {

namespace {

uint16_t get16(const uint8_t* p) {
    return uint16_t(p[0] | (p[1] << 8));
}

// The payload size of the token at `p` for BIFF version `biff`, -1 when unknown or cut.
long payloadSize(const uint8_t* p, const uint8_t* end, int biff) {
    const uint8_t id = p[0];
    const long left = long(end - p) - 1;
    auto need = [&](long n) { return n <= left ? n : -1; };
    if (id >= 0x03 && id <= 0x16) return 0;
    switch (id) {
    case 0x01:
    case 0x02:
        return need(biff == 2 ? 3 : 4);
    case 0x17:
        if (biff == 8) {
            if (left < 2) return -1;
            return need(2 + ((p[2] & 1) ? 2 * long(p[1]) : long(p[1])));
        }
        return left < 1 ? -1 : need(1 + long(p[1]));
    case 0x19:
        if (left < 3) return -1;
        return (p[1] & 0x04) ? need(3 + 2 * (long(get16(p + 2)) + 1)) : 3;
    case 0x1C:
    case 0x1D:
        return need(1);
    case 0x1E:
        return need(2);
    case 0x1F:
        return need(8);
    default:
        break;
    }
    if (id < 0x20 || id > 0x7F) return -1;
    const int base = id & 0x1F;
    const bool b8 = biff == 8;
    switch (base) {
    case 0x00:
        return need(biff == 2 ? 6 : 7);
    case 0x01:
        return need(biff >= 4 ? 2 : 1);
    case 0x02:
        return need(biff >= 4 ? 3 : 2);
    case 0x03:
        return biff >= 5 ? need(b8 ? 4 : 14) : -1;
    case 0x04:
    case 0x0A:
    case 0x0C:
        return need(b8 ? 4 : 3);
    case 0x05:
    case 0x0B:
    case 0x0D:
        return need(b8 ? 8 : 6);
    case 0x06:
    case 0x07:
    case 0x08:
        return need(6);
    case 0x09:
    case 0x0E:
    case 0x0F:
        return need(2);
    case 0x19:
        return biff >= 5 ? need(b8 ? 6 : 24) : -1;
    case 0x1A:
    case 0x1C:
        return biff >= 5 ? need(b8 ? 6 : 17) : -1;
    case 0x1B:
    case 0x1D:
        return biff >= 5 ? need(b8 ? 10 : 20) : -1;
    default:
        return -1;
    }
}

} // namespace

RefField readRef(const uint8_t* p, int biff) {
    RefField f;
    if (biff == 8) {
        const uint16_t cf = get16(p + 2);
        f.row = get16(p);
        f.column = cf & 0x3FFF;
        f.rowRelative = cf & 0x8000;
        f.columnRelative = cf & 0x4000;
    } else {
        const uint16_t rw = get16(p);
        f.row = rw & 0x3FFF;
        f.column = p[2];
        f.rowRelative = rw & 0x8000;
        f.columnRelative = rw & 0x4000;
    }
    return f;
}

// Offsets of the relative-offset tokens (ptgRefN, ptgAreaN) turned into addresses.
void resolveRelative(RefField& f, int biff, int row, int column) {
    if (f.rowRelative) {
        int dr = f.row;
        if (biff == 8)
            dr = int16_t(uint16_t(dr));
        else if (dr & 0x2000)
            dr -= 0x4000;
        f.row = ((row + dr) % 65536 + 65536) % 65536;
    }
    if (f.columnRelative)
        f.column = ((column + int8_t(uint8_t(f.column & 0xFF))) % 256 + 256) % 256;
}

long tokenPayloadSize(const uint8_t* p, const uint8_t* end, int biff) {
    return payloadSize(p, end, biff);
}

RefKind decodeReference(const Workbook& book, int base, const uint8_t* q, int ownSheet, int ownRow,
                        int ownColumn, Area& out) {
    const int biff = book.biffVersion;
    const bool b8 = biff == 8;
    int firstSheet = ownSheet, lastSheet = ownSheet;
    if (base >= 0x1A) { // 3-D: the sheets first
        if (b8) {
            const uint16_t ixti = get16(q);
            if (ixti >= book.externSheets.size()) return RefKind::Unsupported;
            const ExternSheet& x = book.externSheets[ixti];
            if (x.external || x.addIn || x.firstSheet == kWholeWorkbook)
                return RefKind::Unsupported;
            firstSheet = x.firstSheet;
            lastSheet = x.lastSheet;
            q += 2;
        } else {
            if (int16_t(get16(q)) == 0) return RefKind::Unsupported; // another workbook
            firstSheet = get16(q + 10);
            lastSheet = get16(q + 12);
            if (firstSheet == 0xFFFF) firstSheet = -1;
            q += 14;
        }
        base = base == 0x1A ? 0x04 : base == 0x1B ? 0x05 : base == 0x1C ? 0x0A : 0x0B;
    }
    if (base == 0x0A || base == 0x0B) return RefKind::Error;
    if (firstSheet < 0 || lastSheet < firstSheet || size_t(lastSheet) >= book.sheets.size())
        return RefKind::Error;
    CellRange r;
    if (base == 0x04 || base == 0x0C) {
        RefField f = readRef(q, biff);
        if (base == 0x0C) resolveRelative(f, biff, ownRow, ownColumn);
        r = {f.row, f.row, f.column, f.column};
    } else {
        RefField a, b;
        if (b8) {
            const uint8_t first[4] = {q[0], q[1], q[4], q[5]};
            const uint8_t last[4] = {q[2], q[3], q[6], q[7]};
            a = readRef(first, 8);
            b = readRef(last, 8);
        } else {
            const uint8_t first[3] = {q[0], q[1], q[4]};
            const uint8_t last[3] = {q[2], q[3], q[5]};
            a = readRef(first, biff);
            b = readRef(last, biff);
        }
        if (base == 0x0D) {
            resolveRelative(a, biff, ownRow, ownColumn);
            resolveRelative(b, biff, ownRow, ownColumn);
        }
        r = {a.row, b.row, a.column, b.column};
    }
    if (r.firstRow > r.lastRow) std::swap(r.firstRow, r.lastRow);
    if (r.firstColumn > r.lastColumn) std::swap(r.firstColumn, r.lastColumn);
    r.firstColumn = std::min(r.firstColumn, 255);
    r.lastColumn = std::min(r.lastColumn, 255);
    out = Area{firstSheet, lastSheet, r};
    return RefKind::Area;
}

bool readArrayConstant(const QByteArray& extra, qsizetype& pos, int biff, int codepage, int& rows,
                       int& columns, std::vector<Value>& values) {
    const auto* e = reinterpret_cast<const uint8_t*>(extra.constData());
    const qsizetype n = extra.size();
    qsizetype& i = pos;
    if (i + 3 > n) return false;
    columns = e[i] + 1;
    rows = get16(e + i + 1) + 1;
    i += 3;
    values.clear();
    values.reserve(size_t(rows) * size_t(columns));
    for (int k = 0; k < rows * columns; ++k) {
        if (i + 1 > n) return false;
        const uint8_t type = e[i++];
        if (type == 0x02) {
            if (biff == 8) {
                if (i + 3 > n) return false;
                const int cch = get16(e + i);
                const bool wide = e[i + 2] & 1;
                i += 3;
                const qsizetype bytes = wide ? 2 * cch : cch;
                if (i + bytes > n) return false;
                values.push_back(Value::str(
                    wide ? QString::fromUtf16(reinterpret_cast<const char16_t*>(e + i), cch)
                         : QString::fromLatin1(reinterpret_cast<const char*>(e + i), cch)));
                i += bytes;
            } else {
                if (i + 1 > n) return false;
                const int cch = e[i++];
                if (i + cch > n) return false;
                const biff::CodepageDecoder decoder(codepage);
                values.push_back(Value::str(
                    decoder.decode(QByteArray(reinterpret_cast<const char*>(e + i), cch))));
                i += cch;
            }
            continue;
        }
        if (i + 8 > n) return false;
        switch (type) {
        case 0x00:
            values.emplace_back();
            break;
        case 0x01: {
            double d;
            std::memcpy(&d, e + i, 8);
            values.push_back(Value::num(d));
            break;
        }
        case 0x04:
            values.push_back(Value::boolean_(e[i] != 0));
            break;
        case 0x10:
            values.push_back(Value::err(e[i]));
            break;
        default:
            return false;
        }
        i += 8;
    }
    return true;
}

} // namespace tovera::calc
