#include "sheet/view/celldelegate.h"

#include "sheet/cellpaint.h"
#include "sheet/view/sheetgrid.h"
#include "sheet/view/sheetmodel.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace tovera {

namespace {

const QColor kGridLine(0xC0, 0xC0, 0xC0);
const QColor kSelectionTint(0x31, 0x6A, 0xC5, 60);
const QColor kNoteMark(0xFF, 0x00, 0x00);

} // namespace

CellDelegate::CellDelegate(SheetGrid* grid) : QStyledItemDelegate(grid), grid_(grid) {}

void CellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                         const QModelIndex& index) const {
    const SheetModel* model = grid_->sheetModel();
    const CellPaintContext ctx = grid_->paintContext();
    const int row = index.row();
    const int column = index.column();
    const QRect rect = option.rect; // the whole cell (merged area), grid line included
    const CellRange* merge = model->mergeAt(row, column);
    const bool filled = grid_->hasFill(row, column);

    if (ctx.gridlines && !filled) {
        painter->save();
        painter->setPen(kGridLine);
        painter->drawLine(rect.bottomLeft(), rect.bottomRight());
        const int lastColumn = merge ? merge->lastColumn : column;
        if (merge || !grid_->textCrossesRightEdge(row, lastColumn))
            painter->drawLine(rect.topRight(), rect.bottomRight());
        painter->restore();
    }

    QRect textClip = rect;
    if (!merge) {
        const auto [first, last] = grid_->spreadOf(row, column);
        if (first != column || last != column) {
            const int left = grid_->columnViewportPosition(first);
            const int right = grid_->columnViewportPosition(last) + grid_->columnWidth(last);
            textClip = QRect(left, rect.top(), right - left, rect.height());
        }
    }
    paintCell(*painter, ctx, row, column, rect, textClip);

    // A fill painted over text running in from a neighbour: paint that text again on top.
    if (!merge && filled) {
        const int owner = grid_->textOwnerAt(row, column);
        if (owner >= 0 && owner != column) {
            const auto [first, last] = grid_->spreadOf(row, owner);
            const QRect ownerRect = grid_->visualRect(model->index(row, owner));
            const int left = grid_->columnViewportPosition(first);
            const int right = grid_->columnViewportPosition(last) + grid_->columnWidth(last);
            painter->save();
            painter->setClipRect(rect, Qt::IntersectClip);
            paintCell(*painter, ctx, row, owner, ownerRect,
                      QRect(left, rect.top(), right - left, rect.height()));
            painter->restore();
        }
    }

    // A cell with a note: a small red triangle in its top-right corner.
    if (model->sheet().noteAt(row, column)) {
        const int size = std::max(3, int(std::lround(6 * ctx.scale)));
        const QPoint corner = rect.topRight();
        const QPoint points[3] = {corner - QPoint(size, 0), corner, corner + QPoint(0, size)};
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing, false);
        painter->setPen(Qt::NoPen);
        painter->setBrush(kNoteMark);
        painter->drawPolygon(points, 3);
        painter->restore();
    }

    const QModelIndex current = grid_->currentIndex();
    const bool isCurrent =
        current.isValid() && model->anchorIndex(current.row(), current.column()) == index;
    if ((option.state & QStyle::State_Selected) && !isCurrent)
        painter->fillRect(rect, kSelectionTint);
    if (isCurrent) {
        painter->save();
        QPen pen(Qt::black);
        pen.setWidth(2);
        pen.setJoinStyle(Qt::MiterJoin);
        painter->setPen(pen);
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(rect.adjusted(1, 1, -1, -1));
        painter->restore();
    }
}

QWidget* CellDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                    const QModelIndex& index) const {
    auto* edit = new QLineEdit(parent);
    edit->setFrame(false);
    const SheetModel* model = grid_->sheetModel();
    const Workbook& book = model->workbook();
    const CellPaintContext ctx = grid_->paintContext();
    edit->setFont(
        paintFont(book.fontOfXf(model->formatIndexAt(index.row(), index.column())), ctx.scale));
    edit->setMaxLength(32767);
    editor_ = edit;
    return edit;
}

void CellDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    auto* edit = qobject_cast<QLineEdit*>(editor);
    if (!edit) return;
    // Typing into a cell starts a new entry; F2 and a double click edit what is there.
    if (grid_->replaceOnOpen() && editor == editor_ && !edit->property("filled").toBool())
        edit->clear();
    else
        edit->setText(index.data(Qt::EditRole).toString());
    edit->setProperty("filled", true);
}

void CellDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                const QModelIndex& index) const {
    if (auto* edit = qobject_cast<QLineEdit*>(editor))
        model->setData(index, edit->text(), Qt::EditRole);
}

void CellDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                        const QModelIndex&) const {
    editor->setGeometry(option.rect.adjusted(1, 1, -1, -1));
}

bool CellDelegate::eventFilter(QObject* object, QEvent* event) {
    auto* editor = qobject_cast<QWidget*>(object);
    if (editor && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool shift = key->modifiers() & Qt::ShiftModifier;
        int rows = 0, columns = 0;
        switch (key->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            rows = shift ? -1 : 1;
            break;
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_Left:
        case Qt::Key_Right:
            if (!grid_->arrowsLeaveEditor()) break;
            rows = key->key() == Qt::Key_Up ? -1 : key->key() == Qt::Key_Down ? 1 : 0;
            columns = key->key() == Qt::Key_Left ? -1 : key->key() == Qt::Key_Right ? 1 : 0;
            break;
        default:
            break;
        }
        if (rows != 0 || columns != 0) {
            Q_EMIT commitData(editor);
            Q_EMIT closeEditor(editor, QAbstractItemDelegate::NoHint);
            grid_->moveCurrent(rows, columns);
            return true;
        }
    }
    return QStyledItemDelegate::eventFilter(object, event);
}

} // namespace tovera
