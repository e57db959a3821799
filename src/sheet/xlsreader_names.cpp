// Defined names and external references of the workbook globals: NAME, SUPBOOK and
// EXTERNSHEET records, and the print areas among the names.

#include "sheet/xlsreader_internal.h"

namespace tovera::xlsread {

using biff::Cursor;
using biff::Record;

void readName(Context& ctx, const Record& r) {
    if (ctx.biff < 5) return;
    Cursor c = r.cursor();
    const uint16_t flags = c.u16();
    const uint8_t shortcut = c.u8();
    const uint8_t nameLength = c.u8();
    const uint16_t cce = c.u16();
    c.u16();
    const uint16_t itab = c.u16();
    uint8_t textLengths[4];
    for (uint8_t& n : textLengths) n = c.u8();

    QString name;
    uint16_t builtin = 0xFFFF;
    if (ctx.biff == 8) {
        const uint8_t f = c.u8();
        name = c.chars8(nameLength, f);
        if ((flags & 0x20) && nameLength == 1 && !name.isEmpty()) builtin = name.front().unicode();
    } else {
        const QByteArray bytes = c.bytes(nameLength);
        if ((flags & 0x20) && nameLength == 1 && !bytes.isEmpty()) builtin = uint8_t(bytes[0]);
    }
    const QByteArray tokens = c.bytes(cce);
    const bool complete = c.ok();

    if (ctx.biff == 8) {
        // Every record takes its place: formulas number the names by position.
        NameEntry e;
        e.name.name = name;
        e.name.flags = flags;
        e.name.shortcut = shortcut;
        e.name.tokens = tokens;
        // Array constants follow the tokens; the optional texts would come after them, and
        // with texts present the two cannot be told apart, so the constants are kept only
        // when there are none (such a name with array constants is not written).
        if (!(textLengths[0] | textLengths[1] | textLengths[2] | textLengths[3]))
            e.name.extra = c.bytes(c.remaining());
        else if (tokensNeedExtra(tokens))
            e.damaged = true;
        e.boundSheet = itab == 0 ? -1 : itab - 1;
        e.damaged = e.damaged || !complete || nameLength == 0;
        ctx.names.push_back(std::move(e));
    }

    if (builtin != 0x06 || itab == 0 || !complete) return; // the print area of a sheet
    PrintAreaName p;
    p.boundSheet = itab - 1;
    p.ranges = printAreaRanges(tokens, ctx.biff);
    if (!p.ranges.empty()) ctx.printAreas.push_back(std::move(p));
}

void readSupBook(Context& ctx, const Record& r) {
    if (ctx.biff != 8) return;
    Cursor c = r.cursor();
    c.u16();
    const uint16_t marker = c.u16();
    ctx.ownSupBook.push_back(r.size == 4 && marker == 0x0401);
    ctx.inAddInSupBook = r.size == 4 && marker == 0x3A01 && ctx.addInSupBook < 0;
    if (ctx.inAddInSupBook) ctx.addInSupBook = int(ctx.ownSupBook.size()) - 1;
}

void readExternName(Context& ctx, const Record& r) {
    if (ctx.biff != 8 || !ctx.inAddInSupBook) return;
    Cursor c = r.cursor();
    c.skip(6);
    const QString name = c.string8();
    // Every record keeps its number; a damaged one is named so that nothing calls it.
    ctx.book.addInFunctions.push_back(c.ok() ? name : QString());
}

void readExternSheet(Context& ctx, const Record& r) {
    Cursor c = r.cursor();
    if (ctx.biff == 5) { // one record per sheet or document: encoded name, type first
        c.u8();
        const uint8_t type = c.u8();
        ctx.biff5OwnSheets.push_back(c.ok() && (type == 0x02 || type == 0x03));
        return;
    }
    if (ctx.biff != 8) return;
    const uint16_t n = c.u16();
    for (int k = 0; k < n && c.remaining() >= 6; ++k) {
        ExternRef x;
        x.supBook = c.u16();
        x.first = c.u16();
        x.last = c.u16();
        ctx.xtis.push_back(x);
    }
}

namespace {

// The model sheet of a BOUNDSHEET index, -1 when that sheet was not read as a worksheet.
int modelSheet(const Context& ctx, int boundSheet) {
    if (boundSheet < 0 || size_t(boundSheet) >= ctx.boundSheets.size()) return -1;
    return ctx.boundSheets[size_t(boundSheet)].modelIndex;
}

ExternSheet externSheet(const Context& ctx, const ExternRef& x) {
    ExternSheet e;
    if (ctx.addInSupBook >= 0 && x.supBook == ctx.addInSupBook) {
        e.addIn = true;
        return e;
    }
    const bool own = x.supBook < ctx.ownSupBook.size() && ctx.ownSupBook[x.supBook];
    if (own && x.first == 0xFFFF && x.last == 0xFFFF) return e; // a deleted sheet
    if (own && x.first == 0xFFFE && x.last == 0xFFFE) {
        e.firstSheet = e.lastSheet = kWholeWorkbook;
        return e;
    }
    e.firstSheet = own ? modelSheet(ctx, x.first) : -1;
    e.lastSheet = own ? modelSheet(ctx, x.last) : -1;
    e.external = e.firstSheet < 0 || e.lastSheet < e.firstSheet;
    if (e.external) e.firstSheet = e.lastSheet = -1;
    return e;
}

} // namespace

void finishReferences(Context& ctx) {
    for (const PrintAreaName& p : ctx.printAreas) {
        const int index = modelSheet(ctx, p.boundSheet);
        if (index >= 0) ctx.book.sheets[size_t(index)].pageSetup.printArea = p.ranges;
    }
    if (ctx.biff == 5) {
        std::vector<int> model;
        for (const BoundSheet& bs : ctx.boundSheets) model.push_back(bs.modelIndex);
        for (Sheet& sheet : ctx.book.sheets)
            for (Row& row : sheet.rows)
                for (Cell& cell : row.cells) {
                    if (!cell.formula) continue;
                    QByteArray tokens = cell.formula->tokens;
                    if (!renumberBiff5Sheets(tokens, ctx.biff5OwnSheets, model)) continue;
                    auto f = std::make_shared<Formula>(*cell.formula);
                    f->tokens = std::move(tokens);
                    cell.formula = std::move(f);
                }
    }
    if (ctx.biff != 8) return;
    Workbook& b = ctx.book;
    b.externSheets.reserve(ctx.xtis.size());
    for (const ExternRef& x : ctx.xtis) b.externSheets.push_back(externSheet(ctx, x));
    b.definedNames.reserve(ctx.names.size());
    for (NameEntry& e : ctx.names) {
        DefinedName n = std::move(e.name);
        if (e.boundSheet >= 0) {
            n.sheet = modelSheet(ctx, e.boundSheet);
            if (n.sheet < 0) n.sheet = kNameNotKept;
        }
        if (e.damaged) n.sheet = kNameNotKept;
        b.definedNames.push_back(std::move(n));
    }
}

} // namespace tovera::xlsread
