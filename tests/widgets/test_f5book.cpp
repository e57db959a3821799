// The spreadsheet control as the user and the program meet it: loading the sample detail
// sheets, sizes, spans, painting, headings, scrolling, failed calls, sheet tabs, memory
// blocks, printing and drops reaching the host. Offscreen, with real workbooks.
#include "f5book_support.h"
#include "platform/errors.h"
#include "sheet/sheetgeometry.h"
#include "sheet/view/f5book.h"
#include "sheet/view/sheetgrid.h"
#include "sheet/view/sheetmodel.h"
#include "sheet/xlsreader.h"
#include "sheet/xlswriter.h"
#include "widgets/filedrop.h"

#include <QApplication>
#include <QClipboard>
#include <QDropEvent>
#include <QFile>
#include <QHeaderView>
#include <QImage>
#include <QLineEdit>
#include <QMimeData>
#include <QPrinter>
#include <QProcess>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <QtEndian>
#include <cmath>

using namespace tovera;

using namespace tovera::testing;

class TestF5Book : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void startsWithOneEmptySheet();
    void sampleSheetsShowTheirMerges_data();
    void sampleSheetsShowTheirMerges();
    void sizesFollowTheSheetAndScale_data();
    void sizesFollowTheSheetAndScale();
    void hiddenRowsAndColumns();
    void paintsCellsAndOverflowingText();
    void headingsAndEditBarToggle();
    void topRowAndLeftColScroll();
    void failedLoadKeepsTheWorkbook_data();
    void failedLoadKeepsTheWorkbook();
    void otherFileTypesAreRefused();
    void sheetTabsSwitchSheets();
    void handleRoundTripAndClear();
    void printWritesAPdf();
    void cancelledPrintPrintsNothing();
    void dropsReachTheHost();
    void oddWorkbooksShowWithoutHarm();
    void frozenPanesStayInView();

private:
    TF5Book* book_ = nullptr;
    QTemporaryDir dir_;
};

void TestF5Book::init() {
    book_ = new TF5Book;
    book_->resize(710, 433);
    book_->show();
    QVERIFY(QTest::qWaitForWindowExposed(book_));
}

void TestF5Book::cleanup() {
    delete book_;
    book_ = nullptr;
}

void TestF5Book::startsWithOneEmptySheet() {
    QCOMPARE(book_->workbook().sheets.size(), size_t(1));
    QCOMPARE(book_->CellText(1, 1, 1), QString());
    QVERIFY(book_->sheetTabs()->isHidden());
    QCOMPARE(book_->referenceBox()->text(), QStringLiteral("A1"));
    QVERIFY_THROWS_EXCEPTION(EOleException, book_->CellText(2, 1, 1));
    QVERIFY_THROWS_EXCEPTION(EOleException, book_->CellText(1, 0, 1));
}

void TestF5Book::sampleSheetsShowTheirMerges_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("owner");
    QTest::newRow("wooden, two floors") << "hyoten_mokuzou_2f.xls"
                                        << "山路　千代子";
    QTest::newRow("with annex") << "hyoten_fuzokuka_ari.xls"
                                << "宮﨑　健太郎";
    QTest::newRow("Excel 95") << "hyoten_heisei10_biff5.xls"
                              << "髙﨑　房江";
}

void TestF5Book::sampleSheetsShowTheirMerges() {
    REQUIRE_SAMPLES();
    QFETCH(QString, file);
    QFETCH(QString, owner);
    load(*book_, sampleSheet(file.toUtf8().constData()));
    QCOMPARE(book_->CellText(1, 4, 4), owner);
    const Sheet& sheet = book_->workbook().sheets[0];
    QVERIFY(!sheet.merges.empty());
    for (const CellRange& m : sheet.merges) {
        QCOMPARE(book_->grid()->rowSpan(m.firstRow, m.firstColumn), m.lastRow - m.firstRow + 1);
        QCOMPARE(book_->grid()->columnSpan(m.firstRow, m.firstColumn),
                 m.lastColumn - m.firstColumn + 1);
    }
    // D4 heads the merge D4:H4: the edit bar names the whole area.
    book_->grid()->setCurrentIndex(book_->model()->index(3, 5));
    QCOMPARE(book_->referenceBox()->text(), QStringLiteral("D4:H4"));
    QCOMPARE(book_->contentBox()->text(), owner);
}

