#include "commands.h"

#include "platform/errors.h"
#include "sheet/xlsreader.h"
#include "sheet/xlsxreader.h"
#include "sheet/xlsreader_cells.h"

#include <cstdio>
#include <map>

namespace tovera::cli {

namespace {

// sheet cells FILE: every cell with a value, one line each.
// With --salvage, a damaged workbook gives the cells that could be read, the damage on
// standard error and status 3.
int runSheetCells(const QStringList& args) {
    const bool salvage = args.size() == 2 && args[0] == QLatin1String("--salvage");
    if (args.size() != 1 && !salvage)
        return fail(2, QStringLiteral("usage: tovera-cli sheet cells [--salvage] FILE"));
    Workbook book;
    QStringList notes;
    try {
        book = salvage ? salvageWorkbookFile(args[1], notes) : loadAnyWorkbookFile(args[0]);
    } catch (const Exception& e) {
        return fail(1, e.message());
    }
    QByteArray out;
    for (const QString& line : cellLines(book)) {
        out += line.toUtf8();
        out += '\n';
    }
    std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
    std::fflush(stdout);
    for (const QString& note : notes) fail(3, note);
    return notes.isEmpty() ? 0 : 3;
}

// The features a workbook holds that the engine keeps without interpreting them, and its
// panes and protection: one line each, SHEET<TAB>FEATURE<TAB>COUNT (SHEET "*" for the
// workbook, else the sheet's number from 0). "comment" and "picture" count the notes and
// the bitmap pictures the control shows.
int runSheetRecords(const QStringList& args) {
    if (args.size() != 1) return fail(2, QStringLiteral("usage: tovera-cli sheet records FILE"));
    Workbook book;
    try {
        book = loadAnyWorkbookFile(args[0]);
    } catch (const Exception& e) {
        return fail(1, e.message());
    }
    static const std::map<uint16_t, const char*> features = {
        {0x00EC, "drawing"},       {0x005D, "object"},     {0x01B6, "textbox"},
        {0x001C, "note"},          {0x01BE, "validation"}, {0x01B1, "condformat"},
        {0x01B8, "hyperlink"},     {0x00E9, "background"}, {0x0809, "chart"},
        {0x0867, "featureheader"}};
    QByteArray out;
    auto line = [&](const QString& sheet, const QString& feature, qsizetype count) {
        if (count > 0)
            out += QStringLiteral("%1\t%2\t%3\n").arg(sheet, feature).arg(count).toUtf8();
    };
    line(QStringLiteral("*"), QStringLiteral("drawinggroup"),
         qsizetype(book.keptDrawingGroup.size()));
    line(QStringLiteral("*"), QStringLiteral("protection"), book.protection.on ? 1 : 0);
    for (size_t i = 0; i < book.sheets.size(); ++i) {
        const Sheet& s = book.sheets[i];
        std::map<QString, qsizetype> counts;
        int depth = 0;
        for (const auto* list : {&s.kept.beforeCells, &s.kept.afterCells, &s.kept.afterWindow})
            for (const KeptRecord& k : *list) {
                if (k.id == 0x0809 && depth++ > 0) continue;
                if (k.id == 0x000A) --depth;
                if (depth > 0 && k.id != 0x0809) continue; // inside an embedded chart
                auto f = features.find(k.id);
                counts[f != features.end() ? QString::fromLatin1(f->second)
                                           : QStringLiteral("other")] += 1;
            }
        const QString n = QString::number(i);
        for (const auto& [feature, count] : counts) line(n, feature, count);
        line(n, s.panes.frozen ? QStringLiteral("frozenpanes") : QStringLiteral("splitpanes"),
             s.panes.any() ? 1 : 0);
        line(n, QStringLiteral("protection"), s.protection.on ? 1 : 0);
        line(n, QStringLiteral("comment"), qsizetype(s.notes.size()));
        line(n, QStringLiteral("picture"), qsizetype(s.pictures.size()));
    }
    std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
    return 0;
}

} // namespace

int runSheet(const QStringList& args) {
    const QString usage =
        QStringLiteral("usage: tovera-cli sheet cells [--salvage] FILE | sheet text FILE | "
                       "sheet records FILE | sheet convert IN OUT | sheet pdf IN OUT.pdf");
    if (args.isEmpty()) return fail(2, usage);
    const QString sub = args[0];
    const QStringList rest = args.mid(1);
    if (sub == QLatin1String("cells")) return runSheetCells(rest);
    if (sub == QLatin1String("text")) return runSheetText(rest);
    if (sub == QLatin1String("records")) return runSheetRecords(rest);
    if (sub == QLatin1String("convert")) return runSheetConvert(rest);
    if (sub == QLatin1String("pdf")) return runSheetPdf(rest);
    if (sub == QLatin1String("recalc")) return runSheetRecalc(rest);
    return fail(2, usage);
}

} // namespace tovera::cli
