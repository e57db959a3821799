// The background picture of the drawing view: Windows bitmaps of every depth and layout,
// larger and smaller than the drawing area, a very large one, and damaged or hostile files
// that must be refused quickly and without taking memory.

#include "bmp_writer.h"
#include "drawing/bitmapfile.h"
#include "drawing/renderer.h"
#include "platform/errors.h"

#include <QElapsedTimer>
#include <QImageReader>
#include <QTemporaryDir>
#include <QtTest>
#include <sys/resource.h>

using namespace tovera;
using namespace tovera::testing;

namespace {

const QSize kArea(DrawingCanvas::AreaWidth, DrawingCanvas::AreaHeight);

// A picture whose every pixel near the top-left differs from its neighbours.
QRgb pattern(int x, int y) {
    return qRgb((x * 7 + y) & 0xFF, (y * 5 + x / 3) & 0xFF, (x ^ y) & 0xFF);
}

long peakKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

QByteArray bmpHeader(int32_t width, int32_t height, uint16_t bitCount, uint32_t compression,
                     uint32_t offset = 54) {
    QByteArray b(54, '\0');
    auto put = [&](int at, quint32 v, int bytes) {
        for (int k = 0; k < bytes; ++k) b[at + k] = char((v >> (8 * k)) & 0xFF);
    };
    b[0] = 'B';
    b[1] = 'M';
    put(2, 54, 4);
    put(10, offset, 4);
    put(14, 40, 4);
    put(18, quint32(width), 4);
    put(22, quint32(height), 4);
    put(26, 1, 2);
    put(28, bitCount, 2);
    put(30, compression, 4);
    return b;
}

bool writeBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

} // namespace

class TestBackground : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QVERIFY(dir_.isValid()); }
    void layoutsMatchTheWholePicture_data();
    void layoutsMatchTheWholePicture();
    void veryLargeBitmap();
    void runLengthBitmap();
    void refusedFiles_data();
    void refusedFiles();

private:
    QTemporaryDir dir_;
};

void TestBackground::layoutsMatchTheWholePicture_data() {
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("bitCount");
    QTest::addColumn<bool>("topDown");
    QTest::addColumn<bool>("coreHeader");
    for (int bits : {1, 4, 8, 16, 24, 32}) {
        QTest::addRow("%d bits, larger than the area", bits)
            << 701 << 503 << bits << false << false;
        QTest::addRow("%d bits, smaller", bits) << 133 << 97 << bits << false << false;
        QTest::addRow("%d bits, top-down", bits) << 640 << 480 << bits << true << false;
    }
    QTest::newRow("core header, 8 bits") << 600 << 450 << 8 << false << true;
    QTest::newRow("core header, 24 bits") << 600 << 450 << 24 << false << true;
    QTest::newRow("one pixel") << 1 << 1 << 24 << false << false;
    QTest::newRow("one row, wide") << 5000 << 1 << 4 << false << false;
    QTest::newRow("one column, tall") << 1 << 3000 << 1 << true << false;
}

void TestBackground::layoutsMatchTheWholePicture() {
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, bitCount);
    QFETCH(bool, topDown);
    QFETCH(bool, coreHeader);
    const QString path = dir_.filePath(QStringLiteral("layout.bmp"));
    const int levels = bitCount <= 8 ? 1 << bitCount : 0;
    QVERIFY(writeBmp(path, {width, height, bitCount, topDown, coreHeader}, [&](int x, int y) {
        const QRgb c = pattern(x, y);
        return levels ? qRgb((qRed(c) + qBlue(c)) % levels, 0, 0) : c;
    }));
    // The oracle: the picture decoded whole, then cut.
    QImage whole(path, "BMP");
    QVERIFY(!whole.isNull());
    const QImage want =
        whole.copy(0, 0, std::min(width, kArea.width()), std::min(height, kArea.height()))
            .convertToFormat(QImage::Format_RGB32);
    const QImage got = readBitmapTopLeft(path, kArea);
    QCOMPARE(got.size(), want.size());
    QCOMPARE(got.format(), QImage::Format_RGB32);
    QCOMPARE(got, want);
}

void TestBackground::veryLargeBitmap() {
    // 12 000 x 9 000 at 24 bits: 324 MB of pixels, 432 MB once decoded whole at 32 bits.
    const QString path = dir_.filePath(QStringLiteral("航空写真.bmp"));
    const QRgb far = qRgb(200, 100, 50);
    QVERIFY(writeBmp(path, {12000, 9000, 24, false, false},
                     [&](int x, int y) { return x < 700 && y < 500 ? pattern(x, y) : far; }));
    QVERIFY(QFileInfo(path).size() > 300'000'000);
    const long before = peakKilobytes();
    QElapsedTimer timer;
    timer.start();
    DrawingModel model;
    DrawingCanvas canvas;
    canvas.prepareCanvas(model, path);
    const qint64 ms = timer.elapsed();
    QCOMPARE(canvas.backgroundFile, path);
    QCOMPARE(canvas.caption(), QStringLiteral("Tovera : ") + path);
    QCOMPARE(canvas.backgroundBitmap.size(), kArea);
    for (int y = 0; y < kArea.height(); ++y)
        for (int x = 0; x < kArea.width(); ++x)
            if (canvas.backgroundBitmap.pixel(x, y) != pattern(x, y))
                QFAIL(qPrintable(QStringLiteral("pixel %1, %2").arg(x).arg(y)));
    // Only the part shown was decoded: far less memory than the picture, quickly.
    QVERIFY2(peakKilobytes() - before < 64 * 1024,
             qPrintable(QString::number(peakKilobytes() - before)));
    QVERIFY2(ms < 5000, qPrintable(QString::number(ms)));
}

