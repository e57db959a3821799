// The sheet model on its own: what typed entries become, what entry fields start with,
// clearing, merged areas and array formulas. Runs from test_f5book's main.
#include "sheet/celltext.h"
#include "sheet/view/cellinput.h"
#include "sheet/view/sheetmodel.h"
#include "sheet/xlsreader.h"
#include "sheet/xlswriter.h"

#include <QSignalSpy>
#include <QTest>
#include <cmath>

using namespace tovera;

namespace {

// A workbook with a "#,##0.00" cell (B2), a percent cell (C2), a date cell (D2), a
// text cell (B3), the merged area D4:H4 and a two-cell array formula in A6:A7.
Workbook formattedBook() {
    Workbook b = Workbook::createDefault();
    auto addXf = [&](uint16_t numberFormat) {
        CellFormat f = b.xfs[15];
        f.numberFormat = numberFormat;
        b.xfs.push_back(f);
        return uint16_t(b.xfs.size() - 1);
    };
    const uint16_t money = addXf(4);   // #,##0.00
    const uint16_t percent = addXf(9); // 0%
    const uint16_t date = addXf(14);
    Sheet& s = b.sheets[0];
    auto put = [&](int row, int column, CellType type, double number, const QString& text,
                   uint16_t xf) {
        Cell c;
        c.column = uint16_t(column);
        c.type = type;
        c.number = number;
        c.text = text;
        c.xf = xf;
        s.setCell(row, c);
    };
    put(1, 1, CellType::Number, 1234.5, {}, money);
    put(1, 2, CellType::Number, 0.125, {}, percent);
    put(1, 3, CellType::Number, 45306, {}, date);
    put(2, 1, CellType::Text, 0, QStringLiteral("木造"), 15);
    put(3, 3, CellType::Text, 0, QStringLiteral("山路　千代子"), 15);
    s.merges.push_back({3, 3, 3, 7});
    // An array formula {=1+1} over A6:A7: both cells point at the array's top-left cell.
    ArrayFormula array;
    array.range = {5, 6, 0, 0};
    array.formula.tokens = QByteArray::fromHex("1e01001e010003"); // 1 1 +
    s.arrayFormulas.push_back(array);
    auto exp = std::make_shared<Formula>();
    exp->tokens = QByteArray::fromHex("0105000000");
    for (int row : {5, 6}) {
        put(row, 0, CellType::Number, 2, {}, 15);
        s.rowAt(row).cells.front().formula = exp;
    }
    return b;
}

} // namespace

class TestSheetModel : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void numberInput_data();
    void numberInput();
    void editTextOfNumbers();
    void dateInput_data();
    void dateInput();
    void datesShowAsDates_data();
    void datesShowAsDates();
    void entriesKeepTheFormat_data();
    void entriesKeepTheFormat();
    void unchangedEntryKeepsFormulaAndDate();
    void emptyEntryOnMissingCellAddsNothing();
    void mergedAreaEditsThroughTopLeft();
    void clearKeepsFormats();
    void editingPartOfAnArrayDropsTheArray();
    void headings();
    void editsReachTheSavedFile();
};

void TestSheetModel::numberInput_data() {
    QTest::addColumn<QString>("input");
    QTest::addColumn<bool>("isNumber");
    QTest::addColumn<double>("value");
    QTest::newRow("integer") << "1234" << true << 1234.0;
    QTest::newRow("grouped") << "1,234" << true << 1234.0;
    QTest::newRow("grouped decimals") << "12,345,678.9" << true << 12345678.9;
    QTest::newRow("percent") << "12%" << true << 0.12;
    QTest::newRow("negative") << "-0.5" << true << -0.5;
    QTest::newRow("leading point") << ".25" << true << 0.25;
    QTest::newRow("trailing point") << "3." << true << 3.0;
    QTest::newRow("exponent") << "2.5E-4" << true << 0.00025;
    QTest::newRow("blanks around") << "  42 " << true << 42.0;
    QTest::newRow("full-width") << QStringLiteral("１２３．５") << true << 123.5;
    QTest::newRow("minus zero") << "-0" << true << 0.0;
    QTest::newRow("bad grouping") << "12,34" << false << 0.0;
    QTest::newRow("comma after point") << "1.234,5" << false << 0.0;
    QTest::newRow("sign alone") << "-" << false << 0.0;
    QTest::newRow("point alone") << "." << false << 0.0;
    QTest::newRow("percent alone") << "%" << false << 0.0;
    QTest::newRow("overflow") << "1e999" << false << 0.0;
    QTest::newRow("words") << "abc" << false << 0.0;
    QTest::newRow("inner blank") << "1 2" << false << 0.0;
    QTest::newRow("hex") << "0x10" << false << 0.0;
    QTest::newRow("nan") << "nan" << false << 0.0;
    QTest::newRow("huge text") << QString(5000, QLatin1Char('9')) << false << 0.0;
}

