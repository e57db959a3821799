#pragma once
// Number conversions of the drawing readers. They work on byte ranges of code page 932
// text, never allocate for ordinary lengths, and ignore the locale: "." is always the
// decimal point. Each returns false when the text is not a valid number and leaves `out`
// untouched then.

#include <cstdint>

namespace tovera::drawnum {

// An integer with an optional sign: decimal digits, or hexadecimal digits after "$", "x",
// "X", "0x" or "0X" (digits and letters of either case). The whole range must be the number
// and its value must lie in the 32-bit signed range.
bool parseInteger(const char* begin, const char* end, int32_t& out);

// A decimal real: optional sign, digits with an optional "." and fraction (at least one
// digit in all), and an optional exponent ("e" or "E", optional sign, digits). The whole
// range must be the number; an overflow to infinity is not a number.
bool parseReal(const char* begin, const char* end, double& out);

// As parseInteger, with any number of spaces (not tabs) allowed before the number.
bool parseIntegerField(const char* begin, const char* end, int32_t& out);

// As parseReal, with spaces (not tabs) allowed before and after the number.
bool parseRealField(const char* begin, const char* end, double& out);

} // namespace tovera::drawnum
