// The worksheet substream: cells, formulas with their results, rows, columns, merges and
// page setup.

#include "sheet/xlsreader_internal.h"
#include "sheet/xlsreader_messages.h"

#include <algorithm>
#include <map>

namespace tovera::xlsread {

using biff::Cursor;
using biff::Record;
using biff::RecordReader;

namespace {

struct PendingCell {
    int row = 0;
    uint32_t seq = 0;
    Cell cell;
};

struct SharedFormula {
    CellRange range;
    QByteArray tokens;
};

class SheetReader {
public:
    SheetReader(Context& ctx, Sheet& sheet) : ctx_(ctx), sheet_(sheet) {}
    void run(size_t offset);

private:
    void record(const Record& r, RecordReader& reader);
    Cell* add(int row, int column, uint16_t xf);
    uint16_t xfOfBiff2(Cursor& c);
    void number(const Record& r);
    void rk(const Record& r);
    void mulrk(const Record& r);
    void blank(const Record& r);
    void mulblank(const Record& r);
    void labelSst(const Record& r);
    void label(const Record& r, bool rich);
    void boolErr(const Record& r);
    void formula(const Record& r);
    void string(const Record& r, RecordReader& reader);
    void sharedFormula(const Record& r);
    void arrayFormula(const Record& r);
    void rowRecord(const Record& r);
    void colInfo(const Record& r);
    void merged(const Record& r);
    void setup(const Record& r);
    void finish();

