#pragma once
// Ties the record navigator panel to the record set: its two rows edit 所有者コード and
// 所有者氏名, its buttons act on the record set, and each button is enabled only while its
// action is possible.

#include <QObject>

namespace tovera {

class Dialogs;
class FieldBinding;
class RecordNavigator;
class RecordSet;

class NavigatorBinding : public QObject {
    Q_OBJECT
public:
    NavigatorBinding(RecordNavigator* navigator, RecordSet& records, Dialogs& dialogs,
                     QObject* parent = nullptr);
    // Runs the action of button `which` (0 to 9, the panel's order); errors go to the
    // standard error dialog and leave the record set in its mode.
    void click(int which);
    // Sets the buttons' enabled states from the record set's state.
    void updateButtons();
    FieldBinding* row(int index) const { return rows_[index]; }

private:
    RecordNavigator* navigator_;
    RecordSet& records_;
    Dialogs& dialogs_;
    FieldBinding* rows_[2] = {};
};

} // namespace tovera
