#pragma once
// One test body, run against both engines: an SQLite file, then a register on the tests'
// private PostgreSQL server (tests/support/pgserver.h). A test object runs twice through
// runOnBothEngines; within the server pass every register the test makes lies on the
// server, and `init()` skips each test with the reason when no server can be started.

#include "platform/errors.h"
#include "records/provider.h"
#include "store_fixture.h"
#include "support/pgserver.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QTest>
#include <cstdio>

namespace tovera::test {

enum class EngineKind { File, Server };

inline EngineKind& currentEngine() {
    static EngineKind kind = EngineKind::File;
    return kind;
}
inline bool serverPass() {
    return currentEngine() == EngineKind::Server;
}

// In a test's init(): skips the test in the server pass when no server runs.
#define TOVERA_REQUIRE_ENGINE()                                                                    \
    do {                                                                                           \
        if (::tovera::test::serverPass() && !::tovera::test::PgServer::instance().ok())            \
            QSKIP(qPrintable(QStringLiteral("no PostgreSQL server for the server pass: ") +        \
                             ::tovera::test::PgServer::instance().reason()));                      \
    } while (false)

// Runs the test object `T` once per engine; the number of failed tests of both passes.
template <class T> int runOnBothEngines(int argc, char** argv) {
    int failed = 0;
    for (EngineKind kind : {EngineKind::File, EngineKind::Server}) {
        currentEngine() = kind;
        std::printf("**** %s pass\n",
                    kind == EngineKind::File ? "SQLite file" : "PostgreSQL server");
        std::fflush(stdout);
        T test;
        failed += QTest::qExec(&test, argc, argv);
    }
    return failed;
}

// Runs `sql` with positional `values` on the register `where` (a file path or a server
// URI); true when it ran.
inline bool execOn(const QString& where, const QString& sql, const QVariantList& values = {}) {
    Connection c;
    c.open(connectionStringFor(where));
    QSqlQuery q(c.database());
    bool ok = values.isEmpty() ? q.exec(sql) : q.prepare(sql);
    if (ok && !values.isEmpty()) {
        for (const QVariant& v : values) q.addBindValue(v);
        ok = q.exec();
    }
    if (!ok) qWarning("%s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
    return ok;
}

// A new register with the demo districts and `rows`: the SQLite file `path` in the file
// pass, a new database on the test server in the server pass. Returns what to open
// (connectionStringFor takes either).
inline QString makeRegister(const QString& path, const QList<QVariantMap>& rows) {
    if (!serverPass()) {
        makeStore(path, rows);
        return path;
    }
    PgServer& server = PgServer::instance();
    const QString uri = server.createRegister(server.freshName());
    Connection c;
    c.open(uri);
    QSqlQuery q(c.database());
    if (!fillRegister(q, rows)) throw EDatabaseError(q.lastError().text());
    return uri;
}

// The first value of `sql` on the register `where` (either engine).
inline QVariant registerValue(const QString& where, const QString& sql) {
    Connection c;
    c.open(connectionStringFor(where));
    QSqlQuery q(c.database());
    if (q.exec(sql) && q.next()) return q.value(0);
    return QVariant();
}

// Every record of `where` in entry order as "No:所有者氏名:備考:zumen hex:excel hex", joined by
// "|": what a refused write must leave as it was.
inline QString registerState(const QString& where) {
    Connection c;
    c.open(connectionStringFor(where));
    QSqlQuery q(c.database());
    QStringList rows;
    if (!q.exec(QStringLiteral("SELECT \"No\", \"所有者氏名\", \"備考\", zumen, excel FROM "
                               "\"基本データ\" ORDER BY rowid")))
        return q.lastError().text();
    while (q.next())
        rows << QStringLiteral("%1:%2:%3:%4:%5")
                    .arg(q.value(0).toString(), q.value(1).toString(), q.value(2).toString(),
                         QString::fromLatin1(q.value(3).toByteArray().toHex()),
                         QString::fromLatin1(q.value(4).toByteArray().toHex()));
    return rows.join(QLatin1Char('|'));
}

} // namespace tovera::test
