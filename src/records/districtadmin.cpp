#include "records/districtadmin.h"

#include "platform/codepage.h"
#include "platform/errors.h"
#include "records/columns.h"
#include "records/dberror.h"

#include <QFileInfo>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <cerrno>

namespace tovera {

namespace {

const QString& districtTable() {
    static const QString name = QString::fromUtf8(kDistrictTable);
    return name;
}

const QString& districtColumn() {
    static const QString name = QString::fromUtf8(kDistrictColumn);
    return name;
}

// The provider's connection string for `path`; a path holding ";" is quoted so the string
// still parses.
QString connectionStringQuoting(const QString& path) {
    if (!path.contains(QLatin1Char(';')) || path.contains(QLatin1Char('"')))
        return connectionStringFor(path);
    return connectionStringFor(QLatin1Char('"') + path + QLatin1Char('"'));
}

bool tableExists(QSqlQuery& q, const QString& table) {
    q.prepare(QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?"));
    q.addBindValue(table);
    if (!q.exec()) throwDatabaseError(q.lastError());
    return q.next();
}

// One write transaction that is rolled back unless committed. It takes the write lock at
// once, so what was checked inside it still holds when it writes.
class WriteTransaction {
public:
    explicit WriteTransaction(QSqlDatabase db) : q_(db) {
        if (!q_.exec(QStringLiteral("BEGIN IMMEDIATE"))) throwDatabaseError(q_.lastError());
        open_ = true;
    }
    ~WriteTransaction() {
        if (open_) q_.exec(QStringLiteral("ROLLBACK"));
    }
    void commit() {
        if (!q_.exec(QStringLiteral("COMMIT"))) throwDatabaseError(q_.lastError());
        open_ = false;
    }

private:
    QSqlQuery q_;
    bool open_ = false;
};

[[noreturn]] void refuse(const QString& what, const QStringList& reasons) {
    QString text = what + QStringLiteral("（何も変更していません）");
    for (const QString& reason : reasons) text += QStringLiteral("\n  ") + reason;
    throw EDatabaseError(text);
}

} // namespace

QString districtNameProblem(const QString& name) {
    if (name.trimmed().isEmpty()) return QStringLiteral("名前が空です");
    if (name.size() > kMaxDistrictLength)
        return QStringLiteral("名前が長すぎます（%1 文字まで）").arg(kMaxDistrictLength);
    if (name.front().isSpace() || name.back().isSpace())
        return QStringLiteral("名前の前後に空白があります");
    for (const QChar c : name)
        if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format ||
            c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
            return QStringLiteral("名前に制御文字があります");
    if (fromCp932(toCp932(name)) != name)
        return QStringLiteral("名前に Shift-JIS で表せない文字があります");
    return {};
}

QString describeDistrictUser(const DistrictUser& user) {
    const QString no = user.no.isNull() || user.no.toString().isEmpty()
                           ? QStringLiteral("No なし")
                           : QStringLiteral("No %1").arg(user.no.toString());
    const QString owner = user.owner.isEmpty() ? QString() : QStringLiteral("、") + user.owner;
    return QStringLiteral("%1（rowid %2%3）").arg(no).arg(user.rowid).arg(owner);
}

DistrictStore::DistrictStore(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists()) throwOpenError(path, ENOENT);
    connection_.open(connectionStringQuoting(info.absoluteFilePath()));
    QSqlQuery q(connection_.database());
    for (const char* table : {kDistrictTable, kRecordTable})
        if (!tableExists(q, QString::fromUtf8(table)))
            throw EDatabaseError(
                QStringLiteral("テーブル %1 がありません（家屋台帳のデータベースではありません）")
                    .arg(QString::fromUtf8(table)));
}

QStringList DistrictStore::districts() const {
    QSqlQuery q(connection_.database());
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT \"%1\" FROM \"%2\" ORDER BY rowid")
                    .arg(districtColumn(), districtTable())))
        throwDatabaseError(q.lastError());
    QStringList names;
    while (q.next()) names << q.value(0).toString();
    if (q.lastError().isValid()) throwDatabaseError(q.lastError());
    return names;
}

