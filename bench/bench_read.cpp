#include "bench.h"

#include "drawing/readers.h"
#include "drawing/recordinghost.h"
#include "platform/codepage.h"

#include <QFile>
#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <random>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace tovera::bench {

namespace {

// A drawing file of header kind 1 with CR LF line ends, about `targetBytes` long: the
// plan's lines spread over the three floors, some extra lines and boxes, coordinates
// 0..2000, a handful of colours, a text on one line in four.
QByteArray generateDrawing(qsizetype targetBytes) {
    std::mt19937 rng(20261209u);
    std::uniform_int_distribution<int> pos(0, 2000);
    std::uniform_int_distribution<int> pick(0, 99);
    const int palette[] = {0, 255, 65280, 16711680, 8421504, 65535};
    const QByteArray wall = toCp932(QStringLiteral("壁"));
    const QByteArray window = toCp932(QStringLiteral("窓（引違い）"));

    auto lineSection = [&](int records) {
        QByteArray s = "lines\r\n" + QByteArray::number(records - 1) + "\r\n";
        for (int i = 0; i < records; ++i) {
            for (int k = 0; k < 4; ++k) s += QByteArray::number(pos(rng)) + "\r\n";
            s += QByteArray::number(palette[pick(rng) % 6]) + "\r\n";
            s += QByteArray::number(pick(rng) % 4) + "\r\n";
            const int t = pick(rng);
            s += (t < 15 ? wall : t < 25 ? window : QByteArray()) + "\r\n";
        }
        return s;
    };
    auto shortSection = [&](int records) {
        QByteArray s = "short\r\n" + QByteArray::number(records - 1) + "\r\n";
        for (int i = 0; i < records; ++i) {
            for (int k = 0; k < 4; ++k) s += QByteArray::number(pos(rng)) + "\r\n";
            s += QByteArray::number(palette[pick(rng) % 6]) + "\r\n";
        }
        return s;
    };
    // One line record is about 33 bytes; the sections share the target roughly 3:3:2:1:1.
    const int unit = int(targetBytes / 33 / 10);
    QByteArray d = "$headerpas\r\n10\r\n10\r\n0\r\n0\r\n1200\r\n900\r\n45.0\r\n45.0\r\n" +
                   toCp932(QStringLiteral("木造")) + "\r\n52.50\r\n40.25\r\n0\r\n6.0\r\n";
    d += lineSection(3 * unit);
    d += lineSection(3 * unit);
    d += lineSection(2 * unit);
    d += shortSection(unit);
    d += shortSection(unit / 2); // box records have the short line's layout
    d += shortSection(unit / 4);
    d += shortSection(unit / 4);
    for (int i = 0; i < 7; ++i) d += "\r\n";
    return d;
}

// Reads the file at `path` to its end as cat does: read(2) into one 128 KiB buffer.
// Returns the number of bytes read.
size_t readLikeCat(const QByteArray& path) {
    static char buffer[128 * 1024];
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    size_t total = 0;
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0) break;
        total += size_t(n);
    }
    ::close(fd);
    return total;
}

// Runs `cat path > /dev/null` and waits for it; false when it cannot be run.
bool runCat(const QByteArray& path) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    char* argv[] = {const_cast<char*>("cat"), const_cast<char*>(path.constData()), nullptr};
    pid_t pid;
    const bool started = posix_spawnp(&pid, "cat", &actions, nullptr, argv, environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    return started && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

template <class F> double bestMs(int runs, F f) {
    std::vector<double> times;
    for (int r = 0; r < runs; ++r) {
        const auto start = std::chrono::steady_clock::now();
        f();
        times.push_back(msSince(start));
    }
    return *std::min_element(times.begin(), times.end());
}

} // namespace

