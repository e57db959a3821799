#pragma once
// Cell values as the spreadsheet shows them through a number format code: General in a
// column of the standard width, digit placeholders, thousands separators, scaling, percent,
// scientific, fractions, literal and text sections, conditions, and dates and times in the
// 1900 (with its fake 1900-02-29) and 1904 systems, including the Japanese era and 年月日
// formats. Colours, fills (*c) and widths do not affect the text; `_c` gives one space.

#include <QString>

namespace tovera {

// `value` through the format `code` (as stored in the workbook; "General" or an empty code
// is General). Dates outside the valid range (negative, or past 9999-12-31) give
// "########". Never fails: an unusable code falls back to General.
QString formatNumber(double value, const QString& code, bool date1904 = false);

// A text value through the format's text section (the fourth section, or a section that
// holds "@"); the text unchanged when the format has none.
QString formatText(const QString& text, const QString& code);

// A number in the General format as shown in a column of standard width: at most 11
// characters (a minus sign counts), scientific notation beyond that.
QString formatGeneral(double value);

} // namespace tovera
