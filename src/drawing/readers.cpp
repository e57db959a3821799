#include "drawing/readers.h"

#include "drawing/host.h"
#include "platform/errors.h"

namespace tovera {

// Placeholder bodies; the readers are being written.
ReadResult readDrawingFile(DrawingModel&, DrawingHost&, const QString&) {
    throw Exception(QStringLiteral("図面の読込みはまだ使えません"));
}

QList<QByteArray> splitStoredLines(const QByteArray&) { return {}; }

ReadResult readStoredDrawing(DrawingModel&, DrawingHost&, const QList<QByteArray>&) {
    throw Exception(QStringLiteral("図面の読込みはまだ使えません"));
}

} // namespace tovera
