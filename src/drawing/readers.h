#pragma once
// The two drawing readers: drawing files (.hbd/.had, three header kinds) and drawings
// stored in a record (the bytes of column zumen split into lines).

#include "drawing/model.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace tovera {

class DrawingHost;

enum class ReadResult { Ok, Refused };

// Reads the drawing file at `path` into `model`, replacing the drawing, and reports to
// `host` (area boxes, gauge, message panel, refusal box, redraws). Returns Refused for a
// header it does not know (after the message box). Raises EInOutError, EConvertError or
// EListError with the user's text; the model then keeps what was read so far.
ReadResult readDrawingFile(DrawingModel& model, DrawingHost& host, const QString& path);

// As readDrawingFile, over the bytes of a drawing file already in memory (`size` bytes at
// `data`, not owned, not kept). Raises EConvertError or EListError; never EInOutError
// for opening, only for a number line that holds no number.
ReadResult readDrawingData(DrawingModel& model, DrawingHost& host, const char* data, size_t size);

// Splits the bytes of a stored drawing into lines: CR, LF and CR LF end a line, a NUL
// byte ends the text, and a final line end gives no empty line after it.
QList<QByteArray> splitStoredLines(const QByteArray& bytes);

// Reads a stored drawing from its lines into `model`. Returns Refused for an old (kind 3)
// drawing ("旧家屋図面です。") or an unknown header. Raises as readDrawingFile.
ReadResult readStoredDrawing(DrawingModel& model, DrawingHost& host,
                             const QList<QByteArray>& storedLines);

// The same as readStoredDrawing(model, host, splitStoredLines(storedBytes)), with the same
// results, model and errors, but the lines are split as they are read: no list of lines is
// built, which makes it several times faster on large drawings.
ReadResult readStoredBytes(DrawingModel& model, DrawingHost& host, const QByteArray& storedBytes);

} // namespace tovera
