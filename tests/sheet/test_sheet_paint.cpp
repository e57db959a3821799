// Sheet geometry, cell painting and pagination: pixel geometry of real workbooks, real
// pixels of painted cells (fills, borders, text, overflow, ####, format colours, merged
// areas) and the pages a sheet's page setup gives.

#include "platform/errors.h"
#include "sheet/cellpaint.h"
#include "sheet/celltext.h"
#include "sheet/sheetgeometry.h"
#include "sheet/sheetprint.h"
#include "sheet/xlsreader.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace tovera;

namespace {

const QColor kWhite(Qt::white);

QString shared(const QString& rel) {
    return QStringLiteral(TOVERA_SHARED "/") + rel;
}

bool sharedPresent() {
    return QFileInfo(shared(QStringLiteral("sample-sheets"))).isDir();
}

// The Japanese default workbook with an added cell format; returns its index.
int addFormat(Workbook& book, const CellFormat& f) {
    book.xfs.push_back(f);
    return int(book.xfs.size()) - 1;
}

void setText(Sheet& sheet, int row, int column, const QString& text, int xf = 15) {
    Cell c;
    c.column = uint16_t(column);
    c.type = CellType::Text;
    c.text = text;
    c.xf = uint16_t(xf);
    sheet.setCell(row, c);
}

void setNumber(Sheet& sheet, int row, int column, double v, int xf = 15) {
    Cell c;
    c.column = uint16_t(column);
    c.type = CellType::Number;
    c.number = v;
    c.xf = uint16_t(xf);
    sheet.setCell(row, c);
}

// The sheet painted at 100 % from A1 into a white picture of `size`.
QImage paint(const Workbook& book, int sheet = 0, QSize size = QSize(600, 200), bool grid = true) {
    QImage img(size, QImage::Format_RGB32);
    img.fill(kWhite);
    QPainter p(&img);
    CellPaintContext ctx{&book, &book.sheets[size_t(sheet)], 1.0, grid};
    paintSheetArea(p, ctx, CellRange{0, 200, 0, 60}, QPointF(0, 0));
    p.end();
    return img;
}

QRect cellRect(const SheetGeometry& g, int row, int column) {
    return QRect(g.columnX(column), g.rowY(row), g.columnWidth(column), g.rowHeight(row));
}

// Pixels in `r` darker than light grey (text, borders), grid lines excluded.
int darkPixels(const QImage& img, const QRect& r) {
    int n = 0;
    const QRect in = r.intersected(img.rect());
    for (int y = in.top(); y <= in.bottom(); ++y)
        for (int x = in.left(); x <= in.right(); ++x)
            if (qGray(img.pixel(x, y)) < 160) ++n;
    return n;
}

// Pixels in `r` that are clearly red.
int redPixels(const QImage& img, const QRect& r) {
    int n = 0;
    const QRect in = r.intersected(img.rect());
    for (int y = in.top(); y <= in.bottom(); ++y)
        for (int x = in.left(); x <= in.right(); ++x) {
            const QColor c = img.pixelColor(x, y);
            if (c.red() > 150 && c.green() < 100 && c.blue() < 100) ++n;
        }
    return n;
}

// A sheet of rows × columns numbers in the Japanese default workbook (72 × 18 pixels).
Workbook gridBook(int rows, int columns) {
    Workbook b = Workbook::createDefault();
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c) setNumber(b.sheets[0], r, c, r * 100 + c);
    return b;
}

} // namespace

class TestSheetPaint : public QObject {
    Q_OBJECT
private slots:
    void maxDigitWidths_data();
    void maxDigitWidths();
    void columnAndRowPixels();
    void geometryLookups();
    void corpusGeometry_data();
    void corpusGeometry();
    void corpusGeometryPaintAndPages();
    void sampleSheetPixels();
    void textOverflow();
    void narrowNumberShowsHashes();
    void formatColours();
    void alignmentsAndBorderStyles();
    void generalNumbersShortenInNarrowCells();
    void shrinkToFitAndRichText();
    void mergedAreaIsOneCell();
    void paintCellAlone();
    void hostileSheetsPaint();
    void pagination_data();
    void pagination();
    void manualBreaks_data();
    void manualBreaks();
    void columnWiderThanPage();
    void usedRangeAndEmptySheet();
    void headingsAndHugePrintAreas();
    void paperSizes_data();
    void paperSizes();
    void printToPdfDevice();
    void printToPrinter();
    void samplePagesAndFooter();
};

void TestSheetPaint::maxDigitWidths_data() {
    QTest::addColumn<QString>("face");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("mdw");
    QTest::newRow("Arial 10") << QStringLiteral("Arial") << 200 << 7;
    QTest::newRow("Calibri 11") << QStringLiteral("Calibri") << 220 << 7;
    QTest::newRow("MS PGothic 11") << QStringLiteral("ＭＳ Ｐゴシック") << 220 << 8;
    QTest::newRow("MS PGothic latin name") << QStringLiteral("MS PGothic") << 220 << 8;
    QTest::newRow("Arial 20") << QStringLiteral("Arial") << 400 << 14;
    QTest::newRow("MS Gothic 22") << QStringLiteral("ＭＳ ゴシック") << 440 << 16;
    QTest::newRow("tiny") << QStringLiteral("Arial") << 1 << 1;
}

void TestSheetPaint::maxDigitWidths() {
    QFETCH(QString, face);
    QFETCH(int, height);
    QFETCH(int, mdw);
    Workbook b;
    Font f;
    f.name = face;
    f.height = uint16_t(height);
    b.fonts.push_back(f);
    QCOMPARE(maxDigitWidth(b), mdw);
}

