// The two drawing readers over small drawing files and stored texts: header kinds, the
// one-value-per-line layout, the old comma-separated layout, stored lines, and the model
// and host left behind after a refusal or an error.

#include "drawing/filetext.h"
#include "drawing/readers.h"
#include "drawing/recordinghost.h"
#include "platform/codepage.h"
#include "platform/errors.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <fcntl.h>
#include <unistd.h>

using namespace tovera;

namespace {

QString dataPath(const char* name) {
    return QStringLiteral(TOVERA_TEST_DATA "/drawings/") + QLatin1String(name);
}

QByteArray dataBytes(const char* name) {
    QFile f(dataPath(name));
    if (!f.open(QIODevice::ReadOnly)) qFatal("missing test file %s", name);
    return f.readAll();
}

QByteArray sj(const char* utf8) {
    return toCp932(QString::fromUtf8(utf8));
}

// A host that also keeps every gauge position, in order.
class GaugeHost : public RecordingDrawingHost {
public:
    void setGauge(int position) override {
        RecordingDrawingHost::setGauge(position);
        gauges << position;
    }
    QList<int> gauges;
};

TLine line(int x1, int y1, int x2, int y2, uint32_t color, int layer, const QByteArray& text) {
    return TLine{x1, y1, x2, y2, color, layer, text};
}

// The drawing held by basic_*.hbd.
DrawingModel basicModel() {
    DrawingModel m;
    m.homeOriginX = m.gridOriginX = 100;
    m.homeOriginY = m.gridOriginY = 200;
    m.gridPitchX = 45.5;
    m.gridPitchY = 30.25;
    m.areaF1 = 52.5;
    m.areaF2 = 40.25;
    m.areaF3 = 0;
    m.kenLength = 6.0;
    m.lines1F = {line(0, 0, 900, 0, 255, 0, sj("壁")), line(900, 0, 900, 600, 255, 1, sj("窓"))};
    m.lines3F = {line(10, 20, 30, 40, 0xFF00, 2, {})};
    m.extraLines1F = {line(5, 5, 50, 50, 0xFF0000, 0, {})};
    m.boxes1F = {TBox{0, 0, 100, 100, 65280}, TBox{10, 10, 20, 20, 0x1F}}; // colour "x1F"
    m.boxes3F = {TBox{1, 2, 3, 4, 5}};
    return m;
}

// A model that differs from every drawing read here in every list and value.
DrawingModel previousModel() {
    DrawingModel m;
    m.homeOriginX = m.gridOriginX = 7;
    m.homeOriginY = m.gridOriginY = 8;
    m.gridPitchX = m.gridPitchY = 99.0;
    m.areaF1 = m.areaF2 = m.areaF3 = m.kenLength = 1.0;
    for (LineList* l : {&m.lines1F, &m.lines2F, &m.lines3F, &m.extraLines1F})
        l->push_back(line(-9, -9, -9, -9, 1, 1, "old"));
    for (BoxList* b : {&m.boxes1F, &m.boxes2F, &m.boxes3F}) b->push_back(TBox{-9, -9, -9, -9, 1});
    return m;
}

void compareModels(const DrawingModel& got, const DrawingModel& want) {
    QCOMPARE(got.lines1F, want.lines1F);
    QCOMPARE(got.lines2F, want.lines2F);
    QCOMPARE(got.lines3F, want.lines3F);
    QCOMPARE(got.extraLines1F, want.extraLines1F);
    QCOMPARE(got.boxes1F, want.boxes1F);
    QCOMPARE(got.boxes2F, want.boxes2F);
    QCOMPARE(got.boxes3F, want.boxes3F);
    QCOMPARE(got.homeOriginX, want.homeOriginX);
    QCOMPARE(got.homeOriginY, want.homeOriginY);
    QCOMPARE(got.gridOriginX, want.gridOriginX);
    QCOMPARE(got.gridOriginY, want.gridOriginY);
    QCOMPARE(got.gridPitchX, want.gridPitchX);
    QCOMPARE(got.gridPitchY, want.gridPitchY);
    QCOMPARE(got.areaF1, want.areaF1);
    QCOMPARE(got.areaF2, want.areaF2);
    QCOMPARE(got.areaF3, want.areaF3);
    QCOMPARE(got.kenLength, want.kenLength);
}

// Runs `read`, expecting an error of type E with text `text`.
template <class E, class F> void expectError(F read, const QString& text) {
    try {
        read();
    } catch (const E& e) {
        QCOMPARE(e.message(), text);
        return;
    } catch (const Exception& e) {
        QFAIL(qPrintable(QStringLiteral("wrong error kind: ") + e.message()));
    }
    QFAIL("no error");
}

// What a read leaves: the model, the result or the error's text, and the host's record.
struct Outcome {
    DrawingModel model;
    QString result;
    QStringList host;
};

template <class F> Outcome outcome(F read) {
    Outcome o;
    RecordingDrawingHost host;
    try {
        o.result = read(o.model, host) == ReadResult::Ok ? QStringLiteral("ok")
                                                         : QStringLiteral("refused");
    } catch (const Exception& e) {
        o.result = e.message();
    }
    o.host << QString::number(host.gauge) << host.messagePanel << host.messages
           << QString::number(host.renderCount);
    for (const QString& box : host.areaBoxes) o.host << box;
    return o;
}

void compareOutcomes(const Outcome& got, const Outcome& want) {
    QCOMPARE(got.result, want.result);
    QCOMPARE(got.host, want.host);
    compareModels(got.model, want.model);
}

} // namespace

