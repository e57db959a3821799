#include "platform/codepage.h"
#include "platform/dialogs.h"
#include "platform/errors.h"

#include <QTemporaryDir>
#include <QTest>
#include <cerrno>

using namespace tovera;

class TestPlatform : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void cp932RoundTrip_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("ascii") << QStringLiteral("a.hbd") << QByteArray("a.hbd");
        QTest::newRow("backslash stays") << QStringLiteral("C:\\x") << QByteArray("C:\\x");
        QTest::newRow("kanji") << QStringLiteral("図面") << QByteArray("\x90\x7d\x96\xca");
        // 表 has the trail byte 0x5C, which must not become a path separator issue.
        QTest::newRow("trail 5C") << QStringLiteral("表") << QByteArray("\x95\x5c");
        QTest::newRow("half-width kana") << QStringLiteral("ﾌｧｲﾙ") << QByteArray("\xcc\xa7\xb2\xd9");
        QTest::newRow("wave dash") << QStringLiteral("～") << QByteArray("\x81\x60");
        QTest::newRow("empty") << QString() << QByteArray();
    }
    void cp932RoundTrip() {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        QCOMPARE(toCp932(text), bytes);
        QCOMPARE(fromCp932(bytes), text);
    }

    void cp932Unmappable() {
        QCOMPARE(toCp932(QStringLiteral("a\u00e9b")), QByteArray("a?b"));
        QCOMPARE(toCp932(QString::fromUcs4(U"x\U00020BB7y")), QByteArray("x?y"));
        QCOMPARE(fromCp932(QByteArray("a\x81", 2)), QStringLiteral("a\uFFFD"));
        QCOMPARE(fromCp932(QByteArray("a\0b", 3)), QString(QStringLiteral("a") + QChar(0) + QStringLiteral("b")));
    }

    void errorDialogText_data() {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("shown");
        QTest::newRow("japanese sentence") << QStringLiteral("ファイルが見つかりません")
                                           << QStringLiteral("ファイルが見つかりません.");
        QTest::newRow("ends with dot") << QStringLiteral("abc.") << QStringLiteral("abc.");
        QTest::newRow("ends with letter") << QStringLiteral("abc") << QStringLiteral("abc.");
        QTest::newRow("ends with bang") << QStringLiteral("abc!") << QStringLiteral("abc!");
        QTest::newRow("ends with paren") << QStringLiteral("I/O エラー (5)")
                                         << QStringLiteral("I/O エラー (5)");
        QTest::newRow("half-width kana") << QStringLiteral("ｱ") << QStringLiteral("ｱ.");
        QTest::newRow("empty") << QString() << QString();
    }
    void errorDialogText() {
        QFETCH(QString, message);
        QFETCH(QString, shown);
        QCOMPARE(tovera::errorDialogText(message), shown);
    }

    void ioErrors() {
        QTemporaryDir dir;
        const QString missingFile = dir.path() + QStringLiteral("/none.hbd");
        const QString missingFolder = dir.path() + QStringLiteral("/none/a.hbd");
        try {
            throwOpenError(missingFile, ENOENT);
            QFAIL("no error");
        } catch (const EInOutError& e) {
            QCOMPARE(e.message(), QStringLiteral("ファイルが見つかりません"));
        }
        try {
            throwOpenError(missingFolder, ENOENT);
            QFAIL("no error");
        } catch (const EInOutError& e) {
            QCOMPARE(e.message(), QStringLiteral("ファイル名の指定が間違っています"));
        }
        QCOMPARE(ioErrorText(EACCES), QStringLiteral("ファイルへのアクセスが拒否されました"));
        QCOMPARE(ioErrorText(EMFILE), QStringLiteral("オープンしたファイルが多すぎます"));
        QCOMPARE(ioErrorText(EIO), QStringLiteral("I/O エラー (%1)").arg(EIO));
    }

    void scriptedDialogs() {
        ScriptedDialogs d;
        d.confirmAnswers = {false};
        QVERIFY(!d.confirm(QStringLiteral("図面登録"), QStringLiteral("登録しますか？")));
        QVERIFY(d.confirm(QStringLiteral("図面登録"), QStringLiteral("登録しますか？")));
        d.message(QStringLiteral("a"));
        d.error(QStringLiteral("b."));
        QCOMPARE(d.messages(), QStringList({QStringLiteral("a"), QStringLiteral("b.")}));
        QCOMPARE(d.openFile({}), QString());
    }
};

QTEST_GUILESS_MAIN(TestPlatform)
#include "test_platform.moc"
