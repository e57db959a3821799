#pragma once
// Reading .xls workbooks: BIFF8 (Excel 97-2003) and BIFF5/7 in a compound file, and bare
// BIFF2-4 record streams, including workbooks encrypted with the default password.

#include "sheet/workbook.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace tovera {

// Reads the workbook file at `path`. Raises EOleException whose Japanese text names the
// file and the cause (not a workbook, damaged, unsupported version, password protected,
// cannot be read). Never returns a partly read workbook.
Workbook loadWorkbookFile(const QString& path);

// Reads a workbook from the bytes of a file; the bytes may go on past the workbook's end.
// `nameForMessages` names the workbook in error texts. Errors as loadWorkbookFile.
Workbook loadWorkbookBytes(const QByteArray& bytes, const QString& nameForMessages);

// Reads what can be read of a possibly damaged workbook file: a sheet cut short keeps the
// cells before the cut, a sheet that cannot be found is left out. Each damage found is
// appended to `notes` as one Japanese sentence naming the file and the cause (empty for a
// whole file). A file that is not a workbook, or whose container cannot be opened, raises
// as loadWorkbookFile.
Workbook salvageWorkbookFile(const QString& path, QStringList& notes);

} // namespace tovera
