// Formulas in the control: edits recalculate what depends on them and the results reach
// the screen, CellText and the saved workbook; F9 recalculates everything; a circular
// reference is told once. Runs from test_f5book's main.
#include "f5book_support.h"
#include "sheet/view/sheetmodel.h"
#include "sheet/workbookops.h"

#include <QClipboard>
#include <QLineEdit>
#include <cstring>
#include <memory>

using namespace tovera;
using namespace tovera::testing;

namespace {

QByteArray refToken(int row, int col) {
    QByteArray b(1, char(0x44));
    b.append(char(row & 0xFF)).append(char(row >> 8));
    b.append(char(col & 0xFF)).append(char(0xC0));
    return b;
}

QByteArray intToken(int v) {
    QByteArray b(1, char(0x1E));
    b.append(char(v & 0xFF)).append(char(v >> 8));
    return b;
}

Cell storedFormula(int col, const QByteArray& tokens, double stored) {
    Cell c;
    c.column = uint16_t(col);
    c.type = CellType::Number;
    c.number = stored;
    c.xf = 15;
    auto f = std::make_shared<Formula>();
    f->tokens = tokens;
    c.formula = f;
    return c;
}

// A1 = 1, B1 = A1*2 stored as 99 (a result out of date); with `cycle`, C1 = D1+1 and
// D1 = C1+1 stored as 5 and 6.
QString writeStaleBook(const QTemporaryDir& dir, bool cycle) {
    Workbook b = Workbook::createDefault();
    Sheet& s = b.sheets[0];
    Cell one;
    one.column = 0;
    one.type = CellType::Number;
    one.number = 1;
    one.xf = 15;
    s.setCell(0, one);
    s.setCell(0, storedFormula(1, refToken(0, 0) + intToken(2) + QByteArray(1, char(0x05)), 99));
    if (cycle) {
        s.setCell(0, storedFormula(2, refToken(0, 3) + intToken(1) + QByteArray(1, char(0x03)), 5));
        s.setCell(0, storedFormula(3, refToken(0, 2) + intToken(1) + QByteArray(1, char(0x03)), 6));
    }
    const QString path =
        dir.filePath(cycle ? QStringLiteral("cycle.xls") : QStringLiteral("stale.xls"));
    saveWorkbookFile(b, path, kFileTypeExcel97);
    return path;
}

} // namespace

