// Page 評点明細 with the spreadsheet control: the view settings of a toolbar load, drops on
// any part of the control loading the workbook without view settings, refusals and failed
// loads. Runs from test_f5book's main.
#include "app/page_sheet.h"
#include "platform/dialogs.h"
#include "platform/errors.h"
#include "platform/plainfolder.h"
#include "sheet/view/sheetgrid.h"
#include "widgets/shelllist.h"
#include "widgets/sidebar.h"

#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLineEdit>
#include <QMimeData>
#include <QPrinter>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>

using namespace tovera;

class TestSheetPage : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void controlTakesItsPlace();
    void viewSettingsInTheirOrder();
    void dropOnTheGridShowsTheWorkbook();
    void refusedAndFailedDrops();
    void rightReleaseInTheFileListGoesUp();
    void printReportsWhetherPagesWentOut();

private:
    // Drops `path` from outside onto `part` of the control; whether the drag was taken.
    bool dropFile(QWidget* part, const QString& path);

    QWidget* window_ = nullptr;
    SheetPage* page_ = nullptr;
    ScriptedDialogs dialogs_;
    // Drops are judged by the files' names alone, never by the folder's letters.
    test::PlainTempDir dir_;
};

void TestSheetPage::init() {
    window_ = new QWidget;
    window_->resize(871, 479);
    page_ = new SheetPage(window_, window_);
    page_->installDrops(dialogs_, {page_->ShellListView1});
    dialogs_.clear();
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_));
}

void TestSheetPage::cleanup() {
    delete window_;
}

bool TestSheetPage::dropFile(QWidget* part, const QString& path) {
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(path)});
    const QPoint at = part->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(part, &enter);
    if (!enter.isAccepted()) return false;
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(part, &drop);
    return drop.isAccepted();
}

void TestSheetPage::controlTakesItsPlace() {
    TF5Book* book = page_->F5Book1;
    QCOMPARE(book->objectName(), QStringLiteral("F5Book1"));
    QCOMPARE(book->geometry(), QRect(148, 8, 710, 433));
    QCOMPARE(book->workbook().sheets.size(), size_t(1));
    QCOMPARE(book->CellText(1, 1, 1), QString());
}

void TestSheetPage::viewSettingsInTheirOrder() {
    TF5Book* book = page_->F5Book1;
    book->setTopRow(500);
    book->setLeftCol(30);
    book->setShowEditBar(false);
    page_->applySheetViewSettings();
    QCOMPARE(book->TopRow(), 1);
    QCOMPARE(book->LeftCol(), 1);
    QCOMPARE(book->grid()->rowAt(0), 0);
    QCOMPARE(book->grid()->columnAt(0), 0);
    QVERIFY(book->ShowEditBar() && book->editBar()->isVisible());
    QVERIFY(!book->ShowColHeading() && !book->ShowRowHeading());
    QCOMPARE(book->ViewScale(), 95);
}

void TestSheetPage::dropOnTheGridShowsTheWorkbook() {
    const QString sample = QStringLiteral(TOVERA_SHARED "/sample-sheets/hyoten_mokuzou_2f.xls");
    if (!QFile::exists(sample)) QSKIP("the sample detail sheets (shared folder) are not here");
    TF5Book* book = page_->F5Book1;
    QSignalSpy shown(page_, &SheetPage::sheetDropAccepted);
    // Dropped on the cells themselves, not on the control's frame.
    QVERIFY(dropFile(book->grid()->viewport(), sample));
    QCOMPARE(shown.size(), 1);
    QCOMPARE(book->CellText(1, 4, 4), QStringLiteral("山路　千代子"));
    QVERIFY(dialogs_.messages().isEmpty());
    // A drop makes no view settings: zoom and headings stay as the control had them.
    QCOMPARE(book->ViewScale(), 100);
    QVERIFY(book->ShowColHeading());
    // Dropped on the edit bar, the same.
    QVERIFY(dropFile(book->contentBox(), sample));
    QCOMPARE(shown.size(), 2);
}

void TestSheetPage::refusedAndFailedDrops() {
    TF5Book* book = page_->F5Book1;
    const QString text = dir_.filePath(QStringLiteral("plan.txt"));
    QFile(text).open(QIODevice::WriteOnly);
    QVERIFY(dropFile(book->grid()->viewport(), text));
    QCOMPARE(dialogs_.messages(), QStringList{QStringLiteral("Excelﾌｧｲﾙをﾄﾞﾛｯﾌﾟして下さい!")});
    // A name that passes but bytes that are no workbook: the load fails, nothing changes.
    const QString fake = dir_.filePath(QStringLiteral("fake.xls"));
    QFile f(fake);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("data");
    f.close();
    QSignalSpy shown(page_, &SheetPage::sheetDropAccepted);
    QVERIFY_THROWS_EXCEPTION(EOleException, page_->acceptSheetDrop(fake));
    QCOMPARE(shown.size(), 0);
    QCOMPARE(book->workbook().sheets.size(), size_t(1));
}

void TestSheetPage::rightReleaseInTheFileListGoesUp() {
    // The list in its side-bar panel: a right release over an item, or below the items,
    // shows the parent of the folder shown; the item under the mouse is not opened.
    const QString inner = dir_.filePath(QStringLiteral("outer/inner"));
    QVERIFY(QDir().mkpath(inner + QStringLiteral("/deeper")));
    QFile(inner + QStringLiteral("/a.xls")).open(QIODevice::WriteOnly);
    ShellList* list = page_->ShellListView1;
    page_->InspectorBar2->setPanelOpen(1, true);
    QTRY_VERIFY(list->isVisible());
    list->showFolder(inner);
    QTRY_COMPARE(list->shownPaths().size(), 2);
    const QModelIndex first = list->model()->index(0, 0, list->rootIndex());
    const QPoint overItem = list->visualRect(first).center();
    QTest::mousePress(list->viewport(), Qt::RightButton, {}, overItem);
    QTest::mouseRelease(list->viewport(), Qt::RightButton, {}, overItem);
    QCOMPARE(list->folder(), QDir::cleanPath(dir_.filePath(QStringLiteral("outer"))));
    QTRY_COMPARE(list->shownPaths().size(), 1);
    QTest::mouseRelease(list->viewport(), Qt::RightButton, {},
                        list->viewport()->rect().bottomRight() - QPoint(2, 2));
    QCOMPARE(list->folder(), QDir::cleanPath(dir_.path()));
    QVERIFY(dialogs_.shown.empty());
}

void TestSheetPage::printReportsWhetherPagesWentOut() {
    TF5Book* book = page_->F5Book1;
    const QString pdf = dir_.filePath(QStringLiteral("out.pdf"));
    bool cancel = true;
    book->setPrintTargetChooser([&](QPrinter& printer) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        return !cancel;
    });
    QVERIFY(!book->PrintWorkbook());
    QVERIFY(!QFile::exists(pdf));
    cancel = false;
    QVERIFY(book->PrintWorkbook()); // the empty workbook gives one empty page
    QVERIFY(QFileInfo(pdf).size() > 0);
}

int runSheetPageTests(int argc, char** argv) {
    TestSheetPage t;
    return QTest::qExec(&t, argc, argv);
}

#include "test_sheetpage.moc"
