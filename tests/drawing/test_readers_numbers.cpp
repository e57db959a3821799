// The number conversions of the drawing readers: integers (decimal and hexadecimal, the
// 32-bit range), reals ("." whatever the locale), and the spaces each kind of line allows.

#include "drawing/numbers.h"

#include <QtTest>
#include <clocale>
#include <cmath>

using namespace tovera;

class TestReaderNumbers : public QObject {
    Q_OBJECT

private slots:
    void integers_data();
    void integers();
    void reals_data();
    void reals();
    void realsIgnoreLocale();
};

void TestReaderNumbers::integers_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("bare");  // valid as a run of the file reader
    QTest::addColumn<bool>("field"); // valid as a whole line (spaces before allowed)
    QTest::addColumn<int>("value");
    QTest::newRow("decimal") << QByteArray("120") << true << true << 120;
    QTest::newRow("signs") << QByteArray("-120") << true << true << -120;
    QTest::newRow("plus") << QByteArray("+7") << true << true << 7;
    QTest::newRow("leading zeros") << QByteArray("000000000000000000042") << true << true << 42;
    QTest::newRow("dollar hex") << QByteArray("$FF") << true << true << 255;
    QTest::newRow("x hex, lower digits") << QByteArray("xff") << true << true << 255;
    QTest::newRow("X hex") << QByteArray("X10") << true << true << 16;
    QTest::newRow("0x hex") << QByteArray("0x1F") << true << true << 31;
    QTest::newRow("0X hex") << QByteArray("0X1f") << true << true << 31;
    QTest::newRow("signed hex") << QByteArray("-$10") << true << true << -16;
    QTest::newRow("largest") << QByteArray("2147483647") << true << true << 2147483647;
    QTest::newRow("smallest") << QByteArray("-2147483648") << true << true << int(-2147483648LL);
    QTest::newRow("smallest hex") << QByteArray("-$80000000") << true << true << int(-2147483648LL);
    QTest::newRow("one past largest") << QByteArray("2147483648") << false << false << 0;
    QTest::newRow("one below smallest") << QByteArray("-2147483649") << false << false << 0;
    QTest::newRow("hex past 31 bits") << QByteArray("$FFFFFFFF") << false << false << 0;
    QTest::newRow("huge") << QByteArray("99999999999999999999999") << false << false << 0;
    QTest::newRow("leading spaces") << QByteArray("   5") << false << true << 5;
    QTest::newRow("leading tab") << QByteArray("\t5") << false << false << 0;
    QTest::newRow("trailing space") << QByteArray("5 ") << false << false << 0;
    QTest::newRow("empty") << QByteArray() << false << false << 0;
    QTest::newRow("sign alone") << QByteArray("-") << false << false << 0;
    QTest::newRow("prefix alone") << QByteArray("$") << false << false << 0;
    QTest::newRow("0x alone") << QByteArray("0x") << false << false << 0;
    QTest::newRow("two signs") << QByteArray("--5") << false << false << 0;
    QTest::newRow("sign after space") << QByteArray("- 5") << false << false << 0;
    QTest::newRow("real") << QByteArray("5.0") << false << false << 0;
    QTest::newRow("bad hex digit") << QByteArray("$1G") << false << false << 0;
    QTest::newRow("full-width digit") << QByteArray("\x82\x54") << false << false << 0;
}

void TestReaderNumbers::integers() {
    QFETCH(QByteArray, text);
    QFETCH(bool, bare);
    QFETCH(bool, field);
    QFETCH(int, value);
    const char* b = text.constData();
    const char* e = b + text.size();
    int32_t got = -99;
    QCOMPARE(drawnum::parseInteger(b, e, got), bare);
    QCOMPARE(got, bare ? value : -99); // untouched when the text is refused
    got = -99;
    QCOMPARE(drawnum::parseIntegerField(b, e, got), field);
    QCOMPARE(got, field ? value : -99);
}

