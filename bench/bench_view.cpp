// tovera-bench view: the drawing view of the running window answering the user. A mouse
// press on the drawing area (zoom) and a press on a floor tab, each on floors of 10 000
// elements, timed from the press until the new frame is painted in the drawing area.

#include "app/page_drawing.h"
#include "app/tovmain.h"
#include "bench.h"
#include "platform/dialogs.h"
#include "widgets/controls.h"
#include "widgets/helpviewer.h"

#include <QApplication>
#include <QMouseEvent>
#include <QTabBar>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace tovera::bench {

namespace {

// Sends a press and a release of `button` at `at` to `target`, as the window system would.
void click(QWidget* target, Qt::MouseButton button, QPoint at) {
    const QPointF local(at);
    const QPointF global(target->mapToGlobal(at));
    QMouseEvent press(QEvent::MouseButtonPress, local, global, button, button, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, local, global, button, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(target, &release);
}

double median(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

struct ViewRun {
    QTemporaryDir folder;
    ScriptedDialogs dialogs;
    HelpViewer help{dialogs};
    Tovmain window{dialogs, help, folder.path(), {}};
    DrawingPage& page = window.drawingPage();

    // Three floors of `count` elements each, page 家屋図面 shown.
    explicit ViewRun(int count) {
        DrawingModel& model = page.model();
        for (int floor = 1; floor <= 3; ++floor) {
            DrawingModel one = randomFloor(count, 777u * unsigned(floor));
            LineList& lines = floor == 1   ? model.lines1F
                              : floor == 2 ? model.lines2F
                                           : model.lines3F;
            BoxList& boxes = floor == 1   ? model.boxes1F
                             : floor == 2 ? model.boxes2F
                                          : model.boxes3F;
            lines = std::move(one.lines1F);
            boxes = std::move(one.boxes1F);
        }
        window.show();
        window.showPage(2);
        page.PaintBox1->repaint();
        QCoreApplication::processEvents();
    }
};

} // namespace

void benchView() {
    ViewRun run(10000);
    PaintBox* area = run.page.PaintBox1;
    // Zoom: alternate in and out so that the zoom stays near the start value.
    std::vector<double> zoom;
    for (int r = 0; r < 41; ++r) {
        const auto start = std::chrono::steady_clock::now();
        click(area, r % 2 ? Qt::RightButton : Qt::LeftButton, QPoint(200, 150));
        area->repaint();
        if (r > 0) zoom.push_back(msSince(start));
        QCoreApplication::processEvents();
    }
    report("zoom_press_10k_ms", median(zoom), "ms");

    // Floor tabs: a press on the next tab; the tab control's repaint draws the floor.
    QTabBar* tabs = run.page.FlatTabControl1->tabBar();
    std::vector<double> floors;
    for (int r = 0; r < 31; ++r) {
        const int index = (r + 1) % 3;
        const auto start = std::chrono::steady_clock::now();
        click(tabs, Qt::LeftButton, tabs->tabRect(index).center());
        area->repaint();
        if (r > 0) floors.push_back(msSince(start));
        QCoreApplication::processEvents();
    }
    if (run.page.model().currentFloor != 31 % 3 + 1) std::fprintf(stderr, "floor not switched\n");
    report("floor_switch_10k_ms", median(floors), "ms");
}

} // namespace tovera::bench
