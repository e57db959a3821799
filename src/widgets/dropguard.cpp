#include "widgets/dropguard.h"

#include "widgets/filedrop.h"

#include <QApplication>
#include <QDropEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTextEdit>

namespace tovera {

namespace {

// Drops the selection of a text box by putting its cursor where `at` (viewport
// coordinates) points, as the press there is about to do; nothing scrolls.
template <typename Edit> void placeCursorAt(Edit* edit, QPoint at) {
    if (!edit->textCursor().hasSelection()) return;
    edit->setTextCursor(edit->cursorForPosition(at));
}

} // namespace

DropGuard::DropGuard(QWidget* root) : QObject(root), root_(root) {
    qApp->installEventFilter(this);
}

DropGuard::~DropGuard() {
    if (qApp) qApp->removeEventFilter(this);
}

bool DropGuard::guards(const QWidget* widget) const {
    for (const QWidget* w = widget; w; w = w->parentWidget())
        if (w == root_) return true;
    return false;
}

bool DropGuard::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop: {
        if (!watched->isWidgetType()) break;
        auto* widget = static_cast<QWidget*>(watched);
        if (isDropTarget(widget) || !guards(widget)) break;
        // Refused here; the application offers the drag to the enclosing controls next, so
        // a drop target this control is part of still gets it.
        auto* drag = static_cast<QDropEvent*>(event);
        drag->setDropAction(Qt::IgnoreAction);
        drag->ignore();
        return true;
    }
    case QEvent::MouseButtonPress:
        if (watched->isWidgetType() && guards(static_cast<QWidget*>(watched)))
            disarmTextDrag(static_cast<QWidget*>(watched), event);
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void DropGuard::disarmTextDrag(QWidget* control, QEvent* event) {
    const auto* press = static_cast<QMouseEvent*>(event);
    if (press->button() != Qt::LeftButton) return;
    if (auto* line = qobject_cast<QLineEdit*>(control)) {
        line->setDragEnabled(false);
        return;
    }
    // A press without Shift inside a selection would start dragging it; the box then
    // behaves as one that never drags: the press places the cursor.
    if (press->modifiers() & Qt::ShiftModifier) return;
    QWidget* box = control->parentWidget();
    const QPoint at = press->position().toPoint();
    if (auto* plain = qobject_cast<QPlainTextEdit*>(box); plain && plain->viewport() == control)
        placeCursorAt(plain, at);
    else if (auto* rich = qobject_cast<QTextEdit*>(box); rich && rich->viewport() == control)
        placeCursorAt(rich, at);
}

} // namespace tovera