void TestF5Book::sizesFollowTheSheetAndScale_data() {
    QTest::addColumn<QString>("file"); // empty: a workbook of our own
    QTest::addColumn<int>("scale");
    QTest::newRow("own, 100 %") << QString() << 100;
    QTest::newRow("own, 95 %") << QString() << 95;
    QTest::newRow("own, 400 % (most)") << QString() << 1000;
    QTest::newRow("own, 10 % (least)") << QString() << 1;
    QTest::newRow("sample, 100 %") << "hyoten_mokuzou_2f.xls" << 100;
    QTest::newRow("sample, 95 %") << "hyoten_mokuzou_2f.xls" << 95;
    QTest::newRow("Excel 95 sample, 95 %") << "hyoten_heisei10_biff5.xls" << 95;
}

void TestF5Book::sizesFollowTheSheetAndScale() {
    QFETCH(QString, file);
    QFETCH(int, scale);
    if (file.isEmpty()) {
        load(*book_, writeOwnBook(dir_));
    } else {
        REQUIRE_SAMPLES();
        load(*book_, sampleSheet(file.toUtf8().constData()));
    }
    book_->setViewScale(scale);
    const int percent = std::clamp(scale, 10, 400);
    QCOMPARE(book_->ViewScale(), percent);
    const Workbook& wb = book_->workbook();
    const Sheet& sheet = wb.sheets[0];
    auto scaled = [&](int px) {
        return px == 0 ? 0 : std::max(1, int(std::lround(px * percent / 100.0)));
    };
    for (int c = 0; c < 256; ++c)
        QCOMPARE(book_->grid()->columnWidth(c), scaled(columnPixels(wb, sheet, c)));
    for (int r : {0, 1, 2, 3, 4, 5, 6, 7, 8, 30, 40, 65535})
        QCOMPARE(book_->grid()->rowHeight(r), scaled(rowPixels(sheet, r)));
    if (file.isEmpty()) {
        QVERIFY(book_->grid()->rowHeight(2) > book_->grid()->rowHeight(3));
        QVERIFY(book_->grid()->columnWidth(1) > book_->grid()->columnWidth(0));
    }
}

void TestF5Book::hiddenRowsAndColumns() {
    Workbook b = Workbook::createDefault();
    b.sheets[0].columns.push_back({2, 3, 2340, 15, true, 1});
    b.sheets[0].rowAt(4).hidden = true;
    const QString path = dir_.filePath(QStringLiteral("hidden.xls"));
    saveWorkbookFile(b, path, kFileTypeExcel97);
    load(*book_, path);
    QVERIFY(book_->grid()->isColumnHidden(2));
    QVERIFY(book_->grid()->isColumnHidden(3));
    QVERIFY(!book_->grid()->isColumnHidden(4));
    QVERIFY(book_->grid()->isRowHidden(4));
    QVERIFY(!book_->grid()->isRowHidden(5));
    // Loading another workbook shows its rows again.
    load(*book_, writeOwnBook(dir_));
    QVERIFY(!book_->grid()->isRowHidden(4));
    QVERIFY(!book_->grid()->isColumnHidden(2));
}

namespace {

// The number of dark pixels (text, borders) of `image` inside `rect`.
int darkPixels(const QImage& image, const QRect& rect) {
    int n = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x)
            if (qGray(image.pixel(x, y)) < 100) ++n;
    return n;
}

} // namespace

