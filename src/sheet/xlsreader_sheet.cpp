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
    void keep(const Record& r);
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
    void oldNote(const Record& r);
    void finish();

    Context& ctx_;
    Sheet& sheet_;
    std::vector<PendingCell> cells_;
    std::vector<Row> rowMeta_;
    std::vector<SharedFormula> shared_;
    void leaveRowOrder();
    void buildRowsFromPending();
    void mergeRowRecords();
    void resolveFormulaGroups();

    // Cells go straight into the sheet's rows while they come in row and column order (as
    // they do from every common writer); the first one out of order moves them all to
    // `cells_`, which is sorted at the end.
    bool inOrder_ = true;
    size_t rowCapacity_ = 0;                    // cells to reserve in each new row
    std::vector<std::pair<int, int>> expCells_; // (row, column) of ptgExp formula cells
    Cell* pendingString_ = nullptr; // cell waiting for its STRING record; valid until add()
    int biff2Ixfe_ = -1;
    int phase_ = 0;         // 0 before DIMENSIONS, 1 up to WINDOW2, 2 after it
    bool lastKept_ = false; // the previous record was kept (a CONTINUE goes with it)
    uint32_t seq_ = 0;
    // Notes of Excel 2-95 sheets with their text's bytes, decoded once the text is whole.
    std::vector<std::pair<CellNote, QByteArray>> oldNotes_;
};

Cell* SheetReader::add(int row, int column, uint16_t xf) {
    if (row < 0 || row > 65535 || column < 0 || column > 255) return nullptr;
    if (ctx_.cellBudget == 0) xlsmsg::damaged(ctx_.name, QStringLiteral("セルの数が多すぎます"));
    --ctx_.cellBudget;
    pendingString_ = nullptr;
    Cell* cell;
    std::vector<Row>& rows = sheet_.rows;
    if (inOrder_ && (rows.empty() || row > rows.back().index)) {
        Row r;
        r.index = row;
        r.cells.reserve(rowCapacity_);
        rows.push_back(std::move(r));
        rows.back().cells.emplace_back();
        cell = &rows.back().cells.back();
    } else if (inOrder_ && row == rows.back().index && column > rows.back().cells.back().column) {
        rows.back().cells.emplace_back();
        cell = &rows.back().cells.back();
    } else {
        if (inOrder_) leaveRowOrder();
        PendingCell p;
        p.row = row;
        p.seq = seq_++;
        cells_.push_back(std::move(p));
        cell = &cells_.back().cell;
    }
    cell->column = uint16_t(column);
    cell->xf = xf;
    return cell;
}

void SheetReader::leaveRowOrder() {
    inOrder_ = false;
    for (Row& r : sheet_.rows)
        for (Cell& c : r.cells) {
            PendingCell p;
            p.row = r.index;
            p.seq = seq_++;
            p.cell = std::move(c);
            cells_.push_back(std::move(p));
        }
    sheet_.rows.clear();
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
    bool sawEof = false;
    while (reader.next(r)) {
        const bool bof = r.id == biff::kBof8 || r.id == biff::kBof4 || r.id == biff::kBof3 ||
                         r.id == biff::kBof2;
        if (bof) {
            ++depth; // an embedded chart: kept whole up to its EOF
            keep(r);
            continue;
        }
        if (r.id == biff::kEof) {
            if (depth == 0) {
                sawEof = true;
                break;
            }
            --depth;
            keep(r);
            continue;
        }
        if (depth > 0) {
            keep(r);
            continue;
        }
        record(r, reader);
    }
    finish();
    if (reader.truncated())
        reportDamage(ctx_,
                     QStringLiteral("シート「%1」のレコードがストリームの終わりを越えています")
                         .arg(sheet_.name));
    else if (!sawEof)
        reportDamage(ctx_, QStringLiteral("シート「%1」が途中で切れています").arg(sheet_.name));
}

// Records the writer produces itself or that only index the stream; everything else the
// engine does not interpret is kept.
bool rewrittenSheetRecord(uint16_t id) {
    switch (id) {
    case 0x000C: // CALCCOUNT
    case 0x000D: // CALCMODE
    case 0x000F: // REFMODE
    case 0x0010: // DELTA
    case 0x0011: // ITERATION
    case 0x005E: // UNCALCED
    case 0x005F: // SAVERECALC
    case 0x0080: // GUTS
    case 0x0082: // GRIDSET
    case 0x001D: // SELECTION
    case 0x00D7: // DBCELL
    case 0x020B: // INDEX
    case 0x003C: // CONTINUE of a record not kept
        return true;
    default:
        return false;
    }
}