class TestReaders : public QObject {
    Q_OBJECT

private slots:
    void fileKinds12_data();
    void fileKinds12();
    void storedKinds12_data();
    void storedKinds12();
    void fileGaugeAndPanel();
    void refusedFileHeaders_data();
    void refusedFileHeaders();
    void countMinusOne();
    void fileEndsAfterAreas();
    void hugeCountInTruncatedFile();
    void byte26EndsTheFile();
    void kind3File();
    void kind3Fields_data();
    void kind3Fields();
    void kind3Counts_data();
    void kind3Counts();
    void fileErrors_data();
    void fileErrors();
    void fileErrorLeavesModel();
    void openErrors();
    void splitLines_data();
    void splitLines();
    void storedRefusals();
    void storedErrors_data();
    void storedErrors();
    void storedErrorLeavesMixedModel();
    void storedMissingLastBoxSection();
    void blockBoundaries_data();
    void blockBoundaries();
    void largeFile();
};

void TestReaders::fileKinds12_data() {
    QTest::addColumn<QString>("file");
    QTest::newRow("kind 1, CR LF") << "basic_crlf.hbd";
    QTest::newRow("kind 1, LF") << "basic_lf.hbd";
    QTest::newRow("kind 2 reads as kind 1") << "basic_kind2.hbd";
}

void TestReaders::fileKinds12() {
    QFETCH(QString, file);
    DrawingModel m = previousModel();
    RecordingDrawingHost host;
    QCOMPARE(readDrawingFile(m, host, dataPath(file.toLatin1().constData())), ReadResult::Ok);
    compareModels(m, basicModel());
    QCOMPARE(host.areaBox(AreaBox::F1), QStringLiteral("   52.50"));
    QCOMPARE(host.areaBox(AreaBox::F2), QStringLiteral("   40.25"));
    QCOMPARE(host.areaBox(AreaBox::F3), QStringLiteral("    0.00"));
    QCOMPARE(host.areaBox(AreaBox::Total), QStringLiteral("   92.75"));
    QCOMPARE(host.areaBox(AreaBox::Ken), QStringLiteral("    6.00"));
    QCOMPARE(host.renderCount, 2);
    QCOMPARE(host.messagePanel, QStringLiteral("切替え"));
    QCOMPARE(host.gauge, 0);
    QVERIFY(host.messages.isEmpty());
}

void TestReaders::storedKinds12_data() {
    QTest::addColumn<QString>("file");
    QTest::newRow("CR LF") << "basic_crlf.hbd";
    QTest::newRow("LF") << "basic_lf.hbd";
    QTest::newRow("kind 2") << "basic_kind2.hbd";
}

void TestReaders::storedKinds12() {
    QFETCH(QString, file);
    DrawingModel m = previousModel();
    GaugeHost host;
    const QList<QByteArray> lines = splitStoredLines(dataBytes(file.toLatin1().constData()));
    QCOMPARE(readStoredDrawing(m, host, lines), ReadResult::Ok);
    compareModels(m, basicModel());
    QCOMPARE(host.areaBox(AreaBox::Total), QStringLiteral("   92.75"));
    QCOMPARE(host.gauges, (QList<int>{30, 30, 30, 40, 60, 60, 60, 0}));
    QCOMPARE(host.renderCount, 2);
    QCOMPARE(host.messagePanel, QStringLiteral("切替え"));
    // The seven closing lines may be missing.
    DrawingModel m2 = previousModel();
    QCOMPARE(readStoredDrawing(m2, host, lines.mid(0, lines.size() - 7)), ReadResult::Ok);
    compareModels(m2, basicModel());
    // Split while read, from the bytes.
    DrawingModel m3 = previousModel();
    QCOMPARE(readStoredBytes(m3, host, dataBytes(file.toLatin1().constData())), ReadResult::Ok);
    compareModels(m3, basicModel());
}

