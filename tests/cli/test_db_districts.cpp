// `tovera-cli db districts`: the built command run against real store files.

#include "cli_run.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <unistd.h>

namespace {

QStringList lines(const QString& text) {
    return text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// A direct connection to a store, for filling it and for looking at it afterwards.
class Direct {
public:
    explicit Direct(const QString& path) {
        db_ = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name_);
        db_.setDatabaseName(path);
        db_.open();
    }
    ~Direct() {
        db_.close();
        db_ = QSqlDatabase();
        QSqlDatabase::removeDatabase(name_);
    }
    bool exec(const QString& sql, const QVariantList& values = {}) {
        QSqlQuery q(db_);
        q.prepare(sql);
        for (const QVariant& v : values) q.addBindValue(v);
        return q.exec();
    }
    QStringList districts() {
        QSqlQuery q(db_);
        QStringList names;
        q.exec(QStringLiteral("SELECT 所在区 FROM 行政区 ORDER BY rowid"));
        while (q.next()) names << q.value(0).toString();
        return names;
    }
    QSqlDatabase& db() { return db_; }

private:
    QString name_ = QStringLiteral("direct-districts");
    QSqlDatabase db_;
};

} // namespace

class TestDbDistricts : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString store_;

    // A new empty register, made as a user makes one.
    bool freshStore() {
        store_ = dir_.filePath(QStringLiteral("評価調書.mdb"));
        for (const QString& suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")})
            QFile::remove(store_ + suffix);
        return cli({"db", "init", store_}).status == 0;
    }

private Q_SLOTS:
    void initTestCase() {
        if (!QFile::exists(QStringLiteral(TOVERA_BIN_DIR "/tovera-cli")))
            QSKIP("tovera-cli is not built");
        QVERIFY(dir_.isValid());
    }

    void init() { QVERIFY(freshStore()); }

    void newRegisterListsNothing() {
        const Run run = cli({"db", "districts", store_});
        QCOMPARE(run.status, 0);
        QCOMPARE(run.out, QString());
        QVERIFY2(run.err.contains(QStringLiteral("まだ登録されていません")), qPrintable(run.err));
    }

    void addThenList() {
        Run run = cli({"db", "districts", store_, "--add", "本町", "北町", "ｶﾀｶﾅ区"});
        QCOMPARE(run.status, 0);
        QVERIFY2(run.out.contains(QStringLiteral("3 件を追加しました")), qPrintable(run.out));
        run = cli({"db", "districts", store_});
        QCOMPARE(run.status, 0);
        QCOMPARE(lines(run.out), (QStringList{"本町", "北町", "ｶﾀｶﾅ区"}));
        QVERIFY2(!run.err.contains(QStringLiteral("tovera-cli")), qPrintable(run.err));
        // A record may now name an added district, and the store still refuses others.
        Direct direct(store_);
        QVERIFY(direct.exec(QStringLiteral("PRAGMA foreign_keys = ON")));
        QVERIFY(direct.exec(QStringLiteral("INSERT INTO 基本データ (No, 所在区) VALUES (1, ?)"),
                            {QStringLiteral("北町")}));
        QVERIFY(!direct.exec(QStringLiteral("INSERT INTO 基本データ (No, 所在区) VALUES (2, ?)"),
                             {QStringLiteral("南町")}));
    }

    void refusedAdditionsChangeNothing_data() {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QString>("reason");
        QTest::newRow("already there")
            << QStringList{"西町", "本町"} << "「本町」: 既に登録されています";
        QTest::newRow("given twice")
            << QStringList{"西町", "西町"} << "「西町」: 二度指定されています";
        QTest::newRow("empty") << QStringList{"西町", ""} << "名前が空です";
        QTest::newRow("blank only") << QStringList{"　"} << "名前が空です";
        QTest::newRow("leading blank") << QStringList{" 西町"} << "前後に空白";
        QTest::newRow("trailing ideographic blank") << QStringList{"西町　"} << "前後に空白";
        QTest::newRow("tab inside") << QStringList{"西\t町"} << "制御文字";
        QTest::newRow("no Shift-JIS form") << QStringList{"𠮷野町"} << "Shift-JIS";
        QTest::newRow("too long") << QStringList{QString(256, QChar(u'町'))} << "長すぎます";
    }
    void refusedAdditionsChangeNothing() {
        QFETCH(QStringList, names);
        QFETCH(QString, reason);
        QCOMPARE(cli({"db", "districts", store_, "--add", "本町"}).status, 0);
        const Run run = cli(QStringList{"db", "districts", store_, "--add"} + names);
        QCOMPARE(run.status, 1);
        QVERIFY2(run.err.contains(reason), qPrintable(run.err));
        QVERIFY2(run.err.contains(store_), qPrintable(run.err));
        QVERIFY(run.err.contains(QStringLiteral("何も変更していません")));
        QCOMPARE(run.out, QString());
        Direct direct(store_);
        QCOMPARE(direct.districts(), QStringList{"本町"});
    }

    void removeUnused() {
        QCOMPARE(cli({"db", "districts", store_, "--add", "本町", "北町", "南町"}).status, 0);
        const Run run = cli({"db", "districts", store_, "--remove", "北町", "南町"});
        QCOMPARE(run.status, 0);
        QVERIFY2(run.out.contains(QStringLiteral("2 件を削除しました")), qPrintable(run.out));
        QCOMPARE(lines(cli({"db", "districts", store_}).out), QStringList{"本町"});
    }

    void districtInUseIsKept() {
        QCOMPARE(cli({"db", "districts", store_, "--add", "本町", "北町"}).status, 0);
        {
            Direct direct(store_);
            QVERIFY(direct.exec(QStringLiteral("INSERT INTO 基本データ (No, 所在区, 所有者氏名) "
                                               "VALUES (12, '本町', '山田太郎')")));
            QVERIFY(direct.exec(QStringLiteral("INSERT INTO 基本データ (No, 所在区) VALUES (7, "
                                               "'北町')")));
            QVERIFY(direct.exec(QStringLiteral("INSERT INTO 基本データ (所在区, 所有者氏名) "
                                               "VALUES ('本町', '佐藤花子')")));
        }
        // Removing both: neither goes, and every record that keeps them is named.
        const Run run = cli({"db", "districts", store_, "--remove", "本町", "北町"});
        QCOMPARE(run.status, 1);
        QCOMPARE(run.out, QString());
        QVERIFY2(run.err.contains(store_), qPrintable(run.err));
        QVERIFY2(run.err.contains(QStringLiteral("「本町」: 2 件のレコードが使っています")),
                 qPrintable(run.err));
        QVERIFY(run.err.contains(QStringLiteral("No 12（rowid 1、山田太郎）")));
        QVERIFY(run.err.contains(QStringLiteral("No なし（rowid 3、佐藤花子）")));
        QVERIFY(run.err.contains(
            QStringLiteral("「北町」: 1 件のレコードが使っています: No 7（rowid 2）")));
        QCOMPARE(lines(cli({"db", "districts", store_}).out), (QStringList{"本町", "北町"}));
    }

    void manyUsersAreCounted() {
        QCOMPARE(cli({"db", "districts", store_, "--add", "本町"}).status, 0);
        {
            Direct direct(store_);
            direct.db().transaction();
            for (int no = 1; no <= 25; ++no)
                QVERIFY(direct.exec(
                    QStringLiteral("INSERT INTO 基本データ (No, 所在区) VALUES (?, '本町')"),
                    {no}));
            direct.db().commit();
        }
        const Run run = cli({"db", "districts", store_, "--remove", "本町"});
        QCOMPARE(run.status, 1);
        QVERIFY2(run.err.contains(QStringLiteral("25 件のレコードが使っています")),
                 qPrintable(run.err));
        QVERIFY(run.err.contains(QStringLiteral("No 10（rowid 10）")));
        QVERIFY(!run.err.contains(QStringLiteral("No 11（")));
        QVERIFY(run.err.contains(QStringLiteral("ほか 15 件")));
    }

    void removeMissing() {
        QCOMPARE(cli({"db", "districts", store_, "--add", "本町"}).status, 0);
        const Run run = cli({"db", "districts", store_, "--remove", "本町", "東町"});
        QCOMPARE(run.status, 1);
        QVERIFY2(run.err.contains(QStringLiteral("「東町」: 登録されていません")),
                 qPrintable(run.err));
        QCOMPARE(lines(cli({"db", "districts", store_}).out), QStringList{"本町"});
    }

    void badFiles_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("cause");
        QTest::newRow("missing") << "missing"
                                 << "ファイルが見つかりません";
        QTest::newRow("text file") << "text"
                                   << "データベースファイルの形式を認識できません";
        QTest::newRow("other database") << "other"
                                        << "テーブル 行政区 がありません";
        QTest::newRow("folder") << "folder"
                                << "データベースファイルの形式を認識できません";
    }
    void badFiles() {
        QFETCH(QString, kind);
        QFETCH(QString, cause);
        const QString path = dir_.filePath(QStringLiteral("bad-") + kind + QStringLiteral(".mdb"));
        if (kind == QLatin1String("text")) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray(4096, 'x'));
        } else if (kind == QLatin1String("other")) {
            Direct direct(path);
            QVERIFY(direct.exec(QStringLiteral("CREATE TABLE t (a)")));
        } else if (kind == QLatin1String("folder")) {
            QVERIFY(QDir().mkpath(path));
        }
        for (const QStringList& tail : {QStringList{}, QStringList{"--add", "本町"}}) {
            const Run run = cli(QStringList{"db", "districts", path} + tail);
            QCOMPARE(run.status, 1);
            QVERIFY2(run.err.contains(QStringLiteral("tovera-cli db districts: ") + path +
                                      QStringLiteral(": ") + cause),
                     qPrintable(run.err));
            QVERIFY2(run.err.contains(cause), qPrintable(run.err));
        }
        QVERIFY(!QFile::exists(dir_.filePath(QStringLiteral("bad-missing.mdb"))));
    }

    void lockedStore() {
        Direct holder(store_);
        QVERIFY(holder.exec(QStringLiteral("BEGIN IMMEDIATE")));
        const Run run = cli({"db", "districts", store_, "--add", "本町"});
        QCOMPARE(run.status, 1);
        QVERIFY2(run.err.contains(QStringLiteral("ロックされています")), qPrintable(run.err));
        QVERIFY(holder.exec(QStringLiteral("ROLLBACK")));
        QCOMPARE(holder.districts(), QStringList());
    }

    void readOnlyStore() {
        if (::geteuid() == 0) QSKIP("root writes to read-only files");
        QVERIFY(QFile::setPermissions(store_, QFile::ReadOwner));
        const Run run = cli({"db", "districts", store_, "--add", "本町"});
        QFile::setPermissions(store_, QFile::ReadOwner | QFile::WriteOwner);
        QCOMPARE(run.status, 1);
        QVERIFY2(run.err.contains(store_), qPrintable(run.err));
        QVERIFY(!run.err.trimmed().endsWith(QLatin1Char(':')));
    }

    void usageErrors_data() {
        QTest::addColumn<QStringList>("tail");
        QTest::newRow("no store") << QStringList{};
        QTest::newRow("option first") << QStringList{"--add", "本町"};
        QTest::newRow("add without names") << QStringList{"STORE", "--add"};
        QTest::newRow("remove without names") << QStringList{"STORE", "--remove"};
        QTest::newRow("stray argument") << QStringList{"STORE", "本町"};
        QTest::newRow("unknown option") << QStringList{"STORE", "--list"};
    }
    void usageErrors() {
        QFETCH(QStringList, tail);
        tail.replaceInStrings(QStringLiteral("STORE"), store_);
        const Run run = cli(QStringList{"db", "districts"} + tail);
        QCOMPARE(run.status, 2);
        QVERIFY(run.err.contains(QStringLiteral("db districts PATH")));
        QCOMPARE(Direct(store_).districts(), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestDbDistricts)
#include "test_db_districts.moc"
