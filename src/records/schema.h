#pragma once
// Creation of an empty house-record store: tables 基本データ and 行政区 with their checks,
// foreign key and indexes.

#include <QSqlDatabase>
#include <QString>

namespace tovera {

// Creates a new SQLite store at `path` with both tables empty. Raises EInOutError when
// `path` already exists (it never overwrites) or cannot be created, EDatabaseError when a
// statement fails; a half-made file is removed.
//
// Storage: No INTEGER; the floor areas and 評点数 REAL; the three dates as ISO 8601 text
// "yyyy-MM-ddTHH:mm:ss.zzz" in local time (the form Qt binds date-time parameters in, which
// SQLite's date functions read and which sorts as the dates do); zumen and excel BLOB; all
// else TEXT. Numeric and date columns refuse values of any other type; 所在区 references
// 行政区(所在区) and the provider enforces it. The file uses write-ahead logging, so each
// post costs one synchronous write.
void createSchema(const QString& path);

// The statements createSchema runs, in order (for tests and for building stores in place).
QStringList schemaStatements();

// Gives an existing store whose owner-name or remarks column has no index fit for the
// prefix searches (a text column without a NOCASE index, as in files made elsewhere) such
// an index, so that "Like 'text%'" walks the index instead of the table. Adds nothing
// else and changes no row; failures (a read-only or locked file) are ignored. The stores
// createSchema makes have these indexes already.
void ensurePrefixSearchIndexes(const QSqlDatabase& db);

// Opens a new SQLite file at `path` for building (no foreign-key or existence checks),
// under Qt connection name `connectionName`. Raises EInOutError when `path` exists.
QSqlDatabase createStoreFile(const QString& path, const QString& connectionName);

} // namespace tovera
