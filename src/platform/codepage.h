#pragma once
// Code page 932 (Microsoft's Shift-JIS) at the edges of the program: texts are Unicode
// inside, files and byte-wise name tests use code page 932 bytes.

#include <QByteArray>
#include <QString>

namespace tovera {

// Encodes text as code page 932 bytes. A character without a code page 932 form
// becomes "?". Never fails.
QByteArray toCp932(const QString& text);

// Decodes code page 932 bytes. A byte sequence that does not decode becomes U+FFFD;
// NUL bytes are kept. Never fails.
QString fromCp932(const QByteArray& bytes);

} // namespace tovera
