#pragma once
// The table model over one sheet of the workbook the spreadsheet control shows: 65 536 rows
// by 256 columns, headings "A".."IV" and 1..65536. It reads the workbook in place (nothing
// is copied per paint) and is the one way the view changes cells, so what the user types is
// what a later save, print or CellText sees.
//
// Roles: Qt::DisplayRole gives the shown text (through the cell's number format),
// Qt::EditRole the text an entry field starts with (see editText). Rows and columns of the
// model are the sheet's 0-based rows and columns.

#include "sheet/calc.h"
#include "sheet/mergeindex.h"
#include "sheet/view/sheetundo.h"
#include "sheet/workbook.h"

#include <QAbstractTableModel>
#include <vector>

namespace tovera {

class SheetModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kRowCount = 65536;
    static constexpr int kColumnCount = 256;

    // `book` is the control's workbook; it must outlive the model.
    explicit SheetModel(Workbook& book, QObject* parent = nullptr);

    const Workbook& workbook() const { return book_; }
    // Replaces the whole workbook (a load or a clear) and shows its sheet `sheetIndex`.
    void replaceWorkbook(Workbook&& book, int sheetIndex);
    // Shows sheet `index` (0-based); an index outside the workbook is ignored.
    void setSheetIndex(int index);
    int sheetIndex() const { return sheetIndex_; }
    // The sheet shown (an empty sheet when the workbook has none).
    const Sheet& sheet() const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // The cell at (row, column), null when the sheet holds none.
    const Cell* cellAt(int row, int column) const;
    // The shown text of the cell, empty for no value.
    QString displayText(int row, int column) const;
    // The text an entry starts with: a formula's text ("=J6+K6"); text as stored; a number
    // with up to 15 significant digits ("1234.5" for a cell shown as "1,234.50"), times 100
    // with "%" under a percent format, as shown under a date format; TRUE/FALSE; the
    // error's name.
    QString editText(int row, int column) const;

    // Applies a typed entry to the cell (a merged area through its top-left cell): a formula
    // when it starts with "=" or "＝" (a formula with a mistake changes nothing and is
    // reported through entryRefused), a number when it reads as one (parseNumberInput),
    // else text; "" clears the value. The cell's format stays; a formula is replaced.
    // The formulas that depend on the cell are calculated. An entry equal to editText changes
    // nothing, so confirming an unchanged entry keeps formulas and dates. Returns whether the cell
    // changed.
    bool enterText(int row, int column, const QString& input);
    // Removes the values of every cell inside `ranges`, keeping their formats.
    void clearValues(const std::vector<CellRange>& ranges);
    // The changes made between these two calls (a paste of many cells) are taken back as
    // one, and the formulas they touch are calculated once, at the end.
    void beginChanges();
    void endChanges();
    // Takes back the last change (an entry, a clearing or a paste); false when there is none.
    bool undo();
    // True when the sheet shown is protected and the cell's format (a merged area's, its
    // top-left cell's) is locked: its value cannot be changed.
    bool cellProtected(int row, int column) const;
    // True when the sheet shown is protected and one of the cells holding a value inside
    // `ranges` is locked.
    bool rangesProtected(const std::vector<CellRange>& ranges) const;
    // When (row, column) is protected: reports it through entryRefused (once per batch of
    // changes) and returns true; else false.
    bool refuseProtected(int row, int column);
    // The message shown when a protected cell is to be changed.
    static QString protectedCellMessage();
    // Calculates every formula of the workbook anew (F9).
    void recalculateAll();
    bool canUndo() const { return undo_.canUndo(); }

    // The cell format (index into the workbook's formats) of (row, column): the cell's own,
    // else its row's, else its column's, else the default cell format.
    uint16_t formatIndexAt(int row, int column) const;
    // The merged range that holds (row, column), or null; overlapping ranges after the
    // first are not shown and hold nothing.
    const CellRange* mergeAt(int row, int column) const;
    // The merged ranges of the sheet shown, indexed.
    const MergeIndex& mergeIndex() const { return merges_; }
    // The top-left cell of the merged range at (row, column), else the cell itself.
    QModelIndex anchorIndex(int row, int column) const;
    // The last row and column that hold a cell, -1 for an empty sheet.
    int lastUsedRow() const;
    int lastUsedColumn() const;

    // "A".."IV" for columns 0..255.
    static QString columnName(int column);
    // "D4" for row 3, column 3; "D4:H4" for a range of more than one cell.
    static QString cellReference(int row, int column);
    static QString rangeReference(const CellRange& range);

Q_SIGNALS:
    // A calculation met formulas that refer to themselves through others; they kept their
    // values. Emitted once for a workbook shown, and again only after a full calculation
    // found no cycle.
    void circularReference();
    // A typed entry was not taken (a formula with a mistake); `message` says why.
    void entryRefused(const QString& message);

private:
    // The largest number of cell formats a workbook file holds.
    static constexpr size_t kMaxFormats = 4000;
    Sheet* mutableSheet();
    // A cell format like `xf` but showing numbers through format `numberFormat`: an
    // existing one when the workbook has it, else a new one (else `xf` when it is full).
    uint16_t formatWithNumberFormat(uint16_t xf, uint16_t numberFormat);
    // Turns the cells of an array formula that covers (row, column) into their values and
    // forgets the array, so no cell is left pointing at an array that is gone.
    void detachArray(Sheet& sheet, int row, int column);
    void rowsChanged(int firstRow, int lastRow);
    bool protectedReported_ = false; // a refusal was reported in the current batch
    // After cells of sheet `sheetIndex` changed: their dependents are calculated and shown.
    // `formulas` tells that formulas were added or removed.
    void recalculate(int sheetIndex, const std::vector<CellRange>& ranges, bool formulas);
    void showResults(const RecalcResult& result);

    Workbook& book_;
    FormulaEngine engine_{book_};
    bool cycleReported_ = false;
    int batch_ = 0;                        // open beginChanges calls
    std::vector<CellRange> pendingRanges_; // changed inside them, on sheetIndex_
    bool pendingFormulas_ = false;
    int sheetIndex_ = 0;
    MergeIndex merges_;
    SheetUndo undo_;
};

} // namespace tovera