void TestReaders::fileGaugeAndPanel() {
    DrawingModel m;
    GaugeHost host;
    int renders = 0;
    QStringList panelAtRender;
    host.onRender = [&] {
        ++renders;
        panelAtRender << host.messagePanel;
    };
    readDrawingFile(m, host, dataPath("basic_crlf.hbd"));
    QCOMPARE(host.gauges, (QList<int>{30, 30, 30, 40, 60, 60, 60, 0}));
    QCOMPARE(panelAtRender, (QStringList{QString(), QStringLiteral("読込完了..")}));

    GaugeHost host3;
    readDrawingFile(m, host3, dataPath("kind3.had"));
    QCOMPARE(host3.gauges, (QList<int>{60, 100}));
    QCOMPARE(host3.messagePanel, QStringLiteral("切替え"));
    QCOMPARE(host3.renderCount, 2);
}

void TestReaders::refusedFileHeaders_data() {
    QTest::addColumn<QString>("file");
    QTest::newRow("header with a trailing space") << "refused_space.hbd";
    QTest::newRow("header in capitals") << "refused_caps.hbd";
    QTest::newRow("empty file") << "refused_empty.hbd";
    QTest::newRow("first byte 0") << "first_byte_nul.hbd";
}

void TestReaders::refusedFileHeaders() {
    QFETCH(QString, file);
    DrawingModel m = previousModel();
    RecordingDrawingHost host;
    host.areaBoxes[0] = QStringLiteral("   1.00");
    host.messagePanel = QStringLiteral("before");
    QCOMPARE(readDrawingFile(m, host, dataPath(file.toLatin1().constData())), ReadResult::Refused);
    QCOMPARE(host.messages, QStringList{QStringLiteral("家屋図面(木造)ではありません!")});
    // Lists emptied; values, area boxes and the panel as before; nothing redrawn.
    DrawingModel want = previousModel();
    want.clearAll();
    compareModels(m, want);
    QCOMPARE(host.areaBoxes[0], QStringLiteral("   1.00"));
    QCOMPARE(host.messagePanel, QStringLiteral("before"));
    QCOMPARE(host.renderCount, 0);
}

void TestReaders::countMinusOne() {
    // Count -1 consumes just its two lines: the 2F section of basic is one.
    DrawingModel m;
    RecordingDrawingHost host;
    const QByteArray bytes = dataBytes("basic_lf.hbd");
    QVERIFY(bytes.contains("2F\n-1\n3F\n"));
    readDrawingData(m, host, bytes.constData(), size_t(bytes.size()));
    QVERIFY(m.lines2F.empty());
    QCOMPARE(m.lines3F.size(), size_t(1));

    // Number lines after blank lines, with words after the number.
    DrawingModel s;
    readDrawingFile(s, host, dataPath("spaced_numbers.hbd"));
    DrawingModel want = basicModel();
    want.homeOriginX = want.gridOriginX = 120;
    want.homeOriginY = want.gridOriginY = -7;
    compareModels(s, want);
}

void TestReaders::fileEndsAfterAreas() {
    DrawingModel m = previousModel();
    RecordingDrawingHost host;
    QCOMPARE(readDrawingFile(m, host, dataPath("ends_after_areas.hbd")), ReadResult::Ok);
    const LineList zeroLine(1);
    const BoxList zeroBox(1);
    QCOMPARE(m.lines1F, zeroLine);
    QCOMPARE(m.lines2F, zeroLine);
    QCOMPARE(m.lines3F, zeroLine);
    QCOMPARE(m.extraLines1F, zeroLine);
    QCOMPARE(m.boxes1F, zeroBox);
    QCOMPARE(m.boxes2F, zeroBox);
    QCOMPARE(m.boxes3F, zeroBox);
    QCOMPARE(m.kenLength, 6.0);
    QCOMPARE(host.messagePanel, QStringLiteral("切替え"));
}

void TestReaders::hugeCountInTruncatedFile() {
    // A count that the file does not hold: the records present, then at most 65 536 of
    // zeros once the file has ended; the next sections still get their one zero record.
    QByteArray bytes = dataBytes("ends_after_areas.hbd");
    bytes += "1F\n2147483647\n1\n2\n3\n4\n5\n6\nwall\n7\n";
    DrawingModel m;
    RecordingDrawingHost host;
    readDrawingData(m, host, bytes.constData(), size_t(bytes.size()));
    QCOMPARE(m.lines1F.size(), size_t(2 + 65536));
    QCOMPARE(m.lines1F[0], line(1, 2, 3, 4, 5, 6, "wall"));
    QCOMPARE(m.lines1F[1], line(7, 0, 0, 0, 0, 0, {}));
    QCOMPARE(m.lines1F.back(), TLine{});
    QCOMPARE(m.lines2F.size(), size_t(1));
    QCOMPARE(m.boxes3F.size(), size_t(1));
}

