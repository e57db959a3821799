// Drawing files of any content: the reader either reads them or raises one of its errors,
// within bounded time and memory, and leaves the model consistent. The same bytes read
// from a file in small blocks must give the same result as read from memory.

#include "drawing/filetext.h"
#include "drawing/readers.h"
#include "drawing/recordinghost.h"
#include "platform/errors.h"

#include <cstdint>
#include <cstdlib>
#include <sys/mman.h>
#include <unistd.h>

using namespace tovera;

namespace {

struct Outcome {
    DrawingModel model;
    RecordingDrawingHost host;
    QString result;
};

template <class F> void run(Outcome& o, F read) {
    try {
        o.result = read(o.model, o.host) == ReadResult::Ok ? QStringLiteral("ok")
                                                           : QStringLiteral("refused");
    } catch (const Exception& e) {
        o.result = e.message();
        if (o.host.renderCount != 0) std::abort(); // nothing is redrawn after an error
    }
}

bool same(const Outcome& a, const Outcome& b) {
    const DrawingModel &x = a.model, &y = b.model;
    return a.result == b.result && x.lines1F == y.lines1F && x.lines2F == y.lines2F &&
           x.lines3F == y.lines3F && x.extraLines1F == y.extraLines1F && x.boxes1F == y.boxes1F &&
           x.boxes2F == y.boxes2F && x.boxes3F == y.boxes3F && x.homeOriginX == y.homeOriginX &&
           x.homeOriginY == y.homeOriginY && x.gridOriginX == y.gridOriginX &&
           x.gridOriginY == y.gridOriginY && a.host.areaBoxes == b.host.areaBoxes &&
           a.host.gauge == b.host.gauge && a.host.messagePanel == b.host.messagePanel &&
           a.host.messages == b.host.messages;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Outcome memory;
    run(memory, [&](DrawingModel& m, DrawingHost& h) {
        return readDrawingData(m, h, reinterpret_cast<const char*>(data), size);
    });
    const DrawingModel& model = memory.model;
    // After a read the grid origin is the home origin, and a refusal leaves no lines.
    if (memory.result == QLatin1String("ok") &&
        (model.gridOriginX != model.homeOriginX || model.gridOriginY != model.homeOriginY))
        std::abort();
    if (memory.result == QLatin1String("refused") &&
        model.floorElementCount(1) + model.floorElementCount(2) + model.floorElementCount(3) != 0)
        std::abort();

    static const int fd = memfd_create("drawing", 0);
    if (fd < 0 || ftruncate(fd, 0) != 0 || lseek(fd, 0, SEEK_SET) != 0) std::abort();
    if (size && write(fd, data, size) != ssize_t(size)) std::abort();
    lseek(fd, 0, SEEK_SET);
    Outcome file;
    run(file, [&](DrawingModel& m, DrawingHost& h) {
        readerdetail::FileText f(fd, 1 + size % 13);
        return readerdetail::readDrawingText(m, h, f);
    });
    if (!same(memory, file)) std::abort();
    return 0;
}
