#pragma once
// A private PostgreSQL server for the tests and the benchmarks: initdb and pg_ctl of the
// installed server programs in a temporary folder, listening only on a Unix socket in that
// folder, run as an unprivileged user (as root: the system user tovera-test, made when
// missing, through runuser). It is started once per process on first use and stopped when
// the process ends; a watcher process stops it too when the process dies without ending.

#include <QString>
#include <memory>

namespace tovera::test {

class PgServer {
public:
    // The process's server, started on the first call. Never null; check ok().
    static PgServer& instance();
    ~PgServer();
    PgServer(const PgServer&) = delete;
    PgServer& operator=(const PgServer&) = delete;

    // False when no server could be started; reason() then says why (for QSKIP).
    bool ok() const { return ok_; }
    QString reason() const { return reason_; }

    // The libpq URI of database `name` on this server.
    QString uri(const QString& name) const;
    // A new empty database (UTF-8, C collation) named `name`; returns its URI. Raises
    // EDatabaseError.
    QString createDatabase(const QString& name);
    // A new database with the register's tables (initServerRegister); returns its URI.
    QString createRegister(const QString& name);
    // A fresh name for a database: the prefix and a counter ("reg7").
    QString freshName(const QString& prefix = QStringLiteral("reg"));

private:
    PgServer();
    void start();
    void stop();
    // Runs a server program as the server's user; empty on success, else its output.
    QString runAsServerUser(const QString& program, const QStringList& args, int msecs);

    bool ok_ = false;
    QString reason_;
    QString bin_;     // the server programs' folder
    QString root_;    // the temporary folder: data/ and the socket
    QString runUser_; // the system user running the server, empty when not root
    int counter_ = 0;
};

} // namespace tovera::test
