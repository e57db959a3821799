#include "platform/codepage.h"
#include "platform/namematch.h"

#include <QTest>

using namespace tovera;

class TestNameMatch : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void table_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<bool>("expected");
        const QString hbd = QStringLiteral("*hbd*");
        const QString xls = QStringLiteral("*xls*");
        QTest::newRow("plain hbd") << QStringLiteral("C:\\data\\a.hbd") << hbd << true;
        QTest::newRow("upper case") << QStringLiteral("C:\\data\\A.HBD") << hbd << false;
        QTest::newRow("folder name") << QStringLiteral("C:\\hbd\\plan.xls") << hbd << true;
        QTest::newRow("longer extension") << QStringLiteral("C:\\plan.hbdx") << hbd << true;
        QTest::newRow("doubled h") << QStringLiteral("C:\\x\\hhbd") << hbd << false;
        QTest::newRow("hbbd then hbd") << QStringLiteral("C:\\x\\hbbd.hbd") << hbd << true;
        QTest::newRow("plain xls") << QStringLiteral("a.xls") << xls << true;
        QTest::newRow("xlsx") << QStringLiteral("a.xlsx") << xls << true;
        QTest::newRow("doubled x") << QStringLiteral("axxls") << xls << false;
        QTest::newRow("short") << QStringLiteral("a.xl") << xls << false;
        QTest::newRow("empty name") << QString() << hbd << false;
        QTest::newRow("star stops at first c")
            << QStringLiteral("abcc") << QStringLiteral("a*c") << false;
        QTest::newRow("question takes one")
            << QStringLiteral("abc") << QStringLiteral("a?") << false;
        QTest::newRow("old drawing") << QStringLiteral("C:\\zu\\plan.had") << hbd << false;
        QTest::newRow("folder hbd alone") << QStringLiteral("D:\\hbd") << hbd << true;
        QTest::newRow("question exact") << QStringLiteral("abc") << QStringLiteral("a?c") << true;
        QTest::newRow("no star exact") << QStringLiteral("abc") << QStringLiteral("abc") << true;
        QTest::newRow("no star longer name")
            << QStringLiteral("abcd") << QStringLiteral("abc") << false;
        QTest::newRow("trailing star") << QStringLiteral("abcd") << QStringLiteral("ab*") << true;
        QTest::newRow("lone star, empty name") << QString() << QStringLiteral("*") << true;
        QTest::newRow("empty pattern, empty name") << QString() << QString() << true;
        QTest::newRow("empty pattern") << QStringLiteral("a") << QString() << false;
        // Byte-wise: the trail byte of 栄 (0x89 0x68) is "h", so "栄bd" holds h, b, d in a row.
        QTest::newRow("kanji trail byte h") << QStringLiteral("C:\\図面\\栄bd.txt") << hbd << true;
        // ベ is 0x83 0x78: its trail byte "x" starts xls.
        QTest::newRow("kanji trail byte x") << QStringLiteral("ベls") << xls << true;
        QTest::newRow("kanji without letters")
            << QStringLiteral("C:\\図面\\家屋.hbd") << hbd << true;
        QTest::newRow("full-width letters") << QStringLiteral("ｈｂｄ") << hbd << false;
    }
    void table() {
        QFETCH(QString, name);
        QFETCH(QString, pattern);
        QFETCH(bool, expected);
        QCOMPARE(matchesPattern(name, pattern), expected);
        QCOMPARE(matchesPattern(toCp932(name), toCp932(pattern)), expected);
    }

    void unmappableBecomesQuestionMark() {
        // é has no code page 932 form and turns into "?", which a literal "?" then matches.
        QVERIFY(matchesPattern(QStringLiteral("a\u00e9"), QStringLiteral("a?")));
        QVERIFY(matchesPattern(QStringLiteral("a\u00e9"), QStringLiteral("*\u00e9")));
    }

    void longNamesFinish() {
        // A name of many near misses ends with the last scan, not by exhausting anything.
        QByteArray name;
        for (int k = 0; k < 100000; ++k) name += "hb";
        QVERIFY(!matchesPattern(name, QByteArray("*hbd*")));
        // The h before the final "bd" was the character that did not match a "d", and the
        // scan resumes after it, so the name still fails; a later "hbd" passes.
        name += "d";
        QVERIFY(!matchesPattern(name, QByteArray("*hbd*")));
        name += ".hbd";
        QVERIFY(matchesPattern(name, QByteArray("*hbd*")));
    }
};

QTEST_GUILESS_MAIN(TestNameMatch)
#include "test_namematch.moc"
