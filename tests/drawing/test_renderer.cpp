#include "drawing/model.h"
#include "drawing/render_geom.h"
#include "drawing/render_plan.h"
#include "drawing/renderer.h"
#include "platform/errors.h"

#include <QBuffer>
#include <QFile>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <limits>
#include <random>

using namespace tovera;

namespace {

constexpr QRgb kWhite = 0xFFFFFFFF;
constexpr QRgb kGreen = 0xFF00FF00;
constexpr QRgb kYellow = 0xFFFFFF00;

// 0x00BBGGRR as the frame's pixel.
QRgb pixelOf(uint32_t bgr) {
    return qRgb(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF);
}

// Records what a frame is made of instead of drawing it.
struct RecordingSink : render::Sink {
    struct Part {
        char kind; // 'g' grid, 'l' line, 'b' box
        double a, b, c, d;
        uint32_t color;
    };
    std::vector<Part> parts;
    void gridLine(double x1, double y1, double x2, double y2, uint32_t color) override {
        parts.push_back({'g', x1, y1, x2, y2, color});
    }
    void line(double x1, double y1, double x2, double y2, uint32_t color) override {
        parts.push_back({'l', x1, y1, x2, y2, color});
    }
    void box(double l, double t, double r, double b, uint32_t color) override {
        parts.push_back({'b', l, t, r, b, color});
    }
    int count(bool vertical, uint32_t color) const {
        int n = 0;
        for (const Part& p : parts)
            if (p.kind == 'g' && p.color == color && (p.a == p.c) == vertical) ++n;
        return n;
    }
};

QImage frameOf(const DrawingModel& model, bool viaPainterOnly = false) {
    QImage image(DrawingCanvas::AreaWidth, DrawingCanvas::AreaHeight, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    // A clip over the whole picture keeps the direct writer out: QPainter alone draws.
    if (viaPainterOnly) painter.setClipRect(image.rect());
    drawPlan(painter, model);
    painter.end();
    return image;
}

DrawingModel emptyAt(double zoom) {
    DrawingModel model;
    model.zoom = zoom;
    return model;
}

// A Windows bitmap file of `width` x `height`: 24 bits per pixel, or 8 bits with a
// 256-entry palette. Pixel (x, y) has colour pattern(x, y).
QByteArray bitmapFile(int width, int height, int bits, QRgb (*pattern)(int, int)) {
    const int rowBytes = ((width * bits / 8) + 3) & ~3;
    const int paletteBytes = bits == 8 ? 256 * 4 : 0;
    const int offset = 14 + 40 + paletteBytes;
    QByteArray out;
    auto put16 = [&](int v) { out.append(char(v & 0xFF)).append(char((v >> 8) & 0xFF)); };
    auto put32 = [&](int v) { put16(v & 0xFFFF), put16((v >> 16) & 0xFFFF); };
    out.append("BM");
    put32(offset + rowBytes * height);
    put32(0);
    put32(offset);
    put32(40);
    put32(width);
    put32(height); // bottom-up rows
    put16(1);
    put16(bits);
    put32(0);
    put32(rowBytes * height);
    put32(2835);
    put32(2835);
    put32(bits == 8 ? 256 : 0);
    put32(0);
    if (bits == 8)
        for (int k = 0; k < 256; ++k) { // grey-blue ramp: index k is (k, k, 255 - k)
            out.append(char(255 - k)).append(char(k)).append(char(k)).append(char(0));
        }
    for (int y = height - 1; y >= 0; --y) {
        QByteArray row(rowBytes, '\0');
        for (int x = 0; x < width; ++x) {
            const QRgb c = pattern(x, y);
            if (bits == 8) {
                row[x] = char(qRed(c)); // the index whose palette entry is this colour
            } else {
                row[3 * x] = char(qBlue(c));
                row[3 * x + 1] = char(qGreen(c));
                row[3 * x + 2] = char(qRed(c));
            }
        }
        out.append(row);
    }
    return out;
}

QRgb colourPattern(int x, int y) {
    return qRgb((x * 7) & 0xFF, (y * 5) & 0xFF, 0x40);
}
QRgb rampPattern(int x, int y) {
    const int k = (x + y) & 0xFF;
    return qRgb(k, k, 255 - k);
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

TLine lineOf(int x1, int y1, int x2, int y2, uint32_t color, int layer = 1) {
    TLine l;
    l.x1 = x1, l.y1 = y1, l.x2 = x2, l.y2 = y2, l.color = color, l.layer = layer;
    return l;
}

} // namespace

class TestRenderer : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void startupFrame() {
        DrawingCanvas canvas;
        DrawingModel model;
        int presented = 0;
        QImage shown;
        canvas.present = [&](const QImage& frame) {
            ++presented;
            shown = frame;
        };
        canvas.prepareCanvas(model, QString());
        QCOMPARE(presented, 1);
        QCOMPARE(shown.size(), QSize(590, 410));
        QCOMPARE(canvas.backgroundBitmap.size(), QSize(590, 410));
        QCOMPARE(canvas.caption(), QStringLiteral("Tovera : "));
        // Green verticals at 5, 27, 50, 72, 95, yellow ones halfway, from y = 5 down.
        for (int x : {5, 27, 50, 72, 95, 117, 140}) {
            QCOMPARE(shown.pixel(x, 100), kGreen);
            QCOMPARE(shown.pixel(x, 5), kGreen);
            QCOMPARE(shown.pixel(x, 4), kWhite);
            QCOMPARE(shown.pixel(x, 409), kGreen);
        }
        for (int x : {16, 38, 61, 83, 106}) {
            QCOMPARE(shown.pixel(x, 100), kYellow);
            QCOMPARE(shown.pixel(x, 4), kWhite);
        }
        for (int x : {4, 6, 26, 28, 49, 51}) QCOMPARE(shown.pixel(x, 100), kWhite);
        // The horizontal lines fall on the same values of y and run from x = 5 to the edge.
        for (int y : {5, 27, 50, 72, 95}) {
            QCOMPARE(shown.pixel(100, y), kGreen);
            QCOMPARE(shown.pixel(589, y), kGreen);
            QCOMPARE(shown.pixel(4, y), kWhite);
        }
        for (int y : {16, 38, 61, 83, 106}) QCOMPARE(shown.pixel(100, y), kYellow);
        // Verticals are drawn after horizontals: a yellow column crosses a green row.
        QCOMPARE(shown.pixel(16, 27), kYellow);
        QCOMPARE(shown.pixel(0, 0), kWhite);
        // The written frame is 24-bit.
        QCOMPARE(canvas.frameRgb888().format(), QImage::Format_RGB888);
        QCOMPARE(canvas.frameRgb888().pixel(5, 100), kGreen);
    }

    void gridLoopCounts_data() {
        QTest::addColumn<double>("pitch");
        QTest::addColumn<double>("zoom");
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("columns");
        QTest::addColumn<double>("lastRow");
        QTest::addColumn<double>("lastColumn");
        QTest::newRow("start-up") << 45.0 << 0.5 << 37 << 47 << 815.0 << 1040.0;
        QTest::newRow("zoom 2") << 45.0 << 2.0 << 10 << 13 << 830.0 << 1100.0;
        QTest::newRow("pitch 1 still drawn") << 1.0 << 0.5 << 1593 << 2033 << 801.0 << 1021.0;
    }
    void gridLoopCounts() {
        QFETCH(double, pitch);
        QFETCH(double, zoom);
        QFETCH(int, rows);
        QFETCH(int, columns);
        QFETCH(double, lastRow);
        QFETCH(double, lastColumn);
        DrawingModel model = emptyAt(zoom);
        model.gridPitchX = model.gridPitchY = pitch;
        RecordingSink sink;
        render::emitGrid(sink, model);
        QCOMPARE(sink.count(false, render::kGridGreen), rows);
        QCOMPARE(sink.count(false, render::kGridYellow), rows);
        QCOMPARE(sink.count(true, render::kGridGreen), columns);
        QCOMPARE(sink.count(true, render::kGridYellow), columns);
        double maxRow = -1, maxColumn = -1;
        for (const auto& p : sink.parts) {
            if (p.color != render::kGridGreen) continue;
            if (p.a == p.c)
                maxColumn = std::max(maxColumn, p.a);
            else
                maxRow = std::max(maxRow, p.b);
        }
        QCOMPARE(maxRow, lastRow);
        QCOMPARE(maxColumn, lastColumn);
    }

    void gridGuards_data() {
        QTest::addColumn<double>("pitchX");
        QTest::addColumn<double>("pitchY");
        QTest::addColumn<double>("zoom");
        QTest::addColumn<bool>("rowsDrawn");
        QTest::addColumn<bool>("columnsDrawn");
        const double nan = std::numeric_limits<double>::quiet_NaN();
        const double inf = std::numeric_limits<double>::infinity();
        QTest::newRow("zero pitch") << 0.0 << 0.0 << 0.5 << false << false;
        QTest::newRow("negative pitch y") << 45.0 << -45.0 << 0.5 << false << true;
        QTest::newRow("nan pitch x") << nan << 45.0 << 0.5 << true << false;
        QTest::newRow("tiny pitch") << 1e-9 << 1e-300 << 0.5 << false << false;
        // k = 0 gives no position (0 times infinity); k = 1 lies far beyond the bound.
        QTest::newRow("infinite pitch") << inf << inf << 0.5 << true << true;
        QTest::newRow("zero zoom") << 45.0 << 45.0 << 0.0 << false << false;
        QTest::newRow("negative zoom") << 45.0 << 45.0 << -0.5 << false << false;
        QTest::newRow("nan zoom") << 45.0 << 45.0 << nan << false << false;
        QTest::newRow("huge zoom") << 45.0 << 45.0 << 1e300 << true << true;
        QTest::newRow("infinite zoom") << 45.0 << 45.0 << inf << false << false;
    }
    void gridGuards() {
        QFETCH(double, pitchX);
        QFETCH(double, pitchY);
        QFETCH(double, zoom);
        QFETCH(bool, rowsDrawn);
        QFETCH(bool, columnsDrawn);
        DrawingModel model = emptyAt(zoom);
        model.gridPitchX = pitchX;
        model.gridPitchY = pitchY;
        RecordingSink sink;
        render::emitGrid(sink, model);
        QCOMPARE(sink.count(false, render::kGridGreen) > 0, rowsDrawn);
        QCOMPARE(sink.count(true, render::kGridGreen) > 0, columnsDrawn);
        for (const auto& p : sink.parts)
            for (double v : {p.a, p.b, p.c, p.d}) QVERIFY(std::abs(v) <= render::kFarPixel);
        if (std::isinf(pitchX)) {
            // Nothing is drawn at x = 0 for the undefined first column.
            QCOMPARE(frameOf(model).pixel(0, 200), kWhite);
        }
        // The frame finishes either way, in both ways of drawing.
        model.lines1F.push_back(lineOf(0, 0, 100, 37, 0x0000FF));
        QCOMPARE(frameOf(model).size(), QSize(590, 410));
        QCOMPARE(frameOf(model, true).size(), QSize(590, 410));
    }

    void lineEndsTruncateTowardZero() {
        DrawingModel model;
        model.lines1F.push_back(lineOf(-3, 4, 9, 4, 0x0000FF));
        RecordingSink sink;
        render::emitFloor(sink, model);
        // Drawn once: layer 1 gets no second pass.
        QCOMPARE(sink.parts.size(), size_t(1));
        const auto& p = sink.parts[0];
        QCOMPARE(p.a, -1.0);
        QCOMPARE(p.b, 2.0);
        QCOMPARE(p.c, 4.0);
        QCOMPARE(p.d, 2.0);
        // A 2-pixel pen with square ends: one pixel past each end, rows 1 and 2.
        for (const QImage& frame : {frameOf(model), frameOf(model, true)}) {
            const QRgb red = pixelOf(0x0000FF);
            QCOMPARE(frame.pixel(0, 1), red);
            QCOMPARE(frame.pixel(0, 2), red);
            QCOMPARE(frame.pixel(4, 2), red);
            QCOMPARE(frame.pixel(4, 1), red);
            QCOMPARE(frame.pixel(5, 2), kWhite);
            QCOMPARE(frame.pixel(2, 3), kWhite);
            QCOMPARE(frame.pixel(2, 0), kWhite);
        }
    }

    void boxesHideEarlierLinesAndGrid() {
        DrawingModel model;
        model.lines1F.push_back(lineOf(0, 130, 400, 130, 0xFF0000));
        model.boxes1F.push_back(TBox{200, 160, 100, 100, 0x000080}); // corners in any order
        const QRgb outline = pixelOf(0x000080);
        for (const QImage& frame : {frameOf(model), frameOf(model, true)}) {
            // Corners (50, 50) and (100, 80): outline one pixel outside and one inside.
            for (int x : {49, 50, 99, 100}) QCOMPARE(frame.pixel(x, 65), outline);
            for (int y : {49, 50, 79, 80}) QCOMPARE(frame.pixel(75, y), outline);
            QCOMPARE(frame.pixel(48, 60), kWhite);
            QCOMPARE(frame.pixel(101, 60), kWhite);
            // Inside: the blue line (row 64/65) and the grid column x = 72 are hidden.
            QCOMPARE(frame.pixel(80, 65), kWhite);
            QCOMPARE(frame.pixel(72, 70), kWhite);
            QCOMPARE(frame.pixel(51, 51), kWhite);
            QCOMPARE(frame.pixel(98, 78), kWhite);
            // Outside the box the line still shows.
            QCOMPARE(frame.pixel(40, 65), pixelOf(0xFF0000));
            QCOMPARE(frame.pixel(72, 90), kGreen);
        }
    }

    void layerZeroDrawnAgainAbove() {
        DrawingModel model;
        model.currentFloor = 2;
        model.lines2F.push_back(lineOf(300, 200, 300, 400, 0x0000FF, 0)); // red, layer 0
        model.lines2F.push_back(lineOf(200, 300, 400, 300, 0xFF0000, 1)); // blue, later
        for (const QImage& frame : {frameOf(model), frameOf(model, true)}) {
            QCOMPARE(frame.pixel(150, 150), pixelOf(0x0000FF)); // the crossing
            QCOMPARE(frame.pixel(140, 150), pixelOf(0xFF0000));
        }
        model.lines2F[0].layer = 2; // without the second pass the later line is on top
        QCOMPARE(frameOf(model).pixel(150, 150), pixelOf(0xFF0000));
    }

    void floorSets_data() {
        QTest::addColumn<int>("floor");
        QTest::addColumn<bool>("extraShown");
        QTest::addColumn<bool>("floor2Shown");
        QTest::newRow("floor 1") << 1 << true << false;
        QTest::newRow("floor 2") << 2 << false << true;
        QTest::newRow("floor 3") << 3 << false << false;
        QTest::newRow("floor 0") << 0 << false << false;
        QTest::newRow("floor 4") << 4 << false << false;
    }
    void floorSets() {
        QFETCH(int, floor);
        QFETCH(bool, extraShown);
        QFETCH(bool, floor2Shown);
        DrawingModel model;
        model.currentFloor = floor;
        model.extraLines1F.push_back(lineOf(0, 400, 600, 400, 0x0000FF));
        model.lines2F.push_back(lineOf(0, 500, 600, 500, 0xFF0000));
        model.boxes3F.push_back(TBox{0, 600, 40, 640, 0x808080});
        const QImage frame = frameOf(model);
        QCOMPARE(frame.pixel(130, 200) == pixelOf(0x0000FF), extraShown);
        QCOMPARE(frame.pixel(130, 250) == pixelOf(0xFF0000), floor2Shown);
        QCOMPARE(frame.pixel(10, 300) == pixelOf(0x808080), floor == 3);
        QCOMPARE(frame.pixel(5, 100), kGreen); // the grid is drawn for every floor
        QCOMPARE(frame, frameOf(model, true));
    }

    // The direct writer and QPainter give the same pixels for the grid, horizontal and
    // vertical lines and boxes; slanted lines may differ only on the band's long edges.
    void directWriterMatchesPainter_data() {
        QTest::addColumn<int>("seed");
        QTest::addColumn<double>("zoom");
        QTest::addColumn<bool>("slanted");
        QTest::newRow("straight, zoom 0.5") << 1 << 0.5 << false;
        QTest::newRow("straight, zoom 2") << 2 << 2.0 << false;
        QTest::newRow("straight, zoom 0.3") << 3 << 0.3 << false;
        QTest::newRow("straight, far and negative") << 4 << 50.0 << false;
        QTest::newRow("slanted, zoom 0.5") << 5 << 0.5 << true;
        QTest::newRow("slanted, zoom 1.7") << 6 << 1.7 << true;
    }
    void directWriterMatchesPainter() {
        QFETCH(int, seed);
        QFETCH(double, zoom);
        QFETCH(bool, slanted);
        std::mt19937 rng(seed);
        std::uniform_int_distribution<int> pos(-200, 1400), len(-300, 300), pick(0, 9);
        DrawingModel model = emptyAt(zoom);
        model.gridOriginX = pos(rng) / 10;
        model.gridOriginY = pos(rng) / 10;
        model.gridPitchX = 20 + pick(rng) * 7.3;
        model.gridPitchY = 20 + pick(rng) * 5.1;
        for (int k = 0; k < 400; ++k) {
            const int x = pos(rng), y = pos(rng);
            const uint32_t color = uint32_t(rng()) & 0xFFFFFF;
            if (pick(rng) == 0) {
                model.boxes1F.push_back(TBox{x, y, x + len(rng) / 3, y + len(rng) / 3, color});
            } else {
                const int kind = pick(rng);
                const bool diagonal = slanted && kind >= 5;
                const int dx = len(rng), dy = len(rng);
                model.lines1F.push_back(lineOf(x, y, kind < 3 || diagonal ? x + dx : x,
                                               kind >= 3 || diagonal ? y + dy : y, color,
                                               pick(rng) < 3 ? 0 : 1));
            }
        }
        const QImage direct = frameOf(model);
        const QImage painted = frameOf(model, true);
        if (!slanted) {
            QCOMPARE(direct, painted);
            return;
        }
        // Each pixel that differs lies on a band edge of some slanted line: its centre is
        // within a small tolerance of distance 1 from that line.
        int differing = 0, total = 0;
        for (int y = 0; y < direct.height(); ++y)
            for (int x = 0; x < direct.width(); ++x) {
                if (direct.pixel(x, y) != kWhite) ++total;
                if (direct.pixel(x, y) == painted.pixel(x, y)) continue;
                ++differing;
                bool onEdge = false;
                for (const TLine& l : model.lines1F) {
                    const double ax = std::trunc(l.x1 * zoom), ay = std::trunc(l.y1 * zoom);
                    const double bx = std::trunc(l.x2 * zoom), by = std::trunc(l.y2 * zoom);
                    if (ax == bx || ay == by) continue;
                    const double length = std::hypot(bx - ax, by - ay);
                    const double s = std::abs(
                        ((x + 0.5 - ax) * (ay - by) + (y + 0.5 - ay) * (bx - ax)) / length);
                    if (std::abs(s - 1) < 0.05) onEdge = true;
                }
                QVERIFY2(onEdge, qPrintable(QStringLiteral("pixel %1,%2").arg(x).arg(y)));
            }
        QVERIFY(total > 10000);
        QVERIFY2(differing * 100 < total, qPrintable(QString::number(differing)));
    }

    void hugeCoordinatesStayInRange_data() {
        QTest::addColumn<double>("zoom");
        QTest::newRow("zoom 1") << 1.0;
        QTest::newRow("zoom 1e300") << 1e300;
        QTest::newRow("zoom inf") << std::numeric_limits<double>::infinity();
        QTest::newRow("zoom nan") << std::numeric_limits<double>::quiet_NaN();
        QTest::newRow("zoom -1") << -1.0;
    }
    void hugeCoordinatesStayInRange() {
        QFETCH(double, zoom);
        const int lo = std::numeric_limits<int32_t>::min(),
                  hi = std::numeric_limits<int32_t>::max();
        DrawingModel model = emptyAt(zoom);
        model.lines1F.push_back(lineOf(lo, 100, hi, 100, 0x0000FF, 0));
        model.lines1F.push_back(lineOf(lo, lo, hi, hi, 0xFF0000));
        model.lines1F.push_back(lineOf(hi, hi, hi, hi, 0x00FF00));
        model.boxes1F.push_back(TBox{lo, lo, hi, 300, 0x808080});
        model.boxes1F.push_back(TBox{hi, hi, hi, hi, 0x808080});
        RecordingSink sink;
        render::emitGrid(sink, model);
        render::emitFloor(sink, model);
        for (const auto& p : sink.parts)
            for (double v : {p.a, p.b, p.c, p.d}) {
                QVERIFY(std::isfinite(v));
                QVERIFY(std::abs(v) <= render::kFarPixel);
            }
        const QImage direct = frameOf(model);
        QCOMPARE(direct.size(), QSize(590, 410));
        if (zoom == 1.0) {
            // The far lines are cut along themselves: still where they cross the view.
            model.boxes1F.clear();
            const QImage frame = frameOf(model);
            QCOMPARE(frame.pixel(300, 100), pixelOf(0x0000FF));
            QCOMPARE(frame.pixel(300, 99), pixelOf(0x0000FF));
            QCOMPARE(frame.pixel(200, 200), pixelOf(0xFF0000));
            QCOMPARE(frameOf(model, true).pixel(200, 200), pixelOf(0xFF0000));
        }
    }

    void backgroundCutOrExtended_data() {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("bits");
        QTest::newRow("24-bit larger") << 800 << 600 << 24;
        QTest::newRow("24-bit smaller") << 100 << 50 << 24;
        QTest::newRow("8-bit larger") << 640 << 480 << 8;
        QTest::newRow("8-bit smaller") << 33 << 21 << 8;
        QTest::newRow("8-bit wide, short") << 900 << 20 << 8;
    }
    void backgroundCutOrExtended() {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, bits);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("背景.bmp"));
        const auto pattern = bits == 8 ? rampPattern : colourPattern;
        QVERIFY(writeFile(path, bitmapFile(width, height, bits, pattern)));
        DrawingCanvas canvas;
        DrawingModel model;
        model.lines1F.push_back(lineOf(1, 1, 2, 2, 0)); // floor 1 is emptied first
        canvas.prepareCanvas(model, path);
        QVERIFY(model.lines1F.empty());
        QCOMPARE(canvas.backgroundFile, path);
        QCOMPARE(canvas.caption(), QStringLiteral("Tovera : ") + path);
        const QImage& bg = canvas.backgroundBitmap;
        QCOMPARE(bg.size(), QSize(590, 410));
        QCOMPARE(canvas.drawBuffer.size(), QSize(590, 410));
        for (int y : {0, 1, 19, 20, 49, 50, 409})
            for (int x : {0, 1, 32, 33, 99, 100, 589}) {
                const QRgb expected = x < width && y < height ? pattern(x, y) : kWhite;
                QCOMPARE(bg.pixel(x, y), expected);
            }
        // The frame shows the background where the grid does not cover it.
        QCOMPARE(canvas.drawBuffer.pixel(1, 1), bg.pixel(1, 1));
        QCOMPARE(canvas.drawBuffer.pixel(589, 409), bg.pixel(589, 409));
        // Zooming changes the grid, never the background.
        model.zoom = 2;
        canvas.renderDrawing(model);
        QCOMPARE(canvas.drawBuffer.pixel(3, 3), bg.pixel(3, 3));
    }

    void notABitmap_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("text") << QByteArray("$headerpas\r\n10\r\n");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("bitmap signature, cut short") << QByteArray("BM\x36\0\0\0\0\0", 8);
        QImage png(4, 4, QImage::Format_RGB32);
        png.fill(Qt::red);
        QByteArray pngBytes;
        {
            QBuffer buffer(&pngBytes);
            buffer.open(QIODevice::WriteOnly);
            png.save(&buffer, "PNG");
        }
        QTest::newRow("a PNG picture") << pngBytes;
        // A bitmap header claiming 60000 x 60000 pixels over a few bytes of data.
        QByteArray huge = bitmapFile(1, 1, 24, colourPattern);
        for (int at : {18, 22}) {
            huge[at] = char(0x60), huge[at + 1] = char(0xEA), huge[at + 2] = 0, huge[at + 3] = 0;
        }
        QTest::newRow("absurd size") << huge;
    }
    void notABitmap() {
        QFETCH(QByteArray, bytes);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("x.bmp"));
        QVERIFY(writeFile(path, bytes));
        DrawingCanvas canvas;
        DrawingModel model;
        bool shown = false;
        canvas.present = [&](const QImage&) { shown = true; };
        try {
            canvas.prepareCanvas(model, path);
            QFAIL("no error raised");
        } catch (const EInvalidGraphic& e) {
            QCOMPARE(e.message(), QStringLiteral("ビットマップイメージが不正です"));
        }
        QVERIFY(canvas.backgroundBitmap.isNull());
        QVERIFY(canvas.drawBuffer.isNull());
        QVERIFY(canvas.backgroundFile.isEmpty());
        QVERIFY(!shown);
    }

    void missingFileGivesWhite() {
        DrawingCanvas canvas;
        DrawingModel model;
        canvas.prepareCanvas(model, QStringLiteral("/no/such/folder/bg.bmp"));
        QVERIFY(canvas.backgroundFile.isEmpty());
        QCOMPARE(canvas.backgroundBitmap.pixel(589, 409), kWhite);
        QCOMPARE(canvas.caption(), QStringLiteral("Tovera : "));
    }

    void bufferReusedFromFrameToFrame() {
        DrawingCanvas canvas;
        DrawingModel model;
        canvas.prepareCanvas(model, QString());
        const uchar* first = canvas.drawBuffer.constBits();
        model.lines1F.push_back(lineOf(0, 0, 500, 500, 0x0000FF));
        canvas.renderDrawing(model);
        QCOMPARE(canvas.drawBuffer.constBits(), first);
        // Every frame starts from the background: the line is gone once removed.
        model.lines1F.clear();
        canvas.renderDrawing(model);
        QCOMPARE(canvas.drawBuffer.pixel(100, 100), kWhite);
    }
};

QTEST_MAIN(TestRenderer)
#include "test_renderer.moc"
