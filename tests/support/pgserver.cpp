#include "pgserver.h"

#include "platform/errors.h"
#include "records/provider.h"
#include "records/schema_server.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace tovera::test {

namespace {

const char* const kServerUser = "tovera-test";
const char* const kRole = "tovera";
const int kPort = 5432;

QString serverPrograms() {
    // The newest installed version.
    const QDir base(QStringLiteral("/usr/lib/postgresql"));
    QStringList versions = base.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    std::sort(versions.begin(), versions.end(),
              [](const QString& a, const QString& b) { return a.toInt() > b.toInt(); });
    for (const QString& v : versions) {
        const QString bin = base.filePath(v + QStringLiteral("/bin"));
        if (QFileInfo(bin + QStringLiteral("/initdb")).isExecutable() &&
            QFileInfo(bin + QStringLiteral("/pg_ctl")).isExecutable())
            return bin;
    }
    return QString();
}

QString run(const QString& program, const QStringList& args, int msecs) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForStarted(10000)) return program + QStringLiteral(": ") + p.errorString();
    if (!p.waitForFinished(msecs)) {
        p.kill();
        p.waitForFinished();
        return program + QStringLiteral(" did not finish in time");
    }
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return program + QStringLiteral(" failed: ") +
               QString::fromLocal8Bit(p.readAll()).trimmed();
    return QString();
}

} // namespace

PgServer& PgServer::instance() {
    static std::unique_ptr<PgServer> server(new PgServer);
    return *server;
}

PgServer::PgServer() {
    start();
}

PgServer::~PgServer() {
    stop();
}

QString PgServer::runAsServerUser(const QString& program, const QStringList& args, int msecs) {
    if (runUser_.isEmpty()) return run(program, args, msecs);
    return run(QStringLiteral("runuser"),
               QStringList{QStringLiteral("-u"), runUser_, QStringLiteral("--"), program} + args,
               msecs);
}

void PgServer::start() {
    bin_ = serverPrograms();
    if (bin_.isEmpty()) {
        reason_ = QStringLiteral("no PostgreSQL server programs (initdb, pg_ctl) under "
                                 "/usr/lib/postgresql: install the package postgresql");
        return;
    }
    if (geteuid() == 0) {
        // The server refuses to run as root.
        if (!getpwnam(kServerUser)) {
            const QString failure =
                run(QStringLiteral("useradd"),
                    {QStringLiteral("--system"), QStringLiteral("--no-create-home"),
                     QStringLiteral("--shell"), QStringLiteral("/usr/sbin/nologin"),
                     QString::fromLatin1(kServerUser)},
                    30000);
            if (!getpwnam(kServerUser)) {
                reason_ = QStringLiteral("cannot make the system user %1 to run the server: %2")
                              .arg(QString::fromLatin1(kServerUser), failure);
                return;
            }
        }
        runUser_ = QString::fromLatin1(kServerUser);
    }
    // A short path: the socket's full name must fit in 107 bytes.
    char pattern[] = "/tmp/tovera-pg-XXXXXX";
    if (!mkdtemp(pattern)) {
        reason_ = QStringLiteral("cannot make a temporary folder in /tmp");
        return;
    }
    root_ = QString::fromLocal8Bit(pattern);
    if (!runUser_.isEmpty()) {
        const passwd* pw = getpwnam(kServerUser);
        if (chown(pattern, pw->pw_uid, pw->pw_gid) != 0) {
            reason_ = QStringLiteral("cannot hand %1 to the user %2").arg(root_, runUser_);
            return;
        }
    }
    const QString data = root_ + QStringLiteral("/data");
    QString failure = runAsServerUser(
        bin_ + QStringLiteral("/initdb"),
        {QStringLiteral("-D"), data, QStringLiteral("-U"), QString::fromLatin1(kRole),
         QStringLiteral("-A"), QStringLiteral("trust"), QStringLiteral("-E"),
         QStringLiteral("UTF8"), QStringLiteral("--locale=C"), QStringLiteral("--no-sync")},
        120000);
    if (failure.isEmpty()) {
        // The guard: a watcher that stops the server and removes the folder once this
        // process has gone, however it ended.
        const QString stopCommand =
            (runUser_.isEmpty() ? QString() : QStringLiteral("runuser -u %1 -- ").arg(runUser_)) +
            QStringLiteral("%1/pg_ctl -D %2 -m immediate stop").arg(bin_, data);
        QProcess::startDetached(
            QStringLiteral("setsid"),
            {QStringLiteral("sh"), QStringLiteral("-c"),
             QStringLiteral("while kill -0 %1 2>/dev/null; do sleep 1; done; %2 >/dev/null 2>&1; "
                            "rm -rf %3")
                 .arg(QCoreApplication::applicationPid())
                 .arg(stopCommand, root_)});
        failure = runAsServerUser(
            bin_ + QStringLiteral("/pg_ctl"),
            {QStringLiteral("-D"), data, QStringLiteral("-l"), root_ + QStringLiteral("/log"),
             QStringLiteral("-w"), QStringLiteral("-t"), QStringLiteral("60"), QStringLiteral("-o"),
             QStringLiteral("-k %1 -p %2 -c listen_addresses='' -c max_connections=40")
                 .arg(root_)
                 .arg(kPort),
             QStringLiteral("start")},
            90000);
    }
    if (!failure.isEmpty()) {
        reason_ = QStringLiteral("the test server did not start: ") + failure;
        return;
    }
    ok_ = true;
}

void PgServer::stop() {
    if (root_.isEmpty()) return;
    if (ok_)
        runAsServerUser(bin_ + QStringLiteral("/pg_ctl"),
                        {QStringLiteral("-D"), root_ + QStringLiteral("/data"),
                         QStringLiteral("-m"), QStringLiteral("fast"), QStringLiteral("-w"),
                         QStringLiteral("stop")},
                        60000);
    QDir(root_).removeRecursively();
    ok_ = false;
    root_.clear();
}

QString PgServer::uri(const QString& name) const {
    // Built by concatenation: the encoded folder holds "%2F", which arg() would take.
    return QStringLiteral("postgresql://") + QString::fromLatin1(kRole) + QLatin1Char('@') +
           QString::fromLatin1(QUrl::toPercentEncoding(root_)) + QLatin1Char(':') +
           QString::number(kPort) + QLatin1Char('/') + name;
}

QString PgServer::freshName(const QString& prefix) {
    return prefix + QString::number(++counter_);
}

QString PgServer::createDatabase(const QString& name) {
    if (!ok_) throw EDatabaseError(reason_);
    Connection c;
    c.open(uri(QStringLiteral("postgres")));
    QSqlQuery q(c.database());
    if (!q.exec(QStringLiteral("CREATE DATABASE \"%1\" TEMPLATE template0").arg(name)))
        throw EDatabaseError(q.lastError().text());
    return uri(name);
}

QString PgServer::createRegister(const QString& name) {
    if (!ok_) throw EDatabaseError(reason_);
    initServerRegister(uri(name));
    return uri(name);
}

} // namespace tovera::test
