// A large drawing in memory is read in bulk, on two threads, when every record line has
// the common form. Whatever the bytes, the model, the error and every report to the host
// must be those of reading the file line by line in blocks; and the bulk way must really
// be taken for the common drawings, or it would never be tested.

#include "drawing/filetext.h"
#include "drawing/host.h"
#include "drawing/linebatch.h"
#include "drawing/readers.h"
#include "platform/errors.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <fcntl.h>
#include <random>
#include <unistd.h>

using namespace tovera;

namespace {

// Every call the host gets, in order.
class CallLog : public DrawingHost {
public:
    void setAreaBox(AreaBox box, const QString& text) override {
        calls << QStringLiteral("area %1 %2").arg(int(box)).arg(text);
    }
    void setGauge(int position) override { calls << QStringLiteral("gauge %1").arg(position); }
    void setMessagePanel(const QString& text) override { calls << "panel " + text; }
    void showMessage(const QString& text) override { calls << "message " + text; }
    void renderDrawing() override { calls << QStringLiteral("render"); }
    QStringList calls;
};

struct Outcome {
    DrawingModel model;
    QString result;
    QStringList calls;
};

template <class F> Outcome outcome(F read) {
    Outcome o;
    CallLog host;
    try {
        o.result = read(o.model, host) == ReadResult::Ok ? QStringLiteral("ok")
                                                         : QStringLiteral("refused");
    } catch (const Exception& e) {
        o.result = e.message();
    }
    o.calls = host.calls;
    return o;
}

void compareOutcomes(const Outcome& got, const Outcome& want) {
    QCOMPARE(got.result, want.result);
    QCOMPARE(got.calls, want.calls);
    const DrawingModel &a = got.model, &b = want.model;
    QCOMPARE(a.homeOriginX, b.homeOriginX);
    QCOMPARE(a.gridPitchY, b.gridPitchY);
    QCOMPARE(a.kenLength, b.kenLength);
    for (auto [x, y] : {std::pair{&a.lines1F, &b.lines1F},
                        {&a.lines2F, &b.lines2F},
                        {&a.lines3F, &b.lines3F},
                        {&a.extraLines1F, &b.extraLines1F}}) {
        QCOMPARE(x->size(), y->size());
        for (size_t i = 0; i < x->size(); ++i) {
            if (!((*x)[i] == (*y)[i]))
                QFAIL(qPrintable(QStringLiteral("line %1 differs: %2 / %3")
                                     .arg(i)
                                     .arg(QString::fromLatin1((*x)[i].text.toHex()))
                                     .arg(QString::fromLatin1((*y)[i].text.toHex()))));
        }
    }
    for (auto [x, y] :
         {std::pair{&a.boxes1F, &b.boxes1F}, {&a.boxes2F, &b.boxes2F}, {&a.boxes3F, &b.boxes3F}})
        QVERIFY(*x == *y);
}

// The lines of a drawing of kind 1, one entry a line without its end, and where each
// section's records start.
struct Drawing {
    QList<QByteArray> lines;
    QList<qsizetype> sectionStart; // index of each section's first record line
    QList<int> records;            // records in each section
};

Drawing generate(std::mt19937& rng, int scale) {
    Drawing d;
    d.lines = {"$headerpas", "10",   "20", "0",     "0",     "1200", "900",
               "45.0",       "30.5", "x",  "52.50", "40.25", "0",    "6.0"};
    std::uniform_int_distribution<int> pos(-2000, 99999), pick(0, 99);
    const QByteArray texts[] = {"",
                                "",
                                "",
                                "壁",
                                "\x95\xc7",
                                "窓（引違い）",
                                "a",
                                "0123456789abcdef",
                                "0123456789abcdefg",
                                QByteArray(90, 'z'),
                                " x ",
                                "\t"};
    const int sizes[] = {5 * scale, 4 * scale, 3 * scale, 3 * scale, 2 * scale, 2 * scale, scale};
    for (int s = 0; s < 7; ++s) {
        d.lines << QByteArray("section") << QByteArray::number(sizes[s] - 1);
        d.sectionStart << d.lines.size();
        d.records << sizes[s];
        for (int i = 0; i < sizes[s]; ++i) {
            for (int k = 0; k < 4; ++k) d.lines << QByteArray::number(pos(rng));
            const int c = pick(rng);
            d.lines << (c < 10   ? QByteArray("16711680")
                        : c < 15 ? QByteArray("-99999999")
                        : c < 20 ? QByteArray("00000007")
                                 : QByteArray::number(c * 1000));
            if (s < 3) {
                d.lines << QByteArray::number(pick(rng) % 4);
                d.lines << texts[pick(rng) % std::size(texts)];
            }
        }
    }
    return d;
}

// The lines joined, each ended by CR LF or, with `mixedEnds`, by CR LF or LF at random;
// then the seven closing lines.
QByteArray join(const QList<QByteArray>& lines, std::mt19937& rng, bool mixedEnds) {
    QByteArray out;
    for (const QByteArray& line : lines) out += line + (mixedEnds && rng() % 2 ? "\n" : "\r\n");
    return out + "\r\n\r\n\r\n\r\n\r\n\r\n\r\n";
}

// The drawing read line by line from a file, in blocks.
Outcome lineByLine(const QByteArray& bytes, const QString& path) {
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size()) return {};
    out.close();
    return outcome([&](DrawingModel& m, DrawingHost& h) {
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
        struct Closer {
            int fd;
            ~Closer() { ::close(fd); }
        } closer{fd};
        readerdetail::FileText f(fd, 4096);
        return readerdetail::readDrawingText(m, h, f);
    });
}

