#include "records/dberror.h"

#include "platform/errors.h"

#include <QSqlError>

namespace tovera {

namespace {

// SQLite's primary result codes that have a Japanese text of their own.
enum : int {
    kBusy = 5,
    kLocked = 6,
    kReadOnly = 8,
    kIoErr = 10,
    kFull = 13,
    kCantOpen = 14,
    kConstraint = 19,
    kNotADb = 26,
};

QString afterColon(const QString& text) {
    const int colon = text.indexOf(QLatin1Char(':'));
    QString rest = colon < 0 ? QString() : text.mid(colon + 1).trimmed();
    const int dot = rest.indexOf(QLatin1Char('.'));
    if (dot >= 0) rest = rest.mid(dot + 1); // "基本データ.No" names the column only
    return rest;
}

// The server's SQLSTATE codes (five characters) that have a Japanese text of their own;
// empty for the others.
QString serverText(const QString& state, const QString& native) {
    if (state == QLatin1String("23503"))
        return QStringLiteral("所在区が行政区に登録されていません");
    if (state == QLatin1String("23505")) return QStringLiteral("値が他のレコードと重複しています");
    if (state == QLatin1String("25006") || state == QLatin1String("42501"))
        return QStringLiteral("サーバーの台帳を更新する権限がありません");
    if (state == QLatin1String("53100"))
        return QStringLiteral("サーバーのディスクの空き領域が不足しています");
    if (state.startsWith(QLatin1String("08")) || state.startsWith(QLatin1String("57P")))
        return QStringLiteral("サーバーとの接続が切れました: %1").arg(native.simplified());
    if (state == QLatin1String("40P01") || state == QLatin1String("55P03"))
        return QStringLiteral("レコードは他のユーザーが使用中でロックされています");
    return QString();
}

} // namespace

QString databaseErrorText(const QSqlError& error) {
    const QString native = error.databaseText().isEmpty() ? error.text() : error.databaseText();
    const QString state = error.nativeErrorCode();
    if (state.size() == 5) { // SQLSTATE of the server; SQLite's codes have at most four digits
        const QString text = serverText(state, native);
        if (!text.isEmpty()) return text;
        if (state == QLatin1String("42P01"))
            return QStringLiteral("サーバーに台帳のテーブルがありません: %1")
                .arg(native.simplified());
        return native.simplified().isEmpty() ? QStringLiteral("データベースエラー")
                                             : native.simplified();
    }
    bool numeric = false;
    const int code = error.nativeErrorCode().toInt(&numeric) & 0xff;
    const QString lower = native.toLower();
    auto has = [&](const char* s) { return lower.contains(QLatin1String(s)); };

    if ((numeric && (code == kBusy || code == kLocked)) || has("database is locked") ||
        has("database table is locked"))
        return QStringLiteral("データベースファイルは他のユーザーが使用中でロックされています");
    if ((numeric && code == kReadOnly) || has("readonly database") || has("read-only"))
        return QStringLiteral("データベースファイルが読み取り専用のため更新できません");
    if ((numeric && code == kFull) || has("disk is full") || has("database or disk is full"))
        return QStringLiteral("ディスクの空き領域が不足しているため書き込めません");
    if ((numeric && code == kNotADb) || has("not a database") || has("malformed"))
        return QStringLiteral("データベースファイルの形式を認識できません");
    if ((numeric && code == kCantOpen) || has("unable to open database"))
        return QStringLiteral("データベースファイルを開けません");
    if (has("foreign key constraint failed"))
        return QStringLiteral("所在区が行政区に登録されていません");
    if (has("check constraint failed"))
        return QStringLiteral("列 %1 の値が列の型に合いません").arg(afterColon(native));
    if (has("not null constraint failed"))
        return QStringLiteral("列 %1 には値が必要です").arg(afterColon(native));
    if (has("unique constraint failed"))
        return QStringLiteral("列 %1 の値が他のレコードと重複しています").arg(afterColon(native));
    if ((numeric && code == kIoErr) || has("disk i/o error"))
        return QStringLiteral("データベースファイルの読み書きに失敗しました");
    if (numeric && code == kConstraint) return QStringLiteral("制約違反です: %1").arg(native);
    return native.isEmpty() ? QStringLiteral("データベースエラー") : native;
}

void throwDatabaseError(const QSqlError& error) {
    throw EDatabaseError(databaseErrorText(error));
}

} // namespace tovera
