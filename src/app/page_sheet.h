#pragma once
// Page 評点明細: its side bar and the spreadsheet control.

#include "sheet/view/f5book.h"

#include <QList>
#include <QObject>

class QWidget;

namespace tovera {

class Dialogs;
class FileDrop;
class ShellList;
class SideBar;

class SheetPage : public QObject {
    Q_OBJECT
public:
    // Builds the page's controls as children of `page`.
    explicit SheetPage(QWidget* page, QObject* parent = nullptr);

    SideBar* InspectorBar2 = nullptr;
    ShellList* ShellListView1 = nullptr; // the side-bar file list, panel "明細ファイル"
    TF5Book* F5Book1 = nullptr;          // the spreadsheet control, (148, 8) 710 x 433

    // Makes the spreadsheet control the target of files dropped from outside and of drags
    // from `lists`; refusals are shown through `dialogs`, which outlives the page.
    void installDrops(Dialogs& dialogs, const QList<ShellList*>& lists);
    // Files dropped from outside on the spreadsheet control: the first goes on when its
    // name passes "*xls*", else the refusal box.
    void FileDrop3Drop();
    // A drag from `source` released on the spreadsheet control; nothing happens when the
    // list has no selected item.
    void F5Book1DragDrop(const ShellList* source);
    // The one way in for a workbook file that reached the control by a drop or a drag and
    // passed the name test: the control shows the workbook (the view settings stay as they
    // are). A file the control cannot read raises EOleException and changes nothing.
    void acceptSheetDrop(const QString& path);
    // The view settings made after a load from the toolbar, in this order: top row 1, left
    // column 1, edit bar shown, column and row headings hidden, zoom 95 %.
    void applySheetViewSettings();
    FileDrop* FileDrop3 = nullptr;

Q_SIGNALS:
    // A workbook file passed the name test and the control shows it (acceptSheetDrop); the
    // sheet operations finish the drop with the file-name box and the message.
    void sheetDropAccepted(const QString& path);

private:
    // Tests `path` against "*xls*": refusal box, or on to acceptSheetDrop.
    void sheetDropped(const QString& path);
    Dialogs* dialogs_ = nullptr;
};

} // namespace tovera
