// Every workbook of the shared corpus and the sample detail sheets against its expected
// cells (FILE.cells.tsv): readable files give exactly the listed cells, files marked
// unreadable fail with EOleException, and none crashes. Files whose expected cells came
// from another program's re-saved copy (comment "via libreoffice") are compared with a
// tolerance, since that program recalculated their formulas.

#include "platform/errors.h"
#include "sheet/xlsreader.h"
#include "sheet/xlsreader_cells.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>
#include <cmath>
#include <map>

using namespace tovera;

namespace {

struct Expected {
    QString comment;
    QStringList lines;
};

Expected readTsv(const QString& path) {
    QFile f(path);
    Expected e;
    if (!f.open(QIODevice::ReadOnly)) return e;
    const QStringList all = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'));
    for (const QString& line : all) {
        if (line.startsWith(QLatin1Char('#')))
            e.comment = line;
        else if (!line.isEmpty())
            e.lines.append(line);
    }
    return e;
}

using CellMap = std::map<QString, std::pair<QString, QString>>; // "s r c" -> (type, value)

CellMap toMap(const QStringList& lines) {
    CellMap m;
    for (const QString& line : lines) {
        const QStringList f = line.split(QLatin1Char('\t'));
        if (f.size() != 5) continue;
        m[f[0] + ' ' + f[1] + ' ' + f[2]] = {f[3], f[4]};
    }
    return m;
}

bool numeric(const QString& type) {
    return type == QLatin1String("number") || type == QLatin1String("date") ||
           type == QLatin1String("bool");
}

// The same cells; texts and errors equal; numbers equal to 1e-9 relative; a boolean may
// have become the number 1 or 0.
QString tolerantDifference(const QStringList& got, const QStringList& want) {
    const CellMap a = toMap(got), b = toMap(want);
    for (const auto& [key, v] : b) {
        auto it = a.find(key);
        if (it == a.end()) return QStringLiteral("missing cell ") + key;
        const auto& [type, value] = it->second;
        if (type == v.first && value == v.second) continue;
        if (numeric(type) && numeric(v.first)) {
            const double x = value.toDouble(), y = v.second.toDouble();
            if (std::fabs(x - y) <= 1e-9 * std::max(1.0, std::fabs(y))) continue;
        }
        return QStringLiteral("cell %1: %2 %3, expected %4 %5")
            .arg(key, type, value, v.first, v.second);
    }
    if (a.size() != b.size())
        return QStringLiteral("%1 cells, expected %2").arg(a.size()).arg(b.size());
    return {};
}

} // namespace

class TestXlsCorpus : public QObject {
    Q_OBJECT

private slots:
    void workbook_data();
    void workbook();
    void cellsCommand();
};

void TestXlsCorpus::workbook_data() {
    QTest::addColumn<QString>("path");
    int count = 0;
    for (const char* folder : {"/xls-corpus", "/sample-sheets"}) {
        QDir dir(QStringLiteral(TOVERA_SHARED) + QLatin1String(folder));
        for (const QString& tsv : dir.entryList({QStringLiteral("*.cells.tsv")}, QDir::Files)) {
            const QString file = tsv.chopped(int(qstrlen(".cells.tsv")));
            QTest::newRow(qPrintable(file)) << dir.filePath(file);
            ++count;
        }
    }
    if (count == 0) QTest::newRow("absent") << QString();
}

void TestXlsCorpus::workbook() {
    QFETCH(QString, path);
    if (path.isEmpty()) QSKIP("the shared workbook corpus and sample sheets are absent");
    const Expected expected = readTsv(path + QStringLiteral(".cells.tsv"));
    QVERIFY(!expected.comment.isEmpty());
    if (expected.comment.startsWith(QLatin1String("# unreadable"))) {
        QVERIFY_THROWS_EXCEPTION(EOleException, loadWorkbookFile(path));
        return;
    }
    Workbook book;
    try {
        book = loadWorkbookFile(path);
    } catch (const Exception& e) {
        QFAIL(qPrintable(e.message()));
    }
    const QStringList got = cellLines(book);
    if (expected.comment.contains(QLatin1String("via libreoffice"))) {
        const QString diff = tolerantDifference(got, expected.lines);
        QVERIFY2(diff.isEmpty(), qPrintable(diff));
        return;
    }
    QCOMPARE(got.size(), expected.lines.size());
    for (qsizetype k = 0; k < got.size(); ++k)
        if (got[k] != expected.lines[k])
            QFAIL(qPrintable(QStringLiteral("line %1: %2, expected %3")
                                 .arg(k + 2)
                                 .arg(got[k], expected.lines[k])));
}

void TestXlsCorpus::cellsCommand() {
    const QString cli = QStringLiteral(TOVERA_BIN_DIR "/tovera-cli");
    const QString sample = QStringLiteral(TOVERA_SHARED "/sample-sheets/hyoten_fuzokuka_ari.xls");
    if (!QFile::exists(cli)) QSKIP("tovera-cli is not built");
    if (!QFile::exists(sample)) QSKIP("the shared sample sheets are absent");
    QProcess p;
    p.start(cli, {QStringLiteral("sheet"), QStringLiteral("cells"), sample});
    QVERIFY(p.waitForFinished(60000));
    QCOMPARE(p.exitCode(), 0);
    const QStringList lines =
        QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines, readTsv(sample + QStringLiteral(".cells.tsv")).lines);

    const QString notABook =
        QDir(QStringLiteral(TOVERA_SHARED "/sample-sheets")).filePath("README.md");
    p.start(cli, {QStringLiteral("sheet"), QStringLiteral("cells"), notABook});
    QVERIFY(p.waitForFinished(60000));
    QCOMPARE(p.exitCode(), 1);
    QVERIFY(p.readAllStandardOutput().isEmpty());
    QVERIFY(QString::fromUtf8(p.readAllStandardError())
                .contains(notABook + QStringLiteral(" はブックのファイルではありません")));
}

QTEST_GUILESS_MAIN(TestXlsCorpus)
#include "test_xls_corpus.moc"
