#pragma once
// The operations on the detail sheet shown on page 評点明細: load, save and print from the
// toolbar "明細", the last step of a drop on the spreadsheet control, and the transfer of
// the owner's name, the floor areas and the points per ㎡ into the house record's boxes on
// page 基本項目 (button "明細から転記").

#include <QObject>
#include <QString>

class QAbstractButton;
class QLineEdit;

namespace tovera {

class BasicPage;
class Dialogs;
class GaugeStatusBar;
class SheetPage;
struct FileDialogRequest;

// The file filters of the sheet dialogs, as the dialog takes them.
QString sheetOpenFilter();
QString sheetSaveFilter();

// The file a sheet is saved to for the name chosen in the save dialog: ".xls" is appended
// unless the name already ends in ".xls" in any letter case.
QString sheetSavePath(const QString& chosen);

// Open dialog of `request`, then the chosen workbook is loaded into the sheet page's control.
// Returns its path; empty after a cancel, and for a file that is not there (the dialogs then
// said "そのシートはありません!"). Raises EOleException for a file the control cannot read.
QString openSheetFile(SheetPage& sheet, Dialogs& dialogs, const FileDialogRequest& request);

class SheetOps : public QObject {
    Q_OBJECT
public:
    // Everything given belongs to the main window and outlives this controller: the page
    // with the spreadsheet control, the record page whose boxes the transfer fills, the
    // file-name box exfile, the status bar (its message panel) and the dialogs.
    SheetOps(SheetPage& sheet, BasicPage& basic, QLineEdit& exfile, GaugeStatusBar& status,
             Dialogs& dialogs, QObject* parent = nullptr);

    // Connects the buttons' clicks to their handlers and the sheet page's accepted drops to
    // showDroppedSheet.
    void connectControls(QAbstractButton* load, QAbstractButton* save, QAbstractButton* print,
                         QAbstractButton* transfer);

    // Handlers.
    void MMenuClick();
    void ToolbarButton973Click();
    void ToolbarButton971Click();
    void FlatButton1Click();

    // Open dialog, then the chosen workbook is shown with the view settings, its path goes
    // into exfile and the message panel says it was read. A cancel changes nothing; a
    // missing file gives "そのシートはありません!". Raises EOleException for a file the
    // control cannot read; nothing has changed then.
    void loadSheet();
    // Save dialog offering the owner's name of cell D4, then the workbook shown is written
    // to sheetSavePath of the chosen name. exfile keeps its text. Raises EOleException when
    // the file cannot be written; the message panel then keeps its text.
    void saveSheet();
    // Prints the workbook shown; "印刷完了！" only when pages went out (not after a cancel).
    // Raises EOleException when printing fails.
    void printSheet();
    // Copies cells of sheet 1 into the boxes 1F, 2F, 床面積, 評点数 and 所有者氏名 as their
    // text stands, each marked as typed. It starts no edit and posts nothing: the record
    // set's editing rules take the texts on from there.
    void transferFromSheet();
    // The last step of a drop the control has shown: the path into exfile and the message.
    void showDroppedSheet(const QString& path);

private:
    void showStatus(const QString& text);

    SheetPage& sheet_;
    BasicPage& basic_;
    QLineEdit& exfile_;
    GaugeStatusBar& status_;
    Dialogs& dialogs_;
};

} // namespace tovera
