// The stored drawing reader: the bytes of a drawing file kept in a record, split into
// lines and taken by position, each number line converted whole.

#include "drawing/host.h"
#include "drawing/numbers.h"
#include "drawing/readercommon.h"
#include "drawing/readers.h"

#include <algorithm>
#include <cstring>

namespace tovera {
namespace {

using namespace readerdetail;

// The read position in the stored lines.
class StoredCursor {
public:
    explicit StoredCursor(const QList<QByteArray>& lines) : lines_(lines) {}

    // The next line, which the reader needs: past the end it is the list index error.
    const QByteArray& need() {
        if (pos_ >= lines_.size()) throwListIndex(pos_);
        return lines_[pos_++];
    }
    // Passes over a line without looking at it; it need not exist.
    void pass() { ++pos_; }

    int32_t integer() {
        const QByteArray& line = need();
        int32_t v;
        if (!drawnum::parseIntegerField(line.constData(), line.constData() + line.size(), v))
            throwNotInteger(line.constData(), size_t(line.size()));
        return v;
    }

    double real() {
        const QByteArray& line = need();
        double v;
        if (!drawnum::parseRealField(line.constData(), line.constData() + line.size(), v))
            throwNotReal(line.constData(), size_t(line.size()));
        return v;
    }

    QByteArray text() { return need(); } // shares the line's bytes

    qsizetype remaining() const { return pos_ < lines_.size() ? lines_.size() - pos_ : 0; }

private:
    const QList<QByteArray>& lines_;
    qsizetype pos_ = 0;
};

TLine lineRecord(StoredCursor& c) {
    TLine line;
    line.x1 = c.integer();
    line.y1 = c.integer();
    line.x2 = c.integer();
    line.y2 = c.integer();
    line.color = uint32_t(c.integer());
    line.layer = c.integer();
    line.text = c.text();
    return line;
}

TLine shortLineRecord(StoredCursor& c) {
    TLine line;
    line.x1 = c.integer();
    line.y1 = c.integer();
    line.x2 = c.integer();
    line.y2 = c.integer();
    line.color = uint32_t(c.integer());
    return line;
}

TBox boxRecord(StoredCursor& c) {
    TBox box;
    box.left = c.integer();
    box.top = c.integer();
    box.right = c.integer();
    box.bottom = c.integer();
    box.color = uint32_t(c.integer());
    return box;
}

// A section: its list is emptied first; one line passed over; a count c; c + 1 records
// (none when c < 0), each appended once whole.
template <class List, class Record>
void section(StoredCursor& c, List& list, Record record, int linesPerRecord) {
    List().swap(list);
    c.pass();
    const int64_t records = int64_t(c.integer()) + 1;
    if (records <= 0) return;
    // The lines left bound the records that can be complete.
    list.reserve(size_t(std::min<int64_t>(records, c.remaining() / linesPerRecord + 1)));
    for (int64_t i = 0; i < records; ++i) list.push_back(record(c));
}

void readKind12(DrawingModel& m, DrawingHost& host, StoredCursor& c) {
    m.homeOriginX = c.integer();
    m.homeOriginY = c.integer();
    for (int i = 0; i < 4; ++i) c.integer(); // must convert, not used
    m.gridOriginX = m.homeOriginX;
    m.gridOriginY = m.homeOriginY;
    m.gridPitchX = c.real();
    m.gridPitchY = c.real();
    c.pass();
    m.areaF1 = c.real();
    showArea(host, AreaBox::F1, m.areaF1);
    m.areaF2 = c.real();
    showArea(host, AreaBox::F2, m.areaF2);
    m.areaF3 = c.real();
    showArea(host, AreaBox::F3, m.areaF3);
    m.kenLength = c.real();
    showArea(host, AreaBox::Ken, m.kenLength);
    showArea(host, AreaBox::Total, m.areaF1 + m.areaF2 + m.areaF3);

    for (LineList* list : {&m.lines1F, &m.lines2F, &m.lines3F}) {
        section(c, *list, lineRecord, 7);
        host.setGauge(30);
    }
    section(c, m.extraLines1F, shortLineRecord, 5);
    host.setGauge(40);
    for (BoxList* list : {&m.boxes1F, &m.boxes2F, &m.boxes3F}) {
        section(c, *list, boxRecord, 5);
        host.setGauge(60);
    }
    // The seven closing lines are passed over and may be missing.
    host.renderDrawing();
    host.setGauge(0);
    host.setMessagePanel(QStringLiteral("読込完了.."));
}

} // namespace

QList<QByteArray> splitStoredLines(const QByteArray& bytes) {
    QList<QByteArray> lines;
    const char* p = bytes.constData();
    const char* end = p + bytes.size();
    if (const void* nul = std::memchr(p, '\0', size_t(bytes.size())))
        end = static_cast<const char*>(nul); // a NUL byte ends the text
    lines.reserve((end - p) / 8 + 1);
    while (p < end) {
        const char* q = p;
        while (q < end && *q != '\r' && *q != '\n') ++q;
        lines.append(QByteArray(p, q - p));
        if (q == end) break;
        q += (*q == '\r' && end - q >= 2 && q[1] == '\n') ? 2 : 1;
        p = q;
    }
    return lines;
}

ReadResult readStoredDrawing(DrawingModel& model, DrawingHost& host,
                             const QList<QByteArray>& storedLines) {
    StoredCursor c(storedLines);
    const QByteArray& header = c.need();
    ReadResult result = ReadResult::Refused;
    switch (headerKind(header.constData(), size_t(header.size()))) {
    case HeaderKind::Kind1:
    case HeaderKind::Kind2:
        readKind12(model, host, c);
        result = ReadResult::Ok;
        break;
    case HeaderKind::Kind3:
        host.showMessage(QStringLiteral("旧家屋図面です。"));
        break;
    case HeaderKind::Refused:
        break; // passed over in silence
    }
    model.resetGridOrigin();
    host.renderDrawing();
    host.setMessagePanel(QStringLiteral("切替え"));
    return result;
}

} // namespace tovera
