// Killing the program in the middle of a series of posts never loses a post it reported as
// done and never damages the file.

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
};

QTEST_GUILESS_MAIN(TestDurability)
#include "test_durability.moc"