void TestF5Book::paintsCellsAndOverflowingText() {
    load(*book_, writeOwnBook(dir_));
    SheetGrid* grid = book_->grid();
    grid->setCurrentIndex(book_->model()->index(6, 0)); // the cursor frame out of the way
    QWidget* viewport = grid->viewport();
    const QRect b3 = grid->visualRect(book_->model()->index(2, 1)).adjusted(2, 2, -2, -2);
    const QRect e2 = grid->visualRect(book_->model()->index(1, 4)).adjusted(2, 2, -2, -2);
    const QRect e5 = grid->visualRect(book_->model()->index(4, 4)).adjusted(2, 2, -2, -2);
    const QImage whole = viewport->grab().toImage();
    QVERIFY(darkPixels(whole, b3) > 10); // 木造, a plain cell
    QVERIFY(darkPixels(whole, e2) > 10); // C2's long text runs on into E2
    QCOMPARE(darkPixels(whole, e5), 0);  // an empty cell with nothing running into it
    // Repainting E2 alone still shows the text that comes from C2.
    QImage part(viewport->size(), QImage::Format_RGB32);
    part.fill(Qt::white);
    viewport->render(&part, e2.topLeft(), QRegion(e2));
    QVERIFY(darkPixels(part, e2) > 10);
    // Emptied, C2 runs on no more.
    book_->model()->enterText(1, 2, QString());
    QCOMPARE(darkPixels(viewport->grab().toImage(), e2), 0);
}

void TestF5Book::headingsAndEditBarToggle() {
    book_->setShowColHeading(false);
    book_->setShowRowHeading(false);
    book_->setShowEditBar(false);
    QVERIFY(!book_->ShowColHeading());
    QVERIFY(book_->grid()->horizontalHeader()->isHidden());
    QVERIFY(book_->grid()->verticalHeader()->isHidden());
    QVERIFY(book_->editBar()->isHidden());
    book_->setShowColHeading(true);
    book_->setShowEditBar(true);
    QVERIFY(book_->ShowColHeading() && !book_->ShowRowHeading() && book_->ShowEditBar());
    QVERIFY(book_->grid()->horizontalHeader()->isVisible());
    QVERIFY(book_->editBar()->isVisible());
}

void TestF5Book::topRowAndLeftColScroll() {
    load(*book_, writeOwnBook(dir_));
    book_->setTopRow(100);
    book_->setLeftCol(5);
    QCOMPARE(book_->grid()->rowAt(0), 99);
    QCOMPARE(book_->grid()->columnAt(0), 4);
    QCOMPARE(book_->TopRow(), 100);
    QCOMPARE(book_->LeftCol(), 5);
    // The program's view settings, in their order, on a control not yet shown.
    TF5Book hidden;
    hidden.resize(710, 433);
    hidden.setTopRow(300);
    hidden.setTopRow(1);
    hidden.setLeftCol(1);
    hidden.setShowEditBar(true);
    hidden.setShowColHeading(false);
    hidden.setShowRowHeading(false);
    hidden.setViewScale(95);
    hidden.show();
    QVERIFY(QTest::qWaitForWindowExposed(&hidden));
    QCOMPARE(hidden.grid()->rowAt(0), 0);
    QCOMPARE(hidden.grid()->columnAt(0), 0);
    QCOMPARE(hidden.ViewScale(), 95);
    // Out of the sheet: clamped.
    book_->setLeftCol(0);
    QCOMPARE(book_->LeftCol(), 1);
}

void TestF5Book::failedLoadKeepsTheWorkbook_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("present");
    QTest::newRow("missing file") << QByteArray() << false;
    QTest::newRow("text file") << QByteArray("not a workbook\n") << true;
    QTest::newRow("empty file") << QByteArray() << true;
    QByteArray header = QByteArray::fromHex("d0cf11e0a1b11ae1");
    header.append(600, '\xff');
    QTest::newRow("damaged container") << header << true;
    // A real sheet whose workbook stream ends inside its sheet.
    QFile sample(QStringLiteral(TOVERA_SHARED "/sample-sheets/hyoten_mokuzou_2f.xls"));
    if (sample.open(QIODevice::ReadOnly)) {
        QByteArray cut = sample.readAll();
        const QByteArray name = QByteArray("W\0o\0r\0k\0b\0o\0o\0k\0\0\0", 18);
        for (qsizetype at = cut.indexOf(name); at >= 0; at = cut.indexOf(name, at + 1))
            if (at % 128 == 0) {
                const quint32 size = qFromLittleEndian<quint32>(cut.constData() + at + 0x78);
                qToLittleEndian<quint32>(size - 600, cut.data() + at + 0x78);
            }
        QTest::newRow("sheet cut short") << cut << true;
    }
}

