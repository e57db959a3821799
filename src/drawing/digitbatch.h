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
    // Line i runs from start[i] to end[i], its LF or the CR just before its LF; the 8 bytes
    // before start[i] must be readable.
    const char* start[kCapacity];
    const char* end[kCapacity];
    int64_t value[kCapacity]; // filled by convertDigits
    int size = 0;
};

// Converts the lines of `batch` into its `value`s. Returns nonzero when a line is not in
// the common form; the values are then of no use.
uint64_t convertDigits(DigitBatch& batch);

// Whether convertDigits may use the processor's 256-bit vectors where it has them (the
// default). Tests turn it off to check the portable way against them.
void allowVectorDigits(bool allowed);

} // namespace tovera::readerdetail
