#include "records/provider.h"

#include "platform/errors.h"
#include "records/dberror.h"
#include "records/schema.h"

#include <QAtomicInt>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>

namespace tovera {

namespace {

QAtomicInt nextConnection{0};

// Splits "Key=Value;Key=Value" into pairs; a value may be enclosed in double quotes (then
// it may hold ";"). Keys are compared without case and surrounding blanks.
QMap<QString, QString> parseConnectionString(const QString& text) {
    QMap<QString, QString> pairs;
    int i = 0;
    const int n = text.size();
    while (i < n) {
        const int eq = text.indexOf(QLatin1Char('='), i);
        if (eq < 0) {
            if (!text.mid(i).trimmed().isEmpty())
                throw EDatabaseError(QStringLiteral("接続文字列の形式が正しくありません"));
            break;
        }
        const QString key = text.mid(i, eq - i).trimmed().toLower();
        int j = eq + 1;
        while (j < n && text.at(j) == QLatin1Char(' ')) ++j;
        QString value;
        if (j < n && text.at(j) == QLatin1Char('"')) {
            const int close = text.indexOf(QLatin1Char('"'), j + 1);
            if (close < 0)
                throw EDatabaseError(QStringLiteral("接続文字列の形式が正しくありません"));
            value = text.mid(j + 1, close - j - 1);
            j = text.indexOf(QLatin1Char(';'), close);
            if (j < 0) j = n;
        } else {
            const int semi = text.indexOf(QLatin1Char(';'), j);
            const int end = semi < 0 ? n : semi;
            value = text.mid(j, end - j).trimmed();
            j = end;
        }
        if (key.isEmpty())
            throw EDatabaseError(QStringLiteral("接続文字列の形式が正しくありません"));
        pairs.insert(key, value);
        i = j + 1;
    }
    return pairs;
}

// Makes every commit on the connection of `q` durable before it returns: a write-ahead
// log synced at each commit (synchronous FULL). A commit then costs one sync of the log,
// and the file stays whole when the power fails at any moment. (A rollback journal would
// need synchronous EXTRA for the same promise: there the commit is the journal's removal,
// which is lost with the folder's unsynced entry.) A file we may not write keeps its
// journal mode: nothing can be posted to it. Returns the user's text of a refusal, empty
// when both settings hold.
QString makeDurable(QSqlQuery& q, const QFileInfo& file) {
    if (!q.exec(QStringLiteral("PRAGMA journal_mode = WAL")) || !q.next()) {
        if (!file.isWritable()) return QString();
        return databaseErrorText(q.lastError());
    }
    const QString mode = q.value(0).toString().toLower();
    q.finish();
    if (mode != QLatin1String("wal") && file.isWritable())
        return QStringLiteral(
                   "データベースファイルを先行書き込みログの形式に切り替えられません（%1）")
            .arg(mode);
    if (!q.exec(QStringLiteral("PRAGMA synchronous = FULL")))
        return databaseErrorText(q.lastError());
    return QString();
}

} // namespace

QString connectionStringFor(const QString& path) {
    return QString::fromUtf8(kConnectionTemplate).replace(QStringLiteral("%s"), path);
}

QString databasePathBesideExecutable() {
    return QDir(QCoreApplication::applicationDirPath())
        .filePath(QString::fromUtf8(kDatabaseFileName));
}

bool isServerUri(const QString& text) {
    const QString t = text.trimmed();
    return t.startsWith(QLatin1String("postgresql://"), Qt::CaseInsensitive) ||
           t.startsWith(QLatin1String("postgres://"), Qt::CaseInsensitive);
}

QString chosenRegister(const QString& executableFolder) {
    const QString fromEnvironment = qEnvironmentVariable(kDatabaseVariable).trimmed();
    if (!fromEnvironment.isEmpty()) return fromEnvironment;
    const QString ini = QDir(executableFolder).filePath(QString::fromUtf8(kSettingsFileName));
    if (QFileInfo::exists(ini)) {
        const QSettings settings(ini, QSettings::IniFormat);
        const QString named = settings.value(QStringLiteral("database")).toString().trimmed();
        if (!named.isEmpty()) return named;
    }
    return connectionStringFor(
        QDir(executableFolder).filePath(QString::fromUtf8(kDatabaseFileName)));
}

QString ServerAddress::shown() const {
    QString text = host.isEmpty() ? QStringLiteral("localhost") : host;
    return text + QLatin1Char(':') + QString::number(port > 0 ? port : 5432) + QLatin1Char('/') +
           database;
}

ServerAddress parseServerUri(const QString& uri) {
    const QString bad = QStringLiteral("サーバーの指定 '%1' は postgresql://ユーザー@ホスト:ポート/"
                                       "データベース の形式ではありません")
                            .arg(uri);
    if (!isServerUri(uri)) throw EDatabaseError(bad);
    QString rest = uri.trimmed().mid(uri.trimmed().indexOf(QLatin1String("://")) + 3);
    auto decode = [](const QString& part) { return QUrl::fromPercentEncoding(part.toUtf8()); };
    ServerAddress a;
    const int question = rest.indexOf(QLatin1Char('?'));
    if (question >= 0) {
        QStringList options;
        for (const QString& pair :
             rest.mid(question + 1).split(QLatin1Char('&'), Qt::SkipEmptyParts)) {
            const int eq = pair.indexOf(QLatin1Char('='));
            if (eq <= 0) throw EDatabaseError(bad);
            options << decode(pair.left(eq)) + QLatin1Char('=') + decode(pair.mid(eq + 1));
        }
        a.options = options.join(QLatin1Char(';'));
        rest = rest.left(question);
    }
    const int slash = rest.indexOf(QLatin1Char('/'));
    QString authority = slash < 0 ? rest : rest.left(slash);
    a.database = slash < 0 ? QString() : decode(rest.mid(slash + 1));
    const int at = authority.lastIndexOf(QLatin1Char('@'));
    if (at >= 0) {
        const QString userInfo = authority.left(at);
        const int colon = userInfo.indexOf(QLatin1Char(':'));
        a.user = decode(colon < 0 ? userInfo : userInfo.left(colon));
        if (colon >= 0) a.password = decode(userInfo.mid(colon + 1));
        authority = authority.mid(at + 1);
    }
    // The port follows the last colon outside an IPv6 address in brackets.
    const int bracket = authority.lastIndexOf(QLatin1Char(']'));
    const int colon = authority.lastIndexOf(QLatin1Char(':'));
    if (colon > bracket) {
        bool ok = false;
        a.port = authority.mid(colon + 1).toInt(&ok);
        if (!ok || a.port <= 0 || a.port > 65535) throw EDatabaseError(bad);
        authority = authority.left(colon);
    }
    if (authority.startsWith(QLatin1Char('[')) && authority.endsWith(QLatin1Char(']')))
        authority = authority.mid(1, authority.size() - 2);
    a.host = decode(authority);
    return a;
}

Connection::Connection()
    : name_(QStringLiteral("tovera-%1").arg(nextConnection.fetchAndAddRelaxed(1))) {}

Connection::~Connection() {
    close();
}

void Connection::open(const QString& connectionString) {
    close();
    if (isServerUri(connectionString)) {
        openServer(connectionString.trimmed());
        return;
    }
    const QMap<QString, QString> pairs = parseConnectionString(connectionString);
    const QString provider = pairs.value(QStringLiteral("provider"));
    if (provider.compare(QStringLiteral("Microsoft.Jet.OLEDB.4.0"), Qt::CaseInsensitive) != 0)
        throw EDatabaseError(QStringLiteral("プロバイダ %1 が見つかりません").arg(provider));
    const QString path = pairs.value(QStringLiteral("data source"));
    if (isServerUri(path)) {
        openServer(path.trimmed());
        return;
    }
    if (path.isEmpty())
        throw EDatabaseError(QStringLiteral("接続文字列にデータソースがありません"));
    const QFileInfo info(path);
    if (!info.exists())
        throw EDatabaseError(QStringLiteral("ファイル '%1' が見つかりません").arg(path));
    if (!info.isFile())
        throw EDatabaseError(QStringLiteral("データベースファイルの形式を認識できません"));

    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name_);
        // mode=rw: SQLite opens the existing file and never creates one.
        QUrl url = QUrl::fromLocalFile(info.absoluteFilePath());
        url.setQuery(QStringLiteral("mode=rw"));
        db.setDatabaseName(url.toString(QUrl::FullyEncoded));
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=1500"));
        if (!db.open()) {
            const QSqlError e = db.lastError();
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(name_);
            throwDatabaseError(e);
        }
        QSqlQuery q(db);
        // Reading the schema tells an SQLite file from anything else and finds a lock.
        QString failure;
        if (!q.exec(QStringLiteral("PRAGMA foreign_keys = ON")) ||
            !q.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")) || !q.next())
            failure = databaseErrorText(q.lastError());
        if (failure.isEmpty()) {
            q.finish();
            failure = makeDurable(q, info);
        }
        if (!failure.isEmpty()) {
            q = QSqlQuery();
            db.close();
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(name_);
            throw EDatabaseError(failure);
        }
        if (info.isWritable()) ensurePrefixSearchIndexes(db);
        // Room (16 MB) for the index pages a search walks, so the next search finds them here
        // rather than reading them from the file again.
        q.exec(QStringLiteral("PRAGMA cache_size = -16384"));
    }
    path_ = info.absoluteFilePath();
}

