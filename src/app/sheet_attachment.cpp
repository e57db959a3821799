#include "app/sheet_attachment.h"

#include "app/page_sheet.h"
#include "app/sheet_ops.h"
#include "platform/dialogs.h"
#include "platform/errors.h"
#include "records/recordset.h"
#include "sheet/handlestream.h"
#include "sheet/view/f5book.h"
#include "widgets/controls.h"
#include "widgets/sidebar.h"
#include "widgets/statusbar.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <cstring>
#include <new>

namespace tovera {

namespace {
constexpr int MessagePanel = 2;
constexpr int16_t ExcelFileType = 4;
const QString SheetColumn = QStringLiteral("excel");
const QString RegisterCaption = QStringLiteral("明細登録");
const QString RegisterQuestion = QStringLiteral("登録しますか？");

// A movable global memory block holding a copy of some bytes, locked while it lives; the
// control is handed its handle and only reads it.
class GlobalCopy {
public:
    explicit GlobalCopy(const QByteArray& bytes) {
        handle_ = GlobalAlloc(GMEM_MOVEABLE, size_t(bytes.size()));
        void* memory = handle_ ? GlobalLock(handle_) : nullptr;
        if (!memory) {
            if (handle_) GlobalFree(handle_);
            throw std::bad_alloc();
        }
        std::memcpy(memory, bytes.constData(), size_t(bytes.size()));
        address_ = memory;
    }
    ~GlobalCopy() {
        GlobalUnlock(handle_);
        GlobalFree(handle_);
    }
    GlobalCopy(const GlobalCopy&) = delete;
    GlobalCopy& operator=(const GlobalCopy&) = delete;
    // The handle of the block, found from its address as the platform finds it.
    HGLOBAL handle() const { return GlobalHandle(address_); }

private:
    HGLOBAL handle_ = 0;
    void* address_ = nullptr;
};
} // namespace

QByteArray takeHandleBytes(HGLOBAL handle) {
    if (handle == 0)
        throw Exception(QStringLiteral("%1 (%2, %3 行)")
                            .arg(QStringLiteral("Assertion failure"), QStringLiteral("Tovmain"))
                            .arg(2267));
    THandleMemoryStream stream(handle); // frees the block when it goes, also on failure
    QByteArray bytes(qsizetype(stream.Size()), Qt::Uninitialized);
    stream.SetPosition(0);
    if (stream.Read(bytes.data(), stream.Size()) != stream.Size())
        throw EInOutError(QStringLiteral("Stream read error"));
    return bytes;
}

SheetAttachment::SheetAttachment(RecordSet& records, SheetPage& sheet, CheckLabel& sheetMark,
                                 QLineEdit& exfile, GaugeStatusBar& status, Dialogs& dialogs,
                                 QObject* parent)
    : QObject(parent), records_(records), sheet_(sheet), sheetMark_(sheetMark), exfile_(exfile),
      status_(status), dialogs_(dialogs) {}

void SheetAttachment::connectControls(QAbstractButton* ToolbarButton974) {
    connect(sheet_.InspectorBar2, &SideBar::itemClicked, this,
            &SheetAttachment::InspectorBar2ItemClick);
    connect(ToolbarButton974, &QAbstractButton::clicked, this,
            &SheetAttachment::ToolbarButton974Click);
}

QString SheetAttachment::registerFilter() {
    return dialogFilter(QStringLiteral("明細ファイル (*.xls)|*.xls"));
}

void SheetAttachment::showStatus(const QString& text) {
    status_.setPanelText(MessagePanel, text);
}

// ---- Handlers

void SheetAttachment::InspectorBar2ItemClick(int panel, int item) {
    if (panel != 0) return; // the file list's panel
    switch (item) {
    case 0:
        showStoredSheet();
        break;
    case 1:
        clearSheet();
        break;
    case 2:
        registerDisplayedSheet();
        break;
    case 3:
        exportStoredSheet();
        break;
    default:
        break;
    }
}

void SheetAttachment::ToolbarButton974Click() {
    // The open dialog keeps the filter of its last use here.
    if (openSheetFile(sheet_, dialogs_, FileDialogRequest{}).isEmpty()) return;
    registerSheetFile();
}

void SheetAttachment::BitBtn3Drop(const QString& path) {
    if (!dialogs_.confirm(RegisterCaption, RegisterQuestion)) return;
    int16_t fileType = 0;
    sheet_.F5Book1->LoadWorkbookFile(path, fileType);
    sheet_.applySheetViewSettings();
    if (!registerDisplayedSheet()) return; // nothing stored: nothing to report
    exfile_.setText(QStringLiteral("<-"));
    showStatus(path + QStringLiteral("をﾄﾞﾛｯﾌﾟ登録しました。"));
}

// ---- Operations

bool SheetAttachment::registerDisplayedSheet() {
    if (!dialogs_.confirm(RegisterCaption, RegisterQuestion)) return false;
    HGLOBAL handle = 0;
    sheet_.F5Book1->SaveWorkbookToHandle(handle, 0);
    const QByteArray bytes = takeHandleBytes(handle);
    AttachmentStore(records_).store(SheetColumn, bytes);
    exfile_.setText(QStringLiteral("登録!"));
    showStatus(QStringLiteral(" >>>表示明細を登録しました。"));
    return true;
}

void SheetAttachment::registerSheetFile() {
    FileDialogRequest request;
    request.filter = registerFilter();
    const QString path = dialogs_.openFile(request);
    if (path.isEmpty()) return;
    AttachmentStore(records_).storeFile(SheetColumn, path);
    sheetMark_.setChecked(true);
    showStoredSheet();
    exfile_.setText(QStringLiteral("<"));
    showStatus(path + QStringLiteral("を登録しました。"));
}

void SheetAttachment::loadIntoControl(const QByteArray& bytes) {
    const GlobalCopy block(bytes);
    sheet_.F5Book1->LoadWorkbookFromHandle(block.handle(), 0);
}

void SheetAttachment::showStoredSheet() {
    const QByteArray bytes = records_.readBlob(SheetColumn);
    if (bytes.isEmpty()) {
        exfile_.setText(QStringLiteral("なし!"));
        return;
    }
    try {
        loadIntoControl(bytes);
    } catch (const EOleException&) {
        dialogs_.message(QStringLiteral("不正な明細登録です!"));
    }
    exfile_.setText(QStringLiteral("-"));
}

void SheetAttachment::exportStoredSheet() {
    const QByteArray bytes = records_.readBlob(SheetColumn);
    if (bytes.isEmpty()) {
        exfile_.clear();
        return;
    }
    loadIntoControl(bytes);
    FileDialogRequest request;
    request.filter = sheetSaveFilter();
    // The drawing export leaves its own default extension in the shared dialog; a name
    // typed without one comes back as a sheet.
    request.defaultExtension = QStringLiteral("xls");
    const QString chosen = dialogs_.saveFile(request);
    if (chosen.isEmpty()) return;
    sheet_.F5Book1->SaveWorkbookFile(sheetSavePath(chosen), ExcelFileType);
    exfile_.setText(QStringLiteral(">"));
}

void SheetAttachment::clearSheet() {
    sheet_.F5Book1->ClearWorkbook();
    exfile_.clear();
}

} // namespace tovera
