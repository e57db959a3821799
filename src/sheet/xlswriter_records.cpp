// Record building blocks of the workbook writer: little-endian bodies, strings, the record
// stream with CONTINUE and the shared string table.
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

} // namespace tovera::xlswrite
