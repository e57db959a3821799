#pragma once
// Copying a whole register between an SQLite file and a PostgreSQL server, either way.

#include <QString>
#include <functional>

namespace tovera {

struct CopySummary {
    int records = 0;
    int districts = 0;
    int drawings = 0;     // records with a stored drawing
    int sheets = 0;       // records with a stored sheet
    qint64 blobBytes = 0; // bytes of all attachments copied
};

// Copies every district and every house record of register `from` into register `to`
// (each a file path or a libpq URI), keys and attachments byte for byte, in one transaction
// of `to`. A missing destination file is created; a server database without the
// register's tables gets them (initServerRegister). `progress` (may be empty) is called
// with the records copied so far and the total. Raises EDatabaseError (EInOutError for
// files) naming the register: when `from` cannot be opened, when `to` already holds
// records (nothing is then written), or when a value cannot be written; `to` then keeps
// what it held.
CopySummary copyRegister(const QString& from, const QString& to,
                         const std::function<void(int done, int total)>& progress = {});

// Raises EDatabaseError, as copyRegister would, when register `to` exists and holds
// records; a destination that is missing or cannot be reached passes (for checks before
// long work).
void requireEmptyDestination(const QString& to);

} // namespace tovera
