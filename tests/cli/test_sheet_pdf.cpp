// tovera-cli sheet pdf: the pages a workbook prints, checked with pdfinfo and pdftotext on
// the sample detail sheet and on workbooks written for the test; bad input leaves no file.

#include "sheet/celltext.h"
#include "sheet/sheetprint.h"
#include "sheet/xlsreader.h"
#include "sheet/xlswriter.h"

#include "cli_run.h"

#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace tovera;

namespace {

QString tool(const QString& program, const QStringList& args) {
    return runProgram(program, args).out;
}

// `text` without any white space (ideographic spaces included).
QString squeezed(const QString& text) {
    QString out;
    for (QChar ch : text)
        if (!ch.isSpace()) out += ch;
    return out;
}

int pageCount(const QString& pdf) {
    const auto m = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)"))
                       .match(tool(QStringLiteral("pdfinfo"), {pdf}));
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

// The text of pages [first, last] without any white space.
QString pageText(const QString& pdf, int first, int last) {
    const QString t = tool(QStringLiteral("pdftotext"),
                           {QStringLiteral("-f"), QString::number(first), QStringLiteral("-l"),
                            QString::number(last), pdf, QStringLiteral("-")});
    return squeezed(t);
}

void setText(Sheet& sheet, int row, int column, const QString& text) {
    Cell c;
    c.column = uint16_t(column);
    c.type = CellType::Text;
    c.text = text;
    c.xf = 15;
    sheet.setCell(row, c);
}

} // namespace

