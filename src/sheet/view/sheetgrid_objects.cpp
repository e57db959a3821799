// The drawing objects of the sheet shown: bitmap pictures drawn over the cells where they are
// anchored, and the text of a cell's note shown when the pointer rests on the cell.

#include "sheet/sheetobjects.h"
#include "sheet/view/sheetgrid.h"
#include "sheet/view/sheetmodel.h"

#include <QHeaderView>
#include <QHelpEvent>
#include <QPainter>
#include <QTextDocument>
#include <QToolTip>

namespace tovera {

QString SheetGrid::noteText(int row, int column) const {
    const QModelIndex anchor = model_->anchorIndex(row, column);
    const CellNote* note = model_->sheet().noteAt(anchor.row(), anchor.column());
    if (!note) return {};
    // Files often start the text with the author's name already.
    if (note->author.isEmpty() || note->text.startsWith(note->author)) return note->text;
    return note->author + QStringLiteral(":\n") + note->text;
}

QRectF SheetGrid::pictureRect(const SheetPicture& picture) const {
    // Sections keep their place when hidden (with no size), so every edge has a position.
    const QHeaderView* columns = horizontalHeader();
    const QHeaderView* rows = verticalHeader();
    auto columnX = [columns](int c) -> double {
        if (c >= columns->count()) return columns->length() - columns->offset();
        return columns->sectionPosition(c) - columns->offset();
    };
    auto rowY = [rows](int r) -> double {
        if (r >= rows->count()) return rows->length() - rows->offset();
        return rows->sectionPosition(r) - rows->offset();
    };
    return anchorRect(picture.anchor, columnX, rowY);
}

void SheetGrid::paintPictures(const QRegion& region) {
    const std::vector<SheetPicture>& pictures = model_->sheet().pictures;
    if (pictures.empty()) return;
    QPainter painter(viewport());
    painter.setClipRegion(region);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    const QRectF area = viewport()->rect();
    for (const SheetPicture& p : pictures) {
        const QRectF rect = pictureRect(p);
        if (rect.isEmpty() || !rect.intersects(area)) continue;
        painter.drawImage(rect, p.image);
    }
}

bool SheetGrid::viewportEvent(QEvent* event) {
    if (event->type() != QEvent::ToolTip) return QTableView::viewportEvent(event);
    const auto* help = static_cast<QHelpEvent*>(event);
    const QModelIndex index = indexAt(help->pos());
    const QString text = index.isValid() ? noteText(index.row(), index.column()) : QString();
    if (text.isEmpty()) {
        QToolTip::hideText();
        event->ignore();
        return true;
    }
    // A note that looks like markup is still shown as the text it is.
    const QString shown =
        Qt::mightBeRichText(text) ? Qt::convertFromPlainText(text, Qt::WhiteSpaceNormal) : text;
    QToolTip::showText(help->globalPos(), shown, viewport(), visualRect(index));
    return true;
}

} // namespace tovera
