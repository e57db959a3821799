// The worksheet substream of the workbook writer.
#include "sheet/xlswriter_internal.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace tovera::xlswrite {
namespace {

constexpr int kMaxRow = 65535;
constexpr int kMaxColumn = 255;

// The RK form of `v` when one represents it exactly.
bool encodeRk(double v, uint32_t& rk) {
    constexpr double lo = -536870912.0, hi = 536870912.0; // ±2^29
    if (v == std::floor(v) && v >= lo && v < hi) {
        rk = (uint32_t(int32_t(v)) << 2) | 2;
        return true;
    }
    const double h = std::round(v * 100);
    if (h >= lo && h < hi && h / 100.0 == v) {
        rk = (uint32_t(int32_t(h)) << 2) | 3;
        return true;
    }
    uint64_t bits;
    std::memcpy(&bits, &v, 8);
    if ((bits & 0x3FFFFFFFFULL) == 0) { // low 34 bits zero: the top 30 bits hold it
        rk = uint32_t(bits >> 32);
        return true;
    }
    const double w = v * 100;
    std::memcpy(&bits, &w, 8);
    if ((bits & 0x3FFFFFFFFULL) == 0 && w / 100 == v) {
        rk = uint32_t(bits >> 32) | 1;
        return true;
    }
    return false;
}

void cellHeader(Body& b, int row, int column, uint16_t xf) {
    b.u16(row).u16(column).u16(xf);
}

QByteArray formulaResult(const Cell& c) {
    Body r;
    switch (c.type) {
    case CellType::Number:
        r.f64(c.number == 0 ? 0.0 : c.number);
        return r.bytes();
    case CellType::Text:
        r.u8(c.text.isEmpty() ? 3 : 0).u8(0).u8(0).u8(0).u8(0).u8(0).u16(0xFFFF);
        return r.bytes();
    case CellType::Bool:
        r.u8(1).u8(0).u8(c.boolValue ? 1 : 0).u8(0).u8(0).u8(0).u16(0xFFFF);
        return r.bytes();
    case CellType::Error:
        r.u8(2).u8(0).u8(c.errorCode).u8(0).u8(0).u8(0).u16(0xFFFF);
        return r.bytes();
    case CellType::Empty:
        break;
    }
    r.u8(3).u8(0).u8(0).u8(0).u8(0).u8(0).u16(0xFFFF);
    return r.bytes();
}

// The written array formula whose top-left cell the lone ptgExp `tokens` names and whose
// range holds (row, column), or null.
const ArrayFormula* arrayAt(const Sheet& sheet, const std::vector<QByteArray>& usable, int row,
                            int column, const QByteArray& tokens) {
    if (tokens.size() != 5 || uint8_t(tokens[0]) != 0x01) return nullptr;
    const int rw = uint8_t(tokens[1]) | (uint8_t(tokens[2]) << 8);
    const int col = uint8_t(tokens[3]) | (uint8_t(tokens[4]) << 8);
    for (size_t i = 0; i < sheet.arrayFormulas.size(); ++i) {
        const ArrayFormula& a = sheet.arrayFormulas[i];
        if (!usable[i].isEmpty() && a.range.firstRow == rw && a.range.firstColumn == col &&
            a.range.contains(row, column))
            return &a;
    }
    return nullptr;
}

void writeCell(Stream& out, const Workbook& book, const Sheet& sheet,
               const std::vector<QByteArray>& arrayTokens, const biff::CodepageDecoder& decoder,
               int row, const Cell& c, const Mapping& map, StringTable& sst) {
    const uint16_t xf = map.mapXf(c.xf);
    const int column = c.column;
    if (c.formula && (book.biffVersion == 8 || book.biffVersion == 5)) {
        const Formula& f = *c.formula;
        const ArrayFormula* array = nullptr;
        QByteArray tokens;
        if (book.biffVersion == 5) {
            const auto sheetXti = [&](int first, int last) {
                const auto it = map.sheetXti.find({first, last});
                return it == map.sheetXti.end() ? -1 : it->second;
            };
            if (!convertBiff5Tokens(f.tokens, f.extra, decoder, sheetXti, tokens)) tokens.clear();
        } else if ((array = arrayAt(sheet, arrayTokens, row, column, f.tokens))) {
            tokens = f.tokens;
        } else if (f.tokens.isEmpty() || !remapTokens(f.tokens, map, false, tokens)) {
            tokens.clear();
        }
        if (!tokens.isEmpty()) {
            Body b;
            cellHeader(b, row, column, xf);
            b.raw(formulaResult(c)).u16(f.flags & 0x0003).u32(0);
            b.u16(unsigned(tokens.size())).raw(tokens);
            if (book.biffVersion == 8) b.raw(f.extra);
            if (b.size() <= kMaxRecordData) {
                out.record(0x0006, b);
                if (array && array->range.firstRow == row && array->range.firstColumn == column) {
                    Body a;
                    a.u16(array->range.firstRow).u16(array->range.lastRow);
                    a.u8(array->range.firstColumn).u8(array->range.lastColumn);
                    a.u16(array->formula.flags & 0x0003).u32(0);
                    const QByteArray& own = arrayTokens[size_t(array - sheet.arrayFormulas.data())];
                    a.u16(unsigned(own.size())).raw(own).raw(array->formula.extra);
                    out.record(0x0221, a);
                }
                if (c.type == CellType::Text && !c.text.isEmpty())
                    out.stringRecord(0x0207, c.text.left(65535));
                return;
            }
        }
    }
    Body b;
    cellHeader(b, row, column, xf);
    switch (c.type) {
    case CellType::Empty:
        out.record(0x0201, b);
        return;
    case CellType::Number: {
        uint32_t rk = 0;
        const double v = c.number == 0 ? 0.0 : c.number;
        if (encodeRk(v, rk)) {
            b.u32(rk);
            out.record(0x027E, b);
        } else {
            b.f64(v);
            out.record(0x0203, b);
        }
        return;
    }
    case CellType::Text: {
        const QString text = c.text.left(65535);
        QList<TextRun> runs;
        for (const TextRun& r : c.runs)
            if (r.start < text.size() && (runs.isEmpty() || r.start > runs.last().start))
                runs.append({r.start, map.fontFileIndex(r.font, map.fontCount)});
        b.u32(uint32_t(sst.add(text, runs)));
        out.record(0x00FD, b);
        return;
    }
    case CellType::Bool:
        b.u8(c.boolValue ? 1 : 0).u8(0);
        out.record(0x0205, b);
        return;
    case CellType::Error:
        b.u8(c.errorCode).u8(1);
        out.record(0x0205, b);
        return;
    }
}

void writePageSetup(Stream& out, const Sheet& sheet) {
    const PageSetup& p = sheet.pageSetup;
    out.record(0x002A, Body().u16(p.printHeadings ? 1 : 0));
    out.record(0x002B, Body().u16(p.printGridlines ? 1 : 0));
    out.record(0x0082, Body().u16(1));
    out.record(0x0080, Body().u16(0).u16(0).u16(0).u16(0));
    out.record(0x0225, Body().u16(sheet.rowsHiddenByDefault ? 2 : 0).u16(sheet.defaultRowHeight));
    out.record(0x0081, Body().u16(p.fitToPage ? 0x05C1 : 0x04C1));
    // Page breaks set by hand; a record holds at most 1026 of them (8224 bytes).
    auto breaks = [&](uint16_t id, const std::vector<int>& at, int limit, uint16_t spanEnd) {
        std::vector<int> kept;
        for (int b : at)
            if (b > 0 && b < limit) kept.push_back(b);
        std::sort(kept.begin(), kept.end());
        kept.erase(std::unique(kept.begin(), kept.end()), kept.end());
        if (kept.empty()) return;
        if (kept.size() > 1026) kept.resize(1026);
        Body body;
        body.u16(uint16_t(kept.size()));
        for (int b : kept) body.u16(uint16_t(b)).u16(0).u16(spanEnd);
        out.record(id, body);
    };
    breaks(0x001B, p.rowBreaks, 65536, 255);
    breaks(0x001A, p.columnBreaks, 256, 65535);
    out.record(0x0014, p.header.isEmpty() ? Body() : Body().str16(p.header.left(255)));
    out.record(0x0015, p.footer.isEmpty() ? Body() : Body().str16(p.footer.left(255)));
    out.record(0x0083, Body().u16(p.centerHorizontally ? 1 : 0));
    out.record(0x0084, Body().u16(p.centerVertically ? 1 : 0));
    out.record(0x0026, Body().f64(p.leftMargin));
    out.record(0x0027, Body().f64(p.rightMargin));
    out.record(0x0028, Body().f64(p.topMargin));
    out.record(0x0029, Body().f64(p.bottomMargin));
    unsigned flags = p.landscape ? 0 : 0x0002;
    if (!p.valid) flags |= 0x0004;
    Body setup;
    setup.u16(p.paperSize).u16(p.scale).u16(1).u16(p.fitWidth).u16(p.fitHeight).u16(flags);
    setup.u16(600).u16(600).f64(p.headerMargin).f64(p.footerMargin).u16(1);
    out.record(0x00A1, setup);
}

void writeProtection(Stream& out, const Protection& p) {
    if (!p.on) return;
    out.record(0x0012, Body().u16(1));
    if (p.scenarios) out.record(0x00DD, Body().u16(1));
    if (p.objects) out.record(0x0063, Body().u16(1));
    if (p.passwordHash != 0) out.record(0x0013, Body().u16(p.passwordHash));
}

} // namespace

