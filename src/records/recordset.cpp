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

QString quoted(const QString& name) {
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

RecordSet::RecordSet(Connection& connection, QObject* parent)
    : QObject(parent), d(new Impl(connection)) {}

RecordSet::~RecordSet() {
    delete d;
}

void RecordSet::open(const QString& sql, const QVariantMap& params) {
    close();
    d->sql = sql;
    d->params = params;
    d->rowQuery.reset();
    d->writes.clear();
    if (!d->connection.isOpen()) throw EDatabaseError(QStringLiteral("接続が開かれていません"));
    d->readColumns();
    RecordOrder order = d->readKeys();
    const std::optional<RecordOrder::Pos> start = order.first();
    Impl::Row first = d->readAt(order, start);
    d->order = std::move(order);
    d->show(start, std::move(first));
    d->state = State::Browsing;
    Q_EMIT stateChanged();
    Q_EMIT dataChanged();
    if (start) Q_EMIT afterScroll();
}

void RecordSet::reopen() {
    open(d->sql, d->params);
}

void RecordSet::close() {
    if (d->state == State::Closed) return;
    endEdit();
    closeDiscarding();
}

void RecordSet::closeDiscarding() {
    const bool wasOpen = d->state != State::Closed;
    d->state = State::Closed;
    d->order = RecordOrder();
    d->rowQuery.reset();
    d->writes.clear();
    d->cur.reset();
    d->row.clear();
    d->blobLens.clear();
    d->pending.clear();
    d->changed.clear();
    d->modified = false;
    if (wasOpen) {
        Q_EMIT stateChanged();
        Q_EMIT dataChanged();
    }
}

RecordSet::State RecordSet::state() const {
    return d->state;
}
int RecordSet::recordCount() const {
    return d->state == State::Closed ? 0 : d->order.count();
}
bool RecordSet::isEmpty() const {
    // An open record set with records always has a current one (the insertion place
    // while inserting).
    return d->state == State::Closed || !d->cur;
}
int RecordSet::currentIndex() const {
    if (!d->cur) return d->state == State::Inserting ? 0 : -1;
    return d->order.indexOf(*d->cur);
}
QString RecordSet::sql() const {
    return d->sql;
}
QVariantMap RecordSet::params() const {
    return d->params;
}
bool RecordSet::isModified() const {
    return d->editing() && d->modified;
}

namespace {
void requireOpen(RecordSet::State s) {
    if (s == RecordSet::State::Closed) throw EDatabaseError(kClosed);
}
} // namespace

void RecordSet::moveTo(const std::optional<RecordOrder::Pos>& p) {
    if (!p) return;
    Impl::Row r = d->readAt(d->order, p); // the position changes only once it is read
    d->show(p, std::move(r));
    Q_EMIT dataChanged();
    Q_EMIT afterScroll();
}

void RecordSet::first() {
    requireOpen(d->state);
    endEdit();
    moveTo(d->order.first());
}

void RecordSet::last() {
    requireOpen(d->state);
    endEdit();
    moveTo(d->order.last());
}

void RecordSet::prior() {
    requireOpen(d->state);
    endEdit();
    if (!d->cur) return;
    moveTo(d->order.prior(*d->cur));
}

void RecordSet::next() {
    requireOpen(d->state);
    endEdit();
    if (!d->cur) return;
    moveTo(d->order.next(*d->cur));
}

namespace {
// Asks the order once per current record. A file that cannot be read now (locked by
// another user) offers the move: the move itself then reports why it failed.
bool neighbour(std::optional<bool>& known, const std::function<bool()>& ask) {
    if (!known) {
        try {
            known = ask();
        } catch (const std::exception&) {
            return true;
        }
    }
    return *known;
}
} // namespace

bool RecordSet::canMovePrior() const {
    if (d->state == State::Closed || !d->cur) return false;
    return neighbour(d->hasPrior, [this] { return bool(d->order.prior(*d->cur)); });
}
bool RecordSet::canMoveNext() const {
    if (d->state == State::Closed || !d->cur) return false;
    return neighbour(d->hasNext, [this] { return bool(d->order.next(*d->cur)); });
}

void RecordSet::edit() {
    requireOpen(d->state);
    if (d->editing()) return;
    if (!d->cur) {
        insert();
        return;
    }
    d->startPending(false);
    d->state = State::Editing;
    Q_EMIT stateChanged();
}

void RecordSet::insert() {
    requireOpen(d->state);
    endEdit();
    d->row = QList<QVariant>(d->columns.size());
    d->blobLens = QList<qint64>(d->columns.size(), 0);
    d->startPending(true);
    d->state = State::Inserting;
    Q_EMIT stateChanged();
    Q_EMIT dataChanged();
    Q_EMIT afterScroll();
}

void RecordSet::post() {
    requireOpen(d->state);
    if (!d->editing()) return;
    d->updateLinks();
    QList<int> which;
    for (int i = 0; i < d->columns.size(); ++i)
        if (d->changed[i]) which << i;
    d->begin();
    qint64 key = -1;
    Impl::Row stored;
    try {
        // The server's UPDATE names the version it read; without one the read checks it.
        if (d->state == State::Editing && (!d->engine.hasVersion() || which.isEmpty()))
            d->requireUnchanged(kPostGone, kPostChanged);
        key = write(which);
        stored = d->readRow(key);
        d->commit();
    } catch (...) {
        d->rollback();
        throw;
    }
    if (d->state == State::Inserting) d->cur = d->order.insertBefore(d->cur, key);
    d->state = State::Browsing;
    d->pending.clear();
    d->changed.clear();
    d->modified = false;
    d->show(d->cur, std::move(stored));
    Q_EMIT stateChanged();
    Q_EMIT dataChanged();
}

qint64 RecordSet::write(const QList<int>& which) {
    QStringList names;
    for (int i : which) names << quoted(d->columns[i].name);
    const QString table = quoted(QString::fromUtf8(kRecordTable));
    QSqlQuery none;
    QSqlQuery* statement = &none;
    bool ok = true;
    if (d->state == State::Editing && !which.isEmpty()) {
        QStringList sets;
        for (const QString& n : names) sets << n + QStringLiteral(" = ?");
        ok = d->prepareWrite(QStringLiteral("UPDATE %1 SET %2 WHERE %3")
                                 .arg(table, sets.join(QLatin1Char(',')), d->whereAsRead()),
                             statement);
        if (ok) {
            for (int i : which) statement->addBindValue(d->boundValue(i));
            d->bindAsRead(*statement);
            ok = statement->exec();
        }
        if (ok && statement->numRowsAffected() != 1) {
            statement->finish();
            d->requireUnchanged(kPostGone, kPostChanged);
            throw d->refusal(kPostChanged);
        }
    } else if (d->state == State::Inserting) {
        ok = d->prepareWrite(d->engine.insertStatement(table, names), statement);
        if (ok) {
            for (int i : which) statement->addBindValue(d->boundValue(i));
            ok = statement->exec();
        }
    }
    QSqlQuery& q = *statement;
    if (!ok) {
        const QSqlError e = q.lastError();
        const QString text = databaseErrorText(e);
        const int district = d->indexOf(QString::fromUtf8(kDistrictColumn));
        if (e.databaseText().contains(QLatin1String("FOREIGN KEY"), Qt::CaseInsensitive) &&
            district >= 0)
            throw EDatabaseError(QStringLiteral("所在区 '%1' は行政区に登録されていません")
                                     .arg(d->pending[district].toString()));
        throw EDatabaseError(text);
    }
    qint64 key = d->curKey();
    if (d->state == State::Inserting)
        key = d->engine.insertReturnsKey() ? (q.next() ? q.value(0).toLongLong() : -1)
                                           : q.lastInsertId().toLongLong();
    q.finish();
    return key;
}

void RecordSet::cancel() {
    requireOpen(d->state);
    if (!d->editing()) return;
    const bool inserting = d->state == State::Inserting;
    // Leaving an insertion shows the record at its place again, once it is read.
    Impl::Row shown = inserting ? d->readAt(d->order, d->cur) : Impl::Row{};
    d->state = State::Browsing;
    d->pending.clear();
    d->changed.clear();
    d->modified = false;
    if (inserting) d->show(d->cur, std::move(shown));
    Q_EMIT stateChanged();
    Q_EMIT dataChanged();
    if (inserting) Q_EMIT afterScroll();
}

void RecordSet::remove() {
    requireOpen(d->state);
    if (d->state == State::Inserting) {
        cancel();
        return;
    }
    if (!d->cur) throw EDatabaseError(kEmpty);
    // The record shown afterwards is the next one, or the one before the last.
    std::optional<RecordOrder::Pos> following = d->order.next(*d->cur);
    if (!following) following = d->order.prior(*d->cur);
    const qint64 followingKey = following ? d->order.key(*following) : -1;
    d->begin();
    Impl::Row shown;
    try {
        if (!d->engine.hasVersion()) d->requireUnchanged(kDeleteGone, kDeleteChanged);
        QSqlQuery q(d->connection.database());
        const bool ok =
            q.prepare(QStringLiteral("DELETE FROM %1 WHERE %2")
                          .arg(quoted(QString::fromUtf8(kRecordTable)), d->whereAsRead()));
        if (ok) d->bindAsRead(q);
        if (!ok || !q.exec()) throwDatabaseError(q.lastError());
        if (q.numRowsAffected() != 1) {
            q.finish();
            d->requireUnchanged(kDeleteGone, kDeleteChanged);
            throw d->refusal(kDeleteChanged);
        }
        q.finish();
        shown = d->readAt(d->order, following);
        d->commit();
    } catch (...) {
        d->rollback();
        throw;
    }
    d->order.removed(*d->cur);
    d->state = State::Browsing;
    d->pending.clear();
    d->changed.clear();
    d->modified = false;
    d->show(following ? d->order.find(followingKey) : std::nullopt, std::move(shown));
    Q_EMIT stateChanged();
    Q_EMIT dataChanged();
    Q_EMIT afterScroll();
}

void RecordSet::refresh() {
    requireOpen(d->state);
    endEdit();
    const qint64 before = d->curKey();
    RecordOrder fresh = d->readKeys();
    std::optional<RecordOrder::Pos> target;
    if (before >= 0) target = fresh.find(before);
    const QString* gone = nullptr; // what to say when the record shown has gone
    if (before >= 0 && !target) {
        // The nearest record after it that is still there, else the nearest before it.
        for (auto p = d->order.next(*d->cur); p && !target; p = d->order.next(*p)) {
            target = fresh.find(d->order.key(*p));
            gone = &kShownGoneNext;
        }
        for (auto p = d->order.prior(*d->cur); p && !target; p = d->order.prior(*p)) {
            target = fresh.find(d->order.key(*p));
            gone = &kShownGonePrior;
        }
        if (!target && !fresh.isEmpty()) {
            const int was = d->order.indexOf(*d->cur);
            const int index = std::clamp(was, 0, fresh.count() - 1);
            target = fresh.at(index);
            gone = index < was ? &kShownGonePrior : &kShownGoneNext;
        }
        if (!target) gone = &kShownGoneNone;
    } else if (!target) {
        target = fresh.first();
    }
    Impl::Row shown = d->readAt(fresh, target); // nothing changes before the record is read
    d->order = std::move(fresh);
    d->show(target, std::move(shown));
    Q_EMIT dataChanged();
    if (d->cur ? d->curKey() != before : before >= 0) Q_EMIT afterScroll();
    if (gone) throw EDatabaseError(*gone);
}

void RecordSet::endEdit() {
    if (!d->editing()) return;
    d->updateLinks();
    if (d->modified)
        post();
    else
        cancel();
}

QVariant RecordSet::value(const QString& column) const {
    const int i = d->indexOf(column);
    if (i < 0 || d->state == State::Closed || d->columns[i].def.kind == ColumnKind::Blob)
        return QVariant();
    if (d->editing()) {
        const QVariant& v = d->pending[i];
        if (d->columns[i].def.kind == ColumnKind::Date && v.metaType().id() == QMetaType::QString) {
            const QDateTime dt = parseStoredDate(v.toString());
            return dt.isValid() ? QVariant(dt) : v;
        }
        return v;
    }
    return d->row.value(i);
}

QString RecordSet::text(const QString& column) const {
    const int i = d->indexOf(column);
    if (i < 0) return QString();
    return displayText(d->columns[i].def, value(column));
}

void RecordSet::setValue(const QString& column, const QVariant& value) {
    requireOpen(d->state);
    const int i = d->require(column);
    if (!d->editing()) throw EDatabaseError(kNotEditing);
    QVariant converted = convertForColumn(d->columns[i].def, value);
    if (d->columns[i].def.kind == ColumnKind::Date && converted.isValid())
        converted = parseStoredDate(converted.toString());
    d->pending[i] = converted;
    d->changed[i] = true;
    d->modified = true;
    Q_EMIT fieldChanged(column);
}

qint64 RecordSet::blobLength(const QString& column) const {
    const int i = d->indexOf(column);
    if (i < 0 || d->state == State::Closed || d->columns[i].def.kind != ColumnKind::Blob) return 0;
    if (d->editing() && d->changed[i]) return d->pending[i].toByteArray().size();
    return d->blobLens.value(i);
}

QByteArray RecordSet::readBlob(const QString& column) const {
    requireOpen(d->state);
    const int i = d->require(column);
    if (d->editing() && d->changed[i]) return d->pending[i].toByteArray();
    if (d->state == State::Inserting || !d->cur) return QByteArray();
    QSqlQuery q(d->connection.database());
    q.setForwardOnly(true);
    const bool ok = q.prepare(QStringLiteral("SELECT %1 FROM %2 WHERE rowid = ?")
                                  .arg(quoted(column), quoted(QString::fromUtf8(kRecordTable))));
    if (ok) q.addBindValue(d->curKey());
    if (!ok || !q.exec()) throwDatabaseError(q.lastError());
    return q.next() ? q.value(0).toByteArray() : QByteArray();
}

void RecordSet::loadBlobFromFile(const QString& column, const QString& path) {
    requireOpen(d->state);
    d->require(column);
    if (!d->editing()) throw EDatabaseError(kNotEditing);
    QFile f(path);
    errno = 0;
    if (!f.open(QIODevice::ReadOnly)) throwOpenError(path, errno ? errno : ENOENT);
    const QByteArray bytes = f.readAll();
    if (f.error() != QFileDevice::NoError) throw EInOutError(ioErrorText(EIO), EIO);
    setValue(column, bytes);
}

QStringList RecordSet::columnNames() const {
    QStringList names;
    if (d->state == State::Closed) return names;
    for (const auto& c : d->columns) names << c.name;
    return names;
}

void RecordSet::addLink(RecordLink* link) {
    if (!d->links.contains(link)) d->links.push_back(link);
}

void RecordSet::removeLink(RecordLink* link) {
    d->links.removeAll(link);
}

// ---- Attachments

void AttachmentStore::beginStore() {
    if (!records_.isOpen()) records_.reopen();
    records_.edit();
}

void AttachmentStore::store(const QString& column, const QByteArray& bytes) {
    beginStore();
    // Empty bytes are stored as NULL: the record then holds no attachment.
    records_.setValue(column, bytes);
    records_.post();
}

void AttachmentStore::storeFile(const QString& column, const QString& path) {
    beginStore();
    records_.loadBlobFromFile(column, path);
    records_.post();
}

void AttachmentStore::erase(const QString& column) {
    records_.edit();
    records_.setValue(column, QByteArray());
}

} // namespace tovera