void Connection::openServer(const QString& uri) {
    const ServerAddress a = parseServerUri(uri);
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL")))
        throw EDatabaseError(
            QStringLiteral("サーバー %1 に接続できません: PostgreSQL のドライバ (QPSQL) "
                           "がインストールされていません")
                .arg(a.shown()));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name_);
        db.setHostName(a.host);
        if (a.port > 0) db.setPort(a.port);
        db.setUserName(a.user);
        db.setPassword(a.password); // empty: libpq reads ~/.pgpass and PGPASSWORD itself
        db.setDatabaseName(a.database);
        QString options = a.options;
        if (!options.contains(QLatin1String("connect_timeout")))
            options += (options.isEmpty() ? QString() : QStringLiteral(";")) +
                       QStringLiteral("connect_timeout=10");
        db.setConnectOptions(options);
        QString failure;
        if (!db.open()) {
            failure = db.lastError().databaseText().trimmed();
            if (failure.isEmpty()) failure = db.lastError().text();
        } else {
            // Notices (e.g. "relation already exists") are no concern of the user.
            QSqlQuery q(db);
            if (!q.exec(QStringLiteral("SET client_min_messages = warning")))
                failure = q.lastError().databaseText();
        }
        if (!failure.isEmpty()) {
            db.close();
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(name_);
            failure.replace(QLatin1Char('\n'), QLatin1Char(' '));
            throw EDatabaseError(QStringLiteral("サーバー %1 に接続できません: %2")
                                     .arg(a.shown(), failure.simplified()));
        }
    }
    path_ = uri;
}

bool Connection::isServer() const {
    return isOpen() && database().driverName() == QLatin1String("QPSQL");
}

void Connection::close() {
    if (!QSqlDatabase::contains(name_)) return;
    {
        QSqlDatabase db = QSqlDatabase::database(name_, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(name_);
}

bool Connection::isOpen() const {
    return QSqlDatabase::contains(name_) && QSqlDatabase::database(name_, false).isOpen();
}

QSqlDatabase Connection::database() const {
    if (!QSqlDatabase::contains(name_)) return QSqlDatabase();
    return QSqlDatabase::database(name_, false);
}

} // namespace tovera
