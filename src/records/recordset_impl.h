#pragma once
// The inside of the record set, shared by its files: the messages it raises and the state
// of an open record set (RecordSet::Impl). Not for use outside src/records/recordset*.

#include "records/recordset.h"

#include "platform/errors.h"
#include "records/columns.h"
#include "records/dberror.h"
#include "records/engine.h"
#include "records/recordorder.h"

#include <QFile>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <algorithm>
#include <cerrno>
#include <functional>
#include <map>
#include <optional>

namespace tovera {

namespace {

const QString kNotEditing = QStringLiteral("データセットが編集または挿入モードではありません");
const QString kClosed = QStringLiteral("閉じているデータセットでは操作を実行できません");
const QString kEmpty = QStringLiteral("空のデータセットでは操作を実行できません");
// A record another window, desk or program deleted or changed after we read it is never
// overwritten nor deleted unseen. "%1" names the record ("No 12（山田太郎）の").
const QString kPostGone = QStringLiteral(
    "%1レコードは読み込んだ後に他のユーザーによって削除されたため、変更を保存できません");
const QString kPostChanged = QStringLiteral(
    "%1レコードは読み込んだ後に他のユーザーによって変更されたため、変更を保存できません");
const QString kDeleteGone =
    QStringLiteral("%1レコードは読み込んだ後に他のユーザーによって削除されたため、削除できません");
const QString kDeleteChanged =
    QStringLiteral("%1レコードは読み込んだ後に他のユーザーによって変更されたため、削除できません");
const QString kShownGoneNext = QStringLiteral(
    "表示していたレコードは他のユーザーによって削除されたため、次のレコードを表示しました");
const QString kShownGonePrior = QStringLiteral(
    "表示していたレコードは他のユーザーによって削除されたため、前のレコードを表示しました");
const QString kShownGoneNone = QStringLiteral(
    "表示していたレコードは他のユーザーによって削除され、表示できるレコードはありません");

inline QString quoted(const QString& name) {
    return QLatin1Char('"') + name + QLatin1Char('"');
}

} // namespace

struct RecordSet::Impl {
    explicit Impl(Connection& c) : connection(c) {}

    struct Column {
        QString name;
        ColumnDef def;
        QByteArray nameUtf8; // keeps def.name alive for columns the table does not know
    };

    Connection& connection;
    Engine engine{Engine::Kind::File};
    State state = State::Closed;
    QString sql;
    QVariantMap params;
    RecordOrder order;                   // the records of the result, in delivered order
    std::optional<RecordOrder::Pos> cur; // the current record (the insertion place)
    // Whether records lie before and after the current one, once asked.
    mutable std::optional<bool> hasPrior, hasNext;
    QList<Column> columns;
    QList<QVariant> row;     // stored values of the current record (blob columns null)
    QList<qint64> blobLens;  // stored byte lengths (blob columns only)
    qint64 version = -1;     // the stored row_version (server registers)
    QList<QVariant> pending; // values while editing or inserting
    QList<bool> changed;
    bool modified = false;
    QList<RecordLink*> links;
    std::optional<QSqlQuery> rowQuery; // prepared while open: one record by rowid
    // The writes, each prepared once while open (a server prepares a statement in a round
    // trip of its own), by their text.
    std::map<QString, QSqlQuery> writes;

    // The write `sql`, prepared; false with the reason in `q` when it cannot be.
    bool prepareWrite(const QString& sql, QSqlQuery*& q) {
        auto it = writes.find(sql);
        if (it == writes.end()) {
            QSqlQuery fresh(connection.database());
            if (!fresh.prepare(sql)) {
                failedWrite = std::move(fresh);
                q = &failedWrite;
                return false;
            }
            it = writes.emplace(sql, std::move(fresh)).first;
        }
        q = &it->second;
        return true;
    }
    QSqlQuery failedWrite;

    int indexOf(const QString& name) const {
        for (int i = 0; i < columns.size(); ++i)
            if (columns[i].name == name) return i;
        return -1;
    }
    int require(const QString& name) const {
        const int i = indexOf(name);
        if (i < 0)
            throw EDatabaseError(QStringLiteral("フィールド '%1' が見つかりません").arg(name));
        return i;
    }
    bool editing() const { return state == State::Editing || state == State::Inserting; }

