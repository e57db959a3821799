#pragma once
// The database provider: our stand-in for the Jet OLE DB provider, over SQLite. It opens
// the file named by the Data Source of a connection string; it never creates or alters
// a database file.

#include <QSqlDatabase>
#include <QString>

namespace tovera {

// The connection string template; "%s" takes the full path of the database file.
inline constexpr const char* kConnectionTemplate =
    "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=%s;Persist Security Info=False";

// The database file's name, beside the executable.
inline constexpr const char* kDatabaseFileName = "評価調書.mdb";

// The connection string for the database file at `path` (the template with "%s" replaced).
QString connectionStringFor(const QString& path);

// Full path of 評価調書.mdb in the executable's folder (QCoreApplication must exist).
QString databasePathBesideExecutable();

class Connection {
public:
    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Parses `connectionString` and opens its Data Source as an SQLite 3 database, without
    // a login prompt. Raises EDatabaseError (with the provider's text) for a string it does
    // not understand, a missing file, a file that is not an SQLite database, or a locked
    // one; the connection is then closed. Every connection logs ahead and syncs the log at
    // each commit (journal_mode WAL, synchronous FULL; a file in another journal mode is
    // switched, one we may not write is left as it is), so a commit that returned survives
    // a power cut.
    void open(const QString& connectionString);
    void close();
    bool isOpen() const;
    // The open database (invalid when closed). Owned by the connection.
    QSqlDatabase database() const;
    // The path of the Data Source last opened.
    QString path() const { return path_; }

private:
    QString name_; // Qt's connection name, unique per Connection
    QString path_;
};

} // namespace tovera
