// The search pages of the main window: owner-name, district, remarks and survey-date
// searches against a real store, the full list, and the record set's state around them.
// Every test runs on the SQLite file and on a register of the test PostgreSQL server.

#include "app/application.h"
#include "app/databound.h"
#include "app/page_basic.h"
#include "app/page_search.h"
#include "records/engines.h"
#include "records/recordset.h"
#include "support.h"
#include "widgets/hints.h"

#include <QComboBox>
#include <QDateTimeEdit>
#include <QLineEdit>
#include <QSqlError>
#include <QTabWidget>
#include <QTest>
#include <algorithm>

using namespace tovera;
using namespace tovera::testing;

namespace {

const char* const kDistricts[] = {"本町", "新町", "東町", "西町", "南町", "北町",
                                  "栄町", "旭町", "緑町", "若葉", "中央", "港"};

struct Row {
    int no;
    const char* district;
    const char* owner;
    const char* remarks;
    const char* date;
};

// Five records; No 5 has neither owner, district, remarks nor date.
const Row kRows[] = {
    {1, "本町", "山田太郎", "木造二階", "2002-10-13T16:01:00.000"},
    {2, "本町", "山本花子", "50%引き", "2002-10-12T16:01:00.000"},
    {3, "新町", "田中一郎", "O'Brien様", "2002-10-14T00:00:00.000"},
    {4, "新町", "山_口", nullptr, "2002-10-13T23:59:59.999"},
    {5, nullptr, nullptr, nullptr, nullptr},
};

QVariant orNull(const char* text) {
    return text ? QVariant(QString::fromUtf8(text)) : QVariant(QMetaType(QMetaType::QString));
}

// The districts and rows through `q`, on either engine.
void fillRows(QSqlQuery& q) {
    for (const char* d : kDistricts) {
        q.prepare(QStringLiteral("insert into 行政区 (所在区) values (?)"));
        q.addBindValue(QString::fromUtf8(d));
        QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
    }
    for (const Row& r : kRows) {
        q.prepare(QStringLiteral("insert into 基本データ (\"No\", 所在区, 所有者氏名, 備考, 日付) "
                                 "values (?,?,?,?,?)"));
        q.addBindValue(r.no);
        q.addBindValue(orNull(r.district));
        q.addBindValue(orNull(r.owner));
        q.addBindValue(orNull(r.remarks));
        q.addBindValue(orNull(r.date));
        QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
    }
}

// In the server pass, a new register on the test server with the same rows, which the
// window then opens through TOVERA_DATABASE.
void fillServerRegister() {
    test::PgServer& server = test::PgServer::instance();
    const QString uri = server.createRegister(server.freshName());
    Connection c;
    c.open(uri);
    QSqlQuery q(c.database());
    fillRows(q);
    qputenv(kDatabaseVariable, uri.toUtf8());
}

void fillStore(const QString& path) {
    if (test::serverPass()) {
        fillServerRegister();
        return;
    }
    createSchema(path);
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("search-fill"));
        db.setDatabaseName(path);
        QVERIFY(db.open());
        QSqlQuery q(db);
        fillRows(q);
        q = QSqlQuery();
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("search-fill"));
}

// The No of every record of the result, in order.
QList<int> numbers(RecordSet& records) {
    QList<int> out;
    if (!records.isOpen() || records.isEmpty()) return out;
    records.first();
    for (;;) {
        out << records.value(QStringLiteral("No")).toInt();
        if (!records.canMoveNext()) break;
        records.next();
    }
    records.first();
    return out;
}

QList<int> sorted(QList<int> list) {
    std::sort(list.begin(), list.end());
    return list;
}

// Counts the searches: every open of the record set.
struct OpenCounter {
    int opens = 0;
    QMetaObject::Connection c;
    explicit OpenCounter(RecordSet& records) {
        c = QObject::connect(&records, &RecordSet::stateChanged, [this, &records] {
            if (records.isOpen()) ++opens;
        });
    }
    ~OpenCounter() { QObject::disconnect(c); }
};

