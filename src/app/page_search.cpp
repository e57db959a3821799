#include "app/page_search.h"

#include "app/application.h"
#include "app/dateface.h"
#include "records/recordset.h"
#include "widgets/hints.h"

#include <QComboBox>
#include <QDateTimeEdit>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTabWidget>

namespace tovera {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

QLabel* label(const char* text, QWidget* page, int x, int width) {
    auto* l = new QLabel(QString::fromUtf8(text), page);
    l->setGeometry(x, 12, width, 18);
    return l;
}

// A date-only picker that keeps a time of day the user never sees or changes.
QDateTimeEdit* picker(QWidget* page, int x, const QTime& hiddenTime, const char* name) {
    auto* p = new QDateTimeEdit(page);
    p->setObjectName(QString::fromLatin1(name));
    p->setDisplayFormat(QStringLiteral("yyyy/MM/dd"));
    p->setDateTime(QDateTime(QDate(2002, 10, 13), hiddenTime));
    p->setCalendarPopup(true);
    p->setGeometry(x, 10, 85, 21);
    new DateFace(p); // before the page's own filters, which must still see the clicks
    return p;
}

bool isEnter(int key) {
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

} // namespace

QString SearchQuery::text() const {
    QString out;
    for (const QString& line : lines) out += line + kCrLf;
    return out;
}

QString prefixLiteral(const QString& text) {
    QString inner = text + QLatin1Char('%');
    inner.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + inner + QLatin1Char('\'');
}

SearchQuery prefixQuery(const QString& column, const QString& text) {
    // An empty box brings back the whole list, as its hint promises; a bare '%' would
    // leave out the records whose column is NULL.
    if (text.isEmpty()) return fullListQuery();
    return {{QStringLiteral("SELECT * FROM 基本データ "),
             QStringLiteral("where %1 Like ").arg(column), prefixLiteral(text),
             QStringLiteral(";")},
            {}};
}

SearchQuery fullListQuery() {
    return {{QStringLiteral("SELECT * FROM 基本データ")}, {}};
}

SearchQuery dateQuery(const QDate& start, const QDate& end) {
    // Whole days: a survey date carries a time of day, so the bounds are the first and the
    // last millisecond of the two days.
    const QDateTime from(start, QTime(0, 0, 0, 0), Qt::LocalTime);
    const QDateTime to(end, QTime(23, 59, 59, 999), Qt::LocalTime);
    return {{QStringLiteral("SELECT * FROM 基本データ "), QStringLiteral("Where "),
             QStringLiteral("日付 >= :Date_s"), QStringLiteral(" and "),
             QStringLiteral("日付 <= :Date_e"), QStringLiteral(";")},
            {{QStringLiteral("Date_s"), from}, {QStringLiteral("Date_e"), to}}};
}

SearchPage::SearchPage(QTabWidget* tabs, RecordSet& records, DistrictTable& districts,
                       Dialogs& dialogs, QObject* parent)
    : QObject(parent), records_(records), districts_(districts), dialogs_(dialogs) {
    setHint(tabs, QStringLiteral("検索！"));
    QWidget* owner = tabs->widget(0);
    QWidget* district = tabs->widget(1);
    QWidget* date = tabs->widget(2);
    QWidget* remarks = tabs->widget(3);

    // 氏名検索
    setHint(owner, QStringLiteral("実行[Ret]で検索開始！"));
    label("[氏名]", owner, 8, 44);
    Edit1 = new QLineEdit(owner);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setGeometry(56, 10, 133, 21);
    setHint(Edit1, QStringLiteral("実行ｷｰで曖昧検索/空白で最初に戻ります。"));
    Edit1->installEventFilter(this);

    // 行政区検索 (the tab control's hint applies to the page)
    label("[行政区名]", district, 8, 64);
    ComboBox1 = new QComboBox(district);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setEditable(true);
    ComboBox1->setInsertPolicy(QComboBox::NoInsert);
    ComboBox1->setMaxVisibleItems(12);
    // No inline completion: the text searched is the text typed.
    ComboBox1->setCompleter(nullptr);
    ComboBox1->setGeometry(76, 10, 145, 21);
    const QString districtHint = QStringLiteral("所在区検索!/ダブルクリックで全体を表示します。");
    setHint(ComboBox1, districtHint, true);
    setHint(ComboBox1->lineEdit(), districtHint, true);
    ComboBox1->installEventFilter(this);
    ComboBox1->lineEdit()->installEventFilter(this);
    districtText_ = ComboBox1->lineEdit();
    connect(ComboBox1, &QComboBox::editTextChanged, this, &SearchPage::ComboBox1Change);

    // 日付検索
    label("開始:", date, 4, 30);
    DateTimePicker1 = picker(date, 34, QTime(22, 22, 32, 950), "DateTimePicker1");
    label("終了:", date, 125, 30);
    DateTimePicker2 = picker(date, 155, QTime(22, 22, 55, 170), "DateTimePicker2");
    setHint(DateTimePicker2, QStringLiteral("ここをクリックで検索開始！"));
    DateTimePicker2->installEventFilter(this);
    // Clicks on the date text go to the picker's inner edit.
    if (auto* inner = DateTimePicker2->findChild<QLineEdit*>()) {
        setHint(inner, QStringLiteral("ここをクリックで検索開始！"));
        inner->installEventFilter(this);
        endPickerText_ = inner;
    }

    // 備考検索
    setHint(remarks, QStringLiteral("実行キーで開始！"));
    label("[備考]", remarks, 8, 44);
    Edit2 = new QLineEdit(remarks);
    Edit2->setObjectName(QStringLiteral("Edit2"));
    Edit2->setGeometry(56, 10, 153, 21);
    Edit2->installEventFilter(this);

    loadDistricts();
}

SearchPage::~SearchPage() = default;

void SearchPage::loadDistricts() {
    // Filling the list must not run a search; the box starts with an empty text.
    const QSignalBlocker block(ComboBox1);
    ComboBox1->clear();
    if (districts_.isOpen()) ComboBox1->addItems(districts_.districts());
    ComboBox1->setCurrentIndex(-1);
    ComboBox1->setEditText(QString());
}

bool SearchPage::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::KeyPress: {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (watched == Edit1) Edit1KeyDown(key);
        if (watched == Edit2) Edit2KeyDown(key);
        break;
    }
    case QEvent::MouseButtonDblClick:
        if (watched == ComboBox1 || watched == districtText_) {
            ComboBox1DblClick();
            return true; // the text stays as it is (no word selection either)
        }
        break;
    case QEvent::MouseButtonPress:
        if ((watched == DateTimePicker2 || watched == endPickerText_) &&
            static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
            DateTimePicker2Click();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void SearchPage::search(const SearchQuery& query) {
    try {
        runQuery(query);
    } catch (const std::exception& error) {
        showStandardError(dialogs_, error);
    }
}

void SearchPage::runQuery(const SearchQuery& query) {
    records_.close();
    records_.open(query.text(), query.params);
    if (query.params.isEmpty() && query.lines.size() == 1 && !records_.isEmpty())
        records_.first(); // the full list moves to its first record after opening
}

void SearchPage::Edit1KeyDown(int key) {
    if (isEnter(key)) search(prefixQuery(QStringLiteral("所有者氏名"), Edit1->text()));
}

void SearchPage::Edit2KeyDown(int key) {
    if (isEnter(key)) search(prefixQuery(QStringLiteral("備考"), Edit2->text()));
}

void SearchPage::ComboBox1Change() {
    search(prefixQuery(QStringLiteral("所在区"), ComboBox1->currentText()));
}

void SearchPage::ComboBox1DblClick() {
    search(fullListQuery());
}

void SearchPage::DateTimePicker2Click() {
    search(dateQuery(DateTimePicker1->date(), DateTimePicker2->date()));
}

} // namespace tovera
