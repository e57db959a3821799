// Large drawings of kinds 1 and 2 held in memory, read in bulk: the seven sections are
// laid out first by counting line ends, then each section's records are converted on two
// threads at once, the first half of every section on one, the second half on the other.
// Every record line must have the common form; where one does not, the caller reads the
// drawing line by line, which gives the same model for every file.

#include "drawing/filetext.h"
#include "drawing/host.h"
#include "platform/errors.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <system_error>
#include <thread>

namespace tovera::readerdetail {
namespace {

// Drawings shorter than this are read line by line: the lay-out pass would not pay.
constexpr ptrdiff_t kBulkMinBytes = 64 << 10;
// With fewer records than this in all, one thread converts them all.
constexpr int64_t kTwoThreadsMinRecords = 20000;
// Line ends are looked for this many bytes at a time.
constexpr int kWindow = 64;

// Bit i set where byte i of the 64 bytes at `p` is LF.
uint64_t lineFeeds(const char* p) {
#if defined(__SSE2__)
    const __m128i lf = _mm_set1_epi8('\n');
    uint64_t mask = 0;
    for (int i = 0; i < 4; ++i) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i));
        mask |= uint64_t(uint32_t(_mm_movemask_epi8(_mm_cmpeq_epi8(v, lf)))) << (16 * i);
    }
    return mask;
#else
    uint64_t mask = 0;
    for (int i = 0; i < kWindow; ++i) mask |= uint64_t(p[i] == '\n') << i;
    return mask;
#endif
}

// How many bits of `v` are set.
int bitCount(uint64_t v) {
#if defined(__POPCNT__)
    return __builtin_popcountll(v);
#else
    v -= (v >> 1) & 0x5555555555555555ull;
    v = (v & 0x3333333333333333ull) + ((v >> 2) & 0x3333333333333333ull);
    v = (v + (v >> 4)) & 0x0F0F0F0F0F0F0F0Full;
    return int((v * 0x0101010101010101ull) >> 56);
#endif
}

