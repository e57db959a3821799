#pragma once
// The attachments the durability test registers: number n gives 1 to 4 MB that begin with
// "n <number>\n" and go on with one repeated letter, so a mix of two is easy to tell.

#include <QByteArray>

namespace tovera::test {

inline QByteArray attachmentFor(qint64 n) {
    const QByteArray head = "n " + QByteArray::number(n) + "\n";
    const qsizetype size = (1 << 20) + (n * 769 % 3) * (1 << 20);
    return head + QByteArray(size - head.size(), char('a' + n % 26));
}

// The number an attachment's bytes begin with, -1 when they do not begin as one does.
inline qint64 attachmentNumber(const QByteArray& bytes) {
    if (!bytes.startsWith("n ")) return -1;
    const qsizetype end = bytes.indexOf('\n');
    bool ok = false;
    const qint64 n = bytes.mid(2, end - 2).toLongLong(&ok);
    return ok ? n : -1;
}

} // namespace tovera::test
