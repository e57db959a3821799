#include "commands.h"

#include "platform/errors.h"
#include "sheet/xlsreader.h"
#include "sheet/xlsxreader.h"
#include "sheet/xlsreader_cells.h"

#include <cstdio>

namespace tovera::cli {

namespace {

// sheet cells FILE: every cell with a value, one line each.
int runSheetCells(const QStringList& args) {
    if (args.size() != 1) return fail(2, QStringLiteral("usage: tovera-cli sheet cells FILE"));
    Workbook book;
    try {
        book = loadAnyWorkbookFile(args[0]);
    } catch (const Exception& e) {
        return fail(1, e.message());
    }
    QByteArray out;
    for (const QString& line : cellLines(book)) {
        out += line.toUtf8();
        out += '\n';
    }
    std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
    return 0;
}

} // namespace

int runSheet(const QStringList& args) {
    const QString usage = QStringLiteral("usage: tovera-cli sheet cells FILE | sheet text FILE | "
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
