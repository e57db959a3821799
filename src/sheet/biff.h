#pragma once
// Low-level pieces of the workbook record stream: a bounds-checked cursor over one or more
// record data segments (a record and its CONTINUE records), the record walker, RK numbers
// and the decoding of byte strings in a workbook code page. Nothing here throws: reading
// past the end gives zeros and clears `ok`.

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <vector>

namespace tovera::biff {

// Record ids used by the reader.
enum : uint16_t {
    kEof = 0x000A,
    kContinue = 0x003C,
    kFilePass = 0x002F,
    kBof8 = 0x0809,
    kBof4 = 0x0409,
    kBof3 = 0x0209,
    kBof2 = 0x0009,
};

struct Segment {
    const uint8_t* data = nullptr;
    size_t size = 0;
};

// Reads little-endian fields across segments. Fixed-size fields and byte blocks move on
// to the next segment plainly; characters of a BIFF8 string take a fresh flag byte at a
// segment change (the rule of strings continued in CONTINUE records).
class Cursor {
public:
    Cursor() = default;
    Cursor(const uint8_t* data, size_t size) : single_{data, size}, total_(size) {}
    explicit Cursor(std::vector<Segment> segments) : many_(std::move(segments)) {
        for (const Segment& s : many_) total_ += s.size;
    }

    bool ok() const { return ok_; }
    // Bytes left in all segments.
    size_t remaining() const;
    // Bytes left in the current segment.
    size_t remainingInSegment() const;
    bool atEnd() const { return remaining() == 0; }

    uint8_t u8();
    uint16_t u16();
    uint32_t u32();
    double f64();
    void skip(size_t n);
    QByteArray bytes(size_t n);

    // A BIFF8 string body of `count` characters whose first flag byte was `flags`.
    QString chars8(size_t count, uint8_t flags);
    // BIFF8 strings: u16 count + flags + chars, and u8 count + flags + chars.
    QString string16();
    QString string8();

private:
    bool nextSegment();
    // One record's data sits in `single_` (no allocation); several segments in `many_`.
    size_t segmentCount() const { return many_.empty() ? 1 : many_.size(); }
    const Segment& segment(size_t i) const { return many_.empty() ? single_ : many_[i]; }
    Segment single_;
    std::vector<Segment> many_;
    size_t seg_ = 0;
    size_t pos_ = 0;
    size_t total_ = 0;    // bytes in all segments
    size_t consumed_ = 0; // bytes of finished segments before seg_
    bool ok_ = true;
};

// One record of the stream: its id, the offset of its header, and its data.
struct Record {
    uint16_t id = 0;
    size_t offset = 0;
    const uint8_t* data = nullptr;
    size_t size = 0;
    Cursor cursor() const { return Cursor(data, size); }
};

// Walks the records of a stream from a start offset. Stops at the end or at a record whose
// data runs past the end (truncation).
class RecordReader {
public:
    RecordReader(const QByteArray& stream, size_t offset = 0)
        : data_(reinterpret_cast<const uint8_t*>(stream.constData())), size_(size_t(stream.size())),
          pos_(offset) {}
    bool next(Record& r);
    // The id of the next record, or -1 when there is none.
    int peekId() const;
    size_t position() const { return pos_; }
    void seek(size_t offset) { pos_ = offset; }
    bool truncated() const { return truncated_; }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_;
    bool truncated_ = false;
};

// The number of an RK value (the ÷100 flag and the 30-bit signed integer form applied).
double rkValue(uint32_t rk);

// Decodes byte strings of BIFF2-7 files in a workbook code page (CODEPAGE values:
// 1252, 932, 10000, 32769 ...). Unknown code pages decode as 1252.
class CodepageDecoder {
public:
    explicit CodepageDecoder(int codepage = 932) { setCodepage(codepage); }
    ~CodepageDecoder();
    CodepageDecoder(const CodepageDecoder&) = delete;
    CodepageDecoder& operator=(const CodepageDecoder&) = delete;
    void setCodepage(int codepage);
    int codepage() const { return codepage_; }
    QString decode(const QByteArray& bytes) const;

private:
    int codepage_ = 0;
    void* cd_ = nullptr; // iconv_t, or null for the code pages decoded directly
};

// The iconv name of a code page, or null for 1200/UTF-16 and unknown ones.
const char* iconvName(int codepage);

} // namespace tovera::biff
