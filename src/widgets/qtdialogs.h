#pragma once
// The dialogs of the running program over Qt Widgets: message boxes titled "Tovera", the
// standard error dialog, confirmation boxes, the beep, and the one open dialog and one
// save dialog shared by all operations.

#include "platform/dialogs.h"

#include <QPointer>

class QFileDialog;
class QWidget;

namespace tovera {

class WidgetDialogs : public Dialogs {
public:
    // `parent` is the window the boxes are modal over (may be null). The two file dialogs
    // are created on first use and kept for the life of this object.
    explicit WidgetDialogs(QWidget* parent = nullptr);
    ~WidgetDialogs() override;
    void setParent(QWidget* parent) { parent_ = parent; }

    void message(const QString& text) override;
    void error(const QString& text) override;
    bool confirm(const QString& caption, const QString& text) override;
    void beep() override;
    QString openFile(const FileDialogRequest& request) override;
    QString saveFile(const FileDialogRequest& request) override;

    // The shared dialogs themselves (created when first asked for).
    QFileDialog* openDialog();
    QFileDialog* saveDialog();

private:
    struct Shared {
        QFileDialog* dialog = nullptr;
        QString defaultTitle;
        QString lastFile;
    };
    QString runFileDialog(Shared& shared, const FileDialogRequest& request);
    Shared& ensure(Shared& shared, bool save);

    QPointer<QWidget> parent_;
    Shared open_;
    Shared save_;
};

} // namespace tovera