// read_file_mbps: readDrawingFile on a generated 20 MB kind-1 file with CR LF line ends.
// read_stored_mbps: the same bytes as a stored drawing, read from memory as showing a
// stored drawing does (readStoredBytes, which splits the lines as it reads).
// read_stored_lines_mbps: the same through the list of lines (splitStoredLines +
// readStoredDrawing), for comparison. cat_mbps: reading the file's bytes into memory, the ceiling.
// The file reader's figures are the best of nine runs, the others of five, each read into a
// fresh model whose freeing is not timed.
void benchRead() {
    const QString path = scratchDir() + QStringLiteral("/read_20mb.hbd");
    const QByteArray bytes = generateDrawing(20 * 1000 * 1000);
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size() || !f.flush()) {
            std::fprintf(stderr, "bench read: cannot write %s\n", qPrintable(path));
            return;
        }
        // On disk before anything is timed, so that no write-back runs meanwhile.
        ::fsync(f.handle());
    }
    const double mb = double(bytes.size()) / 1e6;
    const int runs = 5;

    const double catMs = bestMs(runs, [&] {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly)) return;
        const QByteArray all = f.readAll();
        if (all.size() != bytes.size()) std::fprintf(stderr, "bench read: short read\n");
    });

    RecordingDrawingHost host; // renderDrawing does nothing
    auto count = [](const DrawingModel& m) {
        return m.lines1F.size() + m.lines2F.size() + m.lines3F.size() + m.extraLines1F.size() +
               m.boxes1F.size() + m.boxes2F.size() + m.boxes3F.size();
    };
    // Each read fills a fresh model; freeing the model afterwards is not timed.
    auto timeRead = [&](size_t& elements, auto read) {
        std::vector<double> times;
        for (int r = 0; r < runs; ++r) {
            DrawingModel model;
            const auto start = std::chrono::steady_clock::now();
            read(model);
            times.push_back(msSince(start));
            elements = count(model);
        }
        return *std::min_element(times.begin(), times.end());
    };
    // The reader against reading the same file with cat, both on the file in the page
    // cache, each the best of nine runs in a row. read_file_vs_cat runs cat itself
    // (`cat file > /dev/null`, its start included): cat_time / reader_time.
    const QByteArray name = QFile::encodeName(path);
    bool catRan = true;
    std::vector<double> fileTimes, catTimes;
    size_t fileElements = 0, storedElements = 0, bytesElements = 0;
    for (int r = 0; r < 9; ++r) {
        const auto catStart = std::chrono::steady_clock::now();
        catRan = runCat(name) && catRan;
        catTimes.push_back(msSince(catStart));
    }
    for (int r = 0; r < 9; ++r) {
        DrawingModel model;
        const auto start = std::chrono::steady_clock::now();
        readDrawingFile(model, host, path);
        fileTimes.push_back(msSince(start));
        fileElements = count(model);
    }
    const double fileMs = *std::min_element(fileTimes.begin(), fileTimes.end());
    const double catProcessMs = *std::min_element(catTimes.begin(), catTimes.end());
    const double storedMs = timeRead(storedElements, [&](DrawingModel& m) {
        readStoredDrawing(m, host, splitStoredLines(bytes));
    });
    const double bytesMs =
        timeRead(bytesElements, [&](DrawingModel& m) { readStoredBytes(m, host, bytes); });
    if (fileElements == 0 || storedElements != fileElements || bytesElements != fileElements)
        std::fprintf(stderr, "bench read: the readers disagree\n");

    // read_file_vs_read2 times only what cat does once started, read(2) into a 128 KiB
    // buffer.
    const double read2Ms = bestMs(runs, [&] {
        if (readLikeCat(name) != size_t(bytes.size()))
            std::fprintf(stderr, "bench read: short read\n");
    });
    if (catRan)
        report("read_file_vs_cat", catProcessMs / fileMs, "ratio");
    else
        std::fprintf(stderr, "bench read: cat could not be run\n");
    report("read_file_vs_read2", read2Ms / fileMs, "ratio");
    report("read_file_ms", fileMs, "ms");
    report("cat_file_ms", catProcessMs, "ms");
    report("read2_file_ms", read2Ms, "ms");

    report("read_file_mbps", mb / (fileMs / 1000), "MB/s");
    report("read_stored_mbps", mb / (bytesMs / 1000), "MB/s");
    report("read_stored_lines_mbps", mb / (storedMs / 1000), "MB/s");
    report("cat_mbps", mb / (catMs / 1000), "MB/s");
}

} // namespace tovera::bench
