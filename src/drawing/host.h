#pragma once
// What the drawing readers and view operations report to: the five area boxes, the
// status bar's gauge and message panels, message boxes, and the redraw. The main window
// implements it over its widgets; the command implements it by recording.

#include <QString>

namespace tovera {

enum class AreaBox { F1, F2, F3, Total, Ken }; // FlatEdit1, 2, 3, 5, 4

class DrawingHost {
public:
    virtual ~DrawingHost() = default;
    virtual void setAreaBox(AreaBox box, const QString& text) = 0;
    // Gauge panel position, 0 to 100.
    virtual void setGauge(int position) = 0;
    virtual void setMessagePanel(const QString& text) = 0;
    // A modal message box titled "Tovera" with an OK button.
    virtual void showMessage(const QString& text) = 0;
    // Composes one full frame from the model and shows it (renderDrawing).
    virtual void renderDrawing() = 0;
};

} // namespace tovera