void TestBackground::runLengthBitmap() {
    // 4 x 2 pixels, 8-bit run-length compressed, bottom row first: the bottom row all entry
    // 1, the top row two of entry 2 and two of entry 3.
    const int palette = 4;
    QByteArray bytes = bmpHeader(4, 2, 8, 1, 54 + 4 * palette);
    bytes[46] = char(palette); // colours used
    for (int i = 0; i < palette; ++i) bytes += QByteArray(1, char(i * 60)) + "\x10\x20" + '\0';
    bytes += QByteArray("\x04\x01\x00\x00\x02\x02\x02\x03\x00\x00\x00\x01", 12);
    const QString path = dir_.filePath(QStringLiteral("rle.bmp"));
    QVERIFY(writeBytes(path, bytes));
    const QImage got = readBitmapTopLeft(path, kArea);
    QCOMPARE(got.size(), QSize(4, 2));
    const QRgb entry[] = {qRgb(0x20, 0x10, 0), qRgb(0x20, 0x10, 60), qRgb(0x20, 0x10, 120),
                          qRgb(0x20, 0x10, 180)};
    QCOMPARE(got.pixel(0, 1), entry[1]);
    QCOMPARE(got.pixel(3, 1), entry[1]);
    QCOMPARE(got.pixel(1, 0), entry[2]);
    QCOMPARE(got.pixel(2, 0), entry[3]);
}

void TestBackground::refusedFiles_data() {
    QTest::addColumn<QByteArray>("bytes");
    QByteArray rows(3 * 4 * 2, '\x7f'); // two rows of a 3-pixel 24-bit picture
    QTest::newRow("not a bitmap") << QByteArray("this is not a picture\r\n");
    QTest::newRow("only the signature") << QByteArray("BM");
    QTest::newRow("file header only") << bmpHeader(3, 2, 24, 0).left(14);
    QTest::newRow("a thousand million pixels a side, no data")
        << bmpHeader(1 << 30, 1 << 30, 24, 0) + rows;
    QTest::newRow("large picture cut short") << bmpHeader(12000, 9000, 24, 0) + rows;
    QTest::newRow("last row missing") << bmpHeader(3, 3, 24, 0) + rows;
    QTest::newRow("negative width") << bmpHeader(-3, 2, 24, 0) + rows;
    QTest::newRow("zero height") << bmpHeader(3, 0, 24, 0) + rows;
    QTest::newRow("most negative height") << bmpHeader(3, INT32_MIN, 24, 0) + rows;
    QTest::newRow("7 bits a pixel") << bmpHeader(3, 2, 7, 0) + rows;
    QTest::newRow("pixels beyond the end") << bmpHeader(3, 2, 24, 0, 4000) + rows;
    QTest::newRow("pixels inside the header") << bmpHeader(3, 2, 24, 0, 20) + rows;
    QTest::newRow("run-length picture of 60 000 a side")
        << bmpHeader(60000, 60000, 8, 1, 54 + 1024) + QByteArray(1024, '\0') +
               QByteArray("\x00\x01", 2);
    QTest::newRow("unknown compression") << bmpHeader(3, 2, 24, 9) + rows;
}

void TestBackground::refusedFiles() {
    QFETCH(QByteArray, bytes);
    const QString path = dir_.filePath(QStringLiteral("bad.bmp"));
    QVERIFY(writeBytes(path, bytes));
    const long before = peakKilobytes();
    QElapsedTimer timer;
    timer.start();
    DrawingModel model;
    DrawingCanvas canvas;
    try {
        canvas.prepareCanvas(model, path);
        QFAIL("the file was taken");
    } catch (const EInvalidGraphic& e) {
        QCOMPARE(e.message(), QStringLiteral("ビットマップイメージが不正です"));
    }
    QVERIFY(timer.elapsed() < 2000);
    QVERIFY(peakKilobytes() - before < 64 * 1024);
    // The pictures keep their empty state; nothing was shown.
    QVERIFY(canvas.backgroundBitmap.isNull());
    QVERIFY(canvas.drawBuffer.isNull());
    QVERIFY(canvas.backgroundFile.isEmpty());
}

QTEST_GUILESS_MAIN(TestBackground)
#include "test_background.moc"
