// The workbook writer: every readable workbook of the shared corpus reads back from our
// written file with the same cells, formats, widths and merges; the record stream keeps the
// format's limits (record size, SST over CONTINUE, EXTSST offsets); formulas keep their
// tokens and results; file types and write failures are reported.

#include "platform/errors.h"
#include "sheet/xlsreader.h"
#include "sheet/xlsreader_cells.h"
#include "sheet/xlswriter.h"
#include "sheet/xlswriter_internal.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>

using namespace tovera;

namespace {

uint16_t u16(const QByteArray& b, qsizetype at) {
    return uint16_t(uint8_t(b[at]) | (uint8_t(b[at + 1]) << 8));
}
uint32_t u32(const QByteArray& b, qsizetype at) {
    return u16(b, at) | (uint32_t(u16(b, at + 2)) << 16);
}

struct Record {
    uint16_t id;
    qsizetype offset; // of the header
    QByteArray data;
};

QList<Record> records(const QByteArray& stream) {
    QList<Record> out;
    qsizetype at = 0;
    while (at + 4 <= stream.size()) {
        const uint16_t id = u16(stream, at), size = u16(stream, at + 2);
        if (id == 0 && size == 0) break; // padding after the last EOF
        out.append({id, at, stream.mid(at + 4, size)});
        at += 4 + size;
    }
    return out;
}

// Everything the writer promises to keep, as comparable text.
QStringList describe(const Workbook& book) {
    QStringList out = cellLines(book);
    for (size_t s = 0; s < book.sheets.size(); ++s) {
        const Sheet& sheet = book.sheets[s];
        out << QStringLiteral("sheet %1 %2 %3").arg(s).arg(sheet.name).arg(sheet.visibility);
        for (const CellRange& p : sheet.pageSetup.printArea)
            out << QStringLiteral("print area %1 %2 %3 %4")
                       .arg(p.firstRow)
                       .arg(p.lastRow)
                       .arg(p.firstColumn)
                       .arg(p.lastColumn);
        for (int r : sheet.pageSetup.rowBreaks) out << QStringLiteral("row break %1").arg(r);
        for (int c : sheet.pageSetup.columnBreaks) out << QStringLiteral("column break %1").arg(c);
        for (const CellRange& m : sheet.merges)
            out << QStringLiteral("merge %1 %2 %3 %4")
                       .arg(m.firstRow)
                       .arg(m.lastRow)
                       .arg(m.firstColumn)
                       .arg(m.lastColumn);
        for (int c = 0; c < 256; ++c)
            out << QStringLiteral("col %1 %2 %3")
                       .arg(c)
                       .arg(sheet.columnWidth(c))
                       .arg(sheet.columnHidden(c));
        for (const Row& r : sheet.rows) {
            out << QStringLiteral("row %1 %2 %3")
                       .arg(r.index)
                       .arg(sheet.rowHeight(r.index))
                       .arg(r.hidden);
            for (const Cell& c : r.cells) {
                if (!c.hasValue() && r.cells.size() > 64) continue;
                const Font& f = book.fontOfXf(c.xf);
                const int xf = c.xf < book.xfs.size() ? c.xf : 15;
                const CellFormat x = xf < int(book.xfs.size()) ? book.xfs[xf] : CellFormat();
                out << QStringLiteral(
                           "fmt %1 %2 [%3] %4 %5 %6 %7 %8 | %9 %10 %11 %12 %13 %14 %15 %16")
                           .arg(r.index)
                           .arg(c.column)
                           .arg(book.formatCodeOfXf(c.xf))
                           .arg(f.name)
                           .arg(f.height)
                           .arg(f.weight)
                           .arg(f.italic)
                           .arg(f.colorIndex)
                           .arg(int(x.hAlign))
                           .arg(int(x.vAlign))
                           .arg(x.wrap)
                           .arg(x.bottom.style)
                           .arg(x.left.style)
                           .arg(x.fillPattern)
                           .arg(x.fillForeground)
                           .arg(x.rotation);
            }
        }
    }
    return out;
}

QString shared() {
    return QStringLiteral(TOVERA_SHARED);
}

} // namespace

