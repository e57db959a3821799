#include "bench.h"

#include "sheet/xlsxreader.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <algorithm>
#include <vector>

namespace tovera::bench {

namespace {

QString xlsxCorpus() {
    QString dir = qEnvironmentVariable("TOVERA_SHARED");
    if (dir.isEmpty()) dir = QStringLiteral(TOVERA_SHARED);
    return dir + QStringLiteral("/xlsx-corpus/");
}

template <typename F> double medianMs(int runs, F f) {
    std::vector<double> times;
    for (int k = 0; k < runs; ++k) {
        const auto start = std::chrono::steady_clock::now();
        f();
        times.push_back(msSince(start));
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

// xlsx_load_formula_stress_ms: in-process load of the formula stress workbook (median of
// 9); xlsx_cells_largest_ms: the whole `tovera-cli sheet cells` process on the largest
// .xlsx of the corpus (median of 5).
void benchXlsx() {
    const QString dir = xlsxCorpus();
    const QString stress = dir + QStringLiteral("sheetjs-formula_stress_test.xlsx");
    if (QFile::exists(stress)) {
        QFile f(stress);
        f.open(QIODevice::ReadOnly);
        const QByteArray bytes = f.readAll();
        report("xlsx_load_formula_stress_ms",
               medianMs(9, [&] { loadAnyWorkbookBytes(bytes, stress); }), "ms");
    }
    QString largest;
    qint64 size = -1;
    for (const QFileInfo& fi : QDir(dir).entryInfoList({QStringLiteral("*.xlsx")}, QDir::Files))
        if (fi.size() > size) {
            size = fi.size();
            largest = fi.filePath();
        }
    const QString cli = QCoreApplication::applicationDirPath() + QStringLiteral("/tovera-cli");
    if (largest.isEmpty() || !QFile::exists(cli)) return;
    report("xlsx_cells_largest_ms",
           medianMs(5,
                    [&] {
                        QProcess p;
                        p.setStandardOutputFile(QProcess::nullDevice());
                        p.setStandardErrorFile(QProcess::nullDevice());
                        p.start(cli, {QStringLiteral("sheet"), QStringLiteral("cells"), largest});
                        p.waitForFinished(60000);
                    }),
           "ms");
}

} // namespace tovera::bench
