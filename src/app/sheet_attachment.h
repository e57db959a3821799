#pragma once
// The detail sheet stored in column excel of the current house record: stored from the
// sheet shown (明細登録), from a chosen file (the toolbar button) or from a file dragged onto
// 明細l直接登録, shown again (明細表示), exported (明細書出), and the control emptied
// (明細消去). The side-bar menu of page 評点明細 leads here.

#include "platform/globalmem.h"

#include <QByteArray>
#include <QObject>
#include <QString>

class QAbstractButton;
class QLineEdit;

namespace tovera {

class CheckLabel;
class Dialogs;
class GaugeStatusBar;
class RecordSet;
class SheetPage;

// Takes over the global memory block `handle` the control handed out and returns a copy of
// its whole content; the block is freed, also when the copy fails. Raises the assertion
// failure "Assertion failure (Tovmain, 2267 行)" for a handle of 0, and EHandleMemoryStream
// "Invalid Memory Handle" for a block that cannot be locked (not taken over then).
QByteArray takeHandleBytes(HGLOBAL handle);

class SheetAttachment : public QObject {
    Q_OBJECT
public:
    // Everything given belongs to the main window and outlives this controller: the page
    // with the spreadsheet control, the check label 家屋明細書, the file-name box exfile, the
    // status bar (its message panel) and the dialogs.
    SheetAttachment(RecordSet& records, SheetPage& sheet, CheckLabel& sheetMark, QLineEdit& exfile,
                    GaugeStatusBar& status, Dialogs& dialogs, QObject* parent = nullptr);

    // Connects the side bar of the sheet page and the toolbar button that registers a
    // sheet file.
    void connectControls(QAbstractButton* ToolbarButton974);

    // Handlers.
    void InspectorBar2ItemClick(int panel, int item);
    void ToolbarButton974Click();
    // A file dragged onto 明細l直接登録 that passed the name test: after a question the
    // control shows it with the view settings, and registerDisplayedSheet stores it (after
    // its own question). exfile and the message panel tell of the registration only when
    // something was stored.
    void BitBtn3Drop(const QString& path);

    // After a question, stores the workbook shown as the control writes it. Returns whether
    // it was stored. exfile "登録!"; the check label keeps its state. Raises the errors of
    // takeHandleBytes and of the record set.
    bool registerDisplayedSheet();
    // Stores a workbook file chosen in the open dialog byte for byte, checks 家屋明細書 and
    // shows it from the record. Raises EInOutError for a file that cannot be read (the
    // record stays in edit mode, the column unchanged).
    void registerSheetFile();
    // Shows the stored workbook in the control; with none stored exfile says "なし!" and
    // the sheet shown stays. Stored bytes that are no workbook give "不正な明細登録です!".
    void showStoredSheet();
    // Shows the stored workbook, then writes it through the control to a file chosen in
    // the save dialog. Nothing stored: exfile is emptied, no dialog. Raises EOleException
    // for stored bytes the control cannot read (before any dialog) or a file it cannot
    // write.
    void exportStoredSheet();
    // 明細消去: the control shows an empty workbook; the record is not touched.
    void clearSheet();

    // The filter of registerSheetFile's open dialog, as the dialog takes it.
    static QString registerFilter();

private:
    void showStatus(const QString& text);
    // Hands `bytes` to the control in a movable global block (kept and freed here).
    void loadIntoControl(const QByteArray& bytes);

    RecordSet& records_;
    SheetPage& sheet_;
    CheckLabel& sheetMark_;
    QLineEdit& exfile_;
    GaugeStatusBar& status_;
    Dialogs& dialogs_;
};

} // namespace tovera
