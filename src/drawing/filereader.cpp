// The drawing file reader: header kinds 1 and 2 (one value per line) and the old
// comma-separated kind 3.

#include "drawing/filetext.h"
#include "drawing/helper.h"
#include "drawing/host.h"
#include "drawing/numbers.h"
#include "drawing/readercommon.h"
#include "drawing/readers.h"
#include "platform/errors.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace tovera {
namespace {

using namespace readerdetail;

// Once the file has ended, a section adds at most this many records of zeros, whatever
// its count says: a truncated file must not turn a huge count into billions of records.
constexpr int64_t kMaxZeroRecordsAfterEnd = 65536;

// A record of `Numbers` number lines (5 for a short line or a box, 6 for a line), and for a
// line a text line after them.
template <class Element, int Numbers> inline Element readRecord(FileText& f) {
    Element element;
    QByteArray* text = nullptr;
    if constexpr (Numbers == 6) text = &element.text;
    int32_t v[Numbers];
    if (!f.readRecordQuickly<Numbers>(v, text)) {
        for (int32_t& value : v) value = f.readInteger();
        if (text) *text = f.readText();
    }
    setValues(element, v, Numbers);
    return element;
}

// A section: one unused line, a count c, then c + 1 records (none when c < 0). Each
// element is appended once its whole record has been read.
// `minRecordBytes` is the fewest bytes a record can take while the file lasts; with it the
// list is given its room at once, but never more than the rest of the file can fill.
template <class List, class ReadRecord>
void readSection(FileText& f, List& list, ReadRecord readRecord, size_t minRecordBytes) {
    f.skipLine();
    const int64_t records = int64_t(f.readInteger()) + 1;
    if (records > 0)
        list.reserve(size_t(std::min<int64_t>(
            records, int64_t(f.remainingBound() / minRecordBytes) + kMaxZeroRecordsAfterEnd)));
    prepareLargeBlock(list.data(), list.capacity() * sizeof(*list.data()));
    for (int64_t i = 0; i < records; ++i) {
        if (f.atEnd()) {
            // Every record left reads as zeros.
            list.resize(list.size() + size_t(std::min(records - i, kMaxZeroRecordsAfterEnd)));
            break;
        }
        list.push_back(readRecord(f));
    }
}

void readKind12(DrawingModel& m, DrawingHost& host, FileText& f) {
    readKind12Header(m, f, &host);
    for (LineList* list : {&m.lines1F, &m.lines2F, &m.lines3F}) {
        readSection(
            f, *list, [](FileText& t) { return readRecord<TLine, 6>(t); },
            13); // six "0\n" and "\n"
        host.setGauge(kSectionGauge[0]);
    }
    readSection(
        f, m.extraLines1F, [](FileText& t) { return readRecord<TLine, 5>(t); }, 10);
    host.setGauge(kSectionGauge[3]);
    for (BoxList* list : {&m.boxes1F, &m.boxes2F, &m.boxes3F}) {
        readSection(
            f, *list, [](FileText& t) { return readRecord<TBox, 5>(t); }, 10);
        host.setGauge(kSectionGauge[4]);
    }
    for (int i = 0; i < 7; ++i) f.skipLine(); // seven closing lines, not used
    finishKind12(host);
}

} // namespace

void readerdetail::readKind12Header(DrawingModel& m, FileText& f, DrawingHost* host) {
    const auto show = [host](AreaBox box, double value) {
        if (host) showArea(*host, box, value);
    };
    m.homeOriginX = f.readInteger();
    m.homeOriginY = f.readInteger();
    for (int i = 0; i < 4; ++i) f.readInteger(); // present, not used
    m.gridOriginX = m.homeOriginX;
    m.gridOriginY = m.homeOriginY;
    m.gridPitchX = f.readReal();
    m.gridPitchY = f.readReal();
    f.skipLine();
    m.areaF1 = f.readReal();
    show(AreaBox::F1, m.areaF1);
    m.areaF2 = f.readReal();
    show(AreaBox::F2, m.areaF2);
    m.areaF3 = f.readReal();
    show(AreaBox::F3, m.areaF3);
    m.kenLength = f.readReal();
    show(AreaBox::Ken, m.kenLength);
    show(AreaBox::Total, m.areaF1 + m.areaF2 + m.areaF3);
}

void readerdetail::showKind12Areas(const DrawingModel& m, DrawingHost& host) {
    showArea(host, AreaBox::F1, m.areaF1);
    showArea(host, AreaBox::F2, m.areaF2);
    showArea(host, AreaBox::F3, m.areaF3);
    showArea(host, AreaBox::Ken, m.kenLength);
    showArea(host, AreaBox::Total, m.areaF1 + m.areaF2 + m.areaF3);
}

void readerdetail::finishKind12(DrawingHost& host) {
    host.renderDrawing();
    host.setGauge(0);
    host.setMessagePanel(QStringLiteral("読込完了.."));
}

