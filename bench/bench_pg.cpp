// The record set over a register on a local PostgreSQL server (the tests' private server):
// opening 100 000 records, the owner search, and a post. Skipped, with the reason, when no
// server can be started.

#include "bench.h"

#include "records/demo.h"
#include "records/provider.h"
#include "records/recordset.h"
#include "records/register_copy.h"
#include "support/pgserver.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlQuery>
#include <chrono>
#include <cstdio>

namespace tovera::bench {

namespace {

// A 100 000-record register on the server: the demo's records without attachments (their
// size does not change what is measured here), then one in ten given a 20 KB drawing. Made
// once per run: the groups that measure it share it.
QString serverRegister(test::PgServer& server) {
    static QString made;
    if (!made.isEmpty()) return made;
    const QString file = QDir(scratchDir()).filePath(QStringLiteral("records-100k-plain.mdb"));
    if (!QFileInfo::exists(file)) {
        DemoOptions o;
        o.records = 100000;
        o.drawingEvery = 0;
        o.sheetEvery = 0;
        createDemo(file, o);
    }
    const QString uri = server.uri(QStringLiteral("bench100k"));
    const auto start = std::chrono::steady_clock::now();
    copyRegister(file, uri);
    Connection c;
    c.open(uri);
    QSqlQuery q(c.database());
    q.exec(QStringLiteral("UPDATE \"基本データ\" SET zumen = decode(repeat('41', 20480), 'hex') "
                          "WHERE rowid % 10 = 0"));
    q.exec(QStringLiteral("VACUUM ANALYZE \"基本データ\""));
    std::fprintf(stderr, "records: server register of 100 000 records made in %.1f s\n",
                 msSince(start) / 1000);
    made = uri;
    return uri;
}

} // namespace

void benchRecordsServer() {
    test::PgServer& server = test::PgServer::instance();
    if (!server.ok()) {
        std::fprintf(stderr, "records: server figures skipped: %s\n", qPrintable(server.reason()));
        return;
    }
    try {
        const QString uri = serverRegister(server);
        Connection connection;
        RecordSet records(connection);
        qint64 marks = 0;
        QObject::connect(&records, &RecordSet::afterScroll, [&] {
            marks += records.blobLength(QStringLiteral("zumen")) > 0;
            marks += records.blobLength(QStringLiteral("excel")) > 0;
        });
        const auto start = std::chrono::steady_clock::now();
        connection.open(uri);
        records.open(QStringLiteral("select * from 基本データ"));
        report("records_open_100k_pg_ms", msSince(start), "ms");

        // The owner search as the search page sends it, for a common family name.
        const int searches = 20;
        const auto search = std::chrono::steady_clock::now();
        int found = 0;
        for (int i = 0; i < searches; ++i) {
            records.open(QStringLiteral("SELECT * FROM 基本データ \r\nwhere 所有者氏名 Like \r\n"
                                        "'山田%'\r\n;\r\n"));
            found = records.recordCount();
        }
        report("search_owner_100k_pg_ms", msSince(search) / searches, "ms");
        std::fprintf(stderr, "records: the owner search found %d records\n", found);

        records.open(QStringLiteral("select * from 基本データ"));
        benchPosts(records, "records_post_pg_ms");
        if (marks < 0) std::fprintf(stderr, "unreachable\n");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "records: server: %s\n", e.what());
    }
}

} // namespace tovera::bench
