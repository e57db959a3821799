#pragma once
// A DrawingHost that keeps what it is told: the texts of the five area boxes, the gauge,
// the message panel and the message boxes shown. Used by the command, the benchmarks and
// the tests; the window has its own host over its widgets.

#include "drawing/host.h"

#include <QStringList>
#include <array>
#include <functional>

namespace tovera {

class RecordingDrawingHost : public DrawingHost {
public:
    void setAreaBox(AreaBox box, const QString& text) override {
        areaBoxes[static_cast<size_t>(box)] = text;
    }
    void setGauge(int position) override { gauge = position; }
    void setMessagePanel(const QString& text) override { messagePanel = text; }
    void showMessage(const QString& text) override { messages << text; }
    void renderDrawing() override {
        ++renderCount;
        if (onRender) onRender();
    }

    QString areaBox(AreaBox box) const { return areaBoxes[static_cast<size_t>(box)]; }

    std::array<QString, 5> areaBoxes; // indexed by AreaBox
    int gauge = 0;
    QString messagePanel;
    QStringList messages;
    int renderCount = 0;
    std::function<void()> onRender; // e.g. the canvas's renderDrawing
};

} // namespace tovera
