#pragma once
// The lines of a large drawing found and converted many at a time, with the processor's
// vector instructions where it has them. Internal to src/drawing.

#include <cstdint>

namespace tovera::readerdetail {

// Lines found but not yet converted. The common form of a number line is an optional
// minus, one to eight digits, and CR LF or LF.
struct LineBatch {
    static constexpr int kCapacity = 512;
    static constexpr int kSlack = 64; // a block's lines may be written past what was asked
    // lf[j] is the LF before line j (the line starts after it), lf[j + 1] line j's LF.
    const char* lf[kCapacity + kSlack + 1];
    // Where line j's digits would end: its LF, or the CR just before its LF.
    const char* end[kCapacity + kSlack];
    int64_t value[kCapacity + 4]; // filled by convertNumbers
    int size = 0;
};

// Converts lines [0, size) of `batch` into their values, as number lines, except that with
// `period` above 0 (at most 8) line j is a text line and ignored when j % period == period - 1. The
// 8 bytes before each line must be readable. Returns nonzero when a number line is not in the
// common form; the values are then of no use.
uint64_t convertNumbers(LineBatch& batch, int period);

// The LF bytes of [begin, stop), looked for 64 bytes at a time. Bytes up to `readable` (at
// least `stop`) may be looked at; `begin` starts a line.
class LineFinder {
public:
    LineFinder(const char* begin, const char* stop, const char* readable);

    // Sets batch.lf[1 .. want] and batch.end[0 .. want - 1] to the next `want` lines (at
    // most LineBatch::kCapacity). Returns how many were found: fewer only when `stop` comes
    // first.
    int fill(LineBatch& batch, int want);

private:
    // Finds the lines of the next block into lf[0..] and end[0..]; returns their count, or
    // -1 when no block is left.
    int nextBlock(const char** lf, const char** end);

    const char* block_;
    const char* stop_;
    const char* readable_;
    bool crBefore_ = false; // the byte before the current block is CR
    // Lines of the last block not yet given out.
    const char* pendingLf_[64];
    const char* pendingEnd_[64];
    int pending_ = 0, pendingAt_ = 0;
};

// How many LF bytes the 1024 bytes at `p` hold.
uint64_t lineFeedsIn1k(const char* p);

// Whether the vector instructions may be used where the processor has them (the default).
// Tests turn them off to check the portable way against them.
void allowVectorCode(bool allowed);

} // namespace tovera::readerdetail
