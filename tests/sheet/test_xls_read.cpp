// The workbook reader on real detail sheets and on the record-level pieces it is built
// from: RK numbers, strings continued across records, shared formulas, decryption,
// number texts of the cell listing, and damaged input.

#include "platform/errors.h"
#include "sheet/biff.h"
#include "sheet/cfb.h"
#include "sheet/crypto.h"
#include "sheet/xlsreader.h"
#include "sheet/xlsreader_cells.h"
#include "sheet/xlsreader_internal.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTest>
#include <cstring>

using namespace tovera;

namespace {

QString sampleSheets() {
    return QStringLiteral(TOVERA_SHARED "/sample-sheets/");
}
QString corpus() {
    return QStringLiteral(TOVERA_SHARED "/xls-corpus/");
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readAll();
}

QByteArray hex(const char* text) {
    return QByteArray::fromHex(text);
}

// The data of the FILEPASS record of a workbook stream.
QByteArray filePassOf(const QByteArray& stream) {
    biff::RecordReader reader(stream);
    biff::Record r;
    while (reader.next(r))
        if (r.id == biff::kFilePass)
            return QByteArray(reinterpret_cast<const char*>(r.data), qsizetype(r.size));
    return {};
}

// The u16 data of the first record with `id`, or -1.
int firstU16(const QByteArray& stream, uint16_t id) {
    biff::RecordReader reader(stream);
    biff::Record r;
    while (reader.next(r))
        if (r.id == id) return r.cursor().u16();
    return -1;
}

} // namespace

class TestXlsRead : public QObject {
    Q_OBJECT

private slots:
    void rkNumbers_data();
    void rkNumbers();
    void stringAcrossContinue();
    void codepageTexts_data();
    void codepageTexts();
    void fileErrors_data();
    void fileErrors();
    void sharedFormulaBecomesOrdinary();
    void listingNumbers_data();
    void listingNumbers();
    void dateFormats_data();
    void dateFormats();
    void xorPasswordValues();
    void decryptsWithTheRightPasswordOnly_data();
    void decryptsWithTheRightPasswordOnly();
    void mokuzouSheet();
    void biff5SheetInCodePage932();
    void bareStreamOutOfOrder();
    void corpusLayout();
    void modelCellsStaySorted();
    void builtinFormatCodes_data();
    void builtinFormatCodes();
    void bytesLongerThanTheWorkbook();
    void notAWorkbook_data();
    void notAWorkbook();
    void damagedCopiesNeverCrash();
};

void TestXlsRead::rkNumbers_data() {
    QTest::addColumn<uint>("rk");
    QTest::addColumn<double>("value");
    QTest::newRow("double") << 0x416312D0u << 10000000.0;
    QTest::newRow("int") << 0x0049451Eu << 1200455.0;
    QTest::newRow("double /100") << 0x3FF00001u << 0.01;
    QTest::newRow("int /100") << 0x0049451Fu << 12004.55;
    QTest::newRow("one") << 0x00000006u << 1.0;
    QTest::newRow("minus one") << 0xFFFFFFFEu << -1.0;
    QTest::newRow("most negative int") << 0x80000002u << -536870912.0;
}

void TestXlsRead::rkNumbers() {
    QFETCH(uint, rk);
    QFETCH(double, value);
    QCOMPARE(biff::rkValue(rk), value);
}

void TestXlsRead::stringAcrossContinue() {
    // "ab" + "漢字" + "cd": 8-bit characters, then a CONTINUE switching to 16-bit, then a
    // second CONTINUE switching back; the run list follows without a flag byte.
    const QByteArray first = hex("0600"
                                 "08"
                                 "0100"
                                 "6162");
    const QByteArray second = hex("01"
                                  "226f"
                                  "575b");
    const QByteArray third = hex("00"
                                 "6364"
                                 "0200"
                                 "0500");
    biff::Cursor c({{reinterpret_cast<const uint8_t*>(first.constData()), size_t(first.size())},
                    {reinterpret_cast<const uint8_t*>(second.constData()), size_t(second.size())},
                    {reinterpret_cast<const uint8_t*>(third.constData()), size_t(third.size())}});
    const uint16_t count = c.u16();
    const uint8_t flags = c.u8();
    const uint16_t runs = c.u16();
    QCOMPARE(c.chars8(count, flags), QStringLiteral("ab漢字cd"));
    QCOMPARE(runs, uint16_t(1));
    QCOMPARE(c.u16(), uint16_t(2));
    QCOMPARE(c.u16(), uint16_t(5));
    QVERIFY(c.ok());
    QVERIFY(c.atEnd());
    c.u8();
    QVERIFY(!c.ok()); // reading past the end is noticed, not a crash
}

