#pragma once
// Turns errors of the SQLite layer into EDatabaseError with the text the user sees.

#include <QString>

class QSqlError;

namespace tovera {

// The user's text for a failed database call: Japanese where the cause is known (a locked
// or read-only file, a full disk, a file that is not a database, a district missing from
// 行政区, a value refused by a column's check), else the provider's own text.
QString databaseErrorText(const QSqlError& error);

// Raises EDatabaseError with databaseErrorText(error).
[[noreturn]] void throwDatabaseError(const QSqlError& error);

} // namespace tovera