ReadResult readerdetail::readDrawingText(DrawingModel& model, DrawingHost& host, FileText& f) {
    const QByteArray header = f.readText();
    switch (headerKind(header.constData(), size_t(header.size()))) {
    case HeaderKind::Kind1:
    case HeaderKind::Kind2:
        if (!readKind12InBulk(model, host, f)) readKind12(model, host, f);
        break;
    case HeaderKind::Kind3:
        readKind3(model, host, f);
        break;
    case HeaderKind::Refused:
        host.showMessage(QStringLiteral("家屋図面(木造)ではありません!"));
        return ReadResult::Refused;
    }
    model.resetGridOrigin();
    host.renderDrawing();
    host.setMessagePanel(QStringLiteral("切替え"));
    return ReadResult::Ok;
}

namespace {

// Closes the file however the read ends.
struct FdCloser {
    int fd;
    ~FdCloser() { ::close(fd); }
};

} // namespace

// A regular file of a size in this range is read into memory whole before its lines are
// read, which lets a large drawing be read in bulk. Larger files are read in blocks, so a
// hostile file of blank lines cannot take its size in memory.
constexpr int64_t kWholeFileMin = int64_t(64) << 10;
constexpr int64_t kWholeFileMax = int64_t(256) << 20;

// What reading a part of a file found.
struct PartRead {
    size_t got = 0;     // bytes read
    ptrdiff_t eof = -1; // offset in the part of its first byte 26, if any
    int error = 0;      // errno of a failed read
};

// Reads up to `size` bytes of `fd` from `offset` into `data`, stopping after a block that
// holds a byte 26 or when the file ends.
PartRead readPart(int fd, char* data, size_t offset, size_t size) noexcept {
    constexpr size_t kBlock = size_t(1) << 20; // each block is searched while in the cache
    PartRead r;
    while (r.got < size) {
        const ssize_t n =
            ::pread(fd, data + r.got, std::min(kBlock, size - r.got), off_t(offset + r.got));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            r.error = errno;
            break;
        }
        if (n == 0) break;
        if (const void* eof = std::memchr(data + r.got, 26, size_t(n))) {
            r.eof = static_cast<const char*>(eof) - data;
            break;
        }
        r.got += size_t(n);
    }
    return r;
}

// Reads the `size` bytes of the regular file `fd` into `data`, the two halves at once when
// the file is large. Returns the bytes before the first byte 26, or all there are; -1 when
// the file has grown beyond `size`. Raises EInOutError when a read fails.
ptrdiff_t readWhole(int fd, char* data, size_t size) {
    constexpr size_t kHalvesFrom = size_t(4) << 20;
    const size_t middle = size >= kHalvesFrom ? size / 2 : size;
    PartRead first, second;
    if (middle < size) {
        inParallel([&] { first = readPart(fd, data, 0, middle); },
                   [&] { second = readPart(fd, data + middle, middle, size - middle); });
    } else {
        first = readPart(fd, data, 0, size);
    }
    const auto fail = [](int error) { throw EInOutError(ioErrorText(error), error); };
    if (first.eof >= 0) return first.eof;
    if (first.error) fail(first.error);
    if (first.got < middle) return ptrdiff_t(first.got); // the file has shrunk
    if (middle < size) {
        if (second.eof >= 0) return ptrdiff_t(middle) + second.eof;
        if (second.error) fail(second.error);
        if (second.got < size - middle) return ptrdiff_t(middle + second.got);
    }
    char more;
    const PartRead after = readPart(fd, &more, size, 1);
    if (after.eof >= 0) return ptrdiff_t(size);
    if (after.error) fail(after.error);
    return after.got > 0 ? -1 : ptrdiff_t(size);
}

ReadResult readDrawingFile(DrawingModel& model, DrawingHost& host, const QString& path) {
    model.clearAll();
    const QByteArray name = QFile::encodeName(path);
    int fd;
    do fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) throwOpenError(path, errno);
    const FdCloser closer{fd};
    struct stat st;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size >= kWholeFileMin &&
        st.st_size <= kWholeFileMax) {
        const auto size = size_t(st.st_size);
        std::unique_ptr<char[]> data(new char[size]);
        prepareLargeBlock(data.get(), size);
        const ptrdiff_t got = readWhole(fd, data.get(), size);
        if (got >= 0) {
            auto f = FileText::withoutEndByte(data.get(), size_t(got));
            return readDrawingText(model, host, f);
        }
        // The file grew while it was read: read it in blocks from its start.
        if (::lseek(fd, 0, SEEK_SET) != 0) {
            const int error = errno;
            throw EInOutError(ioErrorText(error), error);
        }
    }
    FileText f(fd);
    return readDrawingText(model, host, f);
}

ReadResult readDrawingData(DrawingModel& model, DrawingHost& host, const char* data, size_t size) {
    model.clearAll();
    FileText f(data, size);
    return readDrawingText(model, host, f);
}

} // namespace tovera
