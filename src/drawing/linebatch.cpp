#include "drawing/linebatch.h"

#include "drawing/filetext.h"

#include <atomic>
#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define TOVERA_VECTOR_CODE 1
#endif

namespace tovera::readerdetail {
namespace {

constexpr uint64_t kOnes = 0x0101010101010101ull;

std::atomic<bool> vectorsAllowed{true};

// The number line from `s` to `digitsEnd` the portable way, eight bytes in one word: its
// value into `value`, and nonzero when it is not in the common form.
uint64_t convertOne(const char* s, const char* digitsEnd, int64_t& value) {
    const int64_t minus = -int64_t(*s == '-');
    const int64_t n = digitsEnd - s + minus;
    uint64_t bad = uint64_t(n - 1) >> 3; // nonzero unless 1 to 8 digits
    // The eight bytes before the digits' end, the digits last; the bytes before them are
    // cleared, which reads as leading zeros.
    const unsigned shift = unsigned(64 - 8 * n) & 63;
    uint64_t w;
    std::memcpy(&w, digitsEnd - 8, 8);
    uint64_t d = ((w ^ (0x30 * kOnes)) >> shift) << shift;
    // A digit is now a byte 0 to 9; any other byte has a high half or reaches 16 plus 6.
    bad |= (d | (d + 0x06 * kOnes)) & (0xF0 * kOnes);
    d = (d * 2561) >> 8 & 0x00FF00FF00FF00FFull;
    d = (d * 6553601) >> 16 & 0x0000FFFF0000FFFFull;
    const auto v = int64_t((d * 42949672960001ull) >> 32);
    value = (v ^ minus) - minus;
    return bad;
}

bool isText(int j, int period) {
    return period > 0 && j % period == period - 1;
}

// The lines ending in the 64 bytes at `data` (a copy of those at `base`, or the same),
// LFs beyond `keep` not counted: each LF's place into lf[], where its digits would end into
// end[]. `crBefore` tells whether the byte before the block is CR and is set for the next
// block. Returns the count; up to 64 entries may be written.
using BlockLines = int (*)(const char* data, const char* base, uint64_t keep, bool& crBefore,
                           const char** lf, const char** end);

int blockLinesPortable(const char* data, const char* base, uint64_t keep, bool& crBefore,
                       const char** lf, const char** end) {
    uint64_t lfs = lineFeeds(data) & keep;
    const uint64_t crs = bytesEqualTo(data, '\r');
    const uint64_t crThenLf = ((crs << 1) | uint64_t(crBefore)) & lfs;
    crBefore = (crs >> 63) != 0;
    int n = 0;
    while (lfs != 0) {
        const int at = std::countr_zero(lfs);
        lf[n] = base + at;
        end[n] = base + at - int((crThenLf >> at) & 1);
        ++n;
        lfs &= lfs - 1;
    }
    return n;
}

#ifdef TOVERA_VECTOR_CODE

alignas(64) constexpr int8_t kIota[64] = {
    0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21,
    22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39, 40, 41, 42, 43,
    44, 45, 46, 47, 48, 49, 50, 51, 52, 53, 54, 55, 56, 57, 58, 59, 60, 61, 62, 63};

// As blockLinesPortable, the places gathered with 512-bit vectors. (GCC 12's widening
// intrinsic reads an undefined vector it never uses; its warning is off here.)
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
__attribute__((target("avx512f,avx512bw,avx512vbmi2,popcnt"))) int
blockLines512(const char* data, const char* base, uint64_t keep, bool& crBefore, const char** lf,
              const char** end) {
    const __m512i v = _mm512_loadu_si512(data);
    const uint64_t lfs = _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8('\n')) & keep;
    const uint64_t crs = _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8('\r'));
    const uint64_t crThenLf = ((crs << 1) | uint64_t(crBefore)) & lfs;
    crBefore = (crs >> 63) != 0;
    const __m512i iota = _mm512_load_si512(kIota);
    const __m512i ends = _mm512_mask_sub_epi8(iota, crThenLf, iota, _mm512_set1_epi8(1));
    alignas(64) int8_t lfAt[64], endAt[64];
    _mm512_store_si512(lfAt, _mm512_maskz_compress_epi8(lfs, iota));
    _mm512_store_si512(endAt, _mm512_maskz_compress_epi8(lfs, ends));
    const int n = __builtin_popcountll(lfs);
    const __m512i at = _mm512_set1_epi64(int64_t(reinterpret_cast<uintptr_t>(base)));
    for (int k = 0; k < n; k += 8) {
        const __m128i lf8 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(lfAt + k));
        const __m128i end8 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(endAt + k));
        _mm512_storeu_si512(lf + k, _mm512_add_epi64(at, _mm512_cvtepi8_epi64(lf8)));
        _mm512_storeu_si512(end + k, _mm512_add_epi64(at, _mm512_cvtepi8_epi64(end8)));
    }
    return n;
}
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