void TestSheetPaint::columnAndRowPixels() {
    Workbook arial; // no fonts: Arial 10
    QCOMPARE(maxDigitWidth(arial), 7);
    Sheet s;
    s.columns.push_back(ColumnInfo{0, 0, 2340, 15, false, 0});
    s.columns.push_back(ColumnInfo{1, 1, 2340, 15, true, 0});
    s.columns.push_back(ColumnInfo{2, 3, 0, 15, false, 0});
    s.columns.push_back(ColumnInfo{4, 4, 65535, 15, false, 0});
    QCOMPARE(columnPixels(arial, s, 0), 64); // 8.43 characters
    QCOMPARE(columnPixels(arial, s, 1), 0);  // hidden
    QCOMPARE(columnPixels(arial, s, 3), 0);  // width 0
    QCOMPARE(columnPixels(arial, s, 4), 1792);
    QCOMPARE(columnPixels(arial, s, 5), 64); // default 8 characters: 61 rounded up to 64
    QCOMPARE(columnPixels(arial, s, -1), 0);
    QCOMPARE(columnPixels(arial, s, 256), 0);
    const Workbook jp = Workbook::createDefault();
    QCOMPARE(columnPixels(jp, s, 5), 72); // 8 × 8 + 5 = 69 rounded up to 72
    s.standardWidth = 2048;
    QCOMPARE(columnPixels(jp, s, 5), 64);

    Sheet rows;
    rows.defaultRowHeight = 270;
    rows.rowAt(1).height = 255;
    rows.rowAt(2).height = 300;
    rows.rowAt(3).height = 8190;
    rows.rowAt(4).hidden = true;
    QCOMPARE(rowPixels(rows, 0), 18);
    QCOMPARE(rowPixels(rows, 1), 17);
    QCOMPARE(rowPixels(rows, 2), 20);
    QCOMPARE(rowPixels(rows, 3), 546);
    QCOMPARE(rowPixels(rows, 4), 0);
    QCOMPARE(rowPixels(rows, 65536), 0);
    rows.rowsHiddenByDefault = true;
    QCOMPARE(rowPixels(rows, 9), 0);
    QCOMPARE(rowPixels(rows, 1), 17);
}

void TestSheetPaint::geometryLookups() {
    Workbook b = Workbook::createDefault(); // 72 × 18 pixels
    Sheet& s = b.sheets[0];
    s.columns.push_back(ColumnInfo{2, 3, 2340, 15, true, 0});
    s.rowAt(5).height = 600; // 40 pixels
    s.rowAt(6).hidden = true;
    s.rowAt(70000 % 65536).height = 270; // a row of default height costs nothing
    const SheetGeometry g(b, s);
    QCOMPARE(g.columnX(2), 144);
    QCOMPARE(g.columnX(4), 144);
    QCOMPARE(g.columnX(5), 216);
    QCOMPARE(g.totalWidth(), 254 * 72);
    QCOMPARE(g.rowY(5), 90);
    QCOMPARE(g.rowY(6), 130);
    QCOMPARE(g.rowY(7), 130);
    QCOMPARE(g.rowY(8), 148);
    QCOMPARE(g.totalHeight(), 65534 * 18 + 40);
    QCOMPARE(g.rowY(65536), g.totalHeight());

    QCOMPARE(g.columnAt(-1), -1);
    QCOMPARE(g.columnAt(0), 0);
    QCOMPARE(g.columnAt(143), 1);
    QCOMPARE(g.columnAt(144), 4); // hidden columns 2 and 3 are never hit
    QCOMPARE(g.columnAt(g.totalWidth()), 256);
    QCOMPARE(g.rowAt(-5), -1);
    QCOMPARE(g.rowAt(129), 5);
    QCOMPARE(g.rowAt(130), 7);
    QCOMPARE(g.rowAt(g.totalHeight() - 1), 65535);
    QCOMPARE(g.rowAt(g.totalHeight()), 65536);
    for (int y = 0; y < 400; ++y) {
        const int r = g.rowAt(y);
        QVERIFY(g.rowY(r) <= y && y < g.rowY(r + 1));
    }

    const SheetGeometry empty;
    QCOMPARE(empty.totalWidth(), 0);
    QCOMPARE(empty.rowAt(0), 65536);
}

void TestSheetPaint::corpusGeometry_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("height");
    // Arial 10 workbooks: 64-pixel columns and 17-pixel rows.
    QTest::newRow("mtcars") << "xls-corpus/libxls-mtcars.xls" << 3 << 64 << 40 << 17;
    // Japanese workbooks: 72-pixel columns and 18-pixel rows.
    QTest::newRow("japanese default") << "xls-corpus/poi-50779_1.xls" << 5 << 72 << 30 << 18;
    // Grouped columns collapsed and hidden.
    QTest::newRow("outline hidden")
        << "xls-corpus/lotf-outline-col-outline-nested.xls" << 11 << 0 << 0 << 17;
}

void TestSheetPaint::corpusGeometry() {
    if (!sharedPresent()) QSKIP("the shared sample workbooks are not here");
    QFETCH(QString, file);
    QFETCH(int, column);
    QFETCH(int, width);
    QFETCH(int, row);
    QFETCH(int, height);
    const Workbook b = loadWorkbookFile(shared(file));
    const SheetGeometry g(b, b.sheets[0]);
    QCOMPARE(g.columnWidth(column), width);
    QCOMPARE(g.rowHeight(row), height);
}

void TestSheetPaint::corpusGeometryPaintAndPages() {
    if (!sharedPresent()) QSKIP("the shared sample workbooks are not here");
    QStringList files;
    for (const QString& dir : {QStringLiteral("xls-corpus"), QStringLiteral("sample-sheets")})
        for (const QFileInfo& fi :
             QDir(shared(dir)).entryInfoList({QStringLiteral("*.xls")}, QDir::Files))
            files << fi.filePath();
    QVERIFY(files.size() > 10);
    int checked = 0;
    for (const QString& file : files) {
        Workbook b;
        try {
            b = loadWorkbookFile(file);
        } catch (const Exception&) {
            continue; // unreadable on purpose
        }
        for (const Sheet& s : b.sheets) {
            const SheetGeometry g(b, s);
            int x = 0;
            for (int c = 0; c < 256; ++c) {
                QCOMPARE(g.columnX(c), x);
                const int w = columnPixels(b, s, c);
                if (w > 0) QCOMPARE(g.columnAt(x + w / 2), c);
                x += w;
            }
            int y = 0;
            const int lastRow = s.rows.empty() ? 10 : std::min(65535, s.rows.back().index + 3);
            for (int r = 0; r <= lastRow; ++r) {
                QCOMPARE(g.rowY(r), y);
                const int h = rowPixels(s, r);
                if (h > 0) QCOMPARE(g.rowAt(y + h - 1), r);
                y += h;
            }
            // Every real sheet paints and paginates.
            QImage img(400, 300, QImage::Format_RGB32);
            QPainter p(&img);
            paintSheetArea(p, CellPaintContext{&b, &s, 1.0, true}, CellRange{0, 100, 0, 40},
                           QPointF(0, 0));
            p.end();
            const int index = int(&s - b.sheets.data());
            const std::vector<PrintPage> pages = paginate(b, index);
            QVERIFY(!pages.empty());
            ++checked;
        }
    }
    QVERIFY(checked > 10);
}

