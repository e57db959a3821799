// The .xlsx reader on workbooks built here: hostile archives and XML are refused with a
// message naming the cause, shared formulas move with their cells, an encrypted package
// is refused as password protected, and a workbook in memory loads through a handle.

#include "platform/errors.h"
#include "platform/globalmem.h"
#include "sheet/calc.h"
#include "sheet/workbookops.h"
#include "sheet/xlsxreader.h"
#include "sheet/xlsxreader_internal.h"

#include <QFile>
#include <QTest>
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-memory.h>
#include <gsf/gsf-utils.h>

using namespace tovera;

namespace {

uint32_t crc32Of(const QByteArray& data) {
    static uint32_t table[256];
    if (!table[1])
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            table[i] = c;
        }
    uint32_t c = 0xFFFFFFFFu;
    for (char b : data) c = table[(c ^ uint8_t(b)) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

void put16(QByteArray& out, uint32_t v) {
    out.append(char(v & 0xFF)).append(char((v >> 8) & 0xFF));
}
void put32(QByteArray& out, uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

// When set, the archives written declare every part 100 bytes long whatever it holds.
bool declareSmallSizes = false;

// A ZIP archive of the given parts, deflated.
QByteArray zipOf(const QList<std::pair<QString, QByteArray>>& parts) {
    QByteArray out, central;
    for (const auto& [name, data] : parts) {
        const QByteArray z = qCompress(data, 1);
        const QByteArray raw = z.mid(6, z.size() - 10); // the deflate stream inside zlib's
        const QByteArray n = name.toUtf8();
        const uint32_t offset = uint32_t(out.size()), crc = crc32Of(data);
        for (QByteArray* h : {&out, &central}) {
            if (h == &out) {
                put32(*h, 0x04034b50);
            } else {
                put32(*h, 0x02014b50);
                put16(*h, 20);
            }
            put16(*h, 20);
            put16(*h, 0);
            put16(*h, 8);
            put32(*h, 0);
            put32(*h, crc);
            put32(*h, uint32_t(raw.size()));
            put32(*h, declareSmallSizes ? 100u : uint32_t(data.size()));
            put16(*h, uint32_t(n.size()));
            put16(*h, 0);
            if (h == &central) {
                put16(*h, 0);
                put16(*h, 0);
                put16(*h, 0);
                put32(*h, 0);
                put32(*h, offset);
            }
            h->append(n);
        }
        out.append(raw);
    }
    const uint32_t start = uint32_t(out.size());
    out.append(central);
    put32(out, 0x06054b50);
    put16(out, 0);
    put16(out, 0);
    put16(out, uint32_t(parts.size()));
    put16(out, uint32_t(parts.size()));
    put32(out, uint32_t(central.size()));
    put32(out, start);
    put16(out, 0);
    return out;
}

// A workbook of one sheet "S" whose sheet part is `sheetXml` (its <sheetData> content
// when it does not start with "<?xml" or "<!").
QByteArray bookWith(const QByteArray& sheet) {
    const QByteArray ns = "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
                          "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/"
                          "relationships\"";
    const QByteArray rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
    const QByteArray sheetXml =
        sheet.startsWith("<?xml") || sheet.startsWith("<!")
            ? sheet
            : "<worksheet " + ns + "><sheetData>" + sheet + "</sheetData></worksheet>";
    return zipOf({
        {"_rels/.rels",
         "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
         "<Relationship Id=\"rId1\" Type=\"" +
             rel +
             "officeDocument\" Target=\"xl/workbook.xml\"/>"
             "</Relationships>"},
        {"xl/workbook.xml", "<workbook " + ns +
                                "><sheets><sheet name=\"S\" sheetId=\"1\" "
                                "r:id=\"rId1\"/></sheets></workbook>"},
        {"xl/_rels/workbook.xml.rels",
         "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
         "<Relationship Id=\"rId1\" Type=\"" +
             rel +
             "worksheet\" Target=\"worksheets/sheet1.xml\"/>"
             "</Relationships>"},
        {"xl/worksheets/sheet1.xml", sheetXml},
    });
}

QString refusal(const QByteArray& bytes) {
    try {
        loadAnyWorkbookBytes(bytes, QStringLiteral("book.xlsx"));
    } catch (const Exception& e) {
        return e.message();
    }
    return {};
}

} // namespace

class TestXlsxRead : public QObject {
    Q_OBJECT

private slots:
    void builtBookReads();
    void hostileRefused_data();
    void hostileRefused();
    void oversizedPartRefused_data();
    void oversizedPartRefused();
    void declaredDimensionNotTrusted();
    void sharedFormulaShift_data();
    void sharedFormulaShift();
    void encryptedPackageRefused();
    void loadsThroughHandle();
};

void TestXlsxRead::builtBookReads() {
    const Workbook b = loadAnyWorkbookBytes(
        bookWith("<row r=\"2\"><c r=\"B2\"><v>3</v></c><c r=\"C2\"><f>B2*2</f><v>6</v></c>"
                 "<c r=\"D2\" t=\"inlineStr\"><is><t>a_x000D_b</t></is></c>"
                 "<c r=\"E2\" t=\"e\"><v>#DIV/0!</v></c><c r=\"F2\" t=\"b\"><v>1</v></c></row>"),
        QStringLiteral("b.xlsx"));
    QCOMPARE(b.sheets.size(), size_t(1));
    const Sheet& s = b.sheets[0];
    QCOMPARE(s.name, QStringLiteral("S"));
    QCOMPARE(s.cell(1, 1)->number, 3.0);
    QVERIFY(s.cell(1, 2)->formula);
    QCOMPARE(formulaText(b, 0, 1, 2), QStringLiteral("=B2*2"));
    QCOMPARE(s.cell(1, 3)->text, QStringLiteral("a\rb"));
    QCOMPARE(s.cell(1, 4)->errorCode, uint8_t(0x07));
    QVERIFY(s.cell(1, 5)->boolValue);
}

void TestXlsxRead::hostileRefused_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("cause");
    const QByteArray good = bookWith("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>");
    QTest::newRow("truncated archive") << good.left(good.size() / 2) << QStringLiteral("ZIP");
    QByteArray laughs = "<?xml version=\"1.0\"?><!DOCTYPE w [<!ENTITY a \"aaaaaaaaaa\">";
    for (int k = 1; k < 10; ++k)
        laughs += QStringLiteral("<!ENTITY %1 \"&%2;&%2;&%2;&%2;&%2;&%2;&%2;&%2;&%2;&%2;\">")
                      .arg(QChar('a' + k))
                      .arg(QChar('a' + k - 1))
                      .toLatin1();
    laughs += "]><worksheet><sheetData><row><c t=\"inlineStr\"><is><t>&j;</t></is></c></row>"
              "</sheetData></worksheet>";
    QTest::newRow("nested entities") << bookWith(laughs) << QStringLiteral("DTD");
    QTest::newRow("external entity")
        << bookWith("<!DOCTYPE w [<!ENTITY x SYSTEM \"file:///etc/passwd\">]><worksheet>"
                    "<sheetData><row><c t=\"inlineStr\"><is><t>&x;</t></is></c></row>"
                    "</sheetData></worksheet>")
        << QStringLiteral("DTD");
    QTest::newRow("deep nesting") << bookWith(QByteArray("<x>").repeated(200))
                                  << QStringLiteral("入れ子");
    QTest::newRow("a value in row 1048576")
        << bookWith("<row r=\"1048576\"><c r=\"A1048576\"><v>1</v></c></row>")
        << QStringLiteral("65536");
    QTest::newRow("not a workbook") << zipOf({{"word/document.xml", "<document/>"}})
                                    << QStringLiteral("ブックのファイルではありません");
    QTest::newRow("malformed xml")
        << bookWith("<row r=\"1\"><c r=\"A1\"><v>1</v></row>") << QStringLiteral("XML");
}

void TestXlsxRead::hostileRefused() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, cause);
    const QString message = refusal(bytes);
    QVERIFY2(message.startsWith(QLatin1String("book.xlsx")), qPrintable(message));
    QVERIFY2(message.contains(cause), qPrintable(message));
}

