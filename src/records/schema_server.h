#pragma once
// Creation of an empty house-record register on a PostgreSQL server.

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

namespace tovera {

// The statements that make the tables of an empty server register, in order. Storage: No
// bigint; floor areas and 評点数 double precision; the three dates timestamp(3); zumen and
// excel bytea; all else text in the C collation (so that ordering and the case folding of
// the searches are the file's, whatever the server's locale). Each table has a key rowid
// (an identity: the server hands out new keys, so two desks never take the same one);
// 基本データ also has row_version, raised by a trigger at every update of the row.
// Searches are served by indexes on lower() of the three searched columns and on 日付.
QStringList serverSchemaStatements();

// Creates the tables in the open server database `db`, in one transaction. Raises
// EDatabaseError naming `shown` when the register already has its tables or a statement
// fails; nothing is then created.
void createServerSchema(const QSqlDatabase& db, const QString& shown);

// Creates the database of the libpq URI `uri` when the server has none of that name
// (UTF-8, C collation, through the server's "postgres" database; the user needs the right
// to create databases), then its tables (createServerSchema). Raises EDatabaseError.
void initServerRegister(const QString& uri);

// True when the server database `db` has the register's tables.
bool serverHasRegister(const QSqlDatabase& db);

} // namespace tovera