void TestXlsRead::codepageTexts_data() {
    QTest::addColumn<int>("codepage");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("932 taka") << 932 << hex("fbfc") << "髙";
    QTest::newRow("932 taka, second code") << 932 << hex("eee0") << "髙";
    QTest::newRow("932 saki, both codes") << 932 << hex("fab1ed95") << "﨑﨑";
    QTest::newRow("932 square metre") << 932 << hex("8775") << "㎡";
    QTest::newRow("932 half-width katakana") << 932 << hex("d3d9c0d9") << "ﾓﾙﾀﾙ";
    QTest::newRow("1252") << 1252 << hex("e980") << "é€";
    QTest::newRow("old Windows Latin") << 32769 << hex("e9") << "é";
    QTest::newRow("1251") << 1251 << hex("c4e0") << "Да";
    QTest::newRow("Mac Roman") << 10000 << hex("8e") << "é";
    QTest::newRow("unknown code page as 1252") << 4242 << hex("e9") << "é";
}

void TestXlsRead::codepageTexts() {
    QFETCH(int, codepage);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    biff::CodepageDecoder decoder(codepage);
    QCOMPARE(decoder.decode(bytes), text);
}

void TestXlsRead::fileErrors_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("cause");
    QTest::newRow("missing file") << QDir::tempPath() + "/tovera-no-such-book.xls"
                                  << "ファイルが見つかりません";
    QTest::newRow("missing folder") << QDir::tempPath() + "/tovera-no-such-dir/book.xls"
                                    << "ファイル名の指定が間違っています";
}

void TestXlsRead::fileErrors() {
    QFETCH(QString, path);
    QFETCH(QString, cause);
    try {
        loadWorkbookFile(path);
        QFAIL("a missing file was read");
    } catch (const EOleException& e) {
        QVERIFY2(e.message().startsWith(path), qPrintable(e.message()));
        QVERIFY2(e.message().contains(cause), qPrintable(e.message()));
    }
}

void TestXlsRead::sharedFormulaBecomesOrdinary() {
    // RefN(row+0, col-2) RefN(row+0, col-1) Mul Int 10 Add, used by C5: A5*B5+10.
    QByteArray out;
    QVERIFY(xlsread::resolveSharedTokens(hex("2c0000fec0"
                                             "2c0000ffc0"
                                             "05"
                                             "1e0a00"
                                             "03"),
                                         4, 2, out));
    QCOMPARE(out.toHex(), QByteArray("240400"
                                     "00c0"
                                     "240400"
                                     "01c0"
                                     "05"
                                     "1e0a00"
                                     "03"));
    // An absolute row stays; a column offset wraps around the sheet's 256 columns.
    QVERIFY(xlsread::resolveSharedTokens(hex("4c0700ff40"), 10, 0, out));
    QCOMPARE(out.toHex(), QByteArray("440700ff40"));
    // An unknown token cannot be rebuilt.
    QVERIFY(!xlsread::resolveSharedTokens(hex("2c0000fec0"
                                              "ff"),
                                          4, 2, out));
    QVERIFY(!xlsread::resolveSharedTokens(hex("2c0000"), 4, 2, out)); // cut short
}

void TestXlsRead::listingNumbers_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("date serial") << 36526.0 << "36526.0";
    QTest::newRow("tenth") << 0.1 << "0.1";
    QTest::newRow("area") << 110.53999999999999 << "110.53999999999999";
    QTest::newRow("small fixed") << 0.0001 << "0.0001";
    QTest::newRow("small exp") << 0.00001 << "1e-05";
    QTest::newRow("16 digits fixed") << 1234567890123456.0 << "1234567890123456.0";
    QTest::newRow("1e16") << 1e16 << "1e+16";
    QTest::newRow("big exp") << 1.5e300 << "1.5e+300";
    QTest::newRow("negative") << -2.5 << "-2.5";
    QTest::newRow("negative zero") << -0.0 << "-0.0";
    QTest::newRow("zero") << 0.0 << "0.0";
    QTest::newRow("denormal") << 5e-324 << "5e-324";
}

