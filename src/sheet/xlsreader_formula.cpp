// Token arrays the reader rewrites or inspects: shared formulas turned into ordinary
// formulas for one cell, and the areas of a print-area name.

#include "sheet/calc_internal.h"
#include "sheet/xlsreader_internal.h"

namespace tovera::xlsread {
namespace {

uint16_t get16(const uint8_t* p) {
    return uint16_t(p[0] | (p[1] << 8));
}
void put16(char* p, uint16_t v) {
    p[0] = char(v & 0xFF);
    p[1] = char(v >> 8);
}

// Turns a relative-offset row/column pair (BIFF8) into an address for the cell.
void resolvePair(char* rowField, char* colField, int row, int column) {
    const auto* r = reinterpret_cast<const uint8_t*>(rowField);
    const auto* c = reinterpret_cast<const uint8_t*>(colField);
    uint16_t rw = get16(r);
    uint16_t cf = get16(c);
    if (cf & 0x8000) rw = uint16_t((row + int16_t(rw)) & 0xFFFF);
    if (cf & 0x4000) {
        const int dc = int8_t(cf & 0xFF);
        cf = uint16_t((cf & 0xC000) | ((column + dc) & 0xFF));
    }
    put16(rowField, rw);
    put16(colField, cf);
}

} // namespace

bool resolveSharedTokens(const QByteArray& shared, int row, int column, QByteArray& out) {
    out = shared;
    char* base = out.data();
    const auto* p = reinterpret_cast<const uint8_t*>(out.constData());
    const uint8_t* end = p + out.size();
    while (p < end) {
        const long size = calc::tokenPayloadSize(p, end, 8);
        if (size < 0) return false;
        const uint8_t id = *p;
        char* payload = base + (p - reinterpret_cast<const uint8_t*>(out.constData())) + 1;
        if (id >= 0x20) {
            switch (id & 0x1F) {
            case 0x0C: // ptgRefN -> ptgRef
                payload[-1] = char(id - 0x08);
                resolvePair(payload, payload + 2, row, column);
                break;
            case 0x0D: // ptgAreaN -> ptgArea
                payload[-1] = char(id - 0x08);
                resolvePair(payload, payload + 4, row, column);
                resolvePair(payload + 2, payload + 6, row, column);
                break;
            case 0x1A: // 3-D references in shared formulas are relative too
                resolvePair(payload + 2, payload + 4, row, column);
                break;
            case 0x1B:
                resolvePair(payload + 2, payload + 6, row, column);
                resolvePair(payload + 4, payload + 8, row, column);
                break;
            default:
                break;
            }
        }
        p += 1 + size;
    }
    return true;
}

bool renumberBiff5Sheets(QByteArray& tokens, const std::vector<bool>& ownSheets,
                         const std::vector<int>& modelSheet) {
    bool changed = false;
    for (qsizetype i = 0; i < tokens.size();) {
        const auto* p = reinterpret_cast<const uint8_t*>(tokens.constData()) + i;
        const long size = calc::tokenPayloadSize(p, p + (tokens.size() - i), 5);
        if (size < 0) break;
        const int kind = p[0] >= 0x20 ? (p[0] & 0x1F) : 0;
        if (kind >= 0x1A && kind <= 0x1D) {
            char* q = tokens.data() + i + 1;
            const auto* u = reinterpret_cast<const uint8_t*>(q);
            const int ixals = int16_t(get16(u));
            const uint16_t first = get16(u + 10), last = get16(u + 12);
            int from = -1, to = -1;
            if (ixals < 0 && size_t(-ixals) <= ownSheets.size() && ownSheets[size_t(-ixals - 1)] &&
                first < modelSheet.size() && last < modelSheet.size()) {
                from = modelSheet[first];
                to = modelSheet[last];
            }
            if (from >= 0 && from <= to) {
                put16(q + 10, uint16_t(from));
                put16(q + 12, uint16_t(to));
            } else {
                put16(q, 0);
            }
            changed = true;
        }
        i += 1 + size;
    }
    return changed;
}

bool tokensNeedExtra(const QByteArray& tokens) {
    const auto* p = reinterpret_cast<const uint8_t*>(tokens.constData());
    const uint8_t* end = p + tokens.size();
    while (p < end) {
        const long size = calc::tokenPayloadSize(p, end, 8);
        if (size < 0) return true;
        if (*p >= 0x20 && ((*p & 0x1F) == 0x00 || (*p & 0x1F) == 0x06)) return true;
        p += 1 + size;
    }
    return false;
}

std::vector<CellRange> printAreaRanges(const QByteArray& tokens, int biff) {
    std::vector<CellRange> out;
    const auto* p = reinterpret_cast<const uint8_t*>(tokens.constData());
    const uint8_t* end = p + tokens.size();
    while (p < end) {
        const uint8_t id = *p;
        if (id == 0x29 || id == 0x49 || id == 0x69) { // ptgMemFunc
            p += 3;
        } else if (id == 0x10 || id == 0x15) { // union, parentheses
            p += 1;
        } else if ((id == 0x3B || id == 0x5B || id == 0x7B) && biff == 8 && end - p >= 11) {
            CellRange r;
            r.firstRow = get16(p + 3);
            r.lastRow = get16(p + 5);
            r.firstColumn = get16(p + 7) & 0xFF;
            r.lastColumn = get16(p + 9) & 0xFF;
            out.push_back(r);
            p += 11;
        } else if ((id == 0x3B || id == 0x5B || id == 0x7B) && biff == 5 && end - p >= 21) {
            CellRange r;
            r.firstRow = get16(p + 15) & 0x3FFF;
            r.lastRow = get16(p + 17) & 0x3FFF;
            r.firstColumn = p[19];
            r.lastColumn = p[20];
            out.push_back(r);
            p += 21;
        } else {
            return {};
        }
    }
    return out;
}

} // namespace tovera::xlsread
