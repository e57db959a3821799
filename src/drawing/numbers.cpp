#include "drawing/numbers.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <locale.h>
#include <string>

namespace tovera::drawnum {
namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// The "C" locale for strtod_l, made once: the program's own locale may use a comma.
locale_t cLocale() {
    static const locale_t loc = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    return loc;
}

} // namespace

bool parseInteger(const char* p, const char* end, int32_t& out) {
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    if (p == end) return false;
    const uint64_t limit = negative ? 2147483648u : 2147483647u;
    uint64_t value = 0;
    bool hex = false;
    if (*p == '$' || *p == 'x' || *p == 'X') {
        hex = true;
        ++p;
    } else if (*p == '0' && end - p >= 2 && (p[1] == 'x' || p[1] == 'X')) {
        hex = true;
        p += 2;
    }
    if (p == end) return false;
    if (hex) {
        for (; p < end; ++p) {
            const int d = hexDigit(*p);
            if (d < 0) return false;
            value = value * 16 + uint64_t(d);
            if (value > limit) return false;
        }
    } else {
        for (; p < end; ++p) {
            if (!isDigit(*p)) return false;
            value = value * 10 + uint64_t(*p - '0');
            if (value > limit) return false;
        }
    }
    out = negative ? int32_t(-int64_t(value)) : int32_t(value);
    return true;
}

bool parseReal(const char* begin, const char* end, double& out) {
    const char* p = begin;
    if (p < end && (*p == '+' || *p == '-')) ++p;
    int digits = 0;
    while (p < end && isDigit(*p)) ++p, ++digits;
    if (p < end && *p == '.') {
        ++p;
        while (p < end && isDigit(*p)) ++p, ++digits;
    }
    if (digits == 0) return false;
    if (p < end && (*p == 'e' || *p == 'E')) {
        ++p;
        if (p < end && (*p == '+' || *p == '-')) ++p;
        if (p == end || !isDigit(*p)) return false;
        while (p < end && isDigit(*p)) ++p;
    }
    if (p != end) return false;

    // The syntax is checked; strtod_l does the correctly rounded conversion.
    const size_t n = size_t(end - begin);
    double value;
    if (n < 128) {
        char buf[128];
        std::memcpy(buf, begin, n);
        buf[n] = '\0';
        value = strtod_l(buf, nullptr, cLocale());
    } else {
        const std::string copy(begin, n);
        value = strtod_l(copy.c_str(), nullptr, cLocale());
    }
    if (std::isinf(value)) return false;
    out = value;
    return true;
}

bool parseIntegerField(const char* begin, const char* end, int32_t& out) {
    while (begin < end && *begin == ' ') ++begin;
    return parseInteger(begin, end, out);
}

bool parseRealField(const char* begin, const char* end, double& out) {
    while (begin < end && *begin == ' ') ++begin;
    while (end > begin && end[-1] == ' ') --end;
    return parseReal(begin, end, out);
}

} // namespace tovera::drawnum