void TestF5Book::failedLoadKeepsTheWorkbook() {
    QFETCH(QByteArray, bytes);
    QFETCH(bool, present);
    load(*book_, writeOwnBook(dir_));
    const QString path = dir_.filePath(QStringLiteral("bad.xls"));
    QFile::remove(path);
    if (present) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    try {
        load(*book_, path);
        QFAIL("the load did not fail");
    } catch (const EOleException& e) {
        QVERIFY2(e.message().contains(QStringLiteral("bad.xls")), qPrintable(e.message()));
    }
    QCOMPARE(book_->CellText(1, 2, 2), QStringLiteral("1,234.50"));
    QCOMPARE(book_->grid()->columnSpan(3, 3), 5);
}

void TestF5Book::otherFileTypesAreRefused() {
    const QString path = dir_.filePath(QStringLiteral("type1.xls"));
    QVERIFY_THROWS_EXCEPTION(EOleException, book_->SaveWorkbookFile(path, 1));
    QVERIFY(!QFile::exists(path));
    QVERIFY_THROWS_EXCEPTION(EOleException,
                             book_->SaveWorkbookFile(dir_.filePath("no/such/dir/x.xls"), 4));
}

void TestF5Book::sheetTabsSwitchSheets() {
    REQUIRE_SAMPLES();
    load(*book_, sampleSheet("hyoten_mokuzou_2f.xls"));
    QTabBar* tabs = book_->sheetTabs();
    QVERIFY(tabs->isVisible());
    QCOMPARE(tabs->count(), 2);
    QCOMPARE(tabs->tabText(0), book_->workbook().sheets[0].name);
    tabs->setCurrentIndex(1);
    QCOMPARE(book_->currentSheet(), 1);
    const Sheet& second = book_->workbook().sheets[1];
    for (const CellRange& m : second.merges)
        QCOMPARE(book_->grid()->columnSpan(m.firstRow, m.firstColumn),
                 m.lastColumn - m.firstColumn + 1);
    // CellText still counts sheets of the workbook, whatever is shown.
    QCOMPARE(book_->CellText(1, 4, 4), QStringLiteral("山路　千代子"));
    book_->ClearWorkbook();
    QVERIFY(tabs->isHidden());
    QCOMPARE(book_->currentSheet(), 0);
}

void TestF5Book::handleRoundTripAndClear() {
    load(*book_, writeOwnBook(dir_));
    typeInto(*book_, 0, 0, QStringLiteral("入力"));
    HGLOBAL handle = 0;
    book_->SaveWorkbookToHandle(handle, 0);
    QVERIFY(handle != 0);
    book_->ClearWorkbook();
    QCOMPARE(book_->CellText(1, 1, 1), QString());
    book_->LoadWorkbookFromHandle(handle, 0);
    QCOMPARE(book_->CellText(1, 1, 1), QStringLiteral("入力"));
    QCOMPARE(book_->CellText(1, 2, 2), QStringLiteral("1,234.50"));
    GlobalFree(handle);
    QVERIFY_THROWS_EXCEPTION(EOleException, book_->LoadWorkbookFromHandle(handle, 0));
    QCOMPARE(book_->CellText(1, 1, 1), QStringLiteral("入力"));
}

