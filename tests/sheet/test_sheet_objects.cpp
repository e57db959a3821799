// Notes and pictures as the readers find them: the notes of real workbooks of every format
// with their authors and texts, kept through a save; bitmap pictures of each kind decoded
// at their anchors; hostile picture stores that give no picture and never crash or take
// memory they do not have.

#include "sheet/picture_support.h"
#include "sheet/sheetobjects.h"
#include "sheet/xlsreader.h"
#include "sheet/xlswriter.h"
#include "sheet/xlsxreader.h"

#include <QFile>
#include <QTest>

using namespace tovera;
using namespace tovera::testing;

namespace {

Workbook roundTrip(const Workbook& book) {
    return loadWorkbookBytes(saveWorkbookBytes(book), QStringLiteral("round.xls"));
}

QByteArray record(unsigned id, const QByteArray& body) {
    return le({id, unsigned(body.size())}) + body;
}

const QRgb kBlue = qRgb(0x10, 0x30, 0xE0);

bool near(QRgb a, QRgb b, int tolerance) {
    return std::abs(qRed(a) - qRed(b)) <= tolerance &&
           std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

QImage solid(int width, int height, QRgb colour) {
    QImage img(width, height, QImage::Format_RGB32);
    img.fill(colour);
    return img;
}

const DrawingAnchor kAnchor{1, 512, 2, 128, 4, 0, 8, 64};

} // namespace

class TestSheetObjects : public QObject {
    Q_OBJECT
private slots:
    void notesOfRealWorkbooks_data();
    void notesOfRealWorkbooks();
    void oldNoteGoesOnInItsNextRecord();
    void notesPastTheLimitAreTold();
    void picturesDecodeAtTheirAnchor_data();
    void picturesDecodeAtTheirAnchor();
    void hostilePictureStoresGiveNoPicture_data();
    void hostilePictureStoresGiveNoPicture();
    void anchorsBecomeRectangles();
};

void TestSheetObjects::notesOfRealWorkbooks_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("sheet");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("author");
    QTest::addColumn<QString>("text");
    QTest::newRow("Excel 97") << QStringLiteral("xls-corpus/poi-50833.xls") << 0 << 1 << 0 << 0
                              << QStringLiteral("Robert Lawrence")
                              << QStringLiteral("Robert Lawrence:\ntest comment");
    QTest::newRow("xlsx, lines") << QStringLiteral("xlsx-corpus/sheetjs-comments_stress_test.xlsx")
                                 << 0 << 10 << 1 << 1 << QStringLiteral("Author")
                                 << QStringLiteral("Colors come in three:\nARR\nGEE\nBEE");
    QTest::newRow("xlsx, rich runs")
        << QStringLiteral("xlsx-corpus/sheetjs-comments_stress_test.xlsx") << 0 << 10 << 0 << 2
        << QStringLiteral("Author")
        << QStringLiteral("I really hope that xlsx decides not to use magic like rPr");
    QTest::newRow("xlsx, second sheet")
        << QStringLiteral("xlsx-corpus/sheetjs-comments_stress_test.xlsx") << 1 << 9 << 3 << 1
        << QStringLiteral("Author")
        << QStringLiteral("Let me spoil the punchline now: it just loops");
}

void TestSheetObjects::notesOfRealWorkbooks() {
    QFETCH(QString, file);
    QFETCH(int, sheet);
    QFETCH(int, count);
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(QString, author);
    QFETCH(QString, text);
    const QString path = QStringLiteral(TOVERA_SHARED "/") + file;
    if (!QFile::exists(path)) QSKIP("the shared corpus is not available");
    const Workbook book = loadAnyWorkbookFile(path);
    const Sheet& s = book.sheets[size_t(sheet)];
    QCOMPARE(int(s.notes.size()), count);
    const CellNote* note = s.noteAt(row, column);
    QVERIFY(note);
    QCOMPARE(note->author, author);
    QCOMPARE(note->text, text);
    QVERIFY(!s.noteAt(row + 200, column));
    // Saved as an Excel 97 workbook, the notes read back as they were: kept as read from
    // an .xls file, written anew from an .xlsx one.
    const Workbook back = roundTrip(book);
    for (size_t i = 0; i < book.sheets.size(); ++i)
        QCOMPARE(back.sheets[i].notes, book.sheets[i].notes);
    QCOMPARE(roundTrip(back).sheets[size_t(sheet)].notes, s.notes);
}

void TestSheetObjects::oldNoteGoesOnInItsNextRecord() {
    // An Excel 4 sheet: a note of 2060 characters, 2048 in its record and the rest in a
    // record of row 0xFFFF, and a short note after it.
    const QByteArray first = QByteArray(2047, 'a') + 'b';
    QByteArray stream = record(0x0409, le({0, 0x0010, 0}));
    stream += record(0x001C, le({4, 2, 2060}) + first);
    stream += record(0x001C, le({0xFFFF, 0, 12}) + QByteArray("continued..."));
    stream += record(0x001C, le({0, 0, 5}) + QByteArray("short"));
    stream += record(0x000A, {});
    const Workbook book = loadWorkbookBytes(stream, QStringLiteral("old.xls"));
    const Sheet& s = book.sheets[0];
    QCOMPARE(int(s.notes.size()), 2);
    QCOMPARE(s.notes[0].text, QStringLiteral("short")); // sorted by cell
    const CellNote* longNote = s.noteAt(4, 2);
    QVERIFY(longNote);
    QCOMPARE(longNote->text.size(), 2060);
    QVERIFY(longNote->text.endsWith(QStringLiteral("bcontinued...")));
    QCOMPARE(roundTrip(book).sheets[0].notes, s.notes);
}

