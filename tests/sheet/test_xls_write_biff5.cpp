// Formulas of Excel 5/95 workbooks saved as Excel 97: references, strings in the workbook's
// code page, the jumps of IF and CHOOSE and reference sub-expressions in the new token
// sizes; what cannot be converted keeps its value; a real spreadsheet program calculates
// the converted formulas.

#include "formula_support.h"
#include "office_support.h"
#include "sheet/xlsreader.h"
#include "sheet/xlswriter.h"
#include "sheet/xlswriter_internal.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace tovera;
using namespace tovera::testing;

namespace {

// The XTIs of sheet ranges in the conversion tests: sheet 1 is 3, sheets 1-2 are 4.
int sheets(int first, int last) {
    return first == 0 && last == 0 ? 3 : first == 0 && last == 1 ? 4 : -1;
}

QByteArray hex(const char* text) {
    return QByteArray::fromHex(QByteArray(text));
}

// IF(A1>1, "大きい", "小") in BIFF5 tokens (strings in code page 932).
QByteArray ifTokens() {
    const QByteArray big = QByteArray("\x17\x06", 2) + QByteArray("\x91\xe5\x82\xab\x82\xa2", 6);
    const QByteArray small = QByteArray("\x17\x02", 2) + QByteArray("\x8f\xac", 2);
    // condition (A1 relative, 1, >) then tAttrIf over the true branch and its skip
    return hex("4400c000") + hex("1e0100") + hex("0d") + hex("1902") + QByteArray("\x0c\x00", 2) +
           big + hex("19080b00") + small + hex("19080300") + hex("42030100");
}

} // namespace

