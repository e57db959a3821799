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
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
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

// The reference lists differ from the file's meaning in three ways, each checked here
// rather than ignored: it leaves "_xHHHH_" escapes undecoded (the file's way of writing a
// carriage return), it omits a formula's empty text result written as <v/>, and it counts
// the one-letter formats "D", "H", "S" as numbers where the .xls reference (and this
// model) count them as dates.
QStringList asReferenceWrites(const Workbook& book, const QStringList& want) {
    QStringList got = cellLines(book);
    QSet<QString> wanted;
    for (const QString& w : want) wanted.insert(w.section(QLatin1Char('\t'), 0, 2));
    QStringList out;
    for (QString line : got) {
        const QStringList f = line.split(QLatin1Char('\t'));
        const QString key = f.mid(0, 3).join(QLatin1Char('\t'));
        if (f[3] == QLatin1String("text") && f[4].isEmpty() && !wanted.contains(key)) continue;
        if (f[3] == QLatin1String("text")) {
            line.replace(QLatin1String("\\r"), QLatin1String("_x000D_"));
            for (qsizetype k = line.size() - 1; k >= 0; --k)
                if (line[k].unicode() < 0x20 && line[k] != QLatin1Char('\t'))
                    line.replace(k, 1,
                                 QStringLiteral("_x%1_")
                                     .arg(line[k].unicode(), 4, 16, QLatin1Char('0'))
                                     .toUpper()
                                     .replace(QLatin1String("_X"), QLatin1String("_x")));
        }
        if (f[3] == QLatin1String("date")) {
            const Cell* c =
                book.sheets[size_t(f[0].toInt())].cell(f[1].toInt() - 1, f[2].toInt() - 1);
            const QString code = book.formatCodeOfXf(c->xf).toUpper();
            if (code == QLatin1String("D") || code == QLatin1String("H") ||
                code == QLatin1String("S"))
                line = key + QStringLiteral("\tnumber\t") + f[4];
        }
        out.append(line);
    }
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
    void dateSystem();
    void convertCommand();
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
    const QStringList want = expectedLines(path + ".cells.tsv");
    const QString diff = firstDifference(asReferenceWrites(book, want), want);
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
    // A formula stored without its result reads back with an empty text result.
    QStringList copied;
    for (const QString& line : cellLines(back)) {
        const QStringList f = line.split(QLatin1Char('\t'));
        const Cell* c = book.sheets[size_t(f[0].toInt())].cell(f[1].toInt() - 1, f[2].toInt() - 1);
        if (c && c->formula && !c->hasValue() && line.endsWith(QLatin1String("\ttext\t"))) continue;
        copied.append(line);
    }
    const QString diff = firstDifference(copied, cellLines(book));
    QVERIFY2(diff.isEmpty(), qPrintable(diff));
    QCOMPARE(back.sheets.size(), book.sheets.size());
    for (size_t s = 0; s < book.sheets.size(); ++s) {
        QCOMPARE(back.sheets[s].name, book.sheets[s].name);
        QCOMPARE(back.sheets[s].merges.size(), book.sheets[s].merges.size());
    }
}

void TestXlsxCorpus::dateSystem() {
    if (!QFile::exists(corpus() + "sheetjs-1904-1904.xlsx")) QSKIP("the corpus is absent");
    QVERIFY(loadAnyWorkbookFile(corpus() + "sheetjs-1904-1904.xlsx").dateSystem1904);
    QVERIFY(!loadAnyWorkbookFile(corpus() + "sheetjs-1904-1900.xlsx").dateSystem1904);
}

void TestXlsxCorpus::convertCommand() {
    const QString cli = QStringLiteral(TOVERA_BIN_DIR "/tovera-cli");
    const QString source = corpus() + "hyoten_fuzokuka_ari.xlsx";
    if (!QFile::exists(cli)) QSKIP("tovera-cli is not built");
    if (!QFile::exists(source)) QSKIP("the corpus is absent");
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("book.xls"));
    QProcess p;
    p.start(cli, {QStringLiteral("sheet"), QStringLiteral("convert"), source, target});
    QVERIFY(p.waitForFinished(60000));
    QCOMPARE(p.exitCode(), 0);
    QFile out(target);
    QVERIFY(out.open(QIODevice::ReadOnly));
    QVERIFY(out.read(8).startsWith("\xD0\xCF\x11\xE0")); // a compound file, not a copy
    QCOMPARE(cellLines(loadWorkbookFile(target)), cellLines(loadAnyWorkbookFile(source)));
}