void TestXlsRead::listingNumbers() {
    QFETCH(double, value);
    QFETCH(QString, text);
    QCOMPARE(shortestDouble(value), text);
}

void TestXlsRead::dateFormats_data() {
    QTest::addColumn<QString>("code");
    QTest::addColumn<bool>("date");
    QTest::newRow("escaped kanji") << "yyyy\\年m\\月d\\日" << true;
    QTest::newRow("quoted kanji") << "yyyy\"年\"m\"月\"" << true;
    QTest::newRow("era") << "[$-411]ggge\"年\"m\"月\"d\"日\"" << true;
    QTest::newRow("elapsed") << "[h]:mm:ss" << true;
    QTest::newRow("general") << "General" << false;
    QTest::newRow("fixed") << "0.00" << false;
    QTest::newRow("thousands") << "#,##0" << false;
    QTest::newRow("red negative") << "#,##0;[Red]\\-#,##0" << false;
    QTest::newRow("text") << "@" << false;
    QTest::newRow("quoted letters") << "0\" days\"" << false;
    QTest::newRow("scientific") << "0.00E+00" << false;
}

void TestXlsRead::dateFormats() {
    QFETCH(QString, code);
    QFETCH(bool, date);
    QCOMPARE(isDateFormatCode(code), date);
}

void TestXlsRead::xorPasswordValues() {
    QCOMPARE(crypto::xorKey("password"), uint16_t(0x147A));
    QCOMPARE(crypto::xorVerifier("password"), uint16_t(0x83AF));
    QCOMPARE(crypto::xorKey(crypto::kDefaultPassword), uint16_t(0xB359));
    QCOMPARE(crypto::xorVerifier(crypto::kDefaultPassword), uint16_t(0x9A0A));
}

void TestXlsRead::decryptsWithTheRightPasswordOnly_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("password");
    QTest::newRow("xor") << "sheetjs-password_2002_40_xor.xls" << QByteArray("password");
    QTest::newRow("cryptoapi rc4")
        << "sheetjs-password_2002_128_strong.xls" << QByteArray("password");
    QTest::newRow("rc4 default") << "poi-50833.xls" << QByteArray(crypto::kDefaultPassword);
}

void TestXlsRead::decryptsWithTheRightPasswordOnly() {
    QFETCH(QString, file);
    QFETCH(QByteArray, password);
    const QByteArray bytes = readFile(corpus() + file);
    if (bytes.isEmpty()) QSKIP("the shared workbook corpus is absent");
    QByteArray stream = cfb::extractWorkbookStream(bytes, file).data;
    const QByteArray filePass = filePassOf(stream);
    QVERIFY(!filePass.isEmpty());
    const QByteArray original = stream;
    if (password != crypto::kDefaultPassword) {
        QCOMPARE(crypto::decryptStream(stream, filePass, 8), crypto::Outcome::WrongPassword);
        QCOMPARE(stream, original);
    }
    QCOMPARE(crypto::decryptStream(stream, filePass, 8, password), crypto::Outcome::Decrypted);
    QCOMPARE(firstU16(stream, 0x0042), 1200); // CODEPAGE reads as UTF-16 once decrypted
}

