// Copying a register between the SQLite file and the PostgreSQL server: file → server →
// file gives the same register (every row as SQL text, attachments by hash), a register
// that holds records is never written into, and new records on the copy take new keys.

#include "engines.h"
#include "records/demo.h"
#include "records/recordset.h"
#include "records/register_copy.h"

#include <QCryptographicHash>
#include <QTemporaryDir>
#include <QtTest>

using namespace tovera;
using tovera::test::errorOf;

namespace {

// Every row of both tables of the file `path` as SQL literals (quote()), in key order.
QString dump(const QString& path) {
    test::RawConnection c(path);
    QSqlQuery q(c.database());
    QString out;
    for (const char* table : {"行政区", "基本データ"}) {
        QStringList columns{QStringLiteral("quote(rowid)")};
        q.exec(QStringLiteral("PRAGMA table_info(\"%1\")").arg(QString::fromUtf8(table)));
        while (q.next()) columns << QStringLiteral("quote(\"%1\")").arg(q.value(1).toString());
        q.exec(QStringLiteral("SELECT %1 FROM \"%2\" ORDER BY rowid")
                   .arg(columns.join(QStringLiteral(" || ',' || ")), QString::fromUtf8(table)));
        while (q.next()) out += q.value(0).toString() + QLatin1Char('\n');
    }
    return out;
}

// Hash of every attachment of `where` (either engine), by key.
QStringList attachmentHashes(const QString& where) {
    Connection c;
    c.open(connectionStringFor(where));
    QSqlQuery q(c.database());
    q.exec(QStringLiteral("SELECT rowid, zumen, excel FROM \"基本データ\" ORDER BY rowid"));
    QStringList out;
    while (q.next())
        out << QStringLiteral("%1 %2 %3")
                   .arg(q.value(0).toLongLong())
                   .arg(QString::fromLatin1(QCryptographicHash::hash(q.value(1).toByteArray(),
                                                                     QCryptographicHash::Sha256)
                                                .toHex()))
                   .arg(QString::fromLatin1(QCryptographicHash::hash(q.value(2).toByteArray(),
                                                                     QCryptographicHash::Sha256)
                                                .toHex()));
    return out;
}

} // namespace

class TestRegisterCopy : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

private Q_SLOTS:
    void init() {
        test::currentEngine() = test::EngineKind::Server;
        TOVERA_REQUIRE_ENGINE();
    }

    void fileToServerToFileIsIdentical() {
        const QString first = dir.filePath(QStringLiteral("first.mdb"));
        DemoOptions options;
        options.records = 150;
        createDemo(first, options);
        {
            // A record with every kind of edge: a deleted key before it, an empty owner,
            // a one-byte drawing, a date at the millisecond.
            test::RawConnection c(first);
            QSqlQuery q(c.database());
            QVERIFY(q.exec(QStringLiteral("DELETE FROM \"基本データ\" WHERE rowid = 10")));
            QVERIFY(q.exec(QStringLiteral("INSERT INTO \"基本データ\" (\"No\", \"所有者氏名\", "
                                          "\"日付\", zumen, \"１Ｆ\") VALUES "
                                          "(9999, '', '2002-10-13T23:59:59.999', x'00', 0.1)")));
        }
        test::PgServer& server = test::PgServer::instance();
        const QString uri = server.uri(server.freshName(QStringLiteral("copy")));
        int calls = 0, last = -1;
        const CopySummary there = copyRegister(first, uri, [&](int done, int total) {
            ++calls;
            last = done;
            QCOMPARE(total, 150);
        });
        QCOMPARE(there.records, 150);
        QCOMPARE(last, 150);
        QVERIFY(calls >= 1);
        const QString second = dir.filePath(QStringLiteral("second.mdb"));
        const CopySummary back = copyRegister(uri, second);
        QCOMPARE(back.records, 150);
        QCOMPARE(back.blobBytes, there.blobBytes);
        QCOMPARE(back.drawings, there.drawings);
        QCOMPARE(dump(second), dump(first));
        QCOMPARE(attachmentHashes(uri), attachmentHashes(first));
        QCOMPARE(attachmentHashes(second), attachmentHashes(first));

        // A new record on the server copy takes a key after every copied one.
        Connection c;
        c.open(uri);
        RecordSet rs(c);
        rs.open(QStringLiteral("select * from 基本データ"));
        rs.insert();
        rs.setValue(QStringLiteral("No"), 10000);
        rs.post();
        QCOMPARE(
            test::registerValue(uri, QStringLiteral("SELECT max(rowid) FROM \"基本データ\""))
                .toLongLong(),
            test::registerValue(second, QStringLiteral("SELECT max(rowid) FROM \"基本データ\""))
                    .toLongLong() +
                1);
    }

    // A register that holds records is refused, either way, and keeps what it held.
    void refusesARegisterWithRecords() {
        const QString file = dir.filePath(QStringLiteral("held.mdb"));
        test::makeStore(file, {{{QStringLiteral("No"), 1}}});
        test::currentEngine() = test::EngineKind::Server;
        const QString uri = test::makeRegister(QString(), {{{QStringLiteral("No"), 7}}});
        const QString toServer = errorOf([&] { copyRegister(file, uri); });
        QVERIFY2(toServer.contains(QStringLiteral("コピー先には既にレコードが 1 件あります")),
                 qPrintable(toServer));
        const QString toFile = errorOf([&] { copyRegister(uri, file); });
        QVERIFY2(toFile.startsWith(QFileInfo(file).absoluteFilePath()), qPrintable(toFile));
        QCOMPARE(test::registerState(uri), QStringLiteral("7::::"));
        QCOMPARE(test::registerState(file), QStringLiteral("1::::"));
    }
};

QTEST_GUILESS_MAIN(TestRegisterCopy)
#include "test_register_copy.moc"
