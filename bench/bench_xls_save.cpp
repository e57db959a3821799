#include "bench.h"

#include "sheet/xlsreader.h"
#include "sheet/xlswriter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace tovera::bench {

namespace {

// The corpus workbook of about 150 KB: under $TOVERA_SHARED, else ../shared beside the tree.
QString workbook150k() {
    const QString name = QStringLiteral("/xls-corpus/sheetjs-formula_stress_test.xls");
    QStringList dirs;
    const QString env = qEnvironmentVariable("TOVERA_SHARED");
    if (!env.isEmpty()) dirs << env;
    const QString app = QCoreApplication::applicationDirPath();
    for (const char* up : {"/../../../shared", "/../../shared", "/../shared"})
        dirs << QDir::cleanPath(app + QLatin1String(up));
    for (const QString& d : dirs)
        if (QFile::exists(d + name)) return d + name;
    return {};
}

} // namespace

// Saving the 150 KB corpus workbook as a file (the user's save: build, write, sync, rename)
// and in memory only.
void benchXlsSave() {
    const QString source = workbook150k();
    if (source.isEmpty()) {
        std::fprintf(stderr, "tovera-bench: the shared workbook corpus is absent; "
                             "xls_save_150k_ms skipped\n");
        return;
    }
    try {
        const Workbook book = loadWorkbookFile(source);
        const QString target = scratchDir() + QStringLiteral("/save150k.xls");
        std::vector<double> times;
        for (int k = 0; k < 21; ++k) {
            const auto start = std::chrono::steady_clock::now();
            saveWorkbookFile(book, target, kFileTypeExcel97);
            times.push_back(msSince(start));
        }
        std::sort(times.begin(), times.end());
        report("xls_save_150k_ms", times[times.size() / 2], "ms");
        // The same without the file: the record stream and the compound file in memory.
        times.clear();
        for (int k = 0; k < 21; ++k) {
            const auto start = std::chrono::steady_clock::now();
            const QByteArray bytes = saveWorkbookBytes(book);
            times.push_back(msSince(start));
        }
        std::sort(times.begin(), times.end());
        report("xls_save_150k_memory_ms", times[times.size() / 2], "ms");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tovera-bench: xls_save_150k_ms failed: %s\n", e.what());
    }
}

} // namespace tovera::bench
