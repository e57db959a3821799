// Stored drawings of any content: split into lines and read, either completely or with
// one of the reader's errors, within bounded time and memory.

#include "drawing/readers.h"
#include "drawing/recordinghost.h"
#include "platform/errors.h"

#include <cstdint>
#include <cstdlib>

using namespace tovera;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QList<QByteArray> lines = splitStoredLines(bytes);
    for (const QByteArray& line : lines)
        if (line.contains('\r') || line.contains('\n') || line.contains('\0')) std::abort();
    DrawingModel model;
    RecordingDrawingHost host;
    try {
        readStoredDrawing(model, host, lines);
        if (model.gridOriginX != model.homeOriginX || model.gridOriginY != model.homeOriginY)
            std::abort();
        if (host.messagePanel != QStringLiteral("切替え")) std::abort();
    } catch (const Exception&) {
        if (host.renderCount != 0) std::abort();
    }
    return 0;
}
