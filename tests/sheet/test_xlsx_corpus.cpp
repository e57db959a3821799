// Every .xlsx workbook of the shared corpus against its expected cells, the detail sheets
// saved as .xlsx against their .xls originals, and each .xlsx converted to .xls and read
// back with the same cells.

#include "platform/errors.h"
#include "sheet/celltext.h"
#include "sheet/xlsreader.h"
#include "sheet/xlsreader_cells.h"
#include "sheet/xlswriter.h"
#include "sheet/xlsxreader.h"

#include <QDir>
#include <QFile>
#include <QTest>

using namespace tovera;

namespace {

QString corpus() {
    return QStringLiteral(TOVERA_SHARED "/xlsx-corpus/");
}

QStringList expectedLines(const QString& path) {
    QFile f(path);
    QStringList out;
    if (!f.open(QIODevice::ReadOnly)) return out;
    for (const QString& line : QString::fromUtf8(f.readAll()).split(QLatin1Char('\n')))
        if (!line.isEmpty() && !line.startsWith(QLatin1Char('#'))) out.append(line);
    return out;
}

QString firstDifference(const QStringList& got, const QStringList& want) {
    for (qsizetype k = 0; k < std::min(got.size(), want.size()); ++k)
        if (got[k] != want[k])
            return QStringLiteral("line %1: %2, expected %3").arg(k + 2).arg(got[k], want[k]);
    if (got.size() != want.size())
        return QStringLiteral("%1 cells, expected %2").arg(got.size()).arg(want.size());
    return {};
}

void addCorpusRows() {
    QTest::addColumn<QString>("path");
    const QDir dir(corpus());
    const QStringList files = dir.entryList({QStringLiteral("*.xlsx")}, QDir::Files);
    for (const QString& f : files) QTest::newRow(qPrintable(f)) << dir.filePath(f);
    if (files.isEmpty()) QTest::newRow("absent") << QString();
}

} // namespace

class TestXlsxCorpus : public QObject {
    Q_OBJECT

private slots:
    void cells_data() { addCorpusRows(); }
    void cells();
    void convertedToXls_data() { addCorpusRows(); }
    void convertedToXls();
    void detailSheetTexts_data();
    void detailSheetTexts();
};

void TestXlsxCorpus::cells() {
    QFETCH(QString, path);
    if (path.isEmpty()) QSKIP("the shared .xlsx corpus is absent");
    Workbook book;
    try {
        book = loadAnyWorkbookFile(path);
    } catch (const Exception& e) {
        QFAIL(qPrintable(e.message()));
    }
    const QString diff = firstDifference(cellLines(book), expectedLines(path + ".cells.tsv"));
    QVERIFY2(diff.isEmpty(), qPrintable(diff));
}

void TestXlsxCorpus::convertedToXls() {
    QFETCH(QString, path);
    if (path.isEmpty()) QSKIP("the shared .xlsx corpus is absent");
    const Workbook book = loadAnyWorkbookFile(path);
    Workbook back;
    try {
        back = loadWorkbookBytes(saveWorkbookBytes(book), QStringLiteral("copy.xls"));
    } catch (const Exception& e) {
        QFAIL(qPrintable(e.message()));
    }
    const QString diff = firstDifference(cellLines(back), cellLines(book));
    QVERIFY2(diff.isEmpty(), qPrintable(diff));
    QCOMPARE(back.sheets.size(), book.sheets.size());
    for (size_t s = 0; s < book.sheets.size(); ++s) {
        QCOMPARE(back.sheets[s].name, book.sheets[s].name);
        QCOMPARE(back.sheets[s].merges.size(), book.sheets[s].merges.size());
    }
}

void TestXlsxCorpus::detailSheetTexts_data() {
    QTest::addColumn<QString>("name");
    for (const char* n : {"hyoten_fuzokuka_ari", "hyoten_heisei10", "hyoten_mokuzou_2f",
                          "hyoten_shimei_nomi"})
        QTest::newRow(n) << QString::fromLatin1(n);
}

void TestXlsxCorpus::detailSheetTexts() {
    QFETCH(QString, name);
    const QString xlsx = corpus() + name + ".xlsx";
    const QString xls = QStringLiteral(TOVERA_SHARED "/sample-sheets/") + name + ".xls";
    if (!QFile::exists(xlsx) || !QFile::exists(xls)) QSKIP("the detail sheets are absent");
    const Workbook a = loadAnyWorkbookFile(xlsx);
    const Workbook b = loadAnyWorkbookFile(xls);
    const std::pair<int, int> cells[] = {{4, 4},  {6, 5},  {6, 7}, {6, 9},
                                         {6, 10}, {6, 11}, {6, 12}};
    for (const auto& [row, column] : cells)
        QCOMPARE(CellText(a, 1, row, column), CellText(b, 1, row, column));
}

QTEST_GUILESS_MAIN(TestXlsxCorpus)
#include "test_xlsx_corpus.moc"