struct SearchRun : WindowRun {
    ~SearchRun() { qunsetenv(kDatabaseVariable); }
    Tovmain& startWithStore() {
        fillStore(databasePath());
        Tovmain& w = start();
        dialogs.clear();
        return w;
    }
    SearchPage& page() { return window->searchPage(); }
    RecordSet& records() { return window->ADOQuery1(); }
    QString ownerShown() {
        return window->basicPage().field(QStringLiteral("所有者氏名"))->shownText();
    }
};

} // namespace

class TestSearch : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { TOVERA_REQUIRE_ENGINE(); }
    void pagesAndHints();
    void queryText();
    void textSearches_data();
    void textSearches();
    void otherKeysOnlyEdit();
    void districtTypingAndDeleting();
    void districtPickedFromList();
    void districtDoubleClick();
    void dateSearches_data();
    void dateSearches();
    void pickersShowWholeDates_data();
    void pickersShowWholeDates();
    void typedYearIsTaken();
    void searchPostsAnEdit();
    void refusedPostStopsTheSearch();
    void searchWithoutConnection();
    void searchAfterClosing();
};

void TestSearch::pagesAndHints() {
    SearchRun run;
    Tovmain& w = run.startWithStore();
    SearchPage& p = run.page();
    QCOMPARE(hintOf(w.searchTabs), QStringLiteral("検索！"));
    QCOMPARE(hintOf(w.searchTabs->widget(0)), QStringLiteral("実行[Ret]で検索開始！"));
    QCOMPARE(hintOf(w.searchTabs->widget(1)), QString());
    QCOMPARE(effectiveHint(w.searchTabs->widget(2)), QStringLiteral("検索！"));
    QCOMPARE(hintOf(w.searchTabs->widget(3)), QStringLiteral("実行キーで開始！"));
    QCOMPARE(hintOf(p.Edit1), QStringLiteral("実行ｷｰで曖昧検索/空白で最初に戻ります。"));
    QCOMPARE(p.ComboBox1->toolTip(),
             QStringLiteral("所在区検索!/ダブルクリックで全体を表示します。"));
    const QList<QWidget*> quietOnes{p.Edit1, p.Edit2, p.DateTimePicker2, w.searchTabs};
    for (QWidget* quiet : quietOnes)
        QVERIFY2(quiet->toolTip().isEmpty(), qPrintable(quiet->objectName()));
    QCOMPARE(hintOf(p.DateTimePicker2), QStringLiteral("ここをクリックで検索開始！"));
    QCOMPARE(effectiveHint(p.Edit2), QStringLiteral("実行キーで開始！"));
    QCOMPARE(p.Edit1->width(), 133);
    QCOMPARE(p.Edit2->width(), 153);
    QCOMPARE(p.DateTimePicker1->width(), 85);
    QCOMPARE(p.DateTimePicker2->width(), 85);
    QCOMPARE(p.DateTimePicker1->text(), QStringLiteral("2002/10/13"));
    QCOMPARE(p.DateTimePicker2->dateTime().time(), QTime(22, 22, 55, 170));

    // The district list comes from 行政区, its text stays empty and start-up runs no search.
    QCOMPARE(p.ComboBox1->count(), 12);
    QCOMPARE(p.ComboBox1->itemText(11), QStringLiteral("港"));
    QCOMPARE(p.ComboBox1->maxVisibleItems(), 12);
    QCOMPARE(p.ComboBox1->currentText(), QString());
    QCOMPARE(run.records().sql(), QStringLiteral("select * from 基本データ"));
    // Not bound: showing another record leaves it alone.
    run.records().next();
    QCOMPARE(p.ComboBox1->currentText(), QString());
}

