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

    // Whole records read at once give, value for value, what the general way gives line by
    // line, and leave the cursor at the same place; a record they cannot take is left
    // untouched for the line-by-line way.
    void recordsAsTheGeneralWay_data() {
        QTest::addColumn<int>("seed");
        QTest::addColumn<bool>("withText");
        for (int seed = 1; seed <= 20; ++seed) {
            QTest::newRow(qPrintable(QStringLiteral("line %1").arg(seed))) << seed << true;
            QTest::newRow(qPrintable(QStringLiteral("box %1").arg(seed))) << seed << false;
        }
    }
    void recordsAsTheGeneralWay() {
        QFETCH(int, seed);
        QFETCH(bool, withText);
        std::mt19937 rng{unsigned(seed)};
        const int numbers = withText ? 6 : 5;
        QByteArray bytes;
        for (int k = 0; k < 300; ++k) {
            for (int i = 0; i < numbers; ++i) {
                // Mostly plain numbers, now and then any line but one that ends the file.
                if (rng() % 40 == 0)
                    bytes += randomLine(rng).replace('\x1a', "?");
                else
                    bytes += QByteArray::number(int(rng() % 200000) - 1000) +
                             (rng() % 8 ? "\r\n" : "\n");
            }
            if (withText) {
                static const char* const texts[] = {
                    "",     "\x95\xc7", "wall",
                    "a\rb", "\r",       "0123456789012345678901234567890123456789"};
                bytes += QByteArray(texts[rng() % std::size(texts)]) + "\r\n";
            }
        }
        FileText quick(bytes.constData(), size_t(bytes.size()));
        FileText general(bytes.constData(), size_t(bytes.size()));
        int taken = 0;
        for (int k = 0; k < 400 && !general.atEnd(); ++k) {
            int32_t values[6] = {};
            QByteArray text;
            const size_t before = quick.remainingBound();
            const bool ok = withText ? quick.readRecordQuickly<6>(values, &text)
                                     : quick.readRecordQuickly<5>(values, nullptr);
            QStringList got, want;
            if (ok) {
                ++taken;
                for (int i = 0; i < numbers; ++i) got << QString::number(values[i]);
                if (withText) got << QString::fromLatin1(text.toHex());
            } else {
                QCOMPARE(quick.remainingBound(), before);
                for (int i = 0; i < numbers; ++i) got << stepOn(quick, Step::Integer, true);
                if (withText) got << stepOn(quick, Step::Text, true);
            }
            for (int i = 0; i < numbers; ++i) want << stepOn(general, Step::Integer, false);
            if (withText) want << stepOn(general, Step::Text, false);
            QCOMPARE(got, want);
            QCOMPARE(quick.remainingBound(), general.remainingBound());
            if (quick.remainingBound() == before) {
                // A run that is no number stops both where it stands: pass its line.
                stepOn(quick, Step::Skip, true);
                stepOn(general, Step::Skip, false);
            }
        }
        QVERIFY(taken > 100);
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
