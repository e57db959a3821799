#pragma once
// The grid of the spreadsheet control: a table view over SheetModel with the sheet's column
// widths, row heights, hidden rows and columns, merged ranges and grid lines at the view
// scale, spreadsheet keys (arrows, Tab, Enter, F2, typing replaces, Delete, Esc, copy and
// paste, F9 calculates the whole workbook) and scrolling to a given top row and left column.

#include "sheet/cellpaint.h"
#include "sheet/workbook.h"

#include <QHash>
#include <QTableView>
#include <utility>
#include <vector>

namespace tovera {

class SheetModel;

class SheetGrid : public QTableView {
    Q_OBJECT
public:
    // The grid shows `model` (not owned; it must outlive the grid).
    explicit SheetGrid(SheetModel* model, QWidget* parent = nullptr);

    SheetModel* sheetModel() const { return model_; }

    // The rows and columns kept in view by the sheet's frozen panes (0 and 0 when it has
    // none). They are shown by parts of the grid laid over its top and left edges.
    int frozenRows() const { return frozenRows_; }
    int frozenColumns() const { return frozenColumns_; }

    // Zoom in percent, clamped to 10..400; sizes and fonts follow.
    void setViewScale(int percent);
    int viewScale() const { return scale_; }

    // Reads the sheet's layout again: sizes, hidden rows and columns, spans, grid lines.
    // Called after the model was reset (another sheet or workbook).
    void applySheetLayout();

    // The first row and column (0-based) at the top-left of the view. A request made before
    // the grid has its size is remembered and carried out once it is shown.
    int topRow() const;
    int leftColumn() const;
    void setTopRow(int row);
    void setLeftColumn(int column);

    // Moves the current cell by whole cells (merged areas count as one), selecting it.
    void moveCurrent(int rows, int columns);
    // The selected cells as ranges (the current cell when nothing is selected).
    std::vector<CellRange> selectedRanges() const;
    // Clears the values of the selected cells, keeping their formats.
    void clearSelectedValues();
    // Puts the shown texts of the selected cells on the clipboard: cells separated by tabs,
    // rows by newlines, limited to the part of the selection that holds cells.
    void copySelection();
    // Enters the clipboard's text into the cells from the current one on: tabs step to the
    // next column, newlines to the next row. Cells inside merged areas other than their
    // top-left cell and cells past the sheet's end are skipped.
    void pasteClipboard();
    // Commits an entry that is open in a cell, if any.
    void commitOpenEditor();

    // For the delegate: how the open entry started.
    bool replaceOnOpen() const { return replaceOnOpen_; }
    bool arrowsLeaveEditor() const { return arrowsLeave_; }
    // For the delegate: the painting context of the sheet shown at the view scale.
    CellPaintContext paintContext() const;
    // For the delegate: columns the text of (row, column) spreads over (cached per paint).
    std::pair<int, int> spreadOf(int row, int column) const;
    // For the delegate: true when text runs across the line between `column` and
    // `column` + 1 of `row`, so no grid line is drawn there.
    bool textCrossesRightEdge(int row, int column) const;
    // For the delegate: the column whose text covers (row, column) (the column itself
    // when its own text is shown there), -1 when no text reaches it.
    int textOwnerAt(int row, int column) const;
    // For the delegate: true when the cell's format has a fill.
    bool hasFill(int row, int column) const;

    // The text shown when the pointer rests on (row, column): the author of the cell's note
    // on the first line (when the file names one) and the note's text; empty when the cell
    // (or the merged area it lies in) has no note.
    QString noteText(int row, int column) const;
    // Where the picture `picture` of the sheet shown lies in the viewport, in pixels at the
    // view scale with the scrolling applied.
    QRectF pictureRect(const SheetPicture& picture) const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;
    void paintEvent(QPaintEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void updateGeometries() override;

private:
    // A part of the grid over the frozen rows, columns or their corner: the same model,
    // selection and look, without scroll bars, headers or parts of its own.
    SheetGrid(SheetModel* model, SheetGrid* owner);
    void setUpFrozenPanes();
    void placeFrozenPanes();
    void followScrolling();
    SheetGrid* owner_ = nullptr; // for a frozen part: the grid it belongs to
    SheetGrid* frozenTop_ = nullptr;
    SheetGrid* frozenLeft_ = nullptr;
    SheetGrid* frozenCorner_ = nullptr;
    int frozenRows_ = 0;
    int frozenColumns_ = 0;

    void applyPendingScroll();
    void paintPictures(const QRegion& region);
    int scaled(int pixels) const;
    QModelIndex cellIndex(int row, int column) const;

    SheetModel* model_;
    int scale_ = 100;
    bool replaceOnOpen_ = false;
    bool arrowsLeave_ = false;
    int pendingTop_ = -1;
    int pendingLeft_ = -1;
    std::vector<int> hiddenRows_; // rows hidden or sized by the last layout
    std::vector<int> sizedRows_;
    mutable QHash<quint32, std::pair<int, int>> spreadCache_;
};

} // namespace tovera