void TestSearch::queryText() {
    QCOMPARE(
        prefixQuery(QStringLiteral("所有者氏名"), QStringLiteral("山'")).text(),
        QStringLiteral("SELECT * FROM 基本データ \r\nwhere 所有者氏名 Like \r\n'山''%'\r\n;\r\n"));
    QCOMPARE(fullListQuery().text(), QStringLiteral("SELECT * FROM 基本データ\r\n"));
    const SearchQuery date = dateQuery(QDate(2002, 10, 13), QDate(2002, 10, 14));
    QCOMPARE(date.text(),
             QStringLiteral("SELECT * FROM 基本データ \r\nWhere \r\n日付 >= :Date_s\r\n"
                            " and \r\n日付 <= :Date_e\r\n;\r\n"));
    QCOMPARE(date.params.value(QStringLiteral("Date_s")).toDateTime(),
             QDateTime(QDate(2002, 10, 13), QTime(0, 0)));
    QCOMPARE(date.params.value(QStringLiteral("Date_e")).toDateTime(),
             QDateTime(QDate(2002, 10, 14), QTime(23, 59, 59, 999)));
    QCOMPARE(prefixLiteral(QStringLiteral("a'b%_")), QStringLiteral("'a''b%_%'"));
}

void TestSearch::textSearches_data() {
    QTest::addColumn<int>("box"); // 0 owner, 1 district, 2 remarks
    QTest::addColumn<QString>("text");
    QTest::addColumn<QList<int>>("found");
    QTest::newRow("owner prefix") << 0 << "山" << QList<int>{1, 2, 4};
    QTest::newRow("owner longer prefix") << 0 << "山田" << QList<int>{1};
    QTest::newRow("owner underscore is any one character") << 0 << "山_口" << QList<int>{4};
    QTest::newRow("owner underscore") << 0 << "山_" << QList<int>{1, 2, 4};
    QTest::newRow("owner percent inside") << 0 << "%郎" << QList<int>{1, 3};
    QTest::newRow("owner no match") << 0 << "佐藤" << QList<int>{};
    QTest::newRow("owner quote") << 0 << "山'" << QList<int>{};
    QTest::newRow("owner injection") << 0 << "x'; delete from 基本データ; --" << QList<int>{};
    QTest::newRow("owner empty lists all") << 0 << "" << QList<int>{1, 2, 3, 4, 5};
    QTest::newRow("district prefix") << 1 << "本" << QList<int>{1, 2};
    QTest::newRow("district no match") << 1 << "港" << QList<int>{};
    QTest::newRow("district quote") << 1 << "'" << QList<int>{};
    QTest::newRow("remarks percent typed") << 2 << "50%" << QList<int>{2};
    QTest::newRow("remarks quote") << 2 << "O'B" << QList<int>{3};
    QTest::newRow("remarks leading percent") << 2 << "%引" << QList<int>{2};
    QTest::newRow("remarks empty lists all") << 2 << "" << QList<int>{1, 2, 3, 4, 5};
}

void TestSearch::textSearches() {
    QFETCH(int, box);
    QFETCH(QString, text);
    QFETCH(QList<int>, found);
    SearchRun run;
    run.startWithStore();
    SearchPage& p = run.page();
    // Start from a narrowed list, so an empty text must really bring back the full one.
    p.Edit1->setText(QStringLiteral("田"));
    QTest::keyClick(p.Edit1, Qt::Key_Return);
    QCOMPARE(run.records().recordCount(), 1);

    if (box == 0) {
        p.Edit1->setText(text);
        QTest::keyClick(p.Edit1, Qt::Key_Return);
    } else if (box == 1) {
        p.ComboBox1->setEditText(text);
    } else {
        p.Edit2->setText(text);
        QTest::keyClick(p.Edit2, Qt::Key_Enter);
    }
    QVERIFY2(run.dialogs.shown.empty(),
             qPrintable(run.dialogs.shown.empty() ? QString() : run.dialogs.shown.front().text));
    QVERIFY(run.records().isOpen());
    // The current record is the first of the result; with none the controls are empty.
    if (found.isEmpty()) {
        QCOMPARE(run.records().currentIndex(), -1);
        QCOMPARE(run.ownerShown(), QString());
    } else {
        QCOMPARE(run.records().currentIndex(), 0);
        QCOMPARE(run.records().value(QStringLiteral("No")).toInt(), numbers(run.records()).first());
    }
    QCOMPARE(sorted(numbers(run.records())), found);

    // Nothing was harmed: the full list still holds all five.
    p.ComboBox1DblClick();
    QCOMPARE(run.records().recordCount(), 5);
}

