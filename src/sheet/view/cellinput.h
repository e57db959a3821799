#pragma once
// What a typed cell entry becomes: a number when it reads as one, otherwise text.

#include <QString>
#include <optional>

namespace tovera {

// The number `input` stands for, or nothing when it is text. Accepted: an optional sign,
// digits with an optional decimal point ("12", "-0.5", ".25", "3."), thousands grouping
// in threes ("1,234", "12,345,678.9"), an exponent ("1e3", "2.5E-4") and a trailing "%"
// that divides by 100 ("12%" is 0.12). Blanks around the entry are ignored and full-width
// digits and signs count as their ASCII forms. Infinite results ("1e999") are text.
std::optional<double> parseNumberInput(const QString& input);

// The text an entry field shows for a number: up to 15 significant digits, no exponent
// between 1e-5 and 1e15, no trailing zeros ("110.54", "-3", "1234567.891").
QString numberEditText(double value);

} // namespace tovera