void TestSheetPaint::sampleSheetPixels() {
    if (!sharedPresent()) QSKIP("the shared sample workbooks are not here");
    const Workbook b =
        loadWorkbookFile(shared(QStringLiteral("sample-sheets/hyoten_mokuzou_2f.xls")));
    const Sheet& s = b.sheets[0];
    const SheetGeometry g(b, s);
    const QImage img = paint(b, 0, QSize(g.columnX(12) + 10, g.rowY(40) + 10));
    auto merged = [&](int r, int c) {
        for (const CellRange& m : s.merges)
            if (m.contains(r, c)) return true;
        return false;
    };
    int fills = 0, borders = 0, texts = 0, empties = 0;
    for (int r = 0; r < 37; ++r) {
        const Row* row = s.row(r);
        if (!row) continue;
        for (const Cell& cell : row->cells) {
            if (cell.column > 11 || merged(r, cell.column)) continue;
            const CellFormat& f = b.xfs[cell.xf];
            const QRect rect = cellRect(g, r, cell.column);
            if (rect.width() < 8 || rect.height() < 8) continue;
            if (f.fillPattern == 1) {
                // A corner pixel inside a solid fill has the fill's colour.
                QCOMPARE(img.pixelColor(rect.left() + 2, rect.top() + 2),
                         b.color(f.fillForeground));
                ++fills;
            }
            if (f.bottom.style == 1) {
                // A thin bottom border sits on the cell's bottom grid line.
                const QColor want = b.color(f.bottom.colorIndex);
                QCOMPARE(img.pixelColor(rect.left() + 3, rect.bottom()), want);
                ++borders;
            }
            if (cell.hasValue() && !cellDisplayText(b, cell).trimmed().isEmpty() &&
                f.rotation == 0) {
                QVERIFY2(darkPixels(img, rect.adjusted(2, 2, -2, -2)) > 5,
                         qPrintable(QStringLiteral("no text in %1,%2").arg(r).arg(cell.column)));
                ++texts;
            }
            if (!cell.hasValue() && f.fillPattern == 0 && !f.left.style && !f.right.style &&
                !f.top.style && !f.bottom.style) {
                QCOMPARE(darkPixels(img, rect.adjusted(2, 2, -2, -2)), 0);
                ++empties;
            }
        }
    }
    QVERIFY(fills > 3);
    QVERIFY(borders > 3);
    QVERIFY(texts > 20);
    Q_UNUSED(empties);
    // The owner's name heads the merged D4:H4 and is painted in it.
    QVERIFY(darkPixels(img, QRect(g.columnX(3), g.rowY(3), g.columnX(8) - g.columnX(3),
                                  g.rowHeight(3))) > 20);
}

void TestSheetPaint::textOverflow() {
    Workbook b = Workbook::createDefault();
    Sheet& s = b.sheets[0];
    const QString longText = QStringLiteral("木造家屋再建築費評点数算出表です");
    setText(s, 0, 0, longText); // spreads over B1, C1 ... while they are empty
    setText(s, 1, 0, longText);
    setText(s, 1, 1, QString()); // an empty text is a value: no spreading
    CellFormat right;
    right.hAlign = HAlign::Right;
    const int rightXf = addFormat(b, right);
    setText(s, 2, 4, longText, rightXf); // spreads to the left
    const SheetGeometry g(b, s);
    const CellPaintContext ctx{&b, &s, 1.0, true};
    const auto spread = textSpread(ctx, 0, 0);
    QCOMPARE(spread.first, 0);
    QVERIFY(spread.second >= 2);
    QCOMPARE(textSpread(ctx, 1, 0), std::make_pair(0, 0));
    const auto left = textSpread(ctx, 2, 4);
    QCOMPARE(left.second, 4);
    QVERIFY(left.first <= 2);
    setNumber(s, 3, 0, 1234567890123.0);
    QCOMPARE(textSpread(ctx, 3, 0), std::make_pair(0, 0)); // numbers never spread

    const QImage img = paint(b);
    QVERIFY(darkPixels(img, cellRect(g, 0, 1)) > 20);
    QCOMPARE(darkPixels(img, cellRect(g, 1, 1)), 0);
    QVERIFY(darkPixels(img, cellRect(g, 2, 3)) > 20);
    // No grid line where the text runs on: the pixel on B1's left grid line is white.
    const int gridX = g.columnX(1) - 1;
    QCOMPARE(img.pixelColor(gridX, g.rowY(0) + 1), kWhite);
    QVERIFY(img.pixelColor(gridX, g.rowY(4) + 1) != kWhite); // an ordinary grid line
}

void TestSheetPaint::narrowNumberShowsHashes() {
    Workbook b = Workbook::createDefault();
    Sheet& s = b.sheets[0];
    s.columns.push_back(ColumnInfo{0, 0, 800, 15, false, 0}); // 25 pixels
    CellFormat right;
    right.hAlign = HAlign::Right;
    right.vAlign = VAlign::Center;
    const int rightXf = addFormat(b, right);
    setNumber(s, 0, 0, 123456789);
    const SheetGeometry g(b, s);
    const QImage img = paint(b, 0, QSize(200, 60), false);
    const QRect cell = cellRect(g, 0, 0);
    QVERIFY(darkPixels(img, cell) > 5);
    QCOMPARE(darkPixels(img, QRect(cell.right() + 1, 0, 100, cell.height())), 0); // no spill
    // What shows is a run of # exactly as a right-aligned text of #s would look.
    const QImage shown = img.copy(cell);
    bool matched = false;
    for (int n = 1; n <= 8 && !matched; ++n) {
        Workbook t = b;
        setText(t.sheets[0], 0, 0, QString(n, u'#'), rightXf);
        matched = paint(t, 0, QSize(200, 60), false).copy(cell) == shown;
    }
    QVERIFY(matched);
    // The same number in a wide column shows its digits.
    Workbook wide = b;
    wide.sheets[0].columns.clear();
    const QImage digits = paint(wide, 0, QSize(200, 60), false);
    QVERIFY(digits.copy(cell) != shown);
}

