// The owner-name and remarks searches ("Like 'text%'") walk an index of the store, and find
// exactly the records a walk through the whole table finds.

#include "app/page_search.h"
#include "records/provider.h"
#include "records/recordset.h"
#include "records/schema.h"
#include "store_fixture.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

using namespace tovera;

namespace {

QString u(const char* s) {
    return QString::fromUtf8(s);
}

// Texts that make the index's range and LIKE's own test part ways if they ever disagree:
// ASCII in both cases (LIKE folds them), full-width letters (LIKE does not), half-width
// katakana (UTF-8 bytes ending in 0xBF), the characters around the letters in code order,
// and the wildcards.
const char* const kTexts[] = {
    "abc 調査済",
    "ABC 調査済",
    "Abd",
    "abd",
    "ａｂｃ全角",
    "ＡＢＣ全角",
    "ﾓﾙﾀﾙ外壁",
    "ｿﾌﾄ",
    "ｿﾞ",
    "ｾ",
    "附属家：物置",
    "附属家（車庫）",
    "附",
    "100%完了",
    "100円",
    "a_c",
    "axc",
    "a%c",
    "O'Neil",
    "x@y",
    "x[y",
    "xAy",
    "x`y",
    "xZ",
    "xz",
    "x{",
    "",
    "山田　太郎",
    "山田",
    "ﾔﾏﾀﾞ",
    "yamada ichiro",
    "YAMADA JIRO",
    "ｙａｍａｄａ",
    "Ｙａｍａｄａ",
};

// The No of every record `where` selects, read by walking the table itself in entry order.
QList<int> scan(const QString& path, const QString& where) {
    test::RawConnection raw(path);
    QSqlQuery q(raw.database());
    q.setForwardOnly(true);
    if (!q.exec(
            QStringLiteral("SELECT No FROM 基本データ NOT INDEXED %1 ORDER BY rowid").arg(where)))
        qFatal("%s", qPrintable(q.lastError().text()));
    QList<int> nos;
    while (q.next()) nos << q.value(0).toInt();
    return nos;
}

// The store's plan for `sql`, its detail lines joined.
QString plan(const QSqlDatabase& db, const QString& sql) {
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("EXPLAIN QUERY PLAN ") + sql)) return q.lastError().text();
    QStringList details;
    while (q.next()) details << q.value(3).toString();
    return details.join(QLatin1String(" / "));
}

int indexCount(const QString& path) {
    return test::fileValue(path, QStringLiteral("SELECT count(*) FROM sqlite_master WHERE "
                                                "type = 'index' AND tbl_name = '基本データ'"))
        .toInt();
}

} // namespace

class TestPrefixIndex : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    QString path;

