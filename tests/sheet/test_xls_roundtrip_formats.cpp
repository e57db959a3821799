// The writer keeps every format it reads: each workbook of the shared corpus and the sample
// sheets, written and read back, gives the same model as the original read, attribute by
// attribute: fonts, alignment, the four borders and the diagonal with styles and colours,
// fills, number formats, protection, the palette by RGB value, column and row sizes, page
// setup and print titles; and every sheet prints on the same pages. Formats are compared
// by value (colours as RGB), not by their indices, which the writer may renumber.

#include "platform/errors.h"
#include "sheet/sheetprint.h"
#include "sheet/xlsreader.h"
#include "sheet/xlswriter.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTest>

using namespace tovera;

namespace {

// A colour index as the user sees it: automatic, or its RGB value in this workbook.
QString colorText(const Workbook& book, int index) {
    if (index >= 64) return QStringLiteral("auto");
    return book.color(index).name();
}

QString borderText(const Workbook& book, const Border& b) {
    // A border without a line has no colour to keep.
    if (b.style == 0) return QStringLiteral("none");
    return QStringLiteral("%1/%2").arg(b.style).arg(colorText(book, b.colorIndex));
}

QString fontText(const Workbook& book, const Font& f) {
    return QStringLiteral("font %1 %2 w%3 i%4 s%5 u%6 sc%7 %8 cs%9 f%10")
        .arg(f.name)
        .arg(f.height)
        .arg(f.weight)
        .arg(f.italic)
        .arg(f.strikeout)
        .arg(f.underline)
        .arg(f.script)
        .arg(f.colorIndex >= 64 ? QStringLiteral("auto") : colorText(book, f.colorIndex))
        .arg(f.charset)
        .arg(f.family);
}

// Everything a cell format shows, resolved to values.
QString formatText(const Workbook& book, int xfIndex) {
    const CellFormat x =
        xfIndex >= 0 && xfIndex < int(book.xfs.size()) ? book.xfs[size_t(xfIndex)] : CellFormat();
    const QString fill = x.fillPattern == 0
                             ? QStringLiteral("no fill")
                             : QStringLiteral("fill %1 %2 %3")
                                   .arg(x.fillPattern)
                                   .arg(colorText(book, x.fillForeground),
                                        x.fillPattern == 1 ? QStringLiteral("-")
                                                           : colorText(book, x.fillBackground));
    const QString diagonal = x.diagonalLines == 0 ? QStringLiteral("no diagonal")
                                                  : QStringLiteral("diagonal %1 %2")
                                                        .arg(x.diagonalLines)
                                                        .arg(borderText(book, x.diagonal));
    return QStringLiteral("[%1] %2 | h%3 v%4 wrap%5 rot%6 ind%7 shrink%8 | L %9 R %10 T %11 B %12 "
                          "| %13 | %14 | lock%15 hide%16")
        .arg(book.formatCodeOfXf(xfIndex), fontText(book, book.fontOfXf(xfIndex)))
        .arg(int(x.hAlign))
        .arg(int(x.vAlign))
        .arg(x.wrap)
        .arg(x.rotation)
        .arg(x.indent)
        .arg(x.shrinkToFit)
        .arg(borderText(book, x.left), borderText(book, x.right), borderText(book, x.top),
             borderText(book, x.bottom), fill, diagonal)
        .arg(x.locked)
        .arg(x.formulaHidden);
}

QString rangeText(const CellRange& r) {
    return QStringLiteral("%1:%2,%3:%4")
        .arg(r.firstRow)
        .arg(r.lastRow)
        .arg(r.firstColumn)
        .arg(r.lastColumn);
}

QString pageSetupText(const PageSetup& p) {
    QStringList areas;
    for (const CellRange& r : p.printArea) areas << rangeText(r);
    QStringList rows, columns;
    for (int r : p.rowBreaks) rows << QString::number(r);
    for (int c : p.columnBreaks) columns << QString::number(c);
    // Without printer fields the paper, orientation and scale are the printer's.
    const QString printer = p.valid ? QStringLiteral("paper %1 landscape %2 scale %3")
                                          .arg(p.paperSize)
                                          .arg(p.landscape)
                                          .arg(p.scale)
                                    : QStringLiteral("printer defaults");
    return QStringLiteral("%1 | fit %2 %3x%4 | margins %5 %6 %7 %8 %9 %10 | centre %11 %12 | "
                          "grid %13 headings %14 | header [%15] footer [%16] | area %17 | "
                          "breaks %18 / %19")
        .arg(printer)
        .arg(p.fitToPage)
        .arg(p.fitToPage ? p.fitWidth : 0)
        .arg(p.fitToPage ? p.fitHeight : 0)
        .arg(p.leftMargin)
        .arg(p.rightMargin)
        .arg(p.topMargin)
        .arg(p.bottomMargin)
        .arg(p.headerMargin)
        .arg(p.footerMargin)
        .arg(p.centerHorizontally)
        .arg(p.centerVertically)
        .arg(p.printGridlines)
        .arg(p.printHeadings)
        .arg(p.header, p.footer, areas.join(QLatin1Char(' ')), rows.join(QLatin1Char(',')),
             columns.join(QLatin1Char(',')));
}

uint16_t le16(const QByteArray& b, qsizetype at) {
    return uint16_t(uint8_t(b[at]) | (uint8_t(b[at + 1]) << 8));
}

// The ranges of a print-titles name, read from its BIFF8 tokens: 3-D areas and references
// (any class), with the sheet they name resolved through the external-sheet table.
QStringList titleRanges(const Workbook& book, const DefinedName& name) {
    QStringList out;
    const QByteArray& t = name.tokens;
    qsizetype at = 0;
    while (at < t.size()) {
        const uint8_t ptg = uint8_t(t[at]);
        if (ptg == 0x29 || ptg == 0x49 || ptg == 0x69) { // ptgMemFunc: the list follows
            at += 3;
        } else if (ptg == 0x10) { // ptgUnion
            at += 1;
        } else if ((ptg & 0x1F) == 0x1B && ptg >= 0x20 && at + 11 <= t.size()) { // ptgArea3d
            const int ixti = le16(t, at + 1);
            const int sheet = ixti < int(book.externSheets.size())
                                  ? book.externSheets[size_t(ixti)].firstSheet
                                  : -99;
            out << QStringLiteral("sheet %1 rows %2-%3 cols %4-%5")
                       .arg(sheet)
                       .arg(le16(t, at + 3))
                       .arg(le16(t, at + 5))
                       .arg(le16(t, at + 7) & 0x00FF)
                       .arg(le16(t, at + 9) & 0x00FF);
            at += 11;
        } else if ((ptg & 0x1F) == 0x1A && ptg >= 0x20 && at + 7 <= t.size()) { // ptgRef3d
            const int ixti = le16(t, at + 1);
            const int sheet = ixti < int(book.externSheets.size())
                                  ? book.externSheets[size_t(ixti)].firstSheet
                                  : -99;
            out << QStringLiteral("sheet %1 cell %2,%3")
                       .arg(sheet)
                       .arg(le16(t, at + 3))
                       .arg(le16(t, at + 5) & 0x00FF);
            at += 7;
        } else {
            out << QStringLiteral("token %1").arg(ptg, 2, 16, QLatin1Char('0'));
            break;
        }
    }
    return out;
}

// Everything the comparison covers, one line per attribute group.
QStringList describe(const Workbook& book) {
    QStringList out;
    for (int i = 0; i < 56; ++i)
        out << QStringLiteral("palette %1 %2")
                   .arg(i + 8)
                   .arg(QColor(book.palette[size_t(i)]).name());
    for (size_t s = 0; s < book.sheets.size(); ++s) {
        const Sheet& sheet = book.sheets[s];
        out << QStringLiteral("sheet %1 [%2] %3 defaults %4 %5 %6 %7")
                   .arg(s)
                   .arg(sheet.name)
                   .arg(sheet.visibility)
                   .arg(sheet.columnWidth(255))
                   .arg(sheet.defaultRowHeight)
                   .arg(sheet.rowsHiddenByDefault)
                   .arg(sheet.showGridlines);
        out << QStringLiteral("sheet %1 page %2").arg(s).arg(pageSetupText(sheet.pageSetup));
        for (int c = 0; c < 256; ++c)
            out << QStringLiteral("sheet %1 col %2 width %3 hidden %4")
                       .arg(s)
                       .arg(c)
                       .arg(sheet.columnWidth(c))
                       .arg(sheet.columnHidden(c));
        for (const ColumnInfo& ci : sheet.columns)
            for (int c = ci.firstColumn; c <= ci.lastColumn && c < 256; ++c)
                out << QStringLiteral("sheet %1 col %2 format %3")
                           .arg(s)
                           .arg(c)
                           .arg(formatText(book, ci.xf));
        for (const Row& r : sheet.rows) {
            out << QStringLiteral("sheet %1 row %2 height %3 hidden %4 custom %5 format %6")
                       .arg(s)
                       .arg(r.index)
                       .arg(sheet.rowHeight(r.index))
                       .arg(r.hidden)
                       .arg(r.customHeight)
                       .arg(r.xf < 0 ? QStringLiteral("none") : formatText(book, r.xf));
            for (const Cell& c : r.cells) {
                out << QStringLiteral("sheet %1 cell %2,%3 %4")
                           .arg(s)
                           .arg(r.index)
                           .arg(c.column)
                           .arg(formatText(book, c.xf));
                for (const TextRun& run : c.runs)
                    out << QStringLiteral("sheet %1 cell %2,%3 run %4 %5")
                               .arg(s)
                               .arg(r.index)
                               .arg(c.column)
                               .arg(run.start)
                               .arg(run.font < book.fonts.size()
                                        ? fontText(book, book.fonts[run.font])
                                        : QStringLiteral("font %1").arg(run.font));
            }
        }
    }
    // Print titles, except those whose references lead nowhere in the file read (a damaged
    // external-sheet table): the file cannot hold them.
    for (const DefinedName& n : book.definedNames) {
        if (!n.builtin() || n.name != QStringLiteral("\x07") || n.sheet < 0) continue;
        const QStringList ranges = titleRanges(book, n);
        if (ranges.join(QLatin1Char(' ')).contains(QLatin1String("sheet -99"))) continue;
        out << QStringLiteral("titles of sheet %1: %2")
                   .arg(n.sheet)
                   .arg(ranges.join(QLatin1Char(' ')));
    }
    return out;
}

QStringList workbookFiles() {
    QStringList files;
    for (const QString& dir : {QStringLiteral("/xls-corpus"), QStringLiteral("/sample-sheets")}) {
        const QDir d(QStringLiteral(TOVERA_SHARED) + dir);
        for (const QFileInfo& fi : d.entryInfoList(
                 {QStringLiteral("*.xls"), QStringLiteral("*.XLS")}, QDir::Files, QDir::Name))
            files << fi.absoluteFilePath();
    }
    return files;
}

// A workbook with every kept attribute away from its default, for what the corpus lacks.
Workbook everyAttribute() {
    Workbook book = Workbook::createDefault();
    book.palette[2] = qRgb(0x12, 0x34, 0x56); // index 10
    book.palette[40] = qRgb(0xFE, 0xDC, 0xBA);
    Font f;
    f.name = QStringLiteral("ＭＳ 明朝");
    f.height = 280;
    f.weight = 700;
    f.italic = true;
    f.strikeout = true;
    f.underline = 0x22;
    f.script = 1;
    f.colorIndex = 10;
    f.charset = 128;
    f.family = 1;
    book.fonts.push_back(f);
    f.underline = 0x21;
    f.script = 2;
    f.colorIndex = 48;
    book.fonts.push_back(f);
    Sheet& sheet = book.sheets.front();
    for (int k = 0; k < 2; ++k) {
        CellFormat x = book.xfs[15];
        x.font = uint16_t(book.fonts.size() - 2 + k); // the model's index; 4 is skipped
        x.numberFormat = 14;
        x.locked = k == 1;
        x.formulaHidden = k == 0;
        x.hAlign = k ? HAlign::Distributed : HAlign::Right;
        x.vAlign = k ? VAlign::Distributed : VAlign::Top;
        x.wrap = k == 0;
        x.rotation = k ? 255 : 135;
        x.indent = k ? 0 : 3;
        x.shrinkToFit = k == 1;
        x.left = {uint8_t(2 + k), 10};
        x.right = {uint8_t(6 + k), 48};
        x.top = {uint8_t(5 + k), 12};
        x.bottom = {uint8_t(13 - k), 17};
        x.diagonal = {uint8_t(1 + k), 20};
        x.diagonalLines = uint8_t(1 + k * 2);
        x.fillPattern = uint8_t(k ? 1 : 7);
        x.fillForeground = 10;
        x.fillBackground = 48;
        book.xfs.push_back(x);
        Cell c;
        c.column = uint16_t(1 + k);
        c.type = CellType::Number;
        c.number = 36000 + k;
        c.xf = uint16_t(book.xfs.size() - 1);
        sheet.setCell(2 + k, c);
    }
    sheet.columns.push_back(ColumnInfo{1, 2, 5000, 15, false, 0x0002});
    sheet.columns.push_back(ColumnInfo{4, 4, 1000, 15, true, 0x0003});
    Row& tall = sheet.rowAt(3);
    tall.height = 600;
    tall.customHeight = true;
    sheet.rowAt(5).hidden = true;
    PageSetup& p = sheet.pageSetup;
    p.valid = true;
    p.paperSize = 12;
    p.landscape = true;
    p.scale = 77;
    p.fitToPage = true;
    p.fitWidth = 2;
    p.fitHeight = 0;
    p.leftMargin = 0.4;
    p.rightMargin = 0.3;
    p.topMargin = 1.2;
    p.bottomMargin = 0.9;
    p.headerMargin = 0.25;
    p.footerMargin = 0.2;
    p.centerHorizontally = true;
    p.centerVertically = true;
    p.printGridlines = true;
    p.printHeadings = true;
    p.header = QStringLiteral("&L&A&C評点明細&R&D");
    p.footer = QStringLiteral("&C&P/&N");
    p.printArea.push_back(CellRange{0, 40, 0, 9});
    p.rowBreaks = {20};
    p.columnBreaks = {5};
    book.externSheets.push_back(ExternSheet{0, 0, false, false});
    DefinedName titles;
    titles.name = QStringLiteral("\x07");
    titles.sheet = 0;
    titles.flags = 0x0020;
    titles.tokens = QByteArray::fromHex("3b"
                                        "0000"
                                        "00000100"
                                        "0000"
                                        "ff00");
    book.definedNames.push_back(titles);
    return book;
}

} // namespace

