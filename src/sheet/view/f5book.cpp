#include "sheet/view/f5book.h"

#include "platform/errors.h"
#include "sheet/celltext.h"
#include "sheet/sheetprint.h"
#include "sheet/view/sheetgrid.h"
#include "sheet/view/sheetmodel.h"
#include "sheet/workbookops.h"
#include "sheet/xlsreader.h"
#include "sheet/xlswriter.h"
#include "sheet/xlsxreader.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTabBar>
#include <QVBoxLayout>
#include <new>

namespace tovera {

namespace {

// Runs `step`, turning every failure into the control's EOleException; `what` names the
// call's object (a file) for failures that do not name it themselves.
template <typename Step> void asControlCall(const QString& what, Step&& step) {
    try {
        step();
    } catch (const EOleException&) {
        throw;
    } catch (const Exception& e) {
        throw EOleException(what.isEmpty() ? e.message()
                                           : QStringLiteral("%1: %2").arg(what, e.message()));
    } catch (const std::bad_alloc&) {
        throw EOleException(QStringLiteral("%1 を扱えません（メモリが足りません）").arg(what));
    }
}

void refuseDrops(QWidget* widget) {
    // Drops belong to the window that hosts the control: no inner part may take them.
    widget->setAcceptDrops(false);
}

} // namespace

TF5Book::TF5Book(QWidget* parent) : QWidget(parent), book_(Workbook::createDefault()) {
    model_ = new SheetModel(book_, this);

    editBar_ = new QWidget(this);
    reference_ = new QLineEdit(editBar_);
    reference_->setObjectName(QStringLiteral("reference"));
    reference_->setReadOnly(true);
    reference_->setFixedWidth(90);
    reference_->setAlignment(Qt::AlignCenter);
    reference_->setFocusPolicy(Qt::NoFocus);
    content_ = new QLineEdit(editBar_);
    content_->setObjectName(QStringLiteral("content"));
    content_->setMaxLength(32767);
    content_->installEventFilter(this);
    auto* barLayout = new QHBoxLayout(editBar_);
    barLayout->setContentsMargins(0, 0, 0, 2);
    barLayout->setSpacing(2);
    barLayout->addWidget(reference_);
    barLayout->addWidget(content_, 1);

    grid_ = new SheetGrid(model_, this);
    tabs_ = new QTabBar(this);
    tabs_->setShape(QTabBar::RoundedSouth);
    tabs_->setExpanding(false);
    tabs_->setDrawBase(false);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(editBar_);
    layout->addWidget(grid_, 1);
    layout->addWidget(tabs_);

    for (QWidget* w :
         std::initializer_list<QWidget*>{editBar_, reference_, content_, grid_, grid_->viewport(),
                                         grid_->horizontalHeader(), grid_->verticalHeader(), tabs_})
        refuseDrops(w);

    connect(content_, &QLineEdit::returnPressed, this, &TF5Book::commitEditBar);
    // Moving to another cell commits what was typed in the edit bar, as Enter does.
    connect(grid_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex&, const QModelIndex& previous) {
                if (content_->isModified() && previous.isValid()) {
                    const QString text = content_->text();
                    content_->setModified(false);
                    model_->enterText(previous.row(), previous.column(), text);
                }
                refreshEditBar();
            });
    connect(model_, &QAbstractItemModel::modelReset, this, [this] {
        // A reset model brings a new selection model only with setModel; the current
        // cell itself is set again by the grid.
        refreshEditBar();
    });
    connect(model_, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& topLeft, const QModelIndex& bottomRight) {
                const QModelIndex current = grid_->currentIndex();
                if (!current.isValid() || content_->isModified()) return;
                if (current.row() >= topLeft.row() && current.row() <= bottomRight.row())
                    refreshEditBar();
            });
    // Told after the change has ended, not inside it.
    connect(
        model_, &SheetModel::circularReference, this, [this] { showMessage(circularMessage()); },
        Qt::QueuedConnection);
    connect(model_, &SheetModel::entryRefused, this, &TF5Book::showMessage, Qt::QueuedConnection);
    connect(tabs_, &QTabBar::currentChanged, this, [this](int tab) {
        if (rebuildingTabs_ || tab < 0) return;
        commitPendingInput();
        model_->setSheetIndex(tabs_->tabData(tab).toInt());
    });
    rebuildTabs();
    refreshEditBar();
}

