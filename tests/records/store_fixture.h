#pragma once
// Builds small real SQLite stores for the record tests.

#include "platform/errors.h"
#include "records/demo.h"
#include "records/schema.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QUuid>
#include <QVariantMap>
#include <functional>

namespace tovera::test {

// Writes the demo districts and one row per map (column → value) through `q`, on either
// engine. Returns false at the first statement refused, leaving its error in `q`.
inline bool fillRegister(QSqlQuery& q, const QList<QVariantMap>& rows) {
    for (const QString& d : demoDistricts()) {
        q.prepare(QStringLiteral("INSERT INTO \"行政区\" (\"所在区\") VALUES (?)"));
        q.addBindValue(d);
        if (!q.exec()) return false;
    }
    for (const QVariantMap& row : rows) {
        QStringList cols, marks;
        for (auto it = row.begin(); it != row.end(); ++it) {
            cols << QLatin1Char('"') + it.key() + QLatin1Char('"');
            marks << QStringLiteral("?");
        }
        q.prepare(QStringLiteral("INSERT INTO \"基本データ\" (%1) VALUES (%2)")
                      .arg(cols.join(QLatin1Char(',')), marks.join(QLatin1Char(','))));
        for (const QVariant& v : row) q.addBindValue(v);
        if (!q.exec()) return false;
    }
    return true;
}

// The message of the error `f` raises; empty when it raises none.
inline QString errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const Exception& e) {
        return e.message();
    }
    return QString();
}

// A new store at `path` with the demo districts and one row per map (column → value).
inline void makeStore(const QString& path, const QList<QVariantMap>& rows) {
    createSchema(path);
    const QString name = QUuid::createUuid().toString();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        db.open();
        QSqlQuery q(db);
        if (!fillRegister(q, rows)) qWarning("%s", qPrintable(q.lastError().text()));
        q = QSqlQuery();
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

// One value of the file read behind the record set's back (by rowid order position).
inline QVariant fileValue(const QString& path, const QString& sql) {
    const QString name = QUuid::createUuid().toString();
    QVariant v;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        db.open();
        QSqlQuery q(db);
        if (q.exec(sql) && q.next()) v = q.value(0);
        q = QSqlQuery();
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return v;
}

// A plain SQLite connection to the file at `path`, as another program would open it: none
// of the provider's settings.
class RawConnection {
public:
    explicit RawConnection(const QString& path) : name_(QUuid::createUuid().toString()) {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name_);
        db.setDatabaseName(path);
        db.open();
    }
    ~RawConnection() {
        QSqlDatabase::database(name_, false).close();
        QSqlDatabase::removeDatabase(name_);
    }
    RawConnection(const RawConnection&) = delete;
    RawConnection& operator=(const RawConnection&) = delete;
    QSqlDatabase database() const { return QSqlDatabase::database(name_, false); }

private:
    QString name_;
};

// Switches the open connection `db` to a rollback journal, where another connection holding
// an exclusive lock keeps it from reading. True when the switch was made.
inline bool useRollbackJournal(const QSqlDatabase& db) {
    QSqlQuery q(db);
    return q.exec(QStringLiteral("PRAGMA journal_mode = DELETE")) && q.next() &&
           q.value(0).toString() == QLatin1String("delete");
}

} // namespace tovera::test
