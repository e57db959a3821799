#pragma once
// The compound-file container of .xls workbooks, read through libgsf.

#include <QByteArray>
#include <QString>

namespace tovera::cfb {

enum class StreamKind { Workbook, Book, Bare };

struct WorkbookStream {
    QByteArray data;
    StreamKind kind = StreamKind::Bare;
};

// True when `bytes` start with the compound-file signature.
bool isCompoundFile(const QByteArray& bytes);

// The workbook record stream held in `bytes`: the "Workbook" stream of a compound file,
// else its "Book" stream (names compared without regard to case), or the bytes themselves
// when they are a bare BIFF2-4 record stream. Raises EOleException naming `name` when the
// bytes are neither, or the container is damaged. Never allocates more than the size of
// `bytes` for the stream.
WorkbookStream extractWorkbookStream(const QByteArray& bytes, const QString& name);

} // namespace tovera::cfb
