// The covering writer (parts taken from the last to the first, each pixel written once)
// must leave exactly the picture that drawing every part in order leaves.

#include "drawing/model.h"
#include "drawing/render_fast.h"
#include "drawing/renderer.h"

#include <QPainter>
#include <QTest>
#include <limits>
#include <random>

using namespace tovera;

namespace {

// A background that no part draws, so that a pixel wrongly left or wrongly written shows.
QImage patterned(QSize size) {
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, qRgb((x * 7) & 0xFF, (y * 5) & 0xFF, 0x41));
    return image;
}

QImage drawn(const QImage& background, const DrawingModel& model, bool inOrder) {
    QImage image = background.copy();
    QPainter painter(&image);
    if (inOrder)
        render::drawPlanInOrder(painter, model);
    else
        drawPlan(painter, model);
    painter.end();
    return image;
}

void addLines(LineList& lines, std::mt19937& rng, int count, int reach) {
    std::uniform_int_distribution<int> pos(-reach / 4, reach), len(-reach / 3, reach / 3),
        pick(0, 9);
    const uint32_t palette[] = {0x000000, 0x0000FF, 0xFF0000, 0x00FF00, 0xFFFFFF, 0x808080};
    for (int k = 0; k < count; ++k) {
        TLine l;
        l.x1 = pos(rng);
        l.y1 = pos(rng);
        const int kind = pick(rng);
        l.x2 = kind == 9 ? l.x1 : l.x1 + (kind < 7 ? len(rng) : 0);
        l.y2 = kind == 9 ? l.y1 : l.y1 + (kind >= 3 && kind < 9 ? len(rng) : 0);
        l.color = palette[pick(rng) % 6];
        l.layer = pick(rng) < 3 ? 0 : 1 + pick(rng);
        lines.push_back(l);
    }
}

void addBoxes(BoxList& boxes, std::mt19937& rng, int count, int reach) {
    std::uniform_int_distribution<int> pos(-reach / 4, reach), side(-reach / 6, reach / 6);
    for (int k = 0; k < count; ++k) {
        const int x = pos(rng), y = pos(rng);
        boxes.push_back(TBox{x, y, x + side(rng), y + side(rng), uint32_t(rng()) & 0xFFFFFF});
    }
}

} // namespace

class TestRenderCover : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void sameAsInOrder_data() {
        QTest::addColumn<int>("seed");
        QTest::addColumn<int>("floor");
        QTest::addColumn<double>("zoom");
        QTest::addColumn<int>("elements");
        QTest::addColumn<QSize>("size");
        const QSize area(DrawingCanvas::AreaWidth, DrawingCanvas::AreaHeight);
        QTest::newRow("sparse floor 1") << 1 << 1 << 0.5 << 60 << area;
        QTest::newRow("dense floor 1, boxes hide nearly all") << 2 << 1 << 0.5 << 6000 << area;
        QTest::newRow("dense floor 2, zoom 1.7") << 3 << 2 << 1.7 << 3000 << area;
        QTest::newRow("floor 3, zoom 0.3") << 4 << 3 << 0.3 << 2000 << area;
        QTest::newRow("odd picture size") << 5 << 1 << 0.5 << 1500 << QSize(131, 77);
        QTest::newRow("picture a multiple of 64 wide") << 6 << 1 << 1.0 << 1500 << QSize(128, 64);
        QTest::newRow("floor 4 shows the grid only") << 7 << 4 << 0.5 << 500 << area;
        QTest::newRow("lines cut far away") << 8 << 1 << 3.0 << 800 << area;
    }
    void sameAsInOrder() {
        QFETCH(int, seed);
        QFETCH(int, floor);
        QFETCH(double, zoom);
        QFETCH(int, elements);
        QFETCH(QSize, size);
        std::mt19937 rng{unsigned(seed)};
        const int reach = int(1300 / zoom);
        DrawingModel model;
        model.zoom = zoom;
        model.currentFloor = floor;
        model.gridOriginX = int(rng() % 40) - 10;
        model.gridOriginY = int(rng() % 40) - 10;
        model.gridPitchX = 17.5 + double(rng() % 40);
        model.gridPitchY = 13.25 + double(rng() % 40);
        for (LineList* lines : {&model.lines1F, &model.lines2F, &model.lines3F})
            addLines(*lines, rng, elements * 8 / 10, reach);
        addLines(model.extraLines1F, rng, elements / 10, reach);
        for (BoxList* boxes : {&model.boxes1F, &model.boxes2F, &model.boxes3F})
            addBoxes(*boxes, rng, elements / 10, reach);
        if (seed == 8) {
            // Ends far outside: the segments are cut along themselves, some of them to
            // pixels that are not whole, which only the painter draws.
            const int lo = std::numeric_limits<int32_t>::min(),
                      hi = std::numeric_limits<int32_t>::max();
            model.lines1F.push_back(TLine{lo, 40, hi, 40, 0x0000FF, 0, {}});
            model.lines1F.push_back(TLine{lo, lo + 7, hi, hi - 3, 0xFF0000, 1, {}});
            model.lines1F.push_back(TLine{-123456789, 50, 20, 50, 0x00FF00, 1, {}});
            model.lines1F.push_back(TLine{30, -98765432, 30, 60, 0x00FF00, 0, {}});
        }
        const QImage background = patterned(size);
        const QImage inOrder = drawn(background, model, true);
        const QImage covering = drawn(background, model, false);
        QVERIFY(inOrder != background);
        QCOMPARE(covering, inOrder);
    }
};

QTEST_MAIN(TestRenderCover)
#include "test_render_cover.moc"