    void readColumns() {
        engine = Engine::of(connection.database());
        const QList<Engine::StoredColumn> stored = engine.recordColumns(connection.database());
        columns.clear();
        for (const Engine::StoredColumn& s : stored) {
            Column c;
            c.name = s.name;
            if (const ColumnDef* known = findColumn(c.name)) {
                c.def = *known;
            } else {
                c.nameUtf8 = c.name.toUtf8();
                c.def = ColumnDef{nullptr, s.kind};
            }
            columns.push_back(c);
        }
        for (Column& c : columns)
            if (!c.nameUtf8.isEmpty()) c.def.name = c.nameUtf8.constData();
    }

    // How the refusals name the current record: "No 12（山田太郎）の", or "この".
    QString recordName() const {
        const int no = indexOf(QStringLiteral("No"));
        const int owner = indexOf(QStringLiteral("所有者氏名"));
        const QString number = no >= 0 ? displayText(columns[no].def, row.value(no)) : QString();
        const QString name = owner >= 0 ? row.value(owner).toString() : QString();
        if (number.isEmpty() && name.isEmpty()) return QStringLiteral("この");
        QString text = number.isEmpty() ? name : QStringLiteral("No ") + number;
        if (!number.isEmpty() && !name.isEmpty()) text += QStringLiteral("（%1）").arg(name);
        return text + QStringLiteral("の");
    }
    EDatabaseError refusal(const QString& message) const {
        return EDatabaseError(message.arg(recordName()));
    }

    qint64 curKey() const { return cur ? order.key(*cur) : -1; }

    // The order of the records the query delivers. The full list reads no key.
    RecordOrder readKeys() const {
        static const QRegularExpression form(
            QStringLiteral("^\\s*select\\s+\\*\\s+from\\s+(\"?)基本データ\\1(?=[\\s;]|$)(.*)$"),
            QRegularExpression::CaseInsensitiveOption |
                QRegularExpression::DotMatchesEverythingOption);
        const QRegularExpressionMatch m = form.match(sql);
        if (!m.hasMatch())
            throw EDatabaseError(
                QStringLiteral("更新できない問い合わせです: %1").arg(sql.trimmed()));
        const QString table = quoted(QString::fromUtf8(kRecordTable));
        QString rest = m.captured(2).trimmed();
        while (rest.endsWith(QLatin1Char(';'))) rest = rest.chopped(1).trimmed();
        if (rest.isEmpty() && params.isEmpty())
            return RecordOrder::wholeTable(connection.database(), table);
        const QString keyQuery = engine.keyQuery(table, m.captured(2));
        QSqlQuery q(connection.database());
        q.setForwardOnly(true);
        bool ok;
        if (params.isEmpty()) {
            ok = q.exec(keyQuery);
        } else {
            ok = q.prepare(keyQuery);
            if (ok) {
                for (auto it = params.begin(); it != params.end(); ++it) {
                    const QString name = it.key().startsWith(QLatin1Char(':'))
                                             ? it.key()
                                             : QLatin1Char(':') + it.key();
                    QVariant v = it.value();
                    // Date-time values compare with the stored text form.
                    if (v.metaType().id() == QMetaType::QDateTime)
                        v = storedDateText(v.toDateTime().toLocalTime());
                    q.bindValue(name, v);
                }
                ok = q.exec();
            }
        }
        if (!ok) throwDatabaseError(q.lastError());
        QList<qint64> result;
        while (q.next()) result.push_back(q.value(0).toLongLong());
        if (q.lastError().isValid()) throwDatabaseError(q.lastError());
        // Records come in the order they were entered, whichever index the store walked to
        // find them (reading the keys through a small index and sorting them costs far less
        // than walking the table itself).
        std::sort(result.begin(), result.end());
        return RecordOrder::listed(std::move(result));
    }

    // The stored values of one record, as the record set keeps them for the current one.
    struct Row {
        QList<QVariant> values; // blob columns null
        QList<qint64> blobLens; // byte lengths (blob columns only)
        qint64 version = -1;    // row_version (server registers)
    };

    Row blankRow() const {
        return {QList<QVariant>(columns.size()), QList<qint64>(columns.size(), 0), -1};
    }

    // Reads the stored values of record `key` (a rowid); a record deleted behind our back
    // reads as an empty one. Raises EDatabaseError and then changes nothing.
    Row readRow(qint64 key) {
        std::optional<Row> r = readStored(key);
        return r ? std::move(*r) : blankRow();
    }

