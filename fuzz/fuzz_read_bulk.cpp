// A large drawing with bytes changed where the input says: read from memory, which takes
// the bulk way when every record line keeps its common form, it must give what reading
// it line by line from a file gives. The input is a list of (offset, byte) pairs, five
// bytes each: a 32-bit offset into the drawing, then the new byte.

#include "drawing/filetext.h"
#include "drawing/linebatch.h"
#include "drawing/readers.h"
#include "drawing/recordinghost.h"
#include "drawing_outcome.h"
#include "platform/errors.h"

#include <QByteArray>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <sys/mman.h>
#include <unistd.h>

using namespace tovera;
using tovera::fuzz::Outcome;
using tovera::fuzz::run;
using tovera::fuzz::same;

namespace {

// About 100 KB of a common drawing of kind 1: every section filled, CR LF and LF line ends,
// some texts, negative and eight-digit numbers.
QByteArray commonDrawing() {
    QByteArray d = "$headerpas\r\n10\r\n20\r\n0\r\n0\r\n1200\r\n900\r\n45.0\r\n30.5\r\nx\r\n"
                   "52.50\r\n40.25\r\n0\r\n6.0\r\n";
    uint32_t seed = 1;
    auto next = [&] { return (seed = seed * 1103515245u + 12345u) >> 8; };
    const int sizes[] = {900, 700, 500, 500, 300, 300, 200};
    for (int s = 0; s < 7; ++s) {
        d += "section\r\n" + QByteArray::number(sizes[s] - 1) + "\r\n";
        for (int i = 0; i < sizes[s]; ++i) {
            const int numbers = s < 3 ? 6 : 5;
            for (int k = 0; k < numbers; ++k) {
                const uint32_t r = next();
                d += (r % 17 == 0   ? QByteArray("16711680")
                      : r % 13 == 0 ? QByteArray("-1234567")
                                    : QByteArray::number(int(r % 4000) - 500)) +
                     (r % 5 == 0 ? "\n" : "\r\n");
            }
            if (s < 3) d += QByteArray(next() % 4 == 0 ? "\x95\xc7" : "") + "\r\n";
        }
    }
    return d + "\r\n\r\n\r\n\r\n\r\n\r\n\r\n";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const QByteArray common = commonDrawing();
    QByteArray bytes = common;
    for (size_t i = 0; i + 5 <= size && i < 5 * 16; i += 5) {
        uint32_t at;
        std::memcpy(&at, data + i, 4);
        bytes[qsizetype(at % uint32_t(bytes.size()))] = char(data[i + 4]);
    }
    // Vector code or the portable way, as the input's length says.
    readerdetail::allowVectorCode(size % 2 == 0);

    Outcome memory;
    run(memory, [&](DrawingModel& m, DrawingHost& h) {
        return readDrawingData(m, h, bytes.constData(), size_t(bytes.size()));
    });
    static const int fd = memfd_create("drawing", 0);
    if (fd < 0 || ftruncate(fd, 0) != 0 || lseek(fd, 0, SEEK_SET) != 0) std::abort();
    if (write(fd, bytes.constData(), size_t(bytes.size())) != bytes.size()) std::abort();
    lseek(fd, 0, SEEK_SET);
    Outcome file;
    run(file, [&](DrawingModel& m, DrawingHost& h) {
        readerdetail::FileText f(fd, 4096);
        return readerdetail::readDrawingText(m, h, f);
    });
    if (!same(memory, file)) std::abort();
    return 0;
}