void TestSearch::otherKeysOnlyEdit() {
    SearchRun run;
    run.startWithStore();
    SearchPage& p = run.page();
    OpenCounter counter(run.records());
    QTest::keyClicks(p.Edit1, QStringLiteral("abc"));
    QTest::keyClick(p.Edit1, Qt::Key_Tab);
    QTest::keyClicks(p.Edit2, QStringLiteral("x"));
    QTest::keyClick(p.Edit2, Qt::Key_Escape);
    QCOMPARE(counter.opens, 0);
    QCOMPARE(p.Edit1->text(), QStringLiteral("abc"));
    QCOMPARE(run.records().sql(), QStringLiteral("select * from 基本データ"));
    QTest::keyClick(p.Edit1, Qt::Key_Return);
    QCOMPARE(counter.opens, 1);
    QVERIFY(run.records().sql().contains(QStringLiteral("'abc%'")));
}

void TestSearch::districtTypingAndDeleting() {
    SearchRun run;
    run.startWithStore();
    SearchPage& p = run.page();
    OpenCounter counter(run.records());
    QTest::sendKeyEvent(QTest::Click, p.ComboBox1->lineEdit(), Qt::Key_unknown,
                        QStringLiteral("新"), Qt::NoModifier);
    QCOMPARE(counter.opens, 1);
    QCOMPARE(p.ComboBox1->currentText(), QStringLiteral("新"));
    QVERIFY(run.records().sql().contains(QStringLiteral("'新%'")));
    QCOMPARE(sorted(numbers(run.records())), (QList<int>{3, 4}));
    QTest::keyClick(p.ComboBox1->lineEdit(), Qt::Key_Backspace);
    QCOMPARE(p.ComboBox1->currentText(), QString());
    QCOMPARE(counter.opens, 2);
    QCOMPARE(run.records().recordCount(), 5);
}

void TestSearch::districtPickedFromList() {
    SearchRun run;
    run.startWithStore();
    SearchPage& p = run.page();
    OpenCounter counter(run.records());
    p.ComboBox1->setCurrentIndex(1); // 新町
    QCOMPARE(counter.opens, 1);
    QCOMPARE(sorted(numbers(run.records())), (QList<int>{3, 4}));
}

void TestSearch::districtDoubleClick() {
    SearchRun run;
    run.startWithStore();
    SearchPage& p = run.page();
    p.ComboBox1->setEditText(QStringLiteral("本"));
    QCOMPARE(run.records().recordCount(), 2);
    run.records().next();
    OpenCounter counter(run.records());
    QTest::mouseDClick(p.ComboBox1->lineEdit(), Qt::LeftButton);
    QCOMPARE(counter.opens, 1);
    QCOMPARE(p.ComboBox1->currentText(), QStringLiteral("本"));
    QCOMPARE(run.records().recordCount(), 5);
    QCOMPARE(run.records().currentIndex(), 0);
    QCOMPARE(run.records().sql(), QStringLiteral("SELECT * FROM 基本データ\r\n"));
}

void TestSearch::dateSearches_data() {
    QTest::addColumn<QDate>("start");
    QTest::addColumn<QDate>("end");
    QTest::addColumn<QList<int>>("found");
    // No 1 at 16:01 and No 4 at 23:59:59.999 of 10/13, No 2 on 10/12, No 3 at 10/14 midnight.
    QTest::newRow("same day") << QDate(2002, 10, 13) << QDate(2002, 10, 13) << QList<int>{1, 4};
    QTest::newRow("midnight starts the next day")
        << QDate(2002, 10, 14) << QDate(2002, 10, 14) << QList<int>{3};
    QTest::newRow("two days") << QDate(2002, 10, 12) << QDate(2002, 10, 13) << QList<int>{1, 2, 4};
    QTest::newRow("all") << QDate(2002, 1, 1) << QDate(2002, 12, 31) << QList<int>{1, 2, 3, 4};
    QTest::newRow("end before start") << QDate(2002, 10, 14) << QDate(2002, 10, 13) << QList<int>{};
    QTest::newRow("no record") << QDate(2003, 1, 1) << QDate(2003, 1, 2) << QList<int>{};
}

