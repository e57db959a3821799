// Large drawings of kinds 1 and 2 held in memory, read in bulk: the seven sections are
// laid out in chunks of records by counting line ends, and two threads convert the chunks
// as they are laid out.
// Every record line must have the common form; where one does not, the caller reads the
// drawing line by line, which gives the same model for every file.

#include "drawing/filetext.h"
#include "drawing/helper.h"
#include "drawing/host.h"
#include "drawing/linebatch.h"
#include "platform/errors.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstring>
#include <thread>

namespace tovera::readerdetail {
namespace {

// Drawings shorter than this are read line by line: the lay-out pass would not pay.
constexpr ptrdiff_t kBulkMinBytes = 64 << 10;
// Drawings shorter than this are converted on one thread.
constexpr ptrdiff_t kTwoThreadsMinBytes = 512 << 10;
// Records converted as one piece of work.
constexpr size_t kChunkRecords = 8192;
// Line ends are looked for this many bytes at a time.
constexpr int kWindow = 64;

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

// The end of the text of the line from `s` to its LF at `lf`: its first CR, or the LF.
// Bytes up to `readable` may be looked at.
inline const char* textEnd(const char* s, const char* lf, const char* readable) {
#if defined(__SSE2__)
    if (lf - s <= 16 && readable - s >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
        const auto crs = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8('\r'))));
        return s + std::min<ptrdiff_t>(lf - s, std::countr_zero(crs | 0x10000u));
    }
#endif
    if (const void* cr = std::memchr(s, '\r', size_t(lf - s))) return static_cast<const char*>(cr);
    return lf;
}

// Texts as TextTable keeps them, faster for the short texts of a drawing: up to 16 bytes
// are compared as two words. `readable` bounds the bytes that may be looked at.
class ShortTexts {
public:
    explicit ShortTexts(const char* readable) : readable_(readable) {}

    // The empty text, as the line-by-line reading gives it (empty, not null).
    const QByteArray& empty() const { return empty_; }

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

enum class Layout { Line, ShortLine, Box };

constexpr int linesOf(Layout layout) {
    return layout == Layout::Line ? 7 : 5;
}

// Records [first, first + count) of a section, from `p` up to exactly `stop`, into
// `list`. False when a line has another form or the records do not end at `stop`.
// The lines of a few dozen records are found first, then their numbers converted together,
// then the records stored.
template <Layout kLayout, class List>
bool convert(List& list, size_t first, size_t count, const char* p, const char* stop,
             const char* readable, ShortTexts& texts, LineBatch& batch) {
    constexpr int kLines = kLayout == Layout::Line ? 7 : 5;
    constexpr size_t kRecords = LineBatch::kCapacity / kLines;
    LineFinder finder(p, stop, readable);
    uint64_t bad = 0;
    batch.lf[0] = p - 1;
    for (size_t i = first; i < first + count;) {
        const size_t records = std::min(kRecords, first + count - i);
        const int lines = int(records) * kLines;
        if (finder.fill(batch, lines) != lines) return false;
        batch.size = lines;
        bad |= convertNumbers(batch, kLayout == Layout::Line ? kLines : 0);
        const int64_t* v = batch.value;
        for (size_t r = 0; r < records; ++r, v += kLines) {
            // The list was cleared some time ago: its lines are fetched ahead of the writes.
            __builtin_prefetch(list.data() + std::min(i + r + 16, list.size() - 1), 1);
            setValues(list[i + r], v, kLayout == Layout::Line ? 6 : 5);
        }
        if constexpr (kLayout == Layout::Line) {
            // The texts after the numbers: sharing a text counts a reference with an atomic
            // operation, which waits for earlier writes, and those are done by now.
            for (size_t r = 0; r < records; ++r) {
                const size_t text = r * kLines + 6;
                const char* const begin = batch.lf[text] + 1;
                const char* const lf = batch.lf[text + 1];
                if (lf == begin || (lf == begin + 1 && *begin == '\r'))
                    list[i + r].text = texts.empty(); // most lines have none
                else
                    list[i + r].text = texts.get(begin, textEnd(begin, lf, readable));
            }
        }
        i += records;
        batch.lf[0] = batch.lf[lines];
    }
    return bad == 0 && batch.lf[0] + 1 == stop;
}

// Records [first, first + count) of a section's list, from `begin` up to exactly `end`.
struct Chunk {
    Layout layout;
    void* list;
    size_t first, count;
    const char *begin, *end;
};

// Converts a chunk; false when a line has another form.
bool convertChunk(const Chunk& c, const char* readable, ShortTexts& texts, LineBatch& batch) {
    switch (c.layout) {
    case Layout::Line:
        return convert<Layout::Line>(*static_cast<LineList*>(c.list), c.first, c.count, c.begin,
                                     c.end, readable, texts, batch);
    case Layout::ShortLine:
        return convert<Layout::ShortLine>(*static_cast<LineList*>(c.list), c.first, c.count,
                                          c.begin, c.end, readable, texts, batch);
    case Layout::Box:
        return convert<Layout::Box>(*static_cast<BoxList*>(c.list), c.first, c.count, c.begin,
                                    c.end, readable, texts, batch);
    }
    return false;
}

// The chunks of a drawing, laid out by one thread while others already convert those laid
// out before: each thread takes the next chunk not yet taken, waiting while the lay-out is
// behind.
class ChunkQueue {
public:
    // Room for `capacity` chunks; more are refused.
    explicit ChunkQueue(size_t capacity) { chunks_.reserve(capacity); }

