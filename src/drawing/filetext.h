#pragma once
// A cursor over the bytes of a drawing file, and the reader of the old
// comma-separated layout that uses it. Internal to src/drawing.

#include "drawing/model.h"
#include "drawing/numbers.h"
#include "drawing/readercommon.h"
#include "drawing/readers.h"

#include <QByteArray>
#include <algorithm>
#include <bit>
#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tovera::readerdetail {

// How many of the eight bytes of `w` (the first in the low byte) are decimal digits
// before the first one that is not.
inline int leadingDigits(uint64_t w) {
    constexpr uint64_t kOnes = 0x0101010101010101ull;
    // A byte is nonzero here unless it is '0'..'9' (no carries cross the bytes).
    const uint64_t other = ((w & (0xF0 * kOnes)) ^ (0x30 * kOnes)) |
                           (((w & (0x0F * kOnes)) + 0x06 * kOnes) & (0xF0 * kOnes));
    const uint64_t high = (((other & (0x7F * kOnes)) + 0x7F * kOnes) | other) & (0x80 * kOnes);
    return std::countr_zero(high) >> 3; // 64 >> 3 when all eight are digits
}

// The value of the first n (1 to 8) digit bytes of `w` (some value for other n).
inline uint32_t digitsValue(uint64_t w, int n) {
    // Leading zeros in front.
    uint64_t d = (w & 0x0F0F0F0F0F0F0F0Full) << (8 * (unsigned(8 - n) & 7));
    d = (d * 2561) >> 8 & 0x00FF00FF00FF00FFull;
    d = (d * 6553601) >> 16 & 0x0000FFFF0000FFFFull;
    return uint32_t((d * 42949672960001ull) >> 32);
}

// Bit i set where byte i of the 64 bytes at `p` is `c`.
inline uint64_t bytesEqualTo(const char* p, char c) {
#if defined(__SSE2__)
    const __m128i wanted = _mm_set1_epi8(c);
    uint64_t mask = 0;
    for (int i = 0; i < 4; ++i) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i));
        mask |= uint64_t(uint32_t(_mm_movemask_epi8(_mm_cmpeq_epi8(v, wanted)))) << (16 * i);
    }
    return mask;
#else
    uint64_t mask = 0;
    for (int i = 0; i < 64; ++i) mask |= uint64_t(p[i] == c) << i;
    return mask;
#endif
}

// Bit i set where byte i of the 64 bytes at `p` is LF.
inline uint64_t lineFeeds(const char* p) {
    return bytesEqualTo(p, '\n');
}

// A record's values into a line (x1, y1, x2, y2, colour, and with six values the layer)
// or a box (left, top, right, bottom, colour). `count` is 5 or 6.
template <class V> void setValues(TLine& line, const V* v, int count) {
    line.x1 = int32_t(v[0]);
    line.y1 = int32_t(v[1]);
    line.x2 = int32_t(v[2]);
    line.y2 = int32_t(v[3]);
    line.color = uint32_t(v[4]);
    if (count > 5) line.layer = int32_t(v[5]);
}
template <class V> void setValues(TBox& box, const V* v, int) {
    box.left = int32_t(v[0]);
    box.top = int32_t(v[1]);
    box.right = int32_t(v[2]);
    box.bottom = int32_t(v[3]);
    box.color = uint32_t(v[4]);
}

// A drawing repeats the same few texts (room and wall names) many times; equal texts
// share one copy. A small table indexed by a hash of the bytes; a miss replaces the entry.
// Not shared between threads.
class TextTable {
public:
    QByteArray get(const char* b, const char* e) {
        const size_t n = size_t(e - b);
        uint64_t h = n * 0x9E3779B97F4A7C15ull;
        for (const char* p = b; p < e; ++p)
            h = (h ^ static_cast<unsigned char>(*p)) * 0x100000001B3ull;
        QByteArray& slot = slots_[(h >> 32) % kSlots];
        if (size_t(slot.size()) != n || std::memcmp(slot.constData(), b, n) != 0)
            slot = QByteArray(b, qsizetype(n));
        return slot;
    }

private:
    static constexpr size_t kSlots = 64;
    QByteArray slots_[kSlots];
};

// A cursor over the bytes of a drawing file, read from an open file in large blocks or
// taken from memory. Only LF ends a line (a CR before it is dropped with the line end); a
// byte 26 ends the file wherever it stands. Read failures raise EInOutError.
class FileText {
public:
    // Over `size` bytes at `data` (not owned; they must outlive the cursor).
    FileText(const char* data, size_t size);
    // The same over bytes already known to hold no byte 26.
    static FileText withoutEndByte(const char* data, size_t size);
    // Over the open file `fd` (not owned, not closed), from its current position, read in
    // blocks of `blockSize` bytes (at least 1).
    explicit FileText(int fd, size_t blockSize = size_t(1) << 20);