void TestReaders::byte26EndsTheFile() {
    QByteArray bytes = dataBytes("basic_lf.hbd");
    // Cut in the middle of the first line record's first number "900" of x2: "9" stays.
    const qsizetype at = bytes.indexOf("1F\n1\n0\n0\n900") + int(strlen("1F\n1\n0\n0\n9"));
    bytes.insert(at, char(26));
    DrawingModel m;
    RecordingDrawingHost host;
    readDrawingData(m, host, bytes.constData(), size_t(bytes.size()));
    QCOMPARE(m.lines1F, (LineList{line(0, 0, 9, 0, 0, 0, {}), TLine{}}));
    QCOMPARE(m.boxes3F, BoxList(1));
}

void TestReaders::kind3File() {
    DrawingModel m = previousModel();
    RecordingDrawingHost host;
    QCOMPARE(readDrawingFile(m, host, dataPath("kind3.had")), ReadResult::Ok);
    DrawingModel want;
    want.homeOriginX = want.gridOriginX = 7; // line 4's origin (100, 200) does not survive
    want.homeOriginY = want.gridOriginY = 8;
    want.gridPitchY = 12; // 0.125 * 100 = 12.5, half to even
    want.gridPitchX = 38; // 37.5
    want.areaF1 = 52.5;
    want.areaF2 = 40.25;
    want.kenLength = 6.0;
    want.lines1F = {line(-1, 1, 100, 200, 0x00FF00, 0, sj("壁")),
                    line(0, 0, 90, 90, 0x00FF00, 0, sj("窓"))};
    want.lines2F = {line(1, 2, 3, 4, 0x00FF00, 0, "x")};
    compareModels(m, want);
    QCOMPARE(host.areaBox(AreaBox::F3), QStringLiteral("    0.00"));
    QCOMPARE(host.areaBox(AreaBox::Total), QStringLiteral("   92.75"));
    QCOMPARE(host.areaBox(AreaBox::Ken), QStringLiteral("    6.00"));
}

// Kind 3 built from its lines 2 to 11; `list1` is line 8 with count `c1` on line 6.
static QByteArray kind3(const QByteArray& grid, const QByteArray& c1, const QByteArray& list1,
                        const QByteArray& c2 = "0", const QByteArray& list2 = "a,b,1,2,3,4,t") {
    return "\"$heder2\"\r\n,1,2,3\r\n\r\n" + grid + "\r\n\r\n" + c1 + "\r\n\r\n" + list1 + "\r\n" +
           c2 + "\r\n\r\n" + list2 + "\r\n";
}

void TestReaders::kind3Fields_data() {
    QTest::addColumn<QByteArray>("list1");
    QTest::addColumn<int>("count");
    QTest::addColumn<QList<int>>("coords"); // x1 y1 x2 y2 per line
    QTest::addColumn<QByteArrayList>("texts");
    QTest::newRow("div 10 toward zero")
        << QByteArray("-15,15,-9,19,t") << 0 << QList<int>{-1, 1, 0, 1} << QByteArrayList{"t"};
    QTest::newRow("quotes removed, quoted comma splits")
        << QByteArray("\"10\",\"\"20,\"30,40\"\"\",t\"\"") << 0 << QList<int>{1, 2, 3, 4}
        << QByteArrayList{"t"};
    QTest::newRow("missing text while the line is long enough")
        << QByteArray("10,20,30,40") << 0 << QList<int>{1, 2, 3, 4} << QByteArrayList{""};
    QTest::newRow("spaces before numbers") << QByteArray("  10,  20,30,40,t t ") << 0
                                           << QList<int>{1, 2, 3, 4} << QByteArrayList{"t t "};
    QTest::newRow("hexadecimal and signs") << QByteArray("$64,-0x64,x1F4,+10,") << 0
                                           << QList<int>{10, -10, 50, 1} << QByteArrayList{""};
    QTest::newRow("two groups") << QByteArray("10,20,30,40,a,50,60,70,80,b") << 1
                                << QList<int>{1, 2, 3, 4, 5, 6, 7, 8} << QByteArrayList{"a", "b"};
}

void TestReaders::kind3Fields() {
    QFETCH(QByteArray, list1);
    QFETCH(int, count);
    QFETCH(QList<int>, coords);
    QFETCH(QByteArrayList, texts);
    const QByteArray bytes = kind3("0,0,0.45,0.45", QByteArray::number(count), list1);
    DrawingModel m;
    RecordingDrawingHost host;
    QCOMPARE(readDrawingData(m, host, bytes.constData(), size_t(bytes.size())), ReadResult::Ok);
    QCOMPARE(m.lines1F.size(), size_t(texts.size()));
    for (qsizetype i = 0; i < texts.size(); ++i) {
        QCOMPARE(m.lines1F[size_t(i)], line(coords[4 * i], coords[4 * i + 1], coords[4 * i + 2],
                                            coords[4 * i + 3], 0x00FF00, 0, texts[i]));
    }
    QCOMPARE(m.lines2F, (LineList{line(0, 0, 0, 0, 0x00FF00, 0, "t")}));
}

