#include "commands.h"

#include "platform/errors.h"
#include "sheet/xlsreader.h"
#include "sheet/xlsreader_cells.h"

#include <cstdio>

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
        book = salvage ? salvageWorkbookFile(args[1], notes) : loadWorkbookFile(args[0]);
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

} // namespace

int runSheet(const QStringList& args) {
    const QString usage =
        QStringLiteral("usage: tovera-cli sheet cells [--salvage] FILE | sheet text FILE | "
                       "sheet convert IN OUT | sheet pdf IN OUT.pdf");
    if (args.isEmpty()) return fail(2, usage);
    const QString sub = args[0];
    const QStringList rest = args.mid(1);
    if (sub == QLatin1String("cells")) return runSheetCells(rest);
    if (sub == QLatin1String("text")) return runSheetText(rest);
    if (sub == QLatin1String("convert")) return runSheetConvert(rest);
    if (sub == QLatin1String("pdf")) return runSheetPdf(rest);
    if (sub == QLatin1String("recalc")) return runSheetRecalc(rest);
    return fail(2, usage);
}

} // namespace tovera::cli
