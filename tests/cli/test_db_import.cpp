// The import and export commands of tovera-cli, run as the user runs them.

#include "cli_run.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

namespace {

QString sample(const char* name) {
    return QStringLiteral(TOVERA_SHARED "/mdb-samples/") + QString::fromUtf8(name);
}

} // namespace

class TestDbImport : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() {
        if (!QFile::exists(QStringLiteral(TOVERA_BIN_DIR "/tovera-cli")))
            QSKIP("tovera-cli is not built");
        if (!QFile::exists(sample("tovera_register_jet4.mdb")))
            QSKIP("the sample Access files are not present");
    }

    void importsAndExports() {
        QTemporaryDir dir;
        const QString store = dir.filePath(QStringLiteral("評価調書.mdb"));
        const Run run = cli({"db", "import", sample("tovera_register_jet4.mdb"), store});
        QCOMPARE(run.status, 0);
        // The closing summary: records, districts, attachments, bytes, warnings.
        QVERIFY2(run.out.contains(QStringLiteral(
                     "記録 60 件、行政区 12 件、添付 36 件 (2394667 バイト)、警告 0 件")),
                 qPrintable(run.out));
        // No terminal, no progress bar.
        QVERIFY2(!run.err.contains(u'#'), qPrintable(run.err));

        const QString csv = dir.filePath(QStringLiteral("records.csv"));
        const Run exported = cli({"db", "export", store, csv});
        QCOMPARE(exported.status, 0);
        QVERIFY2(exported.out.contains(QStringLiteral("60 records")), qPrintable(exported.out));
        QFile f(csv);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(f.readAll().startsWith("\xEF\xBB\xBF\"No\","));

        // Neither command replaces a file.
        const Run again = cli({"db", "import", sample("tovera_register_jet4.mdb"), store});
        QCOMPARE(again.status, 1);
        QVERIFY2(again.err.contains(QStringLiteral("既にあります")), qPrintable(again.err));
        QCOMPARE(cli({"db", "export", store, csv}).status, 1);
    }

    // A register's text that a spreadsheet program would run as a formula is exported as
    // text; a dash inside a text, numbers (a negative one too) and dates stay as they are.
    void exportKeepsFormulasOut() {
        QTemporaryDir dir;
        const QString store = dir.filePath(QStringLiteral("評価調書.mdb"));
        QCOMPARE(cli({"db", "demo", store, "--records", "1"}).status, 0);
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "hostile");
            db.setDatabaseName(store);
            QVERIFY(db.open());
            QSqlQuery q(db);
            QVERIFY2(q.exec(QStringLiteral(
                         "UPDATE 基本データ SET 所有者氏名 = '=HYPERLINK(\"http://x\",\"y\")', "
                         "所有者住所 = '+81 3', 所在地番 = '-1+2', 備考 = '@SUM(A1)', "
                         "構造 = char(9) || '木造', 種類 = char(13) || '居宅', 家屋番号 = '12-3', "
                         "床面積 = -5.5, 日付 = '2024-03-01 00:00:00'")),
                     qPrintable(q.lastError().text()));
            QCOMPARE(q.numRowsAffected(), 1);
        }
        QSqlDatabase::removeDatabase(QStringLiteral("hostile"));
        const QString csv = dir.filePath(QStringLiteral("records.csv"));
        QCOMPARE(cli({"db", "export", store, csv}).status, 0);
        QFile f(csv);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QString line = QString::fromUtf8(f.readAll()).split(QStringLiteral("\r\n")).value(1);
        for (const char* expected :
             {",\"'=HYPERLINK(\"\"http://x\"\",\"\"y\"\")\",", ",\"'+81 3\",", ",\"'-1+2\",",
              ",\"'@SUM(A1)\",", ",\"'\t木造\",", ",\"'\r居宅\",", ",\"12-3\",", ",-5.5,",
              ",2024/03/01 00:00:00,"})
            QVERIFY2(line.contains(QString::fromUtf8(expected)),
                     qPrintable(QString::fromUtf8(expected) + QStringLiteral(" in ") + line));
    }

    void refusals_data() {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("message");
        QTest::newRow("text file")
            << sample("MANIFEST.tsv") << "Access のデータベースではありません";
        QTest::newRow("missing table")
            << sample("synthetic_jp_jet4.mdb") << "表 行政区 がありません";
        QTest::newRow("missing file") << sample("none.mdb") << "ファイルが見つかりません";
    }

    void refusals() {
        QFETCH(QString, source);
        QFETCH(QString, message);
        QTemporaryDir dir;
        const Run run = cli({"db", "import", source, dir.filePath(QStringLiteral("store"))});
        QCOMPARE(run.status, 1);
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        QVERIFY2(run.err.contains(source), qPrintable(run.err));
        QVERIFY(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
    }

    void listsTables() {
        const Run run = cli({"db", "tables", sample("synthetic_jp_jet4.mdb")});
        QCOMPARE(run.status, 0);
        QVERIFY2(run.out.startsWith(QStringLiteral("synthetic_jp_jet4.mdb: Jet 4\n"
                                                   "区分マスタ\t3\t区分コード, 区分名\n"
                                                   "基本データ\t6\tID, 所有者氏名, ")),
                 qPrintable(run.out));
        QCOMPARE(cli({"db", "tables", sample("MANIFEST.tsv")}).status, 1);
    }

    void usage() {
        QCOMPARE(cli({"db", "import", sample("tovera_register_jet4.mdb")}).status, 2);
        QCOMPARE(cli({"db", "export"}).status, 2);
        QVERIFY(cli({"--help"}).out.contains(QStringLiteral("db import ACCESS.mdb STORE")));
    }
};

QTEST_GUILESS_MAIN(TestDbImport)
#include "test_db_import.moc"