void TestSheetPaint::formatColours() {
    Workbook b = Workbook::createDefault();
    Sheet& s = b.sheets[0];
    b.numberFormats[200] = QStringLiteral("0;[Red]-0");
    b.numberFormats[201] = QStringLiteral("[Color10]0");
    b.numberFormats[202] = QStringLiteral("[Blue][>100]0;[Red][<=100]0");
    CellFormat f;
    f.numberFormat = 200;
    const int redNeg = addFormat(b, f);
    f.numberFormat = 201;
    const int color10 = addFormat(b, f);
    f.numberFormat = 202;
    const int cond = addFormat(b, f);
    setNumber(s, 0, 0, -42, redNeg);
    setNumber(s, 1, 0, 42, redNeg);
    setNumber(s, 2, 0, 42, color10); // palette index 17
    setNumber(s, 3, 0, 42, cond);
    setNumber(s, 4, 0, 420, cond);
    Font red;
    red = b.fonts[0];
    red.colorIndex = 10; // red font
    b.fonts.push_back(red);
    CellFormat fontRed;
    fontRed.font = uint16_t(b.fonts.size() - 1);
    setText(s, 5, 0, QStringLiteral("赤字"), addFormat(b, fontRed));
    const SheetGeometry g(b, s);
    const QImage img = paint(b);
    QVERIFY(redPixels(img, cellRect(g, 0, 0)) > 5);
    QCOMPARE(redPixels(img, cellRect(g, 1, 0)), 0);
    QVERIFY(darkPixels(img, cellRect(g, 1, 0)) > 5);
    const QColor c17 = b.color(17);
    bool found = false;
    const QRect r2 = cellRect(g, 2, 0);
    for (int y = r2.top(); y < r2.bottom() && !found; ++y)
        for (int x = r2.left(); x < r2.right() && !found; ++x) found = img.pixelColor(x, y) == c17;
    QVERIFY(found);
    QVERIFY(redPixels(img, cellRect(g, 3, 0)) > 5);
    QCOMPARE(redPixels(img, cellRect(g, 4, 0)), 0);
    QVERIFY(redPixels(img, cellRect(g, 5, 0)) > 5);
}

void TestSheetPaint::alignmentsAndBorderStyles() {
    Workbook b = Workbook::createDefault();
    Sheet& s = b.sheets[0];
    CellFormat across;
    across.hAlign = HAlign::CenterAcross;
    const int acrossXf = addFormat(b, across);
    setText(s, 0, 0, QStringLiteral("中央"), acrossXf);
    for (int c = 1; c <= 2; ++c) {
        Cell blank;
        blank.column = uint16_t(c);
        blank.xf = uint16_t(acrossXf);
        s.setCell(0, blank);
    }
    CellFormat top;
    top.vAlign = VAlign::Top;
    CellFormat bottom;
    bottom.vAlign = VAlign::Bottom;
    s.rowAt(2).height = 900; // 60 pixels
    setText(s, 2, 0, QStringLiteral("上"), addFormat(b, top));
    setText(s, 2, 1, QStringLiteral("下"), addFormat(b, bottom));
    CellFormat dotted;
    dotted.bottom.style = 4;
    Cell d;
    d.column = 3;
    d.xf = uint16_t(addFormat(b, dotted));
    s.setCell(4, d);
    CellFormat thick;
    thick.bottom.style = 5;
    d.column = 4;
    d.xf = uint16_t(addFormat(b, thick));
    s.setCell(4, d);
    const CellPaintContext ctx{&b, &s, 1.0, true};
    QCOMPARE(textSpread(ctx, 0, 0), std::make_pair(0, 2));
    const SheetGeometry g(b, s);
    const QImage img = paint(b, 0, QSize(600, 200), false);
    // Centred across A1:C1: the text is in B1, A1 and C1 stay blank.
    QVERIFY(darkPixels(img, cellRect(g, 0, 1)) > 10);
    QCOMPARE(darkPixels(img, cellRect(g, 0, 0)), 0);
    QCOMPARE(darkPixels(img, cellRect(g, 0, 2)), 0);
    // Top and bottom in a tall row.
    const QRect a3 = cellRect(g, 2, 0), b3 = cellRect(g, 2, 1);
    auto upper = [](QRect r) { return r.adjusted(0, 0, 0, -r.height() / 2); };
    auto lower = [](QRect r) { return r.adjusted(0, r.height() / 2, 0, 0); };
    QVERIFY(darkPixels(img, upper(a3)) > 10);
    QCOMPARE(darkPixels(img, lower(a3)), 0);
    QCOMPARE(darkPixels(img, upper(b3)), 0);
    QVERIFY(darkPixels(img, lower(b3)) > 10);
    // A dotted line has gaps; a thick one is three pixels of solid black.
    const QRect d5 = cellRect(g, 4, 3), e5 = cellRect(g, 4, 4);
    const int dots = darkPixels(img, QRect(d5.left(), d5.bottom(), d5.width() - 1, 1));
    QVERIFY(dots > d5.width() / 4 && dots < d5.width() * 3 / 4);
    QCOMPARE(darkPixels(img, QRect(e5.left(), e5.bottom() - 1, e5.width() - 1, 3)),
             3 * (e5.width() - 1));
}

void TestSheetPaint::generalNumbersShortenInNarrowCells() {
    Workbook b = Workbook::createDefault();
    Sheet& s = b.sheets[0];
    s.columns.push_back(ColumnInfo{0, 1, 1300, 15, false, 0}); // 40 pixels
    CellFormat right;
    right.hAlign = HAlign::Right;
    right.vAlign = VAlign::Center;
    const int rightXf = addFormat(b, right);
    b.numberFormats[190] = QStringLiteral("0.000000");
    CellFormat fixed;
    fixed.numberFormat = 190;
    setNumber(s, 0, 0, 1.0 / 3);                      // General: fewer decimals
    setNumber(s, 0, 1, 1.0 / 3, addFormat(b, fixed)); // a fixed format: ####
    const SheetGeometry g(b, s);
    const QImage img = paint(b, 0, QSize(200, 40), false);
    auto looksLike = [&](int column, const QString& text) {
        Workbook t = b;
        setText(t.sheets[0], 0, column, text, rightXf);
        return paint(t, 0, QSize(200, 40), false).copy(cellRect(g, 0, column)) ==
               img.copy(cellRect(g, 0, column));
    };
    QStringList general;
    for (const QString& t : QStringList{"0.3", "0.33", "0.333", "0.3333", "0.33333", "0.333333"})
        if (looksLike(0, t)) general << t;
    QCOMPARE(general.size(), 1);
    bool hashes = false;
    for (int n = 1; n <= 6 && !hashes; ++n) hashes = looksLike(1, QString(n, u'#'));
    QVERIFY(hashes);
}

