#include "app/page_sheet.h"

#include "app/application.h"
#include "platform/dialogs.h"
#include "platform/namematch.h"
#include "widgets/filedrop.h"
#include "widgets/hints.h"
#include "widgets/icons.h"
#include "widgets/shelllist.h"
#include "widgets/sidebar.h"

namespace tovera {

SheetPage::SheetPage(QWidget* page, QObject* parent) : QObject(parent) {
    InspectorBar2 = new SideBar(page);
    InspectorBar2->setObjectName(QStringLiteral("InspectorBar2"));
    InspectorBar2->setGeometry(0, 0, 140, 441);
    const int menu = InspectorBar2->addPanel(QStringLiteral("明細メニュー"));
    InspectorBar2->addItem(menu, QStringLiteral("明細表示"),
                           themeIcon("x-office-spreadsheet", QStyle::SP_FileDialogContentsView));
    InspectorBar2->addItem(menu, QStringLiteral("明細消去"),
                           themeIcon("edit-clear", QStyle::SP_DialogResetButton));
    InspectorBar2->addItem(menu, QStringLiteral("明細登録"),
                           themeIcon("document-save", QStyle::SP_DialogSaveButton));
    InspectorBar2->addItem(menu, QStringLiteral("明細書出"),
                           themeIcon("document-save-as", QStyle::SP_DriveFDIcon));
    ShellListView1 = new ShellList;
    ShellListView1->setObjectName(QStringLiteral("ShellListView1"));
    const int files = InspectorBar2->addHostPanel(QStringLiteral("明細ファイル"), ShellListView1);
    InspectorBar2->setPanelOpen(files, false);

    auto* book = new TF5Book(page);
    book->setObjectName(QStringLiteral("F5Book1"));
    book->setGeometry(148, 8, 710, 433);
    setHint(book, QStringLiteral("明細シートのドロップが出来ます。"));
    F5Book1 = book;
}

void SheetPage::installDrops(Dialogs& dialogs, const QList<ShellList*>& lists) {
    dialogs_ = &dialogs;
    FileDrop3 = new FileDrop(F5Book1,
                             [this] { callShowingErrors(*dialogs_, [this] { FileDrop3Drop(); }); });
    new InsideDrop(F5Book1, lists, [this](ShellList* source) {
        callShowingErrors(*dialogs_, [&] { F5Book1DragDrop(source); });
    });
}

void SheetPage::FileDrop3Drop() {
    sheetDropped(FileDrop3->files().value(0));
}

void SheetPage::F5Book1DragDrop(const ShellList* source) {
    const QString path = source ? source->selectedPath() : QString();
    if (path.isEmpty()) return; // nothing selected: nothing to show
    sheetDropped(path);
}

void SheetPage::sheetDropped(const QString& path) {
    if (!matchesPattern(path, QStringLiteral("*xls*"))) {
        dialogs_->message(QStringLiteral("Excelﾌｧｲﾙをﾄﾞﾛｯﾌﾟして下さい!"));
        return;
    }
    acceptSheetDrop(path);
}

void SheetPage::acceptSheetDrop(const QString& path) {
    int16_t fileType = 0;
    F5Book1->LoadWorkbookFile(path, fileType);
    Q_EMIT sheetDropAccepted(path);
}

void SheetPage::applySheetViewSettings() {
    F5Book1->setTopRow(1);
    F5Book1->setLeftCol(1);
    F5Book1->setShowEditBar(true);
    F5Book1->setShowColHeading(false);
    F5Book1->setShowRowHeading(false);
    F5Book1->setViewScale(95);
}

} // namespace tovera
