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
// `data`, not owned, not kept). Raises EInOutError only for a number line that holds no
// number, EConvertError or EListError for the old comma-separated kind.
ReadResult readDrawingData(DrawingModel& model, DrawingHost& host, const char* data, size_t size);

// Splits the bytes of a stored drawing into lines: CR, LF and CR LF end a line, a NUL
// byte ends the text, and a final line end gives no empty line after it.
QList<QByteArray> splitStoredLines(const QByteArray& bytes);

// Reads a stored drawing from its lines into `model` (lines taken by index, each number
// line converted whole). Returns Refused for an old (kind 3) drawing, after the message box
// "旧家屋図面です。", or for an unknown header. Raises EConvertError for a line that does
// not convert and EListError for a needed line past the end; the model then holds the new
// drawing up to the failing section and the previous one after it.
ReadResult readStoredDrawing(DrawingModel& model, DrawingHost& host,
                             const QList<QByteArray>& storedLines);

// The same as readStoredDrawing(model, host, splitStoredLines(storedBytes)), with the same
// results, model and errors, but the lines are split as they are read: no list of lines is
// built, which makes it several times faster on large drawings and takes no memory per
// line (the list costs some 24 to 60 bytes per line, a lot for a hostile text of empty
// lines). `storedBytes` is not kept.
ReadResult readStoredBytes(DrawingModel& model, DrawingHost& host, const QByteArray& storedBytes);

} // namespace tovera
