#include "bench.h"

#include "records/demo.h"
#include "records/provider.h"
#include "records/recordset.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <chrono>
#include <cstdio>

namespace tovera::bench {

namespace {

// Peak resident memory of the process in MB (VmHWM), and its reset.
double peakResidentMb() {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    return -1;
}
void resetPeakResident() {
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly)) f.write("5");
}

} // namespace

// The large register: 100 000 records, one in ten with a 20 KB drawing and a 50 KB sheet.
// Built once and kept in the scratch folder.
QString largeStore() {
    const QString path = QDir(scratchDir()).filePath(QStringLiteral("records-100k.mdb"));
    const QString ready = path + QStringLiteral(".ready");
    if (QFileInfo::exists(path) && QFileInfo::exists(ready)) return path;
    QFile::remove(path);
    QFile::remove(path + QStringLiteral("-wal"));
    QFile::remove(path + QStringLiteral("-shm"));
    DemoOptions o;
    o.records = 100000;
    o.drawingEvery = 10;
    o.sheetEvery = 10;
    o.drawingMinBytes = 20 * 1024;
    o.sheetMinBytes = 50 * 1024;
    const auto start = std::chrono::steady_clock::now();
    createDemo(path, o);
    std::fprintf(stderr, "records: built %s (%.0f MB) in %.1f s\n", qPrintable(path),
                 QFileInfo(path).size() / 1048576.0, msSince(start) / 1000);
    QFile mark(ready);
    mark.open(QIODevice::WriteOnly);
    return path;
}

// The city register: 1 000 000 records, one in ten with a drawing and a sheet of their
// natural sizes. Built once and kept in the scratch folder.
QString millionStore() {
    const QString path = QDir(scratchDir()).filePath(QStringLiteral("records-1m.mdb"));
    const QString ready = path + QStringLiteral(".ready");
    if (QFileInfo::exists(path) && QFileInfo::exists(ready)) return path;
    QFile::remove(path);
    QFile::remove(path + QStringLiteral("-wal"));
    QFile::remove(path + QStringLiteral("-shm"));
    DemoOptions o;
    o.records = 1000000;
    o.drawingEvery = 10;
    o.sheetEvery = 10;
    const auto start = std::chrono::steady_clock::now();
    createDemo(path, o);
    std::fprintf(stderr, "records: built %s (%.0f MB) in %.1f s\n", qPrintable(path),
                 QFileInfo(path).size() / 1048576.0, msSince(start) / 1000);
    QFile mark(ready);
    mark.open(QIODevice::WriteOnly);
    return path;
}

namespace {

// Opening the full list and moving anywhere in it, on the million-record register.
void benchMillion() {
    const QString path = millionStore();
    Connection connection;
    RecordSet records(connection);
    qint64 marks = 0;
    QObject::connect(&records, &RecordSet::afterScroll, [&] {
        marks += records.blobLength(QStringLiteral("zumen")) > 0;
        marks += records.blobLength(QStringLiteral("excel")) > 0;
    });
    resetPeakResident();
    const auto start = std::chrono::steady_clock::now();
    connection.open(connectionStringFor(path));
    records.open(QStringLiteral("select * from 基本データ"));
    report("records_open_1m_ms", msSince(start), "ms");
    report("records_open_1m_mb", peakResidentMb(), "MB");
    const int rounds = 2000;
    const auto moves = std::chrono::steady_clock::now();
    for (int i = 0; i < rounds; ++i) {
        records.first();
        records.next();
        records.last();
        records.prior();
    }
    report("records_move_us", msSince(moves) * 1000.0 / (rounds * 4), "us");
    if (marks < 0) std::fprintf(stderr, "unreachable\n");
}

} // namespace

void benchRecords() {
    try {
        benchMillion();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "records: %s\n", e.what());
    }
    try {
        const QString path = largeStore();
        Connection connection;
        RecordSet records(connection);
        qint64 marks = 0;
        // The attachment marks after each change of record, as the window sets them.
        QObject::connect(&records, &RecordSet::afterScroll, [&] {
            marks += records.blobLength(QStringLiteral("zumen")) > 0;
            marks += records.blobLength(QStringLiteral("excel")) > 0;
        });

        resetPeakResident();
        const auto start = std::chrono::steady_clock::now();
        connection.open(connectionStringFor(path));
        records.open(QStringLiteral("select * from 基本データ"));
        report("records_open_100k_ms", msSince(start), "ms");
        report("records_open_100k_mb", peakResidentMb(), "MB");

        const int rounds = 2000;
        const auto moves = std::chrono::steady_clock::now();
        for (int i = 0; i < rounds; ++i) {
            records.first();
            records.next();
            records.last();
            records.prior();
        }
        report("records_move_100k_us", msSince(moves) * 1000.0 / (rounds * 4), "us");

        // Posts on records that hold both attachments (the heaviest rows).
        const int posts = 50;
        double total = 0;
        records.first();
        for (int i = 0; i < posts; ++i) {
            records.edit();
            records.setValue(QStringLiteral("備考"), QStringLiteral("bench %1").arg(i));
            const auto post = std::chrono::steady_clock::now();
            records.post();
            total += msSince(post);
            for (int k = 0; k < 10; ++k) records.next();
        }
        report("records_post_ms", total / posts, "ms");
        if (marks < 0) std::fprintf(stderr, "unreachable\n");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "records: %s\n", e.what());
    }
    benchRecordsServer();
}

} // namespace tovera::bench
