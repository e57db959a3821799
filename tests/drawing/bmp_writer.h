#pragma once
// Writes Windows bitmap files of any size row by row, as a painting program would save
// them, without holding the picture in memory: the pixels come from a function of (x, y).

#include <QByteArray>
#include <QFile>
#include <QRgb>
#include <QString>
#include <functional>
#include <vector>

namespace tovera::testing {

struct BmpSpec {
    int width = 0;
    int height = 0;
    int bitCount = 24;       // 1, 4, 8 (palette of grey levels), 16 (5-5-5), 24 or 32
    bool topDown = false;    // rows stored from the top (negative height)
    bool coreHeader = false; // the old 12-byte header (palette entries of three bytes)
};

// The colour of palette entry `i` in bitmaps of `bitCount` bits.
inline QRgb bmpPaletteColour(int bitCount, int i) {
    const int levels = 1 << bitCount;
    const int v = i * 255 / (levels - 1);
    return qRgb(v, 255 - v, (v * 7) & 0xFF);
}

// For 1, 4 and 8 bits `pixel` gives the palette index in qRed; otherwise the colour (16-bit
// pictures keep the top five bits of each channel). Returns false when writing fails.
inline bool writeBmp(const QString& path, const BmpSpec& spec,
                     const std::function<QRgb(int x, int y)>& pixel) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    const int paletteSize = spec.bitCount <= 8 ? 1 << spec.bitCount : 0;
    const int entry = spec.coreHeader ? 3 : 4;
    const int infoSize = spec.coreHeader ? 12 : 40;
    const qint64 stride = (qint64(spec.width) * spec.bitCount + 31) / 32 * 4;
    const qint64 offset = 14 + infoSize + qint64(paletteSize) * entry;
    QByteArray head(int(offset), '\0');
    auto put = [&](int at, quint32 v, int bytes) {
        for (int k = 0; k < bytes; ++k) head[at + k] = char((v >> (8 * k)) & 0xFF);
    };
    head[0] = 'B';
    head[1] = 'M';
    put(2, quint32(offset + stride * spec.height), 4);
    put(10, quint32(offset), 4);
    put(14, quint32(infoSize), 4);
    if (spec.coreHeader) {
        put(18, quint32(spec.width), 2);
        put(20, quint32(spec.height), 2);
        put(22, 1, 2);
        put(24, quint32(spec.bitCount), 2);
    } else {
        put(18, quint32(spec.width), 4);
        put(22, quint32(spec.topDown ? -spec.height : spec.height), 4);
        put(26, 1, 2);
        put(28, quint32(spec.bitCount), 2);
        put(34, quint32(stride * spec.height), 4);
        put(46, quint32(paletteSize), 4);
    }
    for (int i = 0; i < paletteSize; ++i) {
        const QRgb c = bmpPaletteColour(spec.bitCount, i);
        const int at = 14 + infoSize + i * entry;
        head[at] = char(qBlue(c));
        head[at + 1] = char(qGreen(c));
        head[at + 2] = char(qRed(c));
    }
    if (file.write(head) != head.size()) return false;
    std::vector<char> row(size_t(stride), 0);
    for (int r = 0; r < spec.height; ++r) {
        const int y = spec.topDown ? r : spec.height - 1 - r;
        std::fill(row.begin(), row.end(), 0);
        for (int x = 0; x < spec.width; ++x) {
            const QRgb c = pixel(x, y);
            switch (spec.bitCount) {
            case 1:
                if (qRed(c) & 1) row[size_t(x / 8)] |= char(0x80 >> (x % 8));
                break;
            case 4:
                row[size_t(x / 2)] |= char((qRed(c) & 15) << (x % 2 ? 0 : 4));
                break;
            case 8:
                row[size_t(x)] = char(qRed(c));
                break;
            case 16: {
                const quint16 v =
                    quint16((qRed(c) >> 3) << 10 | (qGreen(c) >> 3) << 5 | qBlue(c) >> 3);
                row[size_t(2 * x)] = char(v & 0xFF);
                row[size_t(2 * x + 1)] = char(v >> 8);
                break;
            }
            default: {
                const int n = spec.bitCount / 8;
                row[size_t(n * x)] = char(qBlue(c));
                row[size_t(n * x + 1)] = char(qGreen(c));
                row[size_t(n * x + 2)] = char(qRed(c));
                break;
            }
            }
        }
        if (file.write(row.data(), qint64(row.size())) != qint64(row.size())) return false;
    }
    return file.flush();
}

} // namespace tovera::testing
