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

// Lines of a list made by splitStoredLines.
class ListSource {
public:
    explicit ListSource(const QList<QByteArray>& lines) : lines_(lines) {}
    // Takes the next line; false when there is none.
    bool next(const char*& b, const char*& e) {
        if (pos_ >= lines_.size()) return false;
        last_ = &lines_[pos_++];
        b = last_->constData();
        e = b + last_->size();
        return true;
    }
    // At least as many lines as are left.
    size_t linesLeftBound() const { return size_t(lines_.size() - std::min(pos_, lines_.size())); }
    // The line just taken, as a text (shares its bytes).
    QByteArray text(const char*, const char*) const { return *last_; }

private:
    const QList<QByteArray>& lines_;
    qsizetype pos_ = 0;
    const QByteArray* last_ = nullptr;
};

// Lines split from the stored bytes as they are taken: CR, LF and CR LF end a line, a NUL
// byte ends the text, and a final line end gives no empty line after it.
class BytesSource {
public:
    explicit BytesSource(const QByteArray& bytes) : p_(bytes.constData()), end_(p_ + bytes.size()) {
        if (const void* nul = std::memchr(p_, '\0', size_t(bytes.size())))
            end_ = static_cast<const char*>(nul);
    }
    bool next(const char*& b, const char*& e) {
        if (p_ >= end_) return false;
        const char* q = p_;
        while (q < end_ && *q != '\r' && *q != '\n') ++q;
        b = p_;
        e = q;
        if (q < end_) q += (*q == '\r' && end_ - q >= 2 && q[1] == '\n') ? 2 : 1;
        p_ = q;
        return true;
    }
    QByteArray text(const char* b, const char* e) const { return QByteArray(b, e - b); }
    // Every line left takes at least one byte.
    size_t linesLeftBound() const { return size_t(end_ - p_); }

private:
    const char* p_;
    const char* end_;
};

// The read position (a line index from 0) over a source of lines.
template <class Source> class StoredCursor {
public:
    explicit StoredCursor(Source& source) : source_(source) {}

    // The next line, which the reader needs: past the end it is the list index error.
    void need(const char*& b, const char*& e) {
        if (!source_.next(b, e)) throwListIndex(pos_);
        ++pos_;
    }
    // Passes over a line without looking at it; it need not exist.
    void pass() {
        const char *b, *e;
        source_.next(b, e);
        ++pos_;
    }

    int32_t integer() {
        const char *b, *e;
        need(b, e);
        int32_t v;
        if (!drawnum::parseIntegerField(b, e, v)) throwNotInteger(b, size_t(e - b));
        return v;
    }

    double real() {
        const char *b, *e;
        need(b, e);
        double v;
        if (!drawnum::parseRealField(b, e, v)) throwNotReal(b, size_t(e - b));
        return v;
    }

    QByteArray text() {
        const char *b, *e;
        need(b, e);
        return source_.text(b, e);
    }

    size_t linesLeftBound() const { return source_.linesLeftBound(); }

private:
    Source& source_;
    qsizetype pos_ = 0;
};

// x1, y1, x2, y2 and color: a record of the short line section, and the start of a line.
template <class C> TLine shortLineRecord(C& c) {
    TLine line;
    line.x1 = c.integer();
    line.y1 = c.integer();
    line.x2 = c.integer();
    line.y2 = c.integer();
    line.color = uint32_t(c.integer());
    return line;
}

template <class C> TLine lineRecord(C& c) {
    TLine line = shortLineRecord(c);
    line.layer = c.integer();
    line.text = c.text();
    return line;
}

template <class C> TBox boxRecord(C& c) {
    TBox box;
    box.left = c.integer();
    box.top = c.integer();
    box.right = c.integer();
    box.bottom = c.integer();
    box.color = uint32_t(c.integer());
    return box;
}

// A section: its list is emptied first; one line passed over; a count c; c + 1 records
// (none when c < 0), each appended once whole. Running out of lines ends it with the list
// index error, so the count cannot make it run longer than the text.
template <class C, class List, class Record>
void section(C& c, List& list, Record record, size_t linesPerRecord) {
    List().swap(list);
    c.pass();
    const int64_t records = int64_t(c.integer()) + 1;
    if (records > 0)
        list.reserve(
            size_t(std::min<int64_t>(records, int64_t(c.linesLeftBound() / linesPerRecord))));
    for (int64_t i = 0; i < records; ++i) list.push_back(record(c));
}

template <class C> void readKind12(DrawingModel& m, DrawingHost& host, C& c) {
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
        section(c, *list, lineRecord<C>, 7);
        host.setGauge(30);
    }
    section(c, m.extraLines1F, shortLineRecord<C>, 5);
    host.setGauge(40);
    for (BoxList* list : {&m.boxes1F, &m.boxes2F, &m.boxes3F}) {
        section(c, *list, boxRecord<C>, 5);
        host.setGauge(60);
    }
    // The seven closing lines are passed over and may be missing.
    host.renderDrawing();
    host.setGauge(0);
    host.setMessagePanel(QStringLiteral("読込完了.."));
}

template <class Source>
ReadResult readStored(DrawingModel& model, DrawingHost& host, Source& source) {
    StoredCursor<Source> c(source);
    const char *b, *e;
    c.need(b, e); // the header
    ReadResult result = ReadResult::Refused;
    switch (headerKind(b, size_t(e - b))) {
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

} // namespace

QList<QByteArray> splitStoredLines(const QByteArray& bytes) {
    QList<QByteArray> lines;
    BytesSource source(bytes);
    const char *b, *e;
    while (source.next(b, e)) lines.append(QByteArray(b, e - b));
    return lines;
}

ReadResult readStoredDrawing(DrawingModel& model, DrawingHost& host,
                             const QList<QByteArray>& storedLines) {
    ListSource source(storedLines);
    return readStored(model, host, source);
}

ReadResult readStoredBytes(DrawingModel& model, DrawingHost& host, const QByteArray& storedBytes) {
    BytesSource source(storedBytes);
    return readStored(model, host, source);
}

} // namespace tovera
