#pragma once
// Data-bound controls of the house record: edit boxes, combo boxes, the memo, the lookup
// list and the date pickers, each tied to one column of the record set with the behaviour
// of data-aware edits: typing or picking starts an edit, the text reaches its column when
// the control is left or the record is posted, Esc restores the column's value.

#include "records/recordset.h"

#include <QPointer>
#include <QTime>
#include <QWidget>
#include <exception>

class QAbstractItemView;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QLineEdit;
class QPlainTextEdit;

namespace tovera {

class Dialogs;

// Shows `error` in the standard error dialog (its own text, with the dialog's "." rule).
void reportError(Dialogs& dialogs, const std::exception& error);

// Binds a QLineEdit, a QComboBox (editable: free text; not editable: choice only) or a
// QPlainTextEdit to `column`. Errors are shown through `dialogs` in the standard error
// dialog. With `writeAtOnce` (the lookup list) a picked value is written at once.
class FieldBinding : public QObject, public RecordLink {
    Q_OBJECT
public:
    FieldBinding(QWidget* control, RecordSet& records, const QString& column, Dialogs& dialogs,
                 bool writeAtOnce = false, QObject* parent = nullptr);
    ~FieldBinding() override;

    QWidget* control() const { return control_; }
    QString column() const { return column_; }
    // The text the control shows.
    QString shownText() const;
    // True while the control holds text not yet written into its column.
    bool isModified() const { return modified_; }
    // Replaces the shown text and marks it changed, as typing would, without starting an
    // edit (the double-click copies).
    void setModifiedText(const QString& text);
    // Shows the column's value again and clears the changed mark (Esc).
    void reset();
    // Writes a changed text into the column (RecordLink).
    void updateRecord() override;

Q_SIGNALS:
    void doubleClicked();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void userChanged();
    void picked();
    void leave();
    void setShownText(const QString& text);

    QPointer<QWidget> control_; // line_, combo_ and memo_ live as long as it
    QLineEdit* line_ = nullptr;
    QComboBox* combo_ = nullptr;
    QPlainTextEdit* memo_ = nullptr;
    QAbstractItemView* list_ = nullptr; // a combo box's list
    RecordSet& records_;
    QPointer<RecordSet> recordsAlive_; // the window may release the record set first
    QString column_;
    Dialogs& dialogs_;
    bool writeAtOnce_;
    bool modified_ = false;
    bool loading_ = false;
};

// A date picker with a check box and the long date format. It keeps the time of day it
// was given; a NULL date shows as an unchecked box with an empty face. Entering an empty
// face shows today's date to type over (its year selected); leaving it unchanged empties
// the face again, and only a typed or picked date is reported.
class DatePicker : public QWidget {
    Q_OBJECT
public:
    explicit DatePicker(QWidget* parent = nullptr);
    QDateEdit* dateEdit() const { return edit_; }
    QCheckBox* checkBox() const { return check_; }
    // Shows `date`, or nothing (unchecked) for an invalid date.
    void showDate(const QDate& date);
    // The date shown (invalid when the face is empty).
    QDate date() const;
    // Sets the date as the user's pick does (emits datePicked).
    void pick(const QDate& date);

Q_SIGNALS:
    void datePicked(const QDate& date);

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QCheckBox* check_;
    QDateEdit* edit_;
    bool loading_ = false;
    bool provisional_ = false; // today's date shown in an empty face, not yet taken
};

// Binds a DatePicker to a date column: showing a record puts the column's date into the
// picker; picking a date starts an edit and writes the date with `timeOfDay` at once.
class DateBinding : public QObject {
    Q_OBJECT
public:
    DateBinding(DatePicker* picker, RecordSet& records, const QString& column,
                const QTime& timeOfDay, Dialogs& dialogs, QObject* parent = nullptr);

private:
    void load();
    void picked(const QDate& date);
    QPointer<DatePicker> picker_;
    RecordSet& records_;
    QString column_;
    QTime time_;
    Dialogs& dialogs_;
};

} // namespace tovera
