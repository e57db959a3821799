// The record set against real registers, an SQLite file and a register on a PostgreSQL
// server (each test runs on both): browsing, the editing rules, the state machine on empty
// and one-record sets, the closing rule that never loses an edit, and errors.

#include "engines.h"
#include "platform/errors.h"
#include "records/columns.h"
#include "records/engine.h"
#include "records/provider.h"
#include "records/recordset.h"
#include "store_fixture.h"

#include <QSignalSpy>
#include <QSqlError>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>
#include <optional>

using namespace tovera;
using tovera::test::errorOf;
using tovera::test::serverPass;

// A value of the register behind the record set's back, as the file stores it (dates as
// "yyyy-MM-ddTHH:mm:ss.zzz" text, whole numbers as qlonglong), on either engine.
QVariant fileValue(const QString& where, const QString& sql) {
    const QVariant v = test::registerValue(where, sql);
    if (v.metaType().id() == QMetaType::QDateTime) return storedDateText(v.toDateTime());
    if (v.metaType().id() == QMetaType::Int) return v.toLongLong();
    return v;
}

namespace {

const QString kAll = QStringLiteral("select * from 基本データ");

QVariantMap rec(int no, const QString& name, const QVariant& zumen = {},
                const QVariant& excel = {}) {
    QVariantMap m{{QStringLiteral("No"), no},
                  {QStringLiteral("所有者氏名"), name},
                  {QStringLiteral("所在区"), QStringLiteral("北町")}};
    if (zumen.isValid()) m.insert(QStringLiteral("zumen"), zumen);
    if (excel.isValid()) m.insert(QStringLiteral("excel"), excel);
    return m;
}

struct Opened {
    Connection connection;
    std::unique_ptr<RecordSet> records;
    explicit Opened(const QString& path) {
        connection.open(connectionStringFor(path));
        records = std::make_unique<RecordSet>(connection);
        records->open(kAll);
    }
    ~Opened() { records.reset(); }
};

// A bound box that holds text not yet written into its column.
struct TextLink : RecordLink {
    RecordSet& rs;
    QString column, text;
    bool modified = false;
    TextLink(RecordSet& r, QString c) : rs(r), column(std::move(c)) { rs.addLink(this); }
    ~TextLink() override { rs.removeLink(this); }
    void updateRecord() override {
        if (modified) rs.setValue(column, text);
        modified = false;
    }
};

// Another program's connection to the store that holds an exclusive lock while it lives.
struct ExclusiveLock {
    test::RawConnection other;
    std::optional<QSqlQuery> q;
    explicit ExclusiveLock(const QString& path) : other(path) {
        q.emplace(other.database());
        if (!q->exec(QStringLiteral("BEGIN EXCLUSIVE"))) qFatal("no exclusive lock");
    }
    ~ExclusiveLock() {
        q->exec(QStringLiteral("ROLLBACK"));
        q.reset();
    }
};

// Damages the chain of overflow pages that holds the long text `marker` repeats in, so
// that reading that record fails while the rest of the file reads as before.
void damageLongText(const QString& path, char marker) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadWrite));
    QByteArray bytes = f.readAll();
    const int page = 4096;
    QVERIFY(bytes.size() % page == 0);
    const QByteArray run(64, marker);
    int damaged = 0;
    for (int at = 0; at < bytes.size(); at += page)
        if (bytes.mid(at + 4, run.size()) == run) { // an overflow page: next page, then text
            bytes[at] = char(0x7f);                 // a next page far beyond the file's end
            ++damaged;
        }
    QVERIFY(damaged > 0);
    QVERIFY(f.seek(0));
    QCOMPARE(f.write(bytes), bytes.size());
    f.close();
}

} // namespace

class TestRecordSet : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    int n = 0;
    QString fresh(const QList<QVariantMap>& rows) {
        return test::makeRegister(dir.filePath(QStringLiteral("s%1.mdb").arg(++n)), rows);
    }

