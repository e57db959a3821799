// Recalculation of formulas: every formula of the shared workbooks recalculates to its
// stored result, edits reach exactly their dependents across sheets, cycles end, and the
// operators, coercions and error values of formulas built token by token.

#include "platform/errors.h"
#include "sheet/calc.h"
#include "sheet/xlsreader.h"
#include "sheet/xlswriter.h"

#include <QDir>
#include <QTest>
#include <cmath>
#include <cstring>

using namespace tovera;

namespace {

QString shared() {
    return QStringLiteral(TOVERA_SHARED);
}

// Token builders (Excel 97 layout).
QByteArray u16(int v) {
    QByteArray b;
    b.append(char(v & 0xFF)).append(char((v >> 8) & 0xFF));
    return b;
}
QByteArray num(double v) {
    QByteArray b(1, char(0x1F));
    char raw[8];
    std::memcpy(raw, &v, 8);
    return b + QByteArray(raw, 8);
}
QByteArray integer(int v) {
    return QByteArray(1, char(0x1E)) + u16(v);
}
QByteArray str(const QString& s) {
    QByteArray b(1, char(0x17));
    b.append(char(s.size())).append(char(1));
    for (QChar c : s) b += u16(c.unicode());
    return b;
}
QByteArray ref(int row, int col, char id = 0x44) {
    return QByteArray(1, id) + u16(row) + u16(col | 0xC000);
}
QByteArray area(int r1, int c1, int r2, int c2, char id = 0x25) {
    return QByteArray(1, id) + u16(r1) + u16(r2) + u16(c1 | 0xC000) + u16(c2 | 0xC000);
}
QByteArray ref3d(int ixti, int row, int col) {
    return QByteArray(1, char(0x5A)) + u16(ixti) + u16(row) + u16(col | 0xC000);
}
QByteArray op(char id) {
    return QByteArray(1, id);
}
QByteArray func(int id) {
    return QByteArray(1, char(0x41)) + u16(id);
}
QByteArray funcVar(int id, int argc) {
    return QByteArray(1, char(0x42)) + QByteArray(1, char(argc)) + u16(id);
}

Cell numberCell(int col, double v) {
    Cell c;
    c.column = uint16_t(col);
    c.type = CellType::Number;
    c.number = v;
    c.xf = 15;
    return c;
}
Cell textCell(int col, const QString& s) {
    Cell c;
    c.column = uint16_t(col);
    c.type = CellType::Text;
    c.text = s;
    c.xf = 15;
    return c;
}
Cell formulaCell(int col, const QByteArray& tokens, double stored = 0) {
    Cell c = numberCell(col, stored);
    auto f = std::make_shared<Formula>();
    f->tokens = tokens;
    c.formula = f;
    return c;
}

// A workbook of two sheets: A1 = 2, A2 = "3", A3 empty, A4 TRUE, A5 = "abc", B1:B3 = 1, 2, 3;
// sheet 2 "補正" holds A1 = 10.
Workbook sampleBook() {
    Workbook b = Workbook::createDefault();
    Sheet& s = b.sheets[0];
    s.setCell(0, numberCell(0, 2));
    s.setCell(1, textCell(0, QStringLiteral("3")));
    Cell t;
    t.column = 0;
    t.type = CellType::Bool;
    t.boolValue = true;
    s.setCell(3, t);
    s.setCell(4, textCell(0, QStringLiteral("abc")));
    for (int r = 0; r < 3; ++r) s.setCell(r, numberCell(1, r + 1));
    Sheet other;
    other.name = QStringLiteral("補正");
    other.setCell(0, numberCell(0, 10));
    b.sheets.push_back(other);
    b.externSheets.push_back({1, 1});
    return b;
}

double numberAt(const Workbook& b, int sheet, int row, int col) {
    const Cell* c = b.sheets[size_t(sheet)].cell(row, col);
    return c && c->type == CellType::Number ? c->number : NAN;
}

} // namespace

