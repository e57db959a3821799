// Importing an Access register into a store: the sample register against its expected
// values, the conversion of values the store cannot hold as they are, the reports, the
// refusals, and the export of the store as CSV.

#include "access_support.h"
#include "platform/errors.h"
#include "records/access_import.h"
#include "records/columns.h"
#include "records/provider.h"
#include "records/store_export.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>
#include <QUuid>

using namespace tovera;
using namespace tovera::test;

namespace {

// Reads all rows of a store's table in stored order.
QList<QVariantMap> readStore(const QString& path, const QString& table) {
    QList<QVariantMap> rows;
    const QString name = QUuid::createUuid().toString();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        if (!db.open()) return rows;
        QSqlQuery q(db);
        q.exec(QStringLiteral("SELECT * FROM \"%1\" ORDER BY rowid").arg(table));
        while (q.next()) {
            QVariantMap row;
            for (int i = 0; i < q.record().count(); ++i)
                row.insert(q.record().fieldName(i), q.value(i));
            rows << row;
        }
    }
    QSqlDatabase::removeDatabase(name);
    return rows;
}

QStringList filesIn(const QString& dir) {
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System);
}

} // namespace

class TestAccessImport : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void registerImportsAsExpected();
    void attachmentsAreTheSampleSheetsByteForByte();
    void convertsValues_data();
    void convertsValues();
    void refusesBadAccessFiles_data();
    void refusesBadAccessFiles();
    void neverOverwritesAStore();
    void unwritableStoreIsNamed();
    void missingTableIsNamed();
    void stoppedImportLeavesNothing();
    void reportsWhatItCannotTakeOver();
    void exportWritesCsv();
    void providerDoesNotOpenAnAccessFile();

private:
    QTemporaryDir tmp_;
    QString imported_; // the register imported once, shared by the checks
    ImportSummary summary_;
};

