// One .xlsx worksheet into a Sheet: cells with their values and formats, formulas (kept
// as text until every sheet is known), rows, columns, merges, view and page settings.
// Cells beyond the 65536 rows and 256 columns the model holds are refused when they
// hold values and ignored when they only carry a format.

#include "sheet/xlsreader_messages.h"
#include "sheet/xlsxreader_internal.h"

#include <QDateTime>
#include <QTimeZone>
#include <charconv>
#include <cmath>

namespace tovera::xlsx {

namespace {

constexpr int kRows = 65536;
constexpr int kColumns = 256;

struct SharedGroup {
    int row = 0, column = 0;
    QString text;
};

struct SheetReader {
    Context& ctx;
    Sheet& sheet;
    int index;
    Xml& x;
    std::map<int, SharedGroup> shared;
    std::vector<CellRange> arrays;
    int row = -1;
    int column = -1;

    uint16_t xfOf(int s) const {
        const int xf = ctx.xfBase + s;
        return uint16_t(s >= 0 && xf < int(ctx.book.xfs.size()) ? xf : 15);
    }

    [[noreturn]] void tooLarge() const {
        xlsmsg::unsupported(
            ctx.name,
            QStringLiteral("シート「%1」に 65536 行または 256 列を超える位置の値があります")
                .arg(sheet.name));
    }

    Row& rowFor(int r) {
        if (sheet.rows.empty() || sheet.rows.back().index < r) {
            Row row;
            row.index = r;
            sheet.rows.push_back(std::move(row));
            return sheet.rows.back();
        }
        return sheet.rowAt(r);
    }

    void readRow() {
        const int r = x.intAttr("r", row + 2) - 1;
        row = r;
        column = -1;
        if (r < 0 || r >= kRows) return;
        const bool custom = x.boolAttr("customHeight", false);
        const bool hidden = x.boolAttr("hidden", false);
        const bool format = x.boolAttr("customFormat", false);
        if (!custom && !hidden && !format && !x.hasAttr("ht")) return;
        Row& rw = rowFor(r);
        if (x.hasAttr("ht"))
            rw.height = uint16_t(std::clamp(std::lround(x.doubleAttr("ht", 0) * 20), 0l, 8191l));
        rw.customHeight = custom;
        rw.hidden = hidden;
        if (format) rw.xf = xfOf(x.intAttr("s", 0));
    }

    void readCell() {
        int r = row, c = column + 1;
        const QString ref = x.attr("r");
        if (!ref.isEmpty() && !parseCellRef(ref, r, c)) {
            x.skip();
            return;
        }
        row = std::max(row, r);
        column = c;
        const QString type = x.attr("t");
        const uint16_t xf = xfOf(x.intAttr("s", 0));
        QString value;
        bool hasValue = false;
        RichText inlineText;
        bool hasInline = false;
        std::optional<PendingFormula> formula;
        const int level = x.depth();
        while (x.next() && !(x.isEnd() && x.depth() < level)) {
            if (x.is("v")) {
                value = x.text();
                hasValue = true;
            } else if (x.is("is")) {
                inlineText = readRichText(x, ctx);
                hasInline = true;
            } else if (x.is("f")) {
                formula = readFormula(r, c);
            }
        }
        const bool inside = r >= 0 && r < kRows && c >= 0 && c < kColumns;
        Cell cell;
        cell.column = uint16_t(std::clamp(c, 0, kColumns - 1));
        cell.xf = xf;
        if (type == QLatin1String("s")) {
            bool ok = false;
            const uint k = value.toUInt(&ok);
            if (hasValue && ok && k < ctx.strings.size()) {
                cell.type = CellType::Text;
                cell.text = ctx.strings[k].text;
                cell.runs = ctx.strings[k].runs;
            }
        } else if (type == QLatin1String("inlineStr")) {
            if (hasInline) {
                cell.type = CellType::Text;
                cell.text = inlineText.text;
                cell.runs = inlineText.runs;
            }
        } else if (type == QLatin1String("str")) {
            if (hasValue || formula) {
                cell.type = CellType::Text;
                cell.text = decodeEscapes(value);
            }
        } else if (type == QLatin1String("b")) {
            if (hasValue) {
                cell.type = CellType::Bool;
                cell.boolValue = value.trimmed() == QLatin1String("1") ||
                                 value.trimmed() == QLatin1String("true");
            }
        } else if (type == QLatin1String("e")) {
            if (hasValue) {
                cell.type = CellType::Error;
                cell.errorCode = errorCodeOf(value.trimmed()).value_or(0x2A);
            }
        } else if (type == QLatin1String("d")) {
            QDateTime t = QDateTime::fromString(value.trimmed(), Qt::ISODateWithMs);
            if (hasValue && t.isValid()) {
                t.setTimeSpec(Qt::UTC);
                const QDateTime epoch(ctx.book.dateSystem1904 ? QDate(1904, 1, 1)
                                                              : QDate(1899, 12, 30),
                                      QTime(0, 0), Qt::UTC);
                cell.type = CellType::Number;
                cell.number = double(epoch.msecsTo(t)) / 86400000.0;
            }
        } else if (hasValue) {
            const QByteArray digits = value.trimmed().toLatin1();
            double v = 0;
            const auto res =
                std::from_chars(digits.constData(), digits.constData() + digits.size(), v);
            if (res.ec == std::errc() && res.ptr == digits.constData() + digits.size() &&
                std::isfinite(v)) {
                cell.type = CellType::Number;
                cell.number = v;
            }
        }
        if (!inside) {
            if (cell.hasValue() || formula) tooLarge();
            return;
        }
        if (ctx.cellBudget == 0) xlsmsg::unsupported(ctx.name, QStringLiteral("セルが多すぎます"));
        --ctx.cellBudget;
        if (formula) {
            formula->sheet = index;
            formula->row = r;
            formula->column = c;
            ctx.formulas.push_back(std::move(*formula));
        }
        Row& rw = rowFor(r);
        if (rw.cells.empty() || rw.cells.back().column < cell.column)
            rw.cells.push_back(std::move(cell));
        else
            sheet.setCell(r, cell);
    }