// Lines [0, 4 * (size / 4)) four at a time, each in a 64-bit lane, as convertOne does. A
// number line of more than 8 bytes (a minus and eight digits, or no number) is left to
// convertOne.
__attribute__((target("avx2"))) uint64_t convertFours(LineBatch& b, int period) {
    const __m256i ascii = _mm256_set1_epi8(0x30), six = _mm256_set1_epi8(6);
    const __m256i highHalves = _mm256_set1_epi8(char(0xF0));
    const __m256i tensAndOnes = _mm256_set1_epi16(0x010A);         // bytes 10, 1
    const __m256i hundredsAndOnes = _mm256_set1_epi32(0x00010064); // words 100, 1
    const __m256i tenThousand = _mm256_set1_epi64x(10000);
    const __m256i one = _mm256_set1_epi64x(1), eight = _mm256_set1_epi64x(8);
    const __m256i sixtyFour = _mm256_set1_epi64x(64), sixtyThree = _mm256_set1_epi64x(63);
    const __m256i minusSign = _mm256_set1_epi64x('-'), lowByte = _mm256_set1_epi64x(0xFF);
    const __m256i laneBits = _mm256_set_epi64x(8, 4, 2, 1);
    __m256i bad = _mm256_setzero_si256();
    uint64_t badLong = 0;
    // Which of the four lanes hold text lines, for each j % period.
    int textsAt[8] = {};
    for (int phase = 0; phase < period; ++phase)
        for (int k = 0; k < 4; ++k) textsAt[phase] |= int((phase + k) % period == period - 1) << k;
    int phase = 0; // j % period
    for (int j = 0; j + 4 <= b.size; j += 4) {
        const int texts = textsAt[phase];
        phase += 4;
        if (period == 0) phase = 0;
        while (phase >= period && period > 0) phase -= period;
        const __m256i textLanes =
            _mm256_cmpeq_epi64(_mm256_and_si256(_mm256_set1_epi64x(texts), laneBits), laneBits);
        const char* const* e = b.end + j;
        int64_t w0, w1, w2, w3; // the 8 bytes before each line's digits end
        std::memcpy(&w0, e[0] - 8, 8);
        std::memcpy(&w1, e[1] - 8, 8);
        std::memcpy(&w2, e[2] - 8, 8);
        std::memcpy(&w3, e[3] - 8, 8);
        const __m256i w = _mm256_set_epi64x(w3, w2, w1, w0);
        const __m256i ends = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(e));
        const __m256i starts =
            _mm256_add_epi64(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(b.lf + j)), one);
        const __m256i length = _mm256_sub_epi64(ends, starts);
        const __m256i longer = _mm256_cmpgt_epi64(length, eight);
        // The line's first byte; none for an empty line (the shift is then 64 or more).
        const __m256i first = _mm256_and_si256(
            _mm256_srlv_epi64(w, _mm256_sub_epi64(sixtyFour, _mm256_slli_epi64(length, 3))),
            lowByte);
        const __m256i minus = _mm256_cmpeq_epi64(first, minusSign);
        const __m256i n = _mm256_add_epi64(length, minus);
        __m256i lineBad = _mm256_srli_epi64(_mm256_sub_epi64(n, one), 3);
        const __m256i shift =
            _mm256_and_si256(_mm256_sub_epi64(sixtyFour, _mm256_slli_epi64(n, 3)), sixtyThree);
        __m256i d = _mm256_xor_si256(w, ascii);
        d = _mm256_sllv_epi64(_mm256_srlv_epi64(d, shift), shift);
        lineBad = _mm256_or_si256(
            lineBad, _mm256_and_si256(_mm256_or_si256(d, _mm256_add_epi8(d, six)), highHalves));
        bad =
            _mm256_or_si256(bad, _mm256_andnot_si256(_mm256_or_si256(longer, textLanes), lineBad));
        // Pairs of digits, then fours, then the eight: the first four times 10000 plus the last.
        const __m256i pairs = _mm256_maddubs_epi16(d, tensAndOnes);
        const __m256i fours = _mm256_madd_epi16(pairs, hundredsAndOnes);
        __m256i value =
            _mm256_add_epi64(_mm256_mul_epu32(fours, tenThousand), _mm256_srli_epi64(fours, 32));
        value = _mm256_sub_epi64(_mm256_xor_si256(value, minus), minus);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(b.value + j), value);
        if (const int lanes = _mm256_movemask_pd(_mm256_castsi256_pd(longer)) & ~texts)
            [[unlikely]] {
            for (int k = 0; k < 4; ++k)
                if (lanes & (1 << k)) badLong |= convertOne(b.lf[j + k] + 1, e[k], b.value[j + k]);
        }
    }
    const bool allGood =
        _mm256_movemask_epi8(_mm256_cmpeq_epi64(bad, _mm256_setzero_si256())) == -1;
    return badLong | uint64_t(!allGood);
}

