#pragma once
// What a typed cell entry becomes: a number or a date when it reads as one, otherwise text.

#include <QString>
#include <optional>

namespace tovera {

// The number `input` stands for, or nothing when it is text. Accepted: an optional sign,
// digits with an optional decimal point ("12", "-0.5", ".25", "3."), thousands grouping
// in threes ("1,234", "12,345,678.9"), an exponent ("1e3", "2.5E-4") and a trailing "%"
// that divides by 100 ("12%" is 0.12). Blanks around the entry are ignored and full-width
// digits and signs count as their ASCII forms. Infinite results ("1e999") are text.
std::optional<double> parseNumberInput(const QString& input);

// A typed date, time or both, as a serial number of the workbook's date system.
struct DateInput {
    double serial = 0; // days since the system's day 0; the time of day as a fraction
    bool hasDate = false;
    bool hasTime = false;
    bool hasSeconds = false;
};

// The date or time `input` stands for, or nothing when it is none: "2024/1/15",
// "2024-01-15", "2024年1月15日", each optionally followed by a blank and a time, or a time
// alone: "13:05", "13:05:30" (hours 0-23; a time alone is a fraction of a day). Years run
// from 1900 (1904 when `date1904`) to 9999; a day the calendar does not have is no date.
// Full-width digits and signs count as their ASCII forms.
std::optional<DateInput> parseDateInput(const QString& input, bool date1904);

// The text an entry field shows for a number: up to 15 significant digits, no exponent
// between 1e-5 and 1e15, no trailing zeros ("110.54", "-3", "1234567.891").
QString numberEditText(double value);

} // namespace tovera
