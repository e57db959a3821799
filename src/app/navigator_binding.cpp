#include "app/navigator_binding.h"

#include "app/databound.h"
#include "records/recordset.h"
#include "widgets/navigator.h"

#include <QLineEdit>
#include <QToolButton>

namespace tovera {

NavigatorBinding::NavigatorBinding(RecordNavigator* navigator, RecordSet& records, Dialogs& dialogs,
                                   QObject* parent)
    : QObject(parent), navigator_(navigator), records_(records), dialogs_(dialogs) {
    rows_[0] = new FieldBinding(navigator->rowEdit(0), records, QStringLiteral("所有者コード"),
                                dialogs, false, this);
    rows_[1] = new FieldBinding(navigator->rowEdit(1), records, QStringLiteral("所有者氏名"),
                                dialogs, false, this);
    connect(navigator, &RecordNavigator::buttonClicked, this,
            [this](RecordNavigator::Button b) { click(b); });
    connect(&records, &RecordSet::stateChanged, this, &NavigatorBinding::updateButtons);
    connect(&records, &RecordSet::dataChanged, this, &NavigatorBinding::updateButtons);
    connect(&records, &RecordSet::afterScroll, this, &NavigatorBinding::updateButtons);
    updateButtons();
}

void NavigatorBinding::click(int which) {
    try {
        switch (RecordNavigator::Button(which)) {
        case RecordNavigator::First:
            records_.first();
            break;
        case RecordNavigator::Prior:
            records_.prior();
            break;
        case RecordNavigator::Next:
            records_.next();
            break;
        case RecordNavigator::Last:
            records_.last();
            break;
        case RecordNavigator::Insert:
            records_.insert();
            break;
        case RecordNavigator::Delete:
            records_.remove();
            break;
        case RecordNavigator::Edit:
            records_.edit();
            break;
        case RecordNavigator::Post:
            records_.post();
            break;
        case RecordNavigator::Cancel:
            records_.cancel();
            break;
        case RecordNavigator::Refresh:
            records_.refresh();
            break;
        }
    } catch (const std::exception& e) {
        reportError(dialogs_, e);
    }
    updateButtons();
}

void NavigatorBinding::updateButtons() {
    const bool open = records_.isOpen();
    const bool editing = records_.state() == RecordSet::State::Editing ||
                         records_.state() == RecordSet::State::Inserting;
    const bool inserting = records_.state() == RecordSet::State::Inserting;
    navigator_->setButtonEnabled(RecordNavigator::First, records_.canMovePrior());
    navigator_->setButtonEnabled(RecordNavigator::Prior, records_.canMovePrior());
    navigator_->setButtonEnabled(RecordNavigator::Next, records_.canMoveNext());
    navigator_->setButtonEnabled(RecordNavigator::Last, records_.canMoveNext());
    navigator_->setButtonEnabled(RecordNavigator::Insert, open);
    navigator_->setButtonEnabled(RecordNavigator::Delete,
                                 open && (!records_.isEmpty() || inserting));
    navigator_->setButtonEnabled(RecordNavigator::Edit, open && !editing);
    navigator_->setButtonEnabled(RecordNavigator::Post, editing);
    navigator_->setButtonEnabled(RecordNavigator::Cancel, editing);
    navigator_->setButtonEnabled(RecordNavigator::Refresh, open);
}

} // namespace tovera