    std::optional<PendingFormula> readFormula(int r, int c) {
        const QString t = x.attr("t");
        PendingFormula f;
        if (t == QLatin1String("shared")) {
            const int si = x.intAttr("si", -1);
            const bool master = x.hasAttr("ref");
            QString text = x.text().trimmed();
            if (master && !text.isEmpty()) {
                if (shared.size() < 100000) shared[si] = SharedGroup{r, c, text};
                f.text = text;
                return f;
            }
            auto it = shared.find(si);
            if (it == shared.end()) return std::nullopt;
            f.text = shiftFormula(it->second.text, r - it->second.row, c - it->second.column);
            return f;
        }
        if (t == QLatin1String("array")) {
            CellRange range;
            if (!parseRangeRef(x.attr("ref"), range)) range = CellRange{r, r, c, c};
            f.text = x.text().trimmed();
            if (f.text.isEmpty()) return std::nullopt;
            range.lastRow = std::min(range.lastRow, kRows - 1);
            range.lastColumn = std::min(range.lastColumn, kColumns - 1);
            f.array = true;
            f.arrayRange = range;
            return f;
        }
        if (t == QLatin1String("dataTable")) {
            x.skip();
            return std::nullopt;
        }
        f.text = x.text().trimmed();
        if (f.text.isEmpty()) return std::nullopt;
        return f;
    }

    void readColumn() {
        const int first = x.intAttr("min", 0) - 1, last = x.intAttr("max", 0) - 1;
        if (first < 0 || first >= kColumns || last < first) return;
        ColumnInfo info;
        info.firstColumn = first;
        info.lastColumn = std::min(last, kColumns - 1);
        info.width =
            uint16_t(std::clamp(std::lround(x.doubleAttr("width", 8.43) * 256), 0l, 65535l));
        info.xf = xfOf(x.intAttr("style", 0));
        info.hidden = x.boolAttr("hidden", false);
        info.flags = uint16_t((info.hidden ? 1 : 0) | (x.boolAttr("customWidth", false) ? 2 : 0) |
                              (x.boolAttr("bestFit", false) ? 4 : 0) |
                              ((std::clamp(x.intAttr("outlineLevel", 0), 0, 7)) << 8) |
                              (x.boolAttr("collapsed", false) ? 0x1000 : 0));
        if (!sheet.columns.empty() && sheet.columns.back().lastColumn >= info.firstColumn) return;
        sheet.columns.push_back(info);
    }

    void readPageSetup() {
        PageSetup& p = sheet.pageSetup;
        p.valid = true;
        p.paperSize = uint16_t(std::clamp(x.intAttr("paperSize", 1), 0, 65535));
        p.landscape = x.attr("orientation") == QLatin1String("landscape");
        p.scale = uint16_t(std::clamp(x.intAttr("scale", 100), 10, 400));
        p.fitWidth = uint16_t(std::clamp(x.intAttr("fitToWidth", 1), 0, 32767));
        p.fitHeight = uint16_t(std::clamp(x.intAttr("fitToHeight", 1), 0, 32767));
    }

    void readBreaks(std::vector<int>& out, int limit) {
        const int level = x.depth();
        while (x.next() && !(x.isEnd() && x.depth() < level))
            if (x.is("brk")) {
                const int id = x.intAttr("id", -1);
                if (id > 0 && id < limit && (out.empty() || out.back() < id)) out.push_back(id);
            }
    }