void TestSheetObjects::notesPastTheLimitAreTold() {
    // Notes from a file that keeps none of its own: one drawing holds 1023 of them.
    Workbook book = Workbook::createDefault();
    for (int i = 0; i < 1030; ++i)
        book.sheets[0].notes.push_back({i, 1, QStringLiteral("係"), QString::number(i), false});
    const QStringList told = keptPartsDropped(book);
    QCOMPARE(told.size(), 1);
    QVERIFY2(told[0].contains(QStringLiteral("7 件")), qPrintable(told[0]));
    const Workbook back = roundTrip(book);
    QCOMPARE(back.sheets[0].notes.size(), size_t(1023));
    QCOMPARE(back.sheets[0].notes.back().text, QStringLiteral("1022"));
    QCOMPARE(back.sheets[0].notes.back().author, QStringLiteral("係"));
    book.sheets[0].notes.resize(1023);
    QVERIFY(keptPartsDropped(book).isEmpty());
}

void TestSheetObjects::picturesDecodeAtTheirAnchor_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("tolerance");
    QTest::newRow("PNG") << int(BlipKind::Png) << 0;
    QTest::newRow("JPEG") << int(BlipKind::Jpeg) << 24;
    QTest::newRow("DIB") << int(BlipKind::Dib) << 0;
}

void TestSheetObjects::picturesDecodeAtTheirAnchor() {
    QFETCH(int, kind);
    QFETCH(int, tolerance);
    const Workbook book = pictureBook(solid(40, 24, kBlue), BlipKind(kind), kAnchor);
    const Workbook back = roundTrip(book);
    const Sheet& s = back.sheets[0];
    QCOMPARE(int(s.pictures.size()), 1);
    QCOMPARE(s.pictures[0].anchor, kAnchor);
    QCOMPARE(s.pictures[0].image.size(), QSize(40, 24));
    const QRgb centre = s.pictures[0].image.pixel(20, 12);
    QVERIFY2(near(centre, kBlue, tolerance), qPrintable(QString::number(centre, 16)));
    // The records the picture came from are what the file keeps.
    QCOMPARE(back.keptDrawingGroup, book.keptDrawingGroup);
    QCOMPARE(roundTrip(back).sheets[0].pictures.size(), size_t(1));
}

void TestSheetObjects::hostilePictureStoresGiveNoPicture_data() {
    QTest::addColumn<QByteArray>("group");
    QTest::addColumn<QByteArray>("drawing");
    const QByteArray png = blipBytes(solid(8, 8, kBlue), BlipKind::Png);
    const QByteArray good = drawingGroupWith(png, BlipKind::Png);
    const QByteArray drawing = sheetDrawingWith(kAnchor);
    // A PNG whose header declares 60000 × 60000 pixels (the decoder is never asked).
    QByteArray huge = png;
    huge.replace(16, 8, QByteArray::fromHex("0000ea600000ea60"));
    QTest::newRow("declared size past the budget")
        << drawingGroupWith(huge, BlipKind::Png) << drawing;
    QTest::newRow("store cut short") << good.left(good.size() - png.size() / 2) << drawing;
    QTest::newRow("entry past the store") << good << sheetDrawingWith(kAnchor, 7);
    QTest::newRow("entry 0") << good << sheetDrawingWith(kAnchor, 0);
    QByteArray longName = good;
    longName[8 + 32 + 8 + 8 + 33] = char(0xFF); // a name running past the entry
    QTest::newRow("name past the entry") << longName << drawing;
    QByteArray lying = good;
    lying.replace(4, 4, le32(0xFFFFFFF0)); // a container longer than everything
    QByteArray cut = lying.left(lying.size() - 8);
    QTest::newRow("lengths past the end, image cut") << cut << drawing;
    QByteArray deep = drawing;
    for (int i = 0; i < 200; ++i) deep = artRecord(0xF, 0, 0xF003, deep);
    QTest::newRow("nested past the limit") << good << deep;
    QTest::newRow("not a picture")
        << drawingGroupWith(QByteArray(64, '\x7F'), BlipKind::Png) << drawing;
}

void TestSheetObjects::hostilePictureStoresGiveNoPicture() {
    QFETCH(QByteArray, group);
    QFETCH(QByteArray, drawing);
    KeptSheetRecords kept;
    kept.afterCells.push_back({0x00EC, drawing});
    kept.afterCells.push_back({0x005D, pictureObject()});
    qint64 budget = kPicturePixelBudget;
    const std::vector<SheetPicture> pictures =
        picturesOfKeptRecords({{0x00EB, group}}, kept, budget);
    QVERIFY(pictures.empty());
    QCOMPARE(budget, kPicturePixelBudget);
    // The same records in a file read and written whole.
    Workbook book = Workbook::createDefault();
    book.keptDrawingGroup.push_back({0x00EB, group.left(8224)});
    book.sheets[0].kept = kept;
    QVERIFY(roundTrip(book).sheets[0].pictures.empty());
}

void TestSheetObjects::anchorsBecomeRectangles() {
    auto columnX = [](int c) { return c * 64.0; };
    auto rowY = [](int r) { return r * 20.0; };
    QCOMPARE(anchorRect(kAnchor, columnX, rowY), QRectF(QPointF(96, 50), QPointF(256, 165)));
    // Offsets past the cell end at its far edge; a corner before the other is no rectangle.
    const DrawingAnchor wide{0, 4000, 0, 999, 1, 0, 1, 0};
    QCOMPARE(anchorRect(wide, columnX, rowY), QRectF(QPointF(64, 20), QPointF(64, 20)));
    const DrawingAnchor backwards{5, 0, 5, 0, 2, 0, 9, 0};
    QVERIFY(anchorRect(backwards, columnX, rowY).isEmpty());
}

QTEST_GUILESS_MAIN(TestSheetObjects)
#include "test_sheet_objects.moc"
