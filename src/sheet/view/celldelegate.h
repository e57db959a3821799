#pragma once
// Paints the cells of the sheet grid through the shared cell painter and edits them with a
// line edit. Painting: grid lines (where the sheet shows them, under no fill and no
// overflowing text), then the cell as paintCell draws it with its text spreading over empty
// neighbours, then the selection tint and the frame of the current cell.

#include <QPointer>
#include <QStyledItemDelegate>

namespace tovera {

class SheetGrid;

class CellDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    // `grid` is the view the delegate serves (and its parent).
    explicit CellDelegate(SheetGrid* grid);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override;
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override;

    // The entry open in a cell, null when none is.
    QWidget* openEditor() const { return editor_; }

protected:
    // Enter commits and moves down (Shift+Enter up); Tab right, Shift+Tab left; Esc drops
    // the entry; arrows commit and move when the entry was started by typing.
    bool eventFilter(QObject* object, QEvent* event) override;

private:
    SheetGrid* grid_;
    mutable QPointer<QWidget> editor_;
};

} // namespace tovera