class TestF5BookCalc : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() {
        book_ = new TF5Book;
        book_->resize(710, 433);
        book_->show();
        messages_.clear();
        book_->setMessageHandler([this](const QString& m) { messages_ << m; });
        QVERIFY(QTest::qWaitForWindowExposed(book_));
    }
    void cleanup() {
        delete book_;
        book_ = nullptr;
    }

    // The detail sheet: typing a 数量 and a floor area moves the 評点数, the total, E6 and
    // L6 on the screen and in CellText, and the saved file and memory block carry them.
    void typedInputsRecalculate() {
        REQUIRE_SAMPLES();
        load(*book_, sampleSheet("hyoten_mokuzou_2f.xls"));
        QCOMPARE(book_->CellText(1, 6, 5), QStringLiteral("86,806"));
        typeInto(*book_, 12, 7, QStringLiteral("200")); // H13 数量
        QCOMPARE(book_->CellText(1, 13, 10), QStringLiteral("1,180,000"));
        const double total = 9595631.0 - 993560 + 1180000;
        QCOMPARE(book_->CellText(1, 31, 10), QLocale(QLocale::English).toString(total, 'f', 0));
        const QString e6 = QLocale(QLocale::English).toString(std::floor(total / 110.54), 'f', 0);
        QCOMPARE(book_->CellText(1, 6, 5), e6);
        QCOMPARE(book_->model()->data(book_->model()->index(5, 4)).toString(), e6);

        typeInto(*book_, 5, 9, QStringLiteral("70")); // J6 １階床面積
        QCOMPARE(book_->CellText(1, 6, 12), QStringLiteral("118.44"));
        const QString e6After = book_->CellText(1, 6, 5);
        QVERIFY(e6After != e6);

        const QString saved = dir_.filePath(QStringLiteral("edited.xls"));
        int16_t type = 4;
        book_->SaveWorkbookFile(saved, type);
        HGLOBAL handle = 0;
        book_->SaveWorkbookToHandle(handle, 0);
        QVERIFY(handle != 0);
        Workbook fromHandle;
        LoadWorkbookFromHandle(fromHandle, handle);
        GlobalFree(handle);
        load(*book_, saved);
        QCOMPARE(book_->CellText(1, 6, 5), e6After);
        QCOMPARE(book_->CellText(1, 6, 12), QStringLiteral("118.44"));
        QCOMPARE(fromHandle.sheets[0].cell(5, 11)->number, 70 + 48.44);
    }

    // Loading shows the stored results as they are; F9 recalculates them.
    void f9RecalculatesTheWorkbook() {
        load(*book_, writeStaleBook(dir_, false));
        QCOMPARE(book_->CellText(1, 1, 2), QStringLiteral("99"));
        book_->grid()->setFocus();
        QTest::keyClick(book_->grid(), Qt::Key_F9);
        QCOMPARE(book_->CellText(1, 1, 2), QStringLiteral("2"));
        QVERIFY(messages_.isEmpty());
    }

    // A circular reference keeps its values, the calculation ends, and the user is told
    // once, in Japanese.
    void circularReferenceIsToldOnce() {
        load(*book_, writeStaleBook(dir_, true));
        book_->grid()->setFocus();
        QTest::keyClick(book_->grid(), Qt::Key_F9);
        QTRY_COMPARE(messages_.size(), 1);
        QCOMPARE(messages_.front(), TF5Book::circularMessage());
        QCOMPARE(book_->CellText(1, 1, 3), QStringLiteral("5"));
        QCOMPARE(book_->CellText(1, 1, 4), QStringLiteral("6"));
        QCOMPARE(book_->CellText(1, 1, 2), QStringLiteral("2"));
        QTest::keyClick(book_->grid(), Qt::Key_F9);
        typeInto(*book_, 0, 0, QStringLiteral("4"));
        QCOMPARE(book_->CellText(1, 1, 2), QStringLiteral("8"));
        QTest::qWait(20);
        QCOMPARE(messages_.size(), 1);
    }

    // A formula typed into a cell calculates and shows its value; the edit bar and F2 show
    // the formula; it reaches the saved file as a formula with its result.
    void typedFormulaShowsValueAndText() {
        REQUIRE_SAMPLES();
        load(*book_, sampleSheet("hyoten_mokuzou_2f.xls"));
        typeInto(*book_, 5, 12, QStringLiteral("＝Ｊ６＋Ｋ６＊２")); // M6, full-width
        QCOMPARE(book_->CellText(1, 6, 13), QStringLiteral("158.98"));
        book_->grid()->setCurrentIndex(book_->model()->index(5, 12));
        QCOMPARE(book_->contentBox()->text(), QStringLiteral("=J6+K6*2"));
        book_->grid()->setCurrentIndex(book_->model()->index(5, 11)); // L6 as stored
        QCOMPARE(book_->contentBox()->text(), QStringLiteral("=J6+K6"));
        book_->grid()->setFocus();
        QTest::keyClick(book_->grid(), Qt::Key_F2);
        auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        QVERIFY(editor);
        QCOMPARE(editor->text(), QStringLiteral("=J6+K6"));
        editor->end(false);
        typeText(editor, QStringLiteral("+1"));
        QTest::keyClick(editor, Qt::Key_Return);
        QCOMPARE(book_->CellText(1, 6, 12), QStringLiteral("111.54"));
        QCOMPARE(book_->CellText(1, 6, 13), QStringLiteral("158.98")); // M6 reads J6, K6 only
        // E6 follows L6 through the 数量 of the parts table.
        QVERIFY(book_->CellText(1, 6, 5) != QStringLiteral("86,806"));
        const QString e6 = book_->CellText(1, 6, 5);

        const QString saved = dir_.filePath(QStringLiteral("typed.xls"));
        book_->SaveWorkbookFile(saved, 4);
        load(*book_, saved);
        QCOMPARE(book_->CellText(1, 6, 13), QStringLiteral("158.98"));
        QCOMPARE(book_->CellText(1, 6, 5), e6);
        book_->grid()->setCurrentIndex(book_->model()->index(5, 12));
        QCOMPARE(book_->contentBox()->text(), QStringLiteral("=J6+K6*2"));
        QVERIFY(messages_.isEmpty());
    }

    // A formula with a mistake is told in Japanese and changes nothing.
    void formulaMistakeChangesNothing() {
        REQUIRE_SAMPLES();
        load(*book_, sampleSheet("hyoten_mokuzou_2f.xls"));
        typeInto(*book_, 5, 11, QStringLiteral("=J6+(K6"));
        QTRY_COMPARE(messages_.size(), 1);
        QVERIFY(messages_.front().contains(QStringLiteral("閉じかっこ")));
        QCOMPARE(book_->CellText(1, 6, 12), QStringLiteral("110.54"));
        QVERIFY(book_->workbook().sheets[0].cell(5, 11)->formula);
        QVERIFY(!book_->model()->canUndo());
    }

    // Text typed into the edit bar is committed when another cell becomes current, as by
    // Enter; a formula typed there works the same.
    void editBarCommitsOnMove() {
        REQUIRE_SAMPLES();
        load(*book_, sampleSheet("hyoten_mokuzou_2f.xls"));
        book_->grid()->setCurrentIndex(book_->model()->index(5, 9)); // J6
        QLineEdit* content = book_->contentBox();
        content->setFocus();
        content->selectAll();
        QTest::keyClicks(content, QStringLiteral("70"));
        book_->grid()->setCurrentIndex(book_->model()->index(6, 9)); // a click elsewhere
        QCOMPARE(book_->CellText(1, 6, 10), QStringLiteral("70.00"));
        QCOMPARE(book_->CellText(1, 6, 12), QStringLiteral("118.44"));
        QCOMPARE(content->text(), QString());

        book_->grid()->setCurrentIndex(book_->model()->index(5, 12)); // M6
        content->setFocus();
        QTest::keyClicks(content, QStringLiteral("=L6/2"));
        book_->grid()->setCurrentIndex(book_->model()->index(5, 13));
        QCOMPARE(book_->CellText(1, 6, 13), QStringLiteral("59.22"));
        // Editing an input keeps the formulas elsewhere.
        QVERIFY(book_->workbook().sheets[0].cell(5, 11)->formula);
        QVERIFY(book_->workbook().sheets[0].cell(5, 4)->formula);
    }

    // Pasted formulas calculate once the whole paste is in, reading each other.
    void pastedFormulasCalculate() {
        typeInto(*book_, 0, 0, QStringLiteral("3"));
        QApplication::clipboard()->setText(QStringLiteral("=C1*2\t=A1+1\n=SUM(B1:C1)"));
        book_->grid()->setCurrentIndex(book_->model()->index(0, 1));
        book_->grid()->setFocus();
        QTest::keyClick(book_->grid(), Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(book_->CellText(1, 1, 3), QStringLiteral("4"));
        QCOMPARE(book_->CellText(1, 1, 2), QStringLiteral("8"));
        QCOMPARE(book_->CellText(1, 2, 2), QStringLiteral("12"));
        typeInto(*book_, 0, 0, QStringLiteral("10"));
        QCOMPARE(book_->CellText(1, 2, 2), QStringLiteral("33"));
        QTest::keyClick(book_->grid(), Qt::Key_Z, Qt::ControlModifier);
        QTest::keyClick(book_->grid(), Qt::Key_Z, Qt::ControlModifier); // the paste, as one
        QCOMPARE(book_->CellText(1, 1, 2), QString());
        QCOMPARE(book_->CellText(1, 2, 2), QString());
    }

private:
    TF5Book* book_ = nullptr;
    QTemporaryDir dir_;
    QStringList messages_;
};

int runF5BookCalcTests(int argc, char** argv) {
    TestF5BookCalc t;
    return QTest::qExec(&t, argc, argv);
}

#include "test_f5book_calc.moc"
