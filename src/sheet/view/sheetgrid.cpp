#include "sheet/view/sheetgrid.h"

#include "sheet/sheetgeometry.h"
#include "sheet/view/celldelegate.h"
#include "sheet/view/sheetmodel.h"

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QScrollBar>
#include <QSignalBlocker>
#include <algorithm>
#include <cmath>

namespace tovera {

namespace {

// Merged ranges beyond this many are not shown as spans (the view's span bookkeeping slows
// down with their number); their cells still edit through their top-left cell.
constexpr size_t kMaxSpans = 20000;

} // namespace

SheetGrid::SheetGrid(SheetModel* model, QWidget* parent) : QTableView(parent), model_(model) {
    setModel(model_);
    setItemDelegate(new CellDelegate(this));
    setShowGrid(false); // the delegate draws the sheet's own grid lines
    setWordWrap(false);
    setHorizontalScrollMode(ScrollPerPixel);
    setVerticalScrollMode(ScrollPerPixel);
    setSelectionMode(ExtendedSelection);
    setSelectionBehavior(SelectItems);
    setEditTriggers(DoubleClicked | EditKeyPressed | AnyKeyPressed);
    setTabKeyNavigation(true);
    for (QHeaderView* header : {horizontalHeader(), verticalHeader()}) {
        header->setMinimumSectionSize(0);
        header->setSectionResizeMode(QHeaderView::Fixed);
        header->setHighlightSections(true);
    }
    QPalette pal = palette();
    pal.setColor(QPalette::Base, Qt::white);
    // The view would fill selected cells with the highlight before the delegate paints;
    // the delegate tints them itself, over the cell's own look.
    pal.setColor(QPalette::Highlight, Qt::transparent);
    setPalette(pal);
    connect(model_, &QAbstractItemModel::modelReset, this, &SheetGrid::applySheetLayout);
    applySheetLayout();
}

int SheetGrid::scaled(int pixels) const {
    if (pixels <= 0) return 0;
    return std::max(1, int(std::lround(pixels * scale_ / 100.0)));
}

QModelIndex SheetGrid::cellIndex(int row, int column) const {
    return model_->index(row, column);
}

void SheetGrid::setViewScale(int percent) {
    percent = std::clamp(percent, 10, 400);
    if (percent == scale_) return;
    const int top = topRow();
    const int left = leftColumn();
    scale_ = percent;
    applySheetLayout();
    setTopRow(top);
    setLeftColumn(left);
}

void SheetGrid::applySheetLayout() {
    const Workbook& book = model_->workbook();
    const Sheet& sheet = model_->sheet();
    spreadCache_.clear();

    QHeaderView* columns = horizontalHeader();
    for (int c = 0; c < kSheetColumns; ++c) {
        const int px = columnPixels(book, sheet, c);
        setColumnHidden(c, px == 0);
        if (px > 0) columns->resizeSection(c, scaled(px));
    }

    // Rows: the default height for all at once (quietly: the view is told once below),
    // then the rows of their own.
    QHeaderView* rows = verticalHeader();
    const int defaultRow =
        sheet.rowsHiddenByDefault ? 0 : scaled(int(std::lround(sheet.defaultRowHeight / 15.0)));
    {
        const QSignalBlocker quiet(rows);
        rows->setDefaultSectionSize(defaultRow);
    }
    // The rows the last sheet shown had of their own go back to the default first.
    for (int row : hiddenRows_) setRowHidden(row, false);
    for (int row : sizedRows_) rows->resizeSection(row, defaultRow);
    hiddenRows_.clear();
    sizedRows_.clear();
    for (const Row& r : sheet.rows) {
        if (r.index < 0 || r.index >= kSheetRows) continue;
        const int px = rowPixels(sheet, r.index);
        if (px == 0) {
            setRowHidden(r.index, true);
            hiddenRows_.push_back(r.index);
        } else if (scaled(px) != defaultRow) {
            rows->resizeSection(r.index, scaled(px));
            sizedRows_.push_back(r.index);
        }
    }

    clearSpans();
    size_t spans = 0;
    for (const CellRange& m : model_->mergeIndex().ranges()) {
        if (spans >= kMaxSpans) break;
        if (m.firstRow < 0 || m.firstColumn < 0 || m.lastRow >= kSheetRows ||
            m.lastColumn >= kSheetColumns || m.lastRow < m.firstRow || m.lastColumn < m.firstColumn)
            continue;
        if (m.lastRow == m.firstRow && m.lastColumn == m.firstColumn) continue;
        // A range starting inside one shown already overlaps it: the first one counts.
        if (rowSpan(m.firstRow, m.firstColumn) != 1 || columnSpan(m.firstRow, m.firstColumn) != 1)
            continue;
        setSpan(m.firstRow, m.firstColumn, m.lastRow - m.firstRow + 1,
                m.lastColumn - m.firstColumn + 1);
        ++spans;
    }

    QFont headingFont = font();
    headingFont.setPixelSize(std::max(6, int(std::lround(12 * scale_ / 100.0))));
    columns->setFont(headingFont);
    rows->setFont(headingFont);

    if (!currentIndex().isValid()) setCurrentIndex(cellIndex(0, 0));
    setUpFrozenPanes();
    updateGeometries();
    viewport()->update();
    applyPendingScroll();
}

int SheetGrid::topRow() const {
    if (pendingTop_ >= 0) return pendingTop_;
    return std::max(0, rowAt(0));
}

int SheetGrid::leftColumn() const {
    if (pendingLeft_ >= 0) return pendingLeft_;
    return std::max(0, columnAt(0));
}

void SheetGrid::setTopRow(int row) {
    pendingTop_ = std::clamp(row, 0, kSheetRows - 1);
    applyPendingScroll();
}

void SheetGrid::setLeftColumn(int column) {
    pendingLeft_ = std::clamp(column, 0, kSheetColumns - 1);
    applyPendingScroll();
}

void SheetGrid::applyPendingScroll() {
    // The scroll ranges are only right once the view has its size.
    if (!isVisible() || (pendingTop_ < 0 && pendingLeft_ < 0)) return;
    updateGeometries();
    if (pendingTop_ >= 0) {
        int row = pendingTop_;
        while (row < kSheetRows - 1 && isRowHidden(row)) ++row;
        verticalScrollBar()->setValue(verticalHeader()->sectionPosition(row));
        pendingTop_ = -1;
    }
    if (pendingLeft_ >= 0) {
        int column = pendingLeft_;
        while (column < kSheetColumns - 1 && isColumnHidden(column)) ++column;
        horizontalScrollBar()->setValue(horizontalHeader()->sectionPosition(column));
        pendingLeft_ = -1;
    }
}

void SheetGrid::resizeEvent(QResizeEvent* event) {
    QTableView::resizeEvent(event);
    applyPendingScroll();
    placeFrozenPanes();
}

void SheetGrid::showEvent(QShowEvent* event) {
    QTableView::showEvent(event);
    applyPendingScroll();
}

void SheetGrid::moveCurrent(int rows, int columns) {
    if (!currentIndex().isValid()) setCurrentIndex(cellIndex(0, 0));
    CursorAction action = MoveDown;
    if (rows < 0)
        action = MoveUp;
    else if (rows == 0 && columns > 0)
        action = MoveRight;
    else if (rows == 0 && columns < 0)
        action = MoveLeft;
    else if (rows == 0)
        return;
    const QModelIndex next = moveCursor(action, Qt::NoModifier);
    if (next.isValid()) {
        setCurrentIndex(next);
        scrollTo(next);
    }
}

std::vector<CellRange> SheetGrid::selectedRanges() const {
    std::vector<CellRange> out;
    for (const QItemSelectionRange& r : selectionModel()->selection())
        out.push_back({r.top(), r.bottom(), r.left(), r.right()});
    if (out.empty() && currentIndex().isValid()) {
        const int row = currentIndex().row(), column = currentIndex().column();
        const CellRange* m = model_->mergeAt(row, column);
        out.push_back(m ? *m : CellRange{row, row, column, column});
    }
    return out;
}

void SheetGrid::clearSelectedValues() {
    model_->clearValues(selectedRanges());
}

void SheetGrid::copySelection() {
    const std::vector<CellRange> ranges = selectedRanges();
    if (ranges.empty()) return;
    CellRange box = ranges.front();
    for (const CellRange& r : ranges) {
        box.firstRow = std::min(box.firstRow, r.firstRow);
        box.lastRow = std::max(box.lastRow, r.lastRow);
        box.firstColumn = std::min(box.firstColumn, r.firstColumn);
        box.lastColumn = std::max(box.lastColumn, r.lastColumn);
    }
    // Past the last cell of the sheet there is nothing to copy but separators.
    box.lastRow = std::min(box.lastRow, std::max(box.firstRow, model_->lastUsedRow()));
    box.lastColumn = std::min(box.lastColumn, std::max(box.firstColumn, model_->lastUsedColumn()));
    QString text;
    for (int row = box.firstRow; row <= box.lastRow; ++row) {
        if (row > box.firstRow) text += QLatin1Char('\n');
        for (int column = box.firstColumn; column <= box.lastColumn; ++column) {
            if (column > box.firstColumn) text += QLatin1Char('\t');
            text += model_->displayText(row, column);
        }
    }
    QApplication::clipboard()->setText(text);
}

void SheetGrid::pasteClipboard() {
    QString text = QApplication::clipboard()->text();
    if (text.isEmpty() || !currentIndex().isValid()) return;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QStringList lines = text.split(QLatin1Char('\n'));
    if (lines.size() > 1 && lines.back().isEmpty()) lines.removeLast();
    const QModelIndex start = model_->anchorIndex(currentIndex().row(), currentIndex().column());
    model_->beginChanges(); // one paste is taken back as one
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const int row = start.row() + int(i);
        if (row >= kSheetRows) break;
        const QStringList fields = lines[i].split(QLatin1Char('\t'));
        for (qsizetype j = 0; j < fields.size(); ++j) {
            const int column = start.column() + int(j);
            if (column >= kSheetColumns) break;
            const CellRange* m = model_->mergeAt(row, column);
            if (m && (m->firstRow != row || m->firstColumn != column)) continue;
            model_->enterText(row, column, fields[j]);
        }
    }
    model_->endChanges();
}

