// Entering and changing cells in the control: typing, F2, the keys that move, Esc, the
// edit bar, Delete, copy and paste, and edits reaching the saved file. Runs from
// test_f5book's main.
#include "f5book_support.h"
#include "sheet/celltext.h"
#include "sheet/view/sheetmodel.h"

#include "sheet/xlsreader.h"

#include <QClipboard>
#include <QLineEdit>

using namespace tovera;
using namespace tovera::testing;

class TestF5BookEditing : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void typingEntersNumbersAndText();
    void f2EditsWhatIsThere();
    void keysMoveTheCurrentCell();
    void escCancelsAnEntry();
    void editBarShowsAndCommits();
    void deleteKeepsTheFormat();
    void editThenSaveAndReload();
    void copyAndPasteRoundTrip();
    void undoTakesBackEachChange();
    void protectedSheetRefusesLockedCells();

private:
    TF5Book* book_ = nullptr;
    QTemporaryDir dir_;
};

void TestF5BookEditing::init() {
    book_ = new TF5Book;
    book_->resize(710, 433);
    book_->show();
    QVERIFY(QTest::qWaitForWindowExposed(book_));
}

void TestF5BookEditing::cleanup() {
    delete book_;
    book_ = nullptr;
}

void TestF5BookEditing::typingEntersNumbersAndText() {
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

void TestF5BookEditing::f2EditsWhatIsThere() {
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

void TestF5BookEditing::keysMoveTheCurrentCell() {
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

void TestF5BookEditing::escCancelsAnEntry() {
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

void TestF5BookEditing::editBarShowsAndCommits() {
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

void TestF5BookEditing::deleteKeepsTheFormat() {
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

void TestF5BookEditing::editThenSaveAndReload() {
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

void TestF5BookEditing::copyAndPasteRoundTrip() {
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

void TestF5BookEditing::undoTakesBackEachChange() {
    REQUIRE_SAMPLES();
    load(*book_, sampleSheet("hyoten_mokuzou_2f.xls"));
    SheetGrid* grid = book_->grid();
    const SheetModel* m = book_->model();
    const Sheet& sheet = book_->workbook().sheets[0];
    const QString e6 = book_->CellText(1, 6, 5), d4 = book_->CellText(1, 4, 4);
    const QString b10 = book_->CellText(1, 10, 2), c10 = book_->CellText(1, 10, 3);
    const QString b11 = book_->CellText(1, 11, 2), c11 = book_->CellText(1, 11, 3);
    QVERIFY(sheet.cell(5, 4)->formula);

    typeInto(*book_, 5, 4, QStringLiteral("90000")); // E6: the formula goes
    typeInto(*book_, 3, 3, QStringLiteral("別人"));  // D4, head of D4:H4
    grid->setFocus();
    grid->setCurrentIndex(m->index(9, 1));
    QTest::keyClick(grid, Qt::Key_Down, Qt::ShiftModifier);
    QTest::keyClick(grid, Qt::Key_Right, Qt::ShiftModifier); // B10:C11
    QTest::keyClick(grid, Qt::Key_Delete);
    QApplication::clipboard()->setText(QStringLiteral("p\tq\nr\ts\n"));
    grid->setCurrentIndex(m->index(9, 1));
    QTest::keyClick(grid, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(book_->CellText(1, 11, 3), QStringLiteral("s"));

    // The paste goes back as one step, then the clearing, then each entry.
    QTest::keyClick(grid, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(book_->CellText(1, 10, 2), QString());
    QCOMPARE(book_->CellText(1, 11, 3), QString());
    QTest::keyClick(grid, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(book_->CellText(1, 10, 2), b10);
    QCOMPARE(book_->CellText(1, 10, 3), c10);
    QCOMPARE(book_->CellText(1, 11, 2), b11);
    QCOMPARE(book_->CellText(1, 11, 3), c11);
    QTest::keyClick(grid, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(book_->CellText(1, 4, 4), d4);
    QTest::keyClick(grid, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(book_->CellText(1, 6, 5), e6);
    QVERIFY(sheet.cell(5, 4)->formula); // the formula is back, not only its value
    QVERIFY(!book_->model()->canUndo());

    // A new workbook starts with nothing to take back.
    typeInto(*book_, 0, 0, QStringLiteral("1"));
    QVERIFY(book_->model()->canUndo());
    load(*book_, sampleSheet("hyoten_mokuzou_2f.xls"));
    QVERIFY(!book_->model()->canUndo());
}

int runF5BookEditingTests(int argc, char** argv) {
    TestF5BookEditing t;
    return QTest::qExec(&t, argc, argv);
}

void TestF5BookEditing::protectedSheetRefusesLockedCells() {
    REQUIRE_SAMPLES();
    // The sample protected with a password, its name cell D4 unlocked.
    Workbook w = loadWorkbookFile(sampleSheet("hyoten_mokuzou_2f.xls"));
    Sheet& s = w.sheets[0];
    s.protection.on = true;
    s.protection.passwordHash = 0xCE4B;
    CellFormat open = w.xfs[s.cell(3, 3)->xf];
    open.locked = false;
    w.xfs.push_back(open);
    Cell name = *s.cell(3, 3);
    name.xf = uint16_t(w.xfs.size() - 1);
    s.setCell(3, name);
    const QString path = dir_.filePath(QStringLiteral("protected.xls"));
    saveWorkbookFile(w, path, kFileTypeExcel97);
    load(*book_, path);
    QStringList messages;
    book_->setMessageHandler([&](const QString& m) { messages.append(m); });

    // Typing into the locked formula cell E6 opens no entry and says why.
    const QString before = book_->CellText(1, 6, 5);
    SheetGrid* grid = book_->grid();
    grid->setCurrentIndex(book_->model()->index(5, 4));
    grid->setFocus();
    typeText(grid, QStringLiteral("9"));
    QCOMPARE(QApplication::focusWidget(), grid);
    QTRY_COMPARE(messages.size(), 1);
    QVERIFY2(messages[0].contains(QStringLiteral("保護")), qPrintable(messages[0]));
    // Delete and the edit bar are refused too; the formula stays.
    QTest::keyClick(grid, Qt::Key_Delete);
    QTRY_COMPARE(messages.size(), 2);
    QVERIFY(!book_->model()->enterText(5, 4, QStringLiteral("1")));
    QCOMPARE(book_->CellText(1, 6, 5), before);
    QVERIFY(book_->workbook().sheets[0].cell(5, 4)->formula);

    // The unlocked cell takes an entry, and the saved file stays protected.
    typeInto(*book_, 3, 3, QStringLiteral("髙橋　ミツ"));
    QCOMPARE(book_->CellText(1, 4, 4), QStringLiteral("髙橋　ミツ"));
    const QString saved = dir_.filePath(QStringLiteral("saved.xls"));
    book_->SaveWorkbookFile(saved, 4);
    const Workbook back = loadWorkbookFile(saved);
    QVERIFY(back.sheets[0].protection.on);
    QCOMPARE(back.sheets[0].protection.passwordHash, uint16_t(0xCE4B));
    QCOMPARE(back.sheets[0].cell(3, 3)->text, QStringLiteral("髙橋　ミツ"));
}

#include "test_f5book_edit.moc"
