// The spreadsheet control as the user and the program meet it: loading the sample detail
// sheets, sizes, spans, headings, scrolling, keyboard entry, the edit bar, copy and paste,
// saving, printing and drops reaching the host. Offscreen, with real workbooks.
#include "platform/errors.h"
#include "sheet/sheetgeometry.h"
#include "sheet/view/f5book.h"
#include "sheet/view/sheetgrid.h"
#include "sheet/view/sheetmodel.h"
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
#include <cmath>

using namespace tovera;

namespace {

QString sampleSheet(const char* name) {
    return QStringLiteral(TOVERA_SHARED "/sample-sheets/") + QLatin1String(name);
}

#define REQUIRE_SAMPLES()                                                                          \
    if (!QFile::exists(sampleSheet("hyoten_mokuzou_2f.xls")))                                      \
        QSKIP("the sample detail sheets (shared folder) are not here");

// A saved workbook of our own: B2 1234.5 as #,##0.00, B3 text, C2 a long text that runs
// over empty neighbours, D4:H4 merged, column B 3000 units wide, row 3 600 twips.
QString writeOwnBook(const QTemporaryDir& dir) {
    Workbook b = Workbook::createDefault();
    CellFormat money = b.xfs[15];
    money.numberFormat = 4;
    b.xfs.push_back(money);
    Sheet& s = b.sheets[0];
    Cell c;
    c.column = 1;
    c.type = CellType::Number;
    c.number = 1234.5;
    c.xf = uint16_t(b.xfs.size() - 1);
    s.setCell(1, c);
    Cell t;
    t.column = 1;
    t.type = CellType::Text;
    t.text = QStringLiteral("木造");
    t.xf = 15;
    s.setCell(2, t);
    t.column = 2;
    t.text = QStringLiteral("とても長い説明の文字がとなりの空いたセルまで続きます");
    s.setCell(1, t);
    t.column = 3;
    t.text = QStringLiteral("山路　千代子");
    s.setCell(3, t);
    s.merges.push_back({3, 3, 3, 7});
    s.columns.push_back({1, 1, 3000, 15, false, 2});
    s.rowAt(2).height = 600;
    s.rowAt(2).customHeight = true;
    const QString path = dir.filePath(QStringLiteral("own.xls"));
    saveWorkbookFile(b, path, kFileTypeExcel97);
    return path;
}

void load(TF5Book& book, const QString& path) {
    int16_t type = 0;
    book.LoadWorkbookFile(path, type);
}

// Sends the characters of `text` (any script) as key presses to the widget that has the
// focus, starting with `first`: the first key opens an entry, the rest go into it.
void typeText(QWidget* first, const QString& text) {
    QWidget* target = first;
    for (QChar ch : text) {
        QTest::sendKeyEvent(QTest::Click, target, Qt::Key_unknown, QString(ch), Qt::NoModifier);
        target = QApplication::focusWidget();
    }
}

// Types `keys` into the grid as a user would, with Enter at the end.
void typeInto(TF5Book& book, int row, int column, const QString& keys) {
    SheetGrid* grid = book.grid();
    grid->setCurrentIndex(grid->model()->index(row, column));
    grid->setFocus();
    typeText(grid, keys);
    QWidget* editor = QApplication::focusWidget();
    QVERIFY(editor && editor != grid);
    QTest::keyClick(editor, Qt::Key_Return);
}

} // namespace

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
    void typingEntersNumbersAndText();
    void f2EditsWhatIsThere();
    void keysMoveTheCurrentCell();
    void escCancelsAnEntry();
    void editBarShowsAndCommits();
    void deleteKeepsTheFormat();
    void editThenSaveAndReload();
    void failedLoadKeepsTheWorkbook_data();
    void failedLoadKeepsTheWorkbook();
    void otherFileTypesAreRefused();
    void copyAndPasteRoundTrip();
    void sheetTabsSwitchSheets();
    void handleRoundTripAndClear();
    void printWritesAPdf();
    void cancelledPrintPrintsNothing();
    void dropsReachTheHost();
    void oddWorkbooksShowWithoutHarm();

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

void TestF5Book::typingEntersNumbersAndText() {
    load(*book_, writeOwnBook(dir_));
    typeInto(*book_, 1, 1, QStringLiteral("98765"));
    QCOMPARE(book_->CellText(1, 2, 2), QStringLiteral("98,765.00"));
    // Enter moved down one cell.
    QCOMPARE(book_->grid()->currentIndex(), book_->model()->index(2, 1));
    typeInto(*book_, 2, 1, QStringLiteral("abc"));
    QCOMPARE(book_->CellText(1, 3, 2), QStringLiteral("abc"));
    typeInto(*book_, 20, 20, QStringLiteral("12%"));
    QCOMPARE(book_->CellText(1, 21, 21), QStringLiteral("0.12"));
}

