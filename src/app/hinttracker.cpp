#include "app/hinttracker.h"

#include "widgets/hints.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QTimer>
#include <QWidget>

namespace tovera {

HintTracker::HintTracker(QObject* parent) : QObject(parent) {
    if (qApp) qApp->installEventFilter(this);
}

HintTracker::~HintTracker() {
    if (qApp) qApp->removeEventFilter(this);
}

void HintTracker::setHandler(std::function<void(const QString&)> handler) {
    handler_ = std::move(handler);
}

void HintTracker::update(QWidget* widget) {
    const QString hint = effectiveHint(widget);
    if (hint == current_) return;
    current_ = hint;
    if (handler_) handler_(hint);
}

void HintTracker::checkNow() {
    pending_ = false;
    update(QApplication::widgetAt(QCursor::pos()));
}

bool HintTracker::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::MouseMove:
    case QEvent::Enter:
    case QEvent::Leave:
    case QEvent::HoverMove:
        // Look up once the pending events are handled, as an idle step.
        if (!pending_) {
            pending_ = true;
            QTimer::singleShot(0, this, &HintTracker::checkNow);
        }
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace tovera
