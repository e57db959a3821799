#include "drawing/comma_locale.h"

#include "cli_run.h"

#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// A drawing of the first header kind with one line on floor 1 (text: a quote, a
// backslash and 図面) and one box on floor 2.
QByteArray smallDrawing() {
    return QByteArray("$headerpas\r\n20\r\n30\r\n0\r\n0\r\n0\r\n0\r\n40.5\r\n45\r\nx\r\n"
                      "120.5\r\n30\r\n0\r\n1.82\r\n"
                      "L1\r\n0\r\n-3\r\n4\r\n9\r\n4\r\n255\r\n0\r\n\"\\\x90\x7d\x96\xca\r\n"
                      "L2\r\n-1\r\nL3\r\n-1\r\nE\r\n-1\r\n"
                      "B1\r\n-1\r\nB2\r\n0\r\n200\r\n200\r\n260\r\n240\r\n16711680\r\n"
                      "B3\r\n-1\r\n");
}

} // namespace

class TestPlanCli : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() {
        if (!QFile::exists(QStringLiteral(TOVERA_BIN_DIR "/tovera-cli")))
            QSKIP("tovera-cli is not built");
    }

    void usageErrors_data() {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("plan alone") << QStringList{"plan"};
        QTest::newRow("unknown subcommand") << QStringList{"plan", "show"};
        QTest::newRow("file without path") << QStringList{"plan", "dump", "--file"};
        QTest::newRow("unknown option") << QStringList{"plan", "dump", "--stored", "a", "-x"};
        QTest::newRow("render option on dump") << QStringList{"plan", "dump", "--zoom", "2"};
        QTest::newRow("render without output") << QStringList{"plan", "render"};
        QTest::newRow("floor not a number")
            << QStringList{"plan", "render", "--floor", "two", "-o", "a.png"};
        QTest::newRow("zoom not a number")
            << QStringList{"plan", "render", "--zoom", "1,5", "-o", "a.png"};
        QTest::newRow("match one argument") << QStringList{"match", "a"};
        QTest::newRow("match three arguments") << QStringList{"match", "a", "b", "c"};
    }
    void usageErrors() {
        QFETCH(QStringList, args);
        const Run run = cli(args);
        QCOMPARE(run.status, 2);
        QVERIFY(run.bytes.isEmpty());
        QVERIFY(!run.err.trimmed().isEmpty());
    }

    void dumpStartupModel() {
        const Run run = cli({"plan", "dump"});
        QCOMPARE(run.status, 0);
        QJsonParseError error;
        const QJsonDocument doc = QJsonDocument::fromJson(run.bytes, &error);
        QCOMPARE(error.error, QJsonParseError::NoError);
        const QJsonObject top = doc.object();
        QCOMPARE(top.value("steps").toArray().size(), 0);
        QCOMPARE(top.value("gauge").toInt(-1), 0);
        QCOMPARE(top.value("messagePanel").toString("x"), QString());
        const QJsonObject boxes = top.value("areaBoxes").toObject();
        for (const char* key : {"F1", "F2", "F3", "total", "ken"}) {
            QVERIFY(boxes.value(key).isString());
            QCOMPARE(boxes.value(key).toString(), QString());
        }
        const QJsonObject model = top.value("model").toObject();
        for (const char* key : {"homeOriginX", "homeOriginY", "gridOriginX", "gridOriginY"})
            QCOMPARE(model.value(key).toInt(), 10);
        QCOMPARE(model.value("gridPitchX").toDouble(), 45.0);
        QCOMPARE(model.value("gridPitchY").toDouble(), 45.0);
        for (const char* key : {"areaF1", "areaF2", "areaF3", "kenLength"})
            QCOMPARE(model.value(key).toDouble(-1), 0.0);
        QCOMPARE(model.value("zoom").toDouble(), 0.5);
        QCOMPARE(model.value("currentFloor").toInt(), 1);
        for (const char* key :
             {"lines1F", "lines2F", "lines3F", "extraLines1F", "boxes1F", "boxes2F", "boxes3F"}) {
            QVERIFY(model.value(key).isArray());
            QCOMPARE(model.value(key).toArray().size(), 0);
        }
        // Keys come in the documented order.
        const QList<QByteArray> order = {"\"steps\"",        "\"gauge\"",  "\"messagePanel\"",
                                         "\"areaBoxes\"",    "\"model\"",  "\"homeOriginX\"",
                                         "\"gridPitchX\"",   "\"zoom\"",   "\"lines1F\"",
                                         "\"extraLines1F\"", "\"boxes3F\""};
        qsizetype at = -1;
        for (const QByteArray& key : order) {
            const qsizetype next = run.bytes.indexOf(key);
            QVERIFY2(next > at, key.constData());
            at = next;
        }
    }

    void dumpStepsInOrder() {
        QTemporaryDir dir;
        const QString drawing = dir.filePath("a.hbd");
        const QString other = dir.filePath("other.txt");
        QVERIFY(writeFile(drawing, smallDrawing()));
        QVERIFY(writeFile(other, "hello\r\n"));
        const Run run = cli({"plan", "dump", "--file", drawing, "--file", other, "--file",
                             dir.filePath("missing.hbd"), "--stored", drawing});
        QCOMPARE(run.status, 0);
        const QJsonObject top = QJsonDocument::fromJson(run.bytes).object();
        const QJsonArray steps = top.value("steps").toArray();
        QCOMPARE(steps.size(), 4);
        const QStringList readers = {"file", "file", "file", "stored"};
        const QStringList results = {"ok", "refused", "error", "ok"};
        for (int k = 0; k < 4; ++k) {
            const QJsonObject step = steps[k].toObject();
            QCOMPARE(step.value("reader").toString(), readers[k]);
            QCOMPARE(step.value("result").toString(), results[k]);
            QCOMPARE(step.value("error").isNull(), k != 2);
        }
        QCOMPARE(steps[0].toObject().value("path").toString(), drawing);
        QCOMPARE(steps[1].toObject().value("messages").toArray().size(), 1);
        QCOMPARE(steps[2].toObject().value("error").toString(),
                 QStringLiteral("ファイルが見つかりません"));
        // The stored read left the drawing in the model; text decoded and escaped.
        const QJsonObject model = top.value("model").toObject();
        const QJsonArray lines = model.value("lines1F").toArray();
        QCOMPARE(lines.size(), 1);
        const QJsonObject line = lines[0].toObject();
        QCOMPARE(line.value("x1").toInt(), -3);
        QCOMPARE(line.value("color").toInt(), 255);
        QCOMPARE(line.value("text").toString(), QStringLiteral("\"\\図面"));
        const QJsonObject box = model.value("boxes2F").toArray()[0].toObject();
        QCOMPARE(box.value("color").toInteger(), 16711680);
        QCOMPARE(model.value("gridPitchX").toDouble(), 40.5);
    }

    void dumpUnderCommaLocale() {
        // The user's locale writes a decimal comma; the area boxes keep their ".".
        QTemporaryDir dir;
        const QString why = tovera::testing::prepareCommaLocale(dir.path());
        QVERIFY2(why.isEmpty(), qPrintable(why));
        const QString drawing = dir.filePath("a.hbd");
        QVERIFY(writeFile(drawing, smallDrawing()));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("LC_ALL"), QString::fromLatin1(tovera::testing::CommaLocaleName));
        env.insert(QStringLiteral("LANG"), QString::fromLatin1(tovera::testing::CommaLocaleName));
        const Run run = cli({"plan", "dump", "--file", drawing}, env);
        QCOMPARE(run.status, 0);
        const QJsonObject boxes =
            QJsonDocument::fromJson(run.bytes).object().value("areaBoxes").toObject();
        QCOMPARE(boxes.value("F1").toString(), QStringLiteral("  120.50"));
        QCOMPARE(boxes.value("F2").toString(), QStringLiteral("   30.00"));
        QCOMPARE(boxes.value("F3").toString(), QStringLiteral("    0.00"));
        QCOMPARE(boxes.value("ken").toString(), QStringLiteral("    1.82"));
        QCOMPARE(boxes.value("total").toString(), QStringLiteral("  150.50"));
        const QJsonObject model =
            QJsonDocument::fromJson(run.bytes).object().value("model").toObject();
        QCOMPARE(model.value("kenLength").toDouble(), 1.82);
    }

    void dumpMissingStoredFile() {
        const Run run = cli({"plan", "dump", "--stored", "/no/such/folder/zumen.bin"});
        QCOMPARE(run.status, 1);
        QVERIFY(run.bytes.isEmpty());
        QVERIFY(run.err.contains("zumen.bin"));
    }

    void renderFrame_data() {
        QTest::addColumn<QStringList>("extra");
        QTest::addColumn<int>("greenColumn"); // a green vertical grid line
        QTest::addColumn<int>("whiteColumn");
        QTest::newRow("start-up") << QStringList() << 27 << 28;
        QTest::newRow("zoom 2") << QStringList{"--zoom", "2"} << 110 << 27;
        QTest::newRow("floor 7, background only and grid")
            << QStringList{"--floor", "7"} << 50 << 51;
    }
    void renderFrame() {
        QFETCH(QStringList, extra);
        QFETCH(int, greenColumn);
        QFETCH(int, whiteColumn);
        QTemporaryDir dir;
        const QString out = dir.filePath("frame.png");
        const Run run = cli(QStringList{"plan", "render", "-o", out} + extra);
        QCOMPARE(run.status, 0);
        QFile file(out);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray png = file.readAll();
        QVERIFY(png.startsWith("\x89PNG"));
        QCOMPARE(int(png[24]), 8); // 8 bits per sample
        QCOMPARE(int(png[25]), 2); // colour type 2: RGB, no alpha
        const QImage frame = QImage::fromData(png, "PNG");
        QCOMPARE(frame.size(), QSize(590, 410));
        QCOMPARE(frame.pixel(greenColumn, 300), qRgb(0, 255, 0));
        QCOMPARE(frame.pixel(whiteColumn, 301), qRgb(255, 255, 255));
    }

    void renderDrawingLines() {
        QTemporaryDir dir;
        const QString drawing = dir.filePath("a.hbd");
        QVERIFY(writeFile(drawing, smallDrawing()));
        const QString out = dir.filePath("f.png");
        QCOMPARE(cli({"plan", "render", "--stored", drawing, "-o", out}).status, 0);
        QImage frame(out);
        QCOMPARE(frame.pixel(4, 2), qRgb(255, 0, 0)); // (-3,4)-(9,4) at zoom 0.5
        QCOMPARE(frame.pixel(5, 2), qRgb(255, 255, 255));
        // Floor 2 shows the blue box (100,100)-(130,120), white inside.
        QCOMPARE(cli({"plan", "render", "--file", drawing, "--floor", "2", "-o", out}).status, 0);
        frame.load(out);
        QCOMPARE(frame.pixel(100, 110), qRgb(0, 0, 255));
        QCOMPARE(frame.pixel(115, 110), qRgb(255, 255, 255));
        QCOMPARE(frame.pixel(4, 2), qRgb(255, 255, 255));
    }

    void renderBackground() {
        QTemporaryDir dir;
        const QString out = dir.filePath("f.png");
        // A missing file is no background at all, as at start-up.
        const Run missing =
            cli({"plan", "render", "--background", dir.filePath("none.bmp"), "-o", out});
        QCOMPARE(missing.status, 0);
        QVERIFY(QFile::exists(out));
        // A file that is not a bitmap fails, and nothing is written.
        const QString text = dir.filePath("bad.bmp");
        const QString out2 = dir.filePath("g.png");
        QVERIFY(writeFile(text, "not a picture"));
        const Run bad = cli({"plan", "render", "--background", text, "-o", out2});
        QCOMPARE(bad.status, 1);
        QVERIFY(bad.err.contains(QStringLiteral("ビットマップイメージが不正です")));
        QVERIFY(!QFile::exists(out2));
        // A real bitmap shows through where the grid does not cover it.
        QImage picture(40, 30, QImage::Format_RGB32);
        picture.fill(qRgb(10, 20, 30));
        const QString bmp = dir.filePath("bg.bmp");
        QVERIFY(picture.save(bmp, "BMP"));
        QCOMPARE(cli({"plan", "render", "--background", bmp, "-o", out2}).status, 0);
        const QImage frame(out2);
        QCOMPARE(frame.pixel(1, 1), qRgb(10, 20, 30));
        QCOMPARE(frame.pixel(41, 31), qRgb(255, 255, 255));
    }

    void match_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QByteArray>("printed");
        QTest::newRow("hbd") << "C:\\data\\a.hbd"
                             << "*hbd*" << QByteArray("true\n");
        QTest::newRow("upper case") << "C:\\data\\A.HBD"
                                    << "*hbd*" << QByteArray("false\n");
        QTest::newRow("hhbd") << "C:\\x\\hhbd"
                              << "*hbd*" << QByteArray("false\n");
        QTest::newRow("kanji trail byte") << "栄bd"
                                          << "*hbd*" << QByteArray("true\n");
        QTest::newRow("empty name") << ""
                                    << "*xls*" << QByteArray("false\n");
    }
    void match() {
        QFETCH(QString, name);
        QFETCH(QString, pattern);
        QFETCH(QByteArray, printed);
        const Run run = cli({"match", name, pattern});
        QCOMPARE(run.status, 0);
        QCOMPARE(run.bytes, printed);
    }
};

QTEST_GUILESS_MAIN(TestPlanCli)
#include "test_plan_cli.moc"