void TestSheetModel::numberInput() {
    QFETCH(QString, input);
    QFETCH(bool, isNumber);
    QFETCH(double, value);
    const std::optional<double> parsed = parseNumberInput(input);
    QCOMPARE(parsed.has_value(), isNumber);
    if (isNumber) {
        QCOMPARE(*parsed, value);
        QVERIFY(!std::signbit(*parsed) || value < 0);
    }
}

void TestSheetModel::dateInput_data() {
    QTest::addColumn<QString>("input");
    QTest::addColumn<bool>("date1904");
    QTest::addColumn<double>("serial"); // -1: not a date or time
    QTest::newRow("slashes") << "2024/1/15" << false << 45306.0;
    QTest::newRow("hyphens, padded") << "2024-01-15" << false << 45306.0;
    QTest::newRow("kanji") << "2024年1月15日" << false << 45306.0;
    QTest::newRow("full-width") << "２０２４／１／１５" << false << 45306.0;
    QTest::newRow("1904 system") << "2024/1/15" << true << 43844.0;
    QTest::newRow("January 1900 counts from day 1") << "1900/1/1" << false << 1.0;
    QTest::newRow("March 1900 after the counted 29 February") << "1900/3/1" << false << 61.0;
    QTest::newRow("date and time") << "2024/1/15 18:00" << false << 45306.75;
    QTest::newRow("time alone") << "6:00" << false << 0.25;
    QTest::newRow("time with seconds") << "0:00:36" << false << 36 / 86400.0;
    QTest::newRow("no such day") << "2023/2/29" << false << -1.0;
    QTest::newRow("month 13") << "2024/13/1" << false << -1.0;
    QTest::newRow("before the system") << "1903/12/31" << true << -1.0;
    QTest::newRow("mixed separators") << "2024/1-15" << false << -1.0;
    QTest::newRow("hour 24") << "24:00" << false << -1.0;
    QTest::newRow("time before date") << "18:00 2024/1/15" << false << -1.0;
    QTest::newRow("words") << "2024年度" << false << -1.0;
}

void TestSheetModel::dateInput() {
    QFETCH(QString, input);
    QFETCH(bool, date1904);
    QFETCH(double, serial);
    const std::optional<DateInput> parsed = parseDateInput(input, date1904);
    QCOMPARE(parsed.has_value(), serial >= 0);
    if (parsed) QCOMPARE(parsed->serial, serial);
}

void TestSheetModel::datesShowAsDates_data() {
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<bool>("keepsFormat");
    QTest::newRow("date into a General cell") << 10 << 1 << "2024/2/1"
                                              << "2024/2/1" << false;
    QTest::newRow("kanji date into a text cell") << 2 << 1 << "2024年2月1日"
                                                 << "2024/2/1" << false;
    QTest::newRow("date into a date cell") << 1 << 3 << "2024-02-01"
                                           << "2024/2/1" << true;
    QTest::newRow("time into a General cell") << 10 << 2 << "9:30"
                                              << "9:30" << false;
    QTest::newRow("date into #,##0.00") << 1 << 1 << "2024/2/1"
                                        << "2024/2/1" << false;
}

void TestSheetModel::datesShowAsDates() {
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(QString, input);
    QFETCH(QString, shown);
    QFETCH(bool, keepsFormat);
    Workbook book = formattedBook();
    SheetModel model(book);
    const Cell* before = model.cellAt(row, column);
    const uint16_t xf = before ? before->xf : 15;
    const std::optional<Cell> original = before ? std::optional<Cell>(*before) : std::nullopt;
    const CellFormat look = book.xfs[xf];
    QVERIFY(model.enterText(row, column, input));
    const Cell* after = model.cellAt(row, column);
    QVERIFY(after);
    QCOMPARE(after->type, CellType::Number);
    QCOMPARE(CellText(book, 1, row + 1, column + 1), shown);
    QCOMPARE(after->xf == xf, keepsFormat);
    // Only the number format changes: font, borders and fill stay.
    CellFormat expected = look;
    expected.numberFormat = book.xfs[after->xf].numberFormat;
    expected.usedGroups = book.xfs[after->xf].usedGroups;
    QCOMPARE(book.xfs[after->xf], expected);
    // A second date in another cell of the same format reuses the format made for the first.
    const size_t formats = book.xfs.size();
    if (!original) {
        QVERIFY(model.enterText(row + 1, column, input));
        QCOMPARE(model.cellAt(row + 1, column)->xf, after->xf);
    } else {
        Cell twin = *original;
        twin.column = uint16_t(column + 20);
        book.sheets[0].setCell(row, twin);
        QVERIFY(model.enterText(row, column + 20, input));
        QCOMPARE(model.cellAt(row, column + 20)->xf, model.cellAt(row, column)->xf);
    }
    QCOMPARE(book.xfs.size(), formats);
}

