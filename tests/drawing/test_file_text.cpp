// The drawing file cursor reads the common number and text lines a quick way; on any
// bytes it must give what the general, byte-by-byte way gives: the same values, the same
// errors, and the same position after each line.

#include "drawing/filetext.h"
#include "platform/errors.h"

#include <QTest>
#include <random>

using namespace tovera;
using readerdetail::FileText;

namespace {

// Lines that look like numbers, nearly like numbers, or not at all, with every kind of line
// end, so that each branch of the quick way and each of its refusals is met.
QByteArray randomLine(std::mt19937& rng) {
    static const char* const pieces[] = {"0",          "7",
                                         "42",         "-3",
                                         "+5",         "-",
                                         "$1F",        "0x7fffffff",
                                         "x10",        " ",
                                         "\t",         ".5",
                                         "1e3",        "12a",
                                         "a",          "99999999",
                                         "123456789",  "2147483647",
                                         "2147483648", "-2147483648",
                                         "4294967295", "00000000000000000012",
                                         "\x1a",       "\x82\xa0",
                                         "\x01",       "\"",
                                         ","};
    static const char* const ends[] = {"\r\n", "\n", "\r", "", "\r\r\n", " \r\n", "\t\n", " x\n"};
    std::uniform_int_distribution<int> piece(0, int(std::size(pieces)) - 1), count(0, 3),
        end(0, int(std::size(ends)) - 1), digits(1, 12), digit(0, 9);
    QByteArray line;
    if (rng() % 3 == 0) {
        // A plain number of any length, the quick way's own ground.
        if (rng() % 4 == 0) line += '-';
        for (int k = digits(rng); k > 0; --k) line += char('0' + digit(rng));
    } else {
        for (int k = count(rng); k >= 0; --k) line += pieces[piece(rng)];
    }
    return line + ends[rng() % 3 == 0 ? end(rng) : 0];
}

enum class Step { Integer, Real, Text, Skip };

// What a step gives: its value as text, or its error's message.
QString stepOn(FileText& f, Step step, bool quick) {
    try {
        switch (step) {
        case Step::Integer:
            return QString::number(quick ? f.readInteger() : f.readIntegerSlowly());
        case Step::Real:
            return QString::number(f.readReal(), 'g', 17);
        case Step::Text:
            return QString::fromLatin1((quick ? f.readText() : f.readTextSlowly()).toHex());
        case Step::Skip:
            f.skipLine();
            return QStringLiteral("skipped");
        }
    } catch (const Exception& e) {
        return QStringLiteral("error ") + e.message();
    }
    return {};
}

} // namespace

class TestFileText : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void quickWayAsTheGeneralWay_data() {
        QTest::addColumn<int>("seed");
        for (int seed = 1; seed <= 40; ++seed)
            QTest::newRow(qPrintable(QString::number(seed))) << seed;
    }
    void quickWayAsTheGeneralWay() {
        QFETCH(int, seed);
        std::mt19937 rng{unsigned(seed)};
        QByteArray bytes;
        for (int k = 0; k < 400; ++k) bytes += randomLine(rng);
        FileText quick(bytes.constData(), size_t(bytes.size()));
        FileText general(bytes.constData(), size_t(bytes.size()));
        for (int k = 0; k < 600; ++k) {
            const unsigned r = rng() % 10;
            const Step step = r < 6   ? Step::Integer
                              : r < 8 ? Step::Text
                              : r < 9 ? Step::Real
                                      : Step::Skip;
            const QString want = stepOn(general, step, false);
            QCOMPARE(stepOn(quick, step, true), want);
            // Both stand at the same place: the rest of the bytes read the same.
            QCOMPARE(quick.remainingBound(), general.remainingBound());
        }
    }

    void repeatedTextsAreEqualCopies() {
        const QByteArray bytes = "wall\r\nwall\r\nwalk\r\n\r\nwall\n";
        FileText f(bytes.constData(), size_t(bytes.size()));
        QByteArray first = f.readText();
        const QByteArray second = f.readText();
        QCOMPARE(f.readText(), QByteArray("walk"));
        QCOMPARE(f.readText(), QByteArray(""));
        QCOMPARE(f.readText(), QByteArray("wall"));
        QCOMPARE(second, QByteArray("wall"));
        first[0] = 'h'; // a change to one copy leaves the others as read
        QCOMPARE(second, QByteArray("wall"));
        QCOMPARE(first, QByteArray("hall"));
    }
};

QTEST_MAIN(TestFileText)
#include "test_file_text.moc"
