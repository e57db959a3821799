#include "drawing/bitmapfile.h"

#include "platform/errors.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace tovera {

namespace {

constexpr int kFileHeaderSize = 14;
// Headers of the layouts kept as they are when cut: the old core header, the common
// info header and its two later extensions.
constexpr uint32_t kCoreHeader = 12;
constexpr uint32_t kInfoHeader = 40;
constexpr uint32_t kV4Header = 108;
constexpr uint32_t kV5Header = 124;
// Compressions whose rows are plain pixels (bit masks only change how a pixel is read).
constexpr uint32_t kRgb = 0;
constexpr uint32_t kBitFields = 3;
constexpr uint32_t kAlphaBitFields = 6;
// Everything before the pixels (headers, masks, palette) is copied; more than this is not
// a bitmap any writer makes.
constexpr qint64 kMaxHeaderBytes = 1 << 20;
// A compressed bitmap is decoded whole; this much memory for it and no more.
constexpr int kMaxDecodedMegabytes = 512;

[[noreturn]] void invalid() {
    throw EInvalidGraphic(QStringLiteral("ビットマップイメージが不正です"));
}

uint16_t u16(const QByteArray& b, int at) {
    return uint16_t(uint8_t(b[at]) | uint8_t(b[at + 1]) << 8);
}
uint32_t u32(const QByteArray& b, int at) {
    return uint32_t(uint8_t(b[at])) | uint32_t(uint8_t(b[at + 1])) << 8 |
           uint32_t(uint8_t(b[at + 2])) << 16 | uint32_t(uint8_t(b[at + 3])) << 24;
}
void put16(QByteArray& b, int at, uint32_t v) {
    b[at] = char(v & 0xFF);
    b[at + 1] = char((v >> 8) & 0xFF);
}
void put32(QByteArray& b, int at, uint32_t v) {
    for (int k = 0; k < 4; ++k) b[at + k] = char((v >> (8 * k)) & 0xFF);
}

QFile& openOrRaise(QFile& file) {
    if (file.open(QIODevice::ReadOnly)) return file;
    // Ask the system for the reason, as an open of the file would report it.
    const QByteArray local = QFile::encodeName(file.fileName());
    errno = 0;
    if (std::FILE* f = std::fopen(local.constData(), "rb")) {
        std::fclose(f);
        throwOpenError(file.fileName(), EIO);
    }
    throwOpenError(file.fileName(), errno ? errno : EIO);
}

void readExactly(QFile& file, qint64 at, char* into, qint64 size) {
    if (!file.seek(at)) throw EInOutError(ioErrorText(EIO), EIO);
    qint64 done = 0;
    while (done < size) {
        const qint64 n = file.read(into + done, size - done);
        if (n < 0) throw EInOutError(ioErrorText(EIO), EIO);
        if (n == 0) invalid(); // the file ended: cut short
        done += n;
    }
}

QImage decode(QIODevice& device, int allocationLimitMb) {
    QImageReader reader(&device, "BMP");
    reader.setDecideFormatFromContent(false);
    reader.setAllocationLimit(allocationLimitMb);
    QImage image = reader.read();
    if (image.isNull()) invalid();
    return image;
}

// What the cut needs to know of a bitmap's headers.
struct Layout {
    uint32_t headerSize = 0;
    int64_t width = 0;
    int64_t height = 0; // rows; negative in the file for a top-down bitmap
    bool topDown = false;
    int bitCount = 0;
    uint32_t compression = 0;
    qint64 pixelsAt = 0;
    qint64 stride = 0; // bytes per row, padded to four
};

// Reads the headers. False when the layout is not one cut while reading (the whole file
// is then left to the decoder); raises for a file that is no bitmap at all.
bool readLayout(QFile& file, Layout& out) {
    QByteArray head = file.read(kFileHeaderSize + 4 + 12);
    if (head.size() < kFileHeaderSize + 4 || !head.startsWith("BM")) invalid();
    out.pixelsAt = u32(head, 10);
    out.headerSize = u32(head, kFileHeaderSize);
    if (out.headerSize == kCoreHeader) {
        if (head.size() < kFileHeaderSize + 12) invalid();
        out.width = u16(head, 18);
        out.height = u16(head, 20);
        out.bitCount = u16(head, 24);
        out.compression = kRgb;
    } else if (out.headerSize == kInfoHeader || out.headerSize == kV4Header ||
               out.headerSize == kV5Header) {
        head += file.read(kFileHeaderSize + 20 - head.size());
        if (head.size() < kFileHeaderSize + 20) invalid();
        out.width = int32_t(u32(head, 18));
        const int32_t h = int32_t(u32(head, 22));
        out.topDown = h < 0;
        out.height = h < 0 ? -int64_t(h) : int64_t(h);
        out.bitCount = u16(head, 28);
        out.compression = u32(head, 30);
    } else {
        return false;
    }
    if (out.compression != kRgb && out.compression != kBitFields &&
        out.compression != kAlphaBitFields)
        return false;
    if (out.width <= 0 || out.height <= 0) invalid();
    switch (out.bitCount) {
    case 1:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32:
        break;
    default:
        invalid();
    }
    if (out.pixelsAt < kFileHeaderSize + qint64(out.headerSize) || out.pixelsAt > kMaxHeaderBytes)
        invalid();
    out.stride = (out.width * out.bitCount + 31) / 32 * 4;
    // Every row must be there; the last may lack its padding. (Checked by division first,
    // so that no product of hostile sizes can overflow.)
    const qint64 room = file.size() - out.pixelsAt;
    if (out.stride > room + 4 || out.height - 1 > room / out.stride) invalid();
    const qint64 lastRow = (out.width * out.bitCount + 7) / 8;
    if (out.pixelsAt + out.stride * (out.height - 1) + lastRow > file.size()) invalid();
    return true;
}

// A bitmap of the same kind holding only the top-left `keep` part of the one in `file`.
QByteArray cutBitmap(QFile& file, const Layout& in, const QSize& keep) {
    const int64_t width = std::min<int64_t>(in.width, std::max(keep.width(), 1));
    const int64_t height = std::min<int64_t>(in.height, std::max(keep.height(), 1));
    const qint64 stride = (width * in.bitCount + 31) / 32 * 4;
    QByteArray out(in.pixelsAt + stride * height, '\0');
    readExactly(file, 0, out.data(), in.pixelsAt);
    put32(out, 2, uint32_t(out.size()));
    if (in.headerSize == kCoreHeader) {
        put16(out, 18, uint32_t(width));
        put16(out, 20, uint32_t(height));
    } else {
        put32(out, 18, uint32_t(int32_t(width)));
        put32(out, 22, uint32_t(in.topDown ? -int32_t(height) : int32_t(height)));
        put32(out, 34, uint32_t(stride * height));
    }
    // The rows shown first: the first rows of a top-down file, the last of a bottom-up one.
    const int64_t firstRow = in.topDown ? 0 : in.height - height;
    for (int64_t r = 0; r < height; ++r) {
        const qint64 from = in.pixelsAt + (firstRow + r) * in.stride;
        const qint64 n = std::min(stride, file.size() - from);
        readExactly(file, from, out.data() + in.pixelsAt + r * stride, n);
    }
    return out;
}

} // namespace

QImage readBitmapTopLeft(const QString& fileName, const QSize& keep) {
    QFile file(fileName);
    openOrRaise(file);
    Layout layout;
    QImage image;
    if (readLayout(file, layout)) {
        QByteArray cut = cutBitmap(file, layout, keep);
        QBuffer buffer(&cut);
        buffer.open(QIODevice::ReadOnly);
        image = decode(buffer, QImageReader::allocationLimit());
    } else {
        // Other layouts (run-length compression, rare headers) go to the decoder whole;
        // it reads the file as it goes and refuses what would need more memory than this.
        if (!file.seek(0)) throw EInOutError(ioErrorText(EIO), EIO);
        image = decode(file, kMaxDecodedMegabytes);
    }
    if (image.width() > keep.width() || image.height() > keep.height())
        image = image.copy(0, 0, std::min(image.width(), keep.width()),
                           std::min(image.height(), keep.height()));
    return image.convertToFormat(QImage::Format_RGB32);
}

} // namespace tovera