    void run() {
        while (x.next()) {
            if (!x.isStart()) continue;
            if (x.is("row")) {
                readRow();
            } else if (x.is("c")) {
                readCell();
            } else if (x.is("col")) {
                readColumn();
            } else if (x.is("mergeCell")) {
                CellRange m;
                if (parseRangeRef(x.attr("ref"), m) && m.firstRow < kRows &&
                    m.firstColumn < kColumns && sheet.merges.size() < 65536) {
                    m.lastRow = std::min(m.lastRow, kRows - 1);
                    m.lastColumn = std::min(m.lastColumn, kColumns - 1);
                    sheet.merges.push_back(m);
                }
            } else if (x.is("sheetFormatPr")) {
                if (x.hasAttr("defaultRowHeight"))
                    sheet.defaultRowHeight = uint16_t(std::clamp(
                        std::lround(x.doubleAttr("defaultRowHeight", 15) * 20), 1l, 8191l));
                if (x.hasAttr("baseColWidth"))
                    sheet.defaultColumnWidth =
                        uint16_t(std::clamp(x.intAttr("baseColWidth", 8), 0, 255));
                if (x.hasAttr("defaultColWidth"))
                    sheet.standardWidth = uint16_t(std::clamp(
                        std::lround(x.doubleAttr("defaultColWidth", 0) * 256), 0l, 65535l));
                sheet.rowsHiddenByDefault = x.boolAttr("zeroHeight", false);
            } else if (x.is("sheetView")) {
                sheet.showGridlines = x.boolAttr("showGridLines", true);
                sheet.zoomPercent = std::clamp(x.intAttr("zoomScale", 100), 10, 400);
            } else if (x.is("pageSetUpPr")) {
                sheet.pageSetup.fitToPage = x.boolAttr("fitToPage", false);
            } else if (x.is("printOptions")) {
                sheet.pageSetup.centerHorizontally = x.boolAttr("horizontalCentered", false);
                sheet.pageSetup.centerVertically = x.boolAttr("verticalCentered", false);
                sheet.pageSetup.printGridlines = x.boolAttr("gridLines", false);
                sheet.pageSetup.printHeadings = x.boolAttr("headings", false);
            } else if (x.is("pageMargins")) {
                PageSetup& p = sheet.pageSetup;
                p.leftMargin = x.doubleAttr("left", p.leftMargin);
                p.rightMargin = x.doubleAttr("right", p.rightMargin);
                p.topMargin = x.doubleAttr("top", p.topMargin);
                p.bottomMargin = x.doubleAttr("bottom", p.bottomMargin);
                p.headerMargin = x.doubleAttr("header", p.headerMargin);
                p.footerMargin = x.doubleAttr("footer", p.footerMargin);
            } else if (x.is("pageSetup")) {
                readPageSetup();
            } else if (x.is("oddHeader")) {
                sheet.pageSetup.header = decodeEscapes(x.text());
            } else if (x.is("oddFooter")) {
                sheet.pageSetup.footer = decodeEscapes(x.text());
            } else if (x.is("rowBreaks")) {
                readBreaks(sheet.pageSetup.rowBreaks, kRows);
            } else if (x.is("colBreaks")) {
                readBreaks(sheet.pageSetup.columnBreaks, kColumns);
            } else if (x.is("sheetData") || x.is("worksheet") || x.is("sheetPr") ||
                       x.is("sheetViews") || x.is("cols") || x.is("mergeCells") ||
                       x.is("headerFooter")) {
                // containers: their children are read above
            } else {
                x.skip(); // conditional formats, drawings, extensions ...
            }
        }
    }
};

} // namespace

namespace {

// The notes of a sheet's comments part: each comment's cell, author and plain text (the
// readings of phonetic runs left out).
void readComments(Archive& zip, Context& ctx, const QString& part, Sheet& sheet) {
    const QByteArray data = zip.read(part, false);
    if (data.isEmpty()) return;
    Xml x(data, ctx.name, part);
    std::vector<QString> authors;
    while (x.next()) {
        if (x.is("author")) {
            if (authors.size() < 65536) authors.push_back(decodeEscapes(x.text()));
        } else if (x.is("comment")) {
            CellNote note;
            const bool placed = parseCellRef(x.attr("ref"), note.row, note.column);
            const int author = x.intAttr("authorId", -1);
            if (author >= 0 && size_t(author) < authors.size())
                note.author = authors[size_t(author)];
            const int level = x.depth();
            while (x.next() && !(x.isEnd() && x.depth() < level)) {
                if (x.is("rPh"))
                    x.skip();
                else if (x.is("t"))
                    note.text += decodeEscapes(x.text());
            }
            note.text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
            if (placed && note.row <= 65535 && note.column <= 255 && sheet.notes.size() < 65536)
                sheet.notes.push_back(std::move(note));
        }
    }
    sheet.sortNotes();
}

} // namespace

void readWorksheet(Archive& zip, Context& ctx, const QString& part, Sheet& sheet, int index) {
    const QByteArray data = zip.read(part);
    Xml x(data, ctx.name, part);
    SheetReader reader{ctx, sheet, index, x, {}, {}, -1, -1};
    reader.run();
    const auto rels = readRelationships(zip, ctx, part);
    for (auto it = rels.begin(); it != rels.end(); ++it)
        if (it->first == QLatin1String("comments")) readComments(zip, ctx, it->second, sheet);
}

} // namespace tovera::xlsx
