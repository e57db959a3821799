#pragma once
// Drawings of a chosen size for the tests and benchmarks that store large attachments.

#include <QByteArray>

namespace tovera::test {

// A drawing of the first kind of at least `size` bytes: the areas 52.5, 40.25 and 0, and
// floor 1 holding as many lines as it takes, shifted by `shift` units so two drawings of
// the same size differ; the other sections are empty.
inline QByteArray drawingOfSize(qsizetype size, int shift = 0) {
    QByteArray head = "$headerpas\r\n100\r\n200\r\n1\r\n2\r\n3\r\n4\r\n45.5\r\n30.25\r\n-\r\n"
                      "52.5\r\n40.25\r\n0\r\n6.0\r\n1F\r\n";
    QByteArray records;
    records.reserve(size + 64);
    int count = 0;
    while (head.size() + records.size() < size) {
        const int x = (count + shift) % 1200, y = (count / 1200) % 900;
        records += QByteArray::number(x) + "\r\n" + QByteArray::number(y) + "\r\n" +
                   QByteArray::number(x + 30) + "\r\n" + QByteArray::number(y + 20) +
                   "\r\n255\r\n0\r\n\r\n";
        ++count;
    }
    QByteArray out = head + QByteArray::number(count - 1) + "\r\n" + records;
    for (const char* section : {"2F", "3F", "extra", "box1", "box2", "box3"})
        out += QByteArray(section) + "\r\n-1\r\n";
    return out;
}

} // namespace tovera::test
