// Our written workbooks opened by a real spreadsheet program: where LibreOffice is installed,
// it converts both the original workbook and our rewrite of it to CSV (first sheet, cells as
// shown), and the two must be the same. Skipped where LibreOffice or the shared workbooks
// are absent. (Workbooks whose formulas LibreOffice recalculates differently from the stored
// results are left out: it would compare its own results with the stored ones.)

#include "sheet/xlsreader.h"
#include "sheet/xlswriter.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace tovera;

class TestXlsWriteOffice : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    QString soffice_;
    bool converted_ = false;

    static QStringList files() {
        return {
            QStringLiteral("sample-sheets/hyoten_mokuzou_2f.xls"),
            QStringLiteral("sample-sheets/hyoten_fuzokuka_ari.xls"),
            QStringLiteral("sample-sheets/hyoten_shimei_nomi.xls"),
            QStringLiteral("sample-sheets/hyoten_heisei10_biff5.xls"),
            QStringLiteral("xls-corpus/libxls-test2.xls"),
            QStringLiteral("xls-corpus/calamine-sst_continue.xls"),
            QStringLiteral("xls-corpus/poi-46368.xls"),
            QStringLiteral("xls-corpus/sheetjs-RkNumber.xls"),
            QStringLiteral("xls-corpus/xlrd-formula_test_sjmachin.xls"),
            QStringLiteral("xls-corpus/sheetjs-ErrorTypes.xls"),
            QStringLiteral("xls-corpus/libxls-dates-1904.xls"),
            QStringLiteral("xls-corpus/sheetjs-merge_cells.xls"),
            QStringLiteral("xls-corpus/lotf-cjk-text-cell-justify-distributed.xls"),
            QStringLiteral("xls-corpus/poi-50779_1.xls"),
            QStringLiteral("xls-corpus/sheetjs-biff5-text_and_numbers.xls"),
            QStringLiteral("xls-corpus/poi-testEXCEL_4.xls"),
            QStringLiteral("xls-corpus/sheetjs-LONumbers.xls"),
        };
    }
    static QString key(const QString& file) { return QFileInfo(file).completeBaseName(); }
    QString path(const QString& kind, const QString& file) const {
        return dir_.filePath(kind + QLatin1Char('_') + key(file) + QStringLiteral(".xls"));
    }

private Q_SLOTS:
    void initTestCase() {
        soffice_ = QStandardPaths::findExecutable(QStringLiteral("soffice"));
        if (soffice_.isEmpty()) return;
        // Every original and its rewrite, converted by one run of the program.
        QStringList inputs;
        for (const QString& f : files()) {
            const QString source = QStringLiteral(TOVERA_SHARED "/") + f;
            if (!QFile::exists(source)) continue;
            QVERIFY(QFile::copy(source, path(QStringLiteral("original"), f)));
            saveWorkbookFile(loadWorkbookFile(source), path(QStringLiteral("ours"), f),
                             kFileTypeExcel97);
            inputs << path(QStringLiteral("original"), f) << path(QStringLiteral("ours"), f);
        }
        if (inputs.isEmpty()) return;
        QProcess p;
        p.start(soffice_,
                QStringList{QStringLiteral("-env:UserInstallation=file://") +
                                dir_.filePath(QStringLiteral("profile")),
                            QStringLiteral("--headless"), QStringLiteral("--norestore"),
                            QStringLiteral("--infilter=MS Excel 97"),
                            QStringLiteral("--convert-to"),
                            QStringLiteral("csv:Text - txt - csv (StarCalc):44,34,76,1"),
                            QStringLiteral("--outdir"), dir_.filePath(QStringLiteral("csv"))} +
                    inputs);
        if (!p.waitForFinished(120000)) p.kill();
        converted_ = true;
    }

    void officeShowsTheSameCells_data() {
        QTest::addColumn<QString>("file");
        for (const QString& f : files()) QTest::newRow(qPrintable(key(f))) << f;
    }
    void officeShowsTheSameCells() {
        QFETCH(QString, file);
        if (soffice_.isEmpty())
            QSKIP("LibreOffice (soffice) is not installed: the check with a real spreadsheet "
                  "program is skipped");
        if (!QFile::exists(path(QStringLiteral("original"), file)))
            QSKIP("the shared workbooks are absent");
        QVERIFY(converted_);
        auto csv = [&](const QString& kind) {
            QFile f(dir_.filePath(QStringLiteral("csv/") + kind + QLatin1Char('_') + key(file) +
                                  QStringLiteral(".csv")));
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        };
        const QByteArray want = csv(QStringLiteral("original"));
        if (want.isEmpty()) QSKIP("LibreOffice could not convert the original workbook");
        const QByteArray got = csv(QStringLiteral("ours"));
        QVERIFY2(!got.isEmpty(), "LibreOffice could not open our workbook");
        const QList<QByteArray> a = got.split('\n'), b = want.split('\n');
        for (qsizetype i = 0; i < std::min(a.size(), b.size()); ++i)
            if (a[i] != b[i]) QCOMPARE(QString::fromUtf8(a[i]), QString::fromUtf8(b[i]));
        QCOMPARE(a.size(), b.size());
    }
};

QTEST_GUILESS_MAIN(TestXlsWriteOffice)
#include "test_xls_write_office.moc"