void TestXlsxCorpus::detailSheetTexts_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("original");
    for (const char* n :
         {"hyoten_fuzokuka_ari", "hyoten_heisei10", "hyoten_mokuzou_2f", "hyoten_shimei_nomi"}) {
        const QString name = QString::fromLatin1(n);
        QTest::newRow(n) << name
                         << (name == QLatin1String("hyoten_heisei10") ? name + "_biff5" : name);
    }
}

void TestXlsxCorpus::detailSheetTexts() {
    QFETCH(QString, name);
    QFETCH(QString, original);
    const QString xlsx = corpus() + name + ".xlsx";
    const QString xls = QStringLiteral(TOVERA_SHARED "/sample-sheets/") + original + ".xls";
    if (!QFile::exists(xlsx) || !QFile::exists(xls)) QSKIP("the detail sheets are absent");
    const Workbook a = loadAnyWorkbookFile(xlsx);
    const Workbook b = loadAnyWorkbookFile(xls);
    const std::pair<int, int> cells[] = {{4, 4}, {6, 5}, {6, 7}, {6, 9}, {6, 10}, {6, 11}, {6, 12}};
    for (const auto& [row, column] : cells)
        QCOMPARE(CellText(a, 1, row, column), CellText(b, 1, row, column));

    // The same looks: fonts, alignment, borders and fills of every cell with a value,
    // the merges, and column widths and row heights to within rounding.
    const Sheet& sa = a.sheets[0];
    const Sheet& sb = b.sheets[0];
    QCOMPARE(sa.merges.size(), sb.merges.size());
    for (const Row& row : sb.rows)
        for (const Cell& cb : row.cells) {
            const Cell* ca = sa.cell(row.index, cb.column);
            if (!cb.hasValue()) continue;
            QVERIFY(ca);
            const QString where =
                QStringLiteral("row %1 column %2").arg(row.index + 1).arg(cb.column + 1);
            const CellFormat& fa = a.xfs[ca->xf];
            const CellFormat& fb = b.xfs[cb.xf];
            const Font& ta = a.fontOfXf(ca->xf);
            const Font& tb = b.fontOfXf(cb.xf);
            QVERIFY2(ta.height == tb.height && ta.bold() == tb.bold() && ta.name == tb.name,
                     qPrintable(where + " font " + ta.name + " " + QString::number(ta.height) +
                                " / " + tb.name + " " + QString::number(tb.height)));
            QVERIFY2(fa.hAlign == fb.hAlign && fa.vAlign == fb.vAlign && fa.wrap == fb.wrap,
                     qPrintable(where + " alignment"));
            // The .xlsx copy of the Excel 95 sheet was written with hair lines where the
            // original has thin or double ones: the files differ, not their reading.
            const auto same = [](const Border& x, const Border& y) {
                return x.style == y.style || (x.style == 7 && (y.style == 6 || y.style == 1));
            };
            QVERIFY2(same(fa.left, fb.left) && same(fa.right, fb.right) && same(fa.top, fb.top) &&
                         same(fa.bottom, fb.bottom),
                     qPrintable(where + QStringLiteral(" borders %1%2%3%4 / %5%6%7%8")
                                            .arg(fa.left.style)
                                            .arg(fa.right.style)
                                            .arg(fa.top.style)
                                            .arg(fa.bottom.style)
                                            .arg(fb.left.style)
                                            .arg(fb.right.style)
                                            .arg(fb.top.style)
                                            .arg(fb.bottom.style)));
            QVERIFY2(fa.fillPattern == fb.fillPattern, qPrintable(where + " fill"));
            QVERIFY2(a.color(fa.fillForeground) == b.color(fb.fillForeground),
                     qPrintable(where + " fill colour"));
        }
    // The Excel 95 original measures its widths in another default font.
    if (original != name) return;
    for (int c = 0; c < 12; ++c)
        QVERIFY2(std::abs(sa.columnWidth(c) - sb.columnWidth(c)) <= sb.columnWidth(c) / 20,
                 qPrintable(QStringLiteral("column %1: %2 / %3")
                                .arg(c + 1)
                                .arg(sa.columnWidth(c))
                                .arg(sb.columnWidth(c))));
    for (int r = 0; r < 31; ++r)
        QVERIFY2(std::abs(sa.rowHeight(r) - sb.rowHeight(r)) <= 20,
                 qPrintable(QStringLiteral("row %1: %2 / %3")
                                .arg(r + 1)
                                .arg(sa.rowHeight(r))
                                .arg(sb.rowHeight(r))));
}

QTEST_GUILESS_MAIN(TestXlsxCorpus)
#include "test_xlsx_corpus.moc"
