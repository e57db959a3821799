// Record building blocks of the workbook writer: little-endian bodies, strings, the record
// stream with CONTINUE, the shared string table and the check of formula tokens.
#include "sheet/xlswriter_internal.h"

#include <cstring>

namespace tovera::xlswrite {

Body& Body::f64(double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, 8);
    return u32(uint32_t(bits)).u32(uint32_t(bits >> 32));
}

bool isCompressible(const QString& s) {
    for (QChar c : s)
        if (c.unicode() > 0xFF) return false;
    return true;
}

namespace {

void chars(QByteArray& out, const QString& s, bool compressed) {
    for (QChar c : s) {
        out.append(char(c.unicode() & 0xFF));
        if (!compressed) out.append(char(c.unicode() >> 8));
    }
}

} // namespace

Body& Body::str16(const QString& s) {
    const bool compressed = isCompressible(s);
    u16(unsigned(s.size())).u8(compressed ? 0 : 1);
    chars(b_, s, compressed);
    return *this;
}

Body& Body::str8(const QString& s) {
    const QString t = s.left(255);
    const bool compressed = isCompressible(t);
    u8(unsigned(t.size())).u8(compressed ? 0 : 1);
    chars(b_, t, compressed);
    return *this;
}

void Stream::record(uint16_t id, const QByteArray& data) {
    Body h;
    h.u16(id).u16(unsigned(data.size()));
    data_.append(h.bytes());
    data_.append(data);
}

void Stream::stringRecord(uint16_t id, const QString& s) {
    const bool compressed = isCompressible(s);
    const int unit = compressed ? 1 : 2;
    Body first;
    first.u16(unsigned(s.size())).u8(compressed ? 0 : 1);
    int done = 0;
    int room = (kMaxRecordData - first.size()) / unit;
    QByteArray part;
    chars(part, s.mid(0, room), compressed);
    first.raw(part);
    record(id, first);
    done = std::min<int>(room, static_cast<int>(s.size()));
    while (done < s.size()) {
        room = (kMaxRecordData - 1) / unit;
        Body next;
        next.u8(compressed ? 0 : 1);
        QByteArray more;
        chars(more, s.mid(done, room), compressed);
        next.raw(more);
        record(0x003C, next);
        done += room;
    }
}

int StringTable::add(const QString& text, const QList<TextRun>& runs) {
    ++total_;
    QString key = text;
    if (!runs.isEmpty()) {
        key += QChar(0xFFFF);
        for (const TextRun& r : runs) {
            key += QChar(r.start);
            key += QChar(r.font);
        }
    }
    auto it = index_.constFind(key);
    if (it != index_.constEnd()) return it.value();
    const int i = static_cast<int>(entries_.size());
    entries_.push_back({text, runs});
    index_.insert(key, i);
    return i;
}

namespace {

// Payload size of the token with id `id` at `p` (p[0] is the id), -1 when not allowed.
long tokenSize(const uint8_t* p, long left, bool allowExp) {
    const uint8_t id = p[0];
    if (id >= 0x03 && id <= 0x16) return 0;
    switch (id) {
    case 0x01:
        return allowExp ? 4 : -1;
    case 0x17:
        if (left < 2) return -1;
        return 2 + ((p[2] & 1) ? 2 * long(p[1]) : long(p[1]));
    case 0x19:
        if (left < 3) return -1;
        if (p[1] & 0x04) return 3 + 2 * (long(p[2] | (p[3] << 8)) + 1);
        return 3;
    case 0x1C:
    case 0x1D:
        return 1;
    case 0x1E:
        return 2;
    case 0x1F:
        return 8;
    default:
        break;
    }
    if (id < 0x20 || id > 0x7F) return -1;
    switch (id & 0x1F) {
    case 0x00:
        return 7; // array constant (values in the extra data)
    case 0x01:
        return 2;
    case 0x02:
        return 3;
    case 0x04:
        return 4;
    case 0x05:
        return 8;
    case 0x06:
    case 0x07:
    case 0x08:
        return 6;
    case 0x09:
        return 2;
    case 0x0A:
        return 4;
    case 0x0B:
        return 8;
    default:
        return -1; // names, 3-D references, shared-formula references, unknown
    }
}

} // namespace

bool tokensSelfContained(const QByteArray& tokens, bool allowExp) {
    const auto* p = reinterpret_cast<const uint8_t*>(tokens.constData());
    const long n = static_cast<long>(tokens.size());
    if (n == 0) return false;
    for (long i = 0; i < n;) {
        const long size = tokenSize(p + i, n - i - 1, allowExp && i == 0 && n == 5);
        if (size < 0 || i + 1 + size > n) return false;
        i += 1 + size;
    }
    return true;
}

} // namespace tovera::xlswrite