// How many LF bytes the 1024 bytes at `p` hold.
uint64_t lineFeedsIn1k(const char* p) {
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

// The byte after the `lines`-th LF from `p`, or null when `end` comes first.
const char* skipLines(const char* p, const char* end, uint64_t lines) {
    while (lines > 0 && end - p >= 1024) {
        const uint64_t found = lineFeedsIn1k(p);
        if (found >= lines) break;
        lines -= found;
        p += 1024;
    }
    while (lines > 0) {
        if (end - p >= kWindow) {
            uint64_t lf = lineFeeds(p);
            const auto found = uint64_t(bitCount(lf));
            if (found < lines) {
                lines -= found;
                p += kWindow;
                continue;
            }
            for (uint64_t k = 1; k < lines; ++k) lf &= lf - 1;
            return p + std::countr_zero(lf) + 1;
        }
        const void* nl = std::memchr(p, '\n', size_t(end - p));
        if (!nl) return nullptr;
        p = static_cast<const char*>(nl) + 1;
        --lines;
    }
    return p;
}

// The LF bytes of [begin, stop) one after another, found 64 bytes at a time. Bytes up to
// `readable` (at least `stop`) may be looked at.
class LineEnds {
public:
    LineEnds(const char* begin, const char* stop, const char* readable)
        : block_(begin - kWindow), stop_(stop), readable_(readable) {}

    // The next LF, or null when there is none before `stop`.
    const char* next() {
        while (bits_ == 0) {
            block_ += kWindow;
            if (block_ >= stop_) return nullptr;
            if (readable_ - block_ >= kWindow) {
                bits_ = lineFeeds(block_);
            } else {
                char tail[kWindow] = {};
                std::memcpy(tail, block_, size_t(readable_ - block_));
                bits_ = lineFeeds(tail);
            }
            if (stop_ - block_ < kWindow) bits_ &= (uint64_t(1) << (stop_ - block_)) - 1;
        }
        const char* lf = block_ + std::countr_zero(bits_);
        bits_ &= bits_ - 1;
        return lf;
    }

private:
    const char* block_;
    const char* stop_;
    const char* readable_;
    uint64_t bits_ = 0;
};

// The number line from `s` to its LF at `lf`, where the common form is an optional minus,
// one to eight digits, and CR LF or LF. Any other form sets bits of `bad`, and the value is
// then of no use. The 8 bytes before `s` must be readable.
inline int32_t numberLine(const char* s, const char* lf, uint64_t& bad) {
    constexpr uint64_t kOnes = 0x0101010101010101ull;
    // An empty line has its LF at s, and the byte before s is the previous line's LF.
    const char* const digitsEnd = lf - (lf[-1] == '\r');
    const bool negative = *s == '-';
    const ptrdiff_t n = digitsEnd - (s + negative);
    bad |= uint64_t(n - 1) >> 3; // nonzero unless 1 to 8 digits
    const unsigned shift = 8 * (7 - (unsigned(n - 1) & 7));
    const uint64_t keep = ~uint64_t(0) << shift; // the last n bytes
    uint64_t w;
    std::memcpy(&w, digitsEnd - 8, 8);
    w &= keep;
    // Every kept byte must be '0' to '9': its high half 3, its low half below 10.
    bad |= ((w & (0xF0 * kOnes)) ^ (0x30 * kOnes & keep)) |
           (((w & (0x0F * kOnes)) + (0x06 * kOnes & keep)) & (0xF0 * kOnes));
    uint64_t d = w & (0x0F * kOnes); // leading zeros in front
    d = (d * 2561) >> 8 & 0x00FF00FF00FF00FFull;
    d = (d * 6553601) >> 16 & 0x0000FFFF0000FFFFull;
    const auto value = int32_t((d * 42949672960001ull) >> 32);
    return negative ? -value : value;
}

// The end of the text of the line from `s` to its LF at `lf`: its first CR, or the LF.
inline const char* textEnd(const char* s, const char* lf) {
    const char* end = lf - (lf > s && lf[-1] == '\r');
    if (end > s) {
        if (const void* cr = std::memchr(s, '\r', size_t(end - s)))
            end = static_cast<const char*>(cr);
    }
    return end;
}

// Texts as TextTable keeps them, faster for the short texts of a drawing: up to 16 bytes
// are compared as two words. `readable` bounds the bytes that may be looked at.
class ShortTexts {
public:
    explicit ShortTexts(const char* readable) : readable_(readable) {}

    QByteArray get(const char* b, const char* e) {
        const size_t n = size_t(e - b);
        if (n == 0) return empty_;
        if (n > 16 || readable_ - b < 16) return others_.get(b, e);
        uint64_t x, y;
        std::memcpy(&x, b, 8);
        std::memcpy(&y, b + 8, 8);
        x &= lowBytes(n);
        y &= lowBytes(n > 8 ? n - 8 : 0);
        Slot& slot = slots_[((x ^ (y * 31) ^ n) * 0x9E3779B97F4A7C15ull) >> 58];
        if (slot.size != n || slot.x != x || slot.y != y) {
            slot.text = QByteArray(b, qsizetype(n));
            slot.size = n;
            slot.x = x;
            slot.y = y;
        }
        return slot.text;
    }

private:
    static uint64_t lowBytes(size_t n) {
        return n >= 8 ? ~uint64_t(0) : (uint64_t(1) << (8 * n)) - 1;
    }

    struct Slot {
        size_t size = 0; // 0: unused (empty texts never reach a slot)
        uint64_t x = 0, y = 0;
        QByteArray text;
    };
    const char* readable_;
    Slot slots_[64];
    TextTable others_;
    const QByteArray empty_ = QByteArray("", 0);
};

void store(TLine& line, const int32_t* v) {
    line.x1 = v[0];
    line.y1 = v[1];
    line.x2 = v[2];
    line.y2 = v[3];
    line.color = uint32_t(v[4]);
}

enum class Layout { Line, ShortLine, Box };

constexpr int linesOf(Layout layout) {
    return layout == Layout::Line ? 7 : 5;
}

// Records [first, first + count) of a section, from `p` up to exactly `stop`. False when a
// line has another form or the records do not end at `stop`.
bool convert(Layout layout, void* list, size_t first, size_t count, const char* p, const char* stop,
             const char* readable, ShortTexts& texts) {
    LineEnds ends(p, stop, readable);
    uint64_t bad = 0;
    int32_t v[6];
    const int numbers = layout == Layout::Line ? 6 : 5;
    for (size_t i = first; i < first + count; ++i) {
        for (int k = 0; k < numbers; ++k) {
            const char* lf = ends.next();
            if (!lf) return false;
            v[k] = numberLine(p, lf, bad);
            p = lf + 1;
        }
        switch (layout) {
        case Layout::Line: {
            const char* lf = ends.next();
            if (!lf) return false;
            TLine& line = (*static_cast<LineList*>(list))[i];
            store(line, v);
            line.layer = v[5];
            line.text = texts.get(p, textEnd(p, lf));
            p = lf + 1;
            break;
        }
        case Layout::ShortLine:
            store((*static_cast<LineList*>(list))[i], v);
            break;
        case Layout::Box: {
            TBox& box = (*static_cast<BoxList*>(list))[i];
            box.left = v[0];
            box.top = v[1];
            box.right = v[2];
            box.bottom = v[3];
            box.color = uint32_t(v[4]);
            break;
        }
        }
    }
    return bad == 0 && p == stop;
}

// A section as laid out: its records start at `begin`, the second half (from record
// `half`) at `middle`, and they end at `end`.
struct Section {
    Layout layout;
    void* list;
    size_t records = 0, half = 0;
    const char *begin = nullptr, *middle = nullptr, *end = nullptr;
};

// Converts the first (`second` false) or second halves of all sections.
bool convertHalves(const Section* sections, bool second, const char* readable) noexcept try {
    ShortTexts texts(readable);
    for (int s = 0; s < 7; ++s) {
        const Section& x = sections[s];
        const bool ok =
            second ? convert(x.layout, x.list, x.half, x.records - x.half, x.middle, x.end,
                             readable, texts)
                   : convert(x.layout, x.list, 0, x.half, x.begin, x.middle, readable, texts);
        if (!ok) return false;
    }
    return true;
} catch (...) {
    return false; // out of memory: the line-by-line reading reports it
}

template <class List> void makeRoom(List& list, size_t records) {
    list.clear();
    list.resize(records);
}

} // namespace