void TestF5Book::printWritesAPdf() {
    REQUIRE_SAMPLES();
    load(*book_, sampleSheet("hyoten_mokuzou_2f.xls"));
    typeInto(*book_, 3, 3, QStringLiteral("印刷　太郎"));
    const QString pdf = dir_.filePath(QStringLiteral("printed.pdf"));
    int asked = 0;
    book_->setPrintTargetChooser([&](QPrinter& printer) {
        ++asked;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        return true;
    });
    book_->PrintWorkbook();
    QCOMPARE(asked, 1);
    QProcess info;
    info.start(QStringLiteral("pdfinfo"), {pdf});
    QVERIFY(info.waitForFinished(30000));
    QCOMPARE(info.exitCode(), 0);
    QVERIFY(info.readAllStandardOutput().contains("Pages:"));
    QProcess text;
    text.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
    QVERIFY(text.waitForFinished(30000));
    const QString printed = QString::fromUtf8(text.readAllStandardOutput());
    // The edit is what is printed (the words come out apart at the full-width space).
    QVERIFY2(printed.contains(QStringLiteral("印刷")) && printed.contains(QStringLiteral("太郎")),
             qPrintable(printed.left(400)));
    QVERIFY(!printed.contains(QStringLiteral("山路")));
    QVERIFY(printed.contains(QStringLiteral("86,806")));
}

void TestF5Book::cancelledPrintPrintsNothing() {
    const QString pdf = dir_.filePath(QStringLiteral("cancelled.pdf"));
    book_->setPrintTargetChooser([&](QPrinter& printer) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        return false;
    });
    book_->PrintWorkbook(); // no error
    QVERIFY(!QFile::exists(pdf));
}

void TestF5Book::dropsReachTheHost() {
    // The host window makes the control a drop target; drags over any inner part of the
    // control must reach it.
    int drops = 0;
    auto* target = new FileDrop(book_, [&] { ++drops; });
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(dir_.filePath(QStringLiteral("a.xls")))});
    data.setText(QStringLiteral("file text"));
    const QList<QWidget*> parts{book_->grid()->viewport(), book_->contentBox(),
                                book_->grid()->horizontalHeader(), book_->referenceBox()};
    for (QWidget* part : parts) {
        const QPoint at = part->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(part, &enter);
        QVERIFY2(enter.isAccepted(), part->metaObject()->className());
        QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(part, &drop);
    }
    QCOMPARE(drops, int(parts.size()));
    QCOMPARE(target->files().value(0), dir_.filePath(QStringLiteral("a.xls")));
    QCOMPARE(book_->contentBox()->text(), QString()); // the edit bar did not take the text
}

void TestF5Book::oddWorkbooksShowWithoutHarm() {
    // Merges that overlap, cover the whole sheet or lie outside it, very many merges, rows
    // hidden by default and a text of the longest kind: shown, painted, edited, no harm.
    Workbook b = Workbook::createDefault();
    Sheet& s = b.sheets[0];
    s.merges.push_back({2, 4, 2, 4});
    s.merges.push_back({3, 6, 3, 6});
    s.merges.push_back({-5, 70000, 300, -1});
    for (int i = 0; i < 30000; ++i) s.merges.push_back({10 + 2 * i, 10 + 2 * i, 0, 21});
    s.merges.push_back({0, 65535, 0, 255});
    s.rowsHiddenByDefault = true;
    s.rowAt(1).height = 300;
    Cell c;
    c.column = 0;
    c.type = CellType::Text;
    c.text = QString(32767, QChar(u'長'));
    s.setCell(1, c);
    book_->model()->replaceWorkbook(std::move(b), 0);
    book_->grid()->applySheetLayout();
    QVERIFY(!book_->grid()->grab().isNull());
    book_->setTopRow(30000);
    QVERIFY(!book_->grid()->grab().isNull());
    book_->grid()->setCurrentIndex(book_->model()->index(4, 4));
    QVERIFY(book_->model()->enterText(4, 4, QStringLiteral("x")));
    QCOMPARE(book_->CellText(1, 3, 3), QStringLiteral("x")); // C3 heads C3:E5
    QCOMPARE(book_->grid()->columnSpan(10, 0), 22);
    book_->grid()->selectAll();
    QTest::keyClick(book_->grid(), Qt::Key_Delete);
    QCOMPARE(book_->CellText(1, 2, 1), QString());
}

