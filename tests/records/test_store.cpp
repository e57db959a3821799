// The provider, the schema and the demo stores, on real files.

#include "platform/codepage.h"
#include "platform/dialogs.h"
#include "platform/errors.h"
#include "records/dberror.h"
#include "records/demo.h"
#include "records/provider.h"
#include "records/recordset.h"
#include "records/schema.h"
#include "store_fixture.h"

#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

using namespace tovera;

namespace {

QString openError(const QString& connectionString) {
    Connection c;
    try {
        c.open(connectionString);
    } catch (const EDatabaseError& e) {
        if (c.isOpen()) return QStringLiteral("still open");
        return e.message();
    }
    return QString();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
}

} // namespace

class TestStore : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

private Q_SLOTS:
    void connectionString() {
        QCOMPARE(connectionStringFor(QStringLiteral("C:\\tov\\評価調書.mdb")),
                 QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data "
                                "Source=C:\\tov\\評価調書.mdb;Persist Security Info=False"));
        QVERIFY(databasePathBesideExecutable().endsWith(QStringLiteral("/評価調書.mdb")));
    }

    void refusedSources_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("content"); // empty: no file
        QTest::addColumn<QString>("message");
        QTest::newRow("missing") << QStringLiteral("none.mdb") << QByteArray()
                                 << QStringLiteral("ファイル '%1' が見つかりません");
        QByteArray jet(4096, '\0');
        jet.replace(4, 15, "Standard Jet DB");
        QTest::newRow("an Access file")
            << QStringLiteral("jet.mdb") << jet
            << QStringLiteral("データベースファイルの形式を認識できません");
        QTest::newRow("text") << QStringLiteral("text.mdb")
                              << QByteArray("hello, this is not a store\n").repeated(40)
                              << QStringLiteral("データベースファイルの形式を認識できません");
    }
    void refusedSources() {
        QFETCH(QString, file);
        QFETCH(QByteArray, content);
        QFETCH(QString, message);
        const QString path = dir.filePath(file);
        if (!content.isEmpty()) writeFile(path, content);
        QCOMPARE(openError(connectionStringFor(path)),
                 message.contains(QLatin1String("%1")) ? message.arg(path) : message);
        QCOMPARE(QFile::exists(path), !content.isEmpty()); // never creates
        if (!content.isEmpty()) {
            QFile f(path);
            f.open(QIODevice::ReadOnly);
            QCOMPARE(f.readAll(), content); // never alters
        }
    }

    void badConnectionStrings_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("other provider") << QStringLiteral("Provider=SQLOLEDB;Data Source=x");
        QTest::newRow("no source")
            << QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Persist Security Info=False");
        QTest::newRow("garbage") << QStringLiteral("just words");
        QTest::newRow("open quote")
            << QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"x");
    }
    void badConnectionStrings() {
        QFETCH(QString, text);
        QVERIFY(!openError(text).isEmpty());
    }

    void quotedSourceWithSemicolon() {
        const QString path = dir.filePath(QStringLiteral("a;b.mdb"));
        createSchema(path);
        QCOMPARE(openError(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data "
                                          "Source=\"%1\";Persist Security Info=False")
                               .arg(path)),
                 QString());
    }

    void lockedFileFailsToConnect() {
        const QString path = dir.filePath(QStringLiteral("locked.mdb"));
        createSchema(path);
        {
            Connection holder;
            holder.open(connectionStringFor(path));
            QSqlQuery q(holder.database());
            QVERIFY(q.exec(QStringLiteral("PRAGMA journal_mode = DELETE")));
            QVERIFY(q.exec(QStringLiteral("PRAGMA locking_mode = EXCLUSIVE")));
            QVERIFY(q.exec(QStringLiteral("BEGIN EXCLUSIVE")));
            QVERIFY(q.exec(QStringLiteral("INSERT INTO 行政区 VALUES ('x')")));
            QCOMPARE(
                openError(connectionStringFor(path)),
                QStringLiteral("データベースファイルは他のユーザーが使用中でロックされています"));
            q.exec(QStringLiteral("ROLLBACK"));
        }
        QCOMPARE(openError(connectionStringFor(path)), QString());
    }

    void startupMessages_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QStringList>("messages");
        QTest::newRow("missing") << QStringLiteral("missing")
                                 << QStringList{QStringLiteral("ＤＢ接続に失敗しました。"),
                                                QStringLiteral("ＤＢをオープン出来ませんでした。")};
        QTest::newRow("no tables")
            << QStringLiteral("bare")
            << QStringList{QStringLiteral("ＤＢをオープン出来ませんでした。")};
        QTest::newRow("store") << QStringLiteral("store") << QStringList{};
    }
    void startupMessages() {
        QFETCH(QString, kind);
        QFETCH(QStringList, messages);
        const QString path = dir.filePath(kind + QStringLiteral("/評価調書.mdb"));
        QDir().mkpath(QFileInfo(path).path());
        if (kind == QLatin1String("store")) test::makeStore(path, {{{QStringLiteral("No"), 7}}});
        if (kind == QLatin1String("bare"))
            test::fileValue(path, QStringLiteral("CREATE TABLE t(x)"));
        Connection c;
        RecordSet rs(c);
        DistrictTable districts(c);
        ScriptedDialogs dialogs;
        QCOMPARE(openAtStartup(path, c, rs, districts, dialogs), messages.isEmpty());
        QCOMPARE(dialogs.messages(), messages);
        QCOMPARE(rs.isOpen(), messages.isEmpty());
        QCOMPARE(districts.isOpen(), messages.isEmpty());
        if (messages.isEmpty()) {
            QCOMPARE(rs.value(QStringLiteral("No")).toInt(), 7);
            QCOMPARE(districts.districts(), demoDistricts());
        }
        QCOMPARE(QFile::exists(path), kind != QLatin1String("missing"));
    }

    void schemaHasEveryColumnAndGuardsThem() {
        const QString path = dir.filePath(QStringLiteral("init.mdb"));
        createSchema(path);
        bool refused = false;
        try {
            createSchema(path);
        } catch (const EInOutError&) {
            refused = true;
        }
        QVERIFY(refused);
        Connection c;
        c.open(connectionStringFor(path));
        QSqlQuery q(c.database());
        QVERIFY(q.exec(QStringLiteral("PRAGMA table_info(基本データ)")));
        QStringList names;
        while (q.next()) names << q.value(1).toString();
        QCOMPARE(names.size(), 30);
        QCOMPARE(names.mid(0, 4),
                 (QStringList{QStringLiteral("No"), QStringLiteral("所有者コード"),
                              QStringLiteral("所在区"), QStringLiteral("所有者氏名")}));
        QVERIFY(q.exec(QStringLiteral("INSERT INTO 行政区 VALUES ('北町')")));
        QVERIFY(
            q.exec(QStringLiteral("INSERT INTO 基本データ (所在区, １Ｆ) VALUES ('北町', 12.5)")));
        // Enforced by the file itself, whatever writes to it.
        QVERIFY(!q.exec(QStringLiteral("INSERT INTO 基本データ (所在区) VALUES ('南町')")));
        QVERIFY(!q.exec(QStringLiteral("INSERT INTO 基本データ (１Ｆ) VALUES ('abc')")));
        QVERIFY(!q.exec(QStringLiteral("INSERT INTO 基本データ (日付) VALUES ('not a date')")));
        QVERIFY(!q.exec(QStringLiteral("INSERT INTO 基本データ (zumen) VALUES ('text')")));
        QVERIFY(q.exec(QStringLiteral(
            "EXPLAIN QUERY PLAN SELECT rowid FROM 基本データ WHERE 所有者氏名 LIKE '林%'")));
        QVERIFY(q.next());
        QVERIFY2(q.value(3).toString().contains(QLatin1String("INDEX")),
                 qPrintable(q.value(3).toString()));
    }

    void demoStore() {
        const QString path = dir.filePath(QStringLiteral("demo.mdb"));
        DemoOptions o;
        o.records = 40;
        createDemo(path, o);
        Connection c;
        c.open(connectionStringFor(path));
        QSqlQuery q(c.database());
        auto one = [&](const QString& sql) {
            q.exec(sql);
            q.next();
            return q.value(0);
        };
        QCOMPARE(one(QStringLiteral("SELECT count(*) FROM 基本データ")).toInt(), 40);
        QCOMPARE(one(QStringLiteral("SELECT count(*) FROM 行政区")).toInt(), 12);
        QCOMPARE(
            one(QStringLiteral("SELECT count(*) FROM 基本データ WHERE zumen IS NOT NULL")).toInt(),
            14);
        QCOMPARE(
            one(QStringLiteral("SELECT count(*) FROM 基本データ WHERE excel IS NOT NULL")).toInt(),
            10);
        QCOMPARE(one(QStringLiteral("SELECT count(*) FROM 基本データ WHERE time(日付) <> "
                                    "'16:01:00' OR time(有効開始) <> '16:08:06' "
                                    "OR time(登記日) <> '16:09:13'"))
                     .toInt(),
                 0);
        const QByteArray drawing =
            one(QStringLiteral("SELECT zumen FROM 基本データ WHERE zumen IS NOT NULL"))
                .toByteArray();
        QVERIFY(drawing.startsWith("$headerpas\r\n10\r\n10\r\n"));
        QVERIFY(drawing.contains(toCp932(QStringLiteral("\r\n壁\r\n"))));
        const QByteArray sheet =
            one(QStringLiteral("SELECT excel FROM 基本データ WHERE excel IS NOT NULL"))
                .toByteArray();
        QList<QByteArray> samples;
        for (const SampleSheet& s : sampleSheets()) samples << s.bytes;
        QCOMPARE(samples.size(), 4);
        QVERIFY(samples.contains(sheet));
        QVERIFY(sheet.startsWith("\xD0\xCF\x11\xE0"));
    }

    // The provider's causes that the user reads in Japanese; anything else keeps its text.
    void errorTexts_data() {
        QTest::addColumn<QString>("native");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("text");
        QTest::newRow("read-only")
            << QStringLiteral("attempt to write a readonly database") << QStringLiteral("8")
            << QStringLiteral("データベースファイルが読み取り専用のため更新できません");
        QTest::newRow("disk full")
            << QStringLiteral("database or disk is full") << QStringLiteral("13")
            << QStringLiteral("ディスクの空き領域が不足しているため書き込めません");
        QTest::newRow("busy")
            << QStringLiteral("database is locked") << QStringLiteral("5")
            << QStringLiteral("データベースファイルは他のユーザーが使用中でロックされています");
        QTest::newRow("not null") << QStringLiteral("NOT NULL constraint failed: 基本データ.No")
                                  << QStringLiteral("19")
                                  << QStringLiteral("列 No には値が必要です");
        QTest::newRow("other") << QStringLiteral("no such column: 地番") << QStringLiteral("1")
                               << QStringLiteral("no such column: 地番");
    }
    void errorTexts() {
        QFETCH(QString, native);
        QFETCH(QString, code);
        QFETCH(QString, text);
        QCOMPARE(databaseErrorText(QSqlError(QStringLiteral("Unable to fetch row"), native,
                                             QSqlError::StatementError, code)),
                 text);
    }

    void largeDrawingsGrowToTheirSize() {
        const QByteArray big = demoDrawing(3, 20 * 1024);
        QVERIFY(big.size() >= 20 * 1024);
        QVERIFY(big.size() < 21 * 1024);
        QVERIFY(big.endsWith("\r\n\r\n\r\n\r\n\r\n\r\n\r\n"));
        QCOMPARE(demoDrawing(3), demoDrawing(3));
    }
};

QTEST_GUILESS_MAIN(TestStore)
#include "test_store.moc"
