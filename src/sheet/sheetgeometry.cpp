#include "sheet/sheetgeometry.h"

#include <algorithm>
#include <cmath>

namespace tovera {

namespace {

// True for the face names of the Japanese Gothic and Mincho families the files use.
bool isJapaneseFace(const QString& name) {
    for (QChar ch : name)
        if (ch.unicode() >= 0x3000) return true; // kana, kanji or full-width letters
    const QString n = name.toLower();
    return n.contains(QLatin1String("gothic")) || n.contains(QLatin1String("mincho")) ||
           n.contains(QLatin1String("meiryo"));
}

const ColumnInfo* findColumnInfo(const Sheet& sheet, int column) {
    auto it = std::upper_bound(sheet.columns.begin(), sheet.columns.end(), column,
                               [](int c, const ColumnInfo& ci) { return c < ci.firstColumn; });
    if (it == sheet.columns.begin()) return nullptr;
    --it;
    return column <= it->lastColumn ? &*it : nullptr;
}

// Twips to pixels at 96 DPI, halves rounded up.
int twipsToPixels(int twips) {
    return (twips * 2 + 15) / 30;
}

} // namespace

int maxDigitWidth(const Workbook& book) {
    if (book.fonts.empty()) return 7;
    const Font& f = book.fonts[0];
    int height = f.height ? f.height : 200;
    double base = 7, baseHeight = 200;
    if (isJapaneseFace(f.name)) {
        base = 8;
        baseHeight = 220;
    } else if (f.name.startsWith(QLatin1String("Calibri"), Qt::CaseInsensitive) ||
               f.name.startsWith(QLatin1String("Aptos"), Qt::CaseInsensitive)) {
        baseHeight = 220; // the 11-point defaults of later versions, 7 pixels like Arial 10
    }
    return std::max(1, int(std::lround(base * height / baseHeight)));
}

int columnPixels(const Workbook& book, const Sheet& sheet, int column) {
    if (column < 0 || column >= kSheetColumns) return 0;
    const int mdw = maxDigitWidth(book);
    auto fromStored = [mdw](int width) { return (width + 128 / mdw) * mdw / 256; };
    if (const ColumnInfo* ci = findColumnInfo(sheet, column)) {
        if (ci->hidden || ci->width == 0) return 0;
        return fromStored(ci->width);
    }
    if (sheet.standardWidth) return fromStored(sheet.standardWidth);
    const int px = sheet.defaultColumnWidth * mdw + 5;
    return (px + 7) / 8 * 8;
}

int rowPixels(const Sheet& sheet, int row) {
    if (row < 0 || row >= kSheetRows) return 0;
    if (const Row* r = sheet.row(row)) {
        if (r->hidden) return 0;
        return twipsToPixels(r->height ? r->height : sheet.defaultRowHeight);
    }
    if (sheet.rowsHiddenByDefault) return 0;
    return twipsToPixels(sheet.defaultRowHeight);
}

SheetGeometry::SheetGeometry(const Workbook& book, const Sheet& sheet) {
    for (int c = 0; c < kSheetColumns; ++c)
        columnOffsets_[size_t(c) + 1] = columnOffsets_[size_t(c)] + columnPixels(book, sheet, c);
    defaultRowPixels_ = sheet.rowsHiddenByDefault ? 0 : twipsToPixels(sheet.defaultRowHeight);
    int before = 0;
    for (const Row& r : sheet.rows) {
        if (r.index < 0 || r.index >= kSheetRows) continue;
        const int px = rowPixels(sheet, r.index);
        if (px == defaultRowPixels_) continue;
        rowExceptions_.push_back({r.index, px, before});
        before += px - defaultRowPixels_;
    }
}

int SheetGeometry::columnX(int column) const {
    return columnOffsets_[size_t(std::clamp(column, 0, kSheetColumns))];
}

int SheetGeometry::rowY(int row) const {
    row = std::clamp(row, 0, kSheetRows);
    // The exceptions strictly above `row` add their difference to the default height.
    auto it = std::lower_bound(rowExceptions_.begin(), rowExceptions_.end(), row,
                               [](const RowException& e, int r) { return e.row < r; });
    int extra = 0;
    if (it != rowExceptions_.begin()) {
        const RowException& e = *(it - 1);
        extra = e.before + e.height - defaultRowPixels_;
    }
    return row * defaultRowPixels_ + extra;
}

int SheetGeometry::columnAt(int x) const {
    if (x < 0) return -1;
    if (x >= totalWidth()) return kSheetColumns;
    // The last offset not beyond x; equal offsets (hidden columns) give the visible one after.
    auto it = std::upper_bound(columnOffsets_.begin(), columnOffsets_.end(), x);
    return int(it - columnOffsets_.begin()) - 1;
}

int SheetGeometry::rowAt(int y) const {
    if (y < 0) return -1;
    if (y >= totalHeight()) return kSheetRows;
    // The largest row whose top is at or above y: rowY is non-decreasing, so search it.
    int lo = 0, hi = kSheetRows; // rowY(lo) <= y < rowY(hi)
    while (hi - lo > 1) {
        const int mid = lo + (hi - lo) / 2;
        if (rowY(mid) <= y)
            lo = mid;
        else
            hi = mid;
    }
    return lo;
}

} // namespace tovera
