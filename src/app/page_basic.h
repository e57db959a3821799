#pragma once
// Page 基本項目: the four field groups of the house record with their data-bound controls,
// the three double-click copies, and the binding of the record navigator.

#include <QMap>
#include <QObject>

class QGroupBox;
class QWidget;

namespace tovera {

class RecordSet;
class DistrictTable;
class Dialogs;
class FieldBinding;
class DatePicker;
class RecordNavigator;
class NavigatorBinding;

class BasicPage : public QObject {
    Q_OBJECT
public:
    // Builds the groups as children of `page` (the page's content area, right of its side
    // bar). The record set, district table and dialogs belong to the main window.
    BasicPage(QWidget* page, RecordSet& records, DistrictTable& districts, Dialogs& dialogs,
              QObject* parent = nullptr);
    ~BasicPage() override;

    // Binds the navigator panel below the pages to the record set (call once, after the
    // panel is built).
    void bindNavigator(RecordNavigator* navigator);
    // Fills the district list from the district table (call after the table is opened).
    void loadDistricts();

    // The binding of a text column's control, or nullptr.
    FieldBinding* field(const QString& column) const { return fields_.value(column); }
    // The picker of a date column (日付, 有効開始, 登記日), or nullptr.
    DatePicker* datePicker(const QString& column) const { return pickers_.value(column); }
    QGroupBox* group(int index) const { return groups_[index]; }

    // The double-click copies into the registration boxes.
    void DBEdit19DblClick();
    void DBEdit20DblClick();
    void DBEdit22DblClick();

private:
    void copyInto(const QString& target, const QString& source);

    RecordSet& records_;
    DistrictTable& districts_;
    Dialogs& dialogs_;
    QMap<QString, FieldBinding*> fields_;
    QMap<QString, DatePicker*> pickers_;
    QGroupBox* groups_[4] = {};
    NavigatorBinding* navigator_ = nullptr;
    bool listedDistricts_ = false;
};

} // namespace tovera
