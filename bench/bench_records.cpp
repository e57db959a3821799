#include "bench.h"

#include "app/databound.h"
#include "app/page_basic.h"
#include "app/page_drawing.h"
#include "app/tovmain.h"
#include "platform/dialogs.h"
#include "records/demo.h"
#include "records/provider.h"
#include "records/recordset.h"
#include "widgets/controls.h"
#include "widgets/helpviewer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <malloc.h>
#include <memory>
#include <vector>

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

namespace {

// The register `fileName` of the scratch folder made from `options`, built on first use and
// kept for later runs (the mark beside it tells a whole one).
QString keptStore(const char* fileName, const DemoOptions& options) {
    const QString path = QDir(scratchDir()).filePath(QString::fromLatin1(fileName));
    const QString ready = path + QStringLiteral(".ready");
    if (QFileInfo::exists(path) && QFileInfo::exists(ready)) return path;
    for (const char* suffix : {"", "-wal", "-shm"}) QFile::remove(path + QLatin1String(suffix));
    const auto start = std::chrono::steady_clock::now();
    createDemo(path, options);
    std::fprintf(stderr, "records: built %s (%.0f MB) in %.1f s\n", qPrintable(path),
                 QFileInfo(path).size() / 1048576.0, msSince(start) / 1000);
    QFile mark(ready);
    mark.open(QIODevice::WriteOnly);
    // The build's freed memory goes back to the system, so that the peak memory of what
    // follows is the same whether the register was built in this run or kept from one.
    malloc_trim(0);
    return path;
}

} // namespace

// The large register: 100 000 records, one in ten with a 20 KB drawing and a 50 KB sheet.
QString largeStore() {
    DemoOptions o;
    o.records = 100000;
    o.drawingEvery = 10;
    o.sheetEvery = 10;
    o.drawingMinBytes = 20 * 1024;
    o.sheetMinBytes = 50 * 1024;
    return keptStore("records-100k.mdb", o);
}

// The city register: 1 000 000 records, as `tovera-cli db demo --records 1000000` makes it.
QString millionStore() {
    return keptStore("records-1m.mdb", registerDemoOptions(1000000));
}

namespace {

// A record set over a register, with the attachment marks read after each change of
// record as the window reads them.
struct OpenRegister {
    Connection connection;
    RecordSet records{connection};
    qint64 marks = 0;
};

// Connects to `path`, opens the full list and walks its ends; reports the time and the
// peak memory of the opening and the mean time of one move under the names given.
std::unique_ptr<OpenRegister> openAndWalk(const QString& path, const char* openMs,
                                          const char* openMb, const char* moveUs) {
    auto reg = std::make_unique<OpenRegister>();
    RecordSet& records = reg->records;
    QObject::connect(&records, &RecordSet::afterScroll, [r = reg.get()] {
        r->marks += r->records.blobLength(QStringLiteral("zumen")) > 0;
        r->marks += r->records.blobLength(QStringLiteral("excel")) > 0;
    });
    // The program keeps freed memory for reuse; what earlier groups freed goes back to the
    // system first, so that the peak is the record set's own.
    malloc_trim(0);
    resetPeakResident();
    const auto start = std::chrono::steady_clock::now();
    reg->connection.open(connectionStringFor(path));
    records.open(QStringLiteral("select * from 基本データ"));
    report(openMs, msSince(start), "ms");
    report(openMb, peakResidentMb(), "MB");
    const int rounds = 2000;
    const auto moves = std::chrono::steady_clock::now();
    for (int i = 0; i < rounds; ++i) {
        records.first();
        records.next();
        records.last();
        records.prior();
    }
    report(moveUs, msSince(moves) * 1000.0 / (rounds * 4), "us");
    return reg;
}

// From nothing to the first frame over the city register: the main window is built (its
// creation step connects to the register and opens the record set on the first record),
// shown and painted, with the first record's owner in its box.
void benchStartupMillion(const QString& store) {
    QTemporaryDir folder;
    if (!QFile::link(store, QDir(folder.path()).filePath(QString::fromUtf8(kDatabaseFileName)))) {
        std::fprintf(stderr, "records: cannot link the register\n");
        return;
    }
    ScriptedDialogs dialogs;
    HelpViewer help(dialogs);
    const QString owner = QStringLiteral("所有者氏名");
    std::vector<double> times;
    QString shown;
    for (int r = 0; r < 7; ++r) {
        const auto start = std::chrono::steady_clock::now();
        {
            Tovmain window(dialogs, help, folder.path(), {});
            window.show();
            window.repaint();
            window.drawingPage().PaintBox1->repaint();
            times.push_back(msSince(start));
            shown = window.basicPage().field(owner)->shownText();
        }
        QCoreApplication::processEvents();
    }
    if (shown.isEmpty() || !dialogs.shown.empty()) {
        std::fprintf(stderr, "records: the window showed no first record\n");
        return;
    }
    std::sort(times.begin(), times.end());
    report("startup_first_frame_1m_ms", times[times.size() / 2], "ms");
}

} // namespace

// The mean time (ms) of 50 posts of 備考, one in every eleventh record from the first,
// reported as `figure`.
void benchPosts(RecordSet& records, const char* figure) {
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
    report(figure, total / posts, "ms");
}

void benchRecords() {
    try {
        const QString path = millionStore();
        openAndWalk(path, "records_open_1m_ms", "records_open_1m_mb", "records_move_us");
        benchStartupMillion(path);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "records: %s\n", e.what());
    }
    try {
        const auto reg = openAndWalk(largeStore(), "records_open_100k_ms", "records_open_100k_mb",
                                     "records_move_100k_us");
        // Posts on records that hold both attachments (the heaviest rows).
        benchPosts(reg->records, "records_post_ms");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "records: %s\n", e.what());
    }
    benchRecordsServer();
}

} // namespace tovera::bench
