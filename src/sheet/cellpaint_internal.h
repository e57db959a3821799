#pragma once
// The painter of cells shared by paintCell and paintSheetArea: formats, fonts and pens of
// one workbook resolved once per call and reused for every cell painted in it.

#include "sheet/cellpaint.h"

#include <QColor>
#include <QFontMetricsF>
#include <QString>
#include <functional>
#include <optional>
#include <vector>

class QPainter;

namespace tovera::cellpaint_detail {

// The colour a number format's section gives `cell` ([Red], [Color10] ...), if any.
std::optional<QColor> formatColor(const Workbook& book, const QString& code, const Cell& cell);

// True for the General format ("General", empty, or the Japanese name G/標準).
bool isGeneralCode(const QString& code);

// `value` in the General format as it fits a narrow cell: fewer decimals, then a shorter
// mantissa in scientific notation; empty when nothing `fits`.
QString generalFitting(double value, const std::function<bool(const QString&)>& fits);

// A resolved font: the QFont and its metrics at the painter's scale.
struct PaintFont {
    QFont font;
    QFontMetricsF metrics{QFont()};
};

class CellPainter {
public:
    explicit CellPainter(const CellPaintContext& ctx);
    ~CellPainter();
    CellPainter(const CellPainter&) = delete;
    CellPainter& operator=(const CellPainter&) = delete;

    const Workbook& book() const { return *ctx_.book; }
    const Sheet& sheet() const { return *ctx_.sheet; }
    double scale() const { return ctx_.scale; }

    // The cell format in effect at (row, column): the cell's own, else the row's, else the
    // column's, else the default cell format. `cell` may be null.
    int xfAt(int row, int column, const Cell* cell) const;
    const CellFormat& format(int xf) const;
    // The font of workbook font `fontIndex` (font 0 for an unknown index) at the scale;
    // the reference stays valid while this painter lives.
    const PaintFont& font(int fontIndex);

    // Pixels at the painter's scale of `px` 96-DPI pixels, at least `minimum`.
    int device(double px, int minimum = 1) const;

    void paintFill(QPainter& p, const CellFormat& f, const QRect& rect) const;
    // Paints the shown text of `cell`; `rect` is the cell's (or merged area's) rectangle,
    // `clip` where the text may go.
    void paintText(QPainter& p, const Cell& cell, const CellFormat& f, const QRect& rect,
                   const QRect& clip);
    // The four borders (and diagonals) around `rect`, each from its own format; `edges`
    // picks them: bit 0 left, 1 top, 2 right, 3 bottom, 4 diagonals.
    void paintBorders(QPainter& p, const CellFormat& left, const CellFormat& top,
                      const CellFormat& right, const CellFormat& bottom, const CellFormat& diagonal,
                      const QRect& rect, int edges = 31) const;
    // The merged range covering (row, column), or null.
    const CellRange* mergeAt(int row, int column) const;
    // Columns the text of (row, column) spreads over; see textSpread.
    std::pair<int, int> spread(int row, int column);

    // The effective horizontal alignment of a cell (General resolved by value type).
    static HAlign effectiveHAlign(const CellFormat& f, const Cell& cell);
    // The width in 96-DPI pixels of the cell's shown text in its font.
    double textWidth(const Cell& cell, const CellFormat& f);

private:
    static double baseline(const PaintFont& pf, const QRect& inner, int valign);
    void paintHBorder(QPainter& p, const Border& b, int x0, int x1, int y) const;
    void paintVBorder(QPainter& p, const Border& b, int x, int y0, int y1) const;

    const CellPaintContext& ctx_;
    int lastFontIndex_ = -1;
    const PaintFont* lastFont_ = nullptr;
    int mdw_ = 7;
};

} // namespace tovera::cellpaint_detail
