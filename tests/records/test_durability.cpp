// A post is durable when it returns: the provider's connection logs ahead and syncs the
// log at each commit, whatever journal the file had, and the sync happens inside the post.
// Killing the program in the middle of a series of posts never loses a post it reported as
// done and never damages the file; killed in the middle of registering attachments, a
// record holds the old or the new attachment whole, never a mix.

#include "attach_content.h"
#include "records/recordset.h"
#include "records/sync_recorder.h"
#include "store_fixture.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>

using namespace tovera;

class TestDurability : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Files made elsewhere may come with any journal; the provider's connection logs ahead
    // and syncs the log at each commit on every one of them, and the file keeps the log.
    void durableSettings_data() {
        QTest::addColumn<QString>("journal");
        QTest::newRow("write-ahead log") << QStringLiteral("wal");
        QTest::newRow("rollback journal") << QStringLiteral("delete");
        QTest::newRow("truncated journal") << QStringLiteral("truncate");
        QTest::newRow("persistent journal") << QStringLiteral("persist");
        QTest::newRow("journal in memory") << QStringLiteral("memory");
        QTest::newRow("no journal") << QStringLiteral("off");
    }
    void durableSettings() {
        QFETCH(QString, journal);
        QTemporaryDir dir;
        const QString store = dir.filePath(QStringLiteral("評価調書.mdb"));
        test::makeStore(store, {});
        QCOMPARE(test::fileValue(store, QStringLiteral("PRAGMA journal_mode = %1").arg(journal))
                     .toString(),
                 journal);
        Connection c;
        c.open(connectionStringFor(store));
        QSqlQuery q(c.database());
        QVERIFY(q.exec(QStringLiteral("PRAGMA journal_mode")) && q.next());
        QCOMPARE(q.value(0).toString(), QStringLiteral("wal"));
        QVERIFY(q.exec(QStringLiteral("PRAGMA synchronous")) && q.next());
        QCOMPARE(q.value(0).toInt(), 2); // FULL
        q.finish();
        QCOMPARE(test::fileValue(store, QStringLiteral("PRAGMA journal_mode")).toString(),
                 QStringLiteral("wal"));
    }

    // Counted syncs: each post, insertion or edit, and each delete syncs the log before it
    // returns, and what it wrote is in the file when it returns.
    void postReturnsAfterTheSync_data() {
        QTest::addColumn<QString>("operation");
        QTest::newRow("insertion") << QStringLiteral("insert");
        QTest::newRow("edit") << QStringLiteral("edit");
        QTest::newRow("delete") << QStringLiteral("delete");
    }
    void postReturnsAfterTheSync() {
        QFETCH(QString, operation);
        QTemporaryDir dir;
        const QString store = dir.filePath(QStringLiteral("評価調書.mdb"));
        test::makeStore(store, {{{QStringLiteral("No"), 1}}, {{QStringLiteral("No"), 2}}});
        Connection c;
        c.open(connectionStringFor(store));
        RecordSet rs(c);
        rs.open(QStringLiteral("select * from 基本データ"));
        // A first write starts the log afresh, which syncs it at any setting; the
        // counted one comes after.
        rs.edit();
        rs.setValue(QStringLiteral("所有者住所"), QStringLiteral("前"));
        rs.post();
        if (operation == QLatin1String("insert")) {
            rs.insert();
            rs.setValue(QStringLiteral("No"), 7);
        } else if (operation == QLatin1String("edit")) {
            rs.edit();
            rs.setValue(QStringLiteral("備考"), QStringLiteral("直した"));
        }
        test::startRecordingFileEvents();
        if (operation == QLatin1String("delete"))
            rs.remove();
        else
            rs.post();
        const QList<test::FileEvent> events = test::stopRecordingFileEvents();
        const QString log = QFileInfo(store).canonicalFilePath() + QStringLiteral("-wal");
        int logSyncs = 0;
        for (const test::FileEvent& e : events)
            if (e.kind == QLatin1String("sync") && e.path == log) ++logSyncs;
        QVERIFY2(logSyncs >= 1, qPrintable(QStringLiteral("%1 events").arg(events.size())));
        const QString check =
            operation == QLatin1String("insert")
                ? QStringLiteral("SELECT count(*) FROM 基本データ WHERE No = 7")
            : operation == QLatin1String("edit")
                ? QStringLiteral("SELECT 備考 = '直した' FROM 基本データ WHERE No = 1")
                : QStringLiteral("SELECT count(*) = 0 FROM 基本データ WHERE No = 1");
        QCOMPARE(test::fileValue(store, check).toInt(), 1);
    }

    void killedDuringPosts() {
        QTemporaryDir dir;
        const QString store = dir.filePath(QStringLiteral("評価調書.mdb"));
        test::makeStore(store, {});
        const QString child = QStringLiteral(TOVERA_BIN_DIR "/records_post_child");
        QVERIFY2(QFile::exists(child), "the helper records_post_child is built with the tests");
        QRandomGenerator random(4711);
        QList<qint64> done;
        for (int run = 0; run < 12; ++run) {
            QProcess p;
            p.start(child, {store, QString::number(qint64(run) * 1000000)});
            QVERIFY(p.waitForStarted());
            QTest::qWait(80 + random.bounded(400));
            ::kill(pid_t(p.processId()), SIGKILL);
            QVERIFY(p.waitForFinished());
            const QList<QByteArray> lines = p.readAllStandardOutput().split('\n');
            // The last piece has no line end (empty or cut short): not reported.
            for (int i = 0; i + 1 < lines.size(); ++i) done << lines[i].toLongLong();
            QVERIFY2(p.readAllStandardError().isEmpty(), "the child failed on its own");
        }
        QVERIFY2(done.size() > 20, qPrintable(QString::number(done.size())));
        QCOMPARE(test::fileValue(store, QStringLiteral("PRAGMA integrity_check")).toString(),
                 QStringLiteral("ok"));
        for (qint64 n : done) {
            if (n % 2 == 0) {
                const QString sql = QStringLiteral("SELECT 備考 = 'post %1' AND length(zumen) = %2 "
                                                   "FROM 基本データ WHERE No = %1")
                                        .arg(n)
                                        .arg(n % 20000 + 1);
                QVERIFY2(test::fileValue(store, sql).toInt() == 1, qPrintable(sql));
            } else {
                const QString sql =
                    QStringLiteral("SELECT 所有者住所 FROM 基本データ WHERE No = %1").arg(n - 1);
                QCOMPARE(test::fileValue(store, sql).toString(), QStringLiteral("edit %1").arg(n));
            }
        }
    }

    void killedDuringRegistrations() {
        QTemporaryDir dir;
        const QString store = dir.filePath(QStringLiteral("評価調書.mdb"));
        test::makeStore(store, {{{QStringLiteral("No"), 1}}, {{QStringLiteral("No"), 2}}});
        const QString child = QStringLiteral(TOVERA_BIN_DIR "/records_attach_child");
        QVERIFY2(QFile::exists(child), "the helper records_attach_child is built with the tests");
        QRandomGenerator random(1913);
        // The last number reported done, per column (zumen even, excel odd).
        qint64 done[2] = {-1, -1};
        qint64 seen[2] = {-1, -1}; // the number the file held at the last look
        int reported = 0;
        for (int run = 0; run < 10; ++run) {
            QProcess p;
            p.start(child, {store, QString::number(qint64(run) * 1000000)});
            QVERIFY(p.waitForStarted());
            QTest::qWait(150 + random.bounded(500));
            ::kill(pid_t(p.processId()), SIGKILL);
            QVERIFY(p.waitForFinished());
            const QList<QByteArray> lines = p.readAllStandardOutput().split('\n');
            for (int i = 0; i + 1 < lines.size(); ++i) {
                const qint64 n = lines[i].toLongLong();
                done[n % 2] = n;
                ++reported;
            }
            QVERIFY2(p.readAllStandardError().isEmpty(), "the child failed on its own");
            for (const char* column : {"zumen", "excel"}) {
                const QByteArray bytes =
                    test::fileValue(store, QStringLiteral("SELECT %1 FROM 基本データ WHERE No = 1")
                                               .arg(QLatin1String(column)))
                        .toByteArray();
                const int k = column[0] == 'z' ? 0 : 1;
                const qint64 last = done[k];
                if (bytes.isEmpty()) {
                    QCOMPARE(last, qint64(-1)); // nothing reported done yet
                    continue;
                }
                const qint64 n = test::attachmentNumber(bytes);
                QVERIFY2(n >= 0 && bytes == test::attachmentFor(n), column);
                // The one reported last, or one under way when a kill came; never older
                // than what the file held before.
                QVERIFY2(n >= last && n >= seen[k], column);
                seen[k] = n;
            }
            QVERIFY(test::fileValue(store, QStringLiteral("SELECT zumen IS NULL AND excel IS NULL "
                                                          "FROM 基本データ WHERE No = 2"))
                        .toBool());
        }
        QVERIFY2(reported > 10, qPrintable(QString::number(reported)));
        QCOMPARE(test::fileValue(store, QStringLiteral("PRAGMA integrity_check")).toString(),
                 QStringLiteral("ok"));
    }
};

QTEST_GUILESS_MAIN(TestDurability)
#include "test_durability.moc"