void TestXlsRead::mokuzouSheet() {
    const QString path = sampleSheets() + QStringLiteral("hyoten_mokuzou_2f.xls");
    if (!QFile::exists(path)) QSKIP("the shared sample sheets are absent");
    const Workbook book = loadWorkbookFile(path);
    QCOMPARE(book.biffVersion, 8);
    QVERIFY(book.japanese);
    QVERIFY(book.sheets.size() >= 2);
    const Sheet& s = book.sheets[0];
    QCOMPARE(s.name, QStringLiteral("評点明細"));
    const Cell* owner = s.cell(3, 3);
    QVERIFY(owner);
    QCOMPARE(owner->text, QStringLiteral("山路　千代子"));
    QVERIFY(std::find(s.merges.begin(), s.merges.end(), CellRange{3, 3, 3, 7}) != s.merges.end());
    const Cell* points = s.cell(5, 4);
    QVERIFY(points && points->formula);
    QCOMPARE(points->number, 86806.0);
    QCOMPARE(book.formatCodeOfXf(points->xf), QStringLiteral("#,##0"));
    const Cell* total = s.cell(5, 11);
    QVERIFY(total && total->formula);
    QCOMPARE(total->number, 110.53999999999999);
    // =J6+K6: two relative references and an addition.
    QCOMPARE(total->formula->tokens.toHex(), QByteArray("440500"
                                                        "09c0"
                                                        "440500"
                                                        "0ac0"
                                                        "03"));
    const Cell* g6 = s.cell(5, 6);
    QVERIFY(!g6 || !g6->hasValue()); // a border only
    const Cell* surveyDate = s.cell(1, 9);
    QVERIFY(surveyDate && isDateCell(book, *surveyDate));
    QVERIFY(s.pageSetup.fitToPage);
    QCOMPARE(s.pageSetup.fitWidth, uint16_t(1));
    QCOMPARE(s.pageSetup.paperSize, uint16_t(9));
    QVERIFY(!s.pageSetup.landscape);
    QVERIFY(!s.pageSetup.printArea.empty());
    QVERIFY(s.columnWidth(0) != s.columnWidth(3) || s.columnWidth(3) != s.columnWidth(4));
    QVERIFY(s.rowHeight(0) > s.defaultRowHeight); // the 16 pt title row
    QCOMPARE(book.fontOfXf(s.cell(0, 0)->xf).height, uint16_t(320));
    QVERIFY(book.fontOfXf(s.cell(0, 0)->xf).bold());
}

void TestXlsRead::biff5SheetInCodePage932() {
    const QString path = sampleSheets() + QStringLiteral("hyoten_heisei10_biff5.xls");
    if (!QFile::exists(path)) QSKIP("the shared sample sheets are absent");
    const Workbook book = loadWorkbookFile(path);
    QCOMPARE(book.biffVersion, 5);
    QCOMPARE(book.codepage, 932);
    const Sheet& s = book.sheets[0];
    QCOMPARE(s.name, QStringLiteral("評点明細"));
    QCOMPARE(s.cell(3, 3)->text, QStringLiteral("髙﨑　房江"));
    QCOMPARE(s.cell(5, 11)->number, 91.05);
    QVERIFY(s.cell(5, 11)->formula);
    QCOMPARE(book.fontOfXf(s.cell(3, 3)->xf).name, QStringLiteral("ＭＳ Ｐゴシック"));
}

// One record: id, size, data.
static QByteArray rec(uint16_t id, const QByteArray& data) {
    QByteArray out;
    out.append(char(id & 0xFF)).append(char(id >> 8));
    out.append(char(data.size() & 0xFF)).append(char(data.size() >> 8));
    return out + data;
}

static QByteArray le(uint16_t v) {
    return QByteArray(1, char(v & 0xFF)) + char(v >> 8);
}

static QByteArray f64(double d) {
    QByteArray b(8, '\0');
    std::memcpy(b.data(), &d, 8);
    return b;
}

void TestXlsRead::bareStreamOutOfOrder() {
    // A BIFF3 worksheet without CODEPAGE (code page 932 then): cells out of row order, a
    // cell written twice, a text formula result in a STRING record, and a row with only a
    // ROW record.
    QByteArray s = rec(0x0209, le(0x0300) + le(0x0010) + le(0));
    s += rec(0x0203, le(5) + le(1) + le(0) + f64(1.5));
    s += rec(0x0203, le(2) + le(0) + le(0) + f64(-3));
    s += rec(0x0204, le(2) + le(2) + le(0) + le(4) + QByteArray::fromHex("8e52967b")); // 山本
    s += rec(0x0203, le(5) + le(1) + le(0) + f64(7.25)); // the same cell again: this one wins
    s += rec(0x0206, le(3) + le(0) + le(0) + QByteArray::fromHex("000000000000ffff") + le(0) +
                         le(3) + QByteArray::fromHex("1e0100"));
    s += rec(0x0207, le(2) + QByteArray("ok"));
    s += rec(0x0208, le(9) + le(0) + le(0) + le(600) + le(0) + le(0) + le(0x0140) + le(15));
    s += rec(0x000A, {});
    const Workbook b = loadWorkbookBytes(s, QStringLiteral("bare.xls"));
    QCOMPARE(b.biffVersion, 3);
    const Sheet& sheet = b.sheets[0];
    QCOMPARE(cellLines(b), QStringList({"0\t3\t1\tnumber\t-3.0", "0\t3\t3\ttext\t山本",
                                        "0\t4\t1\ttext\tok", "0\t6\t2\tnumber\t7.25"}));
    QVERIFY(sheet.cell(3, 0)->formula);
    QCOMPARE(sheet.rows.size(), size_t(4));
    QCOMPARE(sheet.rowHeight(9), uint16_t(600));
    QVERIFY(sheet.row(9)->customHeight);
    QVERIFY(sheet.row(9)->cells.empty());
}

