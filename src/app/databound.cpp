#include "app/databound.h"

#include "app/application.h"
#include "app/dateface.h"
#include "platform/dialogs.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTimer>

namespace tovera {

void reportError(Dialogs& dialogs, const std::exception& error) {
    showStandardError(dialogs, error);
}

FieldBinding::FieldBinding(QWidget* control, RecordSet& records, const QString& column,
                           Dialogs& dialogs, bool writeAtOnce, QObject* parent)
    : QObject(parent), control_(control), records_(records), recordsAlive_(&records),
      column_(column), dialogs_(dialogs), writeAtOnce_(writeAtOnce) {
    line_ = qobject_cast<QLineEdit*>(control);
    combo_ = qobject_cast<QComboBox*>(control);
    memo_ = qobject_cast<QPlainTextEdit*>(control);
    if (combo_ && combo_->isEditable()) line_ = combo_->lineEdit();
    if (combo_) {
        list_ = combo_->view(); // made before any filter is in place
        list_->installEventFilter(this);
    }
    control->installEventFilter(this);
    if (line_) {
        line_->installEventFilter(this);
        connect(line_, &QLineEdit::textEdited, this, &FieldBinding::userChanged);
    }
    if (combo_) connect(combo_, &QComboBox::activated, this, &FieldBinding::picked);
    if (memo_) {
        memo_->viewport()->installEventFilter(this);
        connect(memo_, &QPlainTextEdit::textChanged, this, &FieldBinding::userChanged);
    }
    records_.addLink(this);
    connect(&records_, &RecordSet::dataChanged, this, &FieldBinding::reset);
    connect(&records_, &RecordSet::fieldChanged, this, [this](const QString& c) {
        if (c == column_) reset();
    });
    reset();
}

FieldBinding::~FieldBinding() {
    if (recordsAlive_) records_.removeLink(this);
}

QString FieldBinding::shownText() const {
    if (!control_) return QString();
    if (memo_) return memo_->toPlainText();
    if (line_) return line_->text();
    if (combo_) return combo_->currentText();
    return QString();
}

void FieldBinding::setShownText(const QString& text) {
    if (!control_) return;
    const bool was = loading_;
    loading_ = true;
    if (memo_) {
        memo_->setPlainText(QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    } else {
        // The list opens on the entry of the value shown (none for a free text).
        if (combo_) combo_->setCurrentIndex(combo_->findText(text));
        // A box shows the beginning of a new text; a box being typed in keeps its place.
        if (line_ && (line_->text() != text || !line_->hasFocus())) {
            line_->setText(text);
            line_->setCursorPosition(0);
        }
    }
    loading_ = was;
}

void FieldBinding::reset() {
    if (!recordsAlive_) return;
    setShownText(records_.isOpen() ? records_.text(column_) : QString());
    modified_ = false;
}

void FieldBinding::setModifiedText(const QString& text) {
    setShownText(text);
    modified_ = true;
}

void FieldBinding::updateRecord() {
    if (!modified_ || !control_ || !recordsAlive_) return;
    QString text = shownText();
    if (memo_) text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    records_.setValue(column_, text);
    modified_ = false;
}

void FieldBinding::userChanged() {
    if (loading_ || !recordsAlive_) return;
    if (records_.state() == RecordSet::State::Closed) {
        // Nothing to edit: the key is refused.
        dialogs_.beep();
        reset();
        return;
    }
    const QString typed = shownText();
    // Typing starts an edit also in a box already marked changed (a copy or a refused
    // leave in browse mode).
    if (records_.state() == RecordSet::State::Browsing) {
        try {
            records_.edit(); // may start an insertion, which shows an empty record
        } catch (const std::exception& e) {
            reset();
            reportError(dialogs_, e);
            return;
        }
        if (shownText() != typed) setShownText(typed);
    }
    modified_ = true;
}

void FieldBinding::picked() {
    // Choosing the entry the record holds changes nothing.
    if (!modified_ && recordsAlive_ && records_.isOpen() && shownText() == records_.text(column_))
        return;
    userChanged();
    if (!writeAtOnce_ || !modified_) return;
    try {
        updateRecord();
    } catch (const std::exception& e) {
        reportError(dialogs_, e);
    }
}

void FieldBinding::leave() {
    if (!modified_) return;
    try {
        updateRecord();
    } catch (const std::exception& e) {
        reportError(dialogs_, e);
        // The box keeps the focus with its text selected.
        QTimer::singleShot(0, control_, [this, self = QPointer<FieldBinding>(this)] {
            if (!self || !control_) return;
            control_->setFocus(Qt::OtherFocusReason);
            if (line_) line_->selectAll();
            if (memo_) memo_->selectAll();
        });
    }
}

bool FieldBinding::eventFilter(QObject* watched, QEvent* event) {
    if (list_ && watched == list_) {
        // The list opens on the entry of the text shown, also of a text just typed.
        if (event->type() == QEvent::Show) {
            const QModelIndex at =
                combo_->model()->index(combo_->findText(shownText()), combo_->modelColumn());
            list_->setCurrentIndex(at);
            if (at.isValid()) list_->scrollTo(at, QAbstractItemView::PositionAtCenter);
        }
        return QObject::eventFilter(watched, event);
    }
    switch (event->type()) {
    case QEvent::FocusOut: {
        const auto* f = static_cast<QFocusEvent*>(event);
        // A list dropping down or a menu opening does not leave the box.
        if (f->reason() != Qt::PopupFocusReason && f->reason() != Qt::ActiveWindowFocusReason &&
            (watched == line_ || watched == memo_ || (watched == combo_ && !line_)))
            leave();
        break;
    }
    case QEvent::KeyPress:
        if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape && modified_) {
            reset();
            if (line_) line_->selectAll();
            return true;
        }
        break;
    case QEvent::MouseButtonDblClick:
        Q_EMIT doubleClicked();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

// ---- Date picker

namespace {
const QDate kEmptyFace(1800, 1, 1);
}

DatePicker::DatePicker(QWidget* parent)
    : QWidget(parent), check_(new QCheckBox(this)), edit_(new QDateEdit(this)) {
    edit_->setCalendarPopup(true);
    edit_->setDisplayFormat(QStringLiteral("yyyy'年'M'月'd'日'"));
    edit_->setMinimumDate(kEmptyFace);
    edit_->setSpecialValueText(QStringLiteral(" "));
    edit_->setDate(kEmptyFace);
    new DateFace(edit_);
    edit_->installEventFilter(this); // after the face's own filters, so it runs first
    connect(edit_, &QDateEdit::dateChanged, this, [this](const QDate& d) {
        if (loading_ || d == kEmptyFace) return;
        provisional_ = false;
        check_->setChecked(true);
        Q_EMIT datePicked(d);
    });
}

void DatePicker::showDate(const QDate& date) {
    provisional_ = false;
    loading_ = true;
    const bool valid = date.isValid() && date > kEmptyFace;
    check_->setChecked(valid);
    edit_->setDate(valid ? date : kEmptyFace);
    loading_ = false;
}

QDate DatePicker::date() const {
    return edit_->date() == kEmptyFace ? QDate() : edit_->date();
}

void DatePicker::pick(const QDate& date) {
    edit_->setDate(date);
}

bool DatePicker::eventFilter(QObject* watched, QEvent* event) {
    if (watched != edit_) return QWidget::eventFilter(watched, event);
    if (event->type() == QEvent::FocusIn && edit_->date() == kEmptyFace && !edit_->isReadOnly()) {
        loading_ = true;
        edit_->setDate(QDate::currentDate());
        loading_ = false;
        provisional_ = true;
        edit_->setSelectedSection(QDateTimeEdit::YearSection);
    } else if (event->type() == QEvent::FocusOut && provisional_ &&
               static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason) {
        showDate(QDate());
    }
    return QWidget::eventFilter(watched, event);
}

void DatePicker::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // The check box takes no more room than its mark, so that the date has the rest.
    const int box = std::min(check_->sizeHint().width(), 16);
    check_->setGeometry(1, (height() - box) / 2, box, box);
    edit_->setGeometry(box + 2, 0, std::max(0, width() - box - 2), height());
}

DateBinding::DateBinding(DatePicker* picker, RecordSet& records, const QString& column,
                         const QTime& timeOfDay, Dialogs& dialogs, QObject* parent)
    : QObject(parent), picker_(picker), records_(records), column_(column), time_(timeOfDay),
      dialogs_(dialogs) {
    connect(picker, &DatePicker::datePicked, this, &DateBinding::picked);
    connect(&records_, &RecordSet::dataChanged, this, &DateBinding::load);
    connect(&records_, &RecordSet::fieldChanged, this, [this](const QString& c) {
        if (c == column_) load();
    });
    load();
}

void DateBinding::load() {
    if (!picker_) return;
    picker_->showDate(records_.isOpen() ? records_.value(column_).toDateTime().date() : QDate());
}

void DateBinding::picked(const QDate& date) {
    // Only a real change of the date starts an edit.
    if (records_.isOpen() && records_.value(column_).toDateTime().date() == date) return;
    try {
        records_.edit();
        records_.setValue(column_, QDateTime(date, time_));
    } catch (const std::exception& e) {
        load();
        reportError(dialogs_, e);
    }
}

} // namespace tovera
