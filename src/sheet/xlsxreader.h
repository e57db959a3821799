#pragma once
// Reading Office Open XML workbooks (.xlsx, .xlsm; macros are never run) into the same
// model the .xls reader fills, and reading a workbook of either format recognised from
// its content rather than its name.

#include "sheet/workbook.h"

#include <QByteArray>
#include <QString>

namespace tovera {

// True when `bytes` look like an Office Open XML package (a ZIP archive).
bool isXlsxBytes(const QByteArray& bytes);

// Reads the .xlsx workbook in `bytes`; `nameForMessages` names it in error texts. Raises
// EOleException whose Japanese text names the file and the cause (not a workbook, damaged
// or truncated archive, a part inflating past the limits, DTDs or entities, values beyond
// 65536 rows or 256 columns). Never returns a partly read workbook. Formulas become the
// model's tokens through the typed-formula parser; those it cannot express keep only
// their stored results.
Workbook loadXlsxBytes(const QByteArray& bytes, const QString& nameForMessages);

// Reads a workbook of any supported format from the bytes of a file: .xlsx by its ZIP
// signature, an encrypted .xlsx (a compound file holding an encrypted package) refused as
// password protected, anything else as .xls. Errors as loadWorkbookBytes.
Workbook loadAnyWorkbookBytes(const QByteArray& bytes, const QString& nameForMessages);

// The same for the file at `path`; errors name the path.
Workbook loadAnyWorkbookFile(const QString& path);

} // namespace tovera