    Context& ctx_;
    Sheet& sheet_;
    std::vector<PendingCell> cells_;
    std::vector<Row> rowMeta_;
    std::vector<SharedFormula> shared_;
    std::vector<CellRange> tables_;
    std::vector<size_t> expCells_; // cells whose formula is a ptgExp reference
    long pendingString_ = -1;      // cell waiting for its STRING record
    int biff2Ixfe_ = -1;
    uint32_t seq_ = 0;
};

Cell* SheetReader::add(int row, int column, uint16_t xf) {
    if (row < 0 || row > 65535 || column < 0 || column > 255) return nullptr;
    if (ctx_.cellBudget == 0) xlsmsg::damaged(ctx_.name, QStringLiteral("セルの数が多すぎます"));
    --ctx_.cellBudget;
    PendingCell p;
    p.row = row;
    p.seq = seq_++;
    p.cell.column = uint16_t(column);
    p.cell.xf = xf;
    cells_.push_back(std::move(p));
    return &cells_.back().cell;
}

// BIFF2 cells carry three attribute bytes; the XF index is in the first, or in a preceding
// IXFE record. Files without XF records get formats made from the attributes.
uint16_t SheetReader::xfOfBiff2(Cursor& c) {
    const uint8_t a0 = c.u8(), a1 = c.u8(), a2 = c.u8();
    if ((a0 & 0x3F) == 63 && biff2Ixfe_ >= 0) return uint16_t(biff2Ixfe_);
    if (!ctx_.book.xfs.empty() && ctx_.biff2AttrXf.empty()) return a0 & 0x3F;
    const uint32_t key = uint32_t(a1) | (uint32_t(a2) << 8);
    auto it = ctx_.biff2AttrXf.find(key);
    if (it != ctx_.biff2AttrXf.end()) return uint16_t(it->second);
    CellFormat x;
    x.numberFormat = a1 & 0x3F;
    x.font = fontIndex(a1 >> 6);
    x.hAlign = HAlign(a2 & 7);
    x.left.style = (a2 & 0x08) ? 1 : 0;
    x.right.style = (a2 & 0x10) ? 1 : 0;
    x.top.style = (a2 & 0x20) ? 1 : 0;
    x.bottom.style = (a2 & 0x40) ? 1 : 0;
    const int index = int(ctx_.book.xfs.size());
    ctx_.book.xfs.push_back(x);
    ctx_.biff2AttrXf[key] = index;
    return uint16_t(index);
}

void SheetReader::run(size_t offset) {
    RecordReader reader(*ctx_.stream, offset);
    Record r;
    if (!reader.next(r)) return; // the BOF
    int depth = 0;
    while (reader.next(r)) {
        const bool bof = r.id == biff::kBof8 || r.id == biff::kBof4 || r.id == biff::kBof3 ||
                         r.id == biff::kBof2;
        if (bof) {
            ++depth; // an embedded chart: skipped up to its EOF
            continue;
        }
        if (r.id == biff::kEof) {
            if (depth == 0) break;
            --depth;
            continue;
        }
        if (depth > 0) continue;
        record(r, reader);
    }
    finish();
}

void SheetReader::record(const Record& r, RecordReader& reader) {
    const int v = ctx_.biff;
    if (v < 5 && handleGlobalsRecord(ctx_, r)) return;
    if (pendingString_ >= 0 && r.id != 0x0207 && r.id != 0x0007 && r.id != 0x04BC &&
        r.id != 0x0221 && r.id != 0x0021 && r.id != 0x0236 && r.id != 0x0036) {
        // A string result without its STRING record stays empty text.
        pendingString_ = -1;
    }
    if (v == 2) {
        switch (r.id) {
        case 0x0001:
            blank(r);
            return;
        case 0x0002:
            number(r);
            return;
        case 0x0003:
            number(r);
            return;
        case 0x0004:
            label(r, false);
            return;
        case 0x0005:
            boolErr(r);
            return;
        case 0x0006:
            formula(r);
            return;
        case 0x0007:
            string(r, reader);
            return;
        case 0x0008:
            rowRecord(r);
            return;
        case 0x0044:
            biff2Ixfe_ = r.cursor().u16();
            return;
        case 0x0025: {
            const uint16_t h = r.cursor().u16();
            sheet_.defaultRowHeight = h & 0x7FFF;
            return;
        }
        case 0x0024: { // COLWIDTH
            Cursor c = r.cursor();
            ColumnInfo ci;
            ci.firstColumn = c.u8();
            ci.lastColumn = c.u8();
            ci.width = c.u16();
            if (c.ok() && ci.firstColumn <= ci.lastColumn) sheet_.columns.push_back(ci);
            return;
        }
        default:
            break;
        }
    }
    switch (r.id) {
    case 0x0203:
        number(r);
        return;
    case 0x027E:
        rk(r);
        return;
    case 0x00BD:
        mulrk(r);
        return;
    case 0x0201:
        blank(r);
        return;
    case 0x00BE:
        mulblank(r);
        return;
    case 0x00FD:
        labelSst(r);
        return;
    case 0x0204:
        label(r, false);
        return;
    case 0x00D6:
        label(r, true);
        return;
    case 0x0205:
        boolErr(r);
        return;
    case 0x0006:
    case 0x0206:
    case 0x0406:
        formula(r);
        return;
    case 0x0207:
        string(r, reader);
        return;
    case 0x04BC:
        sharedFormula(r);
        return;
    case 0x0221:
        arrayFormula(r);
        return;
    case 0x0236: {
        Cursor c = r.cursor();
        CellRange t;
        t.firstRow = c.u16();
        t.lastRow = c.u16();
        t.firstColumn = c.u8();
        t.lastColumn = c.u8();
        if (c.ok()) tables_.push_back(t);
        return;
    }
    case 0x0208:
        rowRecord(r);
        return;
    case 0x007D:
        colInfo(r);
        return;
    case 0x0055:
        sheet_.defaultColumnWidth = r.cursor().u16();
        return;
    case 0x0099:
        sheet_.standardWidth = r.cursor().u16();
        return;
    case 0x0225: {
        Cursor c = r.cursor();
        const uint16_t flags = c.u16();
        const uint16_t height = c.u16();
        if (c.ok()) {
            sheet_.defaultRowHeight = height;
            sheet_.rowsHiddenByDefault = flags & 2;
        }
        return;
    }
    case 0x00E5:
        merged(r);
        return;
    case 0x00A1:
        setup(r);
        return;
    case 0x0026:
        sheet_.pageSetup.leftMargin = r.cursor().f64();
        return;
    case 0x0027:
        sheet_.pageSetup.rightMargin = r.cursor().f64();
        return;
    case 0x0028:
        sheet_.pageSetup.topMargin = r.cursor().f64();
        return;
    case 0x0029:
        sheet_.pageSetup.bottomMargin = r.cursor().f64();
        return;
    case 0x0083:
        sheet_.pageSetup.centerHorizontally = r.cursor().u16() == 1;
        return;
    case 0x0084:
        sheet_.pageSetup.centerVertically = r.cursor().u16() == 1;
        return;
    case 0x002A:
        sheet_.pageSetup.printHeadings = r.cursor().u16() == 1;
        return;
    case 0x002B:
        sheet_.pageSetup.printGridlines = r.cursor().u16() == 1;
        return;
    case 0x0081:
        sheet_.pageSetup.fitToPage = r.cursor().u16() & 0x0100;
        return;
    case 0x0014:
    case 0x0015: {
        if (r.size == 0) return;
        Cursor c = r.cursor();
        const QString text = v == 8 ? c.string16() : byteString8(ctx_, c);
        (r.id == 0x0014 ? sheet_.pageSetup.header : sheet_.pageSetup.footer) = text;
        return;
    }
    case 0x023E:
    case 0x003E: {
        Cursor c = r.cursor();
        if (r.id == 0x003E) {
            c.u8();
            sheet_.showGridlines = c.u8() != 0;
        } else {
            sheet_.showGridlines = c.u16() & 0x0002;
            if (v == 8 && r.size >= 14) {
                c.skip(8);
                const uint16_t zoom = c.u16();
                if (zoom >= 10 && zoom <= 400) sheet_.zoomPercent = zoom;
            }
        }
        return;
    }
    case 0x00A0: {
        Cursor c = r.cursor();
        const uint16_t num = c.u16(), den = c.u16();
        if (c.ok() && den != 0 && num * 100 / den >= 10 && num * 100 / den <= 400)
            sheet_.zoomPercent = num * 100 / den;
        return;
    }
    default:
        return;
    }
}

void SheetReader::number(const Record& r) {
    Cursor c = r.cursor();
    const uint16_t row = c.u16(), col = c.u16();
    const uint16_t xf = ctx_.biff == 2 ? xfOfBiff2(c) : c.u16();
    const double value = r.id == 0x0002 ? double(c.u16()) : c.f64();
    if (!c.ok()) return;
    if (Cell* cell = add(row, col, xf)) {
        cell->type = CellType::Number;
        cell->number = value;
    }
}

void SheetReader::rk(const Record& r) {
    Cursor c = r.cursor();
    const uint16_t row = c.u16(), col = c.u16(), xf = c.u16();
    const uint32_t value = c.u32();
    if (!c.ok()) return;
    if (Cell* cell = add(row, col, xf)) {
        cell->type = CellType::Number;
        cell->number = biff::rkValue(value);
    }
}

void SheetReader::mulrk(const Record& r) {
    Cursor c = r.cursor();
    const uint16_t row = c.u16(), first = c.u16();
    if (r.size < 6) return;
    const size_t n = (r.size - 6) / 6;
    for (size_t k = 0; k < n; ++k) {
        const uint16_t xf = c.u16();
        const uint32_t value = c.u32();
        if (!c.ok()) return;
        if (Cell* cell = add(row, int(first + k), xf)) {
            cell->type = CellType::Number;
            cell->number = biff::rkValue(value);
        }
    }
}

void SheetReader::blank(const Record& r) {
    Cursor c = r.cursor();
    const uint16_t row = c.u16(), col = c.u16();
    const uint16_t xf = ctx_.biff == 2 ? xfOfBiff2(c) : c.u16();
    if (c.ok()) add(row, col, xf);
}

void SheetReader::mulblank(const Record& r) {
    Cursor c = r.cursor();
    const uint16_t row = c.u16(), first = c.u16();
    if (r.size < 6) return;
    const size_t n = (r.size - 6) / 2;
    for (size_t k = 0; k < n; ++k) {
        const uint16_t xf = c.u16();
        if (!c.ok()) return;
        add(row, int(first + k), xf);
    }
}

void SheetReader::labelSst(const Record& r) {
    Cursor c = r.cursor();
    const uint16_t row = c.u16(), col = c.u16(), xf = c.u16();
    const uint32_t isst = c.u32();
    if (!c.ok()) return;
    if (Cell* cell = add(row, col, xf)) {
        cell->type = CellType::Text;
        if (isst < ctx_.sst.size()) {
            cell->text = ctx_.sst[isst].text;
            cell->runs = ctx_.sst[isst].runs;
        }
    }
}

void SheetReader::label(const Record& r, bool rich) {
    Cursor c = r.cursor();
    const uint16_t row = c.u16(), col = c.u16();
    const uint16_t xf = ctx_.biff == 2 ? xfOfBiff2(c) : c.u16();
    QString text;
    QList<TextRun> runs;
    if (ctx_.biff == 8) {
        text = c.string16();
        if (rich) {
            const uint16_t n = c.u16();
            for (int k = 0; k < n && c.remaining() >= 4; ++k) {
                TextRun run;
                run.start = c.u16();
                run.font = fontIndex(c.u16());
                if (run.start < text.size()) runs.append(run);
            }
        }
    } else {
        text = ctx_.biff == 2 ? byteString8(ctx_, c) : byteString16(ctx_, c);
        if (rich) {
            const uint8_t n = c.u8();
            for (int k = 0; k < n && c.remaining() >= 2; ++k) {
                TextRun run;
                run.start = c.u8();
                run.font = fontIndex(c.u8());
                if (run.start < text.size()) runs.append(run);
            }
        }
    }
    if (Cell* cell = add(row, col, xf)) {
        cell->type = CellType::Text;
        cell->text = text;
        cell->runs = runs;
    }
}

void SheetReader::boolErr(const Record& r) {
    Cursor c = r.cursor();
    const uint16_t row = c.u16(), col = c.u16();
    const uint16_t xf = ctx_.biff == 2 ? xfOfBiff2(c) : c.u16();
    const uint8_t value = c.u8(), isError = c.u8();
    if (!c.ok()) return;
    if (Cell* cell = add(row, col, xf)) {
        if (isError) {
            cell->type = CellType::Error;
            cell->errorCode = value;
        } else {
            cell->type = CellType::Bool;
            cell->boolValue = value != 0;
        }
    }
}

void SheetReader::formula(const Record& r) {
    Cursor c = r.cursor();
    const uint16_t row = c.u16(), col = c.u16();
    const uint16_t xf = ctx_.biff == 2 ? xfOfBiff2(c) : c.u16();
    const QByteArray result = c.bytes(8);
    uint16_t flags;
    size_t cce;
    if (ctx_.biff == 2) {
        flags = c.u8();
        cce = c.u8();
    } else {
        flags = c.u16();
        if (ctx_.biff >= 5) c.u32();
        cce = c.u16();
    }
    if (!c.ok()) return;
    auto f = std::make_shared<Formula>();
    f->flags = flags;
    f->tokens = c.bytes(cce);
    f->extra = c.bytes(c.remaining());
    Cell* cell = add(row, col, xf);
    if (!cell) return;
    const auto* res = reinterpret_cast<const uint8_t*>(result.constData());
    if (res[6] == 0xFF && res[7] == 0xFF) {
        switch (res[0]) {
        case 0x00:
            cell->type = CellType::Text;
            pendingString_ = long(cells_.size() - 1);
            break;
        case 0x01:
            cell->type = CellType::Bool;
            cell->boolValue = res[2] != 0;
            break;
        case 0x02:
            cell->type = CellType::Error;
            cell->errorCode = res[2];
            break;
        case 0x03:
            cell->type = CellType::Text;
            break;
        default:
            cell->type = CellType::Empty;
            break;
        }
    } else {
        cell->type = CellType::Number;
        std::memcpy(&cell->number, res, 8);
    }
    const int expSize = ctx_.biff == 2 ? 4 : 5;
    if (!f->tokens.isEmpty() && f->tokens[0] == 0x01 && f->tokens.size() == expSize)
        expCells_.push_back(cells_.size() - 1);
    cell->formula = std::move(f);
}

void SheetReader::string(const Record& r, RecordReader& reader) {
    std::vector<biff::Segment> segs{{r.data, r.size}};
    while (reader.peekId() == biff::kContinue) {
        Record more;
        if (!reader.next(more)) break;
        segs.push_back({more.data, more.size});
    }
    if (pendingString_ < 0) return;
    Cursor c(std::move(segs));
    QString text;
    if (ctx_.biff == 8)
        text = c.string16();
    else
        text = ctx_.biff == 2 ? byteString8(ctx_, c) : byteString16(ctx_, c);
    cells_[size_t(pendingString_)].cell.text = text;
    pendingString_ = -1;
}

void SheetReader::sharedFormula(const Record& r) {
    Cursor c = r.cursor();
    SharedFormula s;
    s.range.firstRow = c.u16();
    s.range.lastRow = c.u16();
    s.range.firstColumn = c.u8();
    s.range.lastColumn = c.u8();
    c.u16();
    const uint16_t cce = c.u16();
    s.tokens = c.bytes(cce);
    if (c.ok()) shared_.push_back(std::move(s));
}

void SheetReader::arrayFormula(const Record& r) {
    Cursor c = r.cursor();
    ArrayFormula a;
    a.range.firstRow = c.u16();
    a.range.lastRow = c.u16();
    a.range.firstColumn = c.u8();
    a.range.lastColumn = c.u8();
    a.formula.flags = c.u16();
    if (ctx_.biff >= 5) c.u32();
    const uint16_t cce = c.u16();
    a.formula.tokens = c.bytes(cce);
    a.formula.extra = c.bytes(c.remaining());
    if (c.ok() || !a.formula.tokens.isEmpty()) sheet_.arrayFormulas.push_back(std::move(a));
}

void SheetReader::rowRecord(const Record& r) {
    Cursor c = r.cursor();
    Row row;
    row.index = c.u16();
    c.u16();
    c.u16();
    const uint16_t height = c.u16();
    if (ctx_.biff == 2) {
        row.height = height & 0x7FFF;
        row.customHeight = !(height & 0x8000);
        if (!c.ok()) return;
        rowMeta_.push_back(std::move(row));
        return;
    }
    c.u16();
    c.u16();
    const uint16_t flags = c.u16();
    const uint16_t xf = c.u16();
    if (!c.ok()) return;
    row.height = height & 0x7FFF;
    row.hidden = flags & 0x20;
    row.customHeight = flags & 0x40;
    if (flags & 0x80) row.xf = xf & 0x0FFF;
    rowMeta_.push_back(std::move(row));
}

void SheetReader::colInfo(const Record& r) {
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
    for (const ColumnInfo& old : sheet_.columns) {
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
    sheet_.columns = std::move(kept);
}

void SheetReader::merged(const Record& r) {
    Cursor c = r.cursor();
    const uint16_t n = c.u16();
    for (int k = 0; k < n && c.remaining() >= 8; ++k) {
        CellRange m;
        m.firstRow = c.u16();
        m.lastRow = c.u16();
        m.firstColumn = c.u16();
        m.lastColumn = c.u16();
        if (m.firstRow <= m.lastRow && m.firstColumn <= m.lastColumn && m.lastColumn <= 255)
            sheet_.merges.push_back(m);
    }
}

void SheetReader::setup(const Record& r) {
    Cursor c = r.cursor();
    PageSetup& p = sheet_.pageSetup;
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

void SheetReader::finish() {
    // Resolve references to shared and array formulas now that every group is known; a
    // group is found by its top-left cell.
    using Key = std::pair<int, int>;
    std::map<Key, const ArrayFormula*> arrays;
    for (const ArrayFormula& a : sheet_.arrayFormulas)
        arrays.emplace(Key(a.range.firstRow, a.range.firstColumn), &a);
    std::map<Key, const SharedFormula*> shared;
    for (const SharedFormula& sf : shared_)
        shared.emplace(Key(sf.range.firstRow, sf.range.firstColumn), &sf);
    for (size_t index : expCells_) {
        PendingCell& p = cells_[index];
        const QByteArray& t = p.cell.formula->tokens;
        const auto* b = reinterpret_cast<const uint8_t*>(t.constData());
        const int rw = b[1] | (b[2] << 8);
        const int col = ctx_.biff == 2 ? b[3] : (b[3] | (b[4] << 8));
        auto a = arrays.find(Key(rw, col));
        if (a != arrays.end() && a->second->range.contains(p.row, p.cell.column)) continue;
        auto sf = shared.find(Key(rw, col));
        const SharedFormula* found =
            sf != shared.end() && sf->second->range.contains(p.row, p.cell.column) ? sf->second
                                                                                   : nullptr;
        QByteArray resolved;
        if (found && ctx_.biff == 8 &&
            resolveSharedTokens(found->tokens, p.row, p.cell.column, resolved)) {
            auto f = std::make_shared<Formula>(*p.cell.formula);
            f->tokens = resolved;
            f->flags &= uint16_t(~0x0008);
            p.cell.formula = std::move(f);
        } else {
            // A data table or a group the reader cannot rebuild: the value stays.
            p.cell.formula.reset();
        }
    }
    std::stable_sort(cells_.begin(), cells_.end(), [](const PendingCell& a, const PendingCell& b) {
        return a.row != b.row ? a.row < b.row : a.cell.column < b.cell.column;
    });
    std::stable_sort(rowMeta_.begin(), rowMeta_.end(),
                     [](const Row& a, const Row& b) { return a.index < b.index; });
    std::vector<Row>& rows = sheet_.rows;
    rows.clear();
    size_t m = 0;
    auto takeMeta = [&](int upTo) {
        // Rows with a ROW record but no cells, up to (excluding) `upTo`.
        while (m < rowMeta_.size() && rowMeta_[m].index < upTo) {
            if (rows.empty() || rows.back().index != rowMeta_[m].index)
                rows.push_back(std::move(rowMeta_[m]));
            else
                rows.back() = std::move(rowMeta_[m]);
            ++m;
        }
    };
    for (size_t k = 0; k < cells_.size(); ++k) {
        PendingCell& p = cells_[k];
        if (rows.empty() || rows.back().index != p.row) {
            takeMeta(p.row);
            if (rows.empty() || rows.back().index != p.row) {
                Row r;
                r.index = p.row;
                rows.push_back(std::move(r));
            }
            while (m < rowMeta_.size() && rowMeta_[m].index == p.row) {
                Row& dst = rows.back();
                dst.height = rowMeta_[m].height;
                dst.hidden = rowMeta_[m].hidden;
                dst.customHeight = rowMeta_[m].customHeight;
                dst.xf = rowMeta_[m].xf;
                ++m;
            }
        }
        std::vector<Cell>& rc = rows.back().cells;
        if (!rc.empty() && rc.back().column == p.cell.column)
            rc.back() = std::move(p.cell); // the last record of a cell wins
        else
            rc.push_back(std::move(p.cell));
    }
    takeMeta(65536);
    cells_.clear();
}

} // namespace

void readSheet(Context& ctx, size_t offset, Sheet& sheet) {
    SheetReader reader(ctx, sheet);
    reader.run(offset);
}

} // namespace tovera::xlsread