class TestCalc : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void storedResultsRecalculate_data() {
        QTest::addColumn<QString>("path");
        for (const QString& dir :
             {QStringLiteral("/xls-corpus"), QStringLiteral("/sample-sheets")}) {
            QDir d(shared() + dir);
            for (const QString& f : d.entryList({QStringLiteral("*.xls")}, QDir::Files))
                QTest::newRow(qPrintable(f)) << d.filePath(f);
        }
        if (QDir(shared()).exists() == false) QTest::newRow("no corpus") << QString();
    }
    // A recalculation from scratch gives what the program that wrote the file stored.
    void storedResultsRecalculate() {
        QFETCH(QString, path);
        if (path.isEmpty()) QSKIP("the shared corpus is absent");
        Workbook book;
        try {
            book = loadWorkbookFile(path);
        } catch (const Exception&) {
            QSKIP("a workbook the reader refuses");
        }
        const RecalcCheck check = checkRecalculation(book);
        QString list;
        for (const RecalcDifference& d : check.differences)
            list += QStringLiteral("%1!%2,%3 stored %4 computed %5; ")
                        .arg(d.cell.sheet)
                        .arg(d.cell.row)
                        .arg(d.cell.column)
                        .arg(d.stored, d.computed);
        QVERIFY2(check.differ == 0, qPrintable(list));
        QCOMPARE(check.equal + check.unsupported, check.checked);
    }

    // The detail sheet: a changed 数量 reaches its row's 評点数, the total, the per-㎡
    // result E6 and the other sheet; a changed floor area reaches L6 and the rows using it.
    void detailSheetFollowsEdits() {
        const QString path = shared() + QStringLiteral("/sample-sheets/hyoten_mokuzou_2f.xls");
        if (!QFile::exists(path)) QSKIP("the sample sheets are absent");
        Workbook book = loadWorkbookFile(path);
        FormulaEngine engine(book);
        Sheet& s = book.sheets[0];
        const double total = numberAt(book, 0, 30, 9);  // J31
        const double oldRow = numberAt(book, 0, 12, 9); // J13
        s.setCell(12, numberCell(7, 200));              // H13 数量
        const RecalcResult r = engine.cellsChanged(0, {{12, 12, 7, 7}});
        QVERIFY(!r.circular);
        QCOMPARE(numberAt(book, 0, 12, 9), 5900.0 * 200);
        const double newTotal = total - oldRow + 5900.0 * 200;
        QCOMPARE(numberAt(book, 0, 30, 9), newTotal);
        const double perArea = std::floor(newTotal / 110.54);
        QCOMPARE(numberAt(book, 0, 31, 9), perArea); // J32
        QCOMPARE(numberAt(book, 0, 5, 4), perArea);  // E6
        QCOMPARE(numberAt(book, 1, 2, 1), newTotal); // 補正!B3
        // Only the dependents were calculated: J13, the ratios, J31, K31, J32, E6, and the
        // other sheet's chain.
        QVERIFY(r.evaluated < 40);

        s.setCell(5, numberCell(9, 70)); // J6 １階床面積
        engine.cellsChanged(0, {{5, 5, 9, 9}});
        QCOMPARE(numberAt(book, 0, 5, 11), 70 + 48.44); // L6 = J6+K6
        QCOMPARE(numberAt(book, 0, 8, 7), 70 + 48.44);  // H9 = L$6
        QCOMPARE(numberAt(book, 0, 9, 7), 70.0);        // H10 = J$6
        QCOMPARE(numberAt(book, 0, 9, 9), std::floor(9608 * 70.0));

        // What is saved carries the new results, and reads back with them.
        const Workbook back =
            loadWorkbookBytes(saveWorkbookBytes(book), QStringLiteral("back.xls"));
        for (const auto& [row, col] :
             std::vector<std::pair<int, int>>{{5, 4}, {5, 11}, {30, 9}, {31, 9}})
            QCOMPARE(numberAt(back, 0, row, col), numberAt(book, 0, row, col));
        QCOMPARE(checkRecalculation(back).differ, 0);
    }

    void formulas_data() {
        QTest::addColumn<QByteArray>("tokens");
        QTest::addColumn<QString>("expected");
        QTest::newRow("add") << integer(1) + num(0.5) + op(0x03) << "1.5";
        QTest::newRow("numeric text") << ref(1, 0) + integer(1) + op(0x03) << "4";
        QTest::newRow("text is no number") << ref(4, 0) + integer(1) + op(0x03) << "#VALUE!";
        QTest::newRow("empty is 0") << ref(2, 0) + integer(5) + op(0x03) << "5";
        QTest::newRow("bool is 1") << ref(3, 0) + integer(5) + op(0x05) << "5";
        QTest::newRow("divide by 0") << integer(1) + integer(0) + op(0x06) << "#DIV/0!";
        QTest::newRow("power") << integer(2) + integer(10) + op(0x07) << "1024";
        QTest::newRow("0^0") << integer(0) + integer(0) + op(0x07) << "#NUM!";
        QTest::newRow("concat") << str(QStringLiteral("a")) + num(1.5) + op(0x08) << "\"a1.5\"";
        QTest::newRow("text compare ignores case")
            << str(QStringLiteral("ABC")) + ref(4, 0) + op(0x0B) << "TRUE";
        QTest::newRow("number below text")
            << integer(9) + str(QStringLiteral("1")) + op(0x09) << "TRUE";
        QTest::newRow("empty equals 0") << ref(2, 0) + integer(0) + op(0x0B) << "TRUE";
        QTest::newRow("unary minus") << integer(3) + op(0x13) << "-3";
        QTest::newRow("percent") << integer(50) + op(0x14) << "0.5";
        QTest::newRow("error wins") << integer(1) + QByteArray("\x1C\x2A", 2) + op(0x03) << "#N/A";
        QTest::newRow("sum skips text in ranges")
            << area(0, 0, 4, 1) + QByteArray("\x19\x10\x00\x00", 4) << "8";
        QTest::newRow("sum converts direct text")
            << str(QStringLiteral("3")) + funcVar(4, 1) << "3";
        QTest::newRow("range intersection")
            << area(0, 0, 4, 0) + area(1, 0, 1, 3) + op(0x0F) << "\"3\"";
        QTest::newRow("empty intersection")
            << area(0, 0, 0, 0) + area(1, 1, 1, 1) + op(0x0F) << "#NULL!";
        QTest::newRow("no intersection") << area(0, 1, 2, 1, 0x45) << "#VALUE!";
        QTest::newRow("implicit intersection")
            << area(8, 1, 12, 1, 0x45) + integer(1) + op(0x03) << "1";
        QTest::newRow("other sheet") << ref3d(0, 0, 0) + integer(1) + op(0x03) << "11";
        QTest::newRow("round half away") << num(2.675) + integer(2) + func(27) << "2.68";
        QTest::newRow("rounddown decimal")
            << num(0.29) + integer(100) + op(0x05) + integer(0) + func(213) << "29";
        QTest::newRow("roundup negative") << num(-1.21) + integer(1) + func(212) << "-1.3";
        QTest::newRow("if false branch")
            << integer(0) + integer(1) + integer(2) + funcVar(1, 3) << "2";
        QTest::newRow("if without else") << integer(0) + integer(1) + funcVar(1, 2) << "FALSE";
        QTest::newRow("iserror") << integer(1) + integer(0) + op(0x06) + func(3) << "TRUE";
        QTest::newRow("vlookup exact")
            << integer(2) + area(0, 1, 2, 1) + integer(1) + integer(0) + funcVar(102, 4) << "2";
        QTest::newRow("vlookup missing")
            << integer(7) + area(0, 1, 2, 1) + integer(1) + integer(0) + funcVar(102, 4) << "#N/A";
        QTest::newRow("match approximate") << num(2.5) + area(0, 1, 2, 1) + funcVar(64, 2) << "2";
        QTest::newRow("index") << area(0, 1, 2, 1) + integer(3) + funcVar(29, 2) << "3";
        QTest::newRow("countif") << area(0, 1, 2, 1) + str(QStringLiteral(">1")) + func(346) << "2";
        QTest::newRow("sumif") << area(0, 1, 2, 1) + str(QStringLiteral("<>2")) + funcVar(345, 2)
                               << "4";
        QTest::newRow("sumproduct")
            << area(0, 1, 2, 1, 0x65) + area(0, 1, 2, 1, 0x65) + funcVar(228, 2) << "14";
        QTest::newRow("mid") << str(QStringLiteral("評点明細")) + integer(2) + integer(2) + func(31)
                             << "\"点明\"";
        QTest::newRow("text format")
            << num(1234.5) + str(QStringLiteral("#,##0.00")) + func(48) << "\"1,234.50\"";
        QTest::newRow("date") << integer(2024) + integer(13) + integer(1) + func(65) << "45658";
        QTest::newRow("datedif") << integer(2024) + integer(1) + integer(15) + func(65) +
                                        integer(2024) + integer(3) + integer(14) + func(65) +
                                        str(QStringLiteral("M")) + func(351)
                                 << "1";
        QTest::newRow("choose") << integer(2) + integer(7) + integer(8) + funcVar(100, 3) << "8";
        QTest::newRow("trim") << str(QStringLiteral("  a   b ")) + func(118) << "\"a b\"";
        QTest::newRow("and of range") << area(0, 1, 2, 1) + funcVar(36, 1) << "TRUE";
        QTest::newRow("average") << area(0, 1, 2, 1) + funcVar(5, 1) << "2";
        QTest::newRow("sqrt negative") << integer(4) + op(0x13) + func(20) << "#NUM!";
        QTest::newRow("mod sign of divisor")
            << integer(5) + integer(3) + op(0x13) + func(39) << "-1";
        QTest::newRow("isblank") << ref(2, 0) + func(129) << "TRUE";
        QTest::newRow("len") << str(QStringLiteral("ｱｲｳ")) + func(32) << "3";
    }
    // Operators, coercions, error values and functions over the cells of a small workbook.
    void formulas() {
        QFETCH(QByteArray, tokens);
        QFETCH(QString, expected);
        Workbook book = sampleBook();
        book.sheets[0].setCell(9, formulaCell(5, tokens, -1));
        FormulaEngine engine(book);
        const RecalcResult r = engine.recalculateAll();
        QCOMPARE(r.evaluated, 1);
        const Cell* c = book.sheets[0].cell(9, 5);
        QVERIFY(c);
        QCOMPARE(resultText(*c), expected);
    }

    void typedFormulas_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown"); // the formula's text read back
        QTest::addColumn<QString>("expected");
        QTest::newRow("sum") << "=A1+B1*2"
                             << "=A1+B1*2"
                             << "4";
        QTest::newRow("full width") << "＝Ａ１＋Ｂ２"
                                    << "=A1+B2"
                                    << "4";
        QTest::newRow("absolute") << "=$A$1*B$3"
                                  << "=$A$1*B$3"
                                  << "6";
        QTest::newRow("parentheses") << "=(A1+B1)*2"
                                     << "=(A1+B1)*2"
                                     << "6";
        QTest::newRow("unary minus and power") << "=-2^2"
                                               << "=-2^2"
                                               << "4";
        QTest::newRow("percent") << "=50%"
                                 << "=50%"
                                 << "0.5";
        QTest::newRow("area") << "=SUM(B1:B3)"
                              << "=SUM(B1:B3)"
                              << "6";
        QTest::newRow("whole column") << "=SUM(B:B)"
                                      << "=SUM(B:B)"
                                      << "6";
        QTest::newRow("other sheet") << "=補正!A1+1"
                                     << "=補正!A1+1"
                                     << "11";
        QTest::newRow("quoted sheet") << "='補正'!A1*2"
                                      << "=補正!A1*2"
                                      << "20";
        QTest::newRow("string") << "=\"合計\"&\"：\"&B3"
                                << "=\"合計\"&\"：\"&B3"
                                << "\"合計：3\"";
        QTest::newRow("quote in string") << "=\"a\"\"b\""
                                         << "=\"a\"\"b\""
                                         << "\"a\"b\"";
        QTest::newRow("booleans") << "=TRUE=FALSE"
                                  << "=TRUE=FALSE"
                                  << "FALSE";
        QTest::newRow("comparison") << "=A1<>B1"
                                    << "=A1<>B1"
                                    << "TRUE";
        QTest::newRow("error literal") << "=#N/A"
                                       << "=#N/A"
                                       << "#N/A";
        QTest::newRow("if") << "=IF(A1>1,\"大\",\"小\")"
                            << "=IF(A1>1,\"大\",\"小\")"
                            << "\"大\"";
        QTest::newRow("round") << "=ROUND(B3/7,2)"
                               << "=ROUND(B3/7,2)"
                               << "0.43";
        QTest::newRow("missing argument") << "=IF(A1>5,1,)"
                                          << "=IF(A1>5,1,)"
                                          << "0";
        QTest::newRow("vlookup") << "=VLOOKUP(2,B1:B3,1,FALSE)"
                                 << "=VLOOKUP(2,B1:B3,1,FALSE)"
                                 << "2";
        QTest::newRow("name") << "=率*2"
                              << "=率*2"
                              << "20";
        QTest::newRow("lower case") << "=sum(b1:b2)"
                                    << "=SUM(B1:B2)"
                                    << "3";
        QTest::newRow("spaces") << "= A1 + 1"
                                << "=A1+1"
                                << "3";
        QTest::newRow("large number") << "=1.5E+20"
                                      << "=1.5E+20"
                                      << "1.5e+20";
    }
    // A typed formula becomes tokens that calculate, show as the formula's text, and save
    // and read back as the same formula with its result.
    void typedFormulas() {
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QFETCH(QString, expected);
        Workbook book = sampleBook();
        book.externSheets.clear();
        DefinedName rate;
        rate.name = QStringLiteral("率");
        rate.tokens = QByteArray(1, char(0x3A)) + u16(0) + u16(0) + u16(0);
        book.externSheets.push_back({1, 1});
        book.definedNames.push_back(rate);
        QString error;
        const std::optional<Formula> f = parseFormula(book, 0, typed, error);
        QVERIFY2(f, qPrintable(error));
        Cell c = numberCell(5, 0);
        c.formula = std::make_shared<Formula>(*f);
        book.sheets[0].setCell(9, c);
        FormulaEngine engine(book);
        engine.cellsChanged(0, {{9, 9, 5, 5}});
        QCOMPARE(resultText(*book.sheets[0].cell(9, 5)), expected);
        QCOMPARE(formulaText(book, 0, 9, 5), shown);
        const Workbook back = loadWorkbookBytes(saveWorkbookBytes(book), QStringLiteral("t.xls"));
        QCOMPARE(formulaText(back, 0, 9, 5), shown);
        QCOMPARE(resultText(*back.sheets[0].cell(9, 5)), expected);
        QCOMPARE(checkRecalculation(back).differ, 0);
    }

    void formulaMistakes_data() {
        QTest::addColumn<QString>("typed");
        QTest::newRow("open parenthesis") << "=SUM(A1";
        QTest::newRow("two operators") << "=A1**2";
        QTest::newRow("unknown function") << "=NOSUCH(1)";
        QTest::newRow("not calculated function") << "=NPV(1,2)";
        QTest::newRow("argument count") << "=ROUND(1)";
        QTest::newRow("unknown sheet") << "=どこにもない!A1";
        QTest::newRow("unknown name") << "=金額*2";
        QTest::newRow("open string") << "=\"abc";
        QTest::newRow("nothing after operator") << "=A1+";
        QTest::newRow("bad reference") << "=補正!ZZ1";
        QTest::newRow("trailing") << "=1)";
        QTest::newRow("deep nesting") << QString(
            QStringLiteral("=") + QString(20000, QLatin1Char('(')) + QStringLiteral("1"));
        QTest::newRow("many signs") << QString(
            QStringLiteral("=") + QString(20000, QLatin1Char('-')) + QStringLiteral("1"));
    }
    // A formula with a mistake gives a message and leaves the workbook as it was.
    void formulaMistakes() {
        QFETCH(QString, typed);
        Workbook book = sampleBook();
        const std::vector<ExternSheet> before = book.externSheets;
        QString error;
        QVERIFY(!parseFormula(book, 0, typed, error));
        QVERIFY(!error.isEmpty());
        QVERIFY(book.externSheets == before);
    }

    // Formulas typed into an Excel 95 workbook are written in its own tokens and reach the
    // saved Excel 97 file with their results.
    void typedFormulaInOlderWorkbook() {
        const QString path = shared() + QStringLiteral("/sample-sheets/hyoten_heisei10_biff5.xls");
        if (!QFile::exists(path)) QSKIP("the sample sheets are absent");
        Workbook book = loadWorkbookFile(path);
        QCOMPARE(book.biffVersion, 5);
        QString error;
        const QString typed = QStringLiteral("=J6+K6&\"㎡\"");
        const std::optional<Formula> f = parseFormula(book, 0, typed, error);
        QVERIFY2(f, qPrintable(error));
        Cell c = numberCell(12, 0);
        c.formula = std::make_shared<Formula>(*f);
        book.sheets[0].setCell(5, c);
        FormulaEngine engine(book);
        engine.cellsChanged(0, {{5, 5, 12, 12}});
        QCOMPARE(resultText(*book.sheets[0].cell(5, 12)), QStringLiteral("\"91.05㎡\""));
        QCOMPARE(formulaText(book, 0, 5, 12), typed);
        const Workbook back = loadWorkbookBytes(saveWorkbookBytes(book), QStringLiteral("t.xls"));
        QCOMPARE(formulaText(back, 0, 5, 12), typed);
        QCOMPARE(checkRecalculation(back).differ, 0);
    }

    // A formula that refers to itself through another keeps its value, and the calculation
    // ends; formulas reading the cycle are still calculated from the kept values.
    void circularReferenceEnds() {
        Workbook book = sampleBook();
        Sheet& s = book.sheets[0];
        s.setCell(10, formulaCell(0, ref(11, 0) + integer(1) + op(0x03), 5)); // A11 = A12+1
        s.setCell(11, formulaCell(0, ref(10, 0) + integer(1) + op(0x03), 6)); // A12 = A11+1
        s.setCell(12, formulaCell(0, ref(11, 0) + integer(2) + op(0x05), 0)); // A13 = A12*2
        s.setCell(13, formulaCell(0, ref(13, 0), 7));                         // A14 = A14
        FormulaEngine engine(book);
        RecalcResult r = engine.recalculateAll();
        QVERIFY(r.circular);
        QCOMPARE(numberAt(book, 0, 10, 0), 5.0);
        QCOMPARE(numberAt(book, 0, 11, 0), 6.0);
        QCOMPARE(numberAt(book, 0, 13, 0), 7.0);
        QCOMPARE(numberAt(book, 0, 12, 0), 12.0);
        r = engine.cellsChanged(0, {{0, 0, 0, 0}}); // nothing reads A1
        QVERIFY(!r.circular);
        QCOMPARE(r.evaluated, 0);
    }

    // An edit calculates the formulas that read the cell, directly or not, and no others;
    // a formula on another sheet follows.
    void editsReachDependentsOnly() {
        Workbook book = sampleBook();
        Sheet& s = book.sheets[0];
        s.setCell(0, formulaCell(3, ref(0, 1) + integer(10) + op(0x05))); // D1 = B1*10
        s.setCell(1, formulaCell(3, ref(0, 3) + integer(1) + op(0x03)));  // D2 = D1+1
        s.setCell(2, formulaCell(3, ref(1, 1) + integer(1) + op(0x03)));  // D3 = B2+1
        book.externSheets.push_back({0, 0});
        book.sheets[1].setCell(1,
                               formulaCell(0, ref3d(1, 1, 3) + integer(2) + op(0x05))); // 補正!A2
        FormulaEngine engine(book);
        engine.recalculateAll();
        QCOMPARE(numberAt(book, 1, 1, 0), 22.0);
        s.setCell(0, numberCell(1, 5)); // B1
        const RecalcResult r = engine.cellsChanged(0, {{0, 0, 1, 1}});
        QCOMPARE(r.evaluated, 3); // D1, D2, 補正!A2; not D3
        QCOMPARE(numberAt(book, 0, 0, 3), 50.0);
        QCOMPARE(numberAt(book, 0, 1, 3), 51.0);
        QCOMPARE(numberAt(book, 1, 1, 0), 102.0);
        QCOMPARE(r.changed.size(), size_t(3));
    }

    // A defined name is evaluated where it is used; a function the engine does not know
    // leaves the stored result.
    void namesAndUnsupportedFunctions() {
        Workbook book = sampleBook();
        DefinedName rate;
        rate.name = QStringLiteral("率");
        rate.tokens = ref3d(0, 0, 0); // 補正!A1
        book.definedNames.push_back(rate);
        Sheet& s = book.sheets[0];
        s.setCell(
            0, formulaCell(4, QByteArray(1, char(0x43)) + u16(1) + u16(0) + integer(3) + op(0x05)));
        s.setCell(1, formulaCell(4, integer(1) + funcVar(11, 1), 42)); // NPV: not evaluated
        FormulaEngine engine(book);
        engine.recalculateAll();
        QCOMPARE(numberAt(book, 0, 0, 4), 30.0);
        QCOMPARE(numberAt(book, 0, 1, 4), 42.0);
        book.sheets[1].setCell(0, numberCell(0, 20));
        engine.cellsChanged(1, {{0, 0, 0, 0}});
        QCOMPARE(numberAt(book, 0, 0, 4), 60.0);
    }
};

QTEST_GUILESS_MAIN(TestCalc)
#include "test_calc.moc"
