// CellText: the text each cell shows, on the sample detail sheets and on built workbooks.

#include "platform/errors.h"
#include "sheet/celltext.h"
#include "sheet/xlsreader.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace tovera;

namespace {

QString sample(const QString& name) {
    return QStringLiteral(TOVERA_SHARED) + QStringLiteral("/sample-sheets/") + name;
}

// A workbook with one extra cell format of number format `code`, returned as its index.
int addFormat(Workbook& book, const QString& code) {
    const uint16_t id = uint16_t(164 + book.numberFormats.size());
    book.numberFormats[id] = code;
    CellFormat x;
    x.numberFormat = id;
    book.xfs.push_back(x);
    return int(book.xfs.size()) - 1;
}

} // namespace

class TestCellText : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void sampleSheets_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("text");
        const QString m = QStringLiteral("hyoten_mokuzou_2f.xls");
        const QString f = QStringLiteral("hyoten_fuzokuka_ari.xls");
        const QString s = QStringLiteral("hyoten_shimei_nomi.xls");
        const QString b = QStringLiteral("hyoten_heisei10_biff5.xls");
        QTest::newRow("owner") << m << 4 << 4 << QStringLiteral("山路　千代子");
        QTest::newRow("points #,##0 formula") << m << 6 << 5 << QStringLiteral("86,806");
        QTest::newRow("area 0.00") << m << 6 << 10 << QStringLiteral("62.10");
        QTest::newRow("area sum formula") << m << 6 << 12 << QStringLiteral("110.54");
        QTest::newRow("bordered empty G6") << m << 6 << 7 << QString();
        QTest::newRow("survey date 年月日") << m << 2 << 10 << QStringLiteral("2024年1月15日");
        QTest::newRow("building date 年月") << m << 6 << 6 << QStringLiteral("2009年3月");
        QTest::newRow("multi-line label") << m << 5 << 5 << QStringLiteral("評点数\n（㎡当り）");
        QTest::newRow("annex owner") << f << 4 << 4 << QStringLiteral("宮﨑　健太郎");
        QTest::newRow("annex points typed") << f << 6 << 5 << QStringLiteral("77,842");
        QTest::newRow("annex mark") << f << 6 << 7 << QStringLiteral("有");
        QTest::newRow("annex total") << f << 6 << 11 << QStringLiteral("125.86");
        QTest::newRow("name only") << s << 4 << 4 << QStringLiteral("髙橋　ミツ");
        QTest::newRow("name only empty points") << s << 6 << 5 << QString();
        QTest::newRow("Excel 95 owner") << b << 4 << 4 << QStringLiteral("髙﨑　房江");
        QTest::newRow("Excel 95 points") << b << 6 << 5 << QStringLiteral("62,905");
        QTest::newRow("Excel 95 total") << b << 6 << 12 << QStringLiteral("91.05");
        QTest::newRow("far away") << m << 65536 << 256 << QString();
    }
    void sampleSheets() {
        QFETCH(QString, file);
        QFETCH(int, row);
        QFETCH(int, column);
        QFETCH(QString, text);
        if (!QFile::exists(sample(file))) QSKIP("the shared sample sheets are absent");
        const Workbook book = loadWorkbookFile(sample(file));
        QCOMPARE(CellText(book, 1, row, column), text);
    }

    void valuesOfEachKind() {
        Workbook book = Workbook::createDefault();
        Sheet& sheet = book.sheets.front();
        const int dateXf = addFormat(book, QStringLiteral("yyyy/m/d"));
        const int textXf = addFormat(book, QStringLiteral("0;-0;0;\"【\"@\"】\""));
        auto put = [&](int row, Cell c) { sheet.setCell(row - 1, c); };
        Cell t;
        t.type = CellType::Text;
        t.text = QStringLiteral(" 空白付き ");
        t.xf = 15;
        put(1, t);
        Cell n;
        n.type = CellType::Number;
        n.number = 1.0 / 3;
        n.xf = 15;
        put(2, n);
        Cell d = n;
        d.number = 45306;
        d.xf = uint16_t(dateXf);
        put(3, d);
        Cell yes;
        yes.type = CellType::Bool;
        yes.boolValue = true;
        put(4, yes);
        Cell no = yes;
        no.boolValue = false;
        put(5, no);
        Cell err;
        err.type = CellType::Error;
        err.errorCode = 0x2A;
        put(6, err);
        Cell framed = t;
        framed.text = QStringLiteral("名前");
        framed.xf = uint16_t(textXf);
        put(7, framed);
        Cell blank;
        blank.xf = 15;
        put(8, blank);
        Cell badXf = n;
        badXf.number = 2.5;
        badXf.xf = 9999; // an index past the formats: General
        put(9, badXf);

        QCOMPARE(CellText(book, 1, 1, 1), QStringLiteral(" 空白付き "));
        QCOMPARE(CellText(book, 1, 2, 1), QStringLiteral("0.333333333"));
        QCOMPARE(CellText(book, 1, 3, 1), QStringLiteral("2024/1/15"));
        QCOMPARE(CellText(book, 1, 4, 1), QStringLiteral("TRUE"));
        QCOMPARE(CellText(book, 1, 5, 1), QStringLiteral("FALSE"));
        QCOMPARE(CellText(book, 1, 6, 1), QStringLiteral("#N/A"));
        QCOMPARE(CellText(book, 1, 7, 1), QStringLiteral("【名前】"));
        QCOMPARE(CellText(book, 1, 8, 1), QString());
        QCOMPARE(CellText(book, 1, 9, 1), QStringLiteral("2.5"));
        QCOMPARE(CellText(book, 1, 10, 1), QString());

        book.dateSystem1904 = true;
        QCOMPARE(CellText(book, 1, 3, 1), QStringLiteral("2028/1/16"));
    }

    void outsideTheWorkbook_data() {
        QTest::addColumn<int>("sheet");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");
        QTest::newRow("sheet 0") << 0 << 1 << 1;
        QTest::newRow("sheet 2 of 1") << 2 << 1 << 1;
        QTest::newRow("row 0") << 1 << 0 << 1;
        QTest::newRow("column 0") << 1 << 1 << 0;
        QTest::newRow("row 65537") << 1 << 65537 << 1;
        QTest::newRow("column 257") << 1 << 1 << 257;
    }
    void outsideTheWorkbook() {
        QFETCH(int, sheet);
        QFETCH(int, row);
        QFETCH(int, column);
        const Workbook book = Workbook::createDefault();
        QVERIFY_THROWS_EXCEPTION(EOleException, CellText(book, sheet, row, column));
    }
    void textAndConvertCommands() {
        const QString cli = QStringLiteral(TOVERA_BIN_DIR "/tovera-cli");
        const QString file = sample(QStringLiteral("hyoten_mokuzou_2f.xls"));
        if (!QFile::exists(cli)) QSKIP("tovera-cli is not built");
        if (!QFile::exists(file)) QSKIP("the shared sample sheets are absent");
        auto run = [&](const QStringList& args, QByteArray* out = nullptr) {
            QProcess p;
            p.start(cli, QStringList{QStringLiteral("sheet")} + args);
            p.waitForFinished(60000);
            if (out) *out = p.readAllStandardOutput();
            return p.exitCode();
        };
        QByteArray text;
        QCOMPARE(run({QStringLiteral("text"), file}, &text), 0);
        const QList<QByteArray> lines = text.split('\n');
        QVERIFY(lines.contains(QStringLiteral("4\t4\t山路　千代子").toUtf8()));
        QVERIFY(lines.contains(QByteArray("6\t5\t86,806")));
        QVERIFY(lines.contains(QByteArray("6\t12\t110.54")));
        QVERIFY(lines.contains(QStringLiteral("5\t5\t評点数\\n（㎡当り）").toUtf8()));
        QVERIFY(!text.contains("\n6\t7\t")); // the bordered empty G6 is not listed

        QTemporaryDir dir;
        const QString out = dir.filePath(QStringLiteral("out.xls"));
        QCOMPARE(run({QStringLiteral("convert"), file, out}), 0);
        QByteArray again;
        QCOMPARE(run({QStringLiteral("text"), out}, &again), 0);
        QCOMPARE(again, text);
        QCOMPARE(run({QStringLiteral("convert"), dir.filePath(QStringLiteral("none.xls")), out}),
                 1);
        QCOMPARE(run({QStringLiteral("convert"), file}), 2);
        QCOMPARE(run({QStringLiteral("text")}), 2);
    }
};

QTEST_GUILESS_MAIN(TestCellText)
#include "test_celltext.moc"
