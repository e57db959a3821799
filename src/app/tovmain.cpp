#include "app/tovmain.h"

#include "app/application.h"
#include "app/attachments.h"
#include "app/hinttracker.h"
#include "app/page_basic.h"
#include "app/page_drawing.h"
#include "app/page_search.h"
#include "app/page_sheet.h"
#include "app/sheet_attachment.h"
#include "app/sheet_ops.h"
#include "platform/dialogs.h"
#include "platform/errors.h"
#include "platform/help.h"
#include "platform/namematch.h"
#include "widgets/controls.h"
#include "widgets/dropguard.h"
#include "widgets/filedrop.h"
#include "widgets/navigator.h"
#include "widgets/shelllist.h"
#include "widgets/statusbar.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>

namespace tovera {

Tovmain::Tovmain(Dialogs& dialogs, HelpSystem& help, const QString& executableFolder,
                 const QStringList& arguments, QWidget* parent)
    : QMainWindow(parent), dialogs_(dialogs), help_(help), executableFolder_(executableFolder),
      arguments_(arguments), records_(new RecordSet(connection_, this)), districts_(connection_),
      hints_(new HintTracker(this)) {
    setObjectName(QStringLiteral("Tovmain"));
    setWindowTitle(QStringLiteral("Tovera"));
    buildLayout();
    basicPage_ = new BasicPage(BasicArea, *records_, districts_, dialogs_, this);
    basicPage_->bindNavigator(navigator);
    searchPage_ = new SearchPage(searchTabs, *records_, districts_, dialogs_, this);
    sheetOps_ = new SheetOps(*sheetPage_, *basicPage_, *exfile, *StatusBar1, dialogs_, this);
    sheetOps_->connectControls(MMenu, ToolbarButton973, ToolbarButton971, FlatButton1);
    attachments_ =
        new Attachments(*records_, *drawingPage_, droppedDrawing_,
                        {*drawingMark, *sheetMark, *zmfile, *exfile}, *StatusBar1, dialogs_, this);
    attachments_->connectControls(drawingPage_->InspectorBar3, ToolbarButton975);
    connect(this, &Tovmain::drawingAttachmentDropAccepted, attachments_,
            &Attachments::registerDrawingDrop);
    sheetAttachment_ = new SheetAttachment(*records_, *sheetPage_, *sheetMark, *exfile, *StatusBar1,
                                           dialogs_, this);
    sheetAttachment_->connectControls(ToolbarButton974);
    connect(this, &Tovmain::sheetAttachmentDropAccepted, sheetAttachment_,
            &SheetAttachment::BitBtn3Drop);
    connect(records_, &RecordSet::afterScroll, this, &Tovmain::ADOQuery1AfterScroll);
    // Only the drop targets take drops; the side-bar file lists are the only drag sources.
    new DropGuard(this);
    FormCreate();
}

Tovmain::~Tovmain() {
    // The hint handler points into this window.
    hints_->setHandler(nullptr);
    // The record controls and the record set go before the connection they use, which is a
    // member and would otherwise die before the window's children.
    delete searchPage_;
    searchPage_ = nullptr;
    delete basicPage_;
    basicPage_ = nullptr;
    delete records_;
    records_ = nullptr;
}

QString Tovmain::databasePath() const {
    return QDir(executableFolder_).filePath(QString::fromUtf8(kDatabaseFileName));
}

QString Tovmain::helpFilePath() const {
    return QDir(executableFolder_).filePath(QStringLiteral("ikatu.hlp"));
}

// ---- Start-up

void Tovmain::FormCreate() {
    try {
        // The drawing view: the background picture named on the command line, if any.
        const QString first = arguments_.value(0);
        const QString picture = !first.isEmpty() && QFileInfo(first).isFile() ? first : QString();
        setWindowTitle(drawingPage_->setUpView(picture));

        connectDatabase();
        openRecords();

        hints_->setHandler([this](const QString& hint) { displayHint(hint); });
    } catch (const std::exception& error) {
        // The remaining steps are skipped; the window still comes up.
        showStandardError(dialogs_, error);
    }
}

void Tovmain::connectDatabase() {
    // The file beside the program, unless tovera.ini or TOVERA_DATABASE names a server.
    const QString chosen = chosenRegister(executableFolder_);
    try {
        connection_.open(chosen);
    } catch (const Exception& e) {
        connection_.close();
        dialogs_.message(QStringLiteral("ＤＢ接続に失敗しました。"));
        // A server's failure has causes the user can act on: name the server and why.
        if (isServerUri(chosen)) dialogs_.error(e.message());
    }
}

void Tovmain::openRecords() {
    try {
        records_->open(QStringLiteral("select * from 基本データ"));
        districts_.open();
        basicPage_->loadDistricts();
        searchPage_->loadDistricts();
    } catch (const Exception&) {
        records_->closeDiscarding();
        districts_.close();
        dialogs_.message(QStringLiteral("ＤＢをオープン出来ませんでした。"));
    }
}

void Tovmain::closeEvent(QCloseEvent* event) {
    try {
        if (records_ && records_->isOpen()) records_->endEdit();
    } catch (const std::exception& error) {
        showStandardError(dialogs_, error);
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
    if (event->isAccepted()) Q_EMIT closed();
}

void Tovmain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (shownOnce_) return;
    shownOnce_ = true;
    FormShow();
}

void Tovmain::FormShow() {
    navigator->setButtonSize(18);
    fitOuterSize();
    // The window manager may add its frame only after the window is mapped.
    QTimer::singleShot(100, this, &Tovmain::fitOuterSize);
}

void Tovmain::fitOuterSize() {
    // The outer size includes the frame the window manager adds; keep it as designed.
    const QRect frame = frameGeometry();
    const QRect inner = geometry();
    const int extraW = frame.width() - inner.width();
    const int extraH = frame.height() - inner.height();
    if (extraW > 0 || extraH > 0) resize(OuterWidth - extraW, OuterHeight - extraH);
}

// ---- Status bar and hints

void Tovmain::showStatus(const QString& text) {
    StatusBar1->setPanelText(MessagePanel, text);
}

QString Tovmain::statusMessage() const {
    return StatusBar1->panelText(MessagePanel);
}

void Tovmain::displayHint(const QString& hint) {
    showStatus(hint);
}

// ---- Navigation, help, exit

void Tovmain::showPage(int index) {
    if (index >= 0 && index < PageControl1->count()) PageControl1->setCurrentIndex(index);
}

void Tovmain::InspectorBar1ItemClick(int panel, int item) {
    if (panel != 0) return;
    switch (item) {
    case 0:
    case 1:
    case 2:
        showPage(item);
        break;
    case 3:
        close();
        break;
    default:
        break;
    }
}

void Tovmain::showHelp() {
    help_.showContents(helpFilePath());
}

void Tovmain::herupu1Click() {
    showHelp();
}

void Tovmain::OwariClick() {
    close();
}

// ---- Attachment marks

void Tovmain::refreshAttachmentMarks() {
    const bool drawing = records_->blobLength(QStringLiteral("zumen")) > 0;
    drawingMark->setChecked(drawing);
    zmfile->setText(drawing ? QStringLiteral("[*図面あり]") : QStringLiteral("[*図面なし]"));
    const bool sheet = records_->blobLength(QStringLiteral("excel")) > 0;
    sheetMark->setChecked(sheet);
    exfile->setText(sheet ? QStringLiteral("[*明細あり]") : QStringLiteral("[*明細なし]"));
}

void Tovmain::ADOQuery1AfterScroll() {
    refreshAttachmentMarks();
}

// ---- Drops

void Tovmain::installDrops() {
    const QList<ShellList*> lists{sheetPage_->ShellListView1, drawingPage_->ShellListView2};
    sheetPage_->installDrops(dialogs_, lists);
    drawingPage_->installDrops(droppedDrawing_, *zmfile, lists);
    new InsideDrop(BitBtn3, lists, [this](ShellList* source) {
        callShowingErrors(dialogs_, [&] { BitBtn3DragDrop(source); });
    });
    new InsideDrop(BitBtn4, lists, [this](ShellList* source) {
        callShowingErrors(dialogs_, [&] { BitBtn4DragDrop(source); });
    });
}

namespace {

// The path of the item selected in the list a drag came from, when its name matches
// `pattern`. Empty when nothing is selected, and when the name does not match (then
// `refusal` has been shown).
QString draggedItem(const ShellList* source, const QString& pattern, const QString& refusal,
                    Dialogs& dialogs) {
    const QString path = source ? source->selectedPath() : QString();
    if (path.isEmpty()) return {};
    if (!matchesPattern(path, pattern)) {
        dialogs.message(refusal);
        return {};
    }
    return path;
}

} // namespace

void Tovmain::BitBtn3DragDrop(const ShellList* source) {
    const QString path = draggedItem(source, QStringLiteral("*xls*"),
                                     QStringLiteral("Excelﾌｧｲﾙをﾄﾞﾛｯﾌﾟして下さい!"), dialogs_);
    if (!path.isEmpty()) acceptSheetAttachmentDrop(path);
}

void Tovmain::BitBtn4DragDrop(const ShellList* source) {
    const QString path = draggedItem(source, QStringLiteral("*hbd*"),
                                     QStringLiteral("図面ﾌｧｲﾙをﾄﾞﾛｯﾌﾟして下さい!"), dialogs_);
    if (!path.isEmpty()) acceptDrawingAttachmentDrop(path);
}

void Tovmain::acceptSheetAttachmentDrop(const QString& path) {
    Q_EMIT sheetAttachmentDropAccepted(path);
}

void Tovmain::acceptDrawingAttachmentDrop(const QString& path) {
    Q_EMIT drawingAttachmentDropAccepted(path);
}

} // namespace tovera
