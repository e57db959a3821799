// Drawings of header kind 3: comma-separated lines, coordinates in tenths of a drawing
// unit, grid pitches in hundredths; two floors of lines and nothing else.

#include "drawing/filetext.h"
#include "drawing/host.h"

#include <cmath>

namespace tovera::readerdetail {
namespace {

// A line with its quotes removed, cut at commas. The list has as many entries as the line
// has bytes after its first comma: entry k is field k, or empty where the line has no
// field k. Fields are found by walking forward from the last one asked for, so a long
// line costs no memory beyond the line itself.
class SplitLine {
public:
    explicit SplitLine(QByteArray line) : line_(std::move(line)) {
        const qsizetype comma = line_.indexOf(',');
        length_ = comma < 0 ? 0 : line_.size() - comma - 1;
    }

    // Entry k as a byte range; raises the list index error past the end of the list.
    void field(qsizetype k, const char*& b, const char*& e) {
        if (k < 0 || k >= length_) throwListIndex(k);
        if (k < index_) {
            index_ = 0;
            start_ = 0;
        }
        const char* data = line_.constData();
        const qsizetype size = line_.size();
        while (index_ < k && start_ <= size) {
            const char* comma =
                static_cast<const char*>(std::memchr(data + start_, ',', size_t(size - start_)));
            start_ = comma ? (comma - data) + 1 : size + 1; // size + 1: past the last field
            ++index_;
        }
        if (start_ > size) { // no field k: an empty entry
            b = e = data + size;
            return;
        }
        const char* comma =
            static_cast<const char*>(std::memchr(data + start_, ',', size_t(size - start_)));
        b = data + start_;
        e = comma ? comma : data + size;
    }

    int32_t integer(qsizetype k) {
        const char *b, *e;
        field(k, b, e);
        int32_t v;
        if (!drawnum::parseIntegerField(b, e, v)) throwNotInteger(b, size_t(e - b));
        return v;
    }

    double real(qsizetype k) {
        const char *b, *e;
        field(k, b, e);
        double v;
        if (!drawnum::parseRealField(b, e, v)) throwNotReal(b, size_t(e - b));
        return v;
    }

    QByteArray text(qsizetype k) {
        const char *b, *e;
        field(k, b, e);
        return QByteArray(b, e - b);
    }

private:
    QByteArray line_;
    qsizetype length_ = 0;
    qsizetype index_ = 0; // the field that starts at start_
    qsizetype start_ = 0;
};

// Every double quote goes, adjacent ones too.
QByteArray unquoted(FileText& f) {
    QByteArray line = f.readText();
    line.removeIf([](char c) { return c == '"'; });
    return line;
}

// A count line, converted whole; only its low 16 bits count, as a signed number.
int16_t readCount(FileText& f) {
    const QByteArray line = unquoted(f);
    int32_t v;
    if (!drawnum::parseIntegerField(line.constData(), line.constData() + line.size(), v))
        throwNotInteger(line.constData(), size_t(line.size()));
    return int16_t(uint16_t(uint32_t(v) & 0xFFFFu));
}

// Groups of five fields from `first` on: x1, y1, x2, y2 in tenths, then the text.
void readGroups(SplitLine& list, qsizetype first, int groups, LineList& out) {
    for (int i = 0; i < groups; ++i) {
        const qsizetype base = first + qsizetype(5) * i;
        TLine line;
        line.x1 = list.integer(base) / 10; // C++ division truncates toward zero
        line.y1 = list.integer(base + 1) / 10;
        line.x2 = list.integer(base + 2) / 10;
        line.y2 = list.integer(base + 3) / 10;
        line.text = list.text(base + 4);
        line.color = 0x00FF00; // green
        line.layer = 0;
        out.push_back(std::move(line));
    }
}

} // namespace

void readKind3(DrawingModel& m, DrawingHost& host, FileText& f) {
    SplitLine areas(unquoted(f)); // line 2
    m.areaF1 = areas.real(1);
    showArea(host, AreaBox::F1, m.areaF1);
    m.areaF2 = areas.real(2);
    showArea(host, AreaBox::F2, m.areaF2);
    m.areaF3 = 0;
    showArea(host, AreaBox::F3, m.areaF3);
    m.kenLength = areas.real(3);
    showArea(host, AreaBox::Ken, m.kenLength);
    showArea(host, AreaBox::Total, m.areaF1 + m.areaF2);

    f.skipLine();                // line 3
    SplitLine grid(unquoted(f)); // line 4
    m.gridOriginX = grid.integer(0) / 10;
    m.gridOriginY = grid.integer(1) / 10;
    // nearbyint rounds half to even in the default rounding mode.
    m.gridPitchY = std::nearbyint(grid.real(2) * 100);
    m.gridPitchX = std::nearbyint(grid.real(3) * 100);

    f.skipLine(); // line 5
    const int16_t c1 = readCount(f);
    f.skipLine();                 // line 7
    SplitLine list1(unquoted(f)); // line 8, consumed whatever the count
    if (c1 >= 0) readGroups(list1, 0, c1 + 1, m.lines1F);
    host.setGauge(60);

    const int16_t c2 = readCount(f);
    f.skipLine();                 // line 10
    SplitLine list2(unquoted(f)); // line 11
    if (c2 >= 0 && c2 <= 32765) readGroups(list2, 2, c2 + 1, m.lines2F);

    host.renderDrawing();
    host.setGauge(100);
    host.setMessagePanel(QStringLiteral(" 図面読込完了.."));
}

} // namespace tovera::readerdetail
