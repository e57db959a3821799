// The drawing readers through the command: `plan dump` over the drawing files of the
// reader tests, read as files and as stored drawings, one read after another on one model.

#include "cli_run.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

namespace {

QString drawing(const char* name) {
    return QStringLiteral(TOVERA_TEST_DATA "/drawings/") + QLatin1String(name);
}

// Runs `tovera-cli plan dump` with `sources` and returns its JSON (empty on failure).
QJsonObject dump(const QStringList& sources) {
    const Run run = cli(QStringList{QStringLiteral("plan"), QStringLiteral("dump")} + sources);
    if (run.status != 0) return {};
    return QJsonDocument::fromJson(run.bytes).object();
}

QJsonObject step(const QJsonObject& d, int k) {
    return d[QStringLiteral("steps")][k].toObject();
}

} // namespace

class TestPlanReaders : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() {
        if (!QFile::exists(QStringLiteral(TOVERA_BIN_DIR "/tovera-cli")))
            QSKIP("tovera-cli is not built");
    }

    void fileAndStoredAgree_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("CR LF") << "basic_crlf.hbd";
        QTest::newRow("LF") << "basic_lf.hbd";
        QTest::newRow("kind 2") << "basic_kind2.hbd";
    }

    void fileAndStoredAgree() {
        QFETCH(QString, name);
        const QString path = drawing(name.toLatin1().constData());
        const QJsonObject file = dump({QStringLiteral("--file"), path});
        const QJsonObject stored = dump({QStringLiteral("--stored"), path});
        QCOMPARE(step(file, 0)[QStringLiteral("result")].toString(), QStringLiteral("ok"));
        QCOMPARE(step(stored, 0)[QStringLiteral("result")].toString(), QStringLiteral("ok"));
        QCOMPARE(file[QStringLiteral("model")], stored[QStringLiteral("model")]);
        QCOMPARE(file[QStringLiteral("areaBoxes")], stored[QStringLiteral("areaBoxes")]);
        const QJsonObject model = file[QStringLiteral("model")].toObject();
        QCOMPARE(model[QStringLiteral("lines1F")][0][QStringLiteral("text")].toString(),
                 QStringLiteral("壁"));
        QCOMPARE(model[QStringLiteral("boxes1F")][1][QStringLiteral("color")].toInt(), 0x1F);
        QCOMPARE(file[QStringLiteral("messagePanel")].toString(), QStringLiteral("切替え"));
    }

    void storedKind3KeepsTheDrawing() {
        // A file read, then the old kind stored: refused with its message, the drawing of
        // the file stays.
        const QJsonObject d = dump({QStringLiteral("--file"), drawing("basic_lf.hbd"),
                                    QStringLiteral("--stored"), drawing("kind3.had")});
        const QJsonObject refused = step(d, 1);
        QCOMPARE(refused[QStringLiteral("result")].toString(), QStringLiteral("refused"));
        QCOMPARE(refused[QStringLiteral("messages")].toArray(),
                 QJsonArray{QStringLiteral("旧家屋図面です。")});
        const QJsonObject model = d[QStringLiteral("model")].toObject();
        QCOMPARE(model[QStringLiteral("homeOriginX")].toInt(), 100);
        QCOMPARE(model[QStringLiteral("lines1F")].toArray().size(), 2);
        QCOMPARE(d[QStringLiteral("messagePanel")].toString(), QStringLiteral("切替え"));
    }

    void storedErrorAfterFile() {
        // The stored reader's stricter lines: a trailing space fails where the file reader
        // reads; the model keeps the earlier file's lists past the failing section.
        QTemporaryDir dir;
        QFile in(drawing("basic_crlf.hbd"));
        QVERIFY(in.open(QIODevice::ReadOnly));
        QByteArray bytes = in.readAll();
        bytes.replace("2F\r\n-1\r\n", "2F\r\n-1 \r\n");
        const QString path = dir.filePath("spaced.hbd");
        QFile out(path);
        QVERIFY(out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size());
        out.close();
        const QJsonObject d = dump({QStringLiteral("--file"), drawing("kind3.had"),
                                    QStringLiteral("--file"), path, QStringLiteral("--file"),
                                    drawing("kind3.had"), QStringLiteral("--stored"), path});
        QCOMPARE(step(d, 1)[QStringLiteral("result")].toString(), QStringLiteral("ok"));
        const QJsonObject failed = step(d, 3);
        QCOMPARE(failed[QStringLiteral("result")].toString(), QStringLiteral("error"));
        QCOMPARE(failed[QStringLiteral("error")].toString(),
                 QStringLiteral("'-1 ' は整数ではありません"));
        const QJsonObject model = d[QStringLiteral("model")].toObject();
        QCOMPARE(model[QStringLiteral("lines1F")].toArray().size(), 2); // new
        QCOMPARE(model[QStringLiteral("lines1F")][0][QStringLiteral("color")].toInt(), 255);
        QCOMPARE(model[QStringLiteral("lines2F")].toArray().size(), 0); // emptied
        QCOMPARE(d[QStringLiteral("gauge")].toInt(), 30);
    }
};

QTEST_GUILESS_MAIN(TestPlanReaders)
#include "test_plan_readers.moc"
