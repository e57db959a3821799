#include "records/provider.h"

// The provider is being written; these bodies only keep the build whole.
namespace tovera {

QString connectionStringFor(const QString& path) {
    return QString::fromUtf8(kConnectionTemplate).replace(QStringLiteral("%s"), path);
}
QString databasePathBesideExecutable() { return QString(); }
Connection::Connection() = default;
Connection::~Connection() = default;
void Connection::open(const QString&) {}
void Connection::close() {}
bool Connection::isOpen() const { return false; }
QSqlDatabase Connection::database() const { return QSqlDatabase(); }

} // namespace tovera
