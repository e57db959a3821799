#include "sheet/biff.h"

#include "platform/codepage.h"

#include <cerrno>
#include <cstring>
#include <iconv.h>

namespace tovera::biff {

size_t Cursor::remaining() const {
    return total_ - consumed_ - pos_;
}

size_t Cursor::remainingInSegment() const {
    return seg_ < segmentCount() ? segment(seg_).size - pos_ : 0;
}

bool Cursor::nextSegment() {
    while (seg_ < segmentCount() && pos_ >= segment(seg_).size) {
        consumed_ += segment(seg_).size;
        ++seg_;
        pos_ = 0;
    }
    return seg_ < segmentCount();
}

uint8_t Cursor::u8() {
    if (!nextSegment()) {
        ok_ = false;
        return 0;
    }
    return segment(seg_).data[pos_++];
}

uint16_t Cursor::u16() {
    uint16_t lo = u8();
    return uint16_t(lo | (uint16_t(u8()) << 8));
}

uint32_t Cursor::u32() {
    uint32_t lo = u16();
    return lo | (uint32_t(u16()) << 16);
}

double Cursor::f64() {
    uint64_t bits = u32();
    bits |= uint64_t(u32()) << 32;
    double d;
    std::memcpy(&d, &bits, 8);
    return d;
}

void Cursor::skip(size_t n) {
    while (n > 0) {
        if (!nextSegment()) {
            ok_ = false;
            return;
        }
        size_t take = std::min(n, segment(seg_).size - pos_);
        pos_ += take;
        n -= take;
    }
}

QByteArray Cursor::bytes(size_t n) {
    QByteArray out;
    n = std::min(n, remaining() + 1); // never allocate beyond what exists
    out.reserve(qsizetype(std::min(n, remaining())));
    while (n > 0) {
        if (!nextSegment()) {
            ok_ = false;
            break;
        }
        size_t take = std::min(n, segment(seg_).size - pos_);
        out.append(reinterpret_cast<const char*>(segment(seg_).data + pos_), qsizetype(take));
        pos_ += take;
        n -= take;
    }
    return out;
}

QString Cursor::chars8(size_t count, uint8_t flags) {
    bool wide = flags & 1;
    QString s;
    s.reserve(qsizetype(std::min(count, remaining())));
    while (count > 0) {
        if (seg_ >= segmentCount()) {
            ok_ = false;
            break;
        }
        if (pos_ >= segment(seg_).size) {
            // The characters go on in the next segment after a fresh flag byte.
            consumed_ += segment(seg_).size;
            ++seg_;
            pos_ = 0;
            if (seg_ < segmentCount() && segment(seg_).size > 0)
                wide = segment(seg_).data[pos_++] & 1;
            continue;
        }
        const size_t unit = wide ? 2 : 1;
        const size_t avail = (segment(seg_).size - pos_) / unit;
        if (avail == 0) {
            pos_ = segment(seg_).size; // half a character at a segment's end: dropped
            continue;
        }
        const size_t take = std::min(avail, count);
        const uint8_t* p = segment(seg_).data + pos_;
        if (wide) {
            for (size_t i = 0; i < take; ++i)
                s.append(QChar(char16_t(p[2 * i] | (p[2 * i + 1] << 8))));
        } else {
            for (size_t i = 0; i < take; ++i) s.append(QChar(char16_t(p[i])));
        }
        pos_ += take * unit;
        count -= take;
    }
    return s;
}

QString Cursor::string16() {
    uint16_t n = u16();
    uint8_t flags = u8();
    if (!ok_) return {};
    return chars8(n, flags);
}

QString Cursor::string8() {
    uint8_t n = u8();
    uint8_t flags = u8();
    if (!ok_) return {};
    return chars8(n, flags);
}

bool RecordReader::next(Record& r) {
    if (pos_ + 4 > size_) return false;
    const uint8_t* h = data_ + pos_;
    uint16_t id = uint16_t(h[0] | (h[1] << 8));
    size_t len = size_t(h[2] | (h[3] << 8));
    if (pos_ + 4 + len > size_) {
        truncated_ = true;
        return false;
    }
    r.id = id;
    r.offset = pos_;
    r.data = h + 4;
    r.size = len;
    pos_ += 4 + len;
    return true;
}

int RecordReader::peekId() const {
    if (pos_ + 4 > size_) return -1;
    return data_[pos_] | (data_[pos_ + 1] << 8);
}

double rkValue(uint32_t rk) {
    double v;
    if (rk & 2) {
        v = double(int32_t(rk) >> 2);
    } else {
        uint64_t bits = uint64_t(rk & 0xFFFFFFFCu) << 32;
        std::memcpy(&v, &bits, 8);
    }
    if (rk & 1) v /= 100.0;
    return v;
}

const char* iconvName(int codepage) {
    switch (codepage) {
    case 367:
        return "ASCII";
    case 437:
        return "CP437";
    case 720:
        return "CP720";
    case 737:
        return "CP737";
    case 775:
        return "CP775";
    case 850:
        return "CP850";
    case 852:
        return "CP852";
    case 855:
        return "CP855";
    case 857:
        return "CP857";
    case 858:
        return "CP858";
    case 860:
        return "CP860";
    case 861:
        return "CP861";
    case 862:
        return "CP862";
    case 863:
        return "CP863";
    case 864:
        return "CP864";
    case 865:
        return "CP865";
    case 866:
        return "CP866";
    case 869:
        return "CP869";
    case 874:
        return "CP874";
    case 932:
        return "CP932";
    case 936:
        return "GBK";
    case 949:
        return "CP949";
    case 950:
        return "BIG5";
    case 1250:
        return "CP1250";
    case 1251:
        return "CP1251";
    case 1252:
        return "CP1252";
    case 1253:
        return "CP1253";
    case 1254:
        return "CP1254";
    case 1255:
        return "CP1255";
    case 1256:
        return "CP1256";
    case 1257:
        return "CP1257";
    case 1258:
        return "CP1258";
    case 1361:
        return "JOHAB";
    case 10000:
        return "MACINTOSH";
    case 10001:
        return "CP932";
    case 10006:
        return "MAC-GREEK";
    case 10007:
        return "MAC-CYRILLIC";
    case 10029:
        return "MAC-CENTRALEUROPE";
    case 10079:
        return "MAC-IS";
    case 10081:
        return "MAC-TURKISH";
    case 32768:
        return "MACINTOSH";
    case 32769:
        return "CP1252";
    default:
        return nullptr;
    }
}

CodepageDecoder::~CodepageDecoder() {
    if (cd_) iconv_close(static_cast<iconv_t>(cd_));
}

void CodepageDecoder::setCodepage(int codepage) {
    if (cd_) iconv_close(static_cast<iconv_t>(cd_));
    cd_ = nullptr;
    codepage_ = codepage;
    if (codepage == 932 || codepage == 10001) return; // decoded by fromCp932
    const char* name = iconvName(codepage);
    if (!name) name = "CP1252";
    iconv_t cd = iconv_open("UTF-16LE", name);
    if (cd == reinterpret_cast<iconv_t>(-1)) cd = iconv_open("UTF-16LE", "CP1252");
    if (cd != reinterpret_cast<iconv_t>(-1)) cd_ = cd;
}

QString CodepageDecoder::decode(const QByteArray& bytes) const {
    if (bytes.isEmpty()) return {};
    if (codepage_ == 932 || codepage_ == 10001) return fromCp932(bytes);
    if (!cd_) return QString::fromLatin1(bytes);
    iconv_t cd = static_cast<iconv_t>(cd_);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    QString out;
    QByteArray buf(bytes.size() * 4 + 8, Qt::Uninitialized);
    char* in = const_cast<char*>(bytes.constData());
    size_t inLeft = size_t(bytes.size());
    while (inLeft > 0) {
        char* o = buf.data();
        size_t outLeft = size_t(buf.size());
        size_t r = iconv(cd, &in, &inLeft, &o, &outLeft);
        size_t produced = size_t(buf.size()) - outLeft;
        out.append(QString::fromUtf16(reinterpret_cast<const char16_t*>(buf.constData()),
                                      qsizetype(produced / 2)));
        if (r == size_t(-1) && inLeft > 0 && errno != E2BIG) {
            // A byte the code page does not define.
            out.append(QChar(0xFFFD));
            ++in;
            --inLeft;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    return out;
}

} // namespace tovera::biff