TF5Book::~TF5Book() = default;

void TF5Book::replaceWorkbook(Workbook&& book, const QString& fileName) {
    const int active = book.activeSheet;
    content_->setModified(false);
    model_->replaceWorkbook(std::move(book), active);
    fileName_ = fileName;
    rebuildTabs();
    grid_->setCurrentIndex(model_->index(0, 0));
    grid_->setTopRow(0);
    grid_->setLeftColumn(0);
    refreshEditBar();
}

void TF5Book::LoadWorkbookFile(const QString& path, int16_t&) {
    Workbook loaded;
    asControlCall(path, [&] { loaded = loadAnyWorkbookFile(path); });
    grid_->commitOpenEditor();
    replaceWorkbook(std::move(loaded), path);
}

void TF5Book::SaveWorkbookFile(const QString& path, int16_t fileType) {
    commitPendingInput();
    asControlCall(path, [&] { saveWorkbookFile(book_, path, fileType); });
    fileName_ = path;
    tellDroppedParts(path);
}

void TF5Book::ClearWorkbook() {
    grid_->commitOpenEditor();
    replaceWorkbook(Workbook::createDefault(), QString());
}

void TF5Book::SaveWorkbookToHandle(HGLOBAL& handle, int16_t) {
    commitPendingInput();
    asControlCall(QString(), [&] { tovera::SaveWorkbookToHandle(book_, handle); });
    tellDroppedParts(fileName_.isEmpty() ? QString() : QFileInfo(fileName_).fileName());
}

QString TF5Book::droppedPartsMessage(const QString& where) const {
    const QStringList dropped = keptPartsDropped(book_);
    if (dropped.isEmpty()) return {};
    const QString parts = dropped.join(QStringLiteral("。\n")) + QStringLiteral("。");
    return where.isEmpty() ? parts : QStringLiteral("%1: %2").arg(where, parts);
}

void TF5Book::tellDroppedParts(const QString& where) {
    const QString message = droppedPartsMessage(where);
    if (!message.isEmpty()) showMessage(message);
}

void TF5Book::LoadWorkbookFromHandle(HGLOBAL handle, int16_t) {
    Workbook loaded;
    asControlCall(QString(), [&] { tovera::LoadWorkbookFromHandle(loaded, handle); });
    grid_->commitOpenEditor();
    replaceWorkbook(std::move(loaded), QString());
}

QString TF5Book::CellText(int sheet, int row, int column) {
    commitPendingInput();
    return tovera::CellText(book_, sheet, row, column);
}

bool TF5Book::PrintWorkbook() {
    commitPendingInput();
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(fileName_.isEmpty() ? QStringLiteral("Tovera")
                                           : QFileInfo(fileName_).fileName());
    const bool chosen = chooser_ ? chooser_(printer) : choosePrintTarget(printer, this);
    if (!chosen) return false;
    const QString name =
        printer.outputFileName().isEmpty() ? printer.printerName() : printer.outputFileName();
    asControlCall(name, [&] { printWorkbook(printer, book_, QFileInfo(fileName_).fileName()); });
    return true;
}

bool TF5Book::choosePrintTarget(QPrinter& printer, QWidget* parent) {
    if (!QPrinterInfo::availablePrinters().isEmpty()) {
        QPrintDialog dialog(&printer, parent);
        return dialog.exec() == QDialog::Accepted;
    }
    // No printer on this machine: print into a PDF file.
    QString path = QFileDialog::getSaveFileName(parent, QStringLiteral("印刷"), QString(),
                                                QStringLiteral("PDF (*.pdf)"));
    if (path.isEmpty()) return false;
    if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".pdf");
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    return true;
}

