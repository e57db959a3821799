#include "app/attachments.h"

#include "app/page_drawing.h"
#include "drawing/readers.h"
#include "platform/dialogs.h"
#include "platform/errors.h"
#include "records/recordset.h"
#include "widgets/controls.h"
#include "widgets/sidebar.h"
#include "widgets/statusbar.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QSaveFile>
#include <cerrno>

namespace tovera {

namespace {
constexpr int MessagePanel = 2;
const QString Drawing = QStringLiteral("zumen");
const QString Sheet = QStringLiteral("excel");
const QString Stored = QStringLiteral("□");
const QString Registered = QStringLiteral("（図面）を登録ました。");
const QString RegisterCaption = QStringLiteral("図面登録");
const QString RegisterQuestion = QStringLiteral("登録しますか？");
const QString EraseQuestion = QStringLiteral("消去しますか？");

// Writes `bytes` to `path`, replacing the file. The bytes go to a new file that takes the
// name only once complete, so a failed write leaves an existing file as it was. Raises
// EInOutError with the platform's text.
void writeWholeFile(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    errno = 0;
    if (!file.open(QIODevice::WriteOnly)) throwOpenError(path, errno ? errno : EACCES);
    if (file.write(bytes) != bytes.size() || !file.commit()) {
        const int error = errno ? errno : EIO;
        file.cancelWriting();
        throw EInOutError(ioErrorText(error), error);
    }
}
} // namespace

Attachments::Attachments(RecordSet& records, DrawingPage& drawing, QByteArray& droppedDrawing,
                         const Marks& marks, GaugeStatusBar& status, Dialogs& dialogs,
                         QObject* parent)
    : QObject(parent), records_(records), drawing_(drawing), droppedDrawing_(droppedDrawing),
      marks_(marks), status_(status), dialogs_(dialogs) {}

void Attachments::connectControls(SideBar* InspectorBar3, QAbstractButton* ToolbarButton975) {
    connect(InspectorBar3, &SideBar::itemClicked, this, &Attachments::InspectorBar3ItemClick);
    connect(ToolbarButton975, &QAbstractButton::clicked, this, &Attachments::ToolbarButton975Click);
    connect(&marks_.drawingMark, &CheckLabel::mouseReleased, this,
            &Attachments::CheckLabel2MouseUp);
    connect(&marks_.sheetMark, &CheckLabel::mouseReleased, this, &Attachments::CheckLabel1MouseUp);
}

QString Attachments::exportFilter() {
    return dialogFilter(QStringLiteral("家屋図面 (*.hbd)|*.hbd"));
}

QString Attachments::registerFilter() {
    return dialogFilter(QStringLiteral("図面ファイル (*.hbd)|*.hbd"));
}

void Attachments::showStatus(const QString& text) {
    status_.setPanelText(MessagePanel, text);
}

// ---- Handlers

void Attachments::InspectorBar3ItemClick(int panel, int item) {
    if (panel != 0) return;
    switch (item) {
    case 0:
        showStoredDrawing();
        break;
    case 1:
        clearDrawingView();
        break;
    case 2:
        registerDroppedDrawing();
        break;
    case 3:
        exportStoredDrawing();
        break;
    default:
        break;
    }
}

void Attachments::ToolbarButton975Click() {
    registerDrawingFile();
}

void Attachments::CheckLabel2MouseUp(Qt::MouseButton button) {
    eraseStoredDrawing(button);
}

void Attachments::CheckLabel1MouseUp(Qt::MouseButton button) {
    eraseStoredSheet(button);
}

// ---- The drawing attachment

void Attachments::showStoredDrawing() {
    records_.edit();
    const QByteArray bytes = records_.readBlob(Drawing);
    if (bytes.isEmpty()) {
        drawing_.zclear();
        marks_.zmfile.setText(QStringLiteral("なし!"));
        showStatus(QStringLiteral("　>>>図面がありません。"));
        return;
    }
    drawing_.chooseFloor(1);
    const ReadResult result = readStoredBytes(drawing_.model(), drawing_, bytes);
    // An old or unknown drawing was not shown: the reader has said so where it says so.
    if (result == ReadResult::Ok) marks_.zmfile.setText(Stored);
}

void Attachments::clearDrawingView() {
    drawing_.zclear();
    droppedDrawing_.clear();
    marks_.zmfile.setText(QStringLiteral("-"));
}

void Attachments::registerDroppedDrawing() {
    if (droppedDrawing_.isEmpty()) {
        showStatus(QStringLiteral(" >>>図面が読み込まれていません。"));
        dialogs_.beep();
        return;
    }
    if (!dialogs_.confirm(RegisterCaption, RegisterQuestion)) return;
    AttachmentStore(records_).store(Drawing, droppedDrawing_);
    marks_.drawingMark.setChecked(true);
    marks_.zmfile.setText(Stored);
    showStatus(marks_.zmfile.text() + Registered);
}

void Attachments::exportStoredDrawing() {
    const QByteArray bytes = records_.readBlob(Drawing);
    if (bytes.isEmpty()) {
        marks_.zmfile.setText(QStringLiteral("なし"));
        return;
    }
    FileDialogRequest request;
    request.filter = exportFilter();
    request.defaultExtension = QStringLiteral("hbd");
    const QString path = dialogs_.saveFile(request);
    if (!path.isEmpty()) writeWholeFile(path, bytes);
    marks_.zmfile.setText(QStringLiteral("->"));
}

void Attachments::registerDrawingFile() {
    FileDialogRequest request;
    request.filter = registerFilter();
    const QString path = dialogs_.openFile(request);
    if (path.isEmpty()) return;
    AttachmentStore(records_).storeFile(Drawing, path);
    showRegistered();
    showStatus(path + Registered);
}

void Attachments::registerDrawingDrop(const QString& path) {
    if (!dialogs_.confirm(RegisterCaption, RegisterQuestion)) return;
    AttachmentStore(records_).storeFile(Drawing, path);
    showStatus(QStringLiteral("図面登録..."));
    showRegistered();
    showStatus(path + QStringLiteral("をﾄﾞﾛｯﾌﾟ登録しました。"));
}

void Attachments::showRegistered() {
    marks_.drawingMark.setChecked(true);
    showStoredDrawing();
    marks_.zmfile.setText(Stored);
}

// ---- Erasing

void Attachments::eraseStoredDrawing(Qt::MouseButton button) {
    droppedDrawing_.clear();
    if (button != Qt::RightButton) return;
    if (!dialogs_.confirm(QStringLiteral("図面削除"), EraseQuestion)) return;
    AttachmentStore(records_).erase(Drawing);
    marks_.drawingMark.setChecked(false);
    marks_.zmfile.clear();
}

void Attachments::eraseStoredSheet(Qt::MouseButton button) {
    if (button != Qt::RightButton) return;
    if (!dialogs_.confirm(QStringLiteral("明細削除"), EraseQuestion)) return;
    AttachmentStore(records_).erase(Sheet);
    marks_.sheetMark.setChecked(false);
    marks_.exfile.clear();
}

} // namespace tovera
