#pragma once
// Conversion of an Access register (評価調書.mdb with tables 基本データ and 行政区, Jet 3 or
// Jet 4) into a new house-record store. The Access file is only read.

#include "records/columns.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>

namespace tovera {

struct ImportSummary {
    qint64 records = 0;         // rows of 基本データ stored
    qint64 districts = 0;       // rows of 行政区 stored
    qint64 attachments = 0;     // zumen and excel values holding at least one byte
    qint64 attachmentBytes = 0; // their bytes together
    QStringList warnings;       // one sentence each: what was not taken over exactly, and where
};

// Called after each row with the rows done and the rows in all (both tables); returning
// false stops the import as a failure.
using ImportProgress = std::function<bool(qint64 done, qint64 total)>;

// Reads the Access file at `accessPath` and writes a new store at `storePath` holding its
// districts and house records in stored order: every column of the store that the Access
// table has, text exactly (empty text stays empty text, NULL stays NULL), dates with their
// time of day to the millisecond, attachments byte for byte as stored: the program stored
// the files' own bytes, so no OLE wrapper is taken off (a value that begins with the
// header Access gives objects inserted through its forms is kept as it is and reported,
// since it is not a drawing or workbook file the program can show). Access columns the
// store does not know, store columns the Access table lacks and values the store cannot
// hold as they are, are listed in the summary's warnings (see convertAccessValue).
//
// Raises EInOutError when `storePath` exists (it is never overwritten), when the Access
// file cannot be read, is not an Access database, is damaged or cut short, or lacks one of
// the two tables; EDatabaseError when the store cannot be written; EInOutError when
// `progress` asks to stop. The store is built under a temporary name beside `storePath`
// and takes its name only when complete, so a failed import leaves nothing behind.
ImportSummary importAccessRegister(const QString& accessPath, const QString& storePath,
                                   const ImportProgress& progress = {});

struct ConvertedValue {
    QVariant value;  // what the store takes (null for NULL)
    QString problem; // empty when the value was taken over exactly; else what was done
};

// Converts one value read from Access (as AccessTable delivers it) for a store column.
// Numeric columns take numbers, and text holding a number ("94.80", full-width digits,
// grouping commas); empty or blank text becomes NULL. Text that only begins with a number
// ("62.10㎡") gives that number, text without one NULL, both with a problem quoting the
// whole text. Dates take Access dates; text columns take text, and numbers as their
// decimal text. Attachments take the stored bytes unchanged.
ConvertedValue convertAccessValue(const ColumnDef& def, const QVariant& value);

} // namespace tovera
