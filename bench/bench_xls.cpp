#include "bench.h"

#include "sheet/xlsreader.h"
#include "sheet/xlsreader_cells.h"

#if __has_include("sheet/xlswriter.h")
#include "sheet/xlswriter.h"
#define TOVERA_BENCH_HAVE_WRITER 1
#endif

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace tovera::bench {

namespace {

// The shared evidence folder: $TOVERA_SHARED, else ../shared beside the source tree.
QString sharedDir() {
    const QString env = qEnvironmentVariable("TOVERA_SHARED");
    if (!env.isEmpty()) return env;
    const QString app = QCoreApplication::applicationDirPath();
    for (const char* up : {"/../../../shared", "/../../shared", "/../shared"}) {
        const QString dir = QDir::cleanPath(app + QLatin1String(up));
        if (QFile::exists(dir + QStringLiteral("/xls-corpus"))) return dir;
    }
    return {};
}

// Whole-process milliseconds of `tovera-cli sheet cells FILE` (median of 5).
double cellsCommandMs(const QString& file) {
    const QString cli = QCoreApplication::applicationDirPath() + QStringLiteral("/tovera-cli");
    if (!QFile::exists(cli)) return -1;
    return medianMs(5, [&] {
        QProcess p;
        p.setStandardOutputFile(QProcess::nullDevice());
        p.start(cli, {QStringLiteral("sheet"), QStringLiteral("cells"), file});
        p.waitForFinished(60000);
    });
}

#ifdef TOVERA_BENCH_HAVE_WRITER
// A sheet of 65 536 rows: a number, a text, a date and a formula result in each row.
QString generatedSheet() {
    const QString path = scratchDir() + QStringLiteral("/rows65536.xls");
    Workbook book = Workbook::createDefault();
    CellFormat dateFormat = book.xfs[15];
    dateFormat.numberFormat = 14;
    book.xfs.push_back(dateFormat);
    const uint16_t dateXf = uint16_t(book.xfs.size() - 1);
    Sheet& sheet = book.sheets[0];
    sheet.rows.reserve(65536);
    for (int r = 0; r < 65536; ++r) {
        Row row;
        row.index = r;
        Cell n;
        n.column = 0;
        n.type = CellType::Number;
        n.number = r * 1.25;
        n.xf = 15;
        Cell t = n;
        t.column = 1;
        t.type = CellType::Text;
        t.text = QStringLiteral("行%1 山路").arg(r % 500);
        Cell d = n;
        d.column = 2;
        d.number = 36526 + r % 3000;
        d.xf = dateXf;
        Cell f = n;
        f.column = 3;
        f.number = r * 2.5;
        auto formula = std::make_shared<Formula>();
        formula->tokens = QByteArray::fromHex("44") + QByteArray(1, char(r & 0xFF)) +
                          QByteArray(1, char(r >> 8)) + QByteArray::fromHex("00c01e020005");
        f.formula = formula;
        row.cells = {n, t, d, f};
        sheet.rows.push_back(std::move(row));
    }
    saveWorkbookFile(book, path, kFileTypeExcel97);
    return path;
}
#endif

} // namespace

void benchXls() {
    const QString shared = sharedDir();
    const QString file150k =
        shared + QStringLiteral("/xls-corpus/sheetjs-formula_stress_test.xls"); // 154 112 bytes
    if (!shared.isEmpty() && QFile::exists(file150k)) {
        size_t cells = 0;
        const double ms = medianMs(21, [&] { cells = loadWorkbookFile(file150k).sheets.size(); });
        report("xls_load_150k_ms", ms, "ms");
        const double process = cellsCommandMs(file150k);
        if (process >= 0) report("xls_cells_process_150k_ms", process, "ms");
        (void)cells;
    } else {
        std::fprintf(stderr, "tovera-bench: the shared workbook corpus is absent; "
                             "xls_load_150k_ms skipped\n");
    }
#ifdef TOVERA_BENCH_HAVE_WRITER
    try {
        const QString rows = generatedSheet();
        size_t values = 0;
        const double ms =
            medianMs(5, [&] { values = loadWorkbookFile(rows).sheets[0].valueCount(); });
        if (values != 65536 * 4)
            std::fprintf(stderr, "tovera-bench: the generated sheet read back %zu values\n",
                         values);
        report("xls_load_65536rows_ms", ms, "ms");
        const double process = cellsCommandMs(rows);
        if (process >= 0) report("xls_cells_process_65536rows_ms", process, "ms");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tovera-bench: xls_load_65536rows_ms failed: %s\n", e.what());
    }
#endif
    benchXlsSave();
}

} // namespace tovera::bench
