// Drawing files of any content: the reader either reads them or raises one of its errors,
// within bounded time and memory, and leaves the model consistent.

#include "drawing/readers.h"
#include "drawing/recordinghost.h"
#include "platform/errors.h"

#include <cstdint>
#include <cstdlib>
#include <unistd.h>

using namespace tovera;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    DrawingModel model;
    RecordingDrawingHost host;
    try {
        const ReadResult r =
            readDrawingData(model, host, reinterpret_cast<const char*>(data), size);
        // After a read the grid origin is the home origin, and a refusal leaves no lines.
        if (r == ReadResult::Ok && (model.gridOriginX != model.homeOriginX ||
                                    model.gridOriginY != model.homeOriginY))
            std::abort();
        if (r == ReadResult::Refused && model.floorElementCount(1) + model.floorElementCount(2) +
                                                model.floorElementCount(3) !=
                                            0)
            std::abort();
    } catch (const Exception&) {
        if (host.renderCount != 0) std::abort(); // nothing is redrawn after an error
    }
    return 0;
}
