#include "app/page_basic.h"

#include "app/databound.h"
#include "app/navigator_binding.h"
#include "records/columns.h"
#include "records/recordset.h"
#include "widgets/hints.h"

#include <QComboBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTimer>
#include <algorithm>

namespace tovera {

namespace {

// The two box colours of the page: the system's menu colour for the boxes the sheet
// transfer fills, its light 3-D colour for the address boxes and the registration boxes.
const QColor kMenuColour(0xF0, 0xF0, 0xF0);
const QColor kLight3D(0xE3, 0xE3, 0xE3);

enum class Control { Edit, Combo, Choice, Lookup, Memo, Date };

struct FieldSpec {
    const char* column;
    const char* label;
    Control control;
    const char* hint;
    int group, col, row; // placement: group 0..3, column 0..1 within the group, row
    const QColor* colour;
    const char* name; // the control's name where other code refers to it
};

const FieldSpec kFields[] = {
    {"No", "No", Control::Edit, "整理番号", 0, 0, 0, nullptr, "DBEdit1"},
    {"所有者コード", "所有者コード", Control::Edit, "住民基本所有者コード", 0, 0, 1, nullptr,
     "DBEdit2"},
    {"所在区", "所在区", Control::Lookup, "行政区", 0, 0, 2, nullptr, "DBLookupComboBox1"},
    {"所有者氏名", "所有者氏名", Control::Edit, "家屋所有者", 0, 0, 3, &kMenuColour, "DBEdit3"},
    {"所有者住所", "所有者住所", Control::Edit, "所有者住所", 0, 0, 4, &kLight3D, "DBEdit4"},
    {"所在地番", "所在地番", Control::Edit, "家屋の所在地", 0, 0, 5, &kLight3D, "DBEdit5"},
    {"日付", "日付", Control::Date, "家屋調査日", 1, 0, 0, nullptr, "DBDateTimePicker1"},
    {"備考", "備考", Control::Memo, "メモ", 1, 0, 1, nullptr, "DBMemo1"},
    {"１Ｆ", "１Ｆ", Control::Edit, "１Ｆ面積", 2, 0, 0, &kMenuColour, "DBEdit6"},
    {"２Ｆ", "２Ｆ", Control::Edit, "２Ｆ面積", 2, 0, 1, &kMenuColour, "DBEdit7"},
    {"床面積", "床面積", Control::Edit, "延床面積", 2, 0, 2, &kMenuColour, "DBEdit8"},
    {"評点数", "評点数", Control::Edit, "再建築評点数/㎡", 2, 0, 3, &kMenuColour, "DBEdit9"},
    {"建年", "建年", Control::Combo, "建築年", 2, 0, 4, nullptr, "DBComboBox6"},
    {"新増改築", "新増改", Control::Choice, "新増改築区分", 2, 1, 0, nullptr, "DBComboBox1"},
    {"構造", "構造", Control::Combo, "家屋構造", 2, 1, 1, nullptr, "DBComboBox2"},
    {"種類", "種類", Control::Combo, "家屋種類", 2, 1, 2, nullptr, "DBComboBox3"},
    {"除外", "除外", Control::Combo, "棟数除外", 2, 1, 3, nullptr, "DBComboBox4"},
    {"新築軽減", "新築軽減", Control::Combo, "１６条新築家屋軽減区分", 2, 1, 4, nullptr,
     "DBComboBox5"},
    {"家屋番号", "家屋番号", Control::Edit, "登記の家屋番号", 3, 0, 0, nullptr, "DBEdit18"},
    {"登記１Ｆ", "登記１Ｆ", Control::Edit, "ダブルクリックで１Ｆを転記！", 3, 0, 1, &kLight3D,
     "DBEdit19"},
    {"登記２Ｆ", "登記２Ｆ", Control::Edit, "ダブルクリックで２Ｆを転記！", 3, 0, 2, &kLight3D,
     "DBEdit20"},
    {"登記面積", "登記面積", Control::Edit, "ダブルクリックで床面積を転記！", 3, 0, 3, &kLight3D,
     "DBEdit22"},
    {"登記種類", "登記種類", Control::Combo, "登記種類", 3, 0, 4, nullptr, "DBComboBox10"},
    {"持分１", "持分１", Control::Combo, "登記持ち分", 3, 1, 0, nullptr, "DBComboBox7"},
    {"持分２", "持分２", Control::Combo, "登記持ち分", 3, 1, 1, nullptr, "DBComboBox8"},
    {"持分３", "持分３", Control::Combo, "登記持ち分", 3, 1, 2, nullptr, "DBComboBox9"},
    {"有効開始", "有効開始", Control::Date, "有効開始日", 3, 1, 3, nullptr, "DBDateTimePicker2"},
    {"登記日", "登記日", Control::Date, "登記日", 3, 1, 4, nullptr, "DBDateTimePicker3"},
};

QStringList items(std::initializer_list<const char*> list) {
    QStringList out;
    for (const char* s : list) out << QString::fromUtf8(s);
    return out;
}

QStringList pickList(const QString& column) {
    if (column == QStringLiteral("新増改築")) return items({"新", "増", "改"});
    if (column == QStringLiteral("構造"))
        return items({"木ス２",    "木瓦２",    "木セ２",    "木ス平",    "木瓦平",    "木セ平",
                      "---",       "木ﾌﾟﾚｽ２",  "木ﾌﾟﾚ瓦２", "木ﾌﾟﾚセ２", "木ﾌﾟﾚ亜２", "木ﾌﾟﾚｽ平",
                      "木ﾌﾟﾚ瓦平", "木ﾌﾟﾚセ平", "木ﾌﾟﾚ亜平", "---",       "LGﾌﾟﾚｽ２",  "LGﾌﾟﾚ瓦２",
                      "LGﾌﾟﾚセ２", "LGﾌﾟﾚ亜２", "LGﾌﾟﾚｽ平",  "LGﾌﾟﾚ瓦平", "LGﾌﾟﾚセ平", "LGﾌﾟﾚ亜平",
                      "---",       "RCﾌﾟﾚ陸２", "RCﾌﾟﾚ亜２", "RCﾌﾟﾚ陸平", "RCﾌﾟﾚ亜平"});
    if (column == QStringLiteral("種類")) return items({"専住", "共住", "事務所", "店舗"});
    if (column == QStringLiteral("除外")) return items({"0", "1"});
    if (column == QStringLiteral("建年"))
        return items({"11", "12", "13", "14", "15", "16", "17", "18", "19", "20"});
    if (column.startsWith(QStringLiteral("持分")))
        return items({"1/2", "1/3", "1/4", "1/5", "2/3", "3/4", "2/5", "3/5", "4/5"});
    if (column == QStringLiteral("登記種類")) return items({"居宅", "共同住宅", "事務所", "店舗"});
    return {};
}

void colour(QWidget* w, const QColor* c) {
    if (!c) return;
    QPalette p = w->palette();
    p.setColor(QPalette::Base, *c);
    w->setPalette(p);
}

} // namespace

BasicPage::BasicPage(QWidget* page, RecordSet& records, DistrictTable& districts, Dialogs& dialogs,
                     QObject* parent)
    : QObject(parent), records_(records), districts_(districts), dialogs_(dialogs) {
    // Group boxes, placed on the page as (left, top), width × height.
    const struct {
        const char* caption;
        QRect rect;
    } groups[4] = {{"基本項目", {196, 18, 229, 197}},
                   {"調査項目", {196, 232, 229, 129}},
                   {"家屋項目", {480, 18, 333, 197}},
                   {"登記項目", {480, 232, 333, 196}}};
    for (int g = 0; g < 4; ++g) {
        groups_[g] = new QGroupBox(QString::fromUtf8(groups[g].caption), page);
        groups_[g]->setGeometry(groups[g].rect);
        setHint(groups_[g], QString::fromUtf8(groups[g].caption));
    }

    for (const FieldSpec& f : kFields) {
        const QString column = QString::fromUtf8(f.column);
        QGroupBox* box = groups_[f.group];
        const bool wide = f.group < 2; // one column of fields
        const int labelW = wide ? 72 : 52;
        const int fieldW = wide ? 137 : 100;
        const int x = 10 + f.col * (labelW + fieldW + 6);
        // Rows as close as the six rows of 基本項目 need to fit in their group.
        const int y = 22 + f.row * (f.group == 0 ? 28 : f.group == 1 ? 26 : 33);
        auto* label = new QLabel(QString::fromUtf8(f.label), box);
        label->setGeometry(x, y + 2, labelW, 18);
        QWidget* control = nullptr;
        switch (f.control) {
        case Control::Edit:
            control = new QLineEdit(box);
            break;
        case Control::Memo: {
            auto* memo = new QPlainTextEdit(box);
            memo->setGeometry(x + labelW, y, fieldW, box->height() - y - 10);
            control = memo;
            break;
        }
        case Control::Combo:
        case Control::Choice:
        case Control::Lookup: {
            auto* combo = new QComboBox(box);
            combo->setEditable(f.control == Control::Combo);
            combo->setInsertPolicy(QComboBox::NoInsert);
            combo->addItems(pickList(column));
            if (f.control == Control::Lookup) combo->setMaxVisibleItems(15);
            control = combo;
            break;
        }
        case Control::Date: {
            auto* picker = new DatePicker(box);
            // A picker of the right-hand column takes the room up to the group's edge.
            const int pickerW =
                wide ? fieldW : std::min(fieldW + 10, box->width() - x - labelW - 6);
            picker->setGeometry(x + labelW, y, pickerW, 21);
            setHint(picker, QString::fromUtf8(f.hint));
            setHint(picker->dateEdit(), QString::fromUtf8(f.hint));
            picker->setObjectName(QString::fromUtf8(f.name));
            pickers_.insert(column, picker);
            new DateBinding(picker, records, column, pickerTimeOfDay(column), dialogs, this);
            continue;
        }
        }
        control->setObjectName(QString::fromUtf8(f.name));
        if (f.control != Control::Memo) control->setGeometry(x + labelW, y, fieldW, 21);
        colour(control, f.colour);
        setHint(control, QString::fromUtf8(f.hint));
        if (auto* combo = qobject_cast<QComboBox*>(control); combo && combo->lineEdit())
            setHint(combo->lineEdit(), QString::fromUtf8(f.hint));
        fields_.insert(column, new FieldBinding(control, records, column, dialogs,
                                                f.control == Control::Lookup, this));
    }
    connect(fields_.value(QStringLiteral("登記１Ｆ")), &FieldBinding::doubleClicked, this,
            &BasicPage::DBEdit19DblClick);
    connect(fields_.value(QStringLiteral("登記２Ｆ")), &FieldBinding::doubleClicked, this,
            &BasicPage::DBEdit20DblClick);
    connect(fields_.value(QStringLiteral("登記面積")), &FieldBinding::doubleClicked, this,
            &BasicPage::DBEdit22DblClick);
    loadDistricts();
    // The district table opens right after the record set; fill the list once it has.
    connect(&records_, &RecordSet::stateChanged, this, [this] {
        if (records_.isOpen())
            QTimer::singleShot(0, this, [this] {
                if (listedDistricts_ != districts_.isOpen()) loadDistricts();
            });
    });
}

BasicPage::~BasicPage() = default;

void BasicPage::loadDistricts() {
    auto* combo = qobject_cast<QComboBox*>(fields_.value(QStringLiteral("所在区"))->control());
    combo->clear();
    if (districts_.isOpen()) combo->addItems(districts_.districts());
    listedDistricts_ = districts_.isOpen();
    fields_.value(QStringLiteral("所在区"))->reset();
}

void BasicPage::bindNavigator(RecordNavigator* navigator) {
    delete navigator_;
    navigator_ = new NavigatorBinding(navigator, records_, dialogs_, this);
}

void BasicPage::copyInto(const QString& target, const QString& source) {
    fields_.value(target)->setModifiedText(fields_.value(source)->shownText());
}

void BasicPage::DBEdit19DblClick() {
    copyInto(QStringLiteral("登記１Ｆ"), QStringLiteral("１Ｆ"));
}
void BasicPage::DBEdit20DblClick() {
    copyInto(QStringLiteral("登記２Ｆ"), QStringLiteral("２Ｆ"));
}
void BasicPage::DBEdit22DblClick() {
    copyInto(QStringLiteral("登記面積"), QStringLiteral("床面積"));
}

} // namespace tovera