void TestSearch::dateSearches() {
    QFETCH(QDate, start);
    QFETCH(QDate, end);
    QFETCH(QList<int>, found);
    SearchRun run;
    run.startWithStore();
    SearchPage& p = run.page();
    p.DateTimePicker1->setDate(start);
    p.DateTimePicker2->setDate(end);
    // Choosing a date keeps the hidden time of day.
    QCOMPARE(p.DateTimePicker1->dateTime().time(), QTime(22, 22, 32, 950));
    OpenCounter counter(run.records());
    // A click on the picker's date text.
    QTest::mouseClick(p.DateTimePicker2->findChild<QLineEdit*>(), Qt::LeftButton, {},
                      QPoint(10, 10));
    // A click may open the calendar; close it again.
    if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
    QCOMPARE(counter.opens, 1);
    QVERIFY(run.dialogs.shown.empty());
    QCOMPARE(sorted(numbers(run.records())), found);
    QCOMPARE(run.records().params().value(QStringLiteral("Date_s")).toDateTime(),
             QDateTime(start, QTime(0, 0)));
}

void TestSearch::pickersShowWholeDates_data() {
    QTest::addColumn<int>("which");
    QTest::newRow("start") << 1;
    QTest::newRow("end") << 2;
}

// Each picker shows its whole date at its place and size (85 wide), also the widest one.
void TestSearch::pickersShowWholeDates() {
    QFETCH(int, which);
    SearchRun run;
    Tovmain& w = run.startWithStore();
    w.show();
    w.searchTabs->setCurrentIndex(2);
    QDateTimeEdit* picker = which == 1 ? run.page().DateTimePicker1 : run.page().DateTimePicker2;
    QCOMPARE(picker->width(), 85);
    for (const QDate& date : {QDate(2002, 10, 13), QDate(2008, 8, 28), QDate(2020, 4, 20)}) {
        picker->setDate(date);
        QLineEdit* face = picker->findChild<QLineEdit*>();
        QCOMPARE(face->text(), date.toString(QStringLiteral("yyyy/MM/dd")));
        face->grab();
        const int needed = QFontMetrics(face->font()).horizontalAdvance(face->text());
        QVERIFY2(
            needed + 4 <= face->width(),
            qPrintable(QStringLiteral("%1 px of text in %2 px").arg(needed).arg(face->width())));
        QVERIFY(face->geometry().right() < picker->width());
        QVERIFY(face->font().pixelSize() >= 9);
    }
}

// A year typed into the start picker replaces its year and keeps the hidden time of day.
void TestSearch::typedYearIsTaken() {
    SearchRun run;
    Tovmain& w = run.startWithStore();
    w.show();
    w.searchTabs->setCurrentIndex(2);
    QDateTimeEdit* start = run.page().DateTimePicker1;
    QLineEdit* face = start->findChild<QLineEdit*>();
    QTest::mouseClick(face, Qt::LeftButton, {}, QPoint(5, face->height() / 2));
    QTest::keyClicks(start, QStringLiteral("1999"));
    QCOMPARE(start->date(), QDate(1999, 10, 13));
    QCOMPARE(start->dateTime().time(), QTime(22, 22, 32, 950));
    // The day: a click on it, then two digits.
    QTest::mouseClick(face, Qt::LeftButton, {}, QPoint(face->width() - 12, face->height() / 2));
    QTest::keyClicks(start, QStringLiteral("05"));
    QCOMPARE(start->date(), QDate(1999, 10, 5));
    QCOMPARE(run.records().sql(), QStringLiteral("select * from 基本データ")); // no search
}

