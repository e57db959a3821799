#include "widgets/hints.h"

#include <QWidget>

namespace tovera {

QString hintOf(const QWidget* widget) {
    return widget ? widget->statusTip() : QString();
}

void setHint(QWidget* widget, const QString& hint, bool popup) {
    widget->setStatusTip(hint);
    if (popup) {
        const qsizetype bar = hint.indexOf(QLatin1Char('|'));
        widget->setToolTip(bar < 0 ? hint : hint.left(bar));
    } else {
        widget->setToolTip(QString());
    }
}

QString effectiveHint(const QWidget* widget) {
    for (const QWidget* w = widget; w; w = w->parentWidget()) {
        const QString hint = hintOf(w);
        if (hint.isEmpty()) {
            if (w->isWindow()) break;
            continue;
        }
        const qsizetype bar = hint.indexOf(QLatin1Char('|'));
        return bar < 0 ? hint : hint.mid(bar + 1);
    }
    return QString();
}

} // namespace tovera
