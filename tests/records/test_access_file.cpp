// Reading Access files through libmdb: every sample with its tables, the values of the
// synthetic sample against its expected list, long values, and the decoding of text and
// dates done by our own code.

#include "access_support.h"
#include "platform/errors.h"
#include "records/access_file.h"

#include <QFileInfo>
#include <QHash>
#include <QTest>
#include <cmath>

using namespace tovera;
using namespace tovera::test;

class TestAccessFile : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void samplesReadWithTheirTables_data();
    void samplesReadWithTheirTables();
    void accessMadeOleObjectKeepsItsWrapper();
    void syntheticSampleReadsAsExpected();
    void nullLongValueAfterAStoredOneStaysNull();
    void decodesText_data();
    void decodesText();
    void convertsDates_data();
    void convertsDates();
};

void TestAccessFile::initTestCase() {
    if (!QFileInfo::exists(sample("tovera_register_jet4.mdb")))
        QSKIP("the sample Access files are not present");
}

void TestAccessFile::samplesReadWithTheirTables_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("tables");
    QTest::addColumn<QString>("rows");
    QTest::newRow("register") << "tovera_register_jet4.mdb"
                              << "行政区 基本データ"
                              << "12 60";
    QTest::newRow("synthetic") << "synthetic_jp_jet4.mdb"
                               << "区分マスタ 基本データ"
                               << "3 6";
    QTest::newRow("unicode compression") << "testUnicodeCompV2003.mdb"
                                         << "Table"
                                         << "8";
    QTest::newRow("wide table") << "test2V2000.mdb"
                                << "MSP_PROJECTS"
                                << "1";
}
void TestAccessFile::samplesReadWithTheirTables() {
    QFETCH(QString, file);
    QFETCH(QString, tables);
    QFETCH(QString, rows);
    AccessFile f(samplesDir() + QLatin1Char('/') + file);
    QCOMPARE(f.versionText(), QStringLiteral("Jet 4"));
    QCOMPARE(f.tables().join(u' '), tables);
    QStringList counts;
    for (const QString& name : f.tables()) {
        auto t = f.openTable(name);
        QVERIFY(t);
        QList<QVariant> values;
        while (t->next(values)) QCOMPARE(values.size(), t->columns().size());
        QCOMPARE(t->rowsRead(), t->declaredRows());
        counts << QString::number(t->rowsRead());
    }
    QCOMPARE(counts.join(u' '), rows);
}
void TestAccessFile::accessMadeOleObjectKeepsItsWrapper() {
    // An object inserted through Access's forms carries Access's header (0x15 0x1C, then
    // the class name); the reader delivers the stored bytes as they are.
    AccessFile f(sample("test2V2000.mdb"));
    auto t = f.openTable(QStringLiteral("MSP_PROJECTS"));
    QVERIFY(t);
    int column = -1;
    for (int i = 0; i < t->columns().size(); ++i)
        if (t->columns()[i].name == QStringLiteral("RESERVED_BINARY_DATA")) column = i;
    QVERIFY(column >= 0);
    QList<QVariant> v;
    QVERIFY(t->next(v));
    const QByteArray bytes = v[column].toByteArray();
    QCOMPARE(bytes.size(), 22970);
    QVERIFY(bytes.startsWith("\x15\x1c"));
    QVERIFY(bytes.contains("Document"));
}
void TestAccessFile::syntheticSampleReadsAsExpected() {
    // Dates before 1899-12-30 and at its edge, a memo of 70 000 characters, 𠮷 outside
    // the basic plane, NULL and empty values of every kind.
    const Expected e = readExpected(sample("synthetic_jp_jet4.expected.tsv"));
    AccessFile f(sample("synthetic_jp_jet4.mdb"));
    auto t = f.openTable(QStringLiteral("基本データ"));
    QVERIFY(t);
    QHash<QString, int> at;
    for (int i = 0; i < t->columns().size(); ++i) at.insert(t->columns()[i].name, i);
    QList<QVariant> v;
    int r = 0;
    while (t->next(v)) {
        QCOMPARE(v[at[QStringLiteral("ID")]].toString(), e.field(r, QStringLiteral("ID")));
        for (const char* name : {"所有者氏名", "所有者フリガナ"}) {
            const QString col = QString::fromUtf8(name);
            const QString want = e.field(r, col);
            QCOMPARE(v[at[col]].isNull(), isNullText(want));
            if (!isNullText(want)) QCOMPARE(v[at[col]].toString(), want);
        }
        for (const char* name : {"登録日", "更新日時", "調査日"}) {
            const QString col = QString::fromUtf8(name);
            const QVariant d = v[at[col]];
            const QString got =
                d.isNull() ? QStringLiteral("NULL")
                           : d.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
            QCOMPARE(got, e.field(r, col));
        }
        const QVariant memo = v[at[QStringLiteral("備考")]];
        const QString chars = e.field(r, QStringLiteral("備考_chars"));
        QCOMPARE(memo.isNull(), isNullText(chars));
        if (!memo.isNull()) {
            QCOMPARE(QString::number(memo.toString().size()), chars);
            QCOMPARE(sha256(memo.toString().toUtf8()),
                     e.field(r, QStringLiteral("備考_sha256_utf8")));
        }
        for (const char* name : {"写真", "図面"}) {
            const QString col = QString::fromUtf8(name);
            const QVariant b = v[at[col]];
            const QString bytes = e.field(r, col + QStringLiteral("_bytes"));
            QCOMPARE(b.isNull(), isNullText(bytes));
            if (!b.isNull()) {
                QCOMPARE(QString::number(b.toByteArray().size()), bytes);
                QCOMPARE(sha256(b.toByteArray()), e.field(r, col + QStringLiteral("_sha256")));
            }
        }
        ++r;
    }
    QCOMPARE(r, e.rows.size());
}
void TestAccessFile::nullLongValueAfterAStoredOneStaysNull() {
    // No 3 holds a drawing and a sheet, No 4 neither: nothing of No 3 may show in No 4.
    AccessFile f(sample("tovera_register_jet4.mdb"));
    auto t = f.openTable(QStringLiteral("基本データ"));
    QVERIFY(t);
    int zumen = -1, excel = -1, no = -1, memo = -1;
    for (int i = 0; i < t->columns().size(); ++i) {
        const QString n = t->columns()[i].name;
        if (n == QStringLiteral("zumen")) zumen = i;
        if (n == QStringLiteral("excel")) excel = i;
        if (n == QStringLiteral("No")) no = i;
        if (n == QStringLiteral("備考")) memo = i;
    }
    QCOMPARE(t->columns()[zumen].kind, AccessKind::Ole);
    QCOMPARE(t->columns()[memo].kind, AccessKind::Memo);
    QList<QVariant> v;
    QVariant previousExcel;
    while (t->next(v)) {
        if (v[no].toInt() == 4) {
            QVERIFY(!previousExcel.isNull());
            QVERIFY(v[zumen].isNull());
            QVERIFY(v[excel].isNull());
        }
        previousExcel = v[excel];
    }
}
void TestAccessFile::decodesText_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("jet3");
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << QByteArray() << false << QString();
    QTest::newRow("utf-16") << QByteArray("\x71\x67\xac\x4e", 4) << false << QStringLiteral("東京");
    QTest::newRow("outside the basic plane")
        << QByteArray("\x42\xd8\xb7\xdf\x30\x75", 6) << false << QStringLiteral("𠮷田");
    QTest::newRow("compressed") << QByteArray("\xff\xfe"
                                              "abc\xe9",
                                              6)
                                << false << QStringLiteral("abcé");
    QTest::newRow("compressed, switching") << QByteArray("\xff\xfe"
                                                         "No\x00\x71\x67\x00"
                                                         "1",
                                                         9)
                                           << false << QStringLiteral("No東1");
    QTest::newRow("odd last byte")
        << QByteArray("\x71\x67\x6c", 3) << false << QStringLiteral("東");
    QTest::newRow("jet 3, code page 932")
        << QByteArray("\x8e\x52\x93\x63\xb1", 5) << true << QStringLiteral("山田ｱ");
}
void TestAccessFile::decodesText() {
    QFETCH(QByteArray, bytes);
    QFETCH(bool, jet3);
    QFETCH(QString, text);
    const QString got = decodeAccessText(bytes, jet3);
    QCOMPARE(got, text);
    QVERIFY(!got.isNull()); // empty text is not NULL
}
void TestAccessFile::convertsDates_data() {
    QTest::addColumn<double>("stored");
    QTest::addColumn<QString>("text");
    QTest::newRow("day zero") << 0.0 << "1899-12-30 00:00:00.000";
    QTest::newRow("day zero, afternoon") << 0.5729166666666666 << "1899-12-30 13:45:00.000";
    QTest::newRow("before day zero: the fraction is the time")
        << -1.25 << "1899-12-29 06:00:00.000";
    QTest::newRow("1850") << -18260.0 << "1850-01-01 00:00:00.000";
    QTest::newRow("the survey picker's time") << 36695.6673611111 << "2000-06-18 16:01:00.000";
    QTest::newRow("with milliseconds") << 36695.6673681713 << "2000-06-18 16:01:00.610";
    QTest::newRow("last day") << 2958465.0 << "9999-12-31 00:00:00.000";
    QTest::newRow("rounds to the next day") << 1.99999999999 << "1900-01-01 00:00:00.000";
    QTest::newRow("too late") << 2958466.0 << "";
    QTest::newRow("not a number") << std::nan("") << "";
}
void TestAccessFile::convertsDates() {
    QFETCH(double, stored);
    QFETCH(QString, text);
    const QDateTime d = accessDateTime(stored);
    QCOMPARE(d.isValid() ? d.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")) : QString(), text);
}
QTEST_GUILESS_MAIN(TestAccessFile)
#include "test_access_file.moc"