void SheetGrid::commitOpenEditor() {
    auto* delegate = qobject_cast<CellDelegate*>(itemDelegate());
    QWidget* editor = delegate ? delegate->openEditor() : nullptr;
    if (!editor || state() != EditingState) return;
    commitData(editor);
    closeEditor(editor, QAbstractItemDelegate::NoHint);
}

void SheetGrid::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Copy)) {
        copySelection();
        event->accept();
        return;
    }
    if (event->matches(QKeySequence::Undo)) {
        model_->undo();
        event->accept();
        return;
    }
    if (event->matches(QKeySequence::Paste)) {
        pasteClipboard();
        event->accept();
        return;
    }
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        moveCurrent(shift ? -1 : 1, 0);
        event->accept();
        return;
    case Qt::Key_Tab:
        moveCurrent(0, shift ? -1 : 1);
        event->accept();
        return;
    case Qt::Key_Backtab:
        moveCurrent(0, -1);
        event->accept();
        return;
    case Qt::Key_Delete:
        clearSelectedValues();
        event->accept();
        return;
    case Qt::Key_F9:
        model_->recalculateAll();
        event->accept();
        return;
    default:
        QTableView::keyPressEvent(event);
    }
}

bool SheetGrid::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
    if (!index.isValid()) return QTableView::edit(index, trigger, event);
    const bool opens = trigger == AllEditTriggers || (editTriggers() & trigger);
    if (state() != EditingState && opens && model_->refuseProtected(index.row(), index.column()))
        return false;
    if (state() != EditingState && (editTriggers() & trigger)) {
        replaceOnOpen_ = trigger == AnyKeyPressed;
        arrowsLeave_ = replaceOnOpen_;
    }
    return QTableView::edit(model_->anchorIndex(index.row(), index.column()), trigger, event);
}

