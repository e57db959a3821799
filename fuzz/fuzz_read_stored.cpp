// Stored drawings of any content: split into lines and read, either completely or with
// one of the reader's errors, within bounded time and memory. Reading straight from the
// bytes must give what the list of lines gives.

#include "drawing/readers.h"
#include "drawing/recordinghost.h"
#include "drawing_outcome.h"
#include "platform/errors.h"

#include <cstdint>
#include <cstdlib>

using namespace tovera;

namespace {

using tovera::fuzz::Outcome;

// As fuzz::run, and a read that succeeds leaves the grid at home and says "切替え".
template <class F> void runStored(Outcome& o, F read) {
    try {
        o.result = read(o.model, o.host) == ReadResult::Ok ? QStringLiteral("ok")
                                                           : QStringLiteral("refused");
        const DrawingModel& m = o.model;
        if (m.gridOriginX != m.homeOriginX || m.gridOriginY != m.homeOriginY) std::abort();
        if (o.host.messagePanel != QStringLiteral("切替え")) std::abort();
    } catch (const Exception& e) {
        o.result = e.message();
        if (o.host.renderCount != 0) std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QList<QByteArray> lines = splitStoredLines(bytes);
    for (const QByteArray& line : lines)
        if (line.contains('\r') || line.contains('\n') || line.contains('\0')) std::abort();
    Outcome list, direct;
    runStored(list,
              [&](DrawingModel& m, DrawingHost& h) { return readStoredDrawing(m, h, lines); });
    runStored(direct,
              [&](DrawingModel& m, DrawingHost& h) { return readStoredBytes(m, h, bytes); });
    const DrawingModel &x = list.model, &y = direct.model;
    if (list.result != direct.result || x.lines1F != y.lines1F || x.lines2F != y.lines2F ||
        x.lines3F != y.lines3F || x.extraLines1F != y.extraLines1F || x.boxes1F != y.boxes1F ||
        x.boxes2F != y.boxes2F || x.boxes3F != y.boxes3F ||
        list.host.areaBoxes != direct.host.areaBoxes || list.host.gauge != direct.host.gauge)
        std::abort();
    return 0;
}
