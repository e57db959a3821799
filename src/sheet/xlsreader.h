#pragma once
// Reading .xls workbooks: BIFF8 (Excel 97-2003) and BIFF5/7 in a compound file, and bare
// BIFF2-4 record streams, including workbooks encrypted with the default password.

#include "sheet/workbook.h"

#include <QByteArray>
#include <QString>

namespace tovera {

// Reads the workbook file at `path`. Raises EOleException whose Japanese text names the
// file and the cause (not a workbook, damaged, unsupported version, password protected,
// cannot be read). Never returns a partly read workbook.
Workbook loadWorkbookFile(const QString& path);

// Reads a workbook from the bytes of a file; the bytes may go on past the workbook's end.
// `nameForMessages` names the workbook in error texts. Errors as loadWorkbookFile.
Workbook loadWorkbookBytes(const QByteArray& bytes, const QString& nameForMessages);

} // namespace tovera