void TestReaders::kind3Counts_data() {
    QTest::addColumn<QByteArray>("c1");
    QTest::addColumn<QByteArray>("c2");
    QTest::addColumn<int>("lines1");
    QTest::addColumn<int>("lines2");
    QTest::newRow("in range") << QByteArray("0") << QByteArray("0") << 1 << 1;
    QTest::newRow("negative counts") << QByteArray("-1") << QByteArray(" -5") << 0 << 0;
    QTest::newRow("low 16 bits: 65536 is 0")
        << QByteArray("65536") << QByteArray("65536") << 1 << 1;
    QTest::newRow("low 16 bits: 65535 is -1")
        << QByteArray("\"65535\"") << QByteArray("$FFFF") << 0 << 0;
    QTest::newRow("2F bound 32765 passes the list over")
        << QByteArray("0") << QByteArray("32766") << 1 << 0;
}

void TestReaders::kind3Counts() {
    QFETCH(QByteArray, c1);
    QFETCH(QByteArray, c2);
    QFETCH(int, lines1);
    QFETCH(int, lines2);
    const QByteArray bytes = kind3("0,0,0.45,0.45", c1, "1,2,3,4,a", c2, "a,b,10,20,30,40,x");
    DrawingModel m;
    RecordingDrawingHost host;
    readDrawingData(m, host, bytes.constData(), size_t(bytes.size()));
    QCOMPARE(int(m.lines1F.size()), lines1);
    QCOMPARE(int(m.lines2F.size()), lines2);
    if (lines2) QCOMPARE(m.lines2F[0], line(1, 2, 3, 4, 0x00FF00, 0, "x"));
}

void TestReaders::fileErrors_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("text");
    const QByteArray basic = dataBytes("basic_lf.hbd");
    auto replaced = [&](const char* from, const char* to) {
        QByteArray b = basic;
        return b.replace(b.indexOf(from), qsizetype(strlen(from)), to);
    };
    const QString notNumber = QStringLiteral("入力値が数値ではありません");
    QTest::newRow("word for an integer") << replaced("100\n", "abc\n") << "io" << notNumber;
    QTest::newRow("real for an integer") << replaced("100\n", "100.0\n") << "io" << notNumber;
    QTest::newRow("integer past 32 bits") << replaced("100\n", "2147483648\n") << "io" << notNumber;
    QTest::newRow("hex past 32 bits") << replaced("100\n", "$80000000\n") << "io" << notNumber;
    QTest::newRow("decimal comma") << replaced("45.5\n", "45,5\n") << "io" << notNumber;
    QTest::newRow("control byte before a number")
        << replaced("100\n", "\v100\n") << "io" << notNumber;
    QTest::newRow("kind 3 integer field") << kind3("12a,0,0.45,0.45", "0", "1,2,3,4,t") << "convert"
                                          << QStringLiteral("'12a' は整数ではありません");
    QTest::newRow("kind 3 integer with trailing space")
        << kind3("12 ,0,0.45,0.45", "0", "1,2,3,4,t") << "convert"
        << QStringLiteral("'12 ' は整数ではありません");
    QTest::newRow("kind 3 real field") << kind3(sj("0,0,０.5,0.45"), "0", "1,2,3,4,t") << "convert"
                                       << QStringLiteral("'０.5' は浮動小数点数ではありません");
    QTest::newRow("kind 3 count line") << kind3("0,0,0.45,0.45", "\"1\" x", "1,2,3,4,t")
                                       << "convert" << QStringLiteral("'1 x' は整数ではありません");
    QTest::newRow("kind 3 field past the list")
        << kind3("0,0,0.45,0.45", "1", "1,2,3,4") << "list"
        << QStringLiteral("リストのインデックスが範囲を超えています (5)");
    QTest::newRow("kind 3 line without a comma")
        << kind3("100", "0", "1,2,3,4,t") << "list"
        << QStringLiteral("リストのインデックスが範囲を超えています (0)");
    QTest::newRow("kind 3 file ending early")
        << QByteArray("\"$heder\"\n,1,2,3\n") << "list"
        << QStringLiteral("リストのインデックスが範囲を超えています (0)");
}