void SheetReader::keep(const Record& r) {
    if (ctx_.biff != 8) return; // the writer writes Excel 97 records only
    KeptRecord k;
    k.id = r.id;
    k.data = QByteArray(reinterpret_cast<const char*>(r.data), qsizetype(r.size));
    std::vector<KeptRecord>& place = phase_ == 0   ? sheet_.kept.beforeCells
                                     : phase_ == 1 ? sheet_.kept.afterCells
                                                   : sheet_.kept.afterWindow;
    place.push_back(std::move(k));
    lastKept_ = true;
}

void SheetReader::record(const Record& r, RecordReader& reader) {
    const int v = ctx_.biff;
    if (r.id == biff::kContinue && lastKept_) {
        keep(r);
        return;
    }
    lastKept_ = false;
    if (r.id == 0x0200) phase_ = std::max(phase_, 1);
    if (r.id == 0x023E) phase_ = 2;
    if (sheetProtectionRecord(sheet_, r)) return;
    if (v < 8 && r.id == 0x001C) {
        oldNote(r);
        return;
    }
    if (v < 5 && handleGlobalsRecord(ctx_, r)) return;
    if (pendingString_ && r.id != 0x0207 && r.id != 0x0007 && r.id != 0x04BC && r.id != 0x0221 &&
        r.id != 0x0021 && r.id != 0x0236 && r.id != 0x0036) {
        // A string result without its STRING record stays empty text.
        pendingString_ = nullptr;
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
    case 0x0200: { // DIMENSIONS: room for the rows and cells it announces
        Cursor c = r.cursor();
        const uint32_t first = v == 8 ? c.u32() : c.u16();
        const uint32_t last = v == 8 ? c.u32() : c.u16();
        const uint16_t firstCol = c.u16(), lastCol = c.u16();
        if (c.ok() && last > first && sheet_.rows.empty()) {
            sheet_.rows.reserve(std::min<size_t>({last - first, 65536, ctx_.cellBudget}));
            if (lastCol > firstCol) rowCapacity_ = std::min<size_t>(lastCol - firstCol, 16);
        }
        return;
    }
    case 0x0208:
        rowRecord(r);
        return;
    default:
        if (!handleLayoutRecord(ctx_, sheet_, r) && !rewrittenSheetRecord(r.id)) keep(r);
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
            pendingString_ = cell;
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
        expCells_.emplace_back(row, col);
    cell->formula = std::move(f);
}

void SheetReader::string(const Record& r, RecordReader& reader) {
    std::vector<biff::Segment> segs{{r.data, r.size}};
    while (reader.peekId() == biff::kContinue) {
        Record more;
        if (!reader.next(more)) break;
        segs.push_back({more.data, more.size});
    }
    if (!pendingString_) return;
    Cursor c(std::move(segs));
    QString text;
    if (ctx_.biff == 8)
        text = c.string16();
    else
        text = ctx_.biff == 2 ? byteString8(ctx_, c) : byteString16(ctx_, c);
    pendingString_->text = text;
    pendingString_ = nullptr;
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

// A note of Excel 2-95: row, column, the length of the whole text and as much of it as one
// record holds; the rest follows in NOTE records of row 0xFFFF.
void SheetReader::oldNote(const Record& r) {
    Cursor c = r.cursor();
    const uint16_t row = c.u16(), column = c.u16(), length = c.u16();
    if (!c.ok()) return;
    const QByteArray part = c.bytes(std::min<size_t>(length, c.remaining()));
    if (row == 0xFFFF) {
        if (!oldNotes_.empty()) oldNotes_.back().second.append(part);
        return;
    }
    if (column > 255 || oldNotes_.size() >= 65536) return;
    CellNote n;
    n.row = row;
    n.column = column;
    oldNotes_.emplace_back(std::move(n), part);
}

void SheetReader::finish() {
    for (auto& [note, bytes] : oldNotes_) {
        note.text = ctx_.decoder.decode(bytes);
        note.text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        note.text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
        sheet_.notes.push_back(std::move(note));
    }
    oldNotes_.clear();
    sheet_.sortNotes();
    if (!inOrder_) buildRowsFromPending();
    mergeRowRecords();
    resolveFormulaGroups();
}

void SheetReader::buildRowsFromPending() {
    std::stable_sort(cells_.begin(), cells_.end(), [](const PendingCell& a, const PendingCell& b) {
        return a.row != b.row ? a.row < b.row : a.cell.column < b.cell.column;
    });
    std::vector<Row>& rows = sheet_.rows;
    for (PendingCell& p : cells_) {
        if (rows.empty() || rows.back().index != p.row) {
            Row r;
            r.index = p.row;
            rows.push_back(std::move(r));
        }
        std::vector<Cell>& rc = rows.back().cells;
        if (!rc.empty() && rc.back().column == p.cell.column)
            rc.back() = std::move(p.cell); // the last record of a cell wins
        else
            rc.push_back(std::move(p.cell));
    }
    cells_.clear();
    cells_.shrink_to_fit();
}

// Heights and formats of ROW records onto the rows of cells, adding rows without cells.
void SheetReader::mergeRowRecords() {
    std::stable_sort(rowMeta_.begin(), rowMeta_.end(),
                     [](const Row& a, const Row& b) { return a.index < b.index; });
    std::vector<Row>& rows = sheet_.rows;
    const size_t withCells = rows.size();
    for (Row& meta : rowMeta_) {
        auto it = std::lower_bound(rows.begin(), rows.begin() + long(withCells), meta.index,
                                   [](const Row& r, int i) { return r.index < i; });
        if (it != rows.begin() + long(withCells) && it->index == meta.index) {
            it->height = meta.height;
            it->hidden = meta.hidden;
            it->customHeight = meta.customHeight;
            it->xf = meta.xf;
        } else if (rows.size() > withCells && rows.back().index == meta.index) {
            rows.back() = std::move(meta); // a repeated ROW record: the last one wins
        } else {
            rows.push_back(std::move(meta));
        }
    }
    if (rows.size() > withCells)
        std::inplace_merge(rows.begin(), rows.begin() + long(withCells), rows.end(),
                           [](const Row& a, const Row& b) { return a.index < b.index; });
    rowMeta_.clear();
}

// Cells of shared and array formulas refer to their group's top-left cell; a shared
// formula becomes the ordinary formula of each cell, an array keeps its reference.
void SheetReader::resolveFormulaGroups() {
    using Key = std::pair<int, int>;
    std::map<Key, const ArrayFormula*> arrays;
    for (const ArrayFormula& a : sheet_.arrayFormulas)
        arrays.emplace(Key(a.range.firstRow, a.range.firstColumn), &a);
    std::map<Key, const SharedFormula*> shared;
    for (const SharedFormula& sf : shared_)
        shared.emplace(Key(sf.range.firstRow, sf.range.firstColumn), &sf);
    const int expSize = ctx_.biff == 2 ? 4 : 5;
    for (const auto& [row, column] : expCells_) {
        Row* r = const_cast<Row*>(sheet_.row(row));
        Cell* cell = r ? const_cast<Cell*>(r->find(column)) : nullptr;
        if (!cell || !cell->formula) continue;
        const QByteArray& t = cell->formula->tokens;
        if (t.size() != expSize || t[0] != 0x01) continue; // replaced by a later record
        const auto* b = reinterpret_cast<const uint8_t*>(t.constData());
        const int rw = b[1] | (b[2] << 8);
        const int col = ctx_.biff == 2 ? b[3] : (b[3] | (b[4] << 8));
        auto a = arrays.find(Key(rw, col));
        if (a != arrays.end() && a->second->range.contains(row, column)) continue;
        auto sf = shared.find(Key(rw, col));
        QByteArray resolved;
        if (sf != shared.end() && sf->second->range.contains(row, column) && ctx_.biff == 8 &&
            resolveSharedTokens(sf->second->tokens, row, column, resolved)) {
            auto f = std::make_shared<Formula>(*cell->formula);
            f->tokens = resolved;
            f->flags &= uint16_t(~0x0008);
            cell->formula = std::move(f);
        } else {
            // A data table or a group the reader cannot rebuild: the value stays.
            cell->formula.reset();
        }
    }
}

} // namespace

void readSheet(Context& ctx, size_t offset, Sheet& sheet) {
    SheetReader reader(ctx, sheet);
    reader.run(offset);
}

} // namespace tovera::xlsread
