// The number texts of the drawing view (area boxes " %7.2f", zoom " %1.2f") as C's printf
// writes them in the "C" locale, also while the user's locale writes a decimal comma.

#include "comma_locale.h"
#include "drawing/model.h"
#include "drawing/readers.h"
#include "drawing/recordinghost.h"

#include <QTemporaryDir>
#include <QtTest>
#include <cmath>
#include <limits>

using namespace tovera;
using namespace tovera::testing;

class TestFormats : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void numbers_data();
    void numbers();
    void readerAreaBoxesUnderCommaLocale();

private:
    QTemporaryDir scratch_;
};

void TestFormats::initTestCase() {
    QVERIFY(scratch_.isValid());
    const QString why = prepareCommaLocale(scratch_.path());
    QVERIFY2(why.isEmpty(), qPrintable(why));
}

void TestFormats::numbers_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("area"); // " %7.2f"
    QTest::addColumn<QString>("zoom"); // " %1.2f"
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    QTest::newRow("52.5") << 52.5 << "   52.50"
                          << " 52.50";
    QTest::newRow("zero") << 0.0 << "    0.00"
                          << " 0.00";
    QTest::newRow("wider than the field") << 1234567.891 << " 1234567.89"
                                          << " 1234567.89";
    QTest::newRow("negative") << -3.456 << "   -3.46"
                              << " -3.46";
    QTest::newRow("exact half goes to even") << 0.125 << "    0.12"
                                             << " 0.12";
    QTest::newRow("2.675 lies below the half") << 2.675 << "    2.67"
                                               << " 2.67";
    QTest::newRow("rounds up to a longer number") << 99999.999 << " 100000.00"
                                                  << " 100000.00";
    QTest::newRow("1e20") << 1e20 << " 100000000000000000000.00"
                          << " 100000000000000000000.00";
    QTest::newRow("negative zero") << -0.0 << "   -0.00"
                                   << " -0.00";
    QTest::newRow("small negative") << -0.001 << "   -0.00"
                                    << " -0.00";
    QTest::newRow("zoom after two decreases") << 0.5 - 0.1 - 0.1 << "    0.30"
                                              << " 0.30";
    QTest::newRow("zoom 0.4") << 0.5 - 0.1 << "    0.40"
                              << " 0.40";
    QTest::newRow("zoom 12.3") << 12.3 << "   12.30"
                               << " 12.30";
    QTest::newRow("not a number") << nan << "     nan"
                                  << " nan";
    QTest::newRow("infinite") << inf << "     inf"
                              << " inf";
    QTest::newRow("minus infinite") << -inf << "    -inf"
                                    << " -inf";
}

void TestFormats::numbers() {
    QFETCH(double, value);
    QFETCH(QString, area);
    QFETCH(QString, zoom);
    for (const char* name : {"C", CommaLocaleName}) {
        ScopedCLocale locale(name);
        QVERIFY2(locale.ok(), name);
        QCOMPARE(formatArea(value), area);
        QCOMPARE(formatZoom(value), zoom);
    }
}

void TestFormats::readerAreaBoxesUnderCommaLocale() {
    ScopedCLocale locale(CommaLocaleName);
    QVERIFY(locale.ok());
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    DrawingModel model;
    RecordingDrawingHost host;
    QCOMPARE(
        readDrawingFile(model, host, QStringLiteral(TOVERA_TEST_DATA "/drawings/basic_lf.hbd")),
        ReadResult::Ok);
    QLocale::setDefault(QLocale::c());
    QCOMPARE(host.areaBox(AreaBox::F1), QStringLiteral("   52.50"));
    QCOMPARE(host.areaBox(AreaBox::F2), QStringLiteral("   40.25"));
    QCOMPARE(host.areaBox(AreaBox::F3), QStringLiteral("    0.00"));
    QCOMPARE(host.areaBox(AreaBox::Ken), QStringLiteral("    6.00"));
    QCOMPARE(host.areaBox(AreaBox::Total), QStringLiteral("   92.75"));
}

QTEST_GUILESS_MAIN(TestFormats)
#include "test_formats.moc"