bool referencesKeepNumbers(const Mapping& map) {
    for (size_t i = 0; i < map.xti.size(); ++i)
        if (map.xti[i] >= 0 && size_t(map.xti[i]) != i) return false;
    for (size_t i = 0; i < map.names.size(); ++i)
        if (map.names[i] >= 0 && size_t(map.names[i]) != i) return false;
    return true;
}

bool keptRecordHasFormulas(uint16_t id) {
    return id == 0x01B0 || id == 0x01B1 || id == 0x01B2 || id == 0x01BE;
}

void writeKept(Stream& out, const std::vector<KeptRecord>& records, bool withFormulas) {
    bool skipping = false;
    for (const KeptRecord& k : records) {
        if (k.id != biff::kContinue) skipping = !withFormulas && keptRecordHasFormulas(k.id);
        if (!skipping) out.record(k.id, k.data);
    }
}

QByteArray sheetStream(const Workbook& book, int index, const Mapping& map, StringTable& sst,
                       int noteDrawing) {
    const Sheet& sheet = book.sheets[size_t(index)];
    Stream out;
    out.record(0x0809, Body().u16(0x0600).u16(0x0010).u16(0x0DBB).u16(0x07CC).u32(0).u32(6));
    out.record(0x000D, Body().u16(1));
    out.record(0x000C, Body().u16(100));
    out.record(0x000F, Body().u16(1));
    out.record(0x0011, Body().u16(0));
    out.record(0x0010, Body().f64(0.001));
    out.record(0x005F, Body().u16(1));
    writePageSetup(out, sheet);
    writeProtection(out, sheet.protection);
    out.record(0x0055, Body().u16(sheet.defaultColumnWidth));
    for (const ColumnInfo& ci : sheet.columns) {
        if (ci.firstColumn > kMaxColumn || ci.lastColumn < ci.firstColumn) continue;
        const unsigned flags = (ci.flags & 0xFFFE) | (ci.hidden ? 1 : 0);
        out.record(0x007D, Body()
                               .u16(ci.firstColumn)
                               .u16(std::min(ci.lastColumn, kMaxColumn))
                               .u16(ci.width)
                               .u16(map.mapXf(ci.xf))
                               .u16(flags)
                               .u16(0));
    }

    const bool keptFormulas = referencesKeepNumbers(map);
    writeKept(out, sheet.kept.beforeCells, keptFormulas);

    int firstRow = -1, lastRow = -1, firstCol = 256, lastCol = -1;
    for (const Row& r : sheet.rows) {
        if (r.index < 0 || r.index > kMaxRow || r.cells.empty()) continue;
        if (firstRow < 0) firstRow = r.index;
        lastRow = r.index;
        for (const Cell& c : r.cells) {
            if (c.column > kMaxColumn) continue;
            firstCol = std::min<int>(firstCol, c.column);
            lastCol = std::max<int>(lastCol, c.column);
        }
    }
    Body dim;
    if (firstRow < 0 || lastCol < 0)
        dim.u32(0).u32(0).u16(0).u16(0).u16(0);
    else
        dim.u32(firstRow).u32(lastRow + 1).u16(firstCol).u16(lastCol + 1).u16(0);
    out.record(0x0200, dim);

    const biff::CodepageDecoder decoder(book.codepage); // strings of Excel 5/95 formulas
    // The tokens each array formula is written with; empty for one written as values.
    std::vector<QByteArray> arrayTokens;
    for (const ArrayFormula& a : sheet.arrayFormulas) {
        QByteArray tokens;
        if (book.biffVersion != 8 || a.formula.tokens.isEmpty() ||
            a.formula.tokens.size() + a.formula.extra.size() >= 8000 ||
            !remapTokens(a.formula.tokens, map, false, tokens))
            tokens.clear();
        arrayTokens.push_back(tokens);
    }

    // Blocks of up to 32 rows: their ROW records, then their cells.
    std::vector<const Row*> rows;
    for (const Row& r : sheet.rows)
        if (r.index >= 0 && r.index <= kMaxRow &&
            (!r.cells.empty() || r.height != 0 || r.hidden || r.customHeight || r.xf >= 0))
            rows.push_back(&r);
    for (size_t start = 0; start < rows.size(); start += 32) {
        const size_t end = std::min(rows.size(), start + 32);
        for (size_t i = start; i < end; ++i) {
            const Row& r = *rows[i];
            int colMic = 0, colMac = 0;
            if (!r.cells.empty()) {
                colMic = std::min<int>(r.cells.front().column, kMaxColumn);
                colMac = std::min<int>(r.cells.back().column, kMaxColumn) + 1;
            }
            unsigned flags = 0x0100;
            if (r.hidden) flags |= 0x0020;
            if (r.customHeight) flags |= 0x0040;
            if (r.xf >= 0) flags |= 0x0080;
            const uint16_t height = r.height != 0 ? r.height : sheet.defaultRowHeight;
            out.record(0x0208, Body()
                                   .u16(r.index)
                                   .u16(colMic)
                                   .u16(colMac)
                                   .u16(height & 0x7FFF)
                                   .u16(0)
                                   .u16(0)
                                   .u16(flags)
                                   .u16(r.xf >= 0 ? map.mapXf(r.xf) : 15));
        }
        for (size_t i = start; i < end; ++i)
            for (const Cell& c : rows[i]->cells)
                if (c.column <= kMaxColumn)
                    writeCell(out, book, sheet, arrayTokens, decoder, rows[i]->index, c, map, sst);
    }

    writeKept(out, sheet.kept.afterCells, keptFormulas);
    writeNotes(out, sheet, noteDrawing);

    const bool active = index == std::clamp(book.activeSheet, 0, int(book.sheets.size()) - 1);
    unsigned w2 = 0x00B4 | (sheet.showGridlines ? 0x0002 : 0);
    if (active) w2 |= 0x0600;
    const Panes& panes = sheet.panes;
    if (panes.any() && panes.frozen) w2 |= 0x0108;
    const int zoom = std::clamp(sheet.zoomPercent, 10, 400);
    out.record(
        0x023E,
        Body().u16(w2).u16(0).u16(0).u16(64).u16(0).u16(0).u16(zoom == 100 ? 0 : zoom).u32(0));
    if (zoom != 100) out.record(0x00A0, Body().u16(zoom).u16(100));
    int selectionPane = 3;
    if (panes.any()) {
        selectionPane = panes.activePane & 3;
        out.record(0x0041, Body()
                               .u16(std::clamp(panes.splitColumns, 0, 65535))
                               .u16(std::clamp(panes.splitRows, 0, 65535))
                               .u16(std::clamp(panes.topRow, 0, kMaxRow))
                               .u16(std::clamp(panes.leftColumn, 0, kMaxColumn))
                               .u8(unsigned(selectionPane))
                               .u8(0));
    }
    out.record(
        0x001D,
        Body().u8(unsigned(selectionPane)).u16(0).u16(0).u16(0).u16(1).u16(0).u16(0).u8(0).u8(0));
    if (sheet.standardWidth != 0) out.record(0x0099, Body().u16(sheet.standardWidth));

    std::vector<CellRange> merges;
    for (const CellRange& m : sheet.merges)
        if (m.firstRow >= 0 && m.firstColumn >= 0 && m.lastRow <= kMaxRow &&
            m.lastColumn <= kMaxColumn && m.firstRow <= m.lastRow && m.firstColumn <= m.lastColumn)
            merges.push_back(m);
    for (size_t start = 0; start < merges.size(); start += 1026) {
        const size_t end = std::min(merges.size(), start + 1026);
        Body b;
        b.u16(unsigned(end - start));
        for (size_t i = start; i < end; ++i)
            b.u16(merges[i].firstRow)
                .u16(merges[i].lastRow)
                .u16(merges[i].firstColumn)
                .u16(merges[i].lastColumn);
        out.record(0x00E5, b);
    }
    writeKept(out, sheet.kept.afterWindow, keptFormulas);
    out.record(0x000A, Body());
    return out.data();
}

} // namespace tovera::xlswrite