void TestReaders::fileErrors() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, kind);
    QFETCH(QString, text);
    DrawingModel m;
    RecordingDrawingHost host;
    auto read = [&] { readDrawingData(m, host, bytes.constData(), size_t(bytes.size())); };
    if (kind == QLatin1String("io"))
        expectError<EInOutError>(read, text);
    else if (kind == QLatin1String("convert"))
        expectError<EConvertError>(read, text);
    else
        expectError<EListError>(read, text);
    QCOMPARE(host.renderCount, 0);
}

void TestReaders::fileErrorLeavesModel() {
    // The second record of lines1F fails at its layer: lines1F keeps the first record, the
    // values read so far stay, later lists are empty, nothing is redrawn.
    QByteArray bytes = dataBytes("basic_lf.hbd");
    bytes.replace(bytes.indexOf("255\n1\n"), 6, "255\nz\n");
    DrawingModel m = previousModel();
    GaugeHost host;
    host.messagePanel = QStringLiteral("before");
    expectError<EInOutError>(
        [&] { readDrawingData(m, host, bytes.constData(), size_t(bytes.size())); },
        QStringLiteral("入力値が数値ではありません"));
    DrawingModel want = basicModel();
    want.lines1F.resize(1);
    want.lines3F.clear();
    want.extraLines1F.clear();
    want.boxes1F.clear();
    want.boxes3F.clear();
    compareModels(m, want);
    QCOMPARE(host.areaBox(AreaBox::Total), QStringLiteral("   92.75"));
    QVERIFY(host.gauges.isEmpty());
    QCOMPARE(host.messagePanel, QStringLiteral("before"));
    QCOMPARE(host.renderCount, 0);

    // A bad pitch keeps the pitch it had; the origins read before it stay.
    QByteArray bad = dataBytes("basic_lf.hbd");
    bad.replace(bad.indexOf("30.25\n"), 6, "30.2.5\n");
    DrawingModel p = previousModel();
    expectError<EInOutError>([&] { readDrawingData(p, host, bad.constData(), size_t(bad.size())); },
                             QStringLiteral("入力値が数値ではありません"));
    QCOMPARE(p.gridPitchX, 45.5);
    QCOMPARE(p.gridPitchY, 99.0);
    QCOMPARE(p.gridOriginX, 100);
}

void TestReaders::openErrors() {
    QTemporaryDir dir;
    DrawingModel m = previousModel();
    RecordingDrawingHost host;
    auto readPath = [&](const QString& p) {
        return [&m, &host, p] { readDrawingFile(m, host, p); };
    };
    expectError<EInOutError>(readPath(dir.filePath("none.hbd")),
                             QStringLiteral("ファイルが見つかりません"));
    QVERIFY(m.lines1F.empty() && m.boxes3F.empty()); // emptied before the open
    expectError<EInOutError>(readPath(dir.filePath("nofolder/none.hbd")),
                             QStringLiteral("ファイル名の指定が間違っています"));
    expectError<EInOutError>(readPath(dir.path()),
                             QStringLiteral("ファイルへのアクセスが拒否されました"));
    if (geteuid() != 0) {
        const QString locked = dir.filePath("locked.hbd");
        QFile::copy(dataPath("basic_lf.hbd"), locked);
        QFile::setPermissions(locked, QFileDevice::Permissions());
        expectError<EInOutError>(readPath(locked),
                                 QStringLiteral("ファイルへのアクセスが拒否されました"));
    }
    QCOMPARE(host.renderCount, 0);
}

void TestReaders::splitLines_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArrayList>("lines");
    QTest::newRow("empty") << QByteArray() << QByteArrayList{};
    QTest::newRow("CR LF, LF, CR")
        << QByteArray("a\r\nb\nc\rd") << QByteArrayList{"a", "b", "c", "d"};
    QTest::newRow("final line end adds nothing") << QByteArray("a\r\n") << QByteArrayList{"a"};
    QTest::newRow("LF CR is two ends")
        << QByteArray("a\n\rb\n\r") << QByteArrayList{"a", "", "b", ""};
    QTest::newRow("only a line end") << QByteArray("\r\n") << QByteArrayList{""};
    QTest::newRow("NUL ends the text") << QByteArray("a\nb\0c\nd", 7) << QByteArrayList{"a", "b"};
    QTest::newRow("first byte NUL") << QByteArray("\0a\n", 3) << QByteArrayList{};
    QTest::newRow("nothing trimmed") << QByteArray(" 1 \t\n") << QByteArrayList{" 1 \t"};
}

void TestReaders::splitLines() {
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArrayList, lines);
    QCOMPARE(splitStoredLines(bytes), lines);
}

