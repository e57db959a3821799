#pragma once
// The number lines of the bulk drawing reader, converted many at a time. Internal to
// src/drawing.

#include <cstdint>
#include <cstring>

namespace tovera::readerdetail {

// Number lines found but not yet converted. The common form of a number line is an
// optional minus, one to eight digits, and CR LF or LF.
struct DigitBatch {
    static constexpr int kCapacity = 256;
    const char* digitsEnd[kCapacity]; // just after each line's last digit
    int64_t digits[kCapacity];        // how many bytes lie between the minus and digitsEnd
    int64_t minus[kCapacity];         // -1 when a minus leads the line, else 0
    int64_t value[kCapacity];         // filled by convertDigits
    int size = 0;

    // Sets line i (below kCapacity) to the line from `s` to its LF at `lf`; `size` is set
    // when the batch is full. The 8 bytes before `s` must be readable.
    void add(int i, const char* s, const char* lf) {
        // An empty line has its LF at s, and the byte before s is the previous line's LF.
        const char* const end = lf - (lf[-1] == '\r');
        const bool negative = *s == '-';
        digitsEnd[i] = end;
        digits[i] = end - s - negative;
        minus[i] = -int64_t(negative);
    }
};

// Converts the lines of `batch` into its `value`s. Returns nonzero when a line is not in
// the common form; the values are then of no use.
uint64_t convertDigits(DigitBatch& batch);

// Whether convertDigits may use the processor's 256-bit vectors where it has them (the
// default). Tests turn it off to check the portable way against them.
void allowVectorDigits(bool allowed);

} // namespace tovera::readerdetail
