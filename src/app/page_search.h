#pragma once
// The four search pages below the main pages: owner name, district, survey date and
// remarks. Each search replaces the query of the record set and opens it again; the
// current record afterwards is the first of the result.

#include <QDate>
#include <QDateTime>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

class QComboBox;
class QDateTimeEdit;
class QLineEdit;
class QTabWidget;

namespace tovera {

class Dialogs;
class DistrictTable;
class RecordSet;

// One search: the query lines (each sent followed by CR LF) and its named parameters.
struct SearchQuery {
    QStringList lines;
    QVariantMap params;
    // The text handed to the record set.
    QString text() const;
};

// The SQL string literal for a prefix search: `text` + "%" in single quotes, each single
// quote doubled. "%" and "_" in `text` stay wildcards.
QString prefixLiteral(const QString& text);
// The narrowing query of column `column` for the box text `text`. An empty text gives the
// full list (every record, also those whose column is NULL).
SearchQuery prefixQuery(const QString& column, const QString& text);
// The full list.
SearchQuery fullListQuery();
// The survey-date query over whole days: from `start` at 00:00:00.000 to `end` at
// 23:59:59.999 local time, in parameters Date_s and Date_e. An end before the start
// finds nothing.
SearchQuery dateQuery(const QDate& start, const QDate& end);

class SearchPage : public QObject {
    Q_OBJECT
public:
    // Builds the labels, boxes and pickers inside the four pages of `tabs` (made by the
    // window) and sets the hints. The record set, district table and dialogs belong to the
    // main window and outlive this controller.
    SearchPage(QTabWidget* tabs, RecordSet& records, DistrictTable& districts, Dialogs& dialogs,
               QObject* parent = nullptr);
    ~SearchPage() override;

    // Fills the district box from the district table (call after the table is opened);
    // its text stays empty and no search runs.
    void loadDistricts();

    // Handlers. `key` is a Qt key code; Enter (Return or the keypad's Enter) searches,
    // every other key only edits. Errors (a refused post of the edited record, a database
    // error while opening) are shown in the standard error dialog.
    void Edit1KeyDown(int key);
    void Edit2KeyDown(int key);
    void ComboBox1Change();
    void ComboBox1DblClick();
    void DateTimePicker2Click();

    // Runs `query`: closes the record set (a changed record is posted first; when that
    // post fails the error is raised and nothing is searched), then opens it with the
    // query. A failed open leaves the record set closed. Raises EDatabaseError.
    void runQuery(const SearchQuery& query);

    QLineEdit* Edit1 = nullptr;               // owner name
    QComboBox* ComboBox1 = nullptr;           // district
    QDateTimeEdit* DateTimePicker1 = nullptr; // start
    QDateTimeEdit* DateTimePicker2 = nullptr; // end
    QLineEdit* Edit2 = nullptr;               // remarks

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Runs `query` and shows an error in the standard error dialog.
    void search(const SearchQuery& query);

    RecordSet& records_;
    DistrictTable& districts_;
    Dialogs& dialogs_;
    QObject* endPickerText_ = nullptr;
    QObject* districtText_ = nullptr;
};

} // namespace tovera
