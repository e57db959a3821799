// The workbook writer's references: the external-sheet table (one SUPBOOK for the workbook
// itself and its EXTERNSHEET), the defined names with the print areas among them, and the
// renumbering of the 3-D and name tokens of formulas to the tables written.
#include "sheet/xlswriter_internal.h"

#include <deque>
#include <map>
#include <set>

namespace tovera::xlswrite {
namespace {

constexpr size_t kMaxXti = (kMaxRecordData - 2) / 6; // XTIs one EXTERNSHEET record holds
constexpr size_t kMaxNames = 65000;                  // name numbers are 16-bit

enum class Where { Cell, Name };
enum class Kind { Xti, Name, NameX };

uint16_t get16(const char* p) {
    return uint16_t(uint8_t(p[0]) | (uint8_t(p[1]) << 8));
}
void put16(char* p, unsigned v) {
    p[0] = char(v & 0xFF);
    p[1] = char((v >> 8) & 0xFF);
}

// Payload size of the BIFF8 token at `p` (p[0] is the id, `left` bytes follow it); -1 for a
// token that cannot be written where it stands.
long tokenSize(const uint8_t* p, long left, Where where, bool lone) {
    const uint8_t id = p[0];
    if (id >= 0x03 && id <= 0x16) return 0;
    switch (id) {
    case 0x01: // ptgExp: the one token of a cell of an array formula
        return lone && where == Where::Cell ? 4 : -1;
    case 0x17:
        if (left < 2) return -1;
        return 2 + ((p[2] & 1) ? 2 * long(p[1]) : long(p[1]));
    case 0x19:
        if (left < 3) return -1;
        if (p[1] & 0x04) return 3 + 2 * (long(p[2] | (p[3] << 8)) + 1);
        return 3;
    case 0x1C:
    case 0x1D:
        return 1;
    case 0x1E:
        return 2;
    case 0x1F:
        return 8;
    default:
        break;
    }
    if (id < 0x20 || id > 0x7F) return -1;
    switch (id & 0x1F) {
    case 0x00:
        return 7; // array constant (values in the extra data)
    case 0x01:
    case 0x09:
        return 2;
    case 0x02:
        return 3;
    case 0x03: // ptgName
    case 0x04:
    case 0x0A:
        return 4;
    case 0x05:
    case 0x0B:
        return 8;
    case 0x06:
    case 0x07:
    case 0x08:
        return 6;
    case 0x0C: // relative references: names only (a cell's come from shared formulas)
        return where == Where::Name ? 4 : -1;
    case 0x0D:
        return where == Where::Name ? 8 : -1;
    case 0x0E:
    case 0x0F:
        return where == Where::Name ? 2 : -1;
    case 0x19: // ptgNameX
    case 0x1A: // ptgRef3d
    case 0x1C: // ptgRefErr3d
        return 6;
    case 0x1B: // ptgArea3d
    case 0x1D: // ptgAreaErr3d
        return 10;
    default:
        return -1;
    }
}

// Walks `tokens`, calling visit(kind, payload) for every token that refers to the tables;
// the visitor may rewrite the payload and returns false to refuse the token. False when a
// token is refused, unknown or cut off.
template <class Visit> bool walk(QByteArray& tokens, Where where, Visit visit) {
    const long n = static_cast<long>(tokens.size());
    for (long i = 0; i < n;) {
        const auto* p = reinterpret_cast<const uint8_t*>(tokens.constData()) + i;
        const long size = tokenSize(p, n - i - 1, where, i == 0 && n == 5);
        if (size < 0 || i + 1 + size > n) return false;
        const uint8_t id = p[0];
        if (id >= 0x20) {
            char* payload = tokens.data() + i + 1;
            const int kind = id & 0x1F;
            bool ok = true;
            if (kind == 0x03)
                ok = visit(Kind::Name, payload);
            else if (kind == 0x19)
                ok = visit(Kind::NameX, payload);
            else if (kind >= 0x1A && kind <= 0x1D)
                ok = visit(Kind::Xti, payload);
            if (!ok) return false;
        }
        i += 1 + size;
    }
    return true;
}

// The file XTI of model entry `ixti`, -1 when it is not written.
int fileXti(const Mapping& map, unsigned ixti) {
    return ixti < map.xti.size() ? map.xti[ixti] : -1;
}

// The file name number (1-based) of model name number `ilbl`, 0 when it is not written.
unsigned fileName(const Mapping& map, unsigned ilbl) {
    if (ilbl == 0 || ilbl > map.names.size()) return 0;
    return unsigned(map.names[ilbl - 1] + 1);
}

// Checks the entry of a 3-D token or ptgNameX at `payload`: a 3-D reference needs an entry
// of sheets, a ptgNameX any entry written; an add-in function must be among those written.
// The kind of the entry, or -1 when the token cannot be written.
int entryOf(const Mapping& map, Kind kind, const char* payload) {
    const unsigned ixti = get16(payload);
    if (fileXti(map, ixti) < 0) return -1;
    const uint8_t entry = ixti < map.xtiKind.size() ? map.xtiKind[ixti] : uint8_t(kSheetsXti);
    if (kind == Kind::Xti && entry != kSheetsXti) return -1;
    if (entry == kAddInXti) {
        const unsigned ilbl = get16(payload + 2);
        if (ilbl == 0 || ilbl > map.addIns) return -1;
    }
    return entry;
}

bool remap(QByteArray& tokens, const Mapping& map, Where where) {
    return walk(tokens, where, [&](Kind kind, char* payload) {
        if (kind != Kind::Name) {
            const int entry = entryOf(map, kind, payload);
            if (entry < 0) return false;
            put16(payload, unsigned(fileXti(map, get16(payload))));
            if (kind == Kind::Xti || entry == kAddInXti) return true;
        }
        char* field = kind == Kind::Name ? payload : payload + 2;
        const unsigned name = fileName(map, get16(field));
        if (name == 0) return false;
        put16(field, name);
        return true;
    });
}

// The tokens of a print area over sheet XTI `xti`: one area, or the union of several.
QByteArray printAreaTokens(const std::vector<CellRange>& ranges, int xti) {
    std::vector<CellRange> areas;
    for (const CellRange& r : ranges)
        if (r.firstRow >= 0 && r.firstRow <= r.lastRow && r.lastRow <= 65535 &&
            r.firstColumn >= 0 && r.firstColumn <= r.lastColumn && r.lastColumn <= 255)
            areas.push_back(r);
    if (areas.empty()) return {};
    const size_t n = std::min<size_t>(areas.size(), 200);
    Body f;
    if (n > 1) f.u8(0x29).u16(unsigned(n * 11 + (n - 1)));
    for (size_t k = 0; k < n; ++k) {
        const CellRange& r = areas[k];
        f.u8(0x3B).u16(unsigned(xti)).u16(r.firstRow).u16(r.lastRow);
        f.u16(r.firstColumn & 0xFF).u16(r.lastColumn & 0xFF);
    }
    for (size_t k = 1; k < n; ++k) f.u8(0x10);
    return f.bytes();
}

QByteArray nameRecord(const QString& name, int sheet, uint16_t flags, uint8_t shortcut,
                      const QByteArray& tokens, const QByteArray& extra) {
    const bool compressed = isCompressible(name);
    Body b;
    b.u16(flags).u8(shortcut).u8(unsigned(name.size())).u16(unsigned(tokens.size())).u16(0);
    b.u16(unsigned(sheet + 1)).u8(0).u8(0).u8(0).u8(0).u8(compressed ? 0 : 1);
    for (QChar c : name) {
        b.u8(c.unicode() & 0xFF);
        if (!compressed) b.u8(c.unicode() >> 8);
    }
    b.raw(tokens).raw(extra);
    return b.bytes();
}

bool fits(const QString& name, const QByteArray& tokens, const QByteArray& extra) {
    return !name.isEmpty() && name.size() <= 255 &&
           15 + 2 * name.size() + tokens.size() + extra.size() <= kMaxRecordData;
}

} // namespace

bool remapTokens(const QByteArray& tokens, const Mapping& map, bool allowExp, QByteArray& out) {
    out = tokens;
    if (!allowExp && out.size() == 5 && uint8_t(out[0]) == 0x01) return false;
    return remap(out, map, Where::Cell);
}

bool tokensSelfContained(const QByteArray& tokens, bool allowExp) {
    QByteArray out;
    return !tokens.isEmpty() && remapTokens(tokens, Mapping(), allowExp, out);
}

References planReferences(const Workbook& book, Mapping& map) {
    References refs;
    const int sheetCount = static_cast<int>(book.sheets.size());
    const bool biff8 = book.biffVersion == 8; // older tokens are never written

    // The model's entries keep their numbers. One the file cannot hold (another workbook,
    // a sheet no longer there) becomes a deleted-sheet entry that no formula refers to.
    map.addIns = biff8 ? std::min<size_t>(book.addInFunctions.size(), 0xFFFF) : 0;
    for (size_t k = 0; k < map.addIns; ++k) {
        const QString& f = book.addInFunctions[k];
        refs.addIns.push_back(f.isEmpty() ? QStringLiteral("_") : f.left(255));
    }
    std::map<std::pair<int, int>, int> xtiOf;
    map.xti.assign(biff8 ? book.externSheets.size() : 0, -1);
    map.xtiKind.assign(map.xti.size(), kSheetsXti);
    for (size_t k = 0; k < map.xti.size() && k < kMaxXti; ++k) {
        const ExternSheet& e = book.externSheets[k];
        const int first = e.firstSheet, last = e.lastSheet;
        if (e.addIn && map.addIns > 0) {
            refs.xti.push_back({1, 0xFFFE, 0xFFFE});
            map.xtiKind[k] = kAddInXti;
        } else if (e.addIn || e.external) {
            refs.xti.push_back({});
            continue;
        } else if (first == kWholeWorkbook && last == kWholeWorkbook) {
            refs.xti.push_back({0, 0xFFFE, 0xFFFE});
            map.xtiKind[k] = kWorkbookXti;
        } else if (first >= 0 && first <= last && last < sheetCount) {
            refs.xti.push_back({0, uint16_t(first), uint16_t(last)});
            xtiOf.emplace(std::make_pair(first, last), int(k));
        } else {
            refs.xti.push_back({});
            if (first != -1 || last != -1) continue; // not a deleted sheet: not usable
        }
        map.xti[k] = int(k);
    }

    // The sheets 3-D references of Excel 5/95 formulas span.
    if (book.biffVersion == 5) {
        const biff::CodepageDecoder decoder(book.codepage);
        const auto enter = [&](int first, int last) {
            if (first > last || last >= sheetCount) return -1;
            auto it = xtiOf.find({first, last});
            if (it != xtiOf.end()) return it->second;
            if (refs.xti.size() >= kMaxXti) return -1;
            refs.xti.push_back({0, uint16_t(first), uint16_t(last)});
            return xtiOf.emplace(std::make_pair(first, last), int(refs.xti.size() - 1))
                .first->second;
        };
        QByteArray out;
        for (const Sheet& s : book.sheets)
            for (const Row& r : s.rows)
                for (const Cell& c : r.cells)
                    if (c.formula)
                        convertBiff5Tokens(c.formula->tokens, c.formula->extra, decoder, enter,
                                           out);
    }

    // Print areas refer to their own sheet.
    std::vector<QByteArray> areaTokens(static_cast<size_t>(sheetCount));
    for (int i = 0; i < sheetCount; ++i) {
        const auto& ranges = book.sheets[size_t(i)].pageSetup.printArea;
        if (ranges.empty()) continue;
        auto it = xtiOf.find({i, i});
        if (it == xtiOf.end()) {
            if (refs.xti.size() >= kMaxXti) continue;
            it = xtiOf.emplace(std::make_pair(i, i), int(refs.xti.size())).first;
            refs.xti.push_back({0, uint16_t(i), uint16_t(i)});
        }
        areaTokens[size_t(i)] = printAreaTokens(ranges, it->second);
    }
    map.sheetXti = xtiOf;

    // Names: a name is written when the file can hold it and every name its formula uses.
    const size_t n = biff8 ? std::min(book.definedNames.size(), kMaxNames) : 0;
    std::vector<char> good(n, 0);
    std::vector<QByteArray> tokens(n);
    std::vector<std::vector<size_t>> users(n);
    std::set<std::pair<int, QString>> seen;
    std::vector<char> areaNamed(size_t(sheetCount), 0);
    for (size_t k = 0; k < n; ++k) {
        const DefinedName& d = book.definedNames[k];
        if (d.sheet < -1 || d.sheet >= sheetCount) continue;
        const bool printArea = d.builtin() && d.name == QString(QChar(0x06));
        if (printArea) {
            if (d.sheet < 0 || areaTokens[size_t(d.sheet)].isEmpty()) continue;
            tokens[k] = areaTokens[size_t(d.sheet)];
        } else {
            tokens[k] = d.tokens;
        }
        const QByteArray& extra = printArea ? QByteArray() : d.extra;
        std::vector<size_t> uses;
        // A print area's tokens are made with the file's numbers already.
        const bool ok = printArea || walk(tokens[k], Where::Name, [&](Kind kind, char* payload) {
                            if (kind != Kind::Name) {
                                const int entry = entryOf(map, kind, payload);
                                if (entry < 0) return false;
                                if (kind == Kind::Xti || entry == kAddInXti) return true;
                            }
                            const unsigned ilbl = get16(kind == Kind::Name ? payload : payload + 2);
                            if (ilbl == 0 || ilbl > n) return false;
                            uses.push_back(ilbl - 1);
                            return true;
                        });
        if (!ok || !fits(d.name, tokens[k], extra)) continue;
        // One name of a text per scope (case does not count).
        if (!seen.insert(
                     {d.sheet, d.builtin() ? d.name : QStringLiteral("~") + d.name.toCaseFolded()})
                 .second)
            continue;
        good[k] = 1;
        if (printArea) areaNamed[size_t(d.sheet)] = 1;
        for (size_t u : uses) users[u].push_back(k);
    }
    std::deque<size_t> dropped;
    for (size_t k = 0; k < n; ++k)
        if (!good[k]) dropped.push_back(k);
    while (!dropped.empty()) {
        const size_t k = dropped.front();
        dropped.pop_front();
        for (size_t u : users[k])
            if (good[u]) {
                good[u] = 0;
                if (book.definedNames[u].builtin() && book.definedNames[u].name == QChar(0x06))
                    areaNamed[size_t(book.definedNames[u].sheet)] = 0;
                dropped.push_back(u);
            }
    }
    map.names.assign(biff8 ? book.definedNames.size() : 0, -1);
    int next = 0;
    for (size_t k = 0; k < n; ++k)
        if (good[k]) map.names[k] = next++;
    for (size_t k = 0; k < n; ++k) {
        if (!good[k]) continue;
        const DefinedName& d = book.definedNames[k];
        const bool printArea = d.builtin() && d.name == QString(QChar(0x06));
        if (!printArea) remap(tokens[k], map, Where::Name); // cannot fail: checked above
        refs.names.push_back(nameRecord(d.name, d.sheet, d.flags, d.shortcut, tokens[k],
                                        printArea ? QByteArray() : d.extra));
    }
    for (int i = 0; i < sheetCount; ++i)
        if (!areaNamed[size_t(i)] && !areaTokens[size_t(i)].isEmpty())
            refs.names.push_back(
                nameRecord(QString(QChar(0x06)), i, 0x0020, 0, areaTokens[size_t(i)], {}));
    return refs;
}

void writeReferences(Stream& out, int sheetCount, const References& refs) {
    if (!refs.xti.empty()) {
        out.record(0x01AE, Body().u16(unsigned(sheetCount)).u16(0x0401));
        if (!refs.addIns.empty()) {
            out.record(0x01AE, Body().u16(1).u16(0x3A01));
            // Each function name with the formula Excel gives them: #REF!.
            for (const QString& f : refs.addIns)
                out.record(0x0023, Body().u16(0).u32(0).str8(f).u16(2).u8(0x1C).u8(0x17));
        }
        Body x;
        x.u16(unsigned(refs.xti.size()));
        for (const Xti& e : refs.xti) x.u16(e.supBook).u16(e.first).u16(e.last);
        out.record(0x0017, x);
    }
    for (const QByteArray& name : refs.names) out.record(0x0018, name);
}

} // namespace tovera::xlswrite
