#pragma once
// The cell listing of `tovera-cli sheet cells`: every cell with a value, of every sheet,
// one line each: SHEET<TAB>ROW<TAB>COL<TAB>TYPE<TAB>VALUE (sheet from 0, row and column
// from 1).

#include "sheet/workbook.h"

#include <QString>
#include <QStringList>

namespace tovera {

// The shortest decimal text that reads back as `value`, written as Python writes floats:
// "36526.0", "0.1", "1e-05", "1.5e+16", "-0.0", "inf", "nan".
QString shortestDouble(double value);

// Text with backslash, tab, LF and CR written as \\, \t, \n and \r.
QString escapeCellText(const QString& text);

// One line (without line end) per cell that holds a value: text, number, date (a number
// shown in a date format; its serial number), bool (1/0) or error (its text). A formula
// whose result is empty text is listed as text with an empty value.
QStringList cellLines(const Workbook& book);

} // namespace tovera
