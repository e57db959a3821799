#include "widgets/controls.h"

#include <QEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTabBar>

namespace tovera {

// ---- CheckLabel

CheckLabel::CheckLabel(const QString& caption, QWidget* parent)
    : QWidget(parent), caption_(caption) {
    setFocusPolicy(Qt::NoFocus);
}

void CheckLabel::setChecked(bool checked) {
    if (checked_ == checked) return;
    checked_ = checked;
    update();
}

QSize CheckLabel::sizeHint() const {
    return QSize(fontMetrics().horizontalAdvance(caption_) + 24, 17);
}

void CheckLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QStyleOptionButton option;
    option.initFrom(this);
    option.state |= checked_ ? QStyle::State_On : QStyle::State_Off;
    const int box = style()->pixelMetric(QStyle::PM_IndicatorWidth, &option, this);
    option.rect = QRect(0, (height() - box) / 2, box, box);
    style()->drawPrimitive(QStyle::PE_IndicatorCheckBox, &option, &painter, this);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(rect().adjusted(box + 4, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, caption_);
}

void CheckLabel::mouseReleaseEvent(QMouseEvent* event) {
    Q_EMIT mouseReleased(event->button());
}

// ---- FlatEdit

FlatEdit::FlatEdit(QWidget* parent) : QLineEdit(parent) {
    setFrame(false);
    setStyleSheet(
        QStringLiteral("tovera--FlatEdit { border: 1px solid #808080; padding: 0 2px; }"));
}

// ---- PaintBox

PaintBox::PaintBox(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PaintBox::setFrame(const QImage& frame) {
    frame_ = frame;
    if (!painting_) update();
}

void PaintBox::paintEvent(QPaintEvent*) {
    painting_ = true;
    // Whatever happens in the handlers, the flag must not stay set.
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{painting_};
    Q_EMIT paint();
    QPainter painter(this);
    if (frame_.isNull())
        painter.fillRect(rect(), palette().color(QPalette::Window));
    else
        painter.drawImage(0, 0, frame_);
}

void PaintBox::mousePressEvent(QMouseEvent* event) {
    Q_EMIT mousePressed(event->button());
}

// ---- FlatTabControl

FlatTabControl::FlatTabControl(QWidget* parent) : QWidget(parent), tabs_(new QTabBar(this)) {
    tabs_->setShape(QTabBar::RoundedSouth);
    tabs_->setDrawBase(false);
    tabs_->setExpanding(false);
    tabs_->setFocusPolicy(Qt::NoFocus);
    tabs_->installEventFilter(this);
    setTabSpacing(5);
    place();
}

int FlatTabControl::addTab(const QString& caption) {
    const int index = tabs_->addTab(caption);
    place();
    return index;
}

int FlatTabControl::tabCount() const {
    return tabs_->count();
}
int FlatTabControl::currentIndex() const {
    return tabs_->currentIndex();
}
void FlatTabControl::setCurrentIndex(int index) {
    tabs_->setCurrentIndex(index);
}

void FlatTabControl::setTabSpacing(int pixels) {
    tabs_->setStyleSheet(
        QStringLiteral("QTabBar::tab { margin-right: %1px; padding: 2px 12px; "
                       "border: 1px solid #808080; border-top: none; background: #d8d8d8; }"
                       "QTabBar::tab:selected { background: #ffffff; }")
            .arg(pixels));
}

bool FlatTabControl::eventFilter(QObject* watched, QEvent* event) {
    if (watched == tabs_ && event->type() == QEvent::MouseButtonPress) {
        const auto* me = static_cast<QMouseEvent*>(event);
        const int before = tabs_->currentIndex();
        const int hit = tabs_->tabAt(me->position().toPoint());
        if (hit >= 0 && hit != before && me->button() == Qt::LeftButton) {
            tabs_->setCurrentIndex(hit);
            // Repaint the content area (and whatever lies on it) after the handlers.
            update();
            for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
                if (child != tabs_) child->update();
        }
        Q_EMIT mousePressed(me->button());
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void FlatTabControl::mousePressEvent(QMouseEvent* event) {
    Q_EMIT mousePressed(event->button());
}

void FlatTabControl::resizeEvent(QResizeEvent*) {
    place();
}

void FlatTabControl::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const int bottom = tabs_->y();
    painter.fillRect(QRect(0, 0, width(), bottom), palette().color(QPalette::Window));
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(QRect(0, 0, width() - 1, bottom));
}

void FlatTabControl::place() {
    const QSize hint = tabs_->sizeHint();
    tabs_->setGeometry(2, height() - hint.height(), std::min(hint.width(), width() - 4),
                       hint.height());
}

} // namespace tovera