class TestSheetPdf : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() {
        if (!QFile::exists(QStringLiteral(TOVERA_BIN_DIR "/tovera-cli")))
            QSKIP("tovera-cli is not built");
        if (tool(QStringLiteral("pdfinfo"), {QStringLiteral("-v")}).isNull() &&
            QProcess::execute(QStringLiteral("pdfinfo"), {QStringLiteral("-v")}) < 0)
            QSKIP("pdfinfo is not installed (poppler-utils)");
    }

    void sampleSheet() {
        const QString in = QStringLiteral(TOVERA_SHARED "/sample-sheets/hyoten_mokuzou_2f.xls");
        if (!QFile::exists(in)) QSKIP("the shared sample workbooks are not here");
        QTemporaryDir dir;
        const QString out = dir.filePath(QStringLiteral("明細.pdf"));
        const Run run = cli({QStringLiteral("sheet"), QStringLiteral("pdf"), in, out});
        QCOMPARE(run.status, 0);
        // The detail sheet on one page (fitted to the width), its second sheet on another.
        QCOMPARE(pageCount(out), 2);
        const Workbook book = loadWorkbookFile(in);
        for (int sheet = 0; sheet < 2; ++sheet) {
            const QString text = pageText(out, sheet + 1, sheet + 1);
            // Every cell of the print area (the whole sheet without one) is on the page.
            const Sheet& s = book.sheets[size_t(sheet)];
            auto printed = [&](int row, int column) {
                if (s.pageSetup.printArea.empty()) return true;
                for (const CellRange& r : s.pageSetup.printArea)
                    if (r.contains(row, column)) return true;
                return false;
            };
            int found = 0;
            for (const Row& row : s.rows) {
                if (row.hidden) continue;
                for (const Cell& cell : row.cells) {
                    if (!printed(row.index, cell.column) || s.columnHidden(cell.column)) continue;
                    // Words separated by wide spaces may come out as separate runs.
                    const QStringList words =
                        cellDisplayText(book, cell)
                            .split(QRegularExpression(QStringLiteral("[\\s\\x{3000}]+")),
                                   Qt::SkipEmptyParts);
                    if (words.isEmpty()) continue;
                    for (const QString& word : words)
                        QVERIFY2(text.contains(word),
                                 qPrintable(QStringLiteral("page %1 lacks %2 of row %3")
                                                .arg(sheet + 1)
                                                .arg(word)
                                                .arg(row.index + 1)));
                    ++found;
                }
            }
            QVERIFY(found > 10);
            QVERIFY(text.contains(QStringLiteral("%1/2").arg(sheet + 1))); // the footer
        }
        QVERIFY(pageText(out, 1, 1).contains(QStringLiteral("山路千代子")));
        QVERIFY(!pageText(out, 1, 1).contains(QStringLiteral("課税標準額"))); // second sheet's
    }

    void writtenWorkbook() {
        Workbook book = Workbook::createDefault();
        Sheet& first = book.sheets[0];
        first.name = QStringLiteral("明細");
        setText(first, 0, 0, QStringLiteral("印刷範囲の中"));
        setText(first, 5, 5, QStringLiteral("OUTSIDE"));
        first.pageSetup.printArea.push_back(CellRange{0, 2, 0, 2});
        first.pageSetup.header = QStringLiteral("&L&A&C&P/&N&R&&x&\"ＭＳ 明朝,太字\"&12y");
        first.pageSetup.footer = QStringLiteral("&Cp&Pz&L&F&R&D");
        Sheet hidden;
        hidden.name = QStringLiteral("隠し");
        hidden.visibility = 1;
        setText(hidden, 0, 0, QStringLiteral("HIDDENSHEET"));
        book.sheets.push_back(hidden);
        Sheet wide;
        wide.name = QStringLiteral("横長");
        wide.pageSetup.valid = true;
        wide.pageSetup.landscape = true;
        for (int c = 0; c < 30; ++c) setText(wide, 0, c, QStringLiteral("C%1").arg(c));
        book.sheets.push_back(wide);
        QTemporaryDir dir;
        const QString in = dir.filePath(QStringLiteral("book.xls"));
        saveWorkbookFile(book, in, kFileTypeExcel97);
        const QString out = dir.filePath(QStringLiteral("book.pdf"));
        const QDate dayBefore = QDate::currentDate();
        QCOMPARE(cli({QStringLiteral("sheet"), QStringLiteral("pdf"), in, out}).status, 0);
        const QDate dayAfter = QDate::currentDate(); // the run may cross midnight
        // One page for the print area, three landscape pages of 13, 13 and 4 columns.
        QCOMPARE(pageCount(out), 4);
        const QString one = pageText(out, 1, 1);
        QVERIFY(one.contains(QStringLiteral("印刷範囲の中")));
        QVERIFY(!one.contains(QStringLiteral("OUTSIDE")));
        // Header: sheet name left, page of pages centred, "&x" and "y" right (font codes out).
        QVERIFY(one.contains(QStringLiteral("明細")));
        QVERIFY(one.contains(QStringLiteral("1/4")));
        QVERIFY(one.contains(QStringLiteral("&xy")));
        QVERIFY(one.contains(QStringLiteral("p1z")));
        QVERIFY(one.contains(QStringLiteral("book.xls"))); // &F: the file's name
        QVERIFY(one.contains(dayBefore.toString(QStringLiteral("yyyy/M/d"))) ||
                one.contains(dayAfter.toString(QStringLiteral("yyyy/M/d"))));
        QVERIFY(!pageText(out, 1, 4).contains(QStringLiteral("HIDDENSHEET")));
        const QString two = pageText(out, 2, 2);
        QVERIFY(two.contains(QStringLiteral("C0C1")));
        QVERIFY(!two.contains(QStringLiteral("C13")));
        QVERIFY(pageText(out, 4, 4).contains(QStringLiteral("C29")));
        const QString info =
            tool(QStringLiteral("pdfinfo"), {QStringLiteral("-f"), QStringLiteral("2"),
                                             QStringLiteral("-l"), QStringLiteral("2"), out});
        QVERIFY2(info.contains(QStringLiteral("842 x 595")) ||
                     info.contains(QStringLiteral("841.89 x 595.28")),
                 qPrintable(info));
    }

    void emptyWorkbookPrintsOnePage() {
        QTemporaryDir dir;
        const QString in = dir.filePath(QStringLiteral("empty.xls"));
        saveWorkbookFile(Workbook::createDefault(), in, kFileTypeExcel97);
        const QString out = dir.filePath(QStringLiteral("empty.pdf"));
        QCOMPARE(cli({QStringLiteral("sheet"), QStringLiteral("pdf"), in, out}).status, 0);
        QCOMPARE(pageCount(out), 1);
    }

    void badInputWritesNothing_data() {
        QTest::addColumn<QString>("input");  // relative to the temporary folder
        QTest::addColumn<QString>("output"); // relative to the temporary folder
        QTest::addColumn<int>("status");
        QTest::newRow("missing input") << "none.xls"
                                       << "out.pdf" << 1;
        QTest::newRow("garbage input") << "garbage.xls"
                                       << "out.pdf" << 1;
        QTest::newRow("truncated workbook") << "short.xls"
                                            << "out.pdf" << 1;
        QTest::newRow("output folder missing") << "good.xls"
                                               << "no/such/out.pdf" << 1;
        QTest::newRow("output is a folder") << "good.xls"
                                            << "folder" << 1;
    }

    void badInputWritesNothing() {
        QFETCH(QString, input);
        QFETCH(QString, output);
        QFETCH(int, status);
        QTemporaryDir dir;
        {
            QFile g(dir.filePath(QStringLiteral("garbage.xls")));
            QVERIFY(g.open(QIODevice::WriteOnly));
            g.write(QByteArray(3000, 'x'));
        }
        saveWorkbookFile(Workbook::createDefault(), dir.filePath(QStringLiteral("good.xls")),
                         kFileTypeExcel97);
        {
            QFile good(dir.filePath(QStringLiteral("good.xls")));
            QVERIFY(good.open(QIODevice::ReadOnly));
            QFile s(dir.filePath(QStringLiteral("short.xls")));
            QVERIFY(s.open(QIODevice::WriteOnly));
            s.write(good.read(1500));
        }
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder")));
        const QStringList before =
            QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
        const Run run = cli({QStringLiteral("sheet"), QStringLiteral("pdf"), dir.filePath(input),
                             dir.filePath(output)});
        QCOMPARE(run.status, status);
        QVERIFY(!run.err.trimmed().isEmpty());
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
        QVERIFY(QFileInfo(dir.filePath(QStringLiteral("folder"))).isDir());
    }

    void badInputKeepsAnOldFile() {
        QTemporaryDir dir;
        const QString out = dir.filePath(QStringLiteral("old.pdf"));
        QFile old(out);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old contents");
        old.close();
        const Run run = cli({QStringLiteral("sheet"), QStringLiteral("pdf"),
                             dir.filePath(QStringLiteral("missing.xls")), out});
        QCOMPARE(run.status, 1);
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), QByteArray("old contents"));
    }

    void usage() {
        QCOMPARE(cli({QStringLiteral("sheet"), QStringLiteral("pdf")}).status, 2);
        QCOMPARE(cli({QStringLiteral("sheet"), QStringLiteral("pdf"), QStringLiteral("a")}).status,
                 2);
    }
};

QTEST_MAIN(TestSheetPdf)
#include "test_sheet_pdf.moc"
