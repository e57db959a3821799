#pragma once
// Keeps drag and drop to the places meant for it. Only the drop targets made by FileDrop
// and InsideDrop (filedrop.h) take drops; every other control under a window refuses
// text, files and anything else dragged onto it, and no text box starts a drag of its
// selected text, so the side-bar file lists stay the only drag sources. It watches the
// events of the whole application, so it covers controls built after it too.

#include <QObject>
#include <QPointer>

class QWidget;

namespace tovera {

class DropGuard : public QObject {
    Q_OBJECT
public:
    // Guards every widget under `root` (its children, grandchildren, and the windows they
    // own, such as floating toolbars and dialogs). The guard is a child of `root`.
    explicit DropGuard(QWidget* root);
    ~DropGuard() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool guards(const QWidget* widget) const;
    // A press that could start a drag of a text box's selection places the cursor instead.
    void disarmTextDrag(QWidget* control, QEvent* event);

    QPointer<QWidget> root_;
};

} // namespace tovera