private Q_SLOTS:
    void init() { TOVERA_REQUIRE_ENGINE(); }

    void browseMovesAndAfterScroll() {
        const QString p =
            fresh({rec(1, QStringLiteral("林　みどり")), rec(2, QStringLiteral("田中　節子")),
                   rec(3, QStringLiteral("山路　千代子"))});
        Connection c;
        c.open(connectionStringFor(p));
        RecordSet rs(c);
        QSignalSpy scroll(&rs, &RecordSet::afterScroll);
        rs.open(kAll);
        QCOMPARE(scroll.count(), 1);
        QCOMPARE(rs.recordCount(), 3);
        QCOMPARE(rs.value(QStringLiteral("所有者氏名")).toString(), QStringLiteral("林　みどり"));
        QVERIFY(!rs.canMovePrior());
        rs.next();
        rs.next();
        QCOMPARE(rs.currentIndex(), 2);
        QCOMPARE(rs.text(QStringLiteral("No")), QStringLiteral("3"));
        QVERIFY(!rs.canMoveNext());
        rs.next(); // at the end: no move, no afterScroll
        QCOMPARE(scroll.count(), 3);
        rs.first();
        QCOMPARE(rs.currentIndex(), 0);
        rs.last();
        rs.prior();
        QCOMPARE(rs.value(QStringLiteral("No")).toInt(), 2);
        QCOMPARE(scroll.count(), 6);
        QCOMPARE(rs.columnNames().size(), 30);
        QCOMPARE(rs.columnNames().last(), QStringLiteral("excel"));
    }

    void recordsComeInEntryOrder_data() {
        QTest::addColumn<QString>("sql");
        QTest::newRow("full list") << QStringLiteral("select * from 基本データ");
        QTest::newRow("owner prefix") << QStringLiteral(
            "SELECT * FROM 基本データ \r\nwhere 所有者氏名 Like \r\n'山%'\r\n;\r\n");
    }
    void recordsComeInEntryOrder() {
        // Entered with names and dates running backwards, so that neither the name nor the
        // date index gives entry order by itself.
        QList<QVariantMap> rows;
        for (int no = 1; no <= 5; ++no) {
            QVariantMap r = rec(no, QStringLiteral("山") + QString(QChar(0x4E94 - no)));
            r.insert(
                QStringLiteral("日付"),
                QStringLiteral("2000-01-%1T16:01:00.000").arg(10 - no, 2, 10, QLatin1Char('0')));
            rows << r;
        }
        Opened o(fresh(rows));
        RecordSet& rs = *o.records;
        QFETCH(QString, sql);
        rs.open(sql);
        QCOMPARE(rs.recordCount(), 5);
        for (int no = 1; no <= 5; ++no) {
            QCOMPARE(rs.value(QStringLiteral("No")).toInt(), no);
            rs.next();
        }
    }

    void attachmentLengthsWithoutLoading() {
        const QString p =
            fresh({rec(1, QStringLiteral("a"), QByteArray("x")), rec(2, QStringLiteral("b")),
                   rec(3, QStringLiteral("c"), QByteArray(), QByteArray(70000, 'q'))});
        Opened o(p);
        RecordSet& rs = *o.records;
        QCOMPARE(rs.blobLength(QStringLiteral("zumen")), 1); // one byte counts
        QCOMPARE(rs.readBlob(QStringLiteral("zumen")), QByteArray("x"));
        QVERIFY(!rs.value(QStringLiteral("zumen")).isValid());
        rs.next();
        QCOMPARE(rs.blobLength(QStringLiteral("zumen")), 0);
        QCOMPARE(rs.blobLength(QStringLiteral("excel")), 0);
        rs.next();
        QCOMPARE(rs.blobLength(QStringLiteral("excel")), 70000);
        QCOMPARE(rs.readBlob(QStringLiteral("excel")), QByteArray(70000, 'q'));
    }

    void writingOutsideEditFails() {
        Opened o(fresh({rec(1, QStringLiteral("a"))}));
        RecordSet& rs = *o.records;
        QCOMPARE(errorOf([&] { rs.setValue(QStringLiteral("備考"), QStringLiteral("x")); }),
                 QStringLiteral("データセットが編集または挿入モードではありません"));
        QCOMPARE(rs.state(), RecordSet::State::Browsing);
        rs.close();
        QVERIFY(!errorOf([&] { rs.edit(); }).isEmpty());
    }

    void editThenNextPosts_data() {
        QTest::addColumn<QString>("column");
        QTest::addColumn<QVariant>("typed");
        QTest::addColumn<QVariant>("stored");
        QTest::newRow("dashes are text")
            << QStringLiteral("構造") << QVariant(QStringLiteral("---"))
            << QVariant(QStringLiteral("---"));
        QTest::newRow("area") << QStringLiteral("１Ｆ") << QVariant(QStringLiteral(" 62.10 "))
                              << QVariant(62.1);
        QTest::newRow("full-width digits")
            << QStringLiteral("評点数") << QVariant(QStringLiteral("８１４３７"))
            << QVariant(81437.0);
        QTest::newRow("empty area is null")
            << QStringLiteral("２Ｆ") << QVariant(QString()) << QVariant();
        QTest::newRow("year as typed") << QStringLiteral("建年") << QVariant(QStringLiteral("H10"))
                                       << QVariant(QStringLiteral("H10"));
        QTest::newRow("date with time of day")
            << QStringLiteral("日付") << QVariant(QDateTime(QDate(2002, 10, 13), QTime(16, 1, 0)))
            << QVariant(QStringLiteral("2002-10-13T16:01:00.000"));
    }
    void editThenNextPosts() {
        QFETCH(QString, column);
        QFETCH(QVariant, typed);
        QFETCH(QVariant, stored);
        const QString p = fresh({rec(1, QStringLiteral("a")), rec(2, QStringLiteral("b"))});
        Opened o(p);
        RecordSet& rs = *o.records;
        rs.edit();
        rs.setValue(column, typed);
        QCOMPARE(rs.state(), RecordSet::State::Editing);
        rs.next();
        QCOMPARE(rs.state(), RecordSet::State::Browsing);
        QCOMPARE(rs.currentIndex(), 1);
        const QVariant inFile = fileValue(
            p, QStringLiteral("SELECT \"%1\" FROM 基本データ WHERE \"No\" = 1").arg(column));
        QCOMPARE(inFile.isNull(), stored.isNull());
        if (!stored.isNull()) QCOMPARE(inFile, stored);
        rs.prior();
        if (stored.metaType().id() == QMetaType::QString && column == QStringLiteral("日付"))
            QCOMPARE(rs.value(column).toDateTime(), typed.toDateTime());
    }

    void unchangedEditIsCancelledByMove() {
        const QString p = fresh({rec(1, QStringLiteral("a")), rec(2, QStringLiteral("b"))});
        Opened o(p);
        RecordSet& rs = *o.records;
        QSignalSpy state(&rs, &RecordSet::stateChanged);
        rs.edit();
        QVERIFY(!rs.isModified());
        rs.next();
        QCOMPARE(rs.state(), RecordSet::State::Browsing);
        QCOMPARE(state.count(), 2);
    }

    void refusedValuesKeepTheMode_data() {
        QTest::addColumn<QString>("column");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("message");
        QTest::newRow("text in area") << QStringLiteral("床面積") << QStringLiteral("広い")
                                      << QStringLiteral("'広い' は列 床面積 の数値ではありません");
        QTest::newRow("fraction in No") << QStringLiteral("No") << QStringLiteral("1.5")
                                        << QStringLiteral("'1.5' は列 No の整数ではありません");
        QTest::newRow("bad date") << QStringLiteral("登記日") << QStringLiteral("昨日")
                                  << QStringLiteral("'昨日' は列 登記日 の日付ではありません");
    }
    void refusedValuesKeepTheMode() {
        QFETCH(QString, column);
        QFETCH(QString, typed);
        QFETCH(QString, message);
        const QString p = fresh({rec(1, QStringLiteral("a"))});
        Opened o(p);
        RecordSet& rs = *o.records;
        rs.edit();
        QCOMPARE(errorOf([&] { rs.setValue(column, typed); }), message);
        QCOMPARE(rs.state(), RecordSet::State::Editing);
        QVERIFY(!rs.isModified());
    }

    void districtMustExist() {
        const QString p = fresh({rec(1, QStringLiteral("a"))});
        Opened o(p);
        RecordSet& rs = *o.records;
        rs.edit();
        rs.setValue(QStringLiteral("所在区"), QStringLiteral("火星町"));
        QCOMPARE(errorOf([&] { rs.post(); }),
                 QStringLiteral("所在区 '火星町' は行政区に登録されていません"));
        QCOMPARE(rs.state(), RecordSet::State::Editing);
        QCOMPARE(rs.value(QStringLiteral("所在区")).toString(), QStringLiteral("火星町"));
        rs.setValue(QStringLiteral("所在区"), QStringLiteral("緑ヶ丘"));
        rs.post();
        QCOMPARE(fileValue(p, QStringLiteral("SELECT 所在区 FROM 基本データ")).toString(),
                 QStringLiteral("緑ヶ丘"));
    }

    void emptySet_data() {
        QTest::addColumn<QString>("action");
        QTest::newRow("edit then cancel") << QStringLiteral("edit-cancel");
        QTest::newRow("edit, write, post") << QStringLiteral("edit-post");
        QTest::newRow("insert then move") << QStringLiteral("insert-next");
        QTest::newRow("delete") << QStringLiteral("delete");
    }
    void emptySet() {
        QFETCH(QString, action);
        const QString p = fresh({});
        Connection c;
        c.open(connectionStringFor(p));
        RecordSet rs(c);
        QSignalSpy scroll(&rs, &RecordSet::afterScroll);
        rs.open(kAll);
        QCOMPARE(scroll.count(), 0); // an empty set reports no record change
        QVERIFY(rs.isEmpty());
        if (action == QLatin1String("delete")) {
            QCOMPARE(errorOf([&] { rs.remove(); }),
                     QStringLiteral("空のデータセットでは操作を実行できません"));
            return;
        }
        if (action == QLatin1String("insert-next"))
            rs.insert();
        else
            rs.edit(); // with no record, edit starts an insertion
        QCOMPARE(rs.state(), RecordSet::State::Inserting);
        QCOMPARE(scroll.count(), 1);
        if (action == QLatin1String("edit-cancel")) {
            rs.cancel();
            QCOMPARE(scroll.count(), 2); // a cancelled insertion is a record change
            QVERIFY(rs.isEmpty());
            QCOMPARE(rs.currentIndex(), -1);
        } else if (action == QLatin1String("edit-post")) {
            rs.setValue(QStringLiteral("所有者氏名"), QStringLiteral("新井"));
            rs.post();
            QCOMPARE(rs.recordCount(), 1);
            QCOMPARE(rs.currentIndex(), 0);
            QCOMPARE(rs.value(QStringLiteral("所有者氏名")).toString(), QStringLiteral("新井"));
        } else {
            rs.next(); // nothing typed: the insertion is dropped
            QVERIFY(rs.isEmpty());
            QCOMPARE(rs.state(), RecordSet::State::Browsing);
        }
        QCOMPARE(fileValue(p, QStringLiteral("SELECT count(*) FROM 基本データ")).toInt(),
                 rs.recordCount());
    }

    void oneRecordSet_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QStringList>("names"); // names in the set afterwards
        QTest::addColumn<int>("current");
        QTest::addColumn<int>("scrolls"); // afterScroll after the open
        QTest::newRow("insert, cancel")
            << QStringLiteral("insert-cancel") << QStringList{QStringLiteral("a")} << 0 << 2;
        QTest::newRow("insert, post")
            << QStringLiteral("insert-post")
            << QStringList{QStringLiteral("new"), QStringLiteral("a")} << 0 << 1;
        QTest::newRow("insert, delete")
            << QStringLiteral("insert-delete") << QStringList{QStringLiteral("a")} << 0 << 2;
        QTest::newRow("delete") << QStringLiteral("delete") << QStringList{} << -1 << 1;
        QTest::newRow("edit, delete") << QStringLiteral("edit-delete") << QStringList{} << -1 << 1;
        QTest::newRow("edit, cancel")
            << QStringLiteral("edit-cancel") << QStringList{QStringLiteral("a")} << 0 << 0;
    }
    void oneRecordSet() {
        QFETCH(QString, action);
        QFETCH(QStringList, names);
        QFETCH(int, current);
        QFETCH(int, scrolls);
        const QString p = fresh({rec(1, QStringLiteral("a"))});
        Opened o(p);
        RecordSet& rs = *o.records;
        QSignalSpy scroll(&rs, &RecordSet::afterScroll);
        const QString name = QStringLiteral("所有者氏名");
        if (action.startsWith(QLatin1String("insert"))) {
            rs.insert();
            QCOMPARE(rs.state(), RecordSet::State::Inserting);
            QVERIFY(rs.value(name).isNull());
            rs.setValue(name, QStringLiteral("new"));
        } else if (action.startsWith(QLatin1String("edit"))) {
            rs.edit();
            rs.setValue(name, QStringLiteral("changed"));
        }
        if (action.endsWith(QLatin1String("cancel"))) rs.cancel();
        if (action.endsWith(QLatin1String("post"))) rs.post();
        if (action.endsWith(QLatin1String("delete"))) rs.remove();
        QCOMPARE(rs.state(), RecordSet::State::Browsing);
        QCOMPARE(rs.currentIndex(), current);
        QCOMPARE(scroll.count(), scrolls);
        QStringList seen;
        if (!rs.isEmpty()) {
            rs.first();
            do seen << rs.text(name);
            while (rs.canMoveNext() && (rs.next(), true));
        }
        QCOMPARE(seen, names);
        rs.refresh();
        QCOMPARE(rs.recordCount(), names.size());
    }

    // Closing (a search) or leaving the program ends an edit as a move does.
    void closingEndsAnEdit_data() {
        QTest::addColumn<QString>("district");
        QTest::addColumn<bool>("closes");
        QTest::newRow("changed: posted") << QStringLiteral("港町") << true;
        QTest::newRow("unchanged: cancelled") << QString() << true;
        QTest::newRow("post fails: stays open") << QStringLiteral("火星町") << false;
    }
    void closingEndsAnEdit() {
        QFETCH(QString, district);
        QFETCH(bool, closes);
        const QString p = fresh({rec(1, QStringLiteral("林")), rec(2, QStringLiteral("田中"))});
        Opened o(p);
        RecordSet& rs = *o.records;
        rs.edit();
        if (!district.isEmpty()) rs.setValue(QStringLiteral("所在区"), district);
        const QString error = errorOf([&] {
            rs.open(QStringLiteral(
                "SELECT * FROM 基本データ \r\nwhere 所有者氏名 Like \r\n'田%'\r\n;\r\n"));
        });
        QCOMPARE(error.isEmpty(), closes);
        if (closes) {
            QCOMPARE(rs.recordCount(), 1);
            QCOMPARE(fileValue(p, QStringLiteral("SELECT 所在区 FROM 基本データ WHERE \"No\" = 1"))
                         .toString(),
                     district.isEmpty() ? QStringLiteral("北町") : district);
        } else {
            QCOMPARE(rs.state(), RecordSet::State::Editing);
            QCOMPARE(rs.value(QStringLiteral("所在区")).toString(), district);
            QCOMPARE(rs.recordCount(), 2);
        }
    }

    void boundTextReachesThePost() {
        const QString p = fresh({rec(1, QStringLiteral("a")), rec(2, QStringLiteral("b"))});
        Opened o(p);
        RecordSet& rs = *o.records;
        TextLink box(rs, QStringLiteral("登記１Ｆ"));
        rs.edit();
        box.text = QStringLiteral("66.24");
        box.modified = true; // typed, box not yet left
        rs.next();
        QCOMPARE(fileValue(p, QStringLiteral("SELECT 登記１Ｆ FROM 基本データ WHERE \"No\" = 1"))
                     .toDouble(),
                 66.24);
        // A box whose text the column refuses stops the move.
        rs.edit();
        box.text = QStringLiteral("abc");
        box.modified = true;
        QVERIFY(!errorOf([&] { rs.first(); }).isEmpty());
        QCOMPARE(rs.currentIndex(), 1);
        QCOMPARE(rs.state(), RecordSet::State::Editing);
    }

    void searchesWithParameters() {
        auto at = [](int y, int m, int d, QTime t) { return QDateTime(QDate(y, m, d), t); };
        const QTime picker(16, 1, 0);
        QList<QVariantMap> rows;
        const QDate dates[] = {QDate(2002, 10, 12), QDate(2002, 10, 13), QDate(2002, 10, 14)};
        for (int i = 0; i < 3; ++i) {
            QVariantMap r = rec(i + 1, QStringLiteral("x"));
            r.insert(
                QStringLiteral("日付"),
                QDateTime(dates[i], picker).toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")));
            rows << r;
        }
        Opened o(fresh(rows));
        RecordSet& rs = *o.records;
        const QString q = QStringLiteral("SELECT * FROM 基本データ \r\nWhere \r\n日付 >= "
                                         ":Date_s\r\n and \r\n日付 <= :Date_e\r\n;\r\n");
        rs.open(q, {{QStringLiteral("Date_s"), at(2002, 10, 12, QTime(22, 22, 32))},
                    {QStringLiteral("Date_e"), at(2002, 10, 14, QTime(22, 22, 55))}});
        QCOMPARE(rs.recordCount(), 2); // the 12th at 16:01 lies before the start bound
        QCOMPARE(rs.value(QStringLiteral("No")).toInt(), 2);
        rs.open(q, {{QStringLiteral("Date_s"), at(2002, 10, 13, QTime(22, 22, 32))},
                    {QStringLiteral("Date_e"), at(2002, 10, 13, QTime(22, 22, 55))}});
        QVERIFY(rs.isEmpty());
        rs.open(QStringLiteral(
            "SELECT * FROM 基本データ \r\nwhere 所有者氏名 Like \r\n'it''s%'\r\n;\r\n"));
        QVERIFY(rs.isEmpty());
        QVERIFY(!errorOf([&] { rs.open(QStringLiteral("select No from 基本データ")); }).isEmpty());
        QVERIFY(!rs.isOpen());
        QVERIFY(!errorOf([&] { rs.reopen(); }).isEmpty()); // the failed query is kept
        QVERIFY(!rs.isOpen());
    }

    // The prefix searches find the same records on both engines: ASCII letters without
    // regard to case, full-width letters as they are, "%" and "_" typed by the user as
    // wildcards, and "\\" as an ordinary character.
    void likeFindsTheSameOnBothEngines_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("found"); // the No of the records found
        QTest::newRow("ASCII, either case") << QStringLiteral("ab") << QStringLiteral("1,2");
        QTest::newRow("ASCII upper") << QStringLiteral("AB") << QStringLiteral("1,2");
        QTest::newRow("full-width kept") << QStringLiteral("ａｂ") << QStringLiteral("3");
        QTest::newRow("full-width upper") << QStringLiteral("Ａｂ") << QStringLiteral("4");
        QTest::newRow("typed percent") << QStringLiteral("a%c") << QStringLiteral("1,2,5,6,7");
        QTest::newRow("typed underscore") << QStringLiteral("a_c") << QStringLiteral("1,2,5,6,7");
        QTest::newRow("backslash") << QStringLiteral("a\\") << QStringLiteral("7");
        QTest::newRow("kanji") << QStringLiteral("山田") << QStringLiteral("8");
        QTest::newRow("quote") << QStringLiteral("O'B") << QStringLiteral("9");
        QTest::newRow("empty: every owner") << QString() << QStringLiteral("1,2,3,4,5,6,7,8,9");
    }
    void likeFindsTheSameOnBothEngines() {
        QFETCH(QString, typed);
        QFETCH(QString, found);
        const char* owners[] = {"abc", "ABC",  "ａｂｃ",   "Ａｂｃ", "a%c",
                                "a_c", "a\\c", "山田太郎", "O'Brien"};
        QList<QVariantMap> rows;
        for (int i = 0; i < 9; ++i) rows << rec(i + 1, QString::fromUtf8(owners[i]));
        rows << QVariantMap{{QStringLiteral("No"), 10}}; // no owner: never found
        Opened o(fresh(rows));
        RecordSet& rs = *o.records;
        QString literal = typed + QLatin1Char('%');
        literal.replace(QLatin1Char('\''), QStringLiteral("''"));
        rs.open(
            QStringLiteral("SELECT * FROM 基本データ \r\nwhere 所有者氏名 Like \r\n'%1'\r\n;\r\n")
                .arg(literal));
        QStringList numbers;
        for (bool more = !rs.isEmpty(); more; more = rs.canMoveNext() && (rs.next(), true))
            numbers << rs.text(QStringLiteral("No"));
        QCOMPARE(numbers.join(QLatin1Char(',')), found);
    }

    // The server serves the prefix searches from its indexes.
    void serverSearchesUseIndexes_data() {
        QTest::addColumn<QString>("condition");
        QTest::newRow("owner") << QStringLiteral("where 所有者氏名 Like '山田%'");
        QTest::newRow("owner, ASCII") << QStringLiteral("where 所有者氏名 Like 'Ab%'");
        QTest::newRow("district") << QStringLiteral("where 所在区 Like '北%'");
        QTest::newRow("remarks") << QStringLiteral("where 備考 Like '木造%'");
        QTest::newRow("date") << QStringLiteral(
            "Where 日付 >= '2002-10-13' and 日付 <= '2002-10-14'");
    }
    void serverSearchesUseIndexes() {
        QFETCH(QString, condition);
        if (!serverPass()) QSKIP("the file's plans are checked by its benchmark");
        const QString p = fresh({rec(1, QStringLiteral("山田"))});
        Connection c;
        c.open(p);
        QSqlQuery q(c.database());
        QVERIFY(q.exec(QStringLiteral("SET enable_seqscan = off")));
        const Engine engine = Engine::of(c.database());
        QVERIFY(q.exec(QStringLiteral("EXPLAIN ") +
                       engine.keyQuery(QStringLiteral("\"基本データ\""), condition)));
        QString plan;
        while (q.next()) plan += q.value(0).toString() + QLatin1Char('\n');
        QVERIFY2(plan.contains(QLatin1String("Index")), qPrintable(plan));
        QVERIFY2(!plan.contains(QLatin1String("Seq Scan")), qPrintable(plan));
    }

    void refreshSeesOtherWritesAndKeepsPlace() {
        const QString p = fresh({rec(1, QStringLiteral("a")), rec(2, QStringLiteral("b"))});
        Opened o(p);
        RecordSet& rs = *o.records;
        rs.next();
        {
            Connection other;
            other.open(connectionStringFor(p));
            QSqlQuery q(other.database());
            QVERIFY(q.exec(QStringLiteral("INSERT INTO 基本データ (\"No\") VALUES (3)")));
            QVERIFY(q.exec(QStringLiteral("DELETE FROM 基本データ WHERE \"No\" = 1")));
        }
        rs.refresh();
        QCOMPARE(rs.recordCount(), 2);
        QCOMPARE(rs.value(QStringLiteral("No")).toInt(), 2);
        QCOMPARE(rs.currentIndex(), 0);
    }

    // Two connections on one file: a post or a delete of a record the other deleted or
    // changed after we read it is refused, keeps the edit as typed and stores nothing.
    void lostUpdatesRefused_data() {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QString>("other");
        QTest::addColumn<QString>("message");
        // The refusals name the record: No 2, owner b.
        const QString postGone =
            QStringLiteral("No 2（b）のレコードは読み込んだ後に他のユーザーによ"
                           "って削除されたため、変更を保存できません");
        const QString postChanged = QStringLiteral("No 2（b）のレコードは読み込んだ後に他のユーザー"
                                                   "によって変更されたため、変更を保存できません");
        const QString deleteGone = QStringLiteral(
            "No "
            "2（b）のレコードは読み込んだ後に他のユーザーによって削除されたため、削除できません");
        const QString deleteChanged = QStringLiteral(
            "No "
            "2（b）のレコードは読み込んだ後に他のユーザーによって変更されたため、削除できません");
        const QString deleted = QStringLiteral("DELETE FROM 基本データ WHERE \"No\" = 2");
        const QString sameColumn =
            QStringLiteral("UPDATE 基本データ SET 備考 = 'theirs' WHERE \"No\" = 2");
        const QString otherColumn =
            QStringLiteral("UPDATE 基本データ SET 所有者氏名 = 'theirs' WHERE \"No\" = 2");
        const QString emptied =
            QStringLiteral("UPDATE 基本データ SET 所在区 = NULL WHERE \"No\" = 2");
        const QString drawing = QStringLiteral("UPDATE 基本データ SET zumen = ? WHERE \"No\" = 2");
        const QString sheet = QStringLiteral("UPDATE 基本データ SET excel = ? WHERE \"No\" = 2");
        const QString number = QStringLiteral("UPDATE 基本データ SET \"No\" = 22 WHERE \"No\" = 2");
        QTest::newRow("post, deleted") << QStringLiteral("post") << deleted << postGone;
        QTest::newRow("post, same column") << QStringLiteral("post") << sameColumn << postChanged;
        QTest::newRow("post, other column") << QStringLiteral("post") << otherColumn << postChanged;
        QTest::newRow("post, value emptied") << QStringLiteral("post") << emptied << postChanged;
        QTest::newRow("post, drawing") << QStringLiteral("post") << drawing << postChanged;
        QTest::newRow("post, sheet added") << QStringLiteral("post") << sheet << postChanged;
        QTest::newRow("post, number") << QStringLiteral("post") << number << postChanged;
        QTest::newRow("delete, deleted") << QStringLiteral("delete") << deleted << deleteGone;
        QTest::newRow("delete, changed")
            << QStringLiteral("delete") << otherColumn << deleteChanged;
        QTest::newRow("delete, drawing") << QStringLiteral("delete") << drawing << deleteChanged;
    }
    void lostUpdatesRefused() {
        QFETCH(QString, operation);
        QFETCH(QString, other);
        QFETCH(QString, message);
        const QString p =
            fresh({rec(1, QStringLiteral("a")), rec(2, QStringLiteral("b"), QByteArray("plan")),
                   rec(3, QStringLiteral("c"))});
        Opened o(p);
        RecordSet& rs = *o.records;
        rs.next();
        const bool post = operation == QLatin1String("post");
        if (post) {
            rs.edit();
            rs.setValue(QStringLiteral("備考"), QStringLiteral("typed"));
        }
        auto fileState = [&] { return test::registerState(p); };
        {
            Connection theirs;
            theirs.open(connectionStringFor(p));
            QSqlQuery q(theirs.database());
            bool ok = q.prepare(other);
            if (other.contains(QLatin1String("zumen ="))) q.addBindValue(QByteArray("\x01"));
            if (other.contains(QLatin1String("excel ="))) q.addBindValue(QByteArray("\x01\x02"));
            QVERIFY2(ok && q.exec(), qPrintable(q.lastError().text()));
        }
        const QString before = fileState();
        QSignalSpy scroll(&rs, &RecordSet::afterScroll);
        QCOMPARE(errorOf([&] { post ? rs.post() : rs.remove(); }), message);
        QCOMPARE(fileState(), before);
        QCOMPARE(scroll.count(), 0);
        QCOMPARE(rs.currentIndex(), 1);
        QCOMPARE(rs.recordCount(), 3);
        if (post) {
            QCOMPARE(rs.state(), RecordSet::State::Editing);
            QCOMPARE(rs.value(QStringLiteral("備考")).toString(), QStringLiteral("typed"));
            QVERIFY(rs.isModified());
            // Refused again while nothing changed; the edit can still be dropped.
            QCOMPARE(errorOf([&] { rs.post(); }), message);
            rs.cancel();
        } else {
            QCOMPARE(rs.state(), RecordSet::State::Browsing);
        }
        QCOMPARE(rs.value(QStringLiteral("所有者氏名")).toString(), QStringLiteral("b"));
    }

    // Writes of other records, and our own earlier posts, are no reason to refuse.
    void postsAfterOtherWritesGoThrough() {
        const QString p = fresh({rec(1, QStringLiteral("a")), rec(2, QStringLiteral("b"))});
        Opened o(p);
        RecordSet& rs = *o.records;
        {
            Connection theirs;
            theirs.open(connectionStringFor(p));
            QSqlQuery q(theirs.database());
            QVERIFY(q.exec(QStringLiteral("UPDATE 基本データ SET 備考 = 'x' WHERE \"No\" = 2")));
            QVERIFY(q.exec(QStringLiteral("INSERT INTO 基本データ (\"No\") VALUES (3)")));
        }
        for (const QString& text : {QStringLiteral("one"), QStringLiteral("two")}) {
            rs.edit();
            rs.setValue(QStringLiteral("備考"), text);
            rs.setValue(QStringLiteral("日付"), QDateTime(QDate(1999, 3, 4), QTime(16, 1)));
            rs.setValue(QStringLiteral("zumen"), text.toUtf8());
            rs.post();
        }
        rs.remove();
        QCOMPARE(test::registerState(p), QStringLiteral("2:b:x::|3::::"));
    }

    // Refresh when the record shown has gone: the nearest record after it that is still
    // there becomes current, else the nearest before it, and the refresh says so.
    void refreshAfterTheRecordWent_data() {
        QTest::addColumn<int>("shown");
        QTest::addColumn<QString>("deleted");
        QTest::addColumn<int>("now");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("message");
        const QString next = QStringLiteral(
            "表示していたレコードは他のユーザーによって削除されたため、次のレコードを表示しました");
        const QString prior = QStringLiteral(
            "表示していたレコードは他のユーザーによって削除されたため、前のレコードを表示しました");
        const QString none = QStringLiteral(
            "表示していたレコードは他のユーザーによって削除され、表示できるレコードはありません");
        QTest::newRow("middle") << 2 << QStringLiteral("2") << 3 << 1 << next;
        QTest::newRow("middle and the next") << 2 << QStringLiteral("2,3") << 4 << 1 << next;
        QTest::newRow("first") << 1 << QStringLiteral("1") << 2 << 0 << next;
        QTest::newRow("last") << 4 << QStringLiteral("4") << 3 << 2 << prior;
        QTest::newRow("the rest after it") << 3 << QStringLiteral("3,4") << 2 << 1 << prior;
        QTest::newRow("all") << 2 << QStringLiteral("1,2,3,4") << 0 << -1 << none;
        QTest::newRow("another one") << 2 << QStringLiteral("3") << 2 << 1 << QString();
    }
    void refreshAfterTheRecordWent() {
        QFETCH(int, shown);
        QFETCH(QString, deleted);
        QFETCH(int, now);
        QFETCH(int, index);
        QFETCH(QString, message);
        const QString p = fresh({rec(1, QStringLiteral("a")), rec(2, QStringLiteral("b")),
                                 rec(3, QStringLiteral("c")), rec(4, QStringLiteral("d"))});
        Opened o(p);
        RecordSet& rs = *o.records;
        while (rs.value(QStringLiteral("No")).toInt() != shown) rs.next();
        {
            Connection theirs;
            theirs.open(connectionStringFor(p));
            QSqlQuery q(theirs.database());
            QVERIFY(
                q.exec(QStringLiteral("DELETE FROM 基本データ WHERE \"No\" IN (%1)").arg(deleted)));
        }
        QSignalSpy scroll(&rs, &RecordSet::afterScroll);
        QCOMPARE(errorOf([&] { rs.refresh(); }), message);
        QCOMPARE(rs.state(), RecordSet::State::Browsing);
        QCOMPARE(rs.recordCount(), 4 - int(deleted.split(QLatin1Char(',')).size()));
        QCOMPARE(rs.value(QStringLiteral("No")).toInt(), now);
        QCOMPARE(rs.currentIndex(), index);
        QCOMPARE(scroll.count(), message.isEmpty() ? 0 : 1);
    }

    void lockedFileReportsAndKeepsTheEdit() {
        if (serverPass()) QSKIP("the file's lock: a server register has none");
        const QString p = fresh({rec(1, QStringLiteral("a"))});
        Opened o(p);
        RecordSet& rs = *o.records;
        rs.edit();
        rs.setValue(QStringLiteral("備考"), QStringLiteral("メモ"));
        QString error;
        {
            Connection other;
            other.open(connectionStringFor(p));
            QSqlQuery q(other.database());
            QVERIFY(q.exec(QStringLiteral("BEGIN IMMEDIATE")));
            error = errorOf([&] { rs.post(); });
            QVERIFY(q.exec(QStringLiteral("ROLLBACK")));
        }
        QCOMPARE(error,
                 QStringLiteral("データベースファイルは他のユーザーが使用中でロックされています"));
        QCOMPARE(rs.state(), RecordSet::State::Editing);
        rs.post();
        QCOMPARE(fileValue(p, QStringLiteral("SELECT 備考 FROM 基本データ")).toString(),
                 QStringLiteral("メモ"));
    }

    // A move whose row cannot be read leaves the position, the record shown and the mode
    // as they were, so the next delete hits the record shown.
    void failedReadLeavesThePlace_data() {
        QTest::addColumn<QString>("operation");
        QTest::newRow("next") << QStringLiteral("next");
        QTest::newRow("last") << QStringLiteral("last");
        QTest::newRow("prior") << QStringLiteral("prior");
        QTest::newRow("first") << QStringLiteral("first");
        QTest::newRow("cancel of an insertion") << QStringLiteral("cancel");
        QTest::newRow("edit ended by a move") << QStringLiteral("edited next");
    }
    void failedReadLeavesThePlace() {
        QFETCH(QString, operation);
        if (serverPass()) QSKIP("the file's lock: a server register has none");
        const QString p = fresh({rec(1, QStringLiteral("a")), rec(2, QStringLiteral("b")),
                                 rec(3, QStringLiteral("c"))});
        Opened o(p);
        QVERIFY(test::useRollbackJournal(o.connection.database()));
        RecordSet& rs = *o.records;
        rs.next(); // on No 2, in the middle
        if (operation == QLatin1String("cancel")) rs.insert();
        if (operation == QLatin1String("edited next")) rs.edit(); // nothing changed: cancelled
        const RecordSet::State mode = rs.state();
        QSignalSpy scroll(&rs, &RecordSet::afterScroll);
        QString error;
        {
            ExclusiveLock lock(p);
            error = errorOf([&] {
                if (operation == QLatin1String("next") || operation == QLatin1String("edited next"))
                    rs.next();
                else if (operation == QLatin1String("last"))
                    rs.last();
                else if (operation == QLatin1String("prior"))
                    rs.prior();
                else if (operation == QLatin1String("first"))
                    rs.first();
                else
                    rs.cancel();
            });
        }
        QCOMPARE(error,
                 QStringLiteral("データベースファイルは他のユーザーが使用中でロックされています"));
        QCOMPARE(rs.currentIndex(), 1);
        QCOMPARE(scroll.count(), 0);
        if (operation == QLatin1String("cancel")) {
            QCOMPARE(rs.state(), RecordSet::State::Inserting); // still the new record
            QCOMPARE(rs.value(QStringLiteral("No")), QVariant());
            rs.cancel();
        } else {
            QCOMPARE(rs.state(),
                     operation == QLatin1String("edited next") ? RecordSet::State::Browsing : mode);
            QCOMPARE(rs.value(QStringLiteral("No")).toInt(), 2);
            QCOMPARE(rs.value(QStringLiteral("所有者氏名")).toString(), QStringLiteral("b"));
        }
        QCOMPARE(rs.value(QStringLiteral("No")).toInt(), 2);
        // Deleting now removes the record shown, No 2, and shows No 3.
        rs.remove();
        QCOMPARE(fileValue(p, QStringLiteral("SELECT group_concat(No) FROM 基本データ")).toString(),
                 QStringLiteral("1,3"));
        QCOMPARE(rs.value(QStringLiteral("No")).toInt(), 3);
        QCOMPARE(rs.currentIndex(), 1);
    }

    // A record whose row cannot be read: moving onto it, deleting the record before it
    // (which would show it) and a refresh that would show it all change nothing.
    void unreadableRecordChangesNothing_data() {
        QTest::addColumn<QString>("operation");
        QTest::newRow("move") << QStringLiteral("move");
        QTest::newRow("delete") << QStringLiteral("delete");
        QTest::newRow("refresh") << QStringLiteral("refresh");
    }
    void unreadableRecordChangesNothing() {
        QFETCH(QString, operation);
        if (serverPass()) QSKIP("damages the bytes of the file");
        const QString p = fresh({rec(1, QStringLiteral("a")), rec(2, QStringLiteral("b")),
                                 rec(3, QStringLiteral("c"))});
        {
            Connection c;
            c.open(connectionStringFor(p));
            QSqlQuery q(c.database());
            QVERIFY(q.exec(QStringLiteral("UPDATE 基本データ SET 備考 = '%1' WHERE No = 2")
                               .arg(QString(20000, QLatin1Char('Q')))));
        }
        damageLongText(p, 'Q');
        Opened o(p);
        RecordSet& rs = *o.records;
        QCOMPARE(rs.recordCount(), 3);
        if (operation == QLatin1String("refresh")) {
            // Another user deletes No 1; the refresh would show No 2 in its place.
            Connection other;
            other.open(connectionStringFor(p));
            QSqlQuery q(other.database());
            QVERIFY(q.exec(QStringLiteral("DELETE FROM 基本データ WHERE \"No\" = 1")));
        }
        QSignalSpy scroll(&rs, &RecordSet::afterScroll);
        const QString error = errorOf([&] {
            if (operation == QLatin1String("move"))
                rs.next();
            else if (operation == QLatin1String("delete"))
                rs.remove();
            else
                rs.refresh();
        });
        QCOMPARE(error, QStringLiteral("データベースファイルの形式を認識できません"));
        QCOMPARE(scroll.count(), 0);
        QCOMPARE(rs.recordCount(), 3);
        QCOMPARE(rs.currentIndex(), 0);
        QCOMPARE(rs.value(QStringLiteral("No")).toInt(), 1);
        QCOMPARE(rs.value(QStringLiteral("所有者氏名")).toString(), QStringLiteral("a"));
        QCOMPARE(fileValue(p, QStringLiteral("SELECT count(*) FROM 基本データ")).toInt(),
                 operation == QLatin1String("refresh") ? 2 : 3);
        // The records around it still read.
        rs.last();
        QCOMPARE(rs.value(QStringLiteral("No")).toInt(), 3);
    }

    void blobFromFileAndErase() {
        const QString p = fresh({rec(1, QStringLiteral("a"), QByteArray("old"))});
        Opened o(p);
        RecordSet& rs = *o.records;
        const QString file = dir.filePath(QStringLiteral("plan.hbd"));
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("$headerpas\r\n10\r\n");
        f.close();
        QVERIFY(!errorOf([&] { rs.loadBlobFromFile(QStringLiteral("zumen"), file); }).isEmpty());
        rs.edit();
        QCOMPARE(errorOf([&] {
                     rs.loadBlobFromFile(QStringLiteral("zumen"),
                                         dir.filePath(QStringLiteral("none.hbd")));
                 }),
                 QStringLiteral("ファイルが見つかりません"));
        QCOMPARE(rs.blobLength(QStringLiteral("zumen")), 3);
        rs.loadBlobFromFile(QStringLiteral("zumen"), file);
        QCOMPARE(rs.blobLength(QStringLiteral("zumen")), 16);
        rs.post();
        QCOMPARE(fileValue(p, QStringLiteral("SELECT zumen FROM 基本データ")).toByteArray(),
                 QByteArray("$headerpas\r\n10\r\n"));
        rs.edit();
        rs.setValue(QStringLiteral("zumen"), QByteArray()); // erased, waits for the post
        QCOMPARE(rs.blobLength(QStringLiteral("zumen")), 0);
        rs.cancel();
        QCOMPARE(rs.blobLength(QStringLiteral("zumen")), 16);
    }
};

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    return test::runOnBothEngines<TestRecordSet>(argc, argv);
}
#include "test_recordset.moc"
