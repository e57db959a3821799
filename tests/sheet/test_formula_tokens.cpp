// The tokens of typed formulas, against byte strings written by hand from the file
// format's own description: the forms a spreadsheet program itself writes (value-class
// references as operands, reference-class ones as arguments of SUM, ptgInt for small
// whole numbers, compressed strings).

#include "sheet/calc.h"

#include <QTest>

using namespace tovera;

namespace {

QByteArray hex(const char* text) {
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

} // namespace

class TestFormulaTokens : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void tokens_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QByteArray>("expected");
        QTest::addColumn<QByteArray>("alternative"); // another form readers take alike
        // ptgRefV A1 (both relative), ptgInt 1, ptgAdd.
        QTest::newRow("A1+1") << "=A1+1" << hex("44 0000 00C0 1E 0100 03") << QByteArray();
        // Absolute B2, ptgNum 2.5 (IEEE little-endian), ptgMul.
        QTest::newRow("$B$2*2.5") << "=$B$2*2.5" << hex("44 0100 0100 1F 0000000000000440 05")
                                  << QByteArray();
        // Mixed: $C3 keeps its row relative only.
        QTest::newRow("$C3") << "=$C3" << hex("44 0200 0280") << QByteArray();
        // ptgStr "ab" compressed, ptgRefV C3, ptgConcat.
        QTest::newRow("concat") << "=\"ab\"&C3" << hex("17 02 00 6162 44 0200 02C0 08")
                                << QByteArray();
        // ptgAreaR A1:B2 for SUM's reference argument; SUM as tAttrSum or ptgFuncVar(1, 4).
        QTest::newRow("SUM(A1:B2)") << "=SUM(A1:B2)" << hex("25 0000 0100 00C0 01C0 19 10 0000")
                                    << hex("25 0000 0100 00C0 01C0 42 01 0400");
        // ROUND is fixed with two arguments: ptgFuncV 27.
        QTest::newRow("ROUND(A1,2)")
            << "=ROUND(A1,2)" << hex("44 0000 00C0 1E 0200 41 1B00") << QByteArray();
        // A negative number: ptgInt 5 and ptgUminus, or ptgNum -5.
        QTest::newRow("-5") << "=-5" << hex("1E 0500 13") << hex("1F 00000000000014C0");
        // A comparison and a boolean: ptgRefV A1, ptgInt 3, ptgGT; ptgBool TRUE.
        QTest::newRow("A1>3") << "=A1>3" << hex("44 0000 00C0 1E 0300 0D") << QByteArray();
        QTest::newRow("TRUE") << "=TRUE" << hex("1D 01") << hex("41 2200");
    }
    void tokens() {
        QFETCH(QString, typed);
        QFETCH(QByteArray, expected);
        QFETCH(QByteArray, alternative);
        Workbook book = Workbook::createDefault();
        QString error;
        const std::optional<Formula> f = parseFormula(book, 0, typed, error);
        QVERIFY2(f, qPrintable(error));
        if (f->tokens != expected && (alternative.isEmpty() || f->tokens != alternative))
            QFAIL(qPrintable(QStringLiteral("%1 gave %2")
                                 .arg(typed, QString::fromLatin1(f->tokens.toHex(' ')))));
    }
};

QTEST_GUILESS_MAIN(TestFormulaTokens)
#include "test_formula_tokens.moc"
