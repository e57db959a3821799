#include "commands.h"

#include "platform/errors.h"
#include "sheet/sheetprint.h"
#include "sheet/xlsreader.h"
#include "sheet/xlsxreader.h"

#include <QFileInfo>
#include <QPdfWriter>
#include <QSaveFile>

namespace tovera::cli {

// sheet pdf IN OUT.pdf: the pages the workbook prints, as a PDF file. The file appears
// whole or not at all.
int runSheetPdf(const QStringList& args) {
    if (args.size() != 2) return fail(2, QStringLiteral("usage: tovera-cli sheet pdf IN OUT.pdf"));
    Workbook book;
    try {
        book = loadAnyWorkbookFile(args[0]);
    } catch (const Exception& e) {
        return fail(1, e.message());
    }
    QSaveFile out(args[1]);
    if (!out.open(QIODevice::WriteOnly))
        return fail(1, QStringLiteral("%1: %2").arg(args[1], out.errorString()));
    try {
        QPdfWriter writer(&out);
        writer.setResolution(600);
        writer.setCreator(QStringLiteral("Tovera"));
        writer.setTitle(QFileInfo(args[0]).fileName());
        printWorkbook(writer, book, args[0]);
    } catch (const Exception& e) {
        out.cancelWriting();
        return fail(1, e.message());
    }
    if (!out.commit()) return fail(1, QStringLiteral("%1: %2").arg(args[1], out.errorString()));
    return 0;
}

} // namespace tovera::cli
