#pragma once
// The status bar of the main window: panels of fixed width side by side, numbered from 0 at
// the left, with a progress gauge (0 to 100) centred in one of them.

#include <QWidget>
#include <vector>

class QLabel;
class QProgressBar;

namespace tovera {

class GaugeStatusBar : public QWidget {
    Q_OBJECT
public:
    static constexpr int BarHeight = 24;

    // `widths` in pixels, one per panel; the gauge sits in panel `gaugePanel`.
    GaugeStatusBar(const std::vector<int>& widths, int gaugePanel, QWidget* parent = nullptr);

    int panelCount() const { return static_cast<int>(panels_.size()); }
    // Text of a panel; setting the gauge panel's text or an unknown panel does nothing.
    void setPanelText(int panel, const QString& text);
    QString panelText(int panel) const;
    // The panel's rectangle in this widget's coordinates.
    QRect panelRect(int panel) const;
    // Gauge position, clamped to 0..100.
    void setGauge(int position);
    int gauge() const;
    QProgressBar* gaugeWidget() const { return gauge_; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void place();
    std::vector<QLabel*> panels_;
    std::vector<int> widths_;
    int gaugePanel_;
    QProgressBar* gauge_;
};

} // namespace tovera
