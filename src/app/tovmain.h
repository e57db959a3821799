#pragma once
// The main window. It owns the database connection, the record set over 基本データ and
// the district table, the drawing page (model and pictures), droppedDrawing, and every
// control; its handlers are thin slots that call the operations below.

#include "records/recordset.h"

#include <QByteArray>
#include <QMainWindow>
#include <QStringList>
#include <memory>

class QFrame;
class QPushButton;
class QTabWidget;
class QToolBar;
class QToolButton;

namespace tovera {

class Attachments;
class BasicPage;
class CheckLabel;
class Dialogs;
class DrawingPage;
class FlatEdit;
class GaugeStatusBar;
class HelpSystem;
class HintTracker;
class RecordNavigator;
class SearchPage;
class SheetAttachment;
class SheetOps;
class SheetPage;
class ShellList;
class SideBar;

class Tovmain : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int OuterWidth = 890;
    static constexpr int OuterHeight = 649;
    static constexpr int StartLeft = 165;
    static constexpr int StartTop = 128;
    static constexpr int DockHeight = 30;
    static constexpr int MessagePanel = 2;

    // Builds the window and runs its creation step (FormCreate). `executableFolder` is where
    // 評価調書.mdb and ikatu.hlp are looked for; `arguments` are the command-line arguments
    // after the program name. The dialogs and the help system outlive the window.
    Tovmain(Dialogs& dialogs, HelpSystem& help, const QString& executableFolder,
            const QStringList& arguments, QWidget* parent = nullptr);
    ~Tovmain() override;

    // Operations.
    // Writes a status message into the message panel (replacing its text).
    void showStatus(const QString& text);
    QString statusMessage() const;
    // Shows page `index` (0 基本項目, 1 評点明細, 2 家屋図面).
    void showPage(int index);
    // Sets the attachment marks from the current record.
    void refreshAttachmentMarks();
    // Opens ikatu.hlp from the executable's folder at its contents.
    void showHelp();
    QString helpFilePath() const;
    QString databasePath() const;

    // Handlers.
    void displayHint(const QString& hint);
    void herupu1Click();
    void OwariClick();
    void InspectorBar1ItemClick(int panel, int item);
    void ADOQuery1AfterScroll();
    // Drags from the side-bar file lists released on the drop buttons "明細l直接登録"
    // (BitBtn3, "*xls*") and "図面直接登録" (BitBtn4, "*hbd*"): the list's selected item goes
    // on when its name passes, else the button's refusal box; without a selected item
    // nothing happens.
    void BitBtn3DragDrop(const ShellList* source);
    void BitBtn4DragDrop(const ShellList* source);
    // The one way in for a file that passed a drop button's test: stores it in the current
    // record's column excel (BitBtn3) or zumen (BitBtn4) after confirmation, through the
    // signals below.
    void acceptSheetAttachmentDrop(const QString& path);
    void acceptDrawingAttachmentDrop(const QString& path);

    // What the window owns, for the pages' controllers and the tests.
    Dialogs& dialogs() { return dialogs_; }
    Connection& connection() { return connection_; }
    RecordSet& ADOQuery1() { return *records_; }
    DistrictTable& districts() { return districts_; }
    QByteArray& droppedDrawing() { return droppedDrawing_; }
    HintTracker& hints() { return *hints_; }
    DrawingPage& drawingPage() { return *drawingPage_; }
    SheetPage& sheetPage() { return *sheetPage_; }
    SheetOps& sheetOps() { return *sheetOps_; }
    BasicPage& basicPage() { return *basicPage_; }
    SearchPage& searchPage() { return *searchPage_; }
    Attachments& attachments() { return *attachments_; }
    SheetAttachment& sheetAttachment() { return *sheetAttachment_; }

    // Controls, under their names.
    QTabWidget* PageControl1 = nullptr;
    QWidget* TabSheet1 = nullptr; // 基本項目
    QWidget* TabSheet2 = nullptr; // 評点明細
    QWidget* TabSheet3 = nullptr; // 家屋図面
    QWidget* BasicArea = nullptr; // page 1's content area (page coordinates), under the side bar
    SideBar* InspectorBar1 = nullptr;
    QPushButton* FlatButton1 = nullptr; // "明細から転記"
    QToolBar* sheetToolBar = nullptr;   // "明細"
    QToolBar* drawingToolBar = nullptr; // "図面"
    QToolBar* registerWindow = nullptr; // tool window of the two registration buttons
    QToolBar* commandToolBar = nullptr; // help and exit
    QToolBar* fileNameWindow = nullptr; // tool window of exfile and zmfile
    QToolButton* MMenu = nullptr;
    QToolButton* ToolbarButton973 = nullptr; // save sheet
    QToolButton* ToolbarButton971 = nullptr; // print sheet
    QToolButton* ZmRead = nullptr;
    QToolButton* ToolbarButton974 = nullptr; // register a sheet file
    QToolButton* ToolbarButton975 = nullptr; // register a drawing file
    QToolButton* helpButton = nullptr;
    QAction* herupu1 = nullptr;
    QToolButton* Owari = nullptr;
    FlatEdit* exfile = nullptr;
    FlatEdit* zmfile = nullptr;
    QFrame* dropPanel = nullptr;
    QPushButton* BitBtn3 = nullptr; // "明細l直接登録"
    QPushButton* BitBtn4 = nullptr; // "図面直接登録"
    QFrame* markPanel = nullptr;
    CheckLabel* sheetMark = nullptr;   // "家屋明細書"
    CheckLabel* drawingMark = nullptr; // "家屋図面"
    RecordNavigator* navigator = nullptr;
    QTabWidget* searchTabs = nullptr;
    GaugeStatusBar* StatusBar1 = nullptr;

Q_SIGNALS:
    // The window accepted its close: the program is ending.
    void closed();
    // A file dropped on a drop button passed the name test and was handed on.
    void sheetAttachmentDropAccepted(const QString& path);
    void drawingAttachmentDropAccepted(const QString& path);

protected:
    void showEvent(QShowEvent* event) override;
    // Ends an edit of the current record as a move does before the window goes; when that
    // post fails the error is shown and the window stays open, so nothing typed is lost.
    void closeEvent(QCloseEvent* event) override;

private:
    // Creation step: view set-up, database, hint handler.
    void FormCreate();
    void FormShow();
    void fitOuterSize();
    void connectDatabase();
    void openRecords();

    // Layout (tovmain_layout.cpp).
    void buildLayout();
    void buildToolbars();
    QWidget* buildPages(QWidget* central);
    void buildStrip(QWidget* central);
    void placeStatusBar();
    // Binds the drop targets: the spreadsheet control, the floor tabs, the drawing area
    // and the two drop buttons.
    void installDrops();

    Dialogs& dialogs_;
    HelpSystem& help_;
    QString executableFolder_;
    QStringList arguments_;
    Connection connection_;
    RecordSet* records_ = nullptr;
    DistrictTable districts_;
    QByteArray droppedDrawing_;
    HintTracker* hints_ = nullptr;
    DrawingPage* drawingPage_ = nullptr;
    SheetPage* sheetPage_ = nullptr;
    SheetOps* sheetOps_ = nullptr;
    BasicPage* basicPage_ = nullptr;
    SearchPage* searchPage_ = nullptr;
    Attachments* attachments_ = nullptr;
    SheetAttachment* sheetAttachment_ = nullptr;
    QWidget* central_ = nullptr;
    bool shownOnce_ = false;

    friend class CentralArea;
};

} // namespace tovera
