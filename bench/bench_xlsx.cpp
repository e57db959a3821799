#include "bench.h"

#include "platform/errors.h"
#include "sheet/xlsxreader.h"

#include <zip.h>

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

// A copy of `sample` whose first sheet part inflates to 1 GiB of spaces.
bool makeBomb(const QString& sample, const QString& bomb) {
    QFile::remove(bomb);
    if (!QFile::copy(sample, bomb)) return false;
    QFile::setPermissions(bomb, QFile::ReadOwner | QFile::WriteOwner);
    int error = 0;
    zip_t* zip = zip_open(QFile::encodeName(bomb).constData(), 0, &error);
    if (!zip) return false;
    static QByteArray part;
    part = "<worksheet><sheetData/>" + QByteArray(1 << 30, ' ') + "</worksheet>";
    zip_source_t* source = zip_source_buffer(zip, part.constData(), zip_uint64_t(part.size()), 0);
    const zip_int64_t index = zip_name_locate(zip, "xl/worksheets/sheet1.xml", 0);
    const bool ok = source && index >= 0 &&
                    zip_file_replace(zip, zip_uint64_t(index), source, 0) == 0 &&
                    zip_set_file_compression(zip, zip_uint64_t(index), ZIP_CM_DEFLATE, 1) == 0;
    const bool closed = zip_close(zip) == 0;
    part.clear();
    part.squeeze();
    return ok && closed;
}

} // namespace

// xlsx_load_formula_stress_ms: in-process load of the formula stress workbook (median of
// 9); xlsx_cells_largest_ms: the whole `tovera-cli sheet cells` process on the largest
// .xlsx of the corpus (median of 5); xlsx_refuse_bomb_ms: refusing a sheet part that
// inflates past its cap (a ZIP bomb), from the bytes of the archive.
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
    const QString sample = dir + QStringLiteral("hyoten_mokuzou_2f.xlsx");
    const QString bomb = scratchDir() + QStringLiteral("/bomb.xlsx");
    if (QFile::exists(sample) && (QFile::exists(bomb) || makeBomb(sample, bomb))) {
        QFile f(bomb);
        f.open(QIODevice::ReadOnly);
        const QByteArray bytes = f.readAll();
        report("xlsx_refuse_bomb_ms",
               medianMs(3,
                        [&] {
                            try {
                                loadAnyWorkbookBytes(bytes, bomb);
                            } catch (const Exception&) {
                            }
                        }),
               "ms");
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
