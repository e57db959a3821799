#include "widgets/statusbar.h"

#include <QLabel>
#include <QProgressBar>
#include <algorithm>

namespace tovera {

namespace {
constexpr int GaugeWidth = 90; // inside the 100 px panel, leaving a border each side
constexpr int GaugeHeight = 14;
constexpr int PanelGap = 2;
} // namespace

GaugeStatusBar::GaugeStatusBar(const std::vector<int>& widths, int gaugePanel, QWidget* parent)
    : QWidget(parent), widths_(widths), gaugePanel_(gaugePanel), gauge_(new QProgressBar(this)) {
    setFixedHeight(BarHeight);
    for (size_t i = 0; i < widths_.size(); ++i) {
        auto* label = new QLabel(this);
        label->setObjectName(QStringLiteral("panel%1").arg(i));
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setTextFormat(Qt::PlainText);
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        panels_.push_back(label);
    }
    gauge_->setObjectName(QStringLiteral("gauge"));
    gauge_->setRange(0, 100);
    gauge_->setValue(0);
    gauge_->setTextVisible(false);
    gauge_->raise();
    place();
}

void GaugeStatusBar::setPanelText(int panel, const QString& text) {
    if (panel < 0 || panel >= panelCount() || panel == gaugePanel_) return;
    panels_[static_cast<size_t>(panel)]->setText(text);
}

QString GaugeStatusBar::panelText(int panel) const {
    if (panel < 0 || panel >= panelCount()) return QString();
    return panels_[static_cast<size_t>(panel)]->text();
}

QRect GaugeStatusBar::panelRect(int panel) const {
    if (panel < 0 || panel >= panelCount()) return QRect();
    return panels_[static_cast<size_t>(panel)]->geometry();
}

void GaugeStatusBar::setGauge(int position) {
    gauge_->setValue(std::clamp(position, 0, 100));
}

int GaugeStatusBar::gauge() const {
    return gauge_->value();
}

void GaugeStatusBar::resizeEvent(QResizeEvent*) {
    place();
}

void GaugeStatusBar::place() {
    int x = 0;
    for (size_t i = 0; i < panels_.size(); ++i) {
        // The last panel takes what is left of the width, but never less than its own.
        int w = widths_[i];
        if (i + 1 == panels_.size()) w = std::max(w, width() - x);
        panels_[i]->setGeometry(x, 2, w, BarHeight - 2);
        x += w + PanelGap;
    }
    if (gaugePanel_ >= 0 && gaugePanel_ < panelCount()) {
        const QRect r = panels_[static_cast<size_t>(gaugePanel_)]->geometry();
        const int w = std::min(GaugeWidth, r.width() - 4);
        const int h = std::min(GaugeHeight, r.height() - 4);
        gauge_->setGeometry(r.x() + (r.width() - w) / 2, r.y() + (r.height() - h) / 2, w, h);
    }
}

} // namespace tovera