    // The stored values of record `key`, none when no row has that key. Raises
    // EDatabaseError.
    std::optional<Row> readStored(qint64 key) {
        Row r = blankRow();
        if (!rowQuery) prepareRowQuery();
        QSqlQuery& q = *rowQuery;
        q.bindValue(0, key);
        if (!q.exec()) {
            const QSqlError e = q.lastError();
            q.finish();
            throwDatabaseError(e);
        }
        if (!q.next()) {
            const QSqlError e = q.lastError();
            q.finish();
            if (e.isValid()) throwDatabaseError(e);
            return std::nullopt;
        }
        QSqlRecord values = q.record();
        q.finish(); // ends the read, so the statement holds no lock between moves
        if (engine.hasVersion()) r.version = values.value(int(columns.size())).toLongLong();
        for (int i = 0; i < columns.size(); ++i) {
            const QVariant v = values.value(i);
            if (columns[i].def.kind == ColumnKind::Blob)
                r.blobLens[i] = v.isNull() ? 0 : v.toLongLong();
            else if (columns[i].def.kind == ColumnKind::Date && !v.isNull()) {
                const QDateTime d = parseStoredDate(v.toString());
                r.values[i] = d.isValid() ? QVariant(d) : v;
            } else
                r.values[i] = v;
        }
        return r;
    }

    // Reads the record at `p` of `from` (an empty one for no record).
    Row readAt(const RecordOrder& from, const std::optional<RecordOrder::Pos>& p) {
        if (!p) return blankRow();
        return readRow(from.key(*p));
    }

    // Makes the record at `p`, read before as `r`, the current one.
    void show(const std::optional<RecordOrder::Pos>& p, Row&& r) {
        cur = p;
        hasPrior.reset();
        hasNext.reset();
        row = std::move(r.values);
        blobLens = std::move(r.blobLens);
        version = r.version;
    }

    // A write and the read of what it leaves shown are one transaction: when either
    // fails, the register and the record set stay as they were. In the file the
    // transaction takes the write lock at once, so what it checks before writing stays true
    // until the write; on the server the write itself names the version it read.
    void begin() { run(engine.beginWrite()); }
    void commit() { run(QStringLiteral("COMMIT")); }
    void rollback() {
        QSqlQuery q(connection.database());
        q.exec(QStringLiteral("ROLLBACK"));
    }
    void run(const QString& statement) {
        QSqlQuery q(connection.database());
        if (!q.exec(statement)) throwDatabaseError(q.lastError());
    }

    // Inside a write's transaction: raises `gone` when the current record's row no longer
    // exists, `changed` when it no longer holds what was read (a column's value or an
    // attachment's length differs).
    void requireUnchanged(const QString& gone, const QString& changed) {
        const std::optional<Row> stored = readStored(curKey());
        if (!stored) {
            order.keep(curKey());
            throw refusal(gone);
        }
        if (engine.hasVersion() ? stored->version != version
                                : stored->values != row || stored->blobLens != blobLens)
            throw refusal(changed);
    }

    // The condition that finds the current record as it was read: its key, and on the
    // server its version (two values bound in that order).
    QString whereAsRead() const {
        return engine.hasVersion() ? QStringLiteral("rowid = ? AND %1 = ?")
                                         .arg(quoted(QString::fromUtf8(kVersionColumn)))
                                   : QStringLiteral("rowid = ?");
    }
    void bindAsRead(QSqlQuery& q) const {
        q.addBindValue(curKey());
        if (engine.hasVersion()) q.addBindValue(version);
    }

    void prepareRowQuery() {
        QStringList select;
        for (const Column& c : columns) select << engine.readExpression(quoted(c.name), c.def.kind);
        if (engine.hasVersion()) select << quoted(QString::fromUtf8(kVersionColumn));
        rowQuery.emplace(connection.database());
        rowQuery->setForwardOnly(true);
        if (!rowQuery->prepare(
                QStringLiteral("SELECT %1 FROM %2 WHERE rowid = ?")
                    .arg(select.join(QLatin1Char(',')), quoted(QString::fromUtf8(kRecordTable))))) {
            const QSqlError e = rowQuery->lastError();
            rowQuery.reset();
            throwDatabaseError(e);
        }
    }

    void startPending(bool blank) {
        pending = blank ? QList<QVariant>(columns.size()) : row;
        changed = QList<bool>(columns.size(), false);
        modified = false;
    }

    void updateLinks() {
        const QList<RecordLink*> copy = links;
        for (RecordLink* l : copy) l->updateRecord();
    }

    QVariant boundValue(int i) const {
        const QVariant& v = pending[i];
        if (columns[i].def.kind == ColumnKind::Date && v.metaType().id() == QMetaType::QDateTime)
            return storedDateText(v.toDateTime());
        return v;
    }
};

namespace {
inline void requireOpen(RecordSet::State s) {
    if (s == RecordSet::State::Closed) throw EDatabaseError(kClosed);
}
} // namespace

} // namespace tovera
