#include "app/page_drawing.h"
#include "app/tovmain.h"
#include "bench.h"
#include "platform/dialogs.h"
#include "records/demo.h"
#include "records/provider.h"
#include "widgets/controls.h"
#include "widgets/helpviewer.h"

#include "drawing/model.h"
#include "drawing/renderer.h"

#include <QCoreApplication>
#include <QDir>
#include <QPainter>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <random>
#include <vector>

namespace tovera::bench {

// A floor of `count` elements over a plan extent of 0..1200 drawing units: nine lines in
// ten (mostly wall-like horizontal and vertical runs up to 240 units, some diagonals, a
// third of them on layer 0) and one box in ten (10 to 130 units a side), in a handful of
// colours as real plans use.
DrawingModel randomFloor(int count, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> pos(0, 1200);
    std::uniform_int_distribution<int> len(-240, 240);
    std::uniform_int_distribution<int> side(10, 130);
    std::uniform_int_distribution<int> pick(0, 99);
    const uint32_t palette[] = {0x000000, 0x0000FF, 0xFF0000, 0x008000, 0x808080, 0x00FFFF};
    DrawingModel model;
    for (int n = 0; n < count; ++n) {
        const uint32_t color = palette[pick(rng) % 6];
        if (pick(rng) < 10) {
            const int x = pos(rng), y = pos(rng);
            model.boxes1F.push_back(TBox{x, y, x + side(rng), y + side(rng), color});
            continue;
        }
        TLine l;
        l.x1 = pos(rng);
        l.y1 = pos(rng);
        const int kind = pick(rng);
        l.x2 = l.x1 + (kind < 40 ? len(rng) : kind < 80 ? 0 : len(rng));
        l.y2 = l.y1 + (kind < 40 ? 0 : len(rng));
        l.color = color;
        l.layer = pick(rng) < 33 ? 0 : 1;
        model.lines1F.push_back(l);
    }
    return model;
}

namespace {

double threadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

struct Timing {
    double wallMs; // median wall-clock time of one frame
    double cpuMs;  // median processor time of one frame (what a busy machine cannot inflate)
};

Timing medianRender(int count, double zoom, int runs, bool withBoxes = true) {
    DrawingModel model = randomFloor(count, 12345u + unsigned(count));
    model.zoom = zoom;
    if (!withBoxes) model.boxes1F.clear();
    DrawingCanvas canvas;
    DrawingModel empty;
    canvas.prepareCanvas(empty, QString());
    std::vector<double> wall, cpu;
    canvas.renderDrawing(model); // warm up
    for (int r = 0; r < runs; ++r) {
        const double cpuStart = threadCpuMs();
        const auto start = std::chrono::steady_clock::now();
        canvas.renderDrawing(model);
        wall.push_back(msSince(start));
        cpu.push_back(threadCpuMs() - cpuStart);
    }
    std::sort(wall.begin(), wall.end());
    std::sort(cpu.begin(), cpu.end());
    return {wall[wall.size() / 2], cpu[cpu.size() / 2]};
}

// The same frame drawn through QPainter alone (a clip covering the whole buffer keeps the
// direct scanline writer out), for comparison.
double medianPainterMs(int count, double zoom, int runs) {
    DrawingModel model = randomFloor(count, 12345u + unsigned(count));
    model.zoom = zoom;
    QImage buffer(DrawingCanvas::AreaWidth, DrawingCanvas::AreaHeight, QImage::Format_RGB32);
    std::vector<double> times;
    for (int r = 0; r <= runs; ++r) {
        buffer.fill(Qt::white);
        const auto start = std::chrono::steady_clock::now();
        QPainter painter(&buffer);
        painter.setClipRect(buffer.rect());
        drawPlan(painter, model);
        painter.end();
        if (r > 0) times.push_back(msSince(start));
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// renderDrawing of the window's drawing page, whose drawing area shows the frame: the same
// frame as render_10k_ms, plus the hand-over to the drawing area.
Timing medianWindowRender(int count, int runs) {
    ScriptedDialogs dialogs;
    HelpViewer help(dialogs);
    QTemporaryDir folder;
    Tovmain window(dialogs, help, folder.path(), {});
    window.show();
    window.showPage(2);
    DrawingPage& page = window.drawingPage();
    page.model() = randomFloor(count, 12345u + unsigned(count));
    page.PaintBox1->repaint();
    QCoreApplication::processEvents();
    std::vector<double> wall, cpu;
    page.renderDrawing(); // warm up
    for (int r = 0; r < runs; ++r) {
        const double cpuStart = threadCpuMs();
        const auto start = std::chrono::steady_clock::now();
        page.renderDrawing();
        wall.push_back(msSince(start));
        cpu.push_back(threadCpuMs() - cpuStart);
        QCoreApplication::processEvents(); // the drawing area shows it, as between events
    }
    std::sort(wall.begin(), wall.end());
    std::sort(cpu.begin(), cpu.end());
    return {wall[wall.size() / 2], cpu[cpu.size() / 2]};
}

} // namespace

void benchRender() {
    report("render_1k_ms", medianRender(1000, 0.5, 21).wallMs, "ms");
    const Timing tenK = medianRender(10000, 0.5, 21);
    report("render_10k_ms", tenK.wallMs, "ms");
    report("render_10k_cpu_ms", tenK.cpuMs, "ms");
    const Timing hundredK = medianRender(100000, 0.5, 7);
    report("render_100k_ms", hundredK.wallMs, "ms");
    report("render_100k_cpu_ms", hundredK.cpuMs, "ms");
    // The same floor without its boxes, which hide most of its lines: every line shows.
    report("render_100k_lines_ms", medianRender(100000, 0.5, 7, false).wallMs, "ms");
    report("render_10k_zoom2_ms", medianRender(10000, 2.0, 11).wallMs, "ms");
    report("render_10k_painter_ms", medianPainterMs(10000, 0.5, 11), "ms");
    const Timing window = medianWindowRender(10000, 41);
    report("render_10k_window_ms", window.wallMs, "ms");
    report("render_10k_window_cpu_ms", window.cpuMs, "ms");

    // From nothing to the first frame on the screen: the main window is built (its
    // creation step prepares the canvas, connects to a demo store of 1 000 records and
    // opens the record set), shown, and its drawing area painted.
    QTemporaryDir folder;
    DemoOptions demo;
    demo.records = 1000;
    createDemo(QDir(folder.path()).filePath(QString::fromUtf8(kDatabaseFileName)), demo);
    ScriptedDialogs dialogs;
    HelpViewer help(dialogs);
    std::vector<double> times;
    for (int r = 0; r < 7; ++r) {
        const auto start = std::chrono::steady_clock::now();
        {
            Tovmain window(dialogs, help, folder.path(), {});
            window.show();
            window.drawingPage().PaintBox1->repaint();
            times.push_back(msSince(start));
        }
        QCoreApplication::processEvents();
    }
    std::sort(times.begin(), times.end());
    report("startup_first_frame_ms", times[times.size() / 2], "ms");
}

} // namespace tovera::bench