private slots:
    void initTestCase() {
        QVERIFY(dir.isValid());
        path = dir.filePath(QStringLiteral("prefix.mdb"));
        QList<QVariantMap> rows;
        int no = 0;
        // Each text as owner name and as remarks, among filler rows and NULLs.
        for (int round = 0; round < 3; ++round) {
            for (const char* text : kTexts) {
                rows << QVariantMap{{QStringLiteral("No"), ++no},
                                    {QStringLiteral("所有者氏名"), u(text)},
                                    {QStringLiteral("備考"), u(text)}};
                rows << QVariantMap{
                    {QStringLiteral("No"), ++no},
                    {QStringLiteral("所有者氏名"), QStringLiteral("filler %1").arg(no)}};
            }
        }
        test::makeStore(path, rows);
    }

    // The record set's search reads the keys with the search's own condition; the store
    // answers it through the column's index as a range whenever the text begins with
    // something other than a wildcard, and the records are those of a walk of the table.
    void searchUsesIndexAndMatchesScan_data() {
        QTest::addColumn<QString>("column");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("range");
        for (const char* column : {"備考", "所有者氏名"}) {
            const auto row = [&](const char* name, const char* text, bool range) {
                QTest::addRow("%s %s", column, name) << u(column) << u(text) << range;
            };
            row("one kanji", "附", true);
            row("kanji text", "附属家（", true);
            row("ascii lower", "abc", true);
            row("ascii upper", "ABC", true);
            row("ascii mixed", "aB", true);
            row("full-width lower", "ａｂｃ", true);
            row("full-width upper", "ＡＢＣ", true);
            row("full-width mixed", "Ｙａ", true);
            row("half-width kana", "ﾓﾙﾀﾙ", true);
            row("kana ending in 0xBF", "ｿ", true);
            row("percent inside", "100%完", true);
            row("underscore inside", "a_c", true);
            row("percent first", "%調査", false);
            row("underscore first", "_bc", false);
            row("quote", "O'N", true);
            row("at sign last", "x@", true);
            row("bracket", "x[", true);
            row("backquote", "x`", true);
            row("z last", "xZ", true);
            row("brace", "x{", true);
            row("one letter", "y", true);
            row("long", "yamada ichiro", true);
            row("nothing found", "該当なし", true);
        }
    }
    void searchUsesIndexAndMatchesScan() {
        QFETCH(QString, column);
        QFETCH(QString, text);
        QFETCH(bool, range);
        const SearchQuery query = prefixQuery(column, text);
        const QString condition = query.lines.mid(1).join(QLatin1Char(' ')).chopped(1);
        const QList<int> expected = scan(path, condition);

        Connection c;
        c.open(connectionStringFor(path));
        // The keys of a search are read with its condition, as "SELECT rowid FROM ...".
        QString keys = query.text();
        keys.replace(QStringLiteral("SELECT * FROM"), QStringLiteral("SELECT rowid FROM"));
        const QString detail = plan(c.database(), keys);
        QVERIFY2(detail.contains(QLatin1String("INDEX")), qPrintable(detail));
        if (range)
            QVERIFY2(detail.startsWith(QLatin1String("SEARCH")) &&
                         detail.contains(QStringLiteral("(%1>? AND %1<?)").arg(column)),
                     qPrintable(detail));

        RecordSet rs(c);
        rs.open(query.text());
        QCOMPARE(rs.recordCount(), expected.size());
        QList<int> found;
        for (int i = 0; i < expected.size(); ++i) {
            found << rs.value(QStringLiteral("No")).toInt();
            rs.next();
        }
        QCOMPARE(found, expected);
    }

    // A store made elsewhere, whose text columns have no index fit for LIKE, gets one when
    // it is opened for writing, and nothing else changes; a store that has them gets none.
    void storesGetTheIndexOnce_data() {
        QTest::addColumn<bool>("bare");
        QTest::newRow("made elsewhere") << true;
        QTest::newRow("made by this program") << false;
    }
    void storesGetTheIndexOnce() {
        QFETCH(bool, bare);
        const QString file =
            dir.filePath(bare ? QStringLiteral("bare.mdb") : QStringLiteral("ours.mdb"));
        if (bare) {
            test::RawConnection raw(file);
            QSqlQuery q(raw.database());
            QVERIFY(q.exec(QStringLiteral(
                "CREATE TABLE 基本データ (No INTEGER, 所有者氏名 TEXT, 所在区 TEXT, 備考 "
                "VARCHAR(255), zumen BLOB, excel BLOB)")));
            // A binary index on the owner does not serve a LIKE that folds case.
            QVERIFY(q.exec(QStringLiteral("CREATE INDEX owner ON 基本データ(所有者氏名)")));
            QVERIFY(q.exec(QStringLiteral("CREATE TABLE 行政区 (所在区 TEXT)")));
            for (int i = 0; i < 200; ++i)
                QVERIFY(q.exec(QStringLiteral("INSERT INTO 基本データ (No, 所有者氏名, 備考) "
                                              "VALUES (%1, 'Owner %1', 'Remark %1')")
                                   .arg(i)));
        } else {
            createSchema(file);
        }
        const QString rows = QStringLiteral("SELECT group_concat(No || '|' || 所有者氏名 || '|' || "
                                            "備考, ';') FROM 基本データ");
        const QVariant before = test::fileValue(file, rows);
        const int indexes = indexCount(file);

        for (int open = 0; open < 2; ++open) {
            Connection c;
            c.open(connectionStringFor(file));
            for (const QString& column : {u("所有者氏名"), u("備考")}) {
                const QString detail =
                    plan(c.database(), QStringLiteral("SELECT rowid FROM 基本データ WHERE %1 "
                                                      "Like 'remark 1%'")
                                           .arg(column));
                QVERIFY2(detail.contains(QStringLiteral("(%1>? AND %1<?)").arg(column)),
                         qPrintable(detail));
            }
        }
        QCOMPARE(indexCount(file), indexes + (bare ? 2 : 0));
        QCOMPARE(test::fileValue(file, rows), before);
    }
};

QTEST_GUILESS_MAIN(TestPrefixIndex)
#include "test_prefix_index.moc"
