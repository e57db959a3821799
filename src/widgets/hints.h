#pragma once
// Hints of controls. A control's hint is its status tip; a control without one shows the
// hint of its nearest enclosing control that has one. Where a hint contains "|", only the
// part after the first "|" is shown in the status bar.

#include <QString>

class QWidget;

namespace tovera {

// The hint of `widget` alone (its status tip).
QString hintOf(const QWidget* widget);
// Sets the hint shown in the message panel. With `popup` the same text becomes the
// control's tool tip as well; otherwise the control shows no tool tip.
void setHint(QWidget* widget, const QString& hint, bool popup = false);
// The text the message panel shows for the control under the mouse pointer: the hint of
// `widget` or of its nearest enclosing control that has one, after the "|" rule; empty for
// a null widget or when no enclosing control has a hint.
QString effectiveHint(const QWidget* widget);

} // namespace tovera