class TestXlsRoundTripFormats : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void everyFormatKept_data() {
        QTest::addColumn<QString>("path");
        QTest::newRow("every attribute set") << QStringLiteral("every attribute");
        const QStringList files = workbookFiles();
        if (files.isEmpty()) QTest::newRow("no corpus") << QString();

        for (const QString& f : files)
            QTest::newRow(qPrintable(QFileInfo(QFileInfo(f).path()).fileName() + QLatin1Char('/') +
                                     QFileInfo(f).fileName()))
                << f;
    }
    void everyFormatKept() {
        QFETCH(QString, path);
        if (path.isEmpty()) QSKIP("the shared corpus is absent");
        Workbook original;
        try {
            original = path == QLatin1String("every attribute") ? everyAttribute()
                                                                : loadWorkbookFile(path);
        } catch (const EOleException&) {
            QSKIP("not readable (the reader's tests cover the refusal)");
        }
        const Workbook again = loadWorkbookBytes(saveWorkbookBytes(original), QStringLiteral("w"));
        const QStringList a = describe(original), b = describe(again);
        if (qEnvironmentVariableIsSet("TOVERA_SHOW_FORMATS")) // what is compared, for the eye
            qInfo().noquote() << a.filter(
                QRegularExpression(qEnvironmentVariable("TOVERA_SHOW_FORMATS")));
        for (qsizetype i = 0; i < std::min(a.size(), b.size()); ++i)
            if (a[i] != b[i]) QCOMPARE(b[i], a[i]);
        QCOMPARE(b.size(), a.size());
        // Every sheet prints on the same pages, with the same cells on each.
        QCOMPARE(again.sheets.size(), original.sheets.size());
        for (int s = 0; s < int(original.sheets.size()); ++s) {
            const std::vector<PrintPage> was = paginate(original, s), now = paginate(again, s);
            QCOMPARE(now.size(), was.size());
            for (size_t p = 0; p < was.size(); ++p) {
                QCOMPARE(now[p].empty, was[p].empty);
                if (!was[p].empty) QCOMPARE(rangeText(now[p].cells), rangeText(was[p].cells));
                QCOMPARE(now[p].paperSize, was[p].paperSize);
                QCOMPARE(now[p].zoom, was[p].zoom);
            }
        }
    }
};

QTEST_MAIN(TestXlsRoundTripFormats)
#include "test_xls_roundtrip_formats.moc"