void TestReaders::storedRefusals() {
    // Kind 3: the message box, the previous drawing stays with its grid origin reset.
    for (const char* file : {"kind3.had", "refused_space.hbd"}) {
        DrawingModel m = previousModel();
        m.gridOriginX = 55;
        RecordingDrawingHost host;
        const bool old = QByteArray(file) == "kind3.had";
        QCOMPARE(readStoredDrawing(m, host, splitStoredLines(dataBytes(file))),
                 ReadResult::Refused);
        QCOMPARE(host.messages,
                 old ? QStringList{QStringLiteral("旧家屋図面です。")} : QStringList{});
        compareModels(m, previousModel());
        QCOMPARE(host.renderCount, 1);
        QCOMPARE(host.messagePanel, QStringLiteral("切替え"));
    }
}

void TestReaders::storedErrors_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("text");
    const QByteArray basic = dataBytes("basic_crlf.hbd");
    auto replaced = [&](const char* from, const char* to) {
        QByteArray b = basic;
        return b.replace(b.indexOf(from), qsizetype(strlen(from)), to);
    };
    QTest::newRow("trailing space on an integer") << replaced("100\r\n", "100 \r\n") << "convert"
                                                  << QStringLiteral("'100 ' は整数ではありません");
    QTest::newRow("words after an integer") << replaced("200\r\n", "200 words\r\n") << "convert"
                                            << QStringLiteral("'200 words' は整数ではありません");
    QTest::newRow("empty number line") << replaced("100\r\n", "\r\n100\r\n") << "convert"
                                       << QStringLiteral("'' は整数ではありません");
    QTest::newRow("integer past 32 bits") << replaced("100\r\n", "-2147483649\r\n") << "convert"
                                          << QStringLiteral("'-2147483649' は整数ではありません");
    QTest::newRow("tab before an integer") << replaced("100\r\n", "\t100\r\n") << "convert"
                                           << QStringLiteral("'\t100' は整数ではありません");
    QTest::newRow("bad real") << replaced("45.5\r\n", "45.5x\r\n") << "convert"
                              << QStringLiteral("'45.5x' は浮動小数点数ではありません");
    QTest::newRow("first byte 0") << QByteArray("\0$headerpas\r\n", 13) << "list"
                                  << QStringLiteral("リストのインデックスが範囲を超えています (0)");
    QByteArray cut = basic;
    cut.insert(cut.indexOf("1F\r\n1\r\n0\r\n0") + 12, '\0'); // after y1 of lines1F
    QTest::newRow("NUL inside a section")
        << cut << "list" << QStringLiteral("リストのインデックスが範囲を超えています (18)");
    QTest::newRow("ends inside the areas")
        << basic.left(basic.indexOf("0\r\n6.0")) << "list"
        << QStringLiteral("リストのインデックスが範囲を超えています (12)");
}

void TestReaders::storedErrors() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, kind);
    QFETCH(QString, text);
    DrawingModel m;
    RecordingDrawingHost host;
    auto read = [&] { readStoredDrawing(m, host, splitStoredLines(bytes)); };
    if (kind == QLatin1String("convert"))
        expectError<EConvertError>(read, text);
    else
        expectError<EListError>(read, text);
    QCOMPARE(host.renderCount, 0);
    // The file reader takes what the stored reader refuses about blanks and trailing words.
    if (kind == QLatin1String("convert") && !text.contains(QLatin1String("2147483649")) &&
        !text.contains(QLatin1String("45.5x"))) {
        DrawingModel f;
        QCOMPARE(readDrawingData(f, host, bytes.constData(), size_t(bytes.size())), ReadResult::Ok);
        QCOMPARE(f.lines1F, basicModel().lines1F);
    }
}

void TestReaders::storedErrorLeavesMixedModel() {
    // lines2F's count fails: lines1F new, lines2F emptied, every later list still old.
    QByteArray bytes = dataBytes("basic_crlf.hbd");
    bytes.replace(bytes.indexOf("2F\r\n-1"), 7, "2F\r\n-1x");
    DrawingModel m = previousModel();
    GaugeHost host;
    expectError<EConvertError>([&] { readStoredDrawing(m, host, splitStoredLines(bytes)); },
                               QStringLiteral("'-1x' は整数ではありません"));
    DrawingModel want = basicModel();
    const DrawingModel old = previousModel();
    want.lines3F = old.lines3F;
    want.extraLines1F = old.extraLines1F;
    want.boxes1F = old.boxes1F;
    want.boxes2F = old.boxes2F;
    want.boxes3F = old.boxes3F;
    compareModels(m, want);
    QCOMPARE(host.gauges, QList<int>{30});
    QCOMPARE(host.renderCount, 0);
}