void TestSearch::searchPostsAnEdit() {
    SearchRun run;
    run.startWithStore();
    SearchPage& p = run.page();
    RecordSet& records = run.records();
    const int edited = records.value(QStringLiteral("No")).toInt();
    records.edit();
    records.setValue(QStringLiteral("所有者氏名"), QStringLiteral("鈴木次郎"));
    p.Edit1->setText(QStringLiteral("鈴木"));
    QTest::keyClick(p.Edit1, Qt::Key_Return);
    QVERIFY(run.dialogs.shown.empty());
    QCOMPARE(records.state(), RecordSet::State::Browsing);
    QCOMPARE(numbers(records), QList<int>{edited});
    QCOMPARE(run.ownerShown(), QStringLiteral("鈴木次郎"));

    // Text typed into a record box and not yet written is posted too.
    auto* ownerBox = qobject_cast<QLineEdit*>(
        run.window->basicPage().field(QStringLiteral("所有者氏名"))->control());
    QVERIFY(ownerBox);
    ownerBox->selectAll();
    QTest::keyClicks(ownerBox, QStringLiteral("Abe"));
    QCOMPARE(records.state(), RecordSet::State::Editing);
    p.Edit1->setText(QStringLiteral("ab"));
    QTest::keyClick(p.Edit1, Qt::Key_Return);
    QVERIFY(run.dialogs.shown.empty());
    QCOMPARE(numbers(records), QList<int>{edited});
    QCOMPARE(records.value(QStringLiteral("所有者氏名")).toString(), QStringLiteral("Abe"));
}

void TestSearch::refusedPostStopsTheSearch() {
    SearchRun run;
    run.startWithStore();
    SearchPage& p = run.page();
    RecordSet& records = run.records();
    records.edit();
    // Not a district of 行政区: the post is refused.
    records.setValue(QStringLiteral("所在区"), QStringLiteral("架空町"));
    p.Edit2->setText(QStringLiteral("木"));
    QTest::keyClick(p.Edit2, Qt::Key_Return);
    QCOMPARE(run.count(ScriptedDialogs::Shown::Error), 1);
    // Nothing typed is lost and the old query stays.
    QCOMPARE(records.state(), RecordSet::State::Editing);
    QCOMPARE(records.value(QStringLiteral("所在区")).toString(), QStringLiteral("架空町"));
    QCOMPARE(records.sql(), QStringLiteral("select * from 基本データ"));
}

void TestSearch::searchWithoutConnection() {
    SearchRun run; // no store beside the program: start-up could not connect
    run.startQuietly();
    SearchPage& p = run.page();
    QCOMPARE(p.ComboBox1->count(), 0);
    p.Edit1->setText(QStringLiteral("山"));
    QTest::keyClick(p.Edit1, Qt::Key_Return);
    p.DateTimePicker2Click();
    p.ComboBox1DblClick();
    QCOMPARE(run.count(ScriptedDialogs::Shown::Error), 3);
    QVERIFY(!run.dialogs.shown.front().text.isEmpty());
    QVERIFY(!run.records().isOpen());
    QCOMPARE(run.ownerShown(), QString());
}

void TestSearch::searchAfterClosing() {
    SearchRun run;
    run.startWithStore();
    SearchPage& p = run.page();
    run.records().closeDiscarding();
    p.Edit1->setText(QStringLiteral("田"));
    QTest::keyClick(p.Edit1, Qt::Key_Return);
    QVERIFY(run.dialogs.shown.empty());
    QCOMPARE(numbers(run.records()), (QList<int>{3}));
    QCOMPARE(run.ownerShown(), QStringLiteral("田中一郎"));
}

int main(int argc, char** argv) {
    TovApplication app(argc, argv);
    installJapaneseEnvironment(app);
    return test::runOnBothEngines<TestSearch>(argc, argv);
}

#include "test_search.moc"