void TestReaderNumbers::reals_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("bare");
    QTest::addColumn<bool>("field"); // spaces allowed before and after
    QTest::addColumn<double>("value");
    QTest::newRow("fraction") << QByteArray("45.5") << true << true << 45.5;
    QTest::newRow("integer") << QByteArray("45") << true << true << 45.0;
    QTest::newRow("signs") << QByteArray("-0.125") << true << true << -0.125;
    QTest::newRow("plus") << QByteArray("+2.5") << true << true << 2.5;
    QTest::newRow("no integer part") << QByteArray(".5") << true << true << 0.5;
    QTest::newRow("no fraction digits") << QByteArray("5.") << true << true << 5.0;
    QTest::newRow("exponent") << QByteArray("1.5e3") << true << true << 1500.0;
    QTest::newRow("capital exponent, sign") << QByteArray("15E-1") << true << true << 1.5;
    QTest::newRow("nearest double") << QByteArray("0.1") << true << true << 0.1;
    QTest::newRow("tiny underflows to a number") << QByteArray("1e-400") << true << true << 0.0;
    QTest::newRow("spaces around") << QByteArray("  6.0  ") << false << true << 6.0;
    QTest::newRow("overflow") << QByteArray("1e400") << false << false << 0.0;
    QTest::newRow("comma") << QByteArray("45,5") << false << false << 0.0;
    QTest::newRow("point alone") << QByteArray(".") << false << false << 0.0;
    QTest::newRow("exponent without digits") << QByteArray("1e") << false << false << 0.0;
    QTest::newRow("exponent alone") << QByteArray("e5") << false << false << 0.0;
    QTest::newRow("hexadecimal") << QByteArray("0x10") << false << false << 0.0;
    QTest::newRow("infinity") << QByteArray("inf") << false << false << 0.0;
    QTest::newRow("nan") << QByteArray("nan") << false << false << 0.0;
    QTest::newRow("two points") << QByteArray("1.2.3") << false << false << 0.0;
    QTest::newRow("tab after") << QByteArray("1.5\t") << false << false << 0.0;
    QTest::newRow("empty") << QByteArray() << false << false << 0.0;
    QTest::newRow("spaces only") << QByteArray("   ") << false << false << 0.0;
}

void TestReaderNumbers::reals() {
    QFETCH(QByteArray, text);
    QFETCH(bool, bare);
    QFETCH(bool, field);
    QFETCH(double, value);
    const char* b = text.constData();
    const char* e = b + text.size();
    double got = -99;
    QCOMPARE(drawnum::parseReal(b, e, got), bare);
    QCOMPARE(got, bare ? value : -99.0);
    got = -99;
    QCOMPARE(drawnum::parseRealField(b, e, got), field);
    QCOMPARE(got, field ? value : -99.0);
    // Only the range counts: a digit right after it is not read.
    if (bare) {
        const QByteArray longer = text + "9";
        double cut = -99;
        QVERIFY(drawnum::parseReal(longer.constData(), longer.constData() + text.size(), cut));
        QCOMPARE(cut, value);
    }
}

void TestReaderNumbers::realsIgnoreLocale() {
    // A locale whose decimal separator is a comma changes nothing.
    const char* old = std::setlocale(LC_NUMERIC, nullptr);
    const QByteArray saved = old ? QByteArray(old) : QByteArray("C");
    if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8") && !std::setlocale(LC_NUMERIC, "fr_FR.UTF-8"))
        QSKIP("no locale with a decimal comma installed");
    double got = 0;
    const QByteArray point("2.5"), comma("2,5");
    const bool pointOk = drawnum::parseReal(point.begin(), point.end(), got);
    const bool commaOk = drawnum::parseReal(comma.begin(), comma.end(), got);
    std::setlocale(LC_NUMERIC, saved.constData());
    QVERIFY(pointOk);
    QCOMPARE(got, 2.5);
    QVERIFY(!commaOk);
}

QTEST_GUILESS_MAIN(TestReaderNumbers)
#include "test_readers_numbers.moc"