void TestXlsRead::corpusLayout() {
    if (!QFile::exists(corpus() + "sheetjs-row_height.xls"))
        QSKIP("the shared workbook corpus is absent");
    const Workbook vis = loadWorkbookFile(corpus() + "sheetjs-sheet_visibility.xls");
    QCOMPARE(vis.sheets.size(), size_t(3));
    QCOMPARE(vis.sheets[1].name, QStringLiteral("Hidden"));
    QCOMPARE(vis.sheets[1].visibility, 1);
    QCOMPARE(vis.sheets[2].visibility, 2);

    const Sheet heights = loadWorkbookFile(corpus() + "sheetjs-row_height.xls").sheets[0];
    QCOMPARE(heights.rowHeight(1), uint16_t(20));
    QCOMPARE(heights.rowHeight(3), uint16_t(2000));
    QVERIFY(heights.row(3)->customHeight);
    QCOMPARE(heights.rowHeight(500), heights.defaultRowHeight);

    const Sheet widths = loadWorkbookFile(corpus() + "sheetjs-column_width.xls").sheets[0];
    QCOMPARE(widths.columnWidth(1), uint16_t(42));
    QCOMPARE(widths.columnWidth(2), uint16_t(4266));
    QCOMPARE(widths.columnWidth(7), uint16_t(4309));
    QCOMPARE(widths.columnWidth(8), widths.columnWidth(200)); // the default

    QCOMPARE(loadWorkbookFile(corpus() + "sheetjs-merge_cells.xls").sheets[0].merges.size(),
             size_t(5));
    QVERIFY(loadWorkbookFile(corpus() + "libxls-dates-1904.xls").dateSystem1904);
    QVERIFY(!loadWorkbookFile(corpus() + "libxls-dates-1900.xls").dateSystem1904);

    const Workbook rich = loadWorkbookFile(corpus() + "sheetjs-rich_text_stress.xls");
    int richCells = 0;
    for (const Row& r : rich.sheets[0].rows)
        for (const Cell& c : r.cells) {
            if (c.runs.isEmpty()) continue;
            ++richCells;
            for (const TextRun& run : c.runs) {
                QVERIFY(run.font < rich.fonts.size());
                QVERIFY(run.start < c.text.size());
            }
        }
    QVERIFY(richCells > 5);
}

void TestXlsRead::modelCellsStaySorted() {
    Sheet sheet;
    Cell c;
    c.type = CellType::Number;
    for (int col : {5, 1, 3}) {
        c.column = uint16_t(col);
        c.number = col;
        sheet.setCell(7, c);
    }
    c.column = 3;
    c.number = 33;
    sheet.setCell(7, c); // replaces
    sheet.setCell(2, c);
    QCOMPARE(sheet.rows.size(), size_t(2));
    QCOMPARE(sheet.rows[0].index, 2);
    const Row* row = sheet.row(7);
    QCOMPARE(row->cells.size(), size_t(3));
    QCOMPARE(row->cells[0].column, uint16_t(1));
    QCOMPARE(row->cells[2].column, uint16_t(5));
    QCOMPARE(sheet.cell(7, 3)->number, 33.0);
    QVERIFY(!sheet.cell(7, 4));
    QCOMPARE(sheet.valueCount(), size_t(4));
}

void TestXlsRead::builtinFormatCodes_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<bool>("japanese");
    QTest::addColumn<QString>("code");
    QTest::newRow("general") << 0 << true << "General";
    QTest::newRow("short date ja") << 14 << true << "yyyy/m/d";
    QTest::newRow("short date en") << 14 << false << "m/d/yyyy";
    QTest::newRow("date time ja") << 22 << true << "yyyy/m/d h:mm";
    QTest::newRow("kanji date") << 31 << true << "yyyy\"年\"m\"月\"d\"日\"";
    QTest::newRow("kanji time") << 33 << true << "h\"時\"mm\"分\"ss\"秒\"";
    QTest::newRow("month day 56") << 56 << true << "m\"月\"d\"日\"";
    QTest::newRow("no 31 outside Japan") << 31 << false << "";
    QTest::newRow("text") << 49 << false << "@";
}