void TestSheetPaint::shrinkToFitAndRichText() {
    Workbook b = Workbook::createDefault();
    Sheet& s = b.sheets[0];
    CellFormat shrink;
    shrink.shrinkToFit = true;
    const int shrinkXf = addFormat(b, shrink);
    const QString longText = QStringLiteral("縮小して全体を表示する長い文字列");
    setText(s, 0, 0, longText, shrinkXf);
    Font red = b.fonts[0];
    red.colorIndex = 10;
    b.fonts.push_back(red);
    Cell rich;
    rich.column = 0;
    rich.type = CellType::Text;
    rich.text = QStringLiteral("黒黒黒赤赤赤");
    rich.xf = 15;
    rich.runs = {TextRun{3, uint16_t(b.fonts.size() - 1)}};
    s.setCell(1, rich);
    const SheetGeometry g(b, s);
    const QImage img = paint(b);
    // Shrunk text stays in its own cell, whole.
    const QRect a1 = cellRect(g, 0, 0);
    QVERIFY(darkPixels(img, a1) > 20);
    QCOMPARE(darkPixels(img, cellRect(g, 0, 1)), 0);
    // The run in the red font is red; the characters before it are not.
    const QRect a2 = cellRect(g, 1, 0);
    const int half = a2.left() + 3 + 3 * 15; // three characters of 15 pixels
    QCOMPARE(redPixels(img, QRect(a2.left(), a2.top(), half - a2.left() - 2, a2.height())), 0);
    QVERIFY(darkPixels(img, QRect(a2.left(), a2.top(), half - a2.left() - 2, a2.height())) > 10);
    QVERIFY(redPixels(img, QRect(half, a2.top(), a2.right() - half, a2.height())) > 10);
}

void TestSheetPaint::mergedAreaIsOneCell() {
    Workbook b = Workbook::createDefault();
    Sheet& s = b.sheets[0];
    CellFormat centred;
    centred.hAlign = HAlign::Center;
    centred.vAlign = VAlign::Center;
    centred.fillPattern = 1;
    centred.fillForeground = 13; // yellow
    centred.bottom.style = 5;    // thick
    const int xf = addFormat(b, centred);
    setText(s, 1, 0, QStringLiteral("所有者"), xf);
    for (int r = 1; r <= 2; ++r)
        for (int c = r == 1 ? 1 : 0; c <= 2; ++c) {
            Cell blank;
            blank.column = uint16_t(c);
            blank.xf = uint16_t(xf);
            s.setCell(r, blank);
        }
    s.merges.push_back(CellRange{1, 2, 0, 2});
    const SheetGeometry g(b, s);
    const QImage img = paint(b);
    const QRect area(g.columnX(0), g.rowY(1), g.columnX(3) - g.columnX(0), g.rowY(3) - g.rowY(1));
    // Centred over the whole area: text in the middle column, not in the first one's left.
    QVERIFY(darkPixels(img, cellRect(g, 1, 1).united(cellRect(g, 2, 1))) > 20);
    QCOMPARE(darkPixels(img, QRect(area.left(), area.top(), 20, area.height() - 4)), 0);
    // One fill, no grid lines inside, the thick border under the whole area.
    QCOMPARE(img.pixelColor(g.columnX(1) - 1, g.rowY(1) + 2), b.color(13));
    QCOMPARE(img.pixelColor(g.columnX(2) + 3, g.rowY(2) - 1), b.color(13));
    for (int dy = -1; dy <= 1; ++dy)
        QCOMPARE(img.pixelColor(g.columnX(2) + 5, g.rowY(3) - 1 + dy), QColor(Qt::black));
}

void TestSheetPaint::paintCellAlone() {
    Workbook b = Workbook::createDefault();
    Sheet& s = b.sheets[0];
    CellFormat f;
    f.fillPattern = 1;
    f.fillForeground = 12; // blue
    f.left = {1, 10};
    f.top = {6, 8}; // double black
    const int xf = addFormat(b, f);
    setText(s, 0, 0, QStringLiteral("A"), xf);
    QImage img(100, 50, QImage::Format_RGB32);
    img.fill(kWhite);
    QPainter p(&img);
    const QRect rect(20, 10, 60, 30);
    paintCell(p, CellPaintContext{&b, &s, 1.0, true}, 0, 0, rect, rect);
    p.end();
    QCOMPARE(img.pixelColor(70, 35), b.color(12));
    QCOMPARE(img.pixelColor(19, 25), b.color(10)); // left border on the left grid line
    // The double line's two strokes around the top grid line, the paper between them.
    QCOMPARE(img.pixelColor(50, 8), QColor(Qt::black));
    QCOMPARE(img.pixelColor(50, 10), QColor(Qt::black));
    QCOMPARE(img.pixelColor(50, 9), kWhite);
    QCOMPARE(img.pixelColor(50, 11), b.color(12));
    QCOMPARE(img.pixelColor(90, 25), kWhite); // nothing outside
}

void TestSheetPaint::hostileSheetsPaint() {
    Workbook b = Workbook::createDefault();
    Sheet& s = b.sheets[0];
    CellFormat f;
    f.font = 999;
    f.fillPattern = 200;
    f.left.style = 99;
    f.rotation = 180;
    f.indent = 255;
    b.xfs.push_back(f);
    setText(s, 0, 0, QString(5000, u'x'), int(b.xfs.size()) - 1);
    setText(s, 65535, 255, QStringLiteral("end"), 60000); // a format that does not exist
    s.merges.push_back(CellRange{5, 3, 7, 2});            // upside down
    s.merges.push_back(CellRange{0, 65535, 0, 255});
    for (int c = 0; c < 256; ++c) s.columns.push_back(ColumnInfo{c, c, 0, 15, false, 0});
    QImage img(300, 100, QImage::Format_RGB32);
    QPainter p(&img);
    const CellPaintContext ctx{&b, &s, 1.0, true};
    paintSheetArea(p, ctx, CellRange{0, 65535, 0, 255}, QPointF(0, 0));
    paintSheetArea(p, ctx, CellRange{-10, 1 << 30, -5, 1 << 30}, QPointF(-1e6, 1e6));
    paintSheetArea(p, CellPaintContext{&b, &s, 0.0, true}, CellRange{0, 10, 0, 10}, QPointF());
    paintCell(p, ctx, 65535, 255, QRect(0, 0, 50, 20), QRect(0, 0, 50, 20));
    paintCell(p, ctx, 70000, -3, QRect(0, 0, 50, 20), QRect());
    paintCell(p, CellPaintContext{}, 0, 0, QRect(0, 0, 50, 20), QRect());
    QCOMPARE(textSpread(CellPaintContext{}, 0, 0), std::make_pair(0, 0));
    p.end();
    // A range that starts far above the picture paints what a range from the first
    // visible row would paint.
    Workbook grid = gridBook(3000, 8);
    setText(grid.sheets[0], 1500, 2, QStringLiteral("はみ出す長い文字列はみ出す長い文字列"));
    grid.sheets[0].rowAt(1500).cells.erase(grid.sheets[0].rowAt(1500).cells.begin() + 3,
                                           grid.sheets[0].rowAt(1500).cells.end());
    const SheetGeometry gg(grid, grid.sheets[0]);
    const CellPaintContext gc{&grid, &grid.sheets[0], 1.0, true};
    QImage far(300, 200, QImage::Format_RGB32), near(300, 200, QImage::Format_RGB32);
    far.fill(Qt::gray);
    near.fill(Qt::gray);
    QPainter pf(&far);
    paintSheetArea(pf, gc, gg, CellRange{0, 65535, 0, 255}, QPointF(0, -gg.rowY(1495)));
    pf.end();
    QPainter pn(&near);
    paintSheetArea(pn, gc, gg, CellRange{1495, 65535, 0, 255}, QPointF(0, 0));
    pn.end();
    QCOMPARE(far, near);
    QVERIFY(darkPixels(near, cellRect(gg, 1500, 4).translated(0, -gg.rowY(1495))) > 10);

    Workbook noFonts;
    noFonts.sheets.resize(1);
    setText(noFonts.sheets[0], 0, 0, QStringLiteral("x"), 3);
    // Without fonts the text is still painted, with a font of the painter's own.
    const QImage plain = paint(noFonts);
    QVERIFY(darkPixels(plain, cellRect(SheetGeometry(noFonts, noFonts.sheets[0]), 0, 0)) > 0);
}