void TestSheetModel::editTextOfNumbers() {
    QCOMPARE(numberEditText(110.53999999999999), QStringLiteral("110.54"));
    QCOMPARE(numberEditText(-3), QStringLiteral("-3"));
    QCOMPARE(numberEditText(1234567.891), QStringLiteral("1234567.891"));
    QCOMPARE(numberEditText(0.1 + 0.2), QStringLiteral("0.3"));
    QCOMPARE(numberEditText(1e20), QStringLiteral("1e+20"));
    Workbook book = formattedBook();
    SheetModel model(book);
    QCOMPARE(model.editText(1, 1), QStringLiteral("1234.5"));
    QCOMPARE(model.displayText(1, 1), QStringLiteral("1,234.50"));
    QCOMPARE(model.editText(1, 2), QStringLiteral("12.5%"));
    QCOMPARE(model.editText(1, 3), model.displayText(1, 3));
    QCOMPARE(model.data(model.index(2, 1), Qt::EditRole).toString(), QStringLiteral("木造"));
}

void TestSheetModel::entriesKeepTheFormat_data() {
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("shown");
    QTest::newRow("number into #,##0.00") << 1 << 1 << "1234"
                                          << "1,234.00";
    QTest::newRow("grouped into #,##0.00") << 1 << 1 << "9,876.5"
                                           << "9,876.50";
    QTest::newRow("percent into 0%") << 1 << 2 << "12%"
                                     << "12%";
    QTest::newRow("text into #,##0.00") << 1 << 1 << "なし"
                                        << "なし";
    QTest::newRow("number into a text cell") << 2 << 1 << "3"
                                             << "3";
    QTest::newRow("new cell, General") << 10 << 10 << "0.5"
                                       << "0.5";
    QTest::newRow("empty clears") << 1 << 1 << ""
                                  << "";
}

void TestSheetModel::entriesKeepTheFormat() {
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(QString, input);
    QFETCH(QString, shown);
    Workbook book = formattedBook();
    SheetModel model(book);
    const Cell* before = model.cellAt(row, column);
    const uint16_t xf = before ? before->xf : 15;
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    QVERIFY(model.setData(model.index(row, column), input));
    QCOMPARE(CellText(book, 1, row + 1, column + 1), shown);
    QCOMPARE(changed.size(), 1);
    // The whole row is repainted, for text running over into neighbours.
    QCOMPARE(changed.first().at(0).toModelIndex().column(), 0);
    QCOMPARE(changed.first().at(1).toModelIndex().column(), SheetModel::kColumnCount - 1);
    const Cell* after = model.cellAt(row, column);
    QVERIFY(after);
    QCOMPARE(after->xf, xf);
}

void TestSheetModel::unchangedEntryKeepsFormulaAndDate() {
    Workbook book = formattedBook();
    SheetModel model(book);
    QVERIFY(!model.enterText(1, 3, model.editText(1, 3))); // the date stays a number
    QCOMPARE(model.cellAt(1, 3)->type, CellType::Number);
    QVERIFY(!model.enterText(5, 0, model.editText(5, 0)));
    QVERIFY(model.cellAt(5, 0)->formula);
    QVERIFY(model.enterText(5, 0, QStringLiteral("7")));
    QVERIFY(!model.cellAt(5, 0)->formula);
    QCOMPARE(model.cellAt(5, 0)->number, 7.0);
}

void TestSheetModel::emptyEntryOnMissingCellAddsNothing() {
    Workbook book = formattedBook();
    SheetModel model(book);
    const size_t rows = book.sheets[0].rows.size();
    QVERIFY(!model.enterText(200, 5, QString()));
    QCOMPARE(book.sheets[0].rows.size(), rows);
    QVERIFY(!model.enterText(SheetModel::kRowCount, 0, QStringLiteral("x")));
    QVERIFY(!model.enterText(0, -1, QStringLiteral("x")));
}

