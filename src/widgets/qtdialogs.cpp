#include "widgets/qtdialogs.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCompleter>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>

namespace tovera {

namespace {
const QString kTitle = QStringLiteral("Tovera");

void showBox(QWidget* parent, QMessageBox::Icon icon, const QString& text) {
    QMessageBox box(icon, kTitle, text, QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}
} // namespace

WidgetDialogs::WidgetDialogs(QWidget* parent) : parent_(parent) {}

WidgetDialogs::~WidgetDialogs() {
    delete open_.dialog;
    delete save_.dialog;
}

void WidgetDialogs::message(const QString& text) {
    showBox(parent_, QMessageBox::NoIcon, text);
}

void WidgetDialogs::error(const QString& text) {
    showBox(parent_, QMessageBox::Critical, text);
}

bool WidgetDialogs::confirm(const QString& caption, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok | QMessageBox::Cancel,
                    parent_);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::Ok);
    return box.exec() == QMessageBox::Ok;
}

void WidgetDialogs::beep() {
    QApplication::beep();
}

WidgetDialogs::Shared& WidgetDialogs::ensure(Shared& shared, bool save) {
    if (!shared.dialog) {
        auto* dialog = new QFileDialog(parent_);
        dialog->setObjectName(save ? QStringLiteral("SaveDialog1") : QStringLiteral("OpenDialog1"));
        dialog->setOption(QFileDialog::DontUseNativeDialog);
        // Neither dialog asks before replacing a file or insists that a typed file exists.
        dialog->setOption(QFileDialog::DontConfirmOverwrite);
        dialog->setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        dialog->setFileMode(QFileDialog::AnyFile);
        dialog->setWindowModality(Qt::ApplicationModal);
        shared.dialog = dialog;
        shared.defaultTitle = dialog->windowTitle();
    }
    return shared;
}

QFileDialog* WidgetDialogs::openDialog() {
    return ensure(open_, false).dialog;
}
QFileDialog* WidgetDialogs::saveDialog() {
    return ensure(save_, true).dialog;
}

QString WidgetDialogs::runFileDialog(Shared& shared, const FileDialogRequest& request) {
    QFileDialog* dialog = shared.dialog;
    dialog->setWindowTitle(request.title.isEmpty() ? shared.defaultTitle : request.title);
    if (!request.filter.isEmpty()) dialog->setNameFilter(request.filter);
    if (!request.defaultExtension.isEmpty()) dialog->setDefaultSuffix(request.defaultExtension);
    if (request.fileName) {
        shared.lastFile = *request.fileName;
        // An empty name is not selected: the name box is cleared instead.
        if (auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
            name->clear();
    }
    if (!shared.lastFile.isEmpty()) dialog->selectFile(shared.lastFile);
    const int result = dialog->exec();
    // Return in the name box accepts the dialog while the box's completion list may be up;
    // the list would stay on the screen after the dialog has gone.
    if (auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
        if (QCompleter* completer = name->completer()) completer->popup()->hide();
    if (result != QDialog::Accepted) return QString();
    const QStringList files = dialog->selectedFiles();
    if (files.isEmpty()) return QString();
    shared.lastFile = files.first();
    return shared.lastFile;
}

QString WidgetDialogs::openFile(const FileDialogRequest& request) {
    return runFileDialog(ensure(open_, false), request);
}

QString WidgetDialogs::saveFile(const FileDialogRequest& request) {
    return runFileDialog(ensure(save_, true), request);
}

} // namespace tovera