void TestSheetPaint::pagination_data() {
    // A sheet of 100 rows × 20 columns of 72 × 18 pixels (54 × 13.5 points) on A4 with the
    // default margins: 487.3 × 697.9 points inside them.
    QTest::addColumn<int>("scale");
    QTest::addColumn<bool>("fit");
    QTest::addColumn<int>("fitWidth");
    QTest::addColumn<int>("fitHeight");
    QTest::addColumn<bool>("landscape");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<CellRange>("printArea");
    QTest::addColumn<int>("pages");
    QTest::addColumn<CellRange>("firstPage");
    QTest::addColumn<CellRange>("secondPage");
    const CellRange none{-1, -1, -1, -1};
    // 9 columns and 51 rows a page; down then over.
    QTest::newRow("100 %") << 100 << false << 1 << 1 << false << true << none << 6
                           << CellRange{0, 50, 0, 8} << CellRange{51, 99, 0, 8};
    QTest::newRow("50 %") << 50 << false << 1 << 1 << false << true << none << 2
                          << CellRange{0, 99, 0, 17} << CellRange{0, 99, 18, 19};
    QTest::newRow("landscape") << 100 << false << 1 << 1 << true << true << none << 8
                               << CellRange{0, 32, 0, 12} << CellRange{33, 65, 0, 12};
    QTest::newRow("setup unset: A4 portrait 100 %")
        << 50 << false << 1 << 1 << true << false << none << 6 << CellRange{0, 50, 0, 8}
        << CellRange{51, 99, 0, 8};
    QTest::newRow("fit to 1 page")
        << 100 << true << 1 << 1 << false << true << none << 1 << CellRange{0, 99, 0, 19} << none;
    QTest::newRow("fit 1 wide") << 100 << true << 1 << 0 << false << true << none << 1
                                << CellRange{0, 99, 0, 19} << none;
    QTest::newRow("fit 2 tall, any width") << 100 << true << 0 << 2 << false << true << none << 6
                                           << CellRange{0, 50, 0, 8} << CellRange{51, 99, 0, 8};
    QTest::newRow("print area") << 100 << false << 1 << 1 << false << true << CellRange{1, 4, 1, 3}
                                << 1 << CellRange{1, 4, 1, 3} << none;
    QTest::newRow("print area past the sheet")
        << 100 << false << 1 << 1 << false << true << CellRange{65530, 70000, 250, 300} << 1
        << CellRange{65530, 65535, 250, 255} << none;
}

void TestSheetPaint::pagination() {
    QFETCH(int, scale);
    QFETCH(bool, fit);
    QFETCH(int, fitWidth);
    QFETCH(int, fitHeight);
    QFETCH(bool, landscape);
    QFETCH(bool, valid);
    QFETCH(CellRange, printArea);
    QFETCH(int, pages);
    QFETCH(CellRange, firstPage);
    QFETCH(CellRange, secondPage);
    Workbook b = gridBook(100, 20);
    PageSetup& ps = b.sheets[0].pageSetup;
    ps.valid = valid;
    ps.scale = uint16_t(scale);
    ps.fitToPage = fit;
    ps.fitWidth = uint16_t(fitWidth);
    ps.fitHeight = uint16_t(fitHeight);
    ps.landscape = landscape;
    if (printArea.firstRow >= 0) ps.printArea.push_back(printArea);
    const std::vector<PrintPage> got = paginate(b, 0);
    QCOMPARE(int(got.size()), pages);
    QCOMPARE(got[0].cells, firstPage);
    if (pages > 1) QCOMPARE(got[1].cells, secondPage);
    const QSizeF paper = got[0].paperSize;
    QCOMPARE(paper.width() > paper.height(), landscape && valid);
    for (const PrintPage& p : got) {
        QCOMPARE(p.count, pages);
        QVERIFY(!p.empty);
        // Cells stay inside the margins, unless one column alone is wider.
        QVERIFY(p.cellArea.right() <= p.printableArea.right() + 0.5);
        QVERIFY(p.cellArea.bottom() <= p.printableArea.bottom() + 0.5);
        QVERIFY(p.cellArea.left() >= p.printableArea.left() - 0.01);
    }
    if (fit) QVERIFY(got[0].zoom <= 1.0 && got[0].zoom >= 0.1);
    if (fit && fitHeight == 1) QVERIFY(got[0].zoom < 1.0);
}

void TestSheetPaint::manualBreaks_data() {
    // The sheet of pagination(): 9 columns and 51 rows a page at 100 %.
    QTest::addColumn<QList<int>>("rowBreaks");
    QTest::addColumn<QList<int>>("columnBreaks");
    QTest::addColumn<bool>("fit");
    QTest::addColumn<CellRange>("printArea");
    QTest::addColumn<int>("pages");
    QTest::addColumn<CellRange>("firstPage");
    QTest::addColumn<CellRange>("secondPage");
    const CellRange none{-1, -1, -1, -1};
    QTest::newRow("row breaks, then pages as they fill")
        << QList<int>{10, 30} << QList<int>{} << false << none << 12 << CellRange{0, 9, 0, 8}
        << CellRange{10, 29, 0, 8};
    QTest::newRow("column break") << QList<int>{} << QList<int>{4} << false << none << 6
                                  << CellRange{0, 50, 0, 3} << CellRange{51, 99, 0, 3};
    QTest::newRow("fitting ignores breaks") << QList<int>{10, 30} << QList<int>{4} << true << none
                                            << 1 << CellRange{0, 99, 0, 19} << none;
    QTest::newRow("breaks in and around a print area")
        << QList<int>{1, 3, 50} << QList<int>{2} << false << CellRange{1, 4, 1, 3} << 4
        << CellRange{1, 2, 1, 1} << CellRange{3, 4, 1, 1};
}

