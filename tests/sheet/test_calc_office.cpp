// A recalculated detail sheet with typed formulas, written by us and opened in LibreOffice
// (where installed): LibreOffice shows the same values as our control.

#include "sheet/calc.h"
#include "sheet/celltext.h"
#include "sheet/xlsreader.h"
#include "sheet/xlswriter.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace tovera;

class TestCalcOffice : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void officeReadsRecalculatedValues() {
        const QString sample = QStringLiteral(TOVERA_SHARED "/sample-sheets/hyoten_mokuzou_2f.xls");
        if (!QFile::exists(sample)) QSKIP("the sample sheets are absent");
        Workbook book = loadWorkbookFile(sample);
        FormulaEngine engine(book);
        Cell h13 = *book.sheets[0].cell(12, 7);
        h13.number = 200;
        book.sheets[0].setCell(12, h13);
        engine.cellsChanged(0, {{12, 12, 7, 7}});
        QString error;
        for (const auto& [column, typed] : std::vector<std::pair<int, QString>>{
                 {12, QStringLiteral("=J6+K6*2")}, {13, QStringLiteral("=補正!B3/100")}}) {
            const std::optional<Formula> f = parseFormula(book, 0, typed, error);
            QVERIFY2(f, qPrintable(error));
            Cell c;
            c.column = uint16_t(column);
            c.xf = 15;
            c.formula = std::make_shared<Formula>(*f);
            book.sheets[0].setCell(5, c);
        }
        engine.formulasChanged();
        engine.cellsChanged(0, {{5, 5, 12, 13}});
        const QStringList expected = {CellText(book, 1, 6, 5), CellText(book, 1, 13, 10),
                                      CellText(book, 1, 6, 13), CellText(book, 1, 6, 14)};
        QCOMPARE(expected[2], QStringLiteral("158.98"));

        const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
        if (soffice.isEmpty())
            QSKIP("LibreOffice (soffice) is not installed: the check with a real spreadsheet "
                  "program is skipped");
        QTemporaryDir dir;
        const QString ours = dir.filePath(QStringLiteral("ours.xls"));
        saveWorkbookFile(book, ours, kFileTypeExcel97);
        QProcess p;
        p.start(soffice, QStringList{QStringLiteral("-env:UserInstallation=file://") +
                                         dir.filePath(QStringLiteral("profile")),
                                     QStringLiteral("--headless"), QStringLiteral("--norestore"),
                                     QStringLiteral("--infilter=MS Excel 97"),
                                     QStringLiteral("--convert-to"),
                                     QStringLiteral("csv:Text - txt - csv (StarCalc):44,34,76,1"),
                                     QStringLiteral("--outdir"), dir.path(), ours});
        QVERIFY(p.waitForFinished(180000));
        QFile csv(dir.filePath(QStringLiteral("ours.csv")));
        QVERIFY2(csv.open(QIODevice::ReadOnly), "LibreOffice could not open our workbook");
        const QList<QByteArray> lines = csv.readAll().split('\n');
        QVERIFY(lines.size() > 13);
        const QString row6 = QString::fromUtf8(lines[5]), row13 = QString::fromUtf8(lines[12]);
        QVERIFY2(row6.contains(expected[0]), qPrintable(row6));
        QVERIFY2(row13.contains(expected[1]), qPrintable(row13));
        QVERIFY2(row6.contains(expected[2]), qPrintable(row6));
        QVERIFY2(row6.contains(expected[3]), qPrintable(row6));
    }
};

QTEST_GUILESS_MAIN(TestCalcOffice)
#include "test_calc_office.moc"