    // Adds a chunk, its list already of its full size; false when there is no room.
    bool publish(const Chunk& c) {
        if (chunks_.size() == chunks_.capacity()) return false;
        chunks_.push_back(c); // never moves: the room was reserved
        published_.store(chunks_.size(), std::memory_order_release);
        return true;
    }
    // No more chunks come; with `failed`, none is to be converted any more.
    void close(bool failed) {
        if (failed) failed_.store(true, std::memory_order_relaxed);
        closed_.store(true, std::memory_order_release);
    }
    bool failed() const { return failed_.load(std::memory_order_relaxed); }

    // Takes and converts chunks until none is left or one fails.
    void convertAll(const char* readable) noexcept {
        try {
            ShortTexts texts(readable);
            LineBatch batch;
            for (;;) {
                const size_t i = next_.fetch_add(1, std::memory_order_relaxed);
                if (!waitFor(i)) return;
                if (!convertChunk(chunks_.data()[i], readable, texts, batch)) {
                    failed_.store(true, std::memory_order_relaxed);
                    return;
                }
            }
        } catch (...) {
            failed_.store(true, std::memory_order_relaxed); // out of memory: reported line by line
        }
    }

private:
    // Waits until chunk i is published (true) or will never be, or a chunk failed (false).
    bool waitFor(size_t i) const {
        for (;;) {
            if (failed()) return false;
            if (i < published_.load(std::memory_order_acquire)) return true;
            if (closed_.load(std::memory_order_acquire))
                return i < published_.load(std::memory_order_acquire) && !failed();
            std::this_thread::yield();
        }
    }

    std::vector<Chunk> chunks_;
    std::atomic<size_t> published_{0}, next_{0};
    std::atomic<bool> closed_{false}, failed_{false};
};

template <class List> void makeRoom(List& list, size_t records) {
    list.clear();
    list.reserve(records);
    prepareLargeBlock(list.data(), records * sizeof(*list.data()));
    list.resize(records);
}

// Reads the header and lays out the seven sections into chunks. False when the file ends
// within a section or a chunk finds no room; raises what the header's lines raise.
bool layOut(DrawingModel& m, FileText& f, ChunkQueue& queue) {
    const char* const readable = f.limit();
    readKind12Header(m, f, nullptr);
    const std::pair<Layout, void*> sections[7] = {
        {Layout::Line, &m.lines1F}, {Layout::Line, &m.lines2F},
        {Layout::Line, &m.lines3F}, {Layout::ShortLine, &m.extraLines1F},
        {Layout::Box, &m.boxes1F},  {Layout::Box, &m.boxes2F},
        {Layout::Box, &m.boxes3F}};
    for (const auto& [layout, list] : sections) {
        f.skipLine();
        const auto records = size_t(std::max<int64_t>(int64_t(f.readInteger()) + 1, 0));
        const uint64_t lines = uint64_t(linesOf(layout));
        // A record takes at least 10 bytes: a larger count cannot be whole, and the list
        // takes its size before the section's chunks are laid out.
        if (records > size_t(readable - f.position()) / 10) return false;
        if (layout == Layout::Box)
            makeRoom(*static_cast<BoxList*>(list), records);
        else
            makeRoom(*static_cast<LineList*>(list), records);
        const char* p = f.position();
        for (size_t first = 0; first < records; first += kChunkRecords) {
            const size_t count = std::min(kChunkRecords, records - first);
            const char* const q = skipLines(p, readable, count * lines);
            if (!q || !queue.publish({layout, list, first, count, p, q})) return false;
            p = q;
        }
        const char* const end = p;
        f.moveTo(end);
    }
    return true;
}

} // namespace

bool readKind12InBulk(DrawingModel& m, DrawingHost& host, const FileText& text) {
    const ptrdiff_t bytes = text.limit() - text.position();
    if (!text.inMemory() || bytes < kBulkMinBytes) return false;
    FileText f = text;
    // A chunk takes at least 10 bytes a record; each section may end in a short one.
    ChunkQueue queue(size_t(bytes) / (10 * kChunkRecords) + 8);
    const char* const readable = f.limit();
    bool laidOut = false;
    const auto layOutAndConvert = [&] {
        try {
            laidOut = layOut(m, f, queue);
        } catch (...) {
            // The line-by-line reading raises the error where it stands.
        }
        queue.close(!laidOut);
        if (laidOut) queue.convertAll(readable);
    };
    if (bytes >= kTwoThreadsMinBytes)
        inParallel(layOutAndConvert, [&] { queue.convertAll(readable); });
    else
        layOutAndConvert();
    if (!laidOut || queue.failed()) {
        m.clearAll();
        return false;
    }
    showKind12Areas(m, host);
    for (int gauge : kSectionGauge) host.setGauge(gauge);
    finishKind12(host);
    return true;
}

} // namespace tovera::readerdetail