void TestSheetPaint::manualBreaks() {
    QFETCH(QList<int>, rowBreaks);
    QFETCH(QList<int>, columnBreaks);
    QFETCH(bool, fit);
    QFETCH(CellRange, printArea);
    QFETCH(int, pages);
    QFETCH(CellRange, firstPage);
    QFETCH(CellRange, secondPage);
    Workbook b = gridBook(100, 20);
    PageSetup& ps = b.sheets[0].pageSetup;
    ps.valid = true;
    ps.fitToPage = fit;
    ps.rowBreaks.assign(rowBreaks.begin(), rowBreaks.end());
    ps.columnBreaks.assign(columnBreaks.begin(), columnBreaks.end());
    if (printArea.firstRow >= 0) ps.printArea.push_back(printArea);
    const std::vector<PrintPage> got = paginate(b, 0);
    QCOMPARE(int(got.size()), pages);
    QCOMPARE(got[0].cells, firstPage);
    if (pages > 1) QCOMPARE(got[1].cells, secondPage);
}

void TestSheetPaint::columnWiderThanPage() {
    Workbook b = gridBook(3, 4);
    Sheet& s = b.sheets[0];
    s.columns.push_back(ColumnInfo{1, 1, 30000, 15, false, 0}); // 937 pixels, 703 points
    setText(s, 0, 1, QStringLiteral("左端の文字"));
    s.pageSetup.valid = true;
    s.pageSetup.centerHorizontally = true;
    const std::vector<PrintPage> pages = paginate(b, 0);
    QCOMPARE(int(pages.size()), 3);
    QCOMPARE(pages[0].cells, (CellRange{0, 2, 0, 0}));
    QCOMPARE(pages[1].cells, (CellRange{0, 2, 1, 1})); // alone on its page, cut at the margin
    QCOMPARE(pages[2].cells, (CellRange{0, 2, 2, 3}));
    QCOMPARE(pages[1].cellArea.left(), pages[1].printableArea.left());
    // Centred: the narrow first page sits in the middle.
    QVERIFY(std::abs(pages[0].cellArea.center().x() - pages[0].printableArea.center().x()) < 0.5);

    // Painting the cut page keeps inside the paper's printable area.
    QImage img(int(pages[1].paperSize.width()), int(pages[1].paperSize.height()),
               QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    paintPage(p, 72, b, pages[1]);
    p.end();
    const int margin = int(pages[1].printableArea.right()) + 2;
    QCOMPARE(darkPixels(img, QRect(margin, 0, img.width() - margin, img.height())), 0);
    QVERIFY(darkPixels(img, pages[1].cellArea.toAlignedRect()) > 0);
}

void TestSheetPaint::usedRangeAndEmptySheet() {
    Workbook b = Workbook::createDefault();
    Sheet& s = b.sheets[0];
    CellRange r{-1, -1, -1, -1};
    QVERIFY(!usedRange(b, s, r));
    const std::vector<PrintPage> empty = paginate(b, 0);
    QCOMPARE(int(empty.size()), 1);
    QVERIFY(empty[0].empty);

    setNumber(s, 3, 2, 1);
    CellFormat bordered;
    bordered.bottom.style = 1;
    Cell blank;
    blank.column = 6;
    blank.xf = uint16_t(addFormat(b, bordered));
    s.setCell(9, blank); // a border without a value counts
    Cell plain;
    plain.column = 20;
    plain.xf = 15;
    s.setCell(30, plain); // a plain blank does not
    s.merges.push_back(CellRange{1, 2, 1, 4});
    QVERIFY(usedRange(b, s, r));
    QCOMPARE(r, (CellRange{1, 9, 1, 6}));
    QVERIFY_THROWS_EXCEPTION(EOleException, paginate(b, 1));
}

void TestSheetPaint::headingsAndHugePrintAreas() {
    Workbook b = gridBook(10, 3);
    PageSetup& ps = b.sheets[0].pageSetup;
    ps.printHeadings = true;
    ps.printGridlines = true;
    const std::vector<PrintPage> pages = paginate(b, 0);
    QCOMPARE(int(pages.size()), 1);
    const PrintPage& page = pages[0];
    QVERIFY(page.headings && page.gridlines);
    QVERIFY(page.headingWidth > 10 && page.headingHeight > 5);
    QCOMPARE(page.cellArea.left(), page.printableArea.left() + page.headingWidth);
    QCOMPARE(page.cellArea.top(), page.printableArea.top() + page.headingHeight);
    // Column letters above the cells, row numbers left of them, grid lines between cells.
    QImage img(596, 842, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    paintPage(p, 72, b, page);
    p.end();
    const QRectF cells = page.cellArea;
    QVERIFY(darkPixels(
                img, QRectF(cells.left(), cells.top() - page.headingHeight, 40, page.headingHeight)
                         .toAlignedRect()) > 3);
    QVERIFY(
        darkPixels(img, QRectF(cells.left() - page.headingWidth, cells.top(), page.headingWidth, 12)
                            .toAlignedRect()) > 3);
    int gridPixels = 0;
    for (int x = int(cells.left()) + 2; x < int(cells.right()) - 2; ++x) {
        const QColor c = img.pixelColor(x, int(cells.top() + 30));
        if (c != kWhite && qGray(c.rgb()) > 160) ++gridPixels;
    }
    QVERIFY(gridPixels >= 2); // two inner vertical grid lines cross this row of pixels

    // A print area of the whole sheet at 10 % stops at a bounded number of pages, quickly.
    Workbook huge = gridBook(2, 2);
    huge.sheets[0].pageSetup.valid = true;
    huge.sheets[0].pageSetup.scale = 10;
    huge.sheets[0].pageSetup.printArea.push_back(CellRange{0, 65535, 0, 255});
    const std::vector<PrintPage> many = paginate(huge, 0);
    QVERIFY(many.size() > 100 && many.size() <= 5000);
    huge.sheets[0].pageSetup.scale = 100;
    QVERIFY(paginate(huge, 0).size() <= 5000);
    // Margins and scales of no use fall back to something printable.
    huge.sheets[0].pageSetup.leftMargin = -3;
    huge.sheets[0].pageSetup.rightMargin = 1e300;
    huge.sheets[0].pageSetup.topMargin = std::nan("");
    huge.sheets[0].pageSetup.scale = 0;
    huge.sheets[0].pageSetup.printArea = {CellRange{5, 2, 0, 0}};
    const std::vector<PrintPage> odd = paginate(huge, 0);
    QCOMPARE(int(odd.size()), 1);
    QVERIFY(odd[0].printableArea.width() > 300 && odd[0].printableArea.height() > 500);
    QCOMPARE(odd[0].cells, (CellRange{0, 1, 0, 1})); // the used range
}

void TestSheetPaint::paperSizes_data() {
    QTest::addColumn<int>("paper");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<bool>("landscape");
    QTest::addColumn<QSizeF>("millimetres"); // as the paper comes out
    QTest::newRow("A4") << 9 << true << false << QSizeF(210, 297);
    QTest::newRow("A3 landscape") << 8 << true << true << QSizeF(420, 297);
    QTest::newRow("B4 JIS") << 12 << true << false << QSizeF(257, 364);
    QTest::newRow("B5 JIS") << 13 << true << false << QSizeF(182, 257);
    QTest::newRow("Letter") << 1 << true << false << QSizeF(215.9, 279.4);
    QTest::newRow("Legal") << 5 << true << false << QSizeF(215.9, 355.6);
    QTest::newRow("A5") << 11 << true << false << QSizeF(148, 210);
    QTest::newRow("unknown id") << 999 << true << false << QSizeF(210, 297);
    QTest::newRow("unset: A4 portrait") << 8 << false << true << QSizeF(210, 297);
}

void TestSheetPaint::paperSizes() {
    QFETCH(int, paper);
    QFETCH(bool, valid);
    QFETCH(bool, landscape);
    QFETCH(QSizeF, millimetres);
    Sheet s;
    s.pageSetup.valid = valid;
    s.pageSetup.paperSize = uint16_t(paper);
    s.pageSetup.landscape = landscape;
    s.pageSetup.leftMargin = 0.5;
    const QPageLayout layout = sheetPageLayout(s);
    const QSizeF mm = layout.fullRectPoints().size() * 25.4 / 72;
    QVERIFY2(std::abs(mm.width() - millimetres.width()) < 1.5 &&
                 std::abs(mm.height() - millimetres.height()) < 1.5,
             qPrintable(QStringLiteral("%1 x %2 mm").arg(mm.width()).arg(mm.height())));
    QCOMPARE(layout.margins(QPageLayout::Point).left(), 36.0);
}

void TestSheetPaint::printToPdfDevice() {
    Workbook b = gridBook(100, 20); // 6 pages
    Sheet second = b.sheets[0];
    second.name = QStringLiteral("二枚目");
    second.visibility = 2; // very hidden: not printed
    b.sheets.push_back(second);
    Workbook empty = Workbook::createDefault();
    empty.sheets[0].visibility = 1;
    for (const auto& [book, pages] : {std::pair<const Workbook*, int>{&b, 6}, {&empty, 1}}) {
        QBuffer buffer;
        QVERIFY(buffer.open(QIODevice::WriteOnly));
        {
            QPdfWriter writer(&buffer);
            writer.setResolution(300);
            printWorkbook(writer, *book, QStringLiteral("a.xls"));
        }
        const QByteArray pdf = buffer.data();
        QVERIFY(pdf.startsWith("%PDF"));
        // Page objects, not the page tree (/Pages).
        const QString text = QString::fromLatin1(pdf);
        QCOMPARE(int(text.count(QRegularExpression(QStringLiteral("/Type\\s*/Page(?![a-z])")))),
                 pages);
    }
    QPdfWriter nowhere(QStringLiteral("/nonexistent-folder/x.pdf"));
    QVERIFY_THROWS_EXCEPTION(EOleException, printWorkbook(nowhere, b));
}

void TestSheetPaint::printToPrinter() {
    // A printer writing PDF, as the print dialog gives when there is no printer: each
    // sheet's paper and orientation, page after page.
    Workbook b = gridBook(5, 5);
    Sheet wide = b.sheets[0];
    wide.pageSetup.valid = true;
    wide.pageSetup.landscape = true;
    wide.pageSetup.paperSize = 12; // B4
    b.sheets.push_back(wide);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("printed.pdf"));
    {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(path);
        printWorkbook(printer, b);
    }
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QString pdf = QString::fromLatin1(f.readAll());
    QRegularExpression box(QStringLiteral("/MediaBox\\s*\\[\\s*0\\s+0\\s+([\\d.]+)\\s+([\\d.]+)"));
    QList<QSizeF> boxes;
    for (auto it = box.globalMatch(pdf); it.hasNext();) {
        const auto m = it.next();
        boxes << QSizeF(m.captured(1).toDouble(), m.captured(2).toDouble());
    }
    QCOMPARE(boxes.size(), 2);
    QVERIFY(std::abs(boxes[0].width() - 595.3) < 1 && std::abs(boxes[0].height() - 841.9) < 1);
    QVERIFY2(std::abs(boxes[1].width() - 1031.8) < 2 && std::abs(boxes[1].height() - 728.5) < 2,
             qPrintable(QStringLiteral("%1 x %2").arg(boxes[1].width()).arg(boxes[1].height())));
}

void TestSheetPaint::samplePagesAndFooter() {
    if (!sharedPresent()) QSKIP("the shared sample workbooks are not here");
    const Workbook b =
        loadWorkbookFile(shared(QStringLiteral("sample-sheets/hyoten_mokuzou_2f.xls")));
    // The detail sheet prints its area A1:L37 fitted to one page wide on A4.
    const std::vector<PrintPage> pages = paginate(b, 0);
    QCOMPARE(int(pages.size()), 1);
    QCOMPARE(pages[0].cells, (CellRange{0, 36, 0, 11}));
    QVERIFY(pages[0].zoom < 1.0);
    QVERIFY(std::abs(pages[0].paperSize.width() - 595.3) < 1);
    // Its footer (page number / pages at the right) is printed below the cells.
    QImage img(596, 842, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    paintPage(p, 72, b, pages[0], QStringLiteral("x.xls"));
    p.end();
    const int bottom = int(pages[0].printableArea.bottom()) + 1;
    const int mid = img.width() / 2;
    QVERIFY(darkPixels(img, QRect(mid, bottom, mid, img.height() - bottom)) > 5);
    QCOMPARE(darkPixels(img, QRect(0, bottom, mid / 2, img.height() - bottom)), 0);
}

QTEST_MAIN(TestSheetPaint)
#include "test_sheet_paint.moc"