void SheetGrid::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
    // Tab leaves the entry and moves one cell, without opening an entry there.
    if (hint == QAbstractItemDelegate::EditNextItem ||
        hint == QAbstractItemDelegate::EditPreviousItem) {
        QTableView::closeEditor(editor, QAbstractItemDelegate::NoHint);
        moveCurrent(0, hint == QAbstractItemDelegate::EditNextItem ? 1 : -1);
        return;
    }
    QTableView::closeEditor(editor, hint);
}

void SheetGrid::paintEvent(QPaintEvent* event) {
    spreadCache_.clear();
    // Paint whole rows (one pixel more above and below for borders drawn on a neighbour's
    // grid line), so text running over from a cell outside the damaged part is drawn
    // again; the painter stays clipped to the damaged part.
    QRegion rows;
    const int width = viewport()->width();
    for (const QRect& r : event->region()) {
        const int top = std::max(0, r.top() - 1); // the view skips areas above its top
        rows += QRect(0, top, width, r.bottom() + 2 - top);
    }
    QPaintEvent widened(rows);
    QTableView::paintEvent(&widened);
    paintPictures(event->region());
}

CellPaintContext SheetGrid::paintContext() const {
    CellPaintContext ctx;
    ctx.book = &model_->workbook();
    ctx.sheet = &model_->sheet();
    ctx.scale = scale_ / 100.0;
    ctx.gridlines = model_->sheet().showGridlines;
    ctx.merges = &model_->mergeIndex();
    return ctx;
}

