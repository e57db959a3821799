// Damaged workbooks are refused or read whole: every workbook of the shared corpus and the
// sample sheets cut at twenty points across its length, and with the size of its workbook
// stream shortened in the container, either fails with EOleException or gives exactly the
// cells of the whole file. The command reports the damage with status 1, and with
// --salvage lists what it could read with status 3.

#include "platform/errors.h"
#include "sheet/xlsreader.h"
#include "sheet/xlsreader_cells.h"

#include "corpus_support.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

using namespace tovera;
using tovera::testing::workbookFiles;

namespace {

// The directory entries named "Workbook" or "Book" of a compound file: the byte offsets
// of their stream-size fields.
std::vector<qsizetype> streamSizeFields(const QByteArray& bytes) {
    std::vector<qsizetype> out;
    for (const char* name : {"Workbook", "Book"}) {
        QByteArray utf16;
        for (const char* p = name; *p; ++p) utf16.append(*p).append('\0');
        utf16.append('\0').append('\0');
        for (qsizetype at = bytes.indexOf(utf16); at >= 0; at = bytes.indexOf(utf16, at + 1))
            if (at % 128 == 0 && at + 128 <= bytes.size()) out.push_back(at + 0x78);
    }
    return out;
}

// Empty when `bytes` are refused or give `whole`; otherwise what went wrong.
QString refusedOrWhole(const QByteArray& bytes, const QStringList& whole) {
    try {
        const QStringList lines = cellLines(loadWorkbookBytes(bytes, QStringLiteral("cut.xls")));
        if (lines == whole) return {};
        return QStringLiteral("read %1 of %2 cells as if whole")
            .arg(lines.size())
            .arg(whole.size());
    } catch (const EOleException&) {
        return {};
    }
}

QByteArray bareWorkbook(const QByteArray& afterBof) {
    // A BIFF4 worksheet stream: BOF, then the given records.
    QByteArray b = QByteArray::fromHex("0904060000001000000000");
    b.chop(1);
    return b + afterBof;
}

} // namespace

class TestXlsDamage : public QObject {
    Q_OBJECT
private slots:
    void cutFiles_data();
    void cutFiles();
    void bareStreams_data();
    void bareStreams();
    void commandReportsDamage();
};

void TestXlsDamage::cutFiles_data() {
    QTest::addColumn<QString>("path");
    const QStringList files = workbookFiles();
    if (files.isEmpty()) QSKIP("the shared corpus is not available");
    for (const QString& path : files) QTest::newRow(qPrintable(QFileInfo(path).fileName())) << path;
}

void TestXlsDamage::cutFiles() {
    QFETCH(QString, path);
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    QStringList whole;
    try {
        whole = cellLines(loadWorkbookBytes(bytes, path));
    } catch (const EOleException&) {
        QSKIP("the whole file is refused");
    }
    for (int k = 1; k <= 20; ++k) {
        const qsizetype cut = bytes.size() * k / 21;
        const QString problem = refusedOrWhole(bytes.left(cut), whole);
        QVERIFY2(problem.isEmpty(),
                 qPrintable(QStringLiteral("cut at %1: %2").arg(cut).arg(problem)));
    }
    for (qsizetype field : streamSizeFields(bytes)) {
        const quint32 size = qFromLittleEndian<quint32>(bytes.constData() + field);
        for (quint32 shorter : {size - 1, size - 100, size * 9 / 10, size / 2, size / 5}) {
            if (shorter >= size || shorter == 0) continue;
            QByteArray changed = bytes;
            qToLittleEndian<quint32>(shorter, changed.data() + field);
            const QString problem = refusedOrWhole(changed, whole);
            QVERIFY2(problem.isEmpty(), qPrintable(QStringLiteral("stream size %1 of %2: %3")
                                                       .arg(shorter)
                                                       .arg(size)
                                                       .arg(problem)));
        }
    }
}

void TestXlsDamage::bareStreams_data() {
    QTest::addColumn<QByteArray>("bytes");
    const QByteArray number = QByteArray::fromHex("03020e00000000000000000000000000f03f");
    const QByteArray eof = QByteArray::fromHex("0a000000");
    QTest::newRow("cell then no end") << bareWorkbook(number);
    QTest::newRow("start alone") << bareWorkbook({});
    QTest::newRow("start then junk") << bareWorkbook(QByteArray::fromHex("41ff7f20013002"));
    QTest::newRow("record past the end") << bareWorkbook(number + QByteArray::fromHex("0302ff00"));
    QTest::newRow("cell then half an end") << bareWorkbook(number + eof.left(3));
}

void TestXlsDamage::bareStreams() {
    QFETCH(QByteArray, bytes);
    QVERIFY_THROWS_EXCEPTION(EOleException, loadWorkbookBytes(bytes, QStringLiteral("cut.xls")));
    // The same stream ended properly is a workbook.
    const QByteArray whole =
        bareWorkbook(QByteArray::fromHex("03020e00000000000000000000000000f03f")) +
        QByteArray::fromHex("0a000000");
    QCOMPARE(cellLines(loadWorkbookBytes(whole, QStringLiteral("whole.xls"))).size(), 1);
}

void TestXlsDamage::commandReportsDamage() {
    const QString sample = QStringLiteral(TOVERA_SHARED "/sample-sheets/hyoten_mokuzou_2f.xls");
    if (!QFile::exists(sample)) QSKIP("the sample sheets are not available");
    QFile f(sample);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    const qsizetype field = streamSizeFields(bytes).front();
    const quint32 size = qFromLittleEndian<quint32>(bytes.constData() + field);
    QByteArray changed = bytes;
    qToLittleEndian<quint32>(size - 600, changed.data() + field);
    QTemporaryDir dir;
    const QString cut = dir.filePath(QStringLiteral("cut.xls"));
    QFile out(cut);
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write(changed);
    out.close();

    const QString cli = QStringLiteral(TOVERA_BIN_DIR "/tovera-cli");
    struct Run {
        QStringList args;
        int status;
    };
    const QString pdf = dir.filePath(QStringLiteral("out.pdf"));
    const QString xls = dir.filePath(QStringLiteral("out.xls"));
    for (const Run& run :
         {Run{{"sheet", "cells", cut}, 1}, Run{{"sheet", "convert", cut, xls}, 1},
          Run{{"sheet", "pdf", cut, pdf}, 1}, Run{{"sheet", "cells", "--salvage", cut}, 3}}) {
        QProcess p;
        p.start(cli, run.args);
        QVERIFY(p.waitForFinished(60000));
        const QString err = QString::fromUtf8(p.readAllStandardError());
        QCOMPARE(p.exitCode(), run.status);
        QVERIFY2(err.contains(QStringLiteral("壊れている")), qPrintable(err));
        QVERIFY2(err.contains(cut), qPrintable(err));
        if (run.status == 3) QVERIFY(!p.readAllStandardOutput().isEmpty());
    }
    QVERIFY(!QFile::exists(xls));
    QVERIFY(!QFile::exists(pdf));

    // A whole file: nothing at all on standard error.
    QProcess good;
    good.start(cli, {QStringLiteral("sheet"), QStringLiteral("cells"), sample});
    QVERIFY(good.waitForFinished(60000));
    QCOMPARE(good.exitCode(), 0);
    QCOMPARE(good.readAllStandardError(), QByteArray());
}

QTEST_GUILESS_MAIN(TestXlsDamage)
#include "test_xls_damage.moc"
