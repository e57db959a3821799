#include "bench.h"

#include "platform/errors.h"
#include "records/access_import.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <chrono>
#include <cstdio>

namespace tovera::bench {

// Imports the largest sample Access register (60 records, 12 districts, 2.4 MB of
// attachments) into a new store, several times; reports the median run.
void benchImport() {
    const QString mdb = QStringLiteral(TOVERA_SHARED "/mdb-samples/tovera_register_jet4.mdb");
    if (!QFileInfo::exists(mdb)) {
        std::fprintf(stderr, "import: %s is not present\n", qPrintable(mdb));
        return;
    }
    const QString store = QDir(scratchDir()).filePath(QStringLiteral("import-bench.store"));
    const int runs = 15;
    QList<double> ms;
    qint64 rows = 0;
    try {
        for (int i = 0; i < runs; ++i) {
            QFile::remove(store);
            const auto start = std::chrono::steady_clock::now();
            const ImportSummary s = importAccessRegister(mdb, store);
            ms << msSince(start);
            rows = s.records + s.districts;
        }
    } catch (const Exception& e) {
        std::fprintf(stderr, "import: %s\n", e.what());
        return;
    }
    QFile::remove(store);
    std::sort(ms.begin(), ms.end());
    const double median = ms[runs / 2];
    report("import_ms", median, "ms");
    report("import_rows_per_s", rows / (median / 1000.0), "rows/s");
    // Attachments make up most of a register; this figure scales to larger files.
    report("import_mb_per_s", QFileInfo(mdb).size() / 1048576.0 / (median / 1000.0), "MB/s");
}

} // namespace tovera::bench
