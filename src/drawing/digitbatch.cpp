#include "drawing/digitbatch.h"

#include <atomic>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define TOVERA_VECTOR_DIGITS 1
#endif

namespace tovera::readerdetail {
namespace {

constexpr uint64_t kOnes = 0x0101010101010101ull;

// Line i of the batch the portable way, eight bytes in one word.
uint64_t convertOne(DigitBatch& b, int i) {
    const char* const s = b.start[i];
    const char* const digitsEnd = b.end[i];
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
    const auto value = int64_t((d * 42949672960001ull) >> 32);
    b.value[i] = (value ^ minus) - minus;
    return bad;
}

#ifdef TOVERA_VECTOR_DIGITS

// Lines [0, 4 * (count / 4)) four at a time, each in a 64-bit lane, as convertOne does.
// A line of more than 8 bytes (a minus and eight digits, or no number) is left to
// convertOne.
__attribute__((target("avx2"))) uint64_t convertFours(DigitBatch& b, int count) {
    const __m256i ascii = _mm256_set1_epi8(0x30), six = _mm256_set1_epi8(6);
    const __m256i highHalves = _mm256_set1_epi8(char(0xF0));
    const __m256i tensAndOnes = _mm256_set1_epi16(0x010A);         // bytes 10, 1
    const __m256i hundredsAndOnes = _mm256_set1_epi32(0x00010064); // words 100, 1
    const __m256i tenThousand = _mm256_set1_epi64x(10000);
    const __m256i one = _mm256_set1_epi64x(1), eight = _mm256_set1_epi64x(8);
    const __m256i sixtyFour = _mm256_set1_epi64x(64), sixtyThree = _mm256_set1_epi64x(63);
    const __m256i minusSign = _mm256_set1_epi64x('-');
    const __m256i lowByte = _mm256_set1_epi64x(0xFF);
    __m256i bad = _mm256_setzero_si256();
    uint64_t badLong = 0;
    for (int i = 0; i + 4 <= count; i += 4) {
        const auto* const e = b.end + i;
        int64_t w0, w1, w2, w3; // the 8 bytes before each line's end
        std::memcpy(&w0, e[0] - 8, 8);
        std::memcpy(&w1, e[1] - 8, 8);
        std::memcpy(&w2, e[2] - 8, 8);
        std::memcpy(&w3, e[3] - 8, 8);
        const __m256i w = _mm256_set_epi64x(w3, w2, w1, w0);
        const __m256i ends = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(e));
        const __m256i starts = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b.start + i));
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
        bad = _mm256_or_si256(bad, _mm256_andnot_si256(longer, lineBad));
        // Pairs of digits, then fours, then the eight: the first four times 10000 plus the last.
        const __m256i pairs = _mm256_maddubs_epi16(d, tensAndOnes);
        const __m256i fours = _mm256_madd_epi16(pairs, hundredsAndOnes);
        __m256i value =
            _mm256_add_epi64(_mm256_mul_epu32(fours, tenThousand), _mm256_srli_epi64(fours, 32));
        value = _mm256_sub_epi64(_mm256_xor_si256(value, minus), minus);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(b.value + i), value);
        if (const int lanes = _mm256_movemask_pd(_mm256_castsi256_pd(longer))) [[unlikely]] {
            for (int k = 0; k < 4; ++k)
                if (lanes & (1 << k)) badLong |= convertOne(b, i + k);
        }
    }
    const bool allGood =
        _mm256_movemask_epi8(_mm256_cmpeq_epi64(bad, _mm256_setzero_si256())) == -1;
    return badLong | uint64_t(!allGood);
}

bool processorHasVectors() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}

#endif

std::atomic<bool> vectorsAllowed{true};

} // namespace

uint64_t convertDigits(DigitBatch& b) {
    uint64_t bad = 0;
    int i = 0;
#ifdef TOVERA_VECTOR_DIGITS
    static const bool hasVectors = processorHasVectors();
    if (hasVectors && vectorsAllowed.load(std::memory_order_relaxed)) {
        bad |= convertFours(b, b.size);
        i = b.size & ~3;
    }
#endif
    for (; i < b.size; ++i) bad |= convertOne(b, i);
    return bad;
}

void allowVectorDigits(bool allowed) {
    vectorsAllowed.store(allowed, std::memory_order_relaxed);
}

} // namespace tovera::readerdetail