void TestXlsxRead::oversizedPartRefused_data() {
    QTest::addColumn<bool>("declaredSmall");
    QTest::newRow("declared size") << false;
    QTest::newRow("size declared small") << true;
}

void TestXlsxRead::oversizedPartRefused() {
    QFETCH(bool, declaredSmall);
    // A part that inflates past the cap from a few hundred kilobytes.
    QByteArray sheet = "<worksheet><sheetData/>";
    sheet += QByteArray(int(xlsx::kPartLimit), ' ');
    sheet += "</worksheet>";
    declareSmallSizes = declaredSmall;
    const QByteArray bomb = bookWith("<?xml version=\"1.0\"?>" + sheet);
    declareSmallSizes = false;
    sheet.clear();
    QVERIFY(bomb.size() < 1 << 20);
    const QString message = refusal(bomb);
    QVERIFY2(message.startsWith(QLatin1String("book.xlsx")), qPrintable(message));
    if (!declaredSmall) // a part longer than declared may also be refused as damaged
        QVERIFY2(message.contains(QStringLiteral("大きすぎる")), qPrintable(message));
}

void TestXlsxRead::declaredDimensionNotTrusted() {
    const Workbook b = loadAnyWorkbookBytes(
        bookWith("<?xml version=\"1.0\"?><worksheet><dimension ref=\"A1:XFD1048576\"/>"
                 "<sheetData><row r=\"1\" spans=\"1:16384\"><c r=\"A1\"><v>1</v></c></row>"
                 "<row r=\"1048576\" customFormat=\"1\" s=\"0\"/></sheetData></worksheet>"),
        QStringLiteral("b.xlsx"));
    QCOMPARE(b.sheets[0].valueCount(), size_t(1));
    QVERIFY(b.sheets[0].rows.size() <= 2);
}

