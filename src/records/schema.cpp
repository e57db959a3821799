#include "records/schema.h"

#include "platform/errors.h"
#include "records/columns.h"
#include "records/dberror.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <cerrno>

namespace tovera {

namespace {

QString quoted(const QString& name) {
    return QLatin1Char('"') + name + QLatin1Char('"');
}

QString columnDeclaration(const ColumnDef& c) {
    const QString name = QString::fromUtf8(c.name);
    const QString q = quoted(name);
    switch (c.kind) {
    case ColumnKind::Integer:
        return QStringLiteral("%1 INTEGER CHECK (typeof(%1) IN ('integer', 'null'))").arg(q);
    case ColumnKind::Real:
        return QStringLiteral("%1 REAL CHECK (typeof(%1) IN ('real', 'integer', 'null'))").arg(q);
    case ColumnKind::Date:
        return QStringLiteral("%1 DATETIME CHECK (%1 IS NULL OR (typeof(%1) = 'text' AND "
                              "julianday(%1) IS NOT NULL))")
            .arg(q);
    case ColumnKind::Blob:
        return QStringLiteral("%1 BLOB CHECK (typeof(%1) IN ('blob', 'null'))").arg(q);
    case ColumnKind::Text:
        break;
    }
    if (name == QString::fromUtf8(kDistrictColumn))
        return QStringLiteral("%1 TEXT COLLATE NOCASE REFERENCES %2(%1)")
            .arg(q, quoted(QString::fromUtf8(kDistrictTable)));
    // The prefix searches use LIKE, which an index serves only under NOCASE.
    if (name == QStringLiteral("所有者氏名") || name == QStringLiteral("備考"))
        return QStringLiteral("%1 TEXT COLLATE NOCASE").arg(q);
    return QStringLiteral("%1 TEXT").arg(q);
}

} // namespace

QStringList schemaStatements() {
    const QString district = quoted(QString::fromUtf8(kDistrictTable));
    const QString records = quoted(QString::fromUtf8(kRecordTable));
    QStringList columns;
    for (const ColumnDef& c : recordColumns()) columns << columnDeclaration(c);
    return {
        QStringLiteral("PRAGMA journal_mode = WAL"),
        QStringLiteral("CREATE TABLE %1 (\"所在区\" TEXT NOT NULL PRIMARY KEY)").arg(district),
        QStringLiteral("CREATE TABLE %1 (\n  %2\n)")
            .arg(records, columns.join(QStringLiteral(",\n  "))),
        QStringLiteral("CREATE INDEX \"基本データ_所有者氏名\" ON %1(\"所有者氏名\")").arg(records),
        QStringLiteral("CREATE INDEX \"基本データ_所在区\" ON %1(\"所在区\")").arg(records),
        QStringLiteral("CREATE INDEX \"基本データ_備考\" ON %1(\"備考\")").arg(records),
        QStringLiteral("CREATE INDEX \"基本データ_日付\" ON %1(\"日付\")").arg(records),
    };
}

namespace {

// Whether `table` has an index that SQLite's LIKE prefix search can walk for `column`: a
// whole-table index whose first key is the column under NOCASE, the folding LIKE uses.
bool hasPrefixIndex(QSqlQuery& q, const QString& table, const QString& column) {
    if (!q.exec(QStringLiteral("PRAGMA index_list(%1)").arg(quoted(table)))) return true;
    QStringList whole;
    while (q.next())
        if (q.value(4).toInt() == 0) whole << q.value(1).toString(); // not a partial index
    for (const QString& index : whole) {
        if (!q.exec(QStringLiteral("PRAGMA index_xinfo(%1)").arg(quoted(index)))) continue;
        if (q.next() && q.value(2).toString() == column &&
            q.value(4).toString().compare(QLatin1String("NOCASE"), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

// Whether `column` of `table` exists with text affinity (the LIKE optimisation needs it).
bool isTextColumn(QSqlQuery& q, const QString& table, const QString& column) {
    if (!q.exec(QStringLiteral("PRAGMA table_info(%1)").arg(quoted(table)))) return false;
    while (q.next()) {
        if (q.value(1).toString() != column) continue;
        const QString type = q.value(2).toString().toUpper();
        // SQLite's affinity rules, in their order: INT first, then text.
        return !type.contains(QLatin1String("INT")) &&
               (type.contains(QLatin1String("CHAR")) || type.contains(QLatin1String("CLOB")) ||
                type.contains(QLatin1String("TEXT")));
    }
    return false;
}

} // namespace

void ensurePrefixSearchIndexes(const QSqlDatabase& db) {
    const QString table = QString::fromUtf8(kRecordTable);
    QSqlQuery q(db);
    q.setForwardOnly(true);
    for (const QString& column : {QStringLiteral("所有者氏名"), QStringLiteral("備考")}) {
        if (!isTextColumn(q, table, column) || hasPrefixIndex(q, table, column)) continue;
        // Only an index is added: the rows are not touched. A file that cannot take it now
        // (locked, full disk) is searched by walking the table, as before.
        q.exec(QStringLiteral("CREATE INDEX IF NOT EXISTS %1 ON %2(%3 COLLATE NOCASE)")
                   .arg(quoted(table + QLatin1Char('_') + column + QStringLiteral("_prefix")),
                        quoted(table), quoted(column)));
    }
}

QSqlDatabase createStoreFile(const QString& path, const QString& connectionName) {
    if (QFileInfo::exists(path) || QFileInfo(path).isSymLink())
        throw EInOutError(QStringLiteral("ファイル %1 は既にあります").arg(path), EEXIST);
    // Claim the name first, so a store that appeared meanwhile is not taken over.
    QFile claim(path);
    if (!claim.open(QIODevice::NewOnly | QIODevice::WriteOnly))
        throwOpenError(path, errno ? errno : EACCES);
    claim.close();
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName);
    db.setDatabaseName(path);
    if (!db.open()) {
        const QSqlError e = db.lastError();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(connectionName);
        QFile::remove(path);
        throwDatabaseError(e);
    }
    return db;
}

void createSchema(const QString& path) {
    const QString name = QStringLiteral("tovera-schema-") + QUuid::createUuid().toString();
    bool failed = false;
    QSqlError error;
    {
        QSqlDatabase db = createStoreFile(path, name);
        QSqlQuery q(db);
        for (const QString& statement : schemaStatements()) {
            if (!q.exec(statement)) {
                failed = true;
                error = q.lastError();
                break;
            }
        }
        q = QSqlQuery();
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    if (failed) {
        QFile::remove(path);
        throwDatabaseError(error);
    }
}

} // namespace tovera
