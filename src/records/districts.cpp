#include "platform/dialogs.h"
#include "platform/errors.h"
#include "records/columns.h"
#include "records/dberror.h"
#include "records/recordset.h"

#include <QSqlError>
#include <QSqlQuery>

namespace tovera {

DistrictTable::DistrictTable(Connection& connection) : connection_(connection) {}

void DistrictTable::open() {
    close();
    if (!connection_.isOpen()) throw EDatabaseError(QStringLiteral("接続が開かれていません"));
    QSqlQuery q(connection_.database());
    q.setForwardOnly(true);
    // Table order is the order the districts were entered.
    if (!q.exec(QStringLiteral("SELECT \"%1\" FROM \"%2\" ORDER BY rowid")
                    .arg(QString::fromUtf8(kDistrictColumn), QString::fromUtf8(kDistrictTable))))
        throwDatabaseError(q.lastError());
    QStringList values;
    while (q.next()) values << q.value(0).toString();
    if (q.lastError().isValid()) throwDatabaseError(q.lastError());
    districts_ = values;
    open_ = true;
}

void DistrictTable::close() {
    open_ = false;
    districts_.clear();
}

bool openAtStartup(const QString& databasePath, Connection& connection, RecordSet& records,
                   DistrictTable& districts, Dialogs& dialogs) {
    bool ok = true;
    try {
        connection.open(connectionStringFor(databasePath));
    } catch (const Exception&) {
        connection.close();
        dialogs.message(QStringLiteral("ＤＢ接続に失敗しました。"));
        ok = false;
    }
    try {
        records.open(QStringLiteral("select * from 基本データ"));
        records.first();
        districts.open();
    } catch (const Exception&) {
        records.closeDiscarding();
        districts.close();
        dialogs.message(QStringLiteral("ＤＢをオープン出来ませんでした。"));
        ok = false;
    }
    return ok;
}

} // namespace tovera
