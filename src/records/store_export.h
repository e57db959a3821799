#pragma once
// Export of a house-record store as a CSV file for the municipality's own reporting.

#include <QString>

namespace tovera {

// Writes every record of the store at `storePath` to a new file `csvPath`: UTF-8 with a
// byte-order mark, CR LF line ends, a header line of the column names, then one line per
// record in stored order. Text is quoted ("" for a quote inside), and a text beginning with
// "=", "+", "-", "@", a tab or a carriage return gets a leading "'" inside the quotes, so
// that a spreadsheet program never takes it for a formula; numbers as the record page shows
// them (94.8, -5); dates as yyyy/MM/dd HH:mm:ss; zumen and excel as their sizes in bytes;
// NULL as an empty field. Returns the number of records written.
//
// Raises EDatabaseError when the store cannot be read or is not a store, EInOutError when
// `csvPath` exists (it is never overwritten) or cannot be written; no file is left then.
qint64 exportStoreCsv(const QString& storePath, const QString& csvPath);

} // namespace tovera
