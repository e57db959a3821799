#pragma once
// What a drawing reader gave, for the fuzz targets that compare two ways of reading.

#include "drawing/readers.h"
#include "drawing/recordinghost.h"
#include "platform/errors.h"

#include <cstdlib>

namespace tovera::fuzz {

struct Outcome {
    DrawingModel model;
    RecordingDrawingHost host;
    QString result;
};

// Runs `read` into `o`; nothing may be redrawn after an error.
template <class F> void run(Outcome& o, F read) {
    try {
        o.result = read(o.model, o.host) == ReadResult::Ok ? QStringLiteral("ok")
                                                           : QStringLiteral("refused");
    } catch (const Exception& e) {
        o.result = e.message();
        if (o.host.renderCount != 0) std::abort();
    }
}

inline bool same(const Outcome& a, const Outcome& b) {
    const DrawingModel &x = a.model, &y = b.model;
    return a.result == b.result && x.lines1F == y.lines1F && x.lines2F == y.lines2F &&
           x.lines3F == y.lines3F && x.extraLines1F == y.extraLines1F && x.boxes1F == y.boxes1F &&
           x.boxes2F == y.boxes2F && x.boxes3F == y.boxes3F && x.homeOriginX == y.homeOriginX &&
           x.homeOriginY == y.homeOriginY && x.gridOriginX == y.gridOriginX &&
           x.gridOriginY == y.gridOriginY && a.host.areaBoxes == b.host.areaBoxes &&
           a.host.gauge == b.host.gauge && a.host.messagePanel == b.host.messagePanel &&
           a.host.messages == b.host.messages;
}

} // namespace tovera::fuzz