int runF5BookTests(int argc, char** argv) {
    TestF5Book t;
    return QTest::qExec(&t, argc, argv);
}

int runSheetModelTests(int argc, char** argv);
int runSheetPageTests(int argc, char** argv);
int runF5BookEditingTests(int argc, char** argv);
int runF5BookCalcTests(int argc, char** argv);

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    int failed = runSheetModelTests(argc, argv);
    failed += runF5BookTests(argc, argv);
    failed += runF5BookEditingTests(argc, argv);
    failed += runF5BookCalcTests(argc, argv);
    failed += runSheetPageTests(argc, argv);
    return failed;
}

void TestF5Book::frozenPanesStayInView() {
    // Two heading rows and one heading column frozen over a hundred rows of data.
    Workbook b = Workbook::createDefault();
    Sheet& s = b.sheets[0];
    for (int r = 0; r < 100; ++r)
        for (int c = 0; c < 4; ++c) {
            Cell cell;
            cell.column = uint16_t(c);
            cell.type = CellType::Text;
            cell.text = QStringLiteral("R%1C%2").arg(r).arg(c);
            cell.xf = 15;
            s.setCell(r, cell);
        }
    s.panes.frozen = true;
    s.panes.splitRows = 2;
    s.panes.splitColumns = 1;
    s.panes.topRow = 2;
    s.panes.leftColumn = 1;
    s.panes.activePane = 0;
    const QString path = dir_.filePath(QStringLiteral("frozen.xls"));
    saveWorkbookFile(b, path, kFileTypeExcel97);
    load(*book_, path);
    SheetGrid* grid = book_->grid();
    QCOMPARE(grid->frozenRows(), 2);
    QCOMPARE(grid->frozenColumns(), 1);
    QList<SheetGrid*> parts = grid->findChildren<SheetGrid*>();
    QCOMPARE(parts.size(), 3);
    SheetGrid* top = nullptr;
    SheetGrid* left = nullptr;
    for (SheetGrid* p : parts) {
        if (p->width() == grid->viewport()->width() && p->height() < grid->viewport()->height())
            top = p;
        else if (p->height() == grid->viewport()->height())
            left = p;
    }
    QVERIFY(top && left);
    QCOMPARE(top->height(), grid->rowHeight(0) + grid->rowHeight(1));
    QCOMPARE(left->width(), grid->columnWidth(0));

    grid->setTopRow(50);
    grid->setLeftColumn(2);
    QApplication::processEvents();
    // The heading rows and column are still at the top and left; below them the sheet
    // scrolled.
    const QPoint inTopPart(left->width() + 3, 3);
    QCOMPARE(top->indexAt(inTopPart).row(), 0);
    QCOMPARE(top->indexAt(inTopPart).column(), grid->indexAt(inTopPart).column());
    const QPoint below(3, top->height() + 3);
    QCOMPARE(left->indexAt(below).column(), 0);
    QVERIFY(grid->indexAt(below).row() >= 50);
    QCOMPARE(left->indexAt(below).row(), grid->indexAt(below).row());

    // A click on a frozen cell makes it the control's current cell.
    const QModelIndex heading = top->indexAt(inTopPart);
    QTest::mouseClick(top->viewport(), Qt::LeftButton, {}, top->visualRect(heading).center());
    QCOMPARE(grid->currentIndex(), heading);

    // A sheet without panes has no parts, and the panes are kept on save.
    const QString saved = dir_.filePath(QStringLiteral("frozen2.xls"));
    book_->SaveWorkbookFile(saved, 4);
    QCOMPARE(loadWorkbookFile(saved).sheets[0].panes, s.panes);
    load(*book_, writeOwnBook(dir_));
    QCOMPARE(grid->frozenRows(), 0);
    QCOMPARE(grid->findChildren<SheetGrid*>().size(), 0);
}

#include "test_f5book.moc"