bool readKind12InBulk(DrawingModel& m, DrawingHost& host, const FileText& text) {
    if (!text.inMemory() || text.limit() - text.position() < kBulkMinBytes) return false;
    FileText f = text;
    const char* const readable = f.limit();
    Section sections[7] = {{Layout::Line, &m.lines1F}, {Layout::Line, &m.lines2F},
                           {Layout::Line, &m.lines3F}, {Layout::ShortLine, &m.extraLines1F},
                           {Layout::Box, &m.boxes1F},  {Layout::Box, &m.boxes2F},
                           {Layout::Box, &m.boxes3F}};
    int64_t total = 0;
    try {
        readKind12Header(m, f, nullptr);
        for (Section& x : sections) {
            f.skipLine();
            const int64_t records = std::max<int64_t>(int64_t(f.readInteger()) + 1, 0);
            const uint64_t lines = uint64_t(linesOf(x.layout));
            x.records = size_t(records);
            x.half = x.records / 2;
            x.begin = f.position();
            x.middle = skipLines(x.begin, readable, x.half * lines);
            x.end =
                x.middle ? skipLines(x.middle, readable, (x.records - x.half) * lines) : nullptr;
            if (!x.end) return false; // the file ends within the section
            f.moveTo(x.end);
            total += records;
        }
    } catch (const Exception&) {
        return false; // the line-by-line reading raises the error where it stands
    }
    for (const Section& x : sections) {
        if (x.layout == Layout::Box)
            makeRoom(*static_cast<BoxList*>(x.list), x.records);
        else
            makeRoom(*static_cast<LineList*>(x.list), x.records);
    }
    bool first = false, second = false;
    std::thread worker;
    if (total >= kTwoThreadsMinRecords && std::thread::hardware_concurrency() > 1) {
        try {
            worker = std::thread([&] { second = convertHalves(sections, true, readable); });
        } catch (const std::system_error&) {
            // no thread to be had: one does it all
        }
    }
    if (worker.joinable()) {
        first = convertHalves(sections, false, readable);
        worker.join();
    } else {
        first = convertHalves(sections, false, readable);
        second = first && convertHalves(sections, true, readable);
    }
    if (!first || !second) {
        m.clearAll();
        return false;
    }
    showKind12Areas(m, host);
    for (int gauge : kSectionGauge) host.setGauge(gauge);
    finishKind12(host);
    return true;
}

} // namespace tovera::readerdetail
