// A register of 200 000 records, built once per run: walking, searching and changing the
// record set gives the same records as a full scan of the table.

#include "records/demo.h"
#include "records/provider.h"
#include "records/recordset.h"
#include "store_fixture.h"

#include "platform/errors.h"

#include <QDir>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

using namespace tovera;

namespace {

constexpr int kRecords = 200000;

// The column No of every row the query selects, read straight from the file in entry order.
QList<int> scan(const QString& path, const QString& where) {
    test::RawConnection raw(path);
    QSqlQuery q(raw.database());
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT No FROM 基本データ %1 ORDER BY rowid").arg(where)))
        qFatal("%s", qPrintable(q.lastError().text()));
    QList<int> nos;
    while (q.next()) nos << q.value(0).toInt();
    return nos;
}

int no(const RecordSet& rs) {
    return rs.value(QStringLiteral("No")).toInt();
}

} // namespace

class TestLargeRegister : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    QString path;

private slots:
    void initTestCase() {
        QVERIFY(dir.isValid());
        path = dir.filePath(QStringLiteral("large.mdb"));
        DemoOptions o;
        o.records = kRecords;
        o.drawingEvery = 10;
        o.sheetEvery = 0;
        int calls = 0;
        o.progress = [&](qint64, qint64) { ++calls; };
        createDemo(path, o);
        QVERIFY(calls > 0);
    }

    // The generator's values pass every check of the columns (the build does not run them
    // row by row), and the file is whole.
    void builtStorePassesItsChecks() {
        test::RawConnection raw(path);
        QSqlQuery q(raw.database());
        QVERIFY(q.exec(QStringLiteral("PRAGMA integrity_check")));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString(), QStringLiteral("ok"));
        QVERIFY(!q.next());
        QVERIFY(q.exec(QStringLiteral("PRAGMA journal_mode")));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString(), QStringLiteral("wal"));
    }

    // A build that stops half-way leaves no file under the name and nothing beside it; one
    // whose name was taken meanwhile leaves that file as it is.
    void stoppedBuildLeavesNothing_data() {
        QTest::addColumn<bool>("nameTaken");
        QTest::newRow("stopped") << false;
        QTest::newRow("name taken") << true;
    }
    void stoppedBuildLeavesNothing() {
        QFETCH(bool, nameTaken);
        QTemporaryDir folder;
        const QString target = folder.filePath(QStringLiteral("評価調書.mdb"));
        DemoOptions o;
        o.records = 5000;
        o.progress = [&](qint64 done, qint64 total) {
            if (!nameTaken && done >= total / 2) throw EInOutError(QStringLiteral("stop"));
            if (nameTaken && done == total / 2) {
                QFile other(target);
                QVERIFY(other.open(QIODevice::NewOnly | QIODevice::WriteOnly));
                other.write("someone else's");
            }
        };
        bool raised = false;
        try {
            createDemo(target, o);
        } catch (const EInOutError& e) {
            raised = true;
            if (nameTaken) QVERIFY2(e.message().contains(target), qPrintable(e.message()));
        }
        QVERIFY(raised);
        const QStringList left =
            QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        if (nameTaken) {
            QCOMPARE(left, QStringList{QStringLiteral("評価調書.mdb")});
            QFile other(target);
            QVERIFY(other.open(QIODevice::ReadOnly));
            QCOMPARE(other.readAll(), QByteArray("someone else's"));
        } else {
            QCOMPARE(left, QStringList());
        }
    }

    // A register in a folder that is not there is refused with the file's name, and
    // nothing is made.
    void missingFolderNamesTheFile() {
        QTemporaryDir folder;
        const QString target = folder.filePath(QStringLiteral("無い/評価調書.mdb"));
        try {
            createDemo(target, DemoOptions());
            QFAIL("a register was made in a missing folder");
        } catch (const EInOutError& e) {
            QVERIFY2(e.message().startsWith(target + QStringLiteral(": ")),
                     qPrintable(e.message()));
        }
        QCOMPARE(
            QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList());
    }

    // The ends of the full list and its size are those of the table.
    void fullListMatchesScan() {
        const QList<int> all = scan(path, QString());
        QCOMPARE(all.size(), kRecords);
        Connection c;
        c.open(connectionStringFor(path));
        RecordSet rs(c);
        rs.open(QStringLiteral("select * from 基本データ"));
        for (int i = 0; i < 500; ++i) {
            QCOMPARE(no(rs), all[i]);
            rs.next();
        }
        QCOMPARE(rs.currentIndex(), 500);
        rs.last();
        QVERIFY(!rs.canMoveNext());
        QCOMPARE(rs.currentIndex(), kRecords - 1);
        for (int i = kRecords - 1; i >= kRecords - 500; --i) {
            QCOMPARE(no(rs), all[i]);
            rs.prior();
        }
        QCOMPARE(rs.recordCount(), kRecords);
        rs.first();
        QVERIFY(!rs.canMovePrior());
        QCOMPARE(no(rs), all.first());
    }

    // A narrowing search delivers the rows a scan with the same condition finds, in entry
    // order.
    void searchesMatchScan_data() {
        QTest::addColumn<QString>("where");
        QTest::newRow("owner") << QStringLiteral("where 所有者氏名 Like '山田%'");
        QTest::newRow("remarks") << QStringLiteral("where 備考 Like '附属%'");
        QTest::newRow("district") << QStringLiteral("where 所在区 Like '港%'");
    }
    void searchesMatchScan() {
        QFETCH(QString, where);
        const QList<int> expected = scan(path, where);
        QVERIFY(!expected.isEmpty());
        Connection c;
        c.open(connectionStringFor(path));
        RecordSet rs(c);
        rs.open(QStringLiteral("SELECT * FROM 基本データ \r\n") + where + QStringLiteral(";"));
        QCOMPARE(rs.recordCount(), expected.size());
        QList<int> walked;
        for (int i = 0; i < std::min(300, int(expected.size())); ++i) {
            walked << no(rs);
            rs.next();
        }
        QCOMPARE(walked, expected.mid(0, walked.size()));
        rs.last();
        QCOMPARE(no(rs), expected.last());
    }

    // Inserting and deleting in the middle of the full list keeps the places the small
    // record sets keep: the new record before the current one, the next one after a delete.
    void changesInTheMiddle() {
        const QList<int> all = scan(path, QString());
        Connection c;
        c.open(connectionStringFor(path));
        RecordSet rs(c);
        rs.open(QStringLiteral("select * from 基本データ"));
        rs.last();
        for (int i = 0; i < 100; ++i) rs.prior();
        const int at = kRecords - 101;
        QCOMPARE(no(rs), all[at]);
        rs.insert();
        rs.setValue(QStringLiteral("No"), 9999999);
        rs.post();
        QCOMPARE(rs.currentIndex(), at);
        rs.next();
        QCOMPARE(no(rs), all[at]);
        rs.prior();
        QCOMPARE(no(rs), 9999999);
        rs.prior();
        QCOMPARE(no(rs), all[at - 1]);
        rs.next();
        rs.next();
        rs.remove(); // all[at]: the next one shows, the new record stays before it
        QCOMPARE(no(rs), all[at + 1]);
        rs.prior();
        QCOMPARE(no(rs), 9999999);
        QCOMPARE(rs.recordCount(), kRecords);
        // A refresh puts the new record at its entered place, the end.
        rs.refresh();
        QCOMPARE(no(rs), 9999999);
        QVERIFY(!rs.canMoveNext());
        rs.remove();
        QCOMPARE(no(rs), all.last());
        QCOMPARE(rs.recordCount(), kRecords - 1);
    }
};

QTEST_GUILESS_MAIN(TestLargeRegister)
#include "test_large_register.moc"
