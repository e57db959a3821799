#include "app/dateface.h"

#include <QApplication>
#include <QDateTimeEdit>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPointer>
#include <QProxyStyle>
#include <QStyleOptionComboBox>

namespace tovera {

namespace {

// The platform style with a narrow drop-down button for the pickers.
class NarrowButtonStyle : public QProxyStyle {
public:
    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl sub,
                         const QWidget* widget) const override {
        if (control != CC_ComboBox || !option)
            return QProxyStyle::subControlRect(control, option, sub, widget);
        const QRect all = option->rect;
        const int button = DateFace::kButtonWidth;
        switch (sub) {
        case SC_ComboBoxArrow:
            return QRect(all.right() - button, all.top() + 1, button, all.height() - 2);
        case SC_ComboBoxEditField:
            return QRect(all.left() + 2, all.top() + 2, all.width() - button - 4, all.height() - 4);
        default:
            return QProxyStyle::subControlRect(control, option, sub, widget);
        }
    }
};

QStyle* pickerStyle() {
    static QPointer<QStyle> style;
    if (!style) {
        style = new NarrowButtonStyle;
        style->setParent(qApp);
    }
    return style;
}

// The text of the display format at its widest: every digit the widest one of `metrics`.
QString widestText(const QDateTimeEdit* edit, const QFontMetrics& metrics) {
    QChar widest = QLatin1Char('0');
    for (char c = '1'; c <= '9'; ++c)
        if (metrics.horizontalAdvance(QLatin1Char(c)) > metrics.horizontalAdvance(widest))
            widest = QLatin1Char(c);
    QString text =
        QDateTime(QDate(2000, 12, 28), QTime(23, 59, 59)).toString(edit->displayFormat());
    for (QChar& c : text)
        if (c.isDigit()) c = widest;
    return text;
}

} // namespace

DateFace::DateFace(QDateTimeEdit* edit)
    : QObject(edit), edit_(edit), face_(edit->findChild<QLineEdit*>()) {
    edit->setStyle(pickerStyle());
    edit->installEventFilter(this);
    if (face_) face_->installEventFilter(this);
    fit();
}

void DateFace::fit() {
    if (fitting_) return;
    fitting_ = true;
    const QFont base = edit_->parentWidget() ? edit_->parentWidget()->font() : QApplication::font();
    QStyleOptionComboBox option;
    option.initFrom(edit_);
    option.editable = true;
    option.frame = true;
    option.subControls = QStyle::SC_All;
    const QRect field = edit_->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                       QStyle::SC_ComboBoxEditField, edit_);
    const int room = field.width() - 5; // the text box's margins and its cursor
    const int largest = base.pixelSize() > 0 ? base.pixelSize() : QFontInfo(base).pixelSize();
    QFont chosen = base;
    bool found = false;
    for (int size = largest; size >= 9 && !found; --size)
        for (int stretch = 100; stretch >= 85 && !found; stretch -= 5) {
            chosen = base;
            chosen.setPixelSize(size);
            chosen.setStretch(stretch);
            const QFontMetrics metrics(chosen);
            found = metrics.horizontalAdvance(widestText(edit_, metrics)) <= room;
        }
    if (edit_->font() != chosen) edit_->setFont(chosen);
    fitting_ = false;
}

void DateFace::selectFieldAt(int x) {
    edit_->setFocus(Qt::MouseFocusReason);
    face_->setCursorPosition(face_->cursorPositionAt(QPoint(x, face_->height() / 2)));
    edit_->setSelectedSection(edit_->currentSection());
}

bool DateFace::eventFilter(QObject* watched, QEvent* event) {
    if (watched == edit_) {
        switch (event->type()) {
        case QEvent::Resize:
        case QEvent::Show:
        case QEvent::ParentChange:
            fit();
            break;
        default:
            break;
        }
        return false;
    }
    if (watched == face_ && (event->type() == QEvent::MouseButtonPress ||
                             event->type() == QEvent::MouseButtonDblClick)) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton && edit_->isEnabled() && !edit_->isReadOnly()) {
            selectFieldAt(int(mouse->position().x()));
            return true;
        }
    }
    return false;
}

} // namespace tovera