QList<DistrictUser> DistrictStore::usersOf(const QString& name, int limit, qint64* total) const {
    // Exactly the name, as the table's key compares it (the column itself ignores case).
    const QString where = QStringLiteral("FROM \"%1\" WHERE \"%2\" = ? COLLATE BINARY")
                              .arg(QString::fromUtf8(kRecordTable), districtColumn());
    QSqlQuery q(connection_.database());
    q.setForwardOnly(true);
    if (total) {
        q.prepare(QStringLiteral("SELECT count(*) ") + where);
        q.addBindValue(name);
        if (!q.exec() || !q.next()) throwDatabaseError(q.lastError());
        *total = q.value(0).toLongLong();
    }
    q.prepare(QStringLiteral("SELECT rowid, \"No\", \"所有者氏名\" ") + where +
              QStringLiteral(" ORDER BY rowid LIMIT ?"));
    q.addBindValue(name);
    q.addBindValue(qMax(0, limit));
    if (!q.exec()) throwDatabaseError(q.lastError());
    QList<DistrictUser> users;
    while (q.next()) users.append({q.value(0).toLongLong(), q.value(1), q.value(2).toString()});
    if (q.lastError().isValid()) throwDatabaseError(q.lastError());
    return users;
}

void DistrictStore::add(const QStringList& names) {
    WriteTransaction transaction(connection_.database());
    const QStringList present = districts();
    QStringList reasons;
    QSet<QString> seen;
    for (const QString& name : names) {
        const QString problem = districtNameProblem(name);
        if (!problem.isEmpty())
            reasons << QStringLiteral("「%1」: %2").arg(name, problem);
        else if (present.contains(name))
            reasons << QStringLiteral("「%1」: 既に登録されています").arg(name);
        else if (seen.contains(name))
            reasons << QStringLiteral("「%1」: 二度指定されています").arg(name);
        seen.insert(name);
    }
    if (!reasons.isEmpty()) refuse(QStringLiteral("行政区を追加できません"), reasons);

    QSqlQuery q(connection_.database());
    q.prepare(QStringLiteral("INSERT INTO \"%1\" (\"%2\") VALUES (?)")
                  .arg(districtTable(), districtColumn()));
    for (const QString& name : names) {
        q.addBindValue(name);
        if (!q.exec()) throwDatabaseError(q.lastError());
    }
    transaction.commit();
}

void DistrictStore::remove(const QStringList& names) {
    WriteTransaction transaction(connection_.database());
    const QStringList present = districts();
    QStringList reasons;
    QSet<QString> seen;
    for (const QString& name : names) {
        if (seen.contains(name)) continue;
        seen.insert(name);
        if (!present.contains(name)) {
            reasons << QStringLiteral("「%1」: 登録されていません").arg(name);
            continue;
        }
        qint64 total = 0;
        const QList<DistrictUser> users = usersOf(name, ListedUsers, &total);
        if (total == 0) continue;
        QStringList listed;
        for (const DistrictUser& user : users) listed << describeDistrictUser(user);
        QString line = QStringLiteral("「%1」: %2 件のレコードが使っています: %3")
                           .arg(name)
                           .arg(total)
                           .arg(listed.join(QStringLiteral("、")));
        if (total > users.size()) line += QStringLiteral(" ほか %1 件").arg(total - users.size());
        reasons << line;
    }
    if (!reasons.isEmpty()) refuse(QStringLiteral("行政区を削除できません"), reasons);

    QSqlQuery q(connection_.database());
    q.prepare(QStringLiteral("DELETE FROM \"%1\" WHERE \"%2\" = ?")
                  .arg(districtTable(), districtColumn()));
    for (const QString& name : seen) {
        q.addBindValue(name);
        if (!q.exec()) throwDatabaseError(q.lastError());
    }
    transaction.commit();
}

} // namespace tovera