// Whether the bulk way takes the drawing; when it does not, it must leave no trace.
bool bulkTakes(const QByteArray& bytes) {
    DrawingModel m;
    CallLog host;
    readerdetail::FileText f(bytes.constData(), size_t(bytes.size()));
    f.readText();
    const char* before = f.position();
    const bool taken = readerdetail::readKind12InBulk(m, host, f);
    if (f.position() != before) qFatal("the bulk way moved the cursor");
    if (!taken && (!host.calls.isEmpty() || !m.lines1F.empty() || !m.boxes3F.empty()))
        qFatal("the bulk way left a trace");
    return taken;
}

// Vector instructions off for the scope, so that the portable way is tested too.
struct PortableWay {
    explicit PortableWay(bool on) { readerdetail::allowVectorCode(!on); }
    ~PortableWay() { readerdetail::allowVectorCode(true); }
};

} // namespace

class TestBulkRead : public QObject {
    Q_OBJECT

private slots:
    void sameAsLineByLine_data() {
        QTest::addColumn<int>("scale");
        QTest::addColumn<int>("section"); // where the change is; -1: none
        QTest::addColumn<QString>("where");
        QTest::addColumn<int>("line"); // which line of that record
        QTest::addColumn<QByteArray>("replacement");
        QTest::addColumn<bool>("bulk"); // whether the bulk way takes the drawing
        auto row = [](const char* name, int scale, int section, const char* where, int line,
                      const QByteArray& replacement, bool bulk) {
            QTest::newRow(name) << scale << section << QString::fromLatin1(where) << line
                                << replacement << bulk;
        };
        row("common, two threads", 1200, -1, "", 0, {}, true);
        row("common, one thread", 300, -1, "", 0, {}, true);
        row("eight-digit numbers", 1200, 0, "middle", 4, "99999999", true);
        row("a text with a CR inside", 1200, 1, "middle", 6, "ab\rcd", true);
        row("blank before a number", 1200, 0, "middle", 2, " 12", false);
        row("blank after a number", 1200, 2, "first", 0, "12 ", false);
        row("plus sign", 1200, 3, "last", 1, "+5", false);
        row("nine digits", 1200, 4, "middle", 4, "123456789", false);
        row("hexadecimal", 1200, 5, "first", 3, "$1F", false);
        row("empty number line", 1200, 0, "last", 0, "", false);
        row("lone minus", 1200, 6, "last", 4, "-", false);
        row("minus within", 1200, 1, "first", 2, "1-2", false);
        row("CR within a number", 1200, 2, "middle", 1, "1\r2", false);
        row("CR CR before LF", 1200, 6, "middle", 0, "7\r", false);
        row("not a number", 1200, 4, "last", 2, "abc", false);
        row("tab", 1200, 3, "middle", 0, "\t7", false);
        row("byte 26 in a text", 1200, 1, "middle", 6, "a\x1a", false);
        row("section count too large", 1200, 5, "count", 0, "999999", false);
        row("section count negative", 1200, 2, "count", 0, "-7", true);
        row("section count not a number", 1200, 3, "count", 0, "x", false);
        row("file cut in a section", 1200, 5, "cut", 0, {}, false);
    }