class TestXlsWriteBiff5 : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void converts_data() {
        QTest::addColumn<QByteArray>("biff5");
        QTest::addColumn<QByteArray>("biff8");
        QTest::newRow("relative reference") << hex("4405c001") << hex("44050001c0");
        QTest::newRow("absolute area") << hex("25010005c00002") << hex("2501000500000002c0");
        QTest::newRow("row only relative") << hex("24038002") << hex("2403000280");
        QTest::newRow("deleted references")
            << hex("2a0000002b000000000000") << hex("2a000000002b0000000000000000");
        QTest::newRow("numbers and operators")
            << hex("1e07001f000000000000f83f05131c07") << hex("1e07001f000000000000f83f05131c07");
        QTest::newRow("functions")
            << hex("4400c000210f00420201001d01") << hex("44000000c0210f00420201001d01");
        QTest::newRow("string in code page 932")
            << hex("170482a082a2") << hex("170201") + QByteArray("\x42\x30\x44\x30", 4);
        QTest::newRow("Latin string stays 8-bit") << hex("1703616263") << hex("170300616263");
        // The jumps of IF and CHOOSE are measured again over the wider references.
        QTest::newRow("IF") << hex("4407c001190208002409c00219080b002409c0031908030042030100")
                            << hex("44070001c0190209002409000"
                                   "2c019080c0024090003c01908030042030100");
        QTest::newRow("CHOOSE") << hex("1e0200190402000600"
                                       "0e001600"
                                       "4400c00019080b004401c0001908030042036400")
                                << hex("1e0200190402000600"
                                       "0f001800"
                                       "44000000c019080c0044010000c01908030042036400");
        QTest::newRow("reference sub-expression")
            << hex("2904004400c000") << hex("29050044000000c0");
        QTest::newRow("volatile marker") << hex("19010000") << hex("19010000");
        // 3-D references (sheets numbered as the model's) take the file's XTI.
        QTest::newRow("3-D reference")
            << hex("5affff00000000000000000000000018c009") << hex("5a0300180009c0");
        QTest::newRow("3-D area over two sheets")
            << hex("3bfeff000000000000000000000100010005000002") << hex("3b04000100050000000200");
        QTest::newRow("deleted 3-D area")
            << hex("3dffff000000000000000000000000000000000000") << hex("3d03000000000000000000");
    }
    void converts() {
        QFETCH(QByteArray, biff5);
        QFETCH(QByteArray, biff8);
        const biff::CodepageDecoder decoder(932);
        QByteArray out;
        QVERIFY(xlswrite::convertBiff5Tokens(biff5, {}, decoder, sheets, out));
        QCOMPARE(out.toHex(), biff8.toHex());
    }

    void refuses_data() {
        QTest::addColumn<QByteArray>("biff5");
        QTest::addColumn<QByteArray>("extra");
        QTest::newRow("empty") << QByteArray() << QByteArray();
        QTest::newRow("name") << hex("2301000000000000000000000000") << QByteArray();
        QTest::newRow("3-D reference elsewhere")
            << hex("5a000000000000000000000000000018c009") << QByteArray();
        QTest::newRow("3-D reference to sheets not written")
            << hex("5affff00000000000000000200020018c009") << QByteArray();
        QTest::newRow("cut-off 3-D reference")
            << hex("5affff00000000000000000000000018c0") << QByteArray();
        QTest::newRow("array constant") << hex("4000000000000000") << hex("000000");
        QTest::newRow("any extra data") << hex("1e0100") << hex("00");
        QTest::newRow("array cell") << hex("0100000000") << QByteArray();
        QTest::newRow("shared reference") << hex("4c0000c0") << QByteArray();
        QTest::newRow("unknown token") << hex("ff") << QByteArray();
        QTest::newRow("cut-off reference") << hex("4405c0") << QByteArray();
        QTest::newRow("cut-off string") << hex("170561") << QByteArray();
        QTest::newRow("cut-off jump table") << hex("1e02001904050001000200") << QByteArray();
        QTest::newRow("jump into a token") << hex("4407c00119020100"
                                                  "2409c002")
                                           << QByteArray();
        QTest::newRow("jump past the end") << hex("190801ff") << QByteArray();
    }
    void refuses() {
        QFETCH(QByteArray, biff5);
        QFETCH(QByteArray, extra);
        const biff::CodepageDecoder decoder(932);
        QByteArray out;
        QVERIFY(!xlswrite::convertBiff5Tokens(biff5, extra, decoder, sheets, out));
        QVERIFY(!xlswrite::convertBiff5Tokens(biff5, extra, decoder, {}, out));
    }

    // An Excel 95 workbook saved again keeps its formulas; those that cannot be converted
    // keep their values.
    void workbookKeepsItsFormulas() {
        Workbook book = Workbook::createDefault();
        book.biffVersion = 5;
        book.codepage = 932;
        Sheet& s = book.sheets.front();
        setNumber(s, 0, 0, 5);
        setNumber(s, 1, 0, 7);
        setNumber(s, 0, 1, 12, hex("4400c0004401c00003"));          // B1 =A1+A2
        setNumber(s, 1, 1, 3, hex("2301000000000000000000000000")); // a name: value only
        Cell text;
        text.type = CellType::Text;
        text.text = QStringLiteral("大きい");
        text.column = 2;
        text.formula = formula(ifTokens());
        s.setCell(0, text);
        const Workbook again = loadWorkbookBytes(saveWorkbookBytes(book), QStringLiteral("w"));
        const Sheet& t = again.sheets.front();
        QVERIFY(t.cell(0, 1)->formula);
        QCOMPARE(t.cell(0, 1)->formula->tokens.toHex(), hex("44000000c044010000c003").toHex());
        QCOMPARE(t.cell(0, 1)->number, 12.0);
        QVERIFY(!t.cell(1, 1)->formula);
        QCOMPARE(t.cell(1, 1)->number, 3.0);
        QVERIFY(t.cell(0, 2)->formula);
        QCOMPARE(t.cell(0, 2)->text, QStringLiteral("大きい"));
    }

    // The Excel 95 sample sheet keeps every formula, its reference to the first sheet from
    // the second included, with its value.
    void sampleSheetKeepsItsFormulas() {
        const QString path =
            QStringLiteral(TOVERA_SHARED "/sample-sheets/hyoten_heisei10_biff5.xls");
        if (!QFile::exists(path)) QSKIP("the shared sample sheets are absent");
        const Workbook book = loadWorkbookFile(path);
        QCOMPARE(book.biffVersion, 5);
        const Workbook again = loadWorkbookBytes(saveWorkbookBytes(book), QStringLiteral("w"));
        int formulas = 0, crossSheet = 0;
        for (size_t s = 0; s < book.sheets.size(); ++s)
            for (const Row& r : book.sheets[s].rows)
                for (const Cell& c : r.cells) {
                    const Cell* d = again.sheets[s].cell(r.index, c.column);
                    QVERIFY(d);
                    QCOMPARE(d->type, c.type);
                    QCOMPARE(d->number, c.number);
                    QCOMPARE(d->text, c.text);
                    if (!c.formula) continue;
                    ++formulas;
                    QVERIFY(d->formula);
                    if (uint8_t(d->formula->tokens[0]) == 0x5A) {
                        ++crossSheet;
                        QCOMPARE(s, size_t(1));
                        const int xti = uint8_t(d->formula->tokens[1]);
                        QCOMPARE(again.externSheets[size_t(xti)].firstSheet, 0);
                        QCOMPARE(again.externSheets[size_t(xti)].lastSheet, 0);
                    }
                }
        QCOMPARE(formulas, 67);
        QCOMPARE(crossSheet, 1);
        QCOMPARE(again.sheets[0].pageSetup.printArea, book.sheets[0].pageSetup.printArea);
        QCOMPARE(again.sheets[1].pageSetup.printArea, book.sheets[1].pageSetup.printArea);
    }

    // A real spreadsheet program calculates the converted formulas (the stored results are
    // wrong on purpose), and shows the Excel 95 sample sheet as it shows the original.
    void officeCalculatesConvertedFormulas() {
        const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
        if (soffice.isEmpty())
            QSKIP("LibreOffice (soffice) is not installed: the check with a real spreadsheet "
                  "program is skipped");
        Workbook book = Workbook::createDefault();
        book.biffVersion = 5;
        book.codepage = 932;
        Sheet& s = book.sheets.front();
        setNumber(s, 0, 0, 5);
        setNumber(s, 1, 0, 7);
        setNumber(s, 0, 1, -1, hex("4400c0004401c00003")); // =A1+A2
        setNumber(s, 0, 2, -1, ifTokens());                // =IF(A1>1,"大きい","小")
        setNumber(s, 0, 3, -1,
                  hex("1e0200190402000600"
                      "0e001600"
                      "4400c00019080b004401c0001908030042036400")); // =CHOOSE(2,A1,A2)
        QTemporaryDir dir;
        QStringList inputs{dir.filePath(QStringLiteral("converted.xls"))};
        saveWorkbookFile(book, inputs[0], kFileTypeExcel97);
        addSampleAndOurCopy(
            dir, QStringLiteral(TOVERA_SHARED "/sample-sheets/hyoten_heisei10_biff5.xls"), inputs);
        QVERIFY(sheetsToCsv(soffice, dir, inputs));
        auto csv = [&](const QString& file) { return csvText(dir, file); };
        QCOMPARE(csv(QStringLiteral("converted-Sheet1.csv")),
                 QStringLiteral("5,12,大きい,7\n7,,,\n"));
        if (inputs.size() == 1) QSKIP("the shared sample sheets are absent");
        const QStringList originals =
            QDir(dir.path()).entryList({QStringLiteral("original-*.csv")}, QDir::Files);
        QVERIFY(!originals.isEmpty());
        for (const QString& f : originals) {
            const QString want = csv(f);
            QVERIFY(!want.isEmpty());
            QCOMPARE(csv(QStringLiteral("ours") + f.mid(8)), want);
        }
    }
};

QTEST_GUILESS_MAIN(TestXlsWriteBiff5)
#include "test_xls_write_biff5.moc"