void TestSheetModel::mergedAreaEditsThroughTopLeft() {
    Workbook book = formattedBook();
    SheetModel model(book);
    QCOMPARE(model.anchorIndex(3, 6), model.index(3, 3));
    QVERIFY(model.enterText(3, 6, QStringLiteral("宮﨑　健太郎")));
    QCOMPARE(CellText(book, 1, 4, 4), QStringLiteral("宮﨑　健太郎"));
    QVERIFY(!model.cellAt(3, 6));
    QCOMPARE(SheetModel::rangeReference(*model.mergeAt(3, 5)), QStringLiteral("D4:H4"));
}

void TestSheetModel::clearKeepsFormats() {
    Workbook book = formattedBook();
    SheetModel model(book);
    const uint16_t xf = model.cellAt(1, 1)->xf;
    model.clearValues({{1, 2, 0, 255}});
    QCOMPARE(model.cellAt(1, 1)->type, CellType::Empty);
    QCOMPARE(model.cellAt(1, 1)->xf, xf);
    QCOMPARE(model.cellAt(2, 1)->type, CellType::Empty);
    QCOMPARE(model.displayText(1, 3), QString());
    model.enterText(1, 1, QStringLiteral("5"));
    QCOMPARE(model.displayText(1, 1), QStringLiteral("5.00"));
    QCOMPARE(model.displayText(3, 3), QStringLiteral("山路　千代子")); // outside the range
}

void TestSheetModel::editingPartOfAnArrayDropsTheArray() {
    Workbook book = formattedBook();
    SheetModel model(book);
    QVERIFY(model.enterText(6, 0, QStringLiteral("9")));
    QVERIFY(book.sheets[0].arrayFormulas.empty());
    QVERIFY(!model.cellAt(5, 0)->formula);
    QCOMPARE(model.cellAt(5, 0)->number, 2.0); // the other cell keeps its value
    // Clearing a cell of an array also turns the rest of it into values.
    Workbook other = formattedBook();
    SheetModel second(other);
    second.clearValues({{5, 5, 0, 0}});
    QVERIFY(other.sheets[0].arrayFormulas.empty());
    QVERIFY(!second.cellAt(6, 0)->formula);
    QCOMPARE(second.cellAt(6, 0)->number, 2.0);
    // Taking either change back brings the whole array back.
    for (SheetModel* m : {&model, &second}) {
        QVERIFY(m->undo());
        QCOMPARE(m->workbook().sheets[0].arrayFormulas.size(), size_t(1));
        QVERIFY(m->cellAt(5, 0)->formula && m->cellAt(6, 0)->formula);
        QCOMPARE(m->cellAt(6, 0)->number, 2.0);
        QVERIFY(!m->undo());
    }
    // Clearing what holds no value changes nothing and leaves nothing to take back.
    second.clearValues({{30, 40, 30, 40}});
    QVERIFY(!second.canUndo());
}

void TestSheetModel::headings() {
    Workbook book = formattedBook();
    SheetModel model(book);
    QCOMPARE(model.rowCount(), 65536);
    QCOMPARE(model.columnCount(), 256);
    QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), QStringLiteral("A"));
    QCOMPARE(model.headerData(25, Qt::Horizontal).toString(), QStringLiteral("Z"));
    QCOMPARE(model.headerData(26, Qt::Horizontal).toString(), QStringLiteral("AA"));
    QCOMPARE(model.headerData(255, Qt::Horizontal).toString(), QStringLiteral("IV"));
    QCOMPARE(model.headerData(65535, Qt::Vertical).toString(), QStringLiteral("65536"));
    QCOMPARE(SheetModel::cellReference(3, 3), QStringLiteral("D4"));
}

void TestSheetModel::editsReachTheSavedFile() {
    Workbook book = formattedBook();
    SheetModel model(book);
    model.enterText(1, 1, QStringLiteral("4321"));
    model.enterText(6, 0, QStringLiteral("文字"));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("edited.xls"));
    saveWorkbookFile(book, path, kFileTypeExcel97);
    const Workbook read = loadWorkbookFile(path);
    QCOMPARE(CellText(read, 1, 2, 2), QStringLiteral("4,321.00"));
    QCOMPARE(CellText(read, 1, 7, 1), QStringLiteral("文字"));
    QCOMPARE(CellText(read, 1, 6, 1), QStringLiteral("2"));
    QVERIFY(read.sheets[0].arrayFormulas.empty());
}

int runSheetModelTests(int argc, char** argv) {
    TestSheetModel t;
    return QTest::qExec(&t, argc, argv);
}

#include "test_sheetmodel.moc"
