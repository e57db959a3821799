#pragma once
// Page 基本項目: the four field groups of the house record with their data-bound controls.

#include <QObject>

class QWidget;

namespace tovera {

class RecordSet;
class DistrictTable;
class Dialogs;

class BasicPage : public QObject {
    Q_OBJECT
public:
    // Builds the groups as children of `page` (the page's content area, right of its side
    // bar). The record set, district table and dialogs belong to the main window.
    BasicPage(QWidget* page, RecordSet& records, DistrictTable& districts, Dialogs& dialogs,
              QObject* parent = nullptr);
    ~BasicPage() override;
};

} // namespace tovera
