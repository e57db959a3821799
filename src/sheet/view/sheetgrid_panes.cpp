// Frozen panes: the rows above and the columns left of the split stay in view while the
// rest of the sheet scrolls. Each frozen part is a grid of its own laid over the edge of the
// scrolling grid's viewport, showing the same cells with the same selection; the cells the
// scrolling grid moves under a part are the ones scrolled out of view.

#include "sheet/view/sheetgrid.h"
#include "sheet/view/sheetmodel.h"

#include <QHeaderView>
#include <QScrollBar>

namespace tovera {

namespace {
bool buildingPart = false; // a frozen part is being built: it gets no parts of its own
}

SheetGrid::SheetGrid(SheetModel* model, SheetGrid* owner)
    : SheetGrid((buildingPart = true, model), owner->viewport()) {
    buildingPart = false;
    owner_ = owner;
    setSelectionModel(owner->selectionModel());
    setFrameStyle(QFrame::NoFrame);
    horizontalHeader()->hide();
    verticalHeader()->hide();
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Moving the current cell out of a part hands the keys back to the scrolling grid.
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) {
                if (!hasFocus() || !current.isValid()) return;
                const bool inside =
                    (owner_->frozenTop_ != this || current.row() < owner_->frozenRows_) &&
                    (owner_->frozenLeft_ != this || current.column() < owner_->frozenColumns_) &&
                    (owner_->frozenCorner_ != this || (current.row() < owner_->frozenRows_ &&
                                                       current.column() < owner_->frozenColumns_));
                if (!inside) owner_->setFocus();
            });
    for (QScrollBar* bar : {horizontalScrollBar(), verticalScrollBar()})
        connect(bar, &QScrollBar::valueChanged, this, [this] { owner_->followScrolling(); });
}

void SheetGrid::setUpFrozenPanes() {
    if (owner_ || buildingPart) return;
    const Panes& panes = model_->sheet().panes;
    const int rows = panes.frozen ? std::clamp(panes.splitRows, 0, kSheetRows - 1) : 0;
    const int columns = panes.frozen ? std::clamp(panes.splitColumns, 0, kSheetColumns - 1) : 0;
    frozenRows_ = rows;
    frozenColumns_ = columns;
    auto part = [this](SheetGrid*& grid, bool wanted) {
        if (!wanted) {
            delete grid;
            grid = nullptr;
            return;
        }
        if (!grid) {
            grid = new SheetGrid(model_, this);
            connect(horizontalScrollBar(), &QScrollBar::valueChanged, grid,
                    [this] { followScrolling(); });
            connect(verticalScrollBar(), &QScrollBar::valueChanged, grid,
                    [this] { followScrolling(); });
        }
        grid->setViewScale(scale_);
        grid->applySheetLayout();
        grid->show();
    };
    part(frozenTop_, rows > 0);
    part(frozenLeft_, columns > 0);
    part(frozenCorner_, rows > 0 && columns > 0);
    placeFrozenPanes();
}

void SheetGrid::updateGeometries() {
    QTableView::updateGeometries();
    placeFrozenPanes();
}

void SheetGrid::placeFrozenPanes() {
    if (owner_) return;
    int height = 0, width = 0;
    for (int r = 0; r < frozenRows_; ++r) height += rowHeight(r);
    for (int c = 0; c < frozenColumns_; ++c) width += columnWidth(c);
    const QRect area = viewport()->rect();
    height = std::min(height, area.height());
    width = std::min(width, area.width());
    if (frozenTop_) frozenTop_->setGeometry(0, 0, area.width(), height);
    if (frozenLeft_) frozenLeft_->setGeometry(0, 0, width, area.height());
    if (frozenCorner_) frozenCorner_->setGeometry(0, 0, width, height);
    for (SheetGrid* part : {frozenTop_, frozenLeft_, frozenCorner_})
        if (part) part->raise();
    followScrolling();
}

void SheetGrid::followScrolling() {
    if (owner_) return;
    // The top part scrolls across with the grid, the left part up and down; the rest of
    // each part stays at the sheet's start.
    if (frozenTop_) {
        frozenTop_->verticalScrollBar()->setValue(0);
        frozenTop_->horizontalScrollBar()->setValue(horizontalScrollBar()->value());
    }
    if (frozenLeft_) {
        frozenLeft_->horizontalScrollBar()->setValue(0);
        frozenLeft_->verticalScrollBar()->setValue(verticalScrollBar()->value());
    }
    if (frozenCorner_) {
        frozenCorner_->horizontalScrollBar()->setValue(0);
        frozenCorner_->verticalScrollBar()->setValue(0);
    }
}

} // namespace tovera
