#include "bench.h"

#include "drawing/readers.h"
#include "drawing/recordinghost.h"
#include "platform/codepage.h"

#include <QFile>
#include <algorithm>
#include <chrono>
#include <random>
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
// Each is the best of five runs.
void benchRead() {
    const QString path = scratchDir() + QStringLiteral("/read_20mb.hbd");
    const QByteArray bytes = generateDrawing(20 * 1000 * 1000);
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) {
            std::fprintf(stderr, "bench read: cannot write %s\n", qPrintable(path));
            return;
        }
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
    size_t fileElements = 0, storedElements = 0, bytesElements = 0;
    const double fileMs = bestMs(runs, [&] {
        DrawingModel model;
        readDrawingFile(model, host, path);
        fileElements = count(model);
    });
    const double storedMs = bestMs(runs, [&] {
        DrawingModel model;
        readStoredDrawing(model, host, splitStoredLines(bytes));
        storedElements = count(model);
    });
    const double bytesMs = bestMs(runs, [&] {
        DrawingModel model;
        readStoredBytes(model, host, bytes);
        bytesElements = count(model);
    });
    if (fileElements == 0 || storedElements != fileElements || bytesElements != fileElements)
        std::fprintf(stderr, "bench read: the readers disagree\n");

    report("read_file_mbps", mb / (fileMs / 1000), "MB/s");
    report("read_stored_mbps", mb / (bytesMs / 1000), "MB/s");
    report("read_stored_lines_mbps", mb / (storedMs / 1000), "MB/s");
    report("cat_mbps", mb / (catMs / 1000), "MB/s");
}

} // namespace tovera::bench