class TestXlsWrite : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void corpusRoundTrip_data() {
        QTest::addColumn<QString>("path");
        QStringList files;
        for (const QString& dir :
             {QStringLiteral("/xls-corpus"), QStringLiteral("/sample-sheets")}) {
            QDir d(shared() + dir);
            for (const QFileInfo& fi : d.entryInfoList(
                     {QStringLiteral("*.xls"), QStringLiteral("*.XLS")}, QDir::Files, QDir::Name))
                files << fi.absoluteFilePath();
        }
        if (files.isEmpty()) {
            QTest::newRow("no corpus") << QString();
            return;
        }
        for (const QString& f : files) QTest::newRow(qPrintable(QFileInfo(f).fileName())) << f;
    }
    void corpusRoundTrip() {
        QFETCH(QString, path);
        if (path.isEmpty())
            QSKIP("the shared corpus is absent: round trip of real workbooks skipped");
        Workbook original;
        try {
            original = loadWorkbookFile(path);
        } catch (const EOleException&) {
            QSKIP("not readable (the reader's tests cover the refusal)");
        }
        const QByteArray bytes = saveWorkbookBytes(original);
        const Workbook again = loadWorkbookBytes(bytes, QStringLiteral("written"));
        QCOMPARE(again.biffVersion, 8);
        QCOMPARE(again.dateSystem1904, original.dateSystem1904);
        QCOMPARE(again.sheets.size(), original.sheets.size());
        const QStringList a = describe(original), b = describe(again);
        for (qsizetype i = 0; i < std::min(a.size(), b.size()); ++i)
            if (a[i] != b[i]) QCOMPARE(b[i], a[i]);
        QCOMPARE(b.size(), a.size());
        // Formulas of Excel 97 files come back with their tokens (names and 3-D references
        // renumbered to the tables written), those of Excel 5/95 files in the Excel 97 form,
        // unless they refer to what the file cannot hold (other workbooks, names not
        // written).
        const biff::CodepageDecoder decoder(original.codepage);
        xlswrite::Mapping map;
        const xlswrite::References refs = xlswrite::planReferences(original, map);
        const auto sheetXti = [&](int first, int last) {
            const auto it = map.sheetXti.find({first, last});
            return it == map.sheetXti.end() ? -1 : it->second;
        };
        // Every name written reads back, and none that the file cannot hold.
        QCOMPARE(again.definedNames.size(), refs.names.size());
        for (size_t k = 0; k < original.definedNames.size(); ++k) {
            const int to = map.names[k];
            if (to >= 0)
                QCOMPARE(again.definedNames[size_t(to)].name, original.definedNames[k].name);
        }
        for (size_t s = 0; s < original.sheets.size(); ++s)
            for (const Row& r : original.sheets[s].rows)
                for (const Cell& c : r.cells) {
                    if (!c.formula) continue;
                    const Cell* d = again.sheets[s].cell(r.index, c.column);
                    QVERIFY(d);
                    QByteArray written;
                    const bool writable =
                        original.biffVersion == 5
                            ? xlswrite::convertBiff5Tokens(c.formula->tokens, c.formula->extra,
                                                           decoder, sheetXti, written)
                            : xlswrite::remapTokens(c.formula->tokens, map, false, written);
                    if (d->formula && writable)
                        QCOMPARE(d->formula->tokens, written);
                    else if (d->formula)
                        QCOMPARE(d->formula->tokens, c.formula->tokens); // an array's cell
                    else if (original.biffVersion == 8 || original.biffVersion == 5)
                        QVERIFY2(!writable, qPrintable(QStringLiteral("formula at %1,%2 dropped")
                                                           .arg(r.index)
                                                           .arg(c.column)));
                }
        // A second round gives the same bytes: nothing grows or drifts.
        QCOMPARE(saveWorkbookBytes(again).size(), bytes.size());
    }

    void sstAcrossContinue() {
        Workbook book = Workbook::createDefault();
        Sheet& sheet = book.sheets.front();
        // Long strings of 8-bit and 16-bit characters, and many small ones for EXTSST.
        QStringList texts;
        for (int i = 0; i < 12; ++i)
            texts << (i % 2 ? QString(3000 + i, QChar(0x6F22)) : QString(5000 + i, QChar('a' + i)));
        for (int i = 0; i < 700; ++i) texts << QStringLiteral("文字列 %1").arg(i);
        texts << QStringLiteral("mixed ") + QString(9000, QChar(0x3042));
        for (int i = 0; i < texts.size(); ++i) {
            Cell c;
            c.column = uint16_t(i % 200);
            c.type = CellType::Text;
            c.text = texts[i];
            c.xf = 15;
            sheet.setCell(i / 200, c);
        }
        const QByteArray stream = workbookStream(book);
        const QList<Record> recs = records(stream);
        int sstAt = -1;
        for (int i = 0; i < recs.size(); ++i) {
            QVERIFY2(recs[i].data.size() <= 8224, "record over 8224 bytes");
            if (recs[i].id == 0x00FC) sstAt = i;
        }
        QVERIFY(sstAt >= 0);
        QCOMPARE(u32(recs[sstAt].data, 4), uint32_t(texts.size()));
        int continues = 0;
        while (recs[sstAt + 1 + continues].id == 0x003C) ++continues;
        QVERIFY(continues >= 8);
        const Record& ext = recs[sstAt + 1 + continues];
        QCOMPARE(ext.id, uint16_t(0x00FF));
        const int dsst = u16(ext.data, 0);
        QCOMPARE(dsst, std::max(8, int(texts.size()) / 128 + 1));
        const int buckets = (int(ext.data.size()) - 2) / 8;
        QCOMPARE(buckets, (int(texts.size()) + dsst - 1) / dsst);
        for (int k = 0; k < buckets; ++k) {
            const uint32_t ib = u32(ext.data, 2 + 8 * k);
            const uint16_t cb = u16(ext.data, 6 + 8 * k);
            // The bucket's first string starts there with its character count, and the
            // offset counts from the header of the record that holds it.
            QCOMPARE(int(u16(stream, ib)), int(texts[k * dsst].size()));
            const qsizetype header = ib - cb;
            QVERIFY(u16(stream, header) == 0x00FC || u16(stream, header) == 0x003C);
        }
        const Workbook again = loadWorkbookBytes(saveWorkbookBytes(book), QStringLiteral("w"));
        for (int i = 0; i < texts.size(); ++i) {
            const Cell* c = again.sheets.front().cell(i / 200, i % 200);
            QVERIFY(c);
            QCOMPARE(c->text, texts[i]);
        }
    }

    void formulasAndResults() {
        Workbook book = Workbook::createDefault();
        Sheet& sheet = book.sheets.front();
        auto formula = [](QByteArray tokens) {
            auto f = std::make_shared<Formula>();
            f->tokens = std::move(tokens);
            return std::shared_ptr<const Formula>(f);
        };
        const QByteArray onePlusTwo("\x1E\x01\x00\x1E\x02\x00\x03", 7);
        const QByteArray ref3d("\x3A\x00\x00\x00\x00\x00\x00", 7); // another sheet's A1
        Cell n;
        n.type = CellType::Number;
        n.number = 3;
        n.formula = formula(onePlusTwo);
        sheet.setCell(0, n);
        Cell s = n;
        s.column = 1;
        s.type = CellType::Text;
        s.text = QString(9000, QChar(0x5B57)); // a long result over STRING + CONTINUE
        sheet.setCell(0, s);
        Cell e = n;
        e.column = 2;
        e.type = CellType::Text; // empty text result
        sheet.setCell(0, e);
        Cell b = n;
        b.column = 3;
        b.type = CellType::Bool;
        b.boolValue = true;
        sheet.setCell(0, b);
        Cell err = n;
        err.column = 4;
        err.type = CellType::Error;
        err.errorCode = 0x07;
        sheet.setCell(0, err);
        Cell other = n;
        other.column = 5;
        other.number = 42;
        other.formula = formula(ref3d);
        sheet.setCell(0, other);

        const Workbook again = loadWorkbookBytes(saveWorkbookBytes(book), QStringLiteral("w"));
        const Sheet& s2 = again.sheets.front();
        for (int c = 0; c < 5; ++c) {
            QVERIFY(s2.cell(0, c));
            QVERIFY(s2.cell(0, c)->formula);
            QCOMPARE(s2.cell(0, c)->formula->tokens, onePlusTwo);
        }
        QCOMPARE(s2.cell(0, 0)->number, 3.0);
        QCOMPARE(s2.cell(0, 1)->text, s.text);
        QCOMPARE(s2.cell(0, 2)->type, CellType::Text);
        QVERIFY(s2.cell(0, 2)->text.isEmpty());
        QCOMPARE(s2.cell(0, 3)->boolValue, true);
        QCOMPARE(s2.cell(0, 4)->errorCode, uint8_t(0x07));
        // A reference to another sheet cannot be kept without its sheet table: the value is.
        QVERIFY(!s2.cell(0, 5)->formula);
        QCOMPARE(s2.cell(0, 5)->number, 42.0);
    }

    void numbersKeepTheirBits_data() {
        QTest::addColumn<double>("value");
        QTest::newRow("int") << 1200455.0;
        QTest::newRow("negative int") << -1.0;
        QTest::newRow("hundredths") << 12004.55;
        QTest::newRow("0.01") << 0.01;
        QTest::newRow("big") << 10000000.0;
        QTest::newRow("2^29") << 536870912.0;
        QTest::newRow("third") << 1.0 / 3;
        QTest::newRow("area") << 110.53999999999999;
        QTest::newRow("tiny") << 1e-300;
        QTest::newRow("negative hundredths") << -0.07;
    }
    void numbersKeepTheirBits() {
        QFETCH(double, value);
        Workbook book = Workbook::createDefault();
        Cell c;
        c.type = CellType::Number;
        c.number = value;
        c.xf = 15;
        book.sheets.front().setCell(3, c);
        const Workbook again = loadWorkbookBytes(saveWorkbookBytes(book), QStringLiteral("w"));
        QVERIFY(again.sheets.front().cell(3, 0));
        QCOMPARE(again.sheets.front().cell(3, 0)->number, value);
    }

    void otherFileTypesRefused() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("a.xls"));
        for (int type : {0, 1, 3, 5, 11}) {
            try {
                saveWorkbookFile(Workbook::createDefault(), path, type);
                QFAIL("no error");
            } catch (const EOleException& e) {
                QVERIFY(e.message().contains(path));
                QVERIFY(e.message().contains(QStringLiteral("対応していません")));
            }
        }
        QVERIFY(!QFile::exists(path));
    }

    void writesAtomically() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("明細.xls"));
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("old content");
        }
        QVERIFY(::chmod(QFile::encodeName(path).constData(), 0640) == 0);
        Workbook book = Workbook::createDefault();
        Cell c;
        c.type = CellType::Text;
        c.text = QStringLiteral("山路　千代子");
        book.sheets.front().setCell(3, c);
        saveWorkbookFile(book, path, kFileTypeExcel97);
        QCOMPARE(loadWorkbookFile(path).sheets.front().cell(3, 0)->text, c.text);
        struct stat st;
        QVERIFY(::stat(QFile::encodeName(path).constData(), &st) == 0);
        QCOMPARE(int(st.st_mode & 0777), 0640);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 1); // no temporary left

        // A target that cannot be replaced (a folder) fails and leaves everything as it was.
        const QString folder = dir.filePath(QStringLiteral("folder.xls"));
        QVERIFY(QDir().mkdir(folder));
        QVERIFY_THROWS_EXCEPTION(EOleException, saveWorkbookFile(book, folder, 4));
        QVERIFY(QFileInfo(folder).isDir());
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 1);

        const QString missing = dir.filePath(QStringLiteral("none/a.xls"));
        try {
            saveWorkbookFile(book, missing, 4);
            QFAIL("no error");
        } catch (const EOleException& e) {
            QCOMPARE(e.message(),
                     missing +
                         QStringLiteral(" に書き込めません（ファイル名の指定が間違っています）"));
        }
    }

    void emptyWorkbookStillHasASheet() {
        Workbook book;
        const Workbook again = loadWorkbookBytes(saveWorkbookBytes(book), QStringLiteral("w"));
        QCOMPARE(again.sheets.size(), size_t(1));
        QCOMPARE(again.sheets.front().valueCount(), size_t(0));
    }
    void limitsHoldForUnusualWorkbooks() {
        Workbook book = Workbook::createDefault();
        // Many sheets, a print area (with one range outside the sheet), an array formula too
        // long for its record, a cell format index past the table and an oversized font index
        // in a rich-text run.
        for (int i = 1; i < 1200; ++i) {
            Sheet s;
            s.name = QStringLiteral("Sheet1"); // clashes with the first: made unique
            book.sheets.push_back(s);
        }
        Sheet& first = book.sheets.front();
        first.pageSetup.printArea = {{0, 40, 0, 11}, {-5, 3, 0, 300}};
        book.sheets[1].pageSetup.printArea = {{0, 0, 0, 0}};
        auto longArray = std::make_shared<Formula>();
        longArray->tokens = QByteArray("\x01\x00\x00\x00\x00", 5);
        ArrayFormula a;
        a.range = {0, 0, 0, 0};
        a.formula.tokens = QByteArray("\x1E\x01\x00", 3);
        a.formula.extra = QByteArray(9000, 'x');
        first.arrayFormulas.push_back(a);
        Cell c;
        c.type = CellType::Number;
        c.number = 7;
        c.formula = longArray;
        first.setCell(0, c);
        Cell t;
        t.column = 1;
        t.type = CellType::Text;
        t.text = QStringLiteral("abc");
        t.runs = {{1, 999}};
        t.xf = 60000;
        first.setCell(0, t);

        const QByteArray stream = workbookStream(book);
        for (const Record& r : records(stream)) QVERIFY(r.data.size() <= 8224);
        const Workbook again = loadWorkbookBytes(saveWorkbookBytes(book), QStringLiteral("w"));
        QCOMPARE(again.sheets.size(), book.sheets.size());
        QCOMPARE(again.sheets[1].name, QStringLiteral("Sheet1(2)"));
        const Cell* v = again.sheets.front().cell(0, 0);
        QVERIFY(v && !v->formula);
        QCOMPARE(v->number, 7.0);
        QCOMPARE(again.sheets.front().cell(0, 1)->text, QStringLiteral("abc"));
        QCOMPARE(again.sheets.front().pageSetup.printArea.size(), size_t(1));
        QCOMPARE(again.sheets.front().pageSetup.printArea.front(), (CellRange{0, 40, 0, 11}));
    }
    void pageBreaksRoundTrip() {
        Workbook book = Workbook::createDefault();
        PageSetup& ps = book.sheets.front().pageSetup;
        ps.rowBreaks = {20, 10, 10, 0, 70000, 5};
        ps.columnBreaks = {3, 300};
        const QByteArray stream = workbookStream(book);
        const Workbook again = loadWorkbookBytes(saveWorkbookBytes(book), QStringLiteral("w"));
        // Out-of-sheet, first-row and repeated breaks go; the rest read back in order.
        QCOMPARE(again.sheets.front().pageSetup.rowBreaks, (std::vector<int>{5, 10, 20}));
        QCOMPARE(again.sheets.front().pageSetup.columnBreaks, (std::vector<int>{3}));
        // The breaks come before the header, as spreadsheet programs expect.
        int rowBreaks = -1, header = -1, index = 0;
        for (const Record& r : records(stream)) {
            if (r.id == 0x001B && rowBreaks < 0) rowBreaks = index;
            if (r.id == 0x0014 && header < 0) header = index;
            ++index;
        }
        QVERIFY(rowBreaks >= 0);
        QVERIFY(rowBreaks < header);
    }
};

QTEST_GUILESS_MAIN(TestXlsWrite)
#include "test_xls_write.moc"
