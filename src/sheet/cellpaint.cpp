#include "sheet/cellpaint.h"

#include "sheet/cellpaint_internal.h"
#include "sheet/celltext.h"
#include "sheet/sheetgeometry.h"

#include <QPainter>
#include <algorithm>
#include <cmath>
#include <deque>

namespace tovera {

using cellpaint_detail::CellPainter;

namespace {

// The installed face that stands in for a face name of the files.
QStringList familiesFor(const QString& name) {
    const QString n = name.toLower();
    const bool proportional = name.contains(u'Ｐ') || n.contains(QLatin1String("mspgothic")) ||
                              n.contains(QLatin1String("ms pgothic")) ||
                              n.contains(QLatin1String("ms pmincho")) || name.contains(u'Ｕ') ||
                              n.contains(QLatin1String("ui gothic")) ||
                              n.contains(QLatin1String("meiryo"));
    const bool mincho =
        name.contains(QStringLiteral("明朝")) || n.contains(QLatin1String("mincho"));
    const bool gothic = name.contains(QStringLiteral("ゴシック")) ||
                        n.contains(QLatin1String("gothic")) || n.contains(QLatin1String("meiryo"));
    bool japanese = mincho || gothic;
    for (QChar ch : name)
        if (ch.unicode() >= 0x3000) japanese = true;
    if (!japanese) return {name, QStringLiteral("IPAPGothic")};
    if (mincho)
        return proportional
                   ? QStringList{QStringLiteral("IPAPMincho"), QStringLiteral("IPAPGothic")}
                   : QStringList{QStringLiteral("IPAMincho"), QStringLiteral("IPAGothic")};
    return proportional ? QStringList{QStringLiteral("IPAPGothic")}
                        : QStringList{QStringLiteral("IPAGothic")};
}

// Fonts resolved for painting, shared by the painters of this thread. While a painter is
// alive the cache only grows (a deque keeps references to its entries valid); it is emptied
// when it has grown large and no painter is alive.
struct CachedFont {
    Font font;
    double scale = 1;
    cellpaint_detail::PaintFont paint;
};
struct FontCache {
    std::deque<CachedFont> entries;
    int painters = 0;
};
FontCache& fontCache() {
    thread_local FontCache cache;
    return cache;
}

const CellFormat& defaultFormat() {
    static const CellFormat f;
    return f;
}

} // namespace

QFont paintFont(const Font& font, double scale) {
    QFont f;
    f.setFamilies(familiesFor(font.name));
    const double px = (font.height ? font.height : 200) / 15.0 * (scale > 0 ? scale : 1.0);
    f.setPixelSize(std::clamp(int(std::lround(px)), 1, 4000));
    f.setBold(font.bold());
    f.setItalic(font.italic);
    f.setUnderline(font.underline != 0);
    f.setStrikeOut(font.strikeout);
    f.setKerning(false);
    return f;
}

namespace cellpaint_detail {

CellPainter::CellPainter(const CellPaintContext& ctx) : ctx_(ctx) {
    FontCache& cache = fontCache();
    if (cache.painters == 0 && cache.entries.size() > 64) cache.entries.clear();
    ++cache.painters;
    if (ctx.book) mdw_ = maxDigitWidth(*ctx.book);
}

CellPainter::~CellPainter() {
    --fontCache().painters;
}

int CellPainter::xfAt(int row, int column, const Cell* cell) const {
    if (cell) return cell->xf;
    if (const Row* r = sheet().row(row); r && r->xf >= 0) return r->xf;
    const auto& cols = sheet().columns;
    auto it = std::upper_bound(cols.begin(), cols.end(), column,
                               [](int c, const ColumnInfo& ci) { return c < ci.firstColumn; });
    if (it != cols.begin() && column <= (it - 1)->lastColumn) return (it - 1)->xf;
    return 15;
}

const CellFormat& CellPainter::format(int xf) const {
    if (xf >= 0 && size_t(xf) < book().xfs.size()) return book().xfs[size_t(xf)];
    return defaultFormat();
}

const PaintFont& CellPainter::font(int fontIndex) {
    if (fontIndex == lastFontIndex_ && lastFont_) return *lastFont_;
    static const Font fallback;
    const auto& fonts = book().fonts;
    const Font& f = fontIndex >= 0 && size_t(fontIndex) < fonts.size() ? fonts[size_t(fontIndex)]
                    : fonts.empty()                                    ? fallback
                                                                       : fonts[0];
    FontCache& cache = fontCache();
    const PaintFont* found = nullptr;
    for (const CachedFont& c : cache.entries)
        if (c.scale == scale() && c.font == f) {
            found = &c.paint;
            break;
        }
    if (!found) {
        CachedFont c{f, scale(), {}};
        c.paint.font = paintFont(f, scale());
        c.paint.metrics = QFontMetricsF(c.paint.font);
        cache.entries.push_back(std::move(c));
        found = &cache.entries.back().paint;
    }
    lastFontIndex_ = fontIndex;
    lastFont_ = found;
    return *found;
}

int CellPainter::device(double px, int minimum) const {
    return std::max(minimum, int(std::lround(px * scale())));
}

HAlign CellPainter::effectiveHAlign(const CellFormat& f, const Cell& cell) {
    if (f.hAlign != HAlign::General) return f.hAlign;
    switch (cell.type) {
    case CellType::Number:
        return HAlign::Right;
    case CellType::Bool:
    case CellType::Error:
        return HAlign::Center;
    default:
        return HAlign::Left;
    }
}

double CellPainter::textWidth(const Cell& cell, const CellFormat& f) {
    const QString text = cellDisplayText(book(), cell);
    return font(f.font).metrics.horizontalAdvance(text) / scale();
}

const CellRange* CellPainter::mergeAt(int row, int column) const {
    if (ctx_.merges) return ctx_.merges->find(row, column);
    for (const CellRange& m : sheet().merges)
        if (m.contains(row, column)) return &m;
    return nullptr;
}

std::pair<int, int> CellPainter::spread(int row, int column) {
    const std::pair<int, int> none{column, column};
    if (row < 0 || row >= kSheetRows || column < 0 || column >= kSheetColumns) return none;
    const Sheet& sheet = this->sheet();
    const Row* r = sheet.row(row);
    const Cell* cell = r ? r->find(column) : nullptr;
    if (!cell || cell->type != CellType::Text || cell->text.isEmpty()) return none;
    if (mergeAt(row, column)) return none;
    const CellFormat& f = format(cell->xf);
    const HAlign align = CellPainter::effectiveHAlign(f, *cell);
    if (f.wrap || f.rotation != 0 || f.shrinkToFit || cell->text.contains(u'\n')) return none;
    auto emptyAt = [&](int c) {
        if (c < 0 || c >= kSheetColumns) return false;
        if (const Cell* n = r->find(c); n && n->hasValue()) return false;
        return mergeAt(row, c) == nullptr;
    };
    if (align == HAlign::CenterAcross) {
        int last = column;
        while (emptyAt(last + 1)) {
            const Cell* n = r->find(last + 1);
            const int xf = xfAt(row, last + 1, n);
            if (format(xf).hAlign != HAlign::CenterAcross) break;
            ++last;
        }
        return {column, last};
    }
    if (align != HAlign::Left && align != HAlign::Right && align != HAlign::Center) return none;
    const double need = textWidth(*cell, f) + 3 + f.indent * (mdw_ + 3);
    auto width = [&](int c) { return columnPixels(book(), sheet, c); };
    double have = width(column);
    if (need <= have || have <= 0) return none; // a hidden column shows no text
    int first = column, last = column;
    if (align == HAlign::Left) {
        while (have < need && emptyAt(last + 1)) have += width(++last);
    } else if (align == HAlign::Right) {
        while (have < need && emptyAt(first - 1)) have += width(--first);
    } else {
        // Centred text grows evenly on both sides while both neighbours are free.
        bool leftFree = true, rightFree = true;
        while (have < need && (leftFree || rightFree)) {
            if (rightFree && (rightFree = emptyAt(last + 1))) have += width(++last);
            if (leftFree && (leftFree = emptyAt(first - 1))) have += width(--first);
        }
    }
    return {first, last};
}

} // namespace cellpaint_detail

std::pair<int, int> textSpread(const CellPaintContext& ctx, int row, int column) {
    if (!ctx.book || !ctx.sheet) return {column, column};
    CellPainter painter(ctx);
    return painter.spread(row, column);
}

void paintCell(QPainter& painter, const CellPaintContext& ctx, int row, int column,
               const QRect& rect, const QRect& textClip) {
    if (!ctx.book || !ctx.sheet || row < 0 || row >= kSheetRows || column < 0 ||
        column >= kSheetColumns || rect.isEmpty())
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    CellPainter cp(ctx);
    const Sheet& sheet = *ctx.sheet;
    const Row* r = sheet.row(row);
    const Cell* cell = r ? r->find(column) : nullptr;
    const CellFormat& f = cp.format(cp.xfAt(row, column, cell));
    cp.paintFill(painter, f, rect);
    if (cell && cell->hasValue()) cp.paintText(painter, *cell, f, rect, textClip);
    // A merged area takes its right and bottom borders from the cells on those edges.
    const CellFormat* right = &f;
    const CellFormat* bottom = &f;
    if (const CellRange* merge = cp.mergeAt(row, column);
        merge && merge->firstRow == row && merge->firstColumn == column) {
        const CellRange& m = *merge;
        const Row* tr = sheet.row(m.firstRow);
        right =
            &cp.format(cp.xfAt(m.firstRow, m.lastColumn, tr ? tr->find(m.lastColumn) : nullptr));
        const Row* br = sheet.row(m.lastRow);
        bottom =
            &cp.format(cp.xfAt(m.lastRow, m.firstColumn, br ? br->find(m.firstColumn) : nullptr));
    }
    cp.paintBorders(painter, f, f, *right, *bottom, f, rect);
    painter.restore();
}

} // namespace tovera
