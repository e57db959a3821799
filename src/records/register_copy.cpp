#include "records/register_copy.h"

#include "platform/errors.h"
#include "records/columns.h"
#include "records/dberror.h"
#include "records/engine.h"
#include "records/provider.h"
#include "records/schema.h"
#include "records/schema_server.h"

#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>

namespace tovera {

namespace {

const int kBatch = 200; // records read at a time (attachments may be large)

QString quoted(const QString& name) {
    return QLatin1Char('"') + name + QLatin1Char('"');
}

// How messages name a register: the server and database, or the file's full path.
QString shownName(const QString& where) {
    return isServerUri(where) ? parseServerUri(where).shown() : QFileInfo(where).absoluteFilePath();
}

// Opens register `where`; raises with its name in front of the cause.
void openRegister(Connection& c, const QString& where) {
    try {
        c.open(isServerUri(where) ? where : connectionStringFor(where));
    } catch (const Exception& e) {
        throw EDatabaseError(QStringLiteral("%1: %2").arg(shownName(where), e.message()));
    }
}

// Opens the destination, making its file or its server tables when they are missing.
void openDestination(Connection& c, const QString& to) {
    if (!isServerUri(to)) {
        if (!QFileInfo::exists(to)) createSchema(to);
        openRegister(c, to);
        return;
    }
    try {
        c.open(to);
    } catch (const Exception&) {
        initServerRegister(to); // makes the database when only it is missing
        openRegister(c, to);
        return;
    }
    if (!serverHasRegister(c.database())) createServerSchema(c.database(), shownName(to));
}

void exec(QSqlQuery& q, const QString& sql) {
    if (!q.exec(sql)) throwDatabaseError(q.lastError());
}

qint64 scalar(const QSqlDatabase& db, const QString& sql) {
    QSqlQuery q(db);
    if (!q.exec(sql) || !q.next()) throwDatabaseError(q.lastError());
    return q.value(0).toLongLong();
}

// Raises when the open register `db` (named `to`) holds records.
void refuseHeld(const QSqlDatabase& db, const QString& to) {
    const QString records = quoted(QString::fromUtf8(kRecordTable));
    if (const qint64 held = scalar(db, QStringLiteral("SELECT count(*) FROM %1").arg(records)))
        throw EDatabaseError(
            QStringLiteral(
                "%1: コピー先には既にレコードが %2 件あります（空の台帳にだけコピーします）")
                .arg(shownName(to))
                .arg(held));
}

} // namespace

void requireEmptyDestination(const QString& to) {
    if (isServerUri(to)) {
        Connection c;
        try {
            c.open(to);
        } catch (const Exception&) {
            return; // the copy makes the database
        }
        if (serverHasRegister(c.database())) refuseHeld(c.database(), to);
    } else if (QFileInfo::exists(to)) {
        Connection c;
        openRegister(c, to);
        refuseHeld(c.database(), to);
    }
}

CopySummary copyRegister(const QString& from, const QString& to,
                         const std::function<void(int, int)>& progress) {
    if (!isServerUri(from) && !QFileInfo::exists(from))
        throw EInOutError(QStringLiteral("%1: ファイルが見つかりません").arg(shownName(from)),
                          ENOENT);
    Connection source, target;
    openRegister(source, from);
    openDestination(target, to);
    const QSqlDatabase in = source.database();
    const QSqlDatabase out = target.database();
    const Engine inEngine = Engine::of(in);
    const Engine outEngine = Engine::of(out);
    const QString records = quoted(QString::fromUtf8(kRecordTable));
    const QString districts = quoted(QString::fromUtf8(kDistrictTable));
    const QString district = quoted(QString::fromUtf8(kDistrictColumn));

    refuseHeld(out, to);

    // The columns both registers have, in the source's order.
    QList<Engine::StoredColumn> columns;
    {
        const QList<Engine::StoredColumn> targetColumns = outEngine.recordColumns(out);
        for (const Engine::StoredColumn& c : inEngine.recordColumns(in))
            for (const Engine::StoredColumn& t : targetColumns)
                if (t.name == c.name) columns << c;
    }
    QStringList select{QStringLiteral("rowid")}, names{QStringLiteral("rowid")};
    for (const Engine::StoredColumn& c : columns) {
        names << quoted(c.name);
        // Attachments whole; dates as the file's text.
        select << (c.kind == ColumnKind::Blob ? quoted(c.name)
                                              : inEngine.readExpression(quoted(c.name), c.kind));
    }
    const int total = int(scalar(in, QStringLiteral("SELECT count(*) FROM %1").arg(records)));

    CopySummary summary;
    QSqlQuery w(out);
    exec(w, outEngine.beginWrite());
    try {
        // Districts, in their order, with their keys; those the destination has stay.
        QSqlQuery r(in);
        r.setForwardOnly(true);
        exec(r, QStringLiteral("SELECT rowid, %1 FROM %2 ORDER BY rowid").arg(district, districts));
        QSqlQuery has(out);
        has.prepare(QStringLiteral("SELECT 1 FROM %1 WHERE %2 = ?").arg(districts, district));
        QSqlQuery put(out);
        put.prepare(
            QStringLiteral("INSERT INTO %1 (rowid, %2) VALUES (?, ?)").arg(districts, district));
        while (r.next()) {
            has.addBindValue(r.value(1));
            if (!has.exec()) throwDatabaseError(has.lastError());
            if (has.next()) continue;
            put.addBindValue(r.value(0));
            put.addBindValue(r.value(1));
            if (!put.exec()) throwDatabaseError(put.lastError());
            ++summary.districts;
        }
        r.finish();

        QSqlQuery insert(out);
        if (!insert.prepare(
                QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                    .arg(records, names.join(QLatin1Char(',')),
                         QStringList(names.size(), QStringLiteral("?")).join(QLatin1Char(',')))))
            throwDatabaseError(insert.lastError());
        QSqlQuery batch(in);
        batch.setForwardOnly(true);
        if (!batch.prepare(
                QStringLiteral("SELECT %1 FROM %2 WHERE rowid > ? ORDER BY rowid LIMIT %3")
                    .arg(select.join(QLatin1Char(',')), records)
                    .arg(kBatch)))
            throwDatabaseError(batch.lastError());
        qint64 after = std::numeric_limits<qint64>::min();
        for (bool more = true; more;) {
            batch.addBindValue(after);
            if (!batch.exec()) throwDatabaseError(batch.lastError());
            int read = 0;
            while (batch.next()) {
                ++read;
                after = batch.value(0).toLongLong();
                insert.addBindValue(after);
                for (int i = 0; i < columns.size(); ++i) {
                    QVariant v = batch.value(i + 1);
                    if (columns[i].kind == ColumnKind::Blob && !v.isNull()) {
                        const qint64 bytes = v.toByteArray().size();
                        summary.blobBytes += bytes;
                        if (bytes > 0 && columns[i].name == QLatin1String("zumen"))
                            ++summary.drawings;
                        if (bytes > 0 && columns[i].name == QLatin1String("excel"))
                            ++summary.sheets;
                    }
                    insert.addBindValue(v);
                }
                if (!insert.exec()) {
                    const QString cause = databaseErrorText(insert.lastError());
                    throw EDatabaseError(
                        QStringLiteral("%1: レコード（rowid %2）を書き込めません: %3")
                            .arg(shownName(to))
                            .arg(after)
                            .arg(cause));
                }
                ++summary.records;
            }
            if (batch.lastError().isValid()) throwDatabaseError(batch.lastError());
            batch.finish();
            more = read == kBatch;
            if (progress && (read > 0 || total == 0)) progress(summary.records, total);
        }
        if (outEngine.isServer()) {
            // New records continue after the keys copied.
            for (const QString& table : {records, districts})
                exec(w, QStringLiteral("SELECT setval(pg_get_serial_sequence('%1', 'rowid'), "
                                       "coalesce(max(rowid), 0) + 1, false) FROM %1")
                            .arg(table));
        }
        exec(w, QStringLiteral("COMMIT"));
    } catch (...) {
        w.exec(QStringLiteral("ROLLBACK"));
        throw;
    }
    return summary;
}

} // namespace tovera
