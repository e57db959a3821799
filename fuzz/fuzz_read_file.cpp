// Drawing files of any content: the reader either reads them or raises one of its errors,
// within bounded time and memory, and leaves the model consistent. The same bytes read
// from a file in small blocks must give the same result as read from memory.

#include "drawing/filetext.h"
#include "drawing/readers.h"
#include "drawing/recordinghost.h"
#include "drawing_outcome.h"
#include "platform/errors.h"

#include <cstdint>
#include <cstdlib>
#include <sys/mman.h>
#include <unistd.h>

using namespace tovera;
using tovera::fuzz::Outcome;
using tovera::fuzz::run;
using tovera::fuzz::same;

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
