#pragma once
// What differs between the two places a register can live: an SQLite file beside the
// program, or a PostgreSQL server shared by several desks. Every statement the record set
// and the copy build goes through this class, so each engine's dialect stays in one place.
//
// Both engines give each row of 基本データ and 行政区 a whole-number key named rowid that
// grows in entry order: SQLite's own rowid in the file, an identity column on the server.
// The server's rows also carry row_version, raised by every post, so that a post or a
// delete can tell that another desk changed the row since it was read.

#include "records/columns.h"

#include <QList>
#include <QSqlDatabase>
#include <QString>

namespace tovera {

// The name of the version column of a server register.
inline constexpr const char* kVersionColumn = "row_version";

class Engine {
public:
    enum class Kind { File, Server };

    // The engine of an open database (QSQLITE or QPSQL).
    static Engine of(const QSqlDatabase& db);
    explicit Engine(Kind kind) : kind_(kind) {}

    Kind kind() const { return kind_; }
    bool isServer() const { return kind_ == Kind::Server; }
    // Whether rows carry row_version.
    bool hasVersion() const { return isServer(); }

    // The columns of 基本データ as stored, in table order, without the key and the version.
    // Raises EDatabaseError.
    struct StoredColumn {
        QString name;
        ColumnKind kind;
    };
    QList<StoredColumn> recordColumns(const QSqlDatabase& db) const;

    // The statement that opens a write's transaction. In the file it takes the write lock
    // at once, so what the transaction checks before writing stays true until the write.
    QString beginWrite() const;

    // The select-list expression reading column `quotedName` of kind `kind` for the record
    // set: attachments as their byte length, dates as "yyyy-MM-ddTHH:mm:ss.zzz" text.
    QString readExpression(const QString& quotedName, ColumnKind kind) const;

    // The query of the keys of the rows `sql` selects, given the part after
    // "SELECT * FROM 基本データ" (conditions, may be empty). On the server a LIKE compares as
    // the file's does: ASCII letters without regard to case, every other character as it
    // is, "%" and "_" as wildcards and no escape character.
    QString keyQuery(const QString& quotedTable, const QString& rest) const;

    // The text of a LIKE condition's comparison rewritten for the engine (unchanged for
    // the file). Exposed for tests.
    QString translateLike(const QString& sql) const;

    // INSERT of `columns` (quoted names, "?" for each value) that yields the new key as
    // its first result column on the server; the file's key comes from lastInsertId.
    QString insertStatement(const QString& quotedTable, const QStringList& columns) const;
    bool insertReturnsKey() const { return isServer(); }

private:
    Kind kind_;
};

} // namespace tovera
