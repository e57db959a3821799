// Numbers as the numeric columns take them from a box: typed, or copied from a detail sheet
// in the form the sheet shows them.

#include "platform/errors.h"
#include "records/columns.h"

#include <QTest>

using namespace tovera;

class TestColumns : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void numbersTheColumnsTake_data();
    void numbersTheColumnsTake();
    void textsThatAreNoNumbers_data();
    void textsThatAreNoNumbers();
};

void TestColumns::numbersTheColumnsTake_data() {
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QVariant>("stored");
    const QString real = QStringLiteral("評点数");
    const QString whole = QStringLiteral("No");
    QTest::newRow("grouped, as #,##0 shows it") << real << "86,806" << QVariant(86806.0);
    QTest::newRow("two groups with decimals") << real << "1,234,567.25" << QVariant(1234567.25);
    QTest::newRow("as 0.00 shows it") << QStringLiteral("床面積") << "110.54" << QVariant(110.54);
    QTest::newRow("plus sign") << real << "+62.1" << QVariant(62.1);
    QTest::newRow("minus, grouped") << real << "-1,234" << QVariant(-1234.0);
    QTest::newRow("minus sign U+2212") << real << "\u22121,234.5" << QVariant(-1234.5);
    QTest::newRow("full-width digits, comma and point")
        << real << "８６，８０６．５" << QVariant(86806.5);
    QTest::newRow("full-width minus") << real << "－４８．４４" << QVariant(-48.44);
    QTest::newRow("ideographic blanks around") << real << "\u3000 62.10 \u3000" << QVariant(62.1);
    QTest::newRow("whole number, grouped") << whole << "12,345" << QVariant(qlonglong(12345));
    QTest::newRow("whole number, full-width sign") << whole << "＋７" << QVariant(qlonglong(7));
    QTest::newRow("empty") << real << "" << QVariant();
    QTest::newRow("blanks only") << real << "\u3000 " << QVariant();
}

void TestColumns::numbersTheColumnsTake() {
    QFETCH(QString, column);
    QFETCH(QString, text);
    QFETCH(QVariant, stored);
    const QVariant converted = convertForColumn(*findColumn(column), text);
    QCOMPARE(converted.isNull(), stored.isNull());
    if (stored.isNull()) return;
    QCOMPARE(converted.metaType(), stored.metaType());
    QCOMPARE(converted, stored);
}

void TestColumns::textsThatAreNoNumbers_data() {
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");
    const QString real = QStringLiteral("評点数");
    QTest::newRow("groups not of three")
        << real << "1,23" << QStringLiteral("'1,23' は列 評点数 の数値ではありません");
    QTest::newRow("group of four")
        << real << "8,6806" << QStringLiteral("'8,6806' は列 評点数 の数値ではありません");
    QTest::newRow("comma as decimal point")
        << real << "110,5" << QStringLiteral("'110,5' は列 評点数 の数値ではありません");
    QTest::newRow("leading comma")
        << real << ",806" << QStringLiteral("',806' は列 評点数 の数値ではありません");
    QTest::newRow("grouping after the point")
        << real << "1.234,567" << QStringLiteral("'1.234,567' は列 評点数 の数値ではありません");
    QTest::newRow("two signs") << real << "+-5"
                               << QStringLiteral("'+-5' は列 評点数 の数値ではありません");
    QTest::newRow("unit after the number")
        << QStringLiteral("床面積") << "110.54㎡"
        << QStringLiteral("'110.54㎡' は列 床面積 の数値ではありません");
    QTest::newRow("currency") << real << "¥86,806"
                              << QStringLiteral("'¥86,806' は列 評点数 の数値ではありません");
    QTest::newRow("whole column, grouped fraction")
        << QStringLiteral("No") << "1,234.5"
        << QStringLiteral("'1,234.5' は列 No の整数ではありません");
}

void TestColumns::textsThatAreNoNumbers() {
    QFETCH(QString, column);
    QFETCH(QString, text);
    QFETCH(QString, message);
    try {
        convertForColumn(*findColumn(column), text);
        QFAIL("converted");
    } catch (const EDatabaseError& e) {
        QCOMPARE(e.message(), message);
    }
}

QTEST_GUILESS_MAIN(TestColumns)
#include "test_columns.moc"