void TF5Book::showMessage(const QString& message) {
    if (messageHandler_) {
        messageHandler_(message);
        return;
    }
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Tovera"), message, QMessageBox::Ok, this);
    box.exec();
}

QString TF5Book::circularMessage() {
    return QStringLiteral("循環参照があるため、その数式は計算されずに前の値のままです。");
}

void TF5Book::setMessageHandler(std::function<void(const QString&)> handler) {
    messageHandler_ = std::move(handler);
}

void TF5Book::setPrintTargetChooser(std::function<bool(QPrinter&)> chooser) {
    chooser_ = std::move(chooser);
}

int TF5Book::TopRow() const {
    return grid_->topRow() + 1;
}

void TF5Book::setTopRow(int row) {
    grid_->setTopRow(row - 1);
}

int TF5Book::LeftCol() const {
    return grid_->leftColumn() + 1;
}

void TF5Book::setLeftCol(int column) {
    grid_->setLeftColumn(column - 1);
}

void TF5Book::setShowEditBar(bool show) {
    showEditBar_ = show;
    editBar_->setVisible(show);
}

bool TF5Book::ShowColHeading() const {
    return !grid_->horizontalHeader()->isHidden();
}

void TF5Book::setShowColHeading(bool show) {
    grid_->horizontalHeader()->setVisible(show);
}

bool TF5Book::ShowRowHeading() const {
    return !grid_->verticalHeader()->isHidden();
}

void TF5Book::setShowRowHeading(bool show) {
    grid_->verticalHeader()->setVisible(show);
}

int TF5Book::ViewScale() const {
    return grid_->viewScale();
}

void TF5Book::setViewScale(int percent) {
    grid_->setViewScale(percent);
}

int TF5Book::currentSheet() const {
    return model_->sheetIndex();
}

void TF5Book::setCurrentSheet(int index) {
    for (int tab = 0; tab < tabs_->count(); ++tab)
        if (tabs_->tabData(tab).toInt() == index) {
            tabs_->setCurrentIndex(tab);
            return;
        }
    model_->setSheetIndex(index); // a hidden sheet has no tab
}

void TF5Book::rebuildTabs() {
    rebuildingTabs_ = true;
    while (tabs_->count() > 0) tabs_->removeTab(0);
    int currentTab = -1;
    for (size_t i = 0; i < book_.sheets.size(); ++i) {
        if (book_.sheets[i].visibility != 0) continue;
        const int tab = tabs_->addTab(book_.sheets[i].name);
        tabs_->setTabData(tab, int(i));
        if (int(i) == model_->sheetIndex()) currentTab = tab;
    }
    if (currentTab >= 0) tabs_->setCurrentIndex(currentTab);
    tabs_->setVisible(tabs_->count() > 1);
    rebuildingTabs_ = false;
}

void TF5Book::refreshEditBar() {
    const QModelIndex current = grid_->currentIndex();
    if (!current.isValid()) {
        reference_->clear();
        content_->clear();
        return;
    }
    const QModelIndex anchor = model_->anchorIndex(current.row(), current.column());
    const CellRange* merge = model_->mergeAt(anchor.row(), anchor.column());
    reference_->setText(merge ? SheetModel::rangeReference(*merge)
                              : SheetModel::cellReference(anchor.row(), anchor.column()));
    content_->setText(model_->editText(anchor.row(), anchor.column()));
    content_->setModified(false);
    content_->setCursorPosition(0);
}

void TF5Book::commitEditBar() {
    const QModelIndex current = grid_->currentIndex();
    if (!current.isValid()) return;
    const QString text = content_->text();
    content_->setModified(false);
    model_->enterText(current.row(), current.column(), text);
    refreshEditBar();
    grid_->setFocus();
}

void TF5Book::commitPendingInput() {
    grid_->commitOpenEditor();
    if (content_->isModified()) commitEditBar();
}

bool TF5Book::eventFilter(QObject* watched, QEvent* event) {
    if (watched == content_ && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        refreshEditBar(); // Esc gives back the cell's content
        grid_->setFocus();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace tovera
