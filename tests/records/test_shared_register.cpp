// Several desks on one register of the PostgreSQL server: concurrent posts of one record
// give one stored post and one refusal, posts of different records all store, and new
// records from parallel desks never share a key. Skipped, with the reason, when no test
// server can be started.

#include "engines.h"
#include "records/provider.h"
#include "records/recordset.h"

#include <QSet>
#include <QtTest>
#include <atomic>
#include <barrier>
#include <thread>

using namespace tovera;
using tovera::test::errorOf;

namespace {

QVariantMap rec(int no, const QString& name) {
    return {{QStringLiteral("No"), no},
            {QStringLiteral("所有者氏名"), name},
            {QStringLiteral("所在区"), QStringLiteral("北町")}};
}

// One desk: its own connection and record set over the whole register.
struct Desk {
    Connection connection;
    std::unique_ptr<RecordSet> records;
    explicit Desk(const QString& uri) {
        connection.open(uri);
        records = std::make_unique<RecordSet>(connection);
        records->open(QStringLiteral("select * from 基本データ"));
    }
    ~Desk() { records.reset(); }
    void goTo(int no) {
        records->first();
        while (records->value(QStringLiteral("No")).toInt() != no) records->next();
    }
};

} // namespace

class TestSharedRegister : public QObject {
    Q_OBJECT
    QString uri;

private Q_SLOTS:
    void init() {
        test::currentEngine() = test::EngineKind::Server;
        TOVERA_REQUIRE_ENGINE();
        uri = test::makeRegister(QString(),
                                 {rec(1, QStringLiteral("林")), rec(2, QStringLiteral("田中")),
                                  rec(3, QStringLiteral("山路"))});
    }

    // Two desks post the same record at the same moment, each from its own thread.
    void concurrentPostsOfOneRecord_data() {
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("second");
        QTest::newRow("one record") << 2 << 2;
        QTest::newRow("different records") << 1 << 3;
    }
    void concurrentPostsOfOneRecord() {
        QFETCH(int, first);
        QFETCH(int, second);
        std::barrier ready(2);
        QString errors[2];
        auto desk = [&](int index, int no) {
            Desk d(uri);
            d.goTo(no);
            d.records->edit();
            d.records->setValue(QStringLiteral("備考"), QStringLiteral("desk %1").arg(index));
            ready.arrive_and_wait(); // both have read the record before either posts
            errors[index] = errorOf([&] { d.records->post(); });
            if (!errors[index].isEmpty()) {
                // The refused desk keeps what was typed, still editing.
                if (d.records->state() != RecordSet::State::Editing ||
                    d.records->value(QStringLiteral("備考")).toString() !=
                        QStringLiteral("desk %1").arg(index))
                    errors[index] += QStringLiteral(" (typed value lost)");
                d.records->cancel();
                d.records->refresh(); // shows the other desk's value
                errors[index] += QStringLiteral(" / shown: ") +
                                 d.records->value(QStringLiteral("備考")).toString();
            }
        };
        std::thread a(desk, 0, first), b(desk, 1, second);
        a.join();
        b.join();
        const QString stored =
            QStringLiteral("SELECT \"備考\" FROM \"基本データ\" WHERE \"No\" = %1");
        if (first != second) {
            QCOMPARE(errors[0], QString());
            QCOMPARE(errors[1], QString());
            QCOMPARE(test::registerValue(uri, stored.arg(first)).toString(),
                     QStringLiteral("desk 0"));
            QCOMPARE(test::registerValue(uri, stored.arg(second)).toString(),
                     QStringLiteral("desk 1"));
            return;
        }
        QVERIFY2(errors[0].isEmpty() != errors[1].isEmpty(), qPrintable(errors[0] + errors[1]));
        const int won = errors[0].isEmpty() ? 0 : 1;
        QCOMPARE(
            errors[1 - won],
            QStringLiteral("No 2（田中）のレコードは読み込んだ後に他のユーザーによって変更された"
                           "ため、変更を保存できません / shown: desk %1")
                .arg(won));
        QCOMPARE(test::registerValue(uri, stored.arg(2)).toString(),
                 QStringLiteral("desk %1").arg(won));
    }

    // A desk deletes a record another desk is editing: the edit is refused, nothing
    // comes back; the other way round the delete is refused.
    void deleteAndPostOfOneRecord() {
        Desk a(uri), b(uri);
        a.goTo(2);
        b.goTo(2);
        b.records->edit();
        b.records->setValue(QStringLiteral("備考"), QStringLiteral("b"));
        a.records->remove();
        QCOMPARE(errorOf([&] { b.records->post(); }),
                 QStringLiteral("No 2（田中）のレコードは読み込んだ後に他のユーザーによって削除"
                                "されたため、変更を保存できません"));
        QCOMPARE(
            test::registerValue(uri, QStringLiteral("SELECT count(*) FROM \"基本データ\"")).toInt(),
            2);
        a.goTo(3);
        b.records->cancel();
        QCOMPARE(errorOf([&] { b.records->refresh(); }),
                 QStringLiteral("表示していたレコードは他のユーザーによって削除されたため、次の"
                                "レコードを表示しました"));
        b.goTo(3);
        b.records->edit();
        b.records->setValue(QStringLiteral("備考"), QStringLiteral("b"));
        b.records->post();
        QCOMPARE(errorOf([&] { a.records->remove(); }),
                 QStringLiteral("No 3（山路）のレコードは読み込んだ後に他のユーザーによって変更"
                                "されたため、削除できません"));
        QCOMPARE(
            test::registerValue(uri, QStringLiteral("SELECT count(*) FROM \"基本データ\"")).toInt(),
            2);
    }

    // Four desks enter 250 new records each at the same time: 1 000 rows, each with its
    // own key and the values its desk typed.
    void parallelInsertsKeepEveryRecord() {
        std::atomic<int> failures{0};
        QString firstFailure;
        std::mutex m;
        auto desk = [&](int index) {
            try {
                Desk d(uri);
                for (int i = 0; i < 250; ++i) {
                    d.records->insert();
                    d.records->setValue(QStringLiteral("No"), 1000 + index * 250 + i);
                    d.records->setValue(QStringLiteral("所有者氏名"),
                                        QStringLiteral("desk %1").arg(index));
                    d.records->setValue(QStringLiteral("備考"), QString::number(i));
                    d.records->post();
                }
            } catch (const Exception& e) {
                ++failures;
                std::lock_guard lock(m);
                firstFailure = e.message();
            }
        };
        std::vector<std::thread> desks;
        for (int i = 0; i < 4; ++i) desks.emplace_back(desk, i);
        for (auto& t : desks) t.join();
        QVERIFY2(failures == 0, qPrintable(firstFailure));
        Connection c;
        c.open(uri);
        QSqlQuery q(c.database());
        QVERIFY(q.exec(QStringLiteral("SELECT rowid, \"No\", \"所有者氏名\", \"備考\" FROM "
                                      "\"基本データ\" WHERE \"No\" >= 1000")));
        QSet<qint64> keys;
        int rows = 0;
        while (q.next()) {
            ++rows;
            keys.insert(q.value(0).toLongLong());
            const int n = q.value(1).toInt() - 1000;
            QCOMPARE(q.value(2).toString(), QStringLiteral("desk %1").arg(n / 250));
            QCOMPARE(q.value(3).toString(), QString::number(n % 250));
        }
        QCOMPARE(rows, 1000);
        QCOMPARE(keys.size(), 1000);
    }
};

QTEST_GUILESS_MAIN(TestSharedRegister)
#include "test_shared_register.moc"