void TestF5Book::f2EditsWhatIsThere() {
    load(*book_, writeOwnBook(dir_));
    SheetGrid* grid = book_->grid();
    grid->setCurrentIndex(book_->model()->index(2, 1));
    grid->setFocus();
    QTest::keyClick(grid, Qt::Key_F2);
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    QVERIFY(editor);
    QCOMPARE(editor->text(), QStringLiteral("木造"));
    editor->end(false);
    typeText(editor, QStringLiteral("家屋"));
    QTest::keyClick(editor, Qt::Key_Left); // moves the caret, stays in the entry
    QCOMPARE(QApplication::focusWidget(), editor);
    QTest::keyClick(editor, Qt::Key_Return);
    QCOMPARE(book_->CellText(1, 3, 2), QStringLiteral("木造家屋"));
}

void TestF5Book::keysMoveTheCurrentCell() {
    load(*book_, writeOwnBook(dir_));
    SheetGrid* grid = book_->grid();
    const SheetModel* m = book_->model();
    grid->setCurrentIndex(m->index(1, 1));
    grid->setFocus();
    QTest::keyClick(grid, Qt::Key_Tab);
    QCOMPARE(grid->currentIndex(), m->index(1, 2));
    QTest::keyClick(grid, Qt::Key_Backtab, Qt::ShiftModifier);
    QCOMPARE(grid->currentIndex(), m->index(1, 1));
    QTest::keyClick(grid, Qt::Key_Return);
    QCOMPARE(grid->currentIndex(), m->index(2, 1));
    QTest::keyClick(grid, Qt::Key_Return, Qt::ShiftModifier);
    QCOMPARE(grid->currentIndex(), m->index(1, 1));
    QTest::keyClick(grid, Qt::Key_Right);
    QCOMPARE(grid->currentIndex(), m->index(1, 2));
    // Into the merged area D4:H4 and out of it: one step each.
    grid->setCurrentIndex(m->index(3, 2));
    QTest::keyClick(grid, Qt::Key_Right);
    QCOMPARE(grid->currentIndex(), m->index(3, 3));
    QTest::keyClick(grid, Qt::Key_Right);
    QCOMPARE(grid->currentIndex(), m->index(3, 8));
    // An entry started by typing leaves with an arrow key, committing.
    grid->setCurrentIndex(m->index(5, 5));
    typeText(grid, QStringLiteral("7"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
    QCOMPARE(book_->CellText(1, 6, 6), QStringLiteral("7"));
    QCOMPARE(grid->currentIndex(), m->index(5, 6));
    // Tab commits an entry and moves right without opening one there.
    typeText(grid, QStringLiteral("8"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(book_->CellText(1, 6, 7), QStringLiteral("8"));
    QCOMPARE(grid->currentIndex(), m->index(5, 7));
    QCOMPARE(QApplication::focusWidget(), grid);
}

void TestF5Book::escCancelsAnEntry() {
    load(*book_, writeOwnBook(dir_));
    SheetGrid* grid = book_->grid();
    grid->setCurrentIndex(book_->model()->index(2, 1));
    grid->setFocus();
    typeText(grid, QStringLiteral("xyz"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QCOMPARE(book_->CellText(1, 3, 2), QStringLiteral("木造"));
    // An entry still open when the program reads the cell is committed first.
    typeText(grid, QStringLiteral("open"));
    QCOMPARE(book_->CellText(1, 3, 2), QStringLiteral("open"));
}

void TestF5Book::editBarShowsAndCommits() {
    load(*book_, writeOwnBook(dir_));
    book_->grid()->setCurrentIndex(book_->model()->index(1, 1));
    QCOMPARE(book_->referenceBox()->text(), QStringLiteral("B2"));
    QCOMPARE(book_->contentBox()->text(), QStringLiteral("1234.5"));
    QLineEdit* content = book_->contentBox();
    content->setFocus();
    content->selectAll();
    QTest::keyClicks(content, QStringLiteral("2,000"));
    QTest::keyClick(content, Qt::Key_Return);
    QCOMPARE(book_->CellText(1, 2, 2), QStringLiteral("2,000.00"));
    QCOMPARE(content->text(), QStringLiteral("2000"));
    content->setFocus();
    content->selectAll();
    QTest::keyClicks(content, QStringLiteral("gone"));
    QTest::keyClick(content, Qt::Key_Escape);
    QCOMPARE(content->text(), QStringLiteral("2000"));
    QCOMPARE(book_->CellText(1, 2, 2), QStringLiteral("2,000.00"));
    // A cell edited in the grid shows in the bar at once.
    typeInto(*book_, 1, 1, QStringLiteral("5"));
    book_->grid()->setCurrentIndex(book_->model()->index(1, 1));
    QCOMPARE(content->text(), QStringLiteral("5"));
}

void TestF5Book::deleteKeepsTheFormat() {
    load(*book_, writeOwnBook(dir_));
    SheetGrid* grid = book_->grid();
    grid->setCurrentIndex(book_->model()->index(1, 1));
    grid->setFocus();
    QTest::keyClick(grid, Qt::Key_Down, Qt::ShiftModifier); // B2:B3
    QTest::keyClick(grid, Qt::Key_Delete);
    QCOMPARE(book_->CellText(1, 2, 2), QString());
    QCOMPARE(book_->CellText(1, 3, 2), QString());
    typeInto(*book_, 1, 1, QStringLiteral("5"));
    QCOMPARE(book_->CellText(1, 2, 2), QStringLiteral("5.00"));
}

void TestF5Book::editThenSaveAndReload() {
    REQUIRE_SAMPLES();
    load(*book_, sampleSheet("hyoten_mokuzou_2f.xls"));
    QVERIFY(book_->workbook().sheets[0].cell(5, 4)->formula); // E6 is a formula
    typeInto(*book_, 5, 4, QStringLiteral("90000"));
    QVERIFY(!book_->workbook().sheets[0].cell(5, 4)->formula);
    typeInto(*book_, 3, 3, QStringLiteral("髙橋　ミツ"));
    const QString path = dir_.filePath(QStringLiteral("edited.xls"));
    book_->SaveWorkbookFile(path, 4);
    TF5Book reread;
    load(reread, path);
    QCOMPARE(reread.CellText(1, 6, 5), QStringLiteral("90,000"));
    QCOMPARE(reread.CellText(1, 4, 4), QStringLiteral("髙橋　ミツ"));
    QCOMPARE(reread.CellText(1, 6, 10), book_->CellText(1, 6, 10));
    QCOMPARE(reread.workbook().sheets.size(), book_->workbook().sheets.size());
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

void TestF5Book::copyAndPasteRoundTrip() {
    load(*book_, writeOwnBook(dir_));
    SheetGrid* grid = book_->grid();
    const SheetModel* m = book_->model();
    grid->setFocus();
    grid->setCurrentIndex(m->index(1, 1));
    QTest::keyClick(grid, Qt::Key_Down, Qt::ShiftModifier);
    QTest::keyClick(grid, Qt::Key_Right, Qt::ShiftModifier); // B2:C3
    QTest::keyClick(grid, Qt::Key_C, Qt::ControlModifier);
    const QString copied = QApplication::clipboard()->text();
    QCOMPARE(copied,
             QStringLiteral("1,234.50\t%1\n木造\t")
                 .arg(QStringLiteral("とても長い説明の文字がとなりの空いたセルまで続きます")));
    grid->setCurrentIndex(m->index(10, 4));
    QTest::keyClick(grid, Qt::Key_V, Qt::ControlModifier);
    // The texts come back as entries: the number reads as a number again (shown in the
    // General format of its new cell), texts stay texts, the empty cell stays empty.
    const Cell* number = book_->workbook().sheets[0].cell(10, 4);
    QVERIFY(number && number->type == CellType::Number);
    QCOMPARE(number->number, 1234.5);
    QCOMPARE(book_->CellText(1, 11, 6), book_->CellText(1, 2, 3));
    QCOMPARE(book_->CellText(1, 12, 5), QStringLiteral("木造"));
    QVERIFY(!book_->workbook().sheets[0].cell(11, 5));
    // Pasting into a merged area fills its top-left cell only; lines past the end are dropped.
    QApplication::clipboard()->setText(QStringLiteral("a\tb\tc\r\nd\r\n"));
    grid->setCurrentIndex(m->index(3, 2)); // C4, left of D4:H4
    grid->pasteClipboard();
    QCOMPARE(book_->CellText(1, 4, 3), QStringLiteral("a"));
    QCOMPARE(book_->CellText(1, 4, 4), QStringLiteral("b"));
    QCOMPARE(book_->CellText(1, 5, 3), QStringLiteral("d"));
    QVERIFY(!book_->workbook().sheets[0].cell(3, 4));
    QApplication::clipboard()->setText(QStringLiteral("x\ny\nz"));
    grid->setCurrentIndex(m->index(65535, 255));
    grid->pasteClipboard();
    QCOMPARE(book_->CellText(1, 65536, 256), QStringLiteral("x"));
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

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    int failed = runSheetModelTests(argc, argv);
    failed += runF5BookTests(argc, argv);
    failed += runSheetPageTests(argc, argv);
    return failed;
}

#include "test_f5book.moc"
