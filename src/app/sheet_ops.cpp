#include "app/sheet_ops.h"

#include "app/databound.h"
#include "app/page_basic.h"
#include "app/page_sheet.h"
#include "platform/dialogs.h"
#include "widgets/statusbar.h"

#include <QAbstractButton>
#include <QFileInfo>
#include <QLineEdit>

namespace tovera {

namespace {

constexpr int MessagePanel = 2;
constexpr int16_t ExcelFileType = 4;

// The cells the transfer reads, all on sheet 1.
struct CellRef {
    int row;
    int column;
};
constexpr CellRef AnnexMark{6, 7};   // G6: any text means the areas start one column left
constexpr CellRef PointsPerM2{6, 5}; // E6
constexpr CellRef OwnerName{4, 4};   // D4

} // namespace

QString sheetOpenFilter() {
    return dialogFilter(QStringLiteral("家屋明細書(*.xls)|*.xls"));
}

QString sheetSaveFilter() {
    return dialogFilter(QStringLiteral("明細ｼｰﾄ(*.XLS)|*.xls"));
}

QString sheetSavePath(const QString& chosen) {
    if (chosen.endsWith(QStringLiteral(".xls"), Qt::CaseInsensitive)) return chosen;
    return chosen + QStringLiteral(".xls");
}

QString openSheetFile(SheetPage& sheet, Dialogs& dialogs, const FileDialogRequest& request) {
    const QString path = dialogs.openFile(request);
    if (path.isEmpty()) return {};
    if (!QFileInfo(path).isFile()) {
        dialogs.message(QStringLiteral("そのシートはありません!"));
        return {};
    }
    int16_t fileType = 0;
    sheet.F5Book1->LoadWorkbookFile(path, fileType);
    return path;
}

SheetOps::SheetOps(SheetPage& sheet, BasicPage& basic, QLineEdit& exfile, GaugeStatusBar& status,
                   Dialogs& dialogs, QObject* parent)
    : QObject(parent), sheet_(sheet), basic_(basic), exfile_(exfile), status_(status),
      dialogs_(dialogs) {}

void SheetOps::connectControls(QAbstractButton* load, QAbstractButton* save, QAbstractButton* print,
                               QAbstractButton* transfer) {
    connect(load, &QAbstractButton::clicked, this, &SheetOps::MMenuClick);
    connect(save, &QAbstractButton::clicked, this, &SheetOps::ToolbarButton973Click);
    connect(print, &QAbstractButton::clicked, this, &SheetOps::ToolbarButton971Click);
    connect(transfer, &QAbstractButton::clicked, this, &SheetOps::FlatButton1Click);
    connect(&sheet_, &SheetPage::sheetDropAccepted, this, &SheetOps::showDroppedSheet);
}

void SheetOps::MMenuClick() {
    loadSheet();
}

void SheetOps::ToolbarButton973Click() {
    saveSheet();
}

void SheetOps::ToolbarButton971Click() {
    printSheet();
}

void SheetOps::FlatButton1Click() {
    transferFromSheet();
}

void SheetOps::showStatus(const QString& text) {
    status_.setPanelText(MessagePanel, text);
}

void SheetOps::loadSheet() {
    FileDialogRequest request;
    request.filter = sheetOpenFilter();
    const QString path = openSheetFile(sheet_, dialogs_, request);
    if (path.isEmpty()) return;
    sheet_.applySheetViewSettings();
    exfile_.setText(path);
    showStatus(path + QStringLiteral("(明細)を読込みました。"));
}

void SheetOps::saveSheet() {
    FileDialogRequest request;
    request.filter = sheetSaveFilter();
    // The dialog is shared with the drawing export, which leaves its own default extension
    // behind; a sheet name typed without one comes back as a sheet.
    request.defaultExtension = QStringLiteral("xls");
    request.fileName = sheet_.F5Book1->CellText(1, OwnerName.row, OwnerName.column);
    const QString chosen = dialogs_.saveFile(request);
    if (chosen.isEmpty()) return;
    sheet_.F5Book1->SaveWorkbookFile(sheetSavePath(chosen), ExcelFileType);
    showStatus(QStringLiteral("明細を保存しました！"));
}

void SheetOps::printSheet() {
    if (!sheet_.F5Book1->PrintWorkbook()) return; // cancelled: nothing went out
    showStatus(QStringLiteral("印刷完了！"));
}

void SheetOps::transferFromSheet() {
    TF5Book& book = *sheet_.F5Book1;
    const auto cell = [&book](int row, int column) { return book.CellText(1, row, column); };
    const bool annex = !cell(AnnexMark.row, AnnexMark.column).isEmpty();
    const int firstArea = annex ? 9 : 10; // I6 or J6
    const struct {
        const char* column;
        CellRef cell;
    } steps[] = {
        {"１Ｆ", {6, firstArea}}, {"２Ｆ", {6, firstArea + 1}}, {"床面積", {6, firstArea + 2}},
        {"評点数", PointsPerM2},  {"所有者氏名", OwnerName},
    };
    for (const auto& step : steps) {
        const QString text = cell(step.cell.row, step.cell.column);
        if (FieldBinding* box = basic_.field(QString::fromUtf8(step.column)))
            box->setModifiedText(text);
    }
}

void SheetOps::showDroppedSheet(const QString& path) {
    showStatus(QStringLiteral("明細読込..."));
    exfile_.setText(path);
    showStatus(path + QStringLiteral("をﾄﾞﾛｯﾌﾟ表示しました。"));
}

} // namespace tovera