void TestXlsxRead::sharedFormulaShift_data() {
    QTest::addColumn<QString>("formula");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("columns");
    QTest::addColumn<QString>("moved");
    QTest::newRow("relative") << "A1+B2" << 2 << 1 << "B3+C4";
    QTest::newRow("absolute parts") << "$A1+B$2+$C$3" << 1 << 1 << "$A2+C$2+$C$3";
    QTest::newRow("strings and sheets") << "'A1'!A1&\"B2\"" << 1 << 0 << "'A1'!A2&\"B2\"";
    QTest::newRow("functions stay") << "LOG10(A1)+SUM(A1:A3)" << 1 << 0 << "LOG10(A2)+SUM(A2:A4)";
    QTest::newRow("off the sheet") << "A1" << -1 << 0 << "#REF!";
}

void TestXlsxRead::sharedFormulaShift() {
    QFETCH(QString, formula);
    QFETCH(int, rows);
    QFETCH(int, columns);
    QFETCH(QString, moved);
    QCOMPARE(xlsx::shiftFormula(formula, rows, columns), moved);
}

void TestXlsxRead::encryptedPackageRefused() {
    gsf_init();
    GsfOutput* mem = gsf_output_memory_new();
    GsfOutfile* ole = gsf_outfile_msole_new(mem);
    for (const char* name : {"EncryptionInfo", "EncryptedPackage"}) {
        GsfOutput* child = gsf_outfile_new_child(ole, name, FALSE);
        const QByteArray filler(4096, 'x');
        gsf_output_write(child, size_t(filler.size()),
                         reinterpret_cast<const guint8*>(filler.constData()));
        gsf_output_close(child);
        g_object_unref(child);
    }
    gsf_output_close(GSF_OUTPUT(ole));
    g_object_unref(ole);
    const QByteArray bytes(
        reinterpret_cast<const char*>(gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(mem))),
        qsizetype(gsf_output_size(mem)));
    g_object_unref(mem);
    QCOMPARE(refusal(bytes),
             QStringLiteral("book.xlsx はパスワードで保護されているため開けません"));
}

void TestXlsxRead::loadsThroughHandle() {
    const QByteArray bytes = bookWith("<row r=\"4\"><c r=\"D4\" t=\"inlineStr\"><is><t>山田</t>"
                                      "</is></c></row>");
    const HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, std::size_t(bytes.size()) + 100);
    std::memcpy(GlobalLock(h), bytes.constData(), std::size_t(bytes.size()));
    GlobalUnlock(h);
    Workbook book;
    LoadWorkbookFromHandle(book, h);
    GlobalFree(h);
    QCOMPARE(book.sheets[0].cell(3, 3)->text, QStringLiteral("山田"));
}

QTEST_GUILESS_MAIN(TestXlsxRead)
#include "test_xlsx_read.moc"