#endif

// The portable or the vector way of finding a block's lines.
BlockLines blockLinesWay() {
#ifdef TOVERA_VECTOR_CODE
    static const bool has512 = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vbmi2") &&
               __builtin_cpu_supports("popcnt");
    }();
    if (has512 && vectorsAllowed.load(std::memory_order_relaxed)) return blockLines512;
#endif
    return blockLinesPortable;
}

uint64_t lineFeedsIn1kPortable(const char* p) {
#if defined(__SSE2__)
    const __m128i lf = _mm_set1_epi8('\n');
    __m128i counts = _mm_setzero_si128(); // per byte, at most 64
    for (int i = 0; i < 64; ++i) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i));
        counts = _mm_sub_epi8(counts, _mm_cmpeq_epi8(v, lf));
    }
    const __m128i sums = _mm_sad_epu8(counts, _mm_setzero_si128());
    return uint64_t(_mm_cvtsi128_si64(sums)) + uint64_t(_mm_extract_epi16(sums, 4));
#else
    uint64_t n = 0;
    for (int i = 0; i < 1024; ++i) n += p[i] == '\n';
    return n;
#endif
}

#ifdef TOVERA_VECTOR_CODE
__attribute__((target("avx512f,avx512bw,popcnt"))) uint64_t lineFeedsIn1k512(const char* p) {
    const __m512i lf = _mm512_set1_epi8('\n');
    uint64_t n = 0;
    for (int i = 0; i < 16; ++i)
        n += uint64_t(
            __builtin_popcountll(_mm512_cmpeq_epi8_mask(_mm512_loadu_si512(p + 64 * i), lf)));
    return n;
}
#endif

} // namespace

uint64_t lineFeedsIn1k(const char* p) {
#ifdef TOVERA_VECTOR_CODE
    static const bool has512 = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("popcnt");
    }();
    if (has512 && vectorsAllowed.load(std::memory_order_relaxed)) return lineFeedsIn1k512(p);
#endif
    return lineFeedsIn1kPortable(p);
}

uint64_t convertNumbers(LineBatch& b, int period) {
    uint64_t bad = 0;
    int j = 0;
#ifdef TOVERA_VECTOR_CODE
    static const bool hasAvx2 = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    if (hasAvx2 && vectorsAllowed.load(std::memory_order_relaxed)) {
        bad |= convertFours(b, period);
        j = b.size & ~3;
    }
#endif
    for (; j < b.size; ++j)
        if (!isText(j, period)) bad |= convertOne(b.lf[j] + 1, b.end[j], b.value[j]);
    return bad;
}

LineFinder::LineFinder(const char* begin, const char* stop, const char* readable)
    : block_(begin), stop_(stop), readable_(readable) {}

int LineFinder::nextBlock(const char** lf, const char** end) {
    if (block_ >= stop_) return -1;
    const char* const base = block_;
    block_ += 64;
    const uint64_t keep = stop_ - base >= 64 ? ~uint64_t(0) : (uint64_t(1) << (stop_ - base)) - 1;
    if (readable_ - base >= 64) return blockLinesWay()(base, base, keep, crBefore_, lf, end);
    char tail[64] = {};
    std::memcpy(tail, base, size_t(readable_ - base));
    return blockLinesWay()(tail, base, keep, crBefore_, lf, end);
}

int LineFinder::fill(LineBatch& b, int want) {
    int got = 0;
    while (got < want && pendingAt_ < pending_) {
        b.lf[got + 1] = pendingLf_[pendingAt_];
        b.end[got] = pendingEnd_[pendingAt_];
        ++got;
        ++pendingAt_;
    }
    while (got < want) {
        const int n = nextBlock(b.lf + got + 1, b.end + got);
        if (n < 0) break;
        if (got + n > want) {
            // The block's lines beyond those asked for wait for the next call.
            pending_ = got + n - want;
            pendingAt_ = 0;
            for (int k = 0; k < pending_; ++k) {
                pendingLf_[k] = b.lf[want + 1 + k];
                pendingEnd_[k] = b.end[want + k];
            }
            got = want;
        } else {
            got += n;
        }
    }
    return got;
}

void allowVectorCode(bool allowed) {
    vectorsAllowed.store(allowed, std::memory_order_relaxed);
}

} // namespace tovera::readerdetail