    void sameAsLineByLine() {
        QFETCH(int, scale);
        QFETCH(int, section);
        QFETCH(QString, where);
        QFETCH(int, line);
        QFETCH(QByteArray, replacement);
        QFETCH(bool, bulk);
        std::mt19937 rng(20261209u + uint32_t(scale + section * 7 + line));
        Drawing d = generate(rng, scale);
        QByteArray bytes;
        if (section >= 0) {
            const int perRecord = section < 3 ? 7 : 5;
            const qsizetype start = d.sectionStart[section];
            const int records = d.records[section];
            if (where == "count") {
                d.lines[start - 1] = replacement;
                if (replacement.startsWith('-')) // no records follow
                    d.lines.remove(start, qsizetype(records) * perRecord);
            } else if (where != "cut") {
                const int record = where == "first"  ? 0
                                   : where == "last" ? records - 1
                                                     : records / 2;
                d.lines[start + qsizetype(record) * perRecord + line] = replacement;
            }
            bytes = join(d.lines, rng, section % 2 == 1);
            if (where == "cut") {
                // Within the section, after its count and three lines of its first record.
                qsizetype at = 0;
                for (qsizetype k = 0; k < start + 3; ++k) at = bytes.indexOf('\n', at) + 1;
                bytes.truncate(at);
            }
        } else {
            bytes = join(d.lines, rng, scale % 2 == 1);
        }

        QTemporaryDir dir;
        const QString path = dir.filePath("d.hbd");
        const Outcome want = lineByLine(bytes, path);
        if (section < 0) QCOMPARE(want.result, QStringLiteral("ok"));
        for (bool portable : {false, true}) {
            const PortableWay way(portable);
            QCOMPARE(bulkTakes(bytes), bulk);
            // From memory, and from the file, which is read whole.
            compareOutcomes(outcome([&](DrawingModel& m, DrawingHost& h) {
                                return readDrawingData(m, h, bytes.constData(),
                                                       size_t(bytes.size()));
                            }),
                            want);
            compareOutcomes(outcome([&](DrawingModel& m, DrawingHost& h) {
                                return readDrawingFile(m, h, path);
                            }),
                            want);
        }
    }

    void mutatedBytes_data() {
        QTest::addColumn<int>("seed");
        for (int seed = 1; seed <= 12; ++seed)
            QTest::newRow(qPrintable(QString::number(seed))) << seed;
    }

    void mutatedBytes() {
        // A common drawing with a few bytes changed anywhere past its header, to bytes that
        // matter to the lines' forms: whatever the bulk way decides, the outcome is that of
        // reading line by line.
        QFETCH(int, seed);
        std::mt19937 rng{uint32_t(seed)};
        const QByteArray common = join(generate(rng, 120).lines, rng, true);
        const qsizetype headerEnd = common.indexOf("section");
        const char kBytes[] = {'\r', '\n', '-', '0', '7', '9', ' ', '\t', '+', 'a', '\x1a', '\x82'};
        QTemporaryDir dir;
        const QString path = dir.filePath("m.hbd");
        int taken = 0;
        for (int round = 0; round < 25; ++round) {
            QByteArray bytes = common;
            for (int k = int(rng() % 3); k >= 0; --k)
                bytes[headerEnd + qsizetype(rng() % uint32_t(bytes.size() - headerEnd))] =
                    kBytes[rng() % std::size(kBytes)];
            const Outcome want = lineByLine(bytes, path);
            for (bool portable : {false, true}) {
                const PortableWay way(portable);
                taken += bulkTakes(bytes);
                compareOutcomes(outcome([&](DrawingModel& m, DrawingHost& h) {
                                    return readDrawingData(m, h, bytes.constData(),
                                                           size_t(bytes.size()));
                                }),
                                want);
            }
        }
        QVERIFY2(taken > 0, "no mutated drawing was read in bulk"); // some changes keep the form
    }
};

QTEST_GUILESS_MAIN(TestBulkRead)
#include "test_bulk_read.moc"