    // At most how many bytes are left to read (exact for memory and regular files; for
    // other files, what has been read but not consumed).
    size_t remainingBound() const {
        const size_t buffered = size_t(end_ - p_);
        if (eof_ || fileSize_ < 0) return buffered;
        const int64_t unread = fileSize_ - bytesRead_;
        return buffered + size_t(unread > 0 ? unread : 0);
    }

    // For a cursor over memory: the next byte to read, the end of the bytes (before any
    // byte 26), and moving on to `p`, which must lie between them.
    const char* position() const { return p_; }
    const char* limit() const { return end_; }
    void moveTo(const char* p) { p_ = p; }
    bool inMemory() const { return fd_ < 0; }

    // True once nothing is left to read.
    bool atEnd() { return p_ == end_ && !more(); }

    // A text line: its bytes up to the first CR or LF; the rest of the line is passed over.
    // Empty at the end of the file.
    QByteArray readText() {
        // The common line: empty, or short and ending in LF or CR LF within the buffer.
        const char* q = p_;
        const char* const stop = p_ + std::min<ptrdiff_t>(end_ - p_, kShortText);
        while (q < stop && *q != '\r' && *q != '\n') ++q;
        if (q < stop) {
            const char* next = q;
            if (*next == '\r' && next + 1 < end_ && next[1] == '\n') ++next;
            if (*next == '\n') {
                const char* b = p_;
                p_ = next + 1;
                return q == b ? QByteArray(b, 0) : texts_.get(b, q);
            }
        }
        return readTextSlowly();
    }

    // Passes over a line that is not used.
    void skipLine();

    // A number line: blanks, tabs and line ends before the number are passed over; the
    // number runs up to the next byte of code 32 or below; the rest of its line is passed
    // over. At the end of the file a number reads as 0. Raises EInOutError
    // "入力値が数値ではありません" when the run is not a number.
    int32_t readInteger() {
        // The common line: an optional minus, one to eight digits, then LF or CR LF; the
        // digits are found and converted eight bytes at a time. Anything else takes the
        // general way below.
        if (end_ - p_ >= kLookahead) {
            const char* p = p_;
            const bool negative = *p == '-';
            p += negative;
            uint64_t w;
            std::memcpy(&w, p, 8);
            const int n = leadingDigits(w);
            if (n > 0) {
                const int32_t value = int32_t(digitsValue(w, n));
                const int32_t v = negative ? -value : value;
                p += n;
                if (*p == '\n') {
                    p_ = p + 1;
                    return v;
                }
                if (*p == '\r' && p[1] == '\n') {
                    p_ = p + 2;
                    return v;
                }
            }
        }
        return readIntegerSlowly();
    }

    // A whole record at once: `Numbers` number lines, then a text line when `text` is not
    // null, each read as readInteger and readText read it. Taken only when every number
    // line is in the common form (an optional minus, one to eight digits, LF or CR LF) and
    // the record lies within the next 64 bytes of the buffer; then the values and the text
    // are stored and true is returned. Otherwise nothing is read and false is returned, and
    // the record must be read line by line.
    // The line ends are found together first, so the lines convert independently.
    template <int Numbers> bool readRecordQuickly(int32_t* values, QByteArray* text) {
        constexpr int kLines = Numbers + 1;
        if (end_ - p_ < kWindow + 8) return false;
        const char* const p = p_;
        uint64_t ends = lineFeeds(p);
        int at[kLines];
        const int lines = text ? kLines : Numbers;
        for (int i = 0; i < lines; ++i) {
            if (ends == 0) return false;
            at[i] = std::countr_zero(ends);
            ends &= ends - 1;
        }
        bool common = true;
        int start = 0;
#pragma GCC unroll 8
        for (int i = 0; i < Numbers; ++i) {
            const char* s = p + start;
            int length = at[i] - start;
            length -= length > 0 && s[length - 1] == '\r';
            const bool negative = *s == '-';
            const int n = length - negative;
            uint64_t w;
            std::memcpy(&w, s + negative, 8);
            // Checked without branches: the values of a record that fails are not used.
            common &= (unsigned(n - 1) < 8u) & (leadingDigits(w) == n);
            const int32_t value = int32_t(digitsValue(w, n));
            values[i] = negative ? -value : value;
            start = at[i] + 1;
        }
        if (!common) return false;
        if (text) {
            const char* b = p + start;
            const char* const lf = p + at[Numbers];
            const char* q = b;
            while (q < lf && *q != '\r') ++q;
            *text = q == b ? QByteArray(b, 0) : texts_.get(b, q);
            start = at[Numbers] + 1;
        }
        p_ = p + start;
        return true;
    }

