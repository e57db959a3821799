#include "widgets/navigator.h"

#include "widgets/hints.h"

#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QToolButton>

namespace tovera {

namespace {

constexpr int kCaptionWidth = 75;
constexpr int kRowHeight = 20;

const char* const kHints[RecordNavigator::kButtonCount] = {
    "First record",  "Prior record", "Next record", "Last record", "Insert record",
    "Delete record", "Edit record",  "Post edit",   "Cancel edit", "Refresh data"};

// A small glyph drawn in 16 × 16 units, scaled to the button.
QIcon glyph(RecordNavigator::Button which) {
    QPixmap pm(32, 32);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(2, 2);
    const QColor ink(0, 0, 0);
    p.setPen(QPen(ink, 1.6));
    p.setBrush(ink);
    auto triangle = [&](double tipX, bool left) {
        const double back = left ? tipX + 5 : tipX - 5;
        const QPointF pts[3] = {{tipX, 8}, {back, 3.5}, {back, 12.5}};
        p.drawPolygon(pts, 3);
    };
    switch (which) {
    case RecordNavigator::First:
        p.drawLine(QPointF(4.5, 3.5), QPointF(4.5, 12.5));
        triangle(6, true);
        break;
    case RecordNavigator::Prior:
        triangle(5.5, true);
        break;
    case RecordNavigator::Next:
        triangle(10.5, false);
        break;
    case RecordNavigator::Last:
        p.drawLine(QPointF(11.5, 3.5), QPointF(11.5, 12.5));
        triangle(10, false);
        break;
    case RecordNavigator::Insert:
        p.drawLine(QPointF(3, 8), QPointF(13, 8));
        p.drawLine(QPointF(8, 3), QPointF(8, 13));
        break;
    case RecordNavigator::Delete:
        p.drawLine(QPointF(3, 8), QPointF(13, 8));
        break;
    case RecordNavigator::Edit: {
        const QPointF pts[3] = {{8, 4}, {3, 12}, {13, 12}};
        p.drawPolygon(pts, 3);
        break;
    }
    case RecordNavigator::Post:
        p.setBrush(Qt::NoBrush);
        p.drawPolyline(QPolygonF({{3, 8.5}, {6.5, 12}, {13, 4}}));
        break;
    case RecordNavigator::Cancel:
        p.drawLine(QPointF(4, 4), QPointF(12, 12));
        p.drawLine(QPointF(12, 4), QPointF(4, 12));
        break;
    case RecordNavigator::Refresh: {
        p.setBrush(Qt::NoBrush);
        QPainterPath arc;
        arc.arcMoveTo(QRectF(3, 3, 10, 10), 60);
        arc.arcTo(QRectF(3, 3, 10, 10), 60, 270);
        p.drawPath(arc);
        p.setBrush(ink);
        const QPointF pts[3] = {{10.5, 1.5}, {13.5, 5.5}, {8.5, 6}};
        p.drawPolygon(pts, 3);
        break;
    }
    }
    return QIcon(pm);
}

} // namespace

RecordNavigator::RecordNavigator(QWidget* parent) : QWidget(parent) {
    static const char* const captions[kRowCount] = {"所有者コード", "氏名"};
    for (int r = 0; r < kRowCount; ++r) {
        captions_[r] = new QLabel(QString::fromUtf8(captions[r]), this);
        captions_[r]->setIndent(3);
        edits_[r] = new QLineEdit(this);
        edits_[r]->setFrame(false);
    }
    for (int b = 0; b < kButtonCount; ++b) {
        auto* button = new QToolButton(this);
        button->setAutoRaise(false);
        button->setIcon(glyph(Button(b)));
        button->setEnabled(false);
        setHint(button, QString::fromUtf8(kHints[b]), true);
        connect(button, &QToolButton::clicked, this,
                [this, b] { Q_EMIT buttonClicked(Button(b)); });
        buttons_[b] = button;
    }
    place();
}

QString RecordNavigator::buttonHint(Button which) {
    return QString::fromUtf8(kHints[which]);
}

void RecordNavigator::setButtonSize(int pixels) {
    buttonSize_ = std::max(1, pixels);
    place();
}

void RecordNavigator::setButtonEnabled(Button which, bool enabled) {
    buttons_[which]->setEnabled(enabled);
}

void RecordNavigator::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    place();
}

void RecordNavigator::place() {
    for (int r = 0; r < kRowCount; ++r) {
        captions_[r]->setGeometry(1, 1 + r * kRowHeight, kCaptionWidth - 1, kRowHeight - 1);
        edits_[r]->setGeometry(kCaptionWidth + 1, 1 + r * kRowHeight,
                               std::max(0, width() - kCaptionWidth - 2), kRowHeight - 1);
    }
    const int top = kRowCount * kRowHeight + 3;
    for (int b = 0; b < kButtonCount; ++b) {
        buttons_[b]->setGeometry(2 + b * (buttonSize_ + 3), top, buttonSize_, buttonSize_);
        buttons_[b]->setIconSize(QSize(buttonSize_ - 4, buttonSize_ - 4));
    }
}

void RecordNavigator::paintEvent(QPaintEvent*) {
    // The grid lines of the two rows and the caption column.
    QPainter p(this);
    p.setPen(palette().color(QPalette::Mid));
    const int bottom = kRowCount * kRowHeight;
    p.drawRect(0, 0, width() - 1, bottom);
    for (int r = 1; r < kRowCount; ++r) p.drawLine(0, r * kRowHeight, width() - 1, r * kRowHeight);
    p.drawLine(kCaptionWidth, 0, kCaptionWidth, bottom);
}

} // namespace tovera