void TestReaders::storedMissingLastBoxSection() {
    const QList<QByteArray> all = splitStoredLines(dataBytes("basic_crlf.hbd"));
    const qsizetype box3 = all.indexOf("box3");
    QVERIFY(box3 > 0);
    // Ends right after the last box record: reads completely.
    DrawingModel full = previousModel();
    RecordingDrawingHost host;
    QCOMPARE(readStoredDrawing(full, host, all.mid(0, box3 + 7)), ReadResult::Ok);
    compareModels(full, basicModel());
    // Ends just before the last box section: the error names the index of its count.
    DrawingModel m = previousModel();
    expectError<EListError>(
        [&] { readStoredDrawing(m, host, all.mid(0, box3)); },
        QStringLiteral("リストのインデックスが範囲を超えています (%1)").arg(box3 + 1));
    DrawingModel want = basicModel();
    want.boxes3F.clear();
    compareModels(m, want);
}

QTEST_GUILESS_MAIN(TestReaders)
#include "test_readers.moc"

void TestReaders::blockBoundaries_data() {
    QTest::addColumn<QByteArray>("bytes");
    for (const char* f : {"basic_crlf.hbd", "spaced_numbers.hbd", "kind3.had",
                          "ends_after_areas.hbd", "refused_space.hbd"})
        QTest::newRow(f) << dataBytes(f);
    QByteArray bad = dataBytes("basic_crlf.hbd");
    QTest::newRow("error") << bad.replace("45.5", "4x5.5");
    QByteArray cut = dataBytes("basic_lf.hbd");
    QTest::newRow("byte 26") << cut.insert(cut.indexOf("box1"), "\x1a");
}

void TestReaders::blockBoundaries() {
    // Read from a file in tiny blocks, every run and line crosses a block boundary; the
    // result must be that of the bytes read from memory.
    QFETCH(QByteArray, bytes);
    QTemporaryDir dir;
    const QString path = dir.filePath("d.hbd");
    QFile out(path);
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write(bytes);
    out.close();
    const Outcome want = outcome([&](DrawingModel& m, DrawingHost& h) {
        return readDrawingData(m, h, bytes.constData(), size_t(bytes.size()));
    });
    for (size_t block : {1, 2, 3, 7, 64}) {
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
        QVERIFY(fd >= 0);
        const Outcome got = outcome([&](DrawingModel& m, DrawingHost& h) {
            readerdetail::FileText f(fd, block);
            return readerdetail::readDrawingText(m, h, f);
        });
        ::close(fd);
        compareOutcomes(got, want);
    }
}

void TestReaders::largeFile() {
    // Several megabytes with a text line longer than a read block: the file, the same bytes
    // in memory, and the stored forms read the same drawing.
    QByteArray bytes = dataBytes("ends_after_areas.hbd");
    const int records = 120000;
    bytes += "1F\r\n" + QByteArray::number(records - 1) + "\r\n";
    for (int i = 0; i < records; ++i) {
        const QByteArray n = QByteArray::number(i);
        bytes += n + "\r\n" + n + "\r\n-" + n + "\r\n$" + QByteArray::number(i, 16) +
                 "\r\n255\r\n" + QByteArray::number(i % 3) + "\r\n";
        bytes += (i == 777 ? QByteArray(3 << 20, 'w') : "t" + n) + "\r\n";
    }
    QTemporaryDir dir;
    const QString path = dir.filePath("large.hbd");
    QFile out(path);
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write(bytes);
    out.close();
    const Outcome fromFile =
        outcome([&](DrawingModel& m, DrawingHost& h) { return readDrawingFile(m, h, path); });
    QCOMPARE(fromFile.result, QStringLiteral("ok"));
    QCOMPARE(fromFile.model.lines1F.size(), size_t(records));
    QCOMPARE(fromFile.model.lines1F[99999], line(99999, 99999, -99999, 99999, 255, 0, "t99999"));
    QCOMPARE(fromFile.model.lines1F[777].text.size(), qsizetype(3 << 20));
    QCOMPARE(fromFile.model.lines2F, LineList(1)); // the file has ended
    compareOutcomes(outcome([&](DrawingModel& m, DrawingHost& h) {
                        return readDrawingData(m, h, bytes.constData(), size_t(bytes.size()));
                    }),
                    fromFile);
    // Stored, the drawing lacks its later sections: both stored forms fail alike.
    const Outcome stored = outcome([&](DrawingModel& m, DrawingHost& h) {
        return readStoredDrawing(m, h, splitStoredLines(bytes));
    });
    QCOMPARE(
        stored.result,
        QStringLiteral("リストのインデックスが範囲を超えています (%1)").arg(16 + 7 * records + 1));
    QCOMPARE(stored.model.lines1F, fromFile.model.lines1F);
    compareOutcomes(
        outcome([&](DrawingModel& m, DrawingHost& h) { return readStoredBytes(m, h, bytes); }),
        stored);
}
