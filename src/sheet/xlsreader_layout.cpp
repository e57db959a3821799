// Sheet records of geometry, view and printing: column widths, default sizes, merged
// ranges, page setup, margins, headers and footers, gridlines and zoom.

#include "sheet/xlsreader_internal.h"

#include <algorithm>

namespace tovera::xlsread {

using biff::Cursor;
using biff::Record;

namespace {

void colInfo(Sheet& sheet, const Record& r) {
    Cursor c = r.cursor();
    ColumnInfo ci;
    ci.firstColumn = c.u16();
    ci.lastColumn = std::min<int>(c.u16(), 255);
    ci.width = c.u16();
    ci.xf = c.u16();
    ci.flags = c.u16();
    ci.hidden = ci.flags & 1;
    if (!c.ok() || ci.firstColumn > ci.lastColumn) return;
    // A later record wins where ranges overlap.
    std::vector<ColumnInfo> kept;
    for (const ColumnInfo& old : sheet.columns) {
        if (old.lastColumn < ci.firstColumn || old.firstColumn > ci.lastColumn) {
            kept.push_back(old);
            continue;
        }
        if (old.firstColumn < ci.firstColumn) {
            ColumnInfo left = old;
            left.lastColumn = ci.firstColumn - 1;
            kept.push_back(left);
        }
        if (old.lastColumn > ci.lastColumn) {
            ColumnInfo right = old;
            right.firstColumn = ci.lastColumn + 1;
            kept.push_back(right);
        }
    }
    kept.push_back(ci);
    std::sort(kept.begin(), kept.end(), [](const ColumnInfo& a, const ColumnInfo& b) {
        return a.firstColumn < b.firstColumn;
    });
    sheet.columns = std::move(kept);
}

void merged(Sheet& sheet, const Record& r) {
    Cursor c = r.cursor();
    const uint16_t n = c.u16();
    for (int k = 0; k < n && c.remaining() >= 8; ++k) {
        CellRange m;
        m.firstRow = c.u16();
        m.lastRow = c.u16();
        m.firstColumn = c.u16();
        m.lastColumn = c.u16();
        if (m.firstRow <= m.lastRow && m.firstColumn <= m.lastColumn && m.lastColumn <= 255)
            sheet.merges.push_back(m);
    }
}

// HORIZONTALPAGEBREAKS / VERTICALPAGEBREAKS: the row or column before which each break
// falls; BIFF8 adds the span of the break, the older versions give the positions alone.
void pageBreaks(std::vector<int>& out, const Record& r, int biff, int limit) {
    Cursor c = r.cursor();
    const uint16_t n = c.u16();
    const size_t entry = biff == 8 ? 6 : 2;
    out.clear();
    for (int k = 0; k < n && c.remaining() >= entry; ++k) {
        const int at = c.u16();
        if (entry == 6) c.skip(4);
        if (at > 0 && at < limit) out.push_back(at);
    }
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
}

void setup(Sheet& sheet, const Record& r) {
    Cursor c = r.cursor();
    PageSetup& p = sheet.pageSetup;
    const uint16_t paper = c.u16(), scale = c.u16();
    c.u16();
    const uint16_t fitW = c.u16(), fitH = c.u16(), flags = c.u16();
    if (!c.ok()) return;
    p.fitWidth = fitW;
    p.fitHeight = fitH;
    p.valid = !(flags & 0x0004);
    if (p.valid) {
        p.paperSize = paper;
        p.scale = scale;
        p.landscape = !(flags & 0x0040) && !(flags & 0x0002);
    }
    if (r.size >= 34) {
        c.skip(4);
        p.headerMargin = c.f64();
        p.footerMargin = c.f64();
    }
}

} // namespace

bool sheetProtectionRecord(Sheet& sheet, const Record& r) {
    Cursor c = r.cursor();
    switch (r.id) {
    case 0x0012:
        sheet.protection.on = c.u16() != 0;
        return true;
    case 0x0013:
        sheet.protection.passwordHash = c.u16();
        return true;
    case 0x0063:
        sheet.protection.objects = c.u16() != 0;
        return true;
    case 0x00DD:
        sheet.protection.scenarios = c.u16() != 0;
        return true;
    case 0x0041: {
        const uint16_t x = c.u16(), y = c.u16(), top = c.u16(), left = c.u16();
        const uint8_t active = c.u8();
        if (!c.ok()) return true;
        sheet.panes.splitColumns = x;
        sheet.panes.splitRows = y;
        sheet.panes.topRow = top;
        sheet.panes.leftColumn = left;
        sheet.panes.activePane = active & 3;
        return true;
    }
    default:
        return false;
    }
}

bool handleLayoutRecord(Context& ctx, Sheet& sheet, const Record& r) {
    const int v = ctx.biff;
    switch (r.id) {
    case 0x007D:
        colInfo(sheet, r);
        return true;
    case 0x0055:
        sheet.defaultColumnWidth = r.cursor().u16();
        return true;
    case 0x0099:
        sheet.standardWidth = r.cursor().u16();
        return true;
    case 0x0225: {
        Cursor c = r.cursor();
        const uint16_t flags = c.u16();
        const uint16_t height = c.u16();
        if (c.ok()) {
            sheet.defaultRowHeight = height;
            sheet.rowsHiddenByDefault = flags & 2;
        }
        return true;
    }
    case 0x00E5:
        merged(sheet, r);
        return true;
    case 0x00A1:
        setup(sheet, r);
        return true;
    case 0x001B:
        pageBreaks(sheet.pageSetup.rowBreaks, r, v, 65536);
        return true;
    case 0x001A:
        pageBreaks(sheet.pageSetup.columnBreaks, r, v, 256);
        return true;
    case 0x0026:
        sheet.pageSetup.leftMargin = r.cursor().f64();
        return true;
    case 0x0027:
        sheet.pageSetup.rightMargin = r.cursor().f64();
        return true;
    case 0x0028:
        sheet.pageSetup.topMargin = r.cursor().f64();
        return true;
    case 0x0029:
        sheet.pageSetup.bottomMargin = r.cursor().f64();
        return true;
    case 0x0083:
        sheet.pageSetup.centerHorizontally = r.cursor().u16() == 1;
        return true;
    case 0x0084:
        sheet.pageSetup.centerVertically = r.cursor().u16() == 1;
        return true;
    case 0x002A:
        sheet.pageSetup.printHeadings = r.cursor().u16() == 1;
        return true;
    case 0x002B:
        sheet.pageSetup.printGridlines = r.cursor().u16() == 1;
        return true;
    case 0x0081:
        sheet.pageSetup.fitToPage = r.cursor().u16() & 0x0100;
        return true;
    case 0x0014:
    case 0x0015: {
        if (r.size == 0) return true;
        Cursor c = r.cursor();
        const QString text = v == 8 ? c.string16() : byteString8(ctx, c);
        (r.id == 0x0014 ? sheet.pageSetup.header : sheet.pageSetup.footer) = text;
        return true;
    }
    case 0x023E:
    case 0x003E: {
        Cursor c = r.cursor();
        if (r.id == 0x003E) {
            c.u8();
            sheet.showGridlines = c.u8() != 0;
        } else {
            const uint16_t flags = c.u16();
            sheet.showGridlines = flags & 0x0002;
            sheet.panes.frozen = flags & 0x0008;
            if (v == 8 && r.size >= 14) {
                c.skip(10); // rwTop, colLeft, gridline colour, reserved, page-break zoom
                const uint16_t zoom = c.u16();
                if (zoom >= 10 && zoom <= 400) sheet.zoomPercent = zoom;
            }
        }
        return true;
    }
    case 0x00A0: {
        Cursor c = r.cursor();
        const uint16_t num = c.u16(), den = c.u16();
        if (c.ok() && den != 0 && num * 100 / den >= 10 && num * 100 / den <= 400)
            sheet.zoomPercent = num * 100 / den;
        return true;
    }
    default:
        return false;
    }
}

} // namespace tovera::xlsread