void TestXlsRead::builtinFormatCodes() {
    QFETCH(int, id);
    QFETCH(bool, japanese);
    QFETCH(QString, code);
    QCOMPARE(Workbook::builtinFormatCode(id, japanese), code);
    Workbook b;
    b.japanese = japanese;
    b.numberFormats[uint16_t(id)] = QStringLiteral("0.0");
    QCOMPARE(b.numberFormatCode(id), QStringLiteral("0.0")); // the file's own text wins
}

void TestXlsRead::bytesLongerThanTheWorkbook() {
    const QByteArray bytes = readFile(sampleSheets() + QStringLiteral("hyoten_fuzokuka_ari.xls"));
    if (bytes.isEmpty()) QSKIP("the shared sample sheets are absent");
    const Workbook plain = loadWorkbookBytes(bytes, QStringLiteral("a"));
    QByteArray padded = bytes;
    padded.append(QByteArray(5000, '\xAB'));
    const Workbook longer = loadWorkbookBytes(padded, QStringLiteral("b"));
    QCOMPARE(cellLines(longer), cellLines(plain));
    QVERIFY(cellLines(plain).size() > 100);
    QCOMPARE(plain.sheets[0].cell(3, 3)->text, QStringLiteral("宮﨑　健太郎"));
}

void TestXlsRead::notAWorkbook_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("cause");
    QTest::newRow("empty") << QByteArray() << "ブックのファイルではありません";
    QTest::newRow("text") << QByteArray("hello, world\n") << "ブックのファイルではありません";
    QByteArray header = hex("d0cf11e0a1b11ae1");
    header.append(QByteArray(600, '\0'));
    QTest::newRow("bare container header") << header << "壊れている";
    QTest::newRow("bare BOF then nothing") << hex("09020600"
                                                  "0000"
                                                  "1000"
                                                  "0000")
                                           << "途中で切れています";
    QTest::newRow("cut BOF") << hex("0902060000001000") << "ブックのファイルではありません";
}

void TestXlsRead::notAWorkbook() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, cause);
    try {
        const Workbook b = loadWorkbookBytes(bytes, QStringLiteral("x.xls"));
        QVERIFY2(cause.isEmpty(), "a non-workbook was read");
        QCOMPARE(b.sheets.size(), size_t(1));
        QCOMPARE(b.sheets[0].valueCount(), size_t(0));
    } catch (const EOleException& e) {
        QVERIFY(!cause.isEmpty());
        QVERIFY2(e.message().startsWith(QStringLiteral("x.xls ")), qPrintable(e.message()));
        QVERIFY2(e.message().contains(cause), qPrintable(e.message()));
    }
}

void TestXlsRead::damagedCopiesNeverCrash() {
    // Cut and scrambled copies of real workbooks either read or fail with EOleException.
    const QStringList files = {sampleSheets() + "hyoten_mokuzou_2f.xls",
                               sampleSheets() + "hyoten_heisei10_biff5.xls",
                               corpus() + "sheetjs-crlf-CRLFX5_2.XLS", corpus() + "poi-50833.xls"};
    QRandomGenerator rng(20261209);
    int read = 0, refused = 0;
    for (const QString& file : files) {
        const QByteArray bytes = readFile(file);
        if (bytes.isEmpty()) QSKIP("the shared workbooks are absent");
        for (int round = 0; round < 60; ++round) {
            QByteArray copy = bytes;
            if (round % 3 == 0) {
                copy.truncate(qsizetype(rng.bounded(quint32(bytes.size()))));
            } else {
                const int flips = 1 + int(rng.bounded(40u));
                for (int k = 0; k < flips; ++k)
                    copy[qsizetype(rng.bounded(quint32(copy.size())))] = char(rng.bounded(256u));
            }
            try {
                loadWorkbookBytes(copy, QStringLiteral("damaged.xls"));
                ++read;
            } catch (const EOleException&) {
                ++refused;
            }
        }
    }
    QVERIFY(read > 0);
    QVERIFY(refused > 0);
}

QTEST_GUILESS_MAIN(TestXlsRead)
#include "test_xls_read.moc"