std::pair<int, int> SheetGrid::spreadOf(int row, int column) const {
    const quint32 key = (quint32(row) << 8) | quint32(column & 0xFF);
    auto it = spreadCache_.constFind(key);
    if (it != spreadCache_.constEnd()) return *it;
    const std::pair<int, int> spread = textSpread(paintContext(), row, column);
    spreadCache_.insert(key, spread);
    return spread;
}

int SheetGrid::textOwnerAt(int row, int column) const {
    const Row* r = model_->sheet().row(row);
    if (!r || r->cells.empty()) return -1;
    const auto& cells = r->cells;
    auto at = std::lower_bound(cells.begin(), cells.end(), column,
                               [](const Cell& c, int col) { return c.column < col; });
    // The nearest cell with a value at or left of the column, then right of it.
    for (auto it = at == cells.end() || at->column != column ? at : at + 1; it != cells.begin();) {
        --it;
        if (!it->hasValue()) continue;
        if (it->column == column) return column;
        if (spreadOf(row, it->column).second >= column) return it->column;
        break;
    }
    for (auto it = at; it != cells.end(); ++it) {
        if (!it->hasValue() || it->column == column) continue;
        if (spreadOf(row, it->column).first <= column) return it->column;
        break;
    }
    return -1;
}

bool SheetGrid::textCrossesRightEdge(int row, int column) const {
    if (column + 1 >= kSheetColumns) return false;
    const int owner = textOwnerAt(row, column);
    return owner >= 0 && spreadOf(row, owner).second > column;
}

bool SheetGrid::hasFill(int row, int column) const {
    const Workbook& book = model_->workbook();
    const uint16_t xf = model_->formatIndexAt(row, column);
    return xf < book.xfs.size() && book.xfs[xf].fillPattern != 0;
}

} // namespace tovera