    // readInteger and readText the general way, byte by byte, with the same results: what
    // the quick ways fall back to (and are checked against).
    QByteArray readTextSlowly();
    int32_t readIntegerSlowly() {
        const char *b, *e;
        int32_t value = 0;
        if (token(b, e)) {
            if (!drawnum::parseInteger(b, e, value)) throwNotANumber();
            passRest();
        }
        return value;
    }

    double readReal() {
        const char *b, *e;
        double value = 0;
        if (token(b, e)) {
            if (!drawnum::parseReal(b, e, value)) throwNotANumber();
            passRest();
        }
        return value;
    }

private:
    // Bytes that must be in the buffer for the quick way of reading a number line.
    static constexpr ptrdiff_t kLookahead = 16;
    // Bytes a record read at once may span.
    static constexpr ptrdiff_t kWindow = 64;

    // Texts up to this long are read the quick way (and shared when they repeat).
    static constexpr ptrdiff_t kShortText = 256;

    static bool blank(char c) {
        return c == ' ' || c == '\t' || c == '\r' || c == '\n';
    }

    // Finds the next number's run and leaves the cursor at its end; false at the end of
    // the file. The run stays valid until the cursor moves on.
    bool token(const char*& b, const char*& e) {
        for (;;) {
            while (p_ < end_ && blank(*p_)) ++p_;
            if (p_ < end_) break;
            if (!more()) return false;
        }
        const char* p = p_;
        for (;;) {
            while (p<end_&& static_cast<unsigned char>(*p)> 32) ++p;
            if (p < end_ || eof_) break;
            const ptrdiff_t done = p - p_;
            more();
            p = p_ + done;
        }
        b = p_;
        e = p_ = p;
        return true;
    }

    // Passes over the rest of the current line, the common line ends first.
    void passRest() {
        if (p_ < end_ && *p_ == '\n') {
            ++p_;
        } else if (end_ - p_ >= 2 && p_[0] == '\r' && p_[1] == '\n') {
            p_ += 2;
        } else {
            skipLine();
        }
    }

    // Reads more bytes after those not yet consumed, which move to the buffer's start (the
    // buffer grows when they fill it). False when the file has no more.
    bool more();

    int fd_ = -1;
    std::vector<char> buffer_;
    const char* p_ = nullptr;
    const char* end_ = nullptr;
    bool eof_ = false;      // nothing more to read beyond end_
    int64_t fileSize_ = -1; // size of a regular file, else -1
    int64_t bytesRead_ = 0; // from the file so far
    TextTable texts_;
};

// Prepares a large block of memory that is about to be written from start to end: its
// storage is asked for in large pages where the system offers them and mapped in one call,
// which saves a page fault per 4 KB written. Does nothing for a block under 1 MB.
void prepareLargeBlock(const void* data, size_t bytes);

// Reads a drawing file from its first line into the model (the lists already emptied),
// as readDrawingFile does after opening it.
ReadResult readDrawingText(DrawingModel& model, DrawingHost& host, FileText& f);

// Reads lines 2 to 14 of a drawing of header kind 1 or 2 (the header line has been read)
// into the model: origins, grid pitches, areas. With a host, each area box is filled as
// soon as its value is read. Raises EInOutError for a line that holds no number.
void readKind12Header(DrawingModel& m, FileText& f, DrawingHost* host);
// Fills the area boxes as readKind12Header does, after the header has been read.
void showKind12Areas(const DrawingModel& m, DrawingHost& host);
// The gauge position after each of the seven sections of kinds 1 and 2.
inline constexpr int kSectionGauge[7] = {30, 30, 30, 40, 60, 60, 60};
// The end of reading a drawing of kind 1 or 2: the redraw, the gauge back at 0 and the
// message "読込完了..".
void finishKind12(DrawingHost& host);

// Reads the seven sections of a drawing of kind 1 or 2 held in memory, the cursor `f`
// just after the header line, on two threads at once. Taken only for a large drawing
// whose every section is whole and every record line in the common form (number lines:
// an optional minus, one to eight digits, LF or CR LF); then the model and host get what
// readKind12 gives them and true is returned. Otherwise false is returned with the model's
// lists empty, nothing reported to the host and `f` unmoved, and the drawing must be read
// line by line. Never raises for the file's contents.
bool readKind12InBulk(DrawingModel& m, DrawingHost& host, const FileText& f);

// Reads lines 2 to 11 of a drawing of header kind 3 (the header line has been read) into
// the model, reporting to the host; ends with the redraw and the gauge at 100. Raises
// EConvertError or EListError as the lines demand.
void readKind3(DrawingModel& m, DrawingHost& host, FileText& f);

} // namespace tovera::readerdetail