void TestAccessImport::initTestCase() {
    if (!QFileInfo::exists(sample("tovera_register_jet4.mdb")))
        QSKIP("the sample Access files are not present");
    QVERIFY(tmp_.isValid());
    imported_ = tmp_.filePath(QStringLiteral("register.store"));
    summary_ = importAccessRegister(sample("tovera_register_jet4.mdb"), imported_);
}
void TestAccessImport::registerImportsAsExpected() {
    const Expected e = readExpected(sample("tovera_register_jet4.expected.tsv"));
    QCOMPARE(e.rows.size(), 60);
    QCOMPARE(summary_.records, 60);
    QCOMPARE(summary_.districts, 12);
    QVERIFY2(summary_.warnings.isEmpty(), qPrintable(summary_.warnings.join(u'\n')));

    const QList<QVariantMap> rows = readStore(imported_, QStringLiteral("基本データ"));
    QCOMPARE(rows.size(), e.rows.size());
    qint64 attachments = 0;
    for (int r = 0; r < rows.size(); ++r) {
        const QVariantMap& row = rows[r];
        for (const ColumnDef& c : recordColumns()) {
            const QString col = QString::fromUtf8(c.name);
            const QVariant got = row.value(col);
            const QString where = QStringLiteral("row %1 column %2").arg(r + 1).arg(col);
            if (c.kind == ColumnKind::Blob) {
                const QString bytes = e.field(r, col + QStringLiteral("_bytes"));
                if (isNullText(bytes)) {
                    QVERIFY2(got.isNull(), qPrintable(where));
                    continue;
                }
                QVERIFY2(!got.isNull(), qPrintable(where)); // a 0-byte value stays, not NULL
                QCOMPARE(QString::number(got.toByteArray().size()), bytes);
                QCOMPARE(sha256(got.toByteArray()), e.field(r, col + QStringLiteral("_sha256")));
                if (!got.toByteArray().isEmpty()) ++attachments;
                continue;
            }
            const QString want = e.field(r, col);
            if (col == QStringLiteral("備考")) {
                const QString len = e.field(r, QStringLiteral("備考_len"));
                if (isNullText(len)) {
                    QVERIFY2(got.isNull(), qPrintable(where));
                    continue;
                }
                QVERIFY2(!got.isNull(), qPrintable(where)); // empty text stays empty text
                QCOMPARE(QString::number(got.toString().size()), len);
                QCOMPARE(sha256(got.toString().toUtf8()),
                         e.field(r, QStringLiteral("備考_sha256")));
                if (want != QLatin1String("\\S")) QCOMPARE(got.toString(), unescape(want));
                continue;
            }
            switch (c.kind) {
            case ColumnKind::Text:
                if (isNullText(want)) {
                    QVERIFY2(got.isNull(), qPrintable(where));
                } else {
                    QVERIFY2(!got.isNull(), qPrintable(where));
                    QCOMPARE(got.toString(), unescape(want));
                }
                break;
            case ColumnKind::Date:
                if (isNullText(want))
                    QVERIFY2(got.isNull(), qPrintable(where));
                else
                    QCOMPARE(got.toString(),
                             QString(want).replace(u' ', u'T') + QStringLiteral(".000"));
                break;
            case ColumnKind::Integer:
            case ColumnKind::Real:
                // Access keeps areas and points as text; empty text is no value.
                if (isNullText(want) || want.isEmpty()) {
                    QVERIFY2(got.isNull(), qPrintable(where));
                } else {
                    QVERIFY2(!got.isNull(), qPrintable(where));
                    QCOMPARE(got.toDouble(), want.toDouble());
                }
                break;
            case ColumnKind::Blob:
                break;
            }
        }
    }
    QCOMPARE(summary_.attachments, attachments);

    QStringList districts;
    for (const QVariantMap& d : readStore(imported_, QStringLiteral("行政区")))
        districts << d.value(QStringLiteral("所在区")).toString();
    QCOMPARE(districts.join(u' '),
             QStringLiteral(
                 "北町 南町 東山 西浜 中央一丁目 中央二丁目 本町 若葉町 汐見台 栄町 港町 緑ヶ丘"));
}
void TestAccessImport::attachmentsAreTheSampleSheetsByteForByte() {
    // Access keeps what the program stored: no OLE wrapper to take off.
    const Expected e = readExpected(sample("tovera_register_jet4.expected.tsv"));
    const QList<QVariantMap> rows = readStore(imported_, QStringLiteral("基本データ"));
    int checked = 0;
    for (int r = 0; r < rows.size(); ++r) {
        const QString source = e.field(r, QStringLiteral("excel_source"));
        if (isNullText(source)) continue;
        QFile f(QStringLiteral(TOVERA_SHARED "/sample-sheets/") + source);
        if (!f.open(QIODevice::ReadOnly)) QSKIP("the sample sheets are not present");
        QCOMPARE(rows[r].value(QStringLiteral("excel")).toByteArray(), f.readAll());
        ++checked;
    }
    QCOMPARE(checked, 15);
    QVERIFY(rows[0].value(QStringLiteral("zumen")).toByteArray().startsWith("$headerpas\r\n"));
}
void TestAccessImport::convertsValues_data() {
    QTest::addColumn<QString>("column");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<QString>("problemQuotes"); // empty: taken over exactly
    const QVariant null;
    QTest::newRow("area text") << "１Ｆ" << QVariant(QStringLiteral("94.80")) << QVariant(94.8)
                               << "";
    QTest::newRow("full-width digits")
        << "床面積" << QVariant(QStringLiteral("１２３．５")) << QVariant(123.5) << "";
    QTest::newRow("empty area") << "２Ｆ" << QVariant(QStringLiteral("")) << null << "";
    QTest::newRow("blank area") << "２Ｆ" << QVariant(QStringLiteral("  ")) << null << "";
    QTest::newRow("area with unit")
        << "１Ｆ" << QVariant(QStringLiteral("62.10㎡")) << QVariant(62.1) << "「62.10㎡」";
    QTest::newRow("grouped points")
        << "評点数" << QVariant(QStringLiteral("81,437")) << QVariant(81437.0) << "";
    QTest::newRow("no number") << "評点数" << QVariant(QStringLiteral("不明")) << null
                               << "「不明」";
    QTest::newRow("number column") << "床面積" << QVariant(qlonglong(120)) << QVariant(120.0) << "";
    QTest::newRow("No from text") << "No" << QVariant(QStringLiteral("12"))
                                  << QVariant(qlonglong(12)) << "";
    QTest::newRow("No from a fraction")
        << "No" << QVariant(12.5) << QVariant(qlonglong(13)) << "12.5";
    QTest::newRow("empty text stays")
        << "所有者氏名" << QVariant(QStringLiteral("")) << QVariant(QStringLiteral("")) << "";
    QTest::newRow("trailing space stays")
        << "所有者氏名" << QVariant(QStringLiteral("林 ")) << QVariant(QStringLiteral("林 ")) << "";
    QTest::newRow("number into text")
        << "除外" << QVariant(qlonglong(1)) << QVariant(QStringLiteral("1")) << "";
    QTest::newRow("null stays null") << "所有者氏名" << null << null << "";
    QTest::newRow("date") << "日付" << QVariant(QDateTime(QDate(1850, 1, 1), QTime(16, 1), Qt::UTC))
                          << QVariant(QStringLiteral("1850-01-01T16:01:00.000")) << "";
    QTest::newRow("a date no calendar has")
        << "登記日" << QVariant(1.0e12) << null << "1000000000000";
    QTest::newRow("empty attachment stays")
        << "zumen" << QVariant(QByteArray("", 0)) << QVariant(QByteArray("", 0)) << "";
}
void TestAccessImport::convertsValues() {
    QFETCH(QString, column);
    QFETCH(QVariant, value);
    QFETCH(QVariant, stored);
    QFETCH(QString, problemQuotes);
    const ColumnDef* def = findColumn(column);
    QVERIFY(def);
    const ConvertedValue v = convertAccessValue(*def, value);
    QCOMPARE(v.value.isNull(), stored.isNull());
    if (!stored.isNull()) {
        QCOMPARE(v.value.typeId(), stored.typeId());
        QCOMPARE(v.value, stored);
    }
    if (problemQuotes.isEmpty())
        QVERIFY2(v.problem.isEmpty(), qPrintable(v.problem));
    else
        QVERIFY2(v.problem.contains(problemQuotes), qPrintable(v.problem));
}
void TestAccessImport::refusesBadAccessFiles_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("cause");
    QFile f(sample("tovera_register_jet4.mdb"));
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray whole = f.readAll();
    QTest::newRow("text file") << QByteArray("No\t所有者氏名\r\n1\t林\r\n")
                               << "Access のデータベースではありません";
    QTest::newRow("empty file") << QByteArray() << "Access のデータベースではありません";
    QTest::newRow("header only") << whole.left(4096) << "途中で切れています";
    QTest::newRow("cut inside a page") << whole.left(1000000) << "途中で切れています";
    QTest::newRow("cut at a page") << whole.left(1003520) << "途中で切れています";
    QTest::newRow("cut after half the pages")
        << whole.left(whole.size() / 2 / 4096 * 4096) << "途中で切れています";
}
void TestAccessImport::refusesBadAccessFiles() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, cause);
    QTemporaryDir dir;
    const QString mdb = dir.filePath(QStringLiteral("評価調書.mdb"));
    QFile f(mdb);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    f.close();
    const QString store = dir.filePath(QStringLiteral("store"));
    try {
        importAccessRegister(mdb, store);
        QFAIL("imported a damaged file");
    } catch (const EInOutError& e) {
        QVERIFY2(e.message().contains(cause), qPrintable(e.message()));
        QVERIFY2(e.message().contains(mdb), qPrintable(e.message()));
    }
    QCOMPARE(filesIn(dir.path()), QStringList{QStringLiteral("評価調書.mdb")});
}
void TestAccessImport::neverOverwritesAStore() {
    QTemporaryDir dir;
    const QString store = dir.filePath(QStringLiteral("store"));
    QFile f(store);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("kept");
    f.close();
    QVERIFY_THROWS_EXCEPTION(EInOutError,
                             importAccessRegister(sample("tovera_register_jet4.mdb"), store));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("kept"));
    QCOMPARE(filesIn(dir.path()), QStringList{QStringLiteral("store")});
}
void TestAccessImport::unwritableStoreIsNamed() {
    // /proc takes no new files, not even from root.
    const QString store = QStringLiteral("/proc/tovera-import.store");
    try {
        importAccessRegister(sample("tovera_register_jet4.mdb"), store);
        QFAIL("wrote into /proc");
    } catch (const EInOutError& e) {
        QVERIFY2(e.message().startsWith(store + QStringLiteral(": ")), qPrintable(e.message()));
    }
}
void TestAccessImport::missingTableIsNamed() {
    QTemporaryDir dir;
    const QString store = dir.filePath(QStringLiteral("store"));
    try {
        importAccessRegister(sample("synthetic_jp_jet4.mdb"), store);
        QFAIL("imported a file without 行政区");
    } catch (const EInOutError& e) {
        QVERIFY2(e.message().contains(QStringLiteral("表 行政区 がありません")),
                 qPrintable(e.message()));
        QVERIFY2(e.message().contains(QStringLiteral("区分マスタ")), qPrintable(e.message()));
    }
    QVERIFY(filesIn(dir.path()).isEmpty());
}
void TestAccessImport::stoppedImportLeavesNothing() {
    QTemporaryDir dir;
    const QString store = dir.filePath(QStringLiteral("store"));
    qint64 seen = 0, all = 0;
    QVERIFY_THROWS_EXCEPTION(EInOutError,
                             importAccessRegister(sample("tovera_register_jet4.mdb"), store,
                                                  [&](qint64 done, qint64 total) {
                                                      seen = done;
                                                      all = total;
                                                      return done < 40;
                                                  }));
    QCOMPARE(seen, 40);
    QCOMPARE(all, 72);
    QVERIFY(filesIn(dir.path()).isEmpty());
}
void TestAccessImport::reportsWhatItCannotTakeOver() {
    // The sample with a few bytes changed: column excel renamed excal, １Ｆ renamed 1F, No
    // 3's first-floor area "62.10" made "62.1m", No 8's district 汐見台 made 汐見丘.
    QFile f(sample("tovera_register_jet4.mdb"));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QByteArray bytes = f.readAll();
    auto patch = [&](qsizetype at, const QByteArray& was, const QByteArray& now) {
        QCOMPARE(bytes.mid(at, was.size()), was);
        bytes.replace(at, now.size(), now);
    };
    auto utf16 = [](const char* s) {
        const QString t = QString::fromUtf8(s);
        return QByteArray(reinterpret_cast<const char*>(t.utf16()), t.size() * 2);
    };
    patch(119849, utf16("excel"), utf16("excal"));
    patch(119673, utf16("１Ｆ"), utf16("1F"));
    patch(134457,
          QByteArray("\xff\xfe"
                     "62.10"),
          QByteArray("\xff\xfe"
                     "62.1m"));
    patch(132881, utf16("汐見台"), utf16("汐見丘"));
    // A drawing given the header Access puts before objects inserted through its forms.
    const qsizetype drawing = bytes.indexOf("$headerpas\r\n");
    QVERIFY(drawing > 0);
    patch(drawing, "$h", "\x15\x1c");
    QTemporaryDir dir;
    const QString mdb = dir.filePath(QStringLiteral("patched.mdb"));
    QFile out(mdb);
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write(bytes);
    out.close();

    const ImportSummary s = importAccessRegister(mdb, dir.filePath(QStringLiteral("store")));
    QCOMPARE(s.records, 60);
    QCOMPARE(
        s.warnings,
        QStringList(
            {QStringLiteral("基本データ: 列 1F を １Ｆ として取り込みました"),
             QStringLiteral("基本データ に列 excel がないため、どの記録でも空です"),
             QStringLiteral("基本データ 1 行目（No 1）、列 zumen: Access の OLE "
                            "オブジェクトの包みが付いたまま取り込みました"),
             QStringLiteral("基本データ 3 行目（No 3）、列 １Ｆ: 「62.1m」を 62.1 "
                            "として取り込みました"),
             QStringLiteral("基本データ 8 行目（No 8）、列 所在区: 「汐見丘」は行政区にありません"),
             QStringLiteral("基本データ の列 excal はストアにないため取り込んでいません（値の"
                            "ある行 15）")}));
    const QList<QVariantMap> rows =
        readStore(dir.filePath(QStringLiteral("store")), QStringLiteral("基本データ"));
    QCOMPARE(rows[2].value(QStringLiteral("１Ｆ")).toDouble(), 62.1);
    QVERIFY(rows[0]
                .value(QStringLiteral("zumen"))
                .toByteArray()
                .startsWith("\x15\x1c"
                            "eaderpas"));
    QCOMPARE(rows[7].value(QStringLiteral("所在区")).toString(), QStringLiteral("汐見丘"));
}
void TestAccessImport::exportWritesCsv() {
    QTemporaryDir dir;
    const QString csv = dir.filePath(QStringLiteral("out.csv"));
    QCOMPARE(exportStoreCsv(imported_, csv), 60);
    QFile f(csv);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    QVERIFY(bytes.startsWith("\xEF\xBB\xBF\"No\",\"所有者コード\""));
    const QString text = QString::fromUtf8(bytes.mid(3));
    // Row 2: a memo with CR LF inside quotes, areas as numbers, no attachments.
    QVERIFY(text.contains(QStringLiteral(
        "2,\"0120245\",\"中央二丁目\",\"田中　節子\",\"緑ヶ浜市中央二丁目213番地6\","
        "\"中央二丁目786-6\","
        "2004/07/06 "
        "16:01:00,\"増築部分あり。\r\n北側に下屋（約5㎡）。\r\n次回調査時に登記を確認すること。\","
        "112.86,94.8,207.66,")));
    // Row 3 ends with the sizes of its drawing and its sheet.
    QVERIFY(
        text.contains(QStringLiteral("2025/01/01 16:08:06,2009/04/20 16:09:13,4821,18432\r\n")));
    // A second export never replaces the first.
    QVERIFY_THROWS_EXCEPTION(EInOutError, exportStoreCsv(imported_, csv));
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, exportStoreCsv(sample("tovera_register_jet4.mdb"),
                                                            dir.filePath(QStringLiteral("x.csv"))));
    QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("x.csv"))));
}
void TestAccessImport::providerDoesNotOpenAnAccessFile() {
    // The window opens only stores: beside the program an Access register gives the
    // start-up's connection failure, and is imported once with tovera-cli db import.
    QTemporaryDir dir;
    const QString mdb = dir.filePath(QStringLiteral("評価調書.mdb"));
    QVERIFY(QFile::copy(sample("tovera_register_jet4.mdb"), mdb));
    Connection c;
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, c.open(connectionStringFor(mdb)));
    QVERIFY(!c.isOpen());
    QFile copy(mdb), original(sample("tovera_register_jet4.mdb"));
    QVERIFY(copy.open(QIODevice::ReadOnly) && original.open(QIODevice::ReadOnly));
    QVERIFY(copy.readAll() == original.readAll());
}
QTEST_GUILESS_MAIN(TestAccessImport)
#include "test_access_import.moc"
